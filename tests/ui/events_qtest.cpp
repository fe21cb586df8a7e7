// User-interface events: delivery while handlers come and go, the log lines
// of a delivery, the events' descriptions, and the two events that go on to
// the channel's hooks.
#include <QApplication>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <sstream>

#include "app/core/messageGroups.h"
#include "channels/channel.h"
#include "channels/hooks/channelHook.h"
#include "lib/log/messageLog.h"
#include "tests/channels/channel_fixture.h"
#include "tests/hooks/hook_fixture.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"
#include "ui/events/uiHandler.h"

namespace {

// Records what it hears; reacts to each event with `onEvent`.
class Recorder : public UiEventHandler {
public:
    explicit Recorder(std::string name) : name_(std::move(name)) {}
    void onUiEvent(UiEvent& event) override {
        heard.push_back(event.getDescription());
        if (onEvent) onEvent();
    }
    std::string getDescription() const override { return "[" + name_ + "]"; }
    std::vector<std::string> heard;
    std::function<void()> onEvent;

private:
    std::string name_;
};

class LogCapture {
public:
    LogCapture() : log_(out_) {
        previous_ = setMessageLog(&log_);
        g_uiEventsGroup.setEnabled(true);
    }
    ~LogCapture() { setMessageLog(previous_); }
    std::string text() const { return out_.str(); }

private:
    std::ostringstream out_;
    CMessageLog log_;
    CMessageLog* previous_;
};

}  // namespace

class EventsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUiHandler(true); }

    // Two handlers that destroy each other: exactly one of them runs, in
    // whatever order the registry holds them.
    void handlerDestroyedDuringDeliveryIsSkipped() {
        UiHandler& ui = *getUiHandler();
        auto first = std::make_unique<Recorder>("first");
        auto second = std::make_unique<Recorder>("second");
        int calls = 0;
        first->onEvent = [&] {
            ++calls;
            second.reset();
        };
        second->onEvent = [&] {
            ++calls;
            first.reset();
        };
        ui.addEventHandler(first.get());
        ui.addEventHandler(second.get());
        ui.fireGlobalOptionsChanged();
        QCOMPARE(calls, 1);
        // The survivor stays registered; the destroyed one is never called.
        ui.fireGlobalOptionsChanged();
        QCOMPARE(calls, 2);
        if (first) ui.removeEventHandler(first.get());
        if (second) ui.removeEventHandler(second.get());
    }

    void handlersAddedOrRemovedDuringDelivery() {
        UiHandler& ui = *getUiHandler();
        Recorder adder("adder"), late("late"), removed("removed");
        adder.onEvent = [&] {
            if (!ui.isEventHandler(&late)) ui.addEventHandler(&late);
            if (ui.isEventHandler(&removed)) ui.removeEventHandler(&removed);
        };
        ui.addEventHandler(&adder);
        ui.addEventHandler(&removed);
        ui.fireChannelDeleted(nullptr);
        // Added during the delivery: hears the next event only. Removed
        // during it but alive: still hears this one.
        QVERIFY(late.heard.empty());
        QCOMPARE(removed.heard.size(), std::size_t(1));
        ui.fireGlobalOptionsChanged();
        QCOMPARE(late.heard, std::vector<std::string>{"[GlobalOptionsChanged]"});
        QCOMPARE(removed.heard.size(), std::size_t(1));
        ui.removeEventHandler(&adder);
        ui.removeEventHandler(&late);
    }

    void deliveryIsLogged() {
        UiHandler& ui = *getUiHandler();
        Recorder one("One");
        LogCapture capture;
        ui.addEventHandler(&one);
        ui.fireGlobalOptionsChanged();
        ui.removeEventHandler(&one);
        g_uiEventsGroup.setEnabled(false);
        ui.removeEventHandler(&one);
        const std::string log = capture.text();
        const std::vector<std::string> expected = {
            "Adding UI event handler: [One]",
            "--- BEGIN UI EVENT: [GlobalOptionsChanged] ---",
            "- Notifying event handler: [One]",
            "--- END UI EVENT: [GlobalOptionsChanged] ---",
            "Removing UI event handler: [One]",
            // Written with the group off.
            "SAFE SHUTDOWN: Tried to remove an un-registered UI event handler: [One]",
        };
        std::size_t at = 0;
        for (const std::string& line : expected) {
            const std::size_t found = log.find(line, at);
            QVERIFY2(found != std::string::npos, (line + "\n--- in ---\n" + log).c_str());
            at = found + line.size();
        }
    }

    void descriptions() {
        testsupport::TempDir dir;
        testsupport::writeFile(dir.file("news.rss"), "[Config]\nPreferredChannelDisplayName=News\n");
        channeltest::TestChannel channel(nullptr, dir.file("news.rss"));
        channel.load();
        QWidget frame;
        frame.setWindowTitle("Welcome");
        struct Case {
            std::unique_ptr<UiEvent> event;
            std::string description;
        };
        std::vector<Case> cases;
        cases.push_back({std::make_unique<ChannelCreatedUiEvent>(nullptr), "[ChannelCreated: <Unknown>]"});
        cases.push_back({std::make_unique<ChannelDeletedUiEvent>(&channel), "[ChannelDeleted: News]"});
        cases.push_back({std::make_unique<ChannelFeedUpdatedUiEvent>(&channel, true),
                         "[ChannelFeedUpdated: News:isRequestedUpdated=1]"});
        cases.push_back({std::make_unique<ChannelConfigChangedUiEvent>(&channel), "[ChannelConfigChanged: News]"});
        cases.push_back({std::make_unique<MarkFeedItemAsViewedUiEvent>(&channel, "id-7", false, true, true),
                         "[MarkFeedItemAsViewedUiEvent:News:id-7:not-viewed]"});
        cases.push_back({std::make_unique<UrlOpenedUiEvent>("http://a/b", nullptr), "[UrlOpenedUiEvent:http://a/b]"});
        cases.push_back({std::make_unique<SimpleBrowserViewActivatedUiEvent>(&frame, false),
                         "[SimpleBrowserViewActivated: Welcome]"});
        for (const Case& c : cases) QCOMPARE(c.event->getDescription(), c.description);
    }

    // The windows hear the events first, then the channel's hooks get them
    // under their engine names with their parameters.
    void hooksReceiveConfigChangedAndMarkViewed() {
        testsupport::TempDir dir;
        const std::string recordDir = dir.file("rec");
        std::filesystem::create_directories(recordDir);
        hooktest::EngineSettings engine(dir.file("config.ini"));
        channels::installChannelHookHost();
        hooktest::writeScript(dir.file("record.sh"), hooktest::recordingScript(recordDir));
        testsupport::writeFile(dir.file("record.hook"), "[Config]\nScriptFilename=" + dir.file("record.sh") +
                                                            "\n[Events]\nChannelConfigChanged=1\n"
                                                            "MarkFeedItemAsViewed=1\n");
        testsupport::writeFile(dir.file("news.rss"),
                               "[Config]\nPreferredChannelDisplayName=News\n[Channel Hooks]\nChannelHook1=" +
                                   dir.file("record.hook") + "\n");
        channeltest::TestChannel channel(nullptr, dir.file("news.rss"));
        channel.load();
        QCOMPARE(channel.getChannelSettings().getChannelHooks().size(), std::size_t(1));

        Recorder window("window");
        getUiHandler()->addEventHandler(&window);
        bool windowFirst = false;
        window.onEvent = [&] { windowFirst = hooktest::recordedRequests(recordDir, "req-").empty(); };
        getUiHandler()->fireChannelConfigChanged(&channel);
        QVERIFY(windowFirst);
        window.onEvent = nullptr;
        MarkFeedItemAsViewedUiEvent mark(&channel, "item-1", false, true, true);
        getUiHandler()->fireEvent(mark);
        getUiHandler()->removeEventHandler(&window);

        const auto requests = hooktest::recordedRequests(recordDir, "req-");
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(tools::getIniString(requests[0], "Config", "EventName", "", false),
                 std::string("ChannelConfigChanged"));
        QCOMPARE(tools::getIniString(requests[0], "Config", "ChannelConfigFile", "", false), dir.file("news.rss"));
        QCOMPARE(tools::getIniString(requests[1], "Config", "EventName", "", false),
                 std::string("MarkFeedItemAsViewed"));
        QCOMPARE(tools::getIniString(requests[1], "Config", "FeedItemId", "", false), std::string("item-1"));
        QCOMPARE(tools::getIniString(requests[1], "Config", "IsViewed", "", false), std::string("0"));
        QCOMPARE(tools::getIniString(requests[1], "Config", "UpdateChannelSummaryPage", "", false), std::string("1"));
        QCOMPARE(tools::getIniString(requests[1], "Config", "EndMarkAll", "", false), std::string("1"));
        channel.getChannelSettings().detachChannelHooks();
    }
};

QTEST_MAIN(EventsTest)
#include "events_qtest.moc"
