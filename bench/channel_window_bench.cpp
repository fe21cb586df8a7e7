// Opening a channel of 1,000 items: the time until the item list holds
// every row (the feed copied, the titles made plain, the rows laid out).
#include <QApplication>
#include <benchmark/benchmark.h>

#include "tests/app/app_fixture.h"
#include "ui/channel/channelItemView.h"
#include "ui/events/uiHandler.h"

namespace {
QApplication& app() {
    static int argc = 1;
    static char name[] = "bench_channel_window";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(argc, argv);
    return application;
}
}  // namespace

static void BM_FillItemList1000(benchmark::State& state) {
    app();
    if (!isUiHandlerSet()) setUiHandler(true);
    apptest::DesktopFixture f;
    auto* channel = f.addChannel("big", apptest::numberedItems("big", 1000));
    for (auto _ : state) {
        CChannelItemView view(nullptr, channel, nullptr);
        view.resize(600, 400);
        view.show();
        view.reload(false);
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.rowCount());
    }
}
BENCHMARK(BM_FillItemList1000)->Unit(benchmark::kMillisecond);
