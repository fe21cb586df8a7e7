// The watchpane hook library in a real (offscreen) Qt application: the
// monitor window lists a channel's items as the channel file holds them,
// marks or hides viewed items, follows the engine's events, and sends its
// requests with full pointer-sized cookies to a window of the platform
// message layer that plays the main window.
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QLabel>
#include <QtTest>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>
#include <unistd.h>

#include "channels/hooks/dllChannelHookApi.h"
#include "platform/library.h"
#include "platform/messages.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

struct Request {
    unsigned msg = 0;
    std::uintptr_t channelCookie = 0;
    std::uintptr_t hookCookie = 0;
    std::string id;
    std::string url;
};

// The main window's stand-in: records what the library asks for.
class RecordingHost {
public:
    RecordingHost() {
        window_ = platform::messages::createWindow(loop_, [this](unsigned msg, std::uintptr_t, std::intptr_t l) {
            Request r;
            r.msg = msg;
            if (msg == channels::kOpenFeedItemMsg) {
                const auto* args = reinterpret_cast<const ChannelHookOpenFeedItemArgs*>(l);
                r.channelCookie = args->hChannelCookie;
                r.id = args->feedItemId;
                r.url = args->feedItemUrl;
            } else {
                const auto* cookies = reinterpret_cast<const ChannelHookCallbackCookies*>(l);
                r.channelCookie = cookies->hChannelCookie;
                r.hookCookie = cookies->hChannelHookCookie;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(r);
            return 1;
        });
    }
    ~RecordingHost() { platform::messages::destroyWindow(window_); }
    std::uintptr_t window() const { return window_; }
    std::vector<Request> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Request> out;
        out.swap(requests_);
        return out;
    }

private:
    platform::messages::EventLoopThread loop_;
    std::uintptr_t window_ = 0;
    std::mutex mutex_;
    std::vector<Request> requests_;
};

constexpr std::uintptr_t kChannelCookie = static_cast<std::uintptr_t>(0x123456789ABCDEF0ull);
constexpr std::uintptr_t kHookCookie = static_cast<std::uintptr_t>(0x1000000007ull);

}  // namespace

class WatchpaneTest : public QObject {
    Q_OBJECT

private:
    testsupport::TempDir dir;
    std::string hookFile = dir.file("watchpane.hook");
    std::string channelFile = dir.file("Channels/news.rss");
    platform::library::Library library;
    ChannelHookInfo info{};
    ProcessChannelHookCallFunc processEvent = nullptr;
    ProcessChannelHookCallFunc processCommand = nullptr;
    RecordingHost host;
    int requestCount = 0;
    std::string lastError;

    void writeItems(const std::vector<std::vector<std::string>>& items) {
        for (int n = 1; n <= 6; ++n) tools::deleteIniSection(channelFile, "Last Feed (" + std::to_string(n) + ")");
        int n = 0;
        for (const auto& item : items) {
            const std::string section = "Last Feed (" + std::to_string(++n) + ")";
            tools::writeIniString(channelFile, section, "Id", item[0]);
            tools::writeIniString(channelFile, section, "Url", item[1]);
            tools::writeIniString(channelFile, section, "Title", item[2]);
        }
    }

    std::string request(const char* key, const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& params = {},
                        std::uintptr_t hookCookie = kHookCookie) {
        const std::string file = dir.file("request-" + std::to_string(++requestCount) + ".ini");
        tools::writeIniString(file, "Config", key, name);
        tools::writeIniString(file, "Config", "ChannelConfigFile", channelFile);
        tools::writeIniString(file, "Config", "hChannelCookie", std::to_string(kChannelCookie));
        tools::writeIniString(file, "Config", "hChannelHookCookie", std::to_string(hookCookie));
        tools::writeIniString(file, "Config", "ChannelHookConfigFilename", hookFile);
        for (const auto& [k, v] : params) tools::writeIniString(file, "ChannelHookParameters", k, v);
        return file;
    }

    bool call(ProcessChannelHookCallFunc entry, const std::string& requestFile) {
        const std::string out = dir.file("out.txt");
        const std::string err = dir.file("err.txt");
        testsupport::writeFile(err, "earlier text\n");
        const bool ok = entry(requestFile.c_str(), out.c_str(), err.c_str());
        lastError = testsupport::readFile(err);
        return ok;
    }
    bool event(const std::string& name, const std::vector<std::pair<std::string, std::string>>& params = {},
               std::uintptr_t hookCookie = kHookCookie) {
        return call(processEvent, request("EventName", name, params, hookCookie));
    }

    // The requests that arrive within a bounded wait, at least n of them.
    std::vector<Request> waitForRequests(std::size_t n) {
        std::vector<Request> all;
        for (int i = 0; i < 100 && all.size() < n; ++i) {
            std::vector<Request> more = host.take();
            all.insert(all.end(), more.begin(), more.end());
            if (all.size() < n) QTest::qWait(20);
        }
        return all;
    }

    static QList<QWidget*> monitorWindows() {
        QList<QWidget*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "CMonitorWindow" && w->isVisible()) found.append(w);
        return found;
    }
    static QWidget* theWindow() {
        const QList<QWidget*> windows = monitorWindows();
        return windows.size() == 1 ? windows.front() : nullptr;
    }
    static QListWidget* list(QWidget* window) { return window->findChild<QListWidget*>("feedItemList"); }
    static QStringList titles(QWidget* window) {
        QStringList out;
        QListWidget* l = list(window);
        for (int i = 0; i < l->count(); ++i) out << l->item(i)->text();
        return out;
    }
    static QAction* action(QWidget* window, const char* name) { return window->findChild<QAction*>(name); }

private slots:
    void initTestCase() {
        // The debug log lands in the current directory.
        QVERIFY(::chdir(dir.str().c_str()) == 0);
        std::filesystem::create_directories(dir.file("Channels"));
        testsupport::writeFile(hookFile,
                               "[Config]\nScriptFilename=watchpane.dll\nDefaultHideReadItems=0\n"
                               "[Debug]\nEnableLog=1\nLogCritSecs=1\n");
        tools::writeIniString(channelFile, "Cache", "ChannelDisplayName", "Feed title");
        tools::writeIniString(channelFile, "Config", "PreferredChannelDisplayName", "Caf\xC3\xA9 & News 100%");
        tools::writeIniString(channelFile, "State", "LastFetchTime", "1796854658");
        writeItems({{"id-1", "http://example.test/a?x=1&y=%20", "First: 50% off"},
                    {"ID-2", "http://example.test/b",
                     "Zweiter \xC3\xBC"
                     "ber \"alles\""},
                    {"id-3", "http://example.test/c", "Third"}});
        tools::writeIniString(channelFile, "ViewedFeedItems", "ViewedFeedItemId-1", "id-2");

        QVERIFY2(library.open(testsupport::stageDir() + "/watchpane.so"), library.error().c_str());
        auto getInfo = library.function<GetChannelHookInfoFunc>("get_channel_hook_info");
        QVERIFY(getInfo != nullptr);
        ChannelHookInfo refused{{host.window(), 0, 0, 0}};
        QVERIFY(!getInfo(2, &refused, hookFile.c_str()));
        QCOMPARE(refused.words[0], host.window());
        QCOMPARE(refused.words[1], std::uintptr_t(0));
        info.words[0] = host.window();
        QVERIFY(getInfo(1, &info, hookFile.c_str()));
        for (std::uintptr_t word : info.words) QVERIFY(word != 0);
        processEvent = reinterpret_cast<ProcessChannelHookCallFunc>(info.words[0]);
        processCommand = reinterpret_cast<ProcessChannelHookCallFunc>(info.words[1]);
    }

    void unknownNamesAreRefused() {
        QVERIFY(!event("NewFeedItem"));
        QVERIFY(lastError == "Unknown event: NewFeedItem\n");
        QVERIFY(!call(processCommand, request("CommandName", "Resend")));
        QVERIFY(lastError == "Unknown command: Resend\n");
        // Events for a cookie without a window change nothing.
        QVERIFY(event("EndChannelUpdate"));
        QVERIFY(event("channelconfigchanged"));
        QVERIFY(monitorWindows().isEmpty());
    }

    void windowShowsDecodedItemsAndMarksViewedOnes() {
        QVERIFY(event("ChannelHookLoaded"));
        QVERIFY(event("channelhookattached"));
        QWidget* window = theWindow();
        QVERIFY(window != nullptr);
        QCOMPARE(window->windowTitle(), QString::fromUtf8("Caf\xC3\xA9 & News 100%"));
        QCOMPARE(titles(window), (QStringList{"First: 50% off",
                                              QString::fromUtf8("Zweiter \xC3\xBC"
                                                                "ber \"alles\""),
                                              "Third"}));
        const QLabel* updated = window->findChild<QLabel*>("lastUpdatedLabel");
        QVERIFY(updated != nullptr);
        QCOMPARE(updated->text().size(), 24);  // "Wed Dec  9 22:17:38 2026" in local time
        QVERIFY(updated->text().endsWith("2026"));

        // "ID-2" is viewed as "id-2": light and italic.
        QListWidget* l = list(window);
        QVERIFY(l->item(1)->font().italic());
        QCOMPARE(l->item(1)->foreground().color(), QColor(0xC0, 0xC0, 0xC0));
        QVERIFY(!l->item(0)->font().italic());

        // A second attachment event brings the same window forward.
        QVERIFY(event("ChannelHookAttached"));
        QCOMPARE(monitorWindows().size(), 1);
        QCOMPARE(theWindow(), window);
        QTest::qWait(0);
        window->grab();  // draws every entry once
    }

    void commandsSendRequestsWithFullCookies() {
        QWidget* window = theWindow();
        QVERIFY(window != nullptr);
        QListWidget* l = list(window);
        QAction* open = action(window, "openItemAction");
        l->clearSelection();
        QVERIFY(!open->isEnabled());
        // Enter without a selection: a beep, no request.
        QTest::keyClick(l, Qt::Key_Return);
        QTest::qWait(20);
        QVERIFY(host.take().empty());

        l->setCurrentRow(0);
        QVERIFY(open->isEnabled());
        open->trigger();
        action(window, "updateNowAction")->trigger();
        action(window, "propertiesAction")->trigger();
        std::vector<Request> requests = host.take();
        QCOMPARE(requests.size(), std::size_t(3));
        QCOMPARE(requests[0].msg, channels::kOpenFeedItemMsg);
        QCOMPARE(requests[0].channelCookie, kChannelCookie);
        QVERIFY(requests[0].id == "id-1");
        QVERIFY(requests[0].url == "http://example.test/a?x=1&y=%20");
        QCOMPARE(requests[1].msg, channels::kUpdateChannelMsg);
        QCOMPARE(requests[1].channelCookie, kChannelCookie);
        QCOMPARE(requests[2].msg, channels::kOpenChannelPropertiesMsg);
        QCOMPARE(requests[2].channelCookie, kChannelCookie);
        QCOMPARE(requests[2].hookCookie, kHookCookie);

        // Space and a double click post "Open item" for the selection.
        l->setCurrentRow(2);
        QTest::keyClick(l, Qt::Key_Space);
        std::vector<Request> posted = waitForRequests(1);
        QCOMPARE(posted.size(), std::size_t(1));
        QVERIFY(posted[0].id == "id-3");
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(0)).center());
        QCOMPARE(l->currentRow(), 0);
        emit l->itemDoubleClicked(l->item(0));
        posted = waitForRequests(1);
        QCOMPARE(posted.size(), std::size_t(1));
        QVERIFY(posted[0].id == "id-1");
    }

    void eventsReloadConfigureAndKeepThePosition() {
        QWidget* window = theWindow();
        QVERIFY(window != nullptr);
        QListWidget* l = list(window);
        l->setCurrentRow(1);

        // A new item on top: the selection stays at the second position.
        writeItems({{"id-0", "http://example.test/new", "Brand new"},
                    {"id-1", "http://example.test/a", "First: 50% off"},
                    {"ID-2", "http://example.test/b", "Second"}});
        tools::writeIniString(channelFile, "Config", "PreferredChannelDisplayName", "Renamed");
        QVERIFY(event("EndChannelUpdate"));
        QCOMPARE(window->windowTitle(), QString("Renamed"));
        QCOMPARE(titles(window), (QStringList{"Brand new", "First: 50% off", "Second"}));
        QCOMPARE(l->currentRow(), 1);
        QVERIFY(l->item(1)->isSelected());

        // Viewed identifiers alone.
        tools::writeIniString(channelFile, "ViewedFeedItems", "ViewedFeedItemId-2", "ID-0");
        QVERIFY(event("MarkFeedItemAsViewed"));
        QVERIFY(l->item(0)->font().italic());

        // Hide read items and stay on top, without moving.
        const QPoint where = window->pos();
        QVERIFY(event("ChannelConfigChanged", {{"Hide Read Items", "1"}, {"Always On Top", "1"}}));
        QCOMPARE(titles(window), QStringList{"First: 50% off"});
        QVERIFY(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window->isVisible());
        QCOMPARE(window->pos(), where);
        tools::writeIniString(channelFile, "ViewedFeedItems", "ViewedFeedItemId-3", "id-1");
        QVERIFY(event("MarkFeedItemAsViewed", {{"Hide Read Items", "1"}}));
        QCOMPARE(l->count(), 0);
        QVERIFY(event("ChannelConfigChanged", {{"Hide Read Items", "0"}, {"Always On Top", "0"}}));
        QCOMPARE(l->count(), 3);
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void timesWithoutALocalFormShowNothing() {
        QWidget* window = theWindow();
        QVERIFY(window != nullptr);
        for (const char* value : {"99999999999999999", "0", "-5"}) {
            tools::writeIniString(channelFile, "State", "LastFetchTime", value);
            QVERIFY(event("EndChannelUpdate"));
            QCOMPARE(window->findChild<QLabel*>("lastUpdatedLabel")->text(), QString());
        }
    }

    void closingFromTheWindowAndFromTheHost() {
        QWidget* first = theWindow();
        QVERIFY(first != nullptr);
        QPointer<QWidget> watched(first);
        // Close from the menu: the window goes after its handler returned.
        action(first, "closeAction")->trigger();
        QTRY_VERIFY(watched.isNull());
        QVERIFY(monitorWindows().isEmpty());
        QVERIFY(event("EndChannelUpdate"));  // no window: nothing to do

        // The command opens a new window; detaching closes it.
        QVERIFY(call(processCommand, request("CommandName", "OpenWindow")));
        QWidget* second = theWindow();
        QVERIFY(second != nullptr);
        watched = second;
        QVERIFY(event("ChannelHookAttached", {}, kHookCookie + 1));
        QCOMPARE(monitorWindows().size(), 2);
        QVERIFY(event("ChannelHookDetached"));
        QTRY_VERIFY(watched.isNull());
        QCOMPARE(monitorWindows().size(), 1);
        QVERIFY(call(processCommand, request("CommandName", "CloseWindow", {}, kHookCookie + 1)));
        QTRY_VERIFY(monitorWindows().isEmpty());
    }

    void debugLogFollowsTheCalls() {
        const std::string log = testsupport::readFile(dir.file("watchpane.log"));
        QVERIFY(log.find(" | CHANNEL HOOK ATTACHED EVENT\n") != std::string::npos);
        QVERIFY(log.find(" | Requesting critical section: findMonitorWindow()\n") != std::string::npos);
        QVERIFY(log.find(" | Sending the request: hChannelCookie=" + std::to_string(kChannelCookie)) !=
                std::string::npos);
    }
};

QTEST_MAIN(WatchpaneTest)
#include "watchpane_qtest.moc"
