// Opening the summary page of a channel with 1,000 items in a page pane, in
// its parts: making the page from the stock template (the page file
// written), and loading that file into a web view until loadFinished. The
// first open in the process is reported apart: making the first view
// (first_view_ms) and its first load (first_load_ms). As in the program, the
// web engine was started a second before (start-up starts it once the window
// is idle); with ORVAN_BENCH_COLD=1 the first view starts it.
// ORVAN_BENCH_PAGES (below) times other page files alike.
//
// Run from a Release build without sanitizers:
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox bench_summary_open
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEngineView>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/core/programPaths.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/test_support.h"
#include "ui/browser/pluginServerAccess.h"
#include "widgets/helpers/openers.h"

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "bench_summary_open";
    static char* argv[] = {name, nullptr};
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(argc, argv);
    return application;
}

// A channel of 1,000 items with texts of a usual length, its manager using
// the stock summary template and the program's resource files.
struct BigChannel {
    BigChannel() {
        const std::string resources = testsupport::sourceDir() + "/../resources/";
        programPaths().programDir = resources;
        testsupport::writeFile(dir.file("Channels/.keep"), "");
        testsupport::writeFile(dir.file("Logs/.keep"), "");
        channels::ChannelSettings defaults(nullptr);
        defaults.setMaxFeedItems(-1);
        manager = std::make_unique<channels::ChannelManager>(
            "orvan-bench", dir.file("Channels"), dir.file("Logs"), defaults,
            resources + "Resources/DefaultChannelSummary.template", resources + "Resources/DefaultChannelSummary.gif");
        channel = new channeltest::TestChannel(manager.get(), dir.file("Channels/big.rss"));
        auto feed = std::make_unique<channels::Feed>();
        const std::string text(400, 'w');
        for (int i = 1; i <= 1000; ++i) {
            const std::string n = std::to_string(i);
            feed->addFeedItem(channels::FeedItem("id-" + n, "Item number " + n, "<p>" + text + " " + n + "</p>",
                                                 "http://127.0.0.1/items/" + n, "Wire", "author" + n + "@example.org",
                                                 "http://127.0.0.1/c/" + n, "Mon, 06 Jan 2003 10:00:00 GMT"));
        }
        channel->getChannelState().setLastFeed(std::move(feed));
        manager->addChannel(channel);
        getChannelDesktopSettingsTable().add(channel);
    }
    ~BigChannel() {
        getChannelDesktopSettingsTable().clear();
        manager->stopChannelManager(false);
    }
    testsupport::TempDir dir;
    std::unique_ptr<channels::ChannelManager> manager;
    channels::Channel* channel = nullptr;
};

BigChannel& big() {
    static BigChannel b;
    return b;
}

// Loads the file into the view; the milliseconds until loadFinished.
double loadMs(QWebEngineView& view, const std::string& file) {
    QEventLoop loop;
    bool ok = false;
    auto connection = QObject::connect(&view, &QWebEngineView::loadFinished, &loop, [&](bool finished) {
        ok = finished;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    view.load(QUrl::fromLocalFile(QString::fromStdString(file)));
    loop.exec();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    return ok ? ms : -1;
}

void BM_SummaryPageGenerate(benchmark::State& state) {
    app();
    BigChannel& b = big();
    for (auto _ : state) benchmark::DoNotOptimize(generateChannelSummaryPage(b.channel));
}
BENCHMARK(BM_SummaryPageGenerate)->Unit(benchmark::kMillisecond);

// One view, as a channel window keeps one page pane; the first view and its
// first load in the process are reported apart.
void BM_SummaryPageLoad(benchmark::State& state) {
    app();
    BigChannel& b = big();
    const std::string file = generateChannelSummaryPage(b.channel);
    static double firstView = 0;
    static double first = 0;
    static QWebEngineView* view = nullptr;
    if (view == nullptr) {
        if (qEnvironmentVariableIsEmpty("ORVAN_BENCH_COLD")) {
            ui::installPluginServerAccess();
            QEventLoop idle;
            QTimer::singleShot(1000, &idle, &QEventLoop::quit);
            idle.exec();
        }
        QElapsedTimer timer;
        timer.start();
        view = new QWebEngineView;
        view->resize(800, 600);
        view->show();
        firstView = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        first = loadMs(*view, file);
    }
    for (auto _ : state) {
        const double ms = loadMs(*view, file);
        if (ms < 0) state.SkipWithError("the page did not load");
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["first_view_ms"] = firstView;
    state.counters["first_load_ms"] = first;
}
BENCHMARK(BM_SummaryPageLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Making the page and loading it, as the pane does on each open.
void BM_SummaryPageOpen(benchmark::State& state) {
    app();
    BigChannel& b = big();
    QWebEngineView view;
    view.resize(800, 600);
    view.show();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const std::string file = generateChannelSummaryPage(b.channel);
        const double load = loadMs(view, file);
        if (load < 0) state.SkipWithError("the page did not load");
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_SummaryPageOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// ORVAN_BENCH_PAGES=<file>[:<file>...]: each file loaded like the summary
// page (variants of the page, to see what its load time goes to).
void BM_PageFileLoad(benchmark::State& state, std::string file) {
    app();
    QWebEngineView view;
    view.resize(800, 600);
    view.show();
    loadMs(view, file);
    for (auto _ : state) {
        const double ms = loadMs(view, file);
        if (ms < 0) state.SkipWithError("the page did not load");
        state.SetIterationTime(ms / 1000.0);
    }
}

const bool pageFilesRegistered = [] {
    const QStringList files = qEnvironmentVariable("ORVAN_BENCH_PAGES").split(':', Qt::SkipEmptyParts);
    for (const QString& file : files) {
        benchmark::RegisterBenchmark(("BM_PageFileLoad/" + file.section('/', -1)).toStdString().c_str(),
                                     BM_PageFileLoad, file.toStdString())
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10);
    }
    return !files.isEmpty();
}();

}  // namespace
