// The channel: derived file names, the item count, fetching the latest feed
// with its feed log, the summary page, the due test and events reaching hooks.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "channels/exception.h"
#include "channels/feed/feed.h"
#include "tests/channels/channel_fixture.h"
#include "tools/ini.h"

using namespace channels;
using channeltest::ManagerFixture;
using channeltest::TestChannel;
using channeltest::TestHookHost;

namespace {

const char* const kFeed =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Example</title><link>http://example.com/</link>"
    "<item><title>One</title><link>http://example.com/1</link></item>"
    "<item><title>Two</title><link>http://example.com/2</link></item>"
    "<item><title>Three</title><link>http://example.com/3</link></item></channel></rss>";

void setItems(Channel& channel, int count) {
    auto feed = std::make_unique<Feed>();
    for (int i = 0; i < count; ++i) feed->addFeedItem(FeedItem("id-" + std::to_string(i), "", "", "", "", "", "", ""));
    channel.getChannelState().setLastFeed(std::move(feed));
}

}  // namespace

TEST(Channel, LogFileNamesComeFromTheChannelFileStem) {
    ManagerFixture f;
    TestChannel a(f.manager.get(), f.dir.file("one/news.rss"));
    TestChannel b(f.manager.get(), f.dir.file("two/news.plugin"));
    EXPECT_EQ(a.getFeedLogFilename(), f.dir.file("Logs/news.rss"));
    EXPECT_EQ(b.getFeedLogFilename(), a.getFeedLogFilename());
    EXPECT_EQ(a.getLogFilename("parse"), f.dir.file("Logs/news.parse"));
    EXPECT_EQ(getChannelDisplayName(nullptr), "<Unknown>");
}

TEST(Channel, FeedItemCountIsLimitedByMaxFeedItems) {
    TestChannel channel(nullptr, "c.rss");
    setItems(channel, 8);
    for (auto [max, expected] : {std::pair{-1, 8}, {0, 8}, {5, 5}, {8, 8}, {20, 8}}) {
        channel.getChannelSettings().setMaxFeedItems(max);
        EXPECT_EQ(channel.getFeedItemCount(), expected) << max;
    }
}

TEST(Channel, LatestFeedIsParsedAndLogged) {
    ManagerFixture f;
    TestChannel channel(f.manager.get(), f.channelFile("news.rss"));
    channel.getChannelSettings().setMaxFeedItems(2);
    bool forced = false;
    channel.onUpdate = [&](std::string& text, bool force, bool&) {
        forced = force;
        text = kFeed;
    };
    bool unchanged = true;
    std::unique_ptr<Feed> feed = channel.getLatestFeed(true, &unchanged);
    ASSERT_TRUE(feed);
    EXPECT_TRUE(forced);
    EXPECT_FALSE(unchanged);
    EXPECT_EQ(feed->getFeedItemCount(), 2u);
    EXPECT_EQ(testsupport::readFile(channel.getFeedLogFilename()), kFeed);
    // The feed's header is cached by the configuration.
    EXPECT_EQ(channel.getDisplayName(), "Example");
}

TEST(Channel, LatestFeedFailuresAndUnchangedFeedsAreLogged) {
    ManagerFixture f;
    TestChannel channel(f.manager.get(), f.channelFile("news.rss"));
    const std::string log = channel.getFeedLogFilename();

    channel.onUpdate = [](std::string&, bool, bool&) { throw Exception("Server said no."); };
    EXPECT_THROW(channel.getLatestFeed(false, nullptr), Exception);
    EXPECT_EQ(testsupport::readFile(log), "Server said no.");

    channel.onUpdate = [](std::string&, bool, bool&) { throw 42; };
    EXPECT_THROW(channel.getLatestFeed(false, nullptr), int);
    EXPECT_EQ(testsupport::readFile(log), "Feed update failed: Unknown error.\n");

    channel.onUpdate = [](std::string&, bool, bool& unchanged) { unchanged = true; };
    bool unchanged = false;
    EXPECT_EQ(channel.getLatestFeed(false, &unchanged), nullptr);
    EXPECT_TRUE(unchanged);
    EXPECT_EQ(testsupport::readFile(log), "");

    // The parser's error passes on with the text already logged.
    channel.onUpdate = [](std::string& text, bool, bool&) { text = "<html>not a feed</html>"; };
    EXPECT_ANY_THROW(channel.getLatestFeed(false, nullptr));
    EXPECT_EQ(testsupport::readFile(log), "<html>not a feed</html>");
}

TEST(Channel, SummaryPageUsesTheChannelsTemplateAndBackground) {
    ManagerFixture f;
    TestChannel channel(f.manager.get(), f.channelFile("news.rss"));
    channel.getChannelConfig().setPreferredDisplayName("My News");
    const std::string templ = f.dir.file("page.template");
    testsupport::writeFile(templ, "<h1>{%CHANNEL-NAME%}</h1><img src=\"{%BACKGROUND-IMAGE%}\">");

    channel.getChannelConfig().setChannelSummaryFiles(templ, "");
    channel.generateSummaryPage(false, {}, {});
    const std::string page = channel.getSummaryPageFilename();
    EXPECT_EQ(testsupport::readFile(page), "<h1>My News</h1><img src=\"file://./DefaultChannelSummary.gif\">");

    channel.getChannelConfig().setChannelSummaryFiles(templ, "/pics/back.gif");
    channel.generateSummaryPage(true, {}, {});
    EXPECT_EQ(channel.getSummaryPageFilename(), page);
    EXPECT_EQ(testsupport::readFile(page), "<h1>My News</h1><img src=\"file:///pics/back.gif\">");

    // Without any template the stock one in the current folder is used.
    channel.getChannelConfig().setChannelSummaryFiles("", "");
    try {
        channel.generateSummaryPage(false, {}, {});
        SUCCEED();  // the current folder happens to hold one
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("./DefaultChannelSummary.template"), std::string::npos);
    }
}

// Catches: a page that could not be written (a full disk) reported as
// generated, so the view shows a cut or empty page without a word.
TEST(Channel, SummaryPageWriteFailureIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ManagerFixture f;
    TestChannel channel(f.manager.get(), f.channelFile("news.rss"));
    const std::string templ = f.dir.file("page.template");
    testsupport::writeFile(templ, std::string(100000, 'x') + "{%CHANNEL-NAME%}");
    channel.getChannelConfig().setChannelSummaryFiles(templ, "");
    // The page file now leads to a device on which every write fails.
    const std::string page = channel.getSummaryPageFilename();
    std::filesystem::remove(page);
    std::filesystem::create_symlink("/dev/full", page);
    try {
        channel.generateSummaryPage(false, {}, {});
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Can't write the summary page: " + page);
    }
}

TEST(Channel, DueTestFollowsIntervalAndPublisherSkipTimes) {
    TestChannel channel(nullptr, "c.rss");
    ChannelSettings& settings = channel.getChannelSettings();
    settings.setAutoUpdateEnabled(true);
    settings.setAutoUpdateInterval(3600);
    channel.getChannelState().setLastFetchTime(1796000000);
    // One hour later it is Monday, 01:53:20 UTC.
    const std::time_t later = 1796000000 + 3600;
    EXPECT_FALSE(channel.isUpdateDue(1796000000 + 3599));
    EXPECT_TRUE(channel.isUpdateDue(later));
    EXPECT_FALSE(channel.isSuspendedByPublisher());

    ChannelHeader header;
    header.SkipHours = {1};
    channel.getChannelConfig().setChannelHeader(header);
    EXPECT_FALSE(channel.isUpdateDue(later));
    EXPECT_TRUE(channel.isSuspendedByPublisher());
    header.SkipHours.clear();
    header.SkipDays = {1};
    channel.getChannelConfig().setChannelHeader(header);
    EXPECT_FALSE(channel.isUpdateDue(later));
    header.SkipDays = {0, 2};
    channel.getChannelConfig().setChannelHeader(header);
    EXPECT_TRUE(channel.isUpdateDue(later));
    EXPECT_FALSE(channel.isSuspendedByPublisher());

    settings.setAutoUpdateEnabled(false);
    EXPECT_FALSE(channel.isUpdateDue(later));
}

TEST(Channel, EventsOnTheChannelReachItsHooksOnly) {
    ManagerFixture f;
    TestHookHost host;
    auto* channel = new TestChannel(f.manager.get(), f.channelFile("news.rss"));
    f.manager->addChannel(channel);
    channeltest::TestHook* hook = host.make("watch");
    channel->getChannelSettings().setChannelHooks({TestHookHost::handle(hook)});
    hook->events.clear();

    f.manager->raiseEvent(InfoMsgEvent(0, "manager only"));
    EXPECT_TRUE(hook->events.empty());
    channel->raiseEvent(BeginChannelUpdateEvent(0, channel));
    f.manager->raiseChannelEvent(EndChannelUpdateEvent(0, channel, true, false), channel);
    EXPECT_EQ(hook->events, (std::vector<std::string>{"BeginChannelUpdate", "EndChannelUpdate"}));
    channel->getChannelSettings().setChannelHooks({});
    f.manager->stopChannelManager(false);
}

TEST(Channel, LogChannelProcessingSwitch) {
    testsupport::TempDir dir;
    const std::string file = dir.file("c.rss");
    TestChannel channel(nullptr, file);
    EXPECT_FALSE(channel.isLogChannelProcessing());
    testsupport::writeFile(file, "[Debug]\nLogChannelProcessing=1\n");
    EXPECT_TRUE(channel.isLogChannelProcessing());
}
