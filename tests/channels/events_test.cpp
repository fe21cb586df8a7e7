// Every channel event kind: its name, its one-line dump, the parameters it
// writes into a request file, and the listener handler it dispatches to.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "channels/channelEvents.h"
#include "channels/feed/feed.h"
#include "platform/profile.h"
#include "tests/channels/channel_fixture.h"
#include "tools/ini.h"

using namespace channels;
using channeltest::ManagerFixture;
using channeltest::TestChannel;
using channeltest::TestHookHost;
namespace profile = platform::profile;

namespace {

// Records which handler each event reached.
class RecordingListener : public EventListener {
public:
    std::vector<std::string> calls;
    void onInfoMsgEvent(const InfoMsgEvent&) override { calls.push_back("onInfoMsgEvent"); }
    void onBeginChannelUpdateEvent(const BeginChannelUpdateEvent&) override {
        calls.push_back("onBeginChannelUpdateEvent");
    }
    void onEndChannelUpdateEvent(const EndChannelUpdateEvent&) override { calls.push_back("onEndChannelUpdateEvent"); }
    void onNewFeedItemEvent(const NewFeedItemEvent&) override { calls.push_back("onNewFeedItemEvent"); }
    void onConsolidatedNewFeedItemsEvent(const ConsolidatedNewFeedItemsEvent&) override {
        calls.push_back("onConsolidatedNewFeedItemsEvent");
    }
    void onExpiredFeedItemEvent(const ExpiredFeedItemEvent&) override { calls.push_back("onExpiredFeedItemEvent"); }
    void onChannelErrorEvent(const ChannelErrorEvent&) override { calls.push_back("onChannelErrorEvent"); }
    void onAppPluginErrorEvent(const AppPluginErrorEvent&) override { calls.push_back("onAppPluginErrorEvent"); }
    void onChannelHookLoadedEvent(const ChannelHookLoadedEvent&) override {
        calls.push_back("onChannelHookLoadedEvent");
    }
    void onChannelHookAttachedEvent(const ChannelHookAttachedEvent&) override {
        calls.push_back("onChannelHookAttachedEvent");
    }
    void onChannelHookDetachedEvent(const ChannelHookDetachedEvent&) override {
        calls.push_back("onChannelHookDetachedEvent");
    }
};

using Keys = std::vector<std::pair<std::string, std::string>>;

// section -> keys and raw values, in file order
std::map<std::string, Keys> readAll(const std::string& file) {
    std::map<std::string, Keys> out;
    for (const std::string& section : profile::getSectionNames(file)) {
        for (const std::string& key : profile::getKeyNames(file, section)) {
            out[section].emplace_back(key, profile::readValue(file, section, key).value_or(""));
        }
    }
    return out;
}

Keys itemKeys(int n) {
    const std::string id = "id-" + std::to_string(n);
    return {{"Id", id},
            {"Title", "Title " + std::to_string(n)},
            {"Description", "50%25 off"},
            {"Url", id},
            {"Source", ""},
            {"Author", ""},
            {"CommentsUrl", ""},
            {"PubDateString", ""}};
}

std::string appPluginIdForTest(const AppPlugin&) { return "SiteSearch"; }

}  // namespace

TEST(ChannelEvents, EveryKindNamesDumpsWritesAndDispatches) {
    ManagerFixture f;
    TestHookHost hooks;
    channeltest::TestHook* hook = hooks.make("Mailer");
    const std::string channelFile = f.channelFile("news.rss");
    TestChannel channel(f.manager.get(), channelFile);
    channel.getChannelConfig().setPreferredDisplayName("News");
    auto feed = std::make_unique<Feed>();
    for (int i = 0; i < 8; ++i) {
        const std::string id = "id-" + std::to_string(i);
        feed->addFeedItem(FeedItem(id, "Title " + std::to_string(i), "50% off", id, "", "", "", ""));
    }
    channel.getChannelState().setLastFeed(std::move(feed));
    setAppPluginIdReader(&appPluginIdForTest);
    auto* plugin = reinterpret_cast<AppPlugin*>(&f);  // only its identity is used
    ChannelHook* h = TestHookHost::handle(hook);
    Channel* c = &channel;
    const std::time_t t = 1796000000;
    const Keys file = {{"ChannelConfigFile", channelFile}};

    struct Case {
        std::function<std::unique_ptr<Event>()> make;
        std::string name, dump, handler;
        std::map<std::string, Keys> params;  // sections written besides nothing else
    };
    const std::vector<Case> cases = {
        {[&] { return std::make_unique<InfoMsgEvent>(t, "Blackout until 06:00."); },
         "InfoMsg",
         "[InfoMsg:Blackout until 06:00.]",
         "onInfoMsgEvent",
         {}},
        {[&] { return std::make_unique<BeginChannelUpdateEvent>(t, c); },
         "BeginChannelUpdate",
         "[BeginChannelUpdate:News]",
         "onBeginChannelUpdateEvent",
         {{"Config", file}}},
        {[&] { return std::make_unique<BeginChannelUpdateEvent>(t, nullptr); },
         "BeginChannelUpdate",
         "[BeginChannelUpdate:<Unknown>]",
         "onBeginChannelUpdateEvent",
         {}},
        {[&] { return std::make_unique<EndChannelUpdateEvent>(t, c, false, false); },
         "EndChannelUpdate",
         "[EndChannelUpdate:News]",
         "onEndChannelUpdateEvent",
         {{"Config", {file[0], {"UpdatedOk", "0"}, {"IsRequestedUpdate", "0"}}}}},
        {[&] { return std::make_unique<EndChannelUpdateEvent>(t, nullptr, true, true); },
         "EndChannelUpdate",
         "[EndChannelUpdate:<Unknown>]",
         "onEndChannelUpdateEvent",
         {{"Config", {{"UpdatedOk", "1"}, {"IsRequestedUpdate", "1"}}}}},
        {[&] { return std::make_unique<NewFeedItemEvent>(t, c, 4, 1, true); },
         "NewFeedItem",
         "[NewFeedItem:News:4]",
         "onNewFeedItemEvent",
         {{"Config", {file[0], {"ConsolidationIndex", "1"}, {"IsRequestedUpdate", "1"}}},
          {"NewFeedItem", itemKeys(4)}}},
        {[&] { return std::make_unique<NewFeedItemEvent>(t, nullptr, 4, 1, true); },
         "NewFeedItem",
         "[NewFeedItem:<unknown>]",
         "onNewFeedItemEvent",
         {{"Config", {{"ConsolidationIndex", "1"}, {"IsRequestedUpdate", "1"}}}}},
        {[&] {
             return std::make_unique<ConsolidatedNewFeedItemsEvent>(t, c, std::vector<int>{4, 0, 7}, false);
         },
         "ConsolidatedNewFeedItems",
         "[ConsolidatedNewFeedItems:News:4,0,7]",
         "onConsolidatedNewFeedItemsEvent",
         {{"Config", {file[0], {"IsRequestedUpdate", "0"}}},
          {"NewFeedItem-1", itemKeys(4)},
          {"NewFeedItem-2", itemKeys(0)},
          {"NewFeedItem-3", itemKeys(7)}}},
        {[&] { return std::make_unique<ConsolidatedNewFeedItemsEvent>(t, nullptr, std::vector<int>{1}, false); },
         "ConsolidatedNewFeedItems",
         "[ConsolidatedNewFeedItems:<unknown>]",
         "onConsolidatedNewFeedItemsEvent",
         {{"Config", {{"IsRequestedUpdate", "0"}}}}},
        {[&] { return std::make_unique<ExpiredFeedItemEvent>(t, c, 2); },
         "ExpiredFeedItem",
         "[ExpiredFeedItem:News:2]",
         "onExpiredFeedItemEvent",
         {{"Config", file}, {"ExpiredFeedItem", itemKeys(2)}}},
        // A position outside the last feed writes no item.
        {[&] { return std::make_unique<ExpiredFeedItemEvent>(t, c, 8); },
         "ExpiredFeedItem",
         "[ExpiredFeedItem:News:8]",
         "onExpiredFeedItemEvent",
         {{"Config", file}}},
        {[&] { return std::make_unique<ExpiredFeedItemEvent>(t, nullptr, 2); },
         "ExpiredFeedItem",
         "[ExpiredFeedItem:<unknown>]",
         "onExpiredFeedItemEvent",
         {}},
        {[&] { return std::make_unique<ChannelErrorEvent>(t, c, "Feed not found", "HTTP 404\tNot Found"); },
         "ChannelError",
         "[ChannelError:News:Feed not found]",
         "onChannelErrorEvent",
         {{"Config", {file[0], {"ErrorMsg", "Feed not found"}, {"AdditionalInfo", "HTTP 404%09Not Found"}}}}},
        {[&] { return std::make_unique<ChannelErrorEvent>(t, nullptr, "Load failed", "x"); },
         "ChannelError",
         "[ChannelError:<unknown>]",
         "onChannelErrorEvent",
         {{"Config", {{"ErrorMsg", "Load failed"}, {"AdditionalInfo", "x"}}}}},
        {[&] { return std::make_unique<AppPluginErrorEvent>(t, plugin, "Missing entry point"); },
         "AppPluginError",
         "[AppPluginError:SiteSearch]",
         "onAppPluginErrorEvent",
         {}},
        {[&] { return std::make_unique<AppPluginErrorEvent>(t, nullptr, "Missing entry point"); },
         "AppPluginError",
         "[AppPluginError:<unknown>]",
         "onAppPluginErrorEvent",
         {}},
        {[&] { return std::make_unique<ChannelHookLoadedEvent>(t, c, h); },
         "ChannelHookLoaded",
         "[ChannelHookLoaded:News:Mailer]",
         "onChannelHookLoadedEvent",
         {{"Config", file}}},
        {[&] { return std::make_unique<ChannelHookAttachedEvent>(t, c, h); },
         "ChannelHookAttached",
         "[ChannelHookAttached:News:Mailer]",
         "onChannelHookAttachedEvent",
         {{"Config", file}}},
        {[&] { return std::make_unique<ChannelHookDetachedEvent>(t, c, h); },
         "ChannelHookDetached",
         "[ChannelHookDetached:News:Mailer]",
         "onChannelHookDetachedEvent",
         {{"Config", file}}},
    };

    testsupport::TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dump);
        std::unique_ptr<Event> event = c.make();
        EXPECT_EQ(event->getEventName(), c.name);
        EXPECT_EQ(event->getEventTime(), t);
        std::ostringstream dump;
        dump << *event;
        EXPECT_EQ(dump.str(), c.dump);

        const std::string request = dir.file("request-" + std::to_string(n++) + ".ini");
        event->writeParams(request, "Config");
        EXPECT_EQ(readAll(request), c.params);

        RecordingListener listener;
        f.manager->addEventHandler(&listener);
        f.manager->raiseEvent(*event);
        f.manager->removeEventHandler(&listener);
        EXPECT_EQ(listener.calls, std::vector<std::string>{c.handler});

        // A listener that overrides nothing ignores the event.
        EventListener quiet;
        EXPECT_NO_THROW(quiet.handleEvent(*event));
    }
    setAppPluginIdReader(nullptr);
}
