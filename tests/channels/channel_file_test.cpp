// The channel file as a whole: naming, round trip of a real-shaped file,
// section order, one-rewrite saves that survive being killed and concurrent
// writers, and a failed write being reported.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "tests/channels/channel_fixture.h"
#include "channels/channelFile.h"
#include "channels/exception.h"
#include "channels/feed/feed.h"
#include "platform/profile.h"
#include "tools/ini.h"

using channeltest::ManagerFixture;
using channeltest::TestChannel;
namespace profile = platform::profile;

namespace {

struct Entry {
    std::string section, key, value;
    bool operator==(const Entry&) const = default;
};

void PrintTo(const Entry& e, std::ostream* os) { *os << "[" << e.section << "] " << e.key << "=" << e.value << "\n"; }

// Every key of the file, in file order, with its raw (still encoded) value.
std::vector<Entry> entries(const std::string& file) {
    std::vector<Entry> out;
    for (const std::string& section : profile::getSectionNames(file)) {
        for (const std::string& key : profile::getKeyNames(file, section)) {
            out.push_back({section, key, profile::readValue(file, section, key).value_or("<missing>")});
        }
    }
    return out;
}

// The keys and raw values of each section, in file order within the section.
std::map<std::string, std::vector<Entry>> bySection(const std::vector<Entry>& all) {
    std::map<std::string, std::vector<Entry>> out;
    for (const Entry& e : all) out[e.section].push_back(e);
    return out;
}

// Same sections with the same keys and values; a failure names the keys.
void expectSameEntries(const std::vector<Entry>& actual, const std::vector<Entry>& expected) {
    const auto a = bySection(actual);
    const auto e = bySection(expected);
    EXPECT_EQ(a.size(), e.size());
    for (const auto& [section, keys] : e) {
        auto it = a.find(section);
        ASSERT_NE(it, a.end()) << section;
        EXPECT_EQ(it->second.size(), keys.size()) << section;
        for (std::size_t i = 0; i < std::min(keys.size(), it->second.size()); ++i) {
            EXPECT_EQ(it->second[i], keys[i]);
        }
    }
}

// The engine's sections of the file, in file order (other sections left out).
std::vector<std::string> engineSections(const std::string& file) {
    std::vector<std::string> out;
    for (const std::string& s : profile::getSectionNames(file)) {
        if (s != "Desktop Settings" && s != "ViewedFeedItems") out.push_back(s);
    }
    return out;
}

std::string fixture(const std::string& name) { return testsupport::sourceDir() + "/channels/data/channel/" + name; }

}  // namespace

TEST(ChannelFileName, BaseNameRules) {
    struct Case {
        const char* source;
        const char* name;
    } cases[] = {
        {"http://example.com/a/feed.xml", "example.com_a_feed.xml"},
        {"HTTP://Example.com/feed?x=1", "Example.com_feed_x=1"},
        {"http://127.0.0.1:2604/MyPlugin/feed?x=1", "127.0.0.1_XXXX_MyPlugin_feed_x=1"},
        {"HTTP://127.0.0.1:80/p/q", "127.0.0.1_XX_p_q"},
        // Without the "http://" prefix the port is not masked.
        {"127.0.0.1:2604/p", "127.0.0.1_2604_p"},
        {"C:\\Scripts\\feed.py", "C__Scripts_feed.py"},
        {"https://example.com/*", "https___example.com__"},
    };
    for (const Case& c : cases) EXPECT_EQ(channels::makeChannelFileName(c.source), c.name) << c.source;
}

TEST(ChannelFileName, TakenNamesGetACounter) {
    testsupport::TempDir dir;
    const std::string url = "http://example.com/feed";
    const std::string first = channels::makeChannelFilePath(dir.str(), url, ".rss");
    EXPECT_EQ(first, dir.file("example.com_feed.rss"));
    testsupport::writeFile(first, "");
    EXPECT_EQ(channels::makeChannelFilePath(dir.str(), url, ".rss"), dir.file("example.com_feed-1.rss"));
    testsupport::writeFile(dir.file("example.com_feed-1.rss"), "");
    EXPECT_EQ(channels::makeChannelFilePath(dir.str(), url, ".rss"), dir.file("example.com_feed-2.rss"));
    // Another extension is another name.
    EXPECT_EQ(channels::makeChannelFilePath(dir.str(), url, ".plugin"), dir.file("example.com_feed.plugin"));
}

// Catches keys lost, re-encoded, reordered or moved to other sections by a
// load and save, and the desktop's sections being touched.
TEST(ChannelFile, RealShapedFileSavesBackUnchanged) {
    ManagerFixture f;
    const std::string file = f.channelFile("news.rss");
    std::filesystem::copy_file(fixture("news.rss"), file);
    const std::vector<Entry> before = entries(file);
    ASSERT_GT(before.size(), 60u);

    {
        TestChannel channel(f.manager.get(), file);
        channel.load();
        EXPECT_EQ(channel.getDisplayName(), "My News");
        EXPECT_EQ(channel.getChannelSettings().getAutoUpdateInterval(), 7200);
        EXPECT_TRUE(channel.getChannelState().isNewFeedItem("HTTP://EXAMPLE.COM/2"));
        EXPECT_EQ(channel.getChannelState().getLastFeed()->getFeedItems().at(1).getTitle(), "Caf\xC3\xA9 opens");
        EXPECT_EQ(channel.getChannelState().getLastFeed()->getFeedItems().at(0).getDescription(),
                  "<p>First line\nsecond line</p>");
        channel.save();
    }
    expectSameEntries(entries(file), before);
    const std::vector<std::string> order{"Cache",     "Config",        "Settings",     "State",
                                         "Last Feed", "Last Feed (1)", "Last Feed (2)"};
    EXPECT_EQ(engineSections(file), order);

    // A second round trip through a fresh object changes nothing either.
    TestChannel again(f.manager.get(), file);
    again.load();
    again.save();
    expectSameEntries(entries(file), before);
}

// A new channel file holding only the feed URL: defaults everywhere, the
// sections written in the engine's order, no last feed yet.
TEST(ChannelFile, MinimalFileLoadsDefaultsAndSavesInOrder) {
    ManagerFixture f;
    const std::string file = f.channelFile("minimal.rss");
    testsupport::writeFile(file, "[Config]\nRssChannelUrl=http://example.com/feed.xml\n");
    f.manager->getDefaultChannelSettings().setAutoUpdateInterval(7300);

    const std::time_t beforeLoad = std::time(nullptr);
    TestChannel channel(f.manager.get(), file);
    channel.load();
    const channels::ChannelConfig& config = channel.getChannelConfig();
    EXPECT_EQ(config.getPreferredDisplayName(), "");
    EXPECT_EQ(config.getPreferredImageWidth(), -1);
    EXPECT_EQ(config.getPreferredImageHeight(), -1);
    EXPECT_EQ(channel.getDisplayName(), "Default Name");
    const channels::ChannelSettings& settings = channel.getChannelSettings();
    EXPECT_TRUE(settings.isAutoUpdateEnabled());
    EXPECT_EQ(settings.getAutoUpdateInterval(), 7300);
    EXPECT_FALSE(settings.getAllowEmptyFeeds());
    EXPECT_EQ(settings.getMaxFeedItems(), -1);
    EXPECT_TRUE(settings.getChannelCategories().empty());
    const channels::ChannelState& state = channel.getChannelState();
    EXPECT_EQ(state.getTotalChannelsUpdates(), 0);
    EXPECT_EQ(state.getNConsecutive404s(), 0);
    EXPECT_GE(state.getCreationTime(), beforeLoad);

    channel.save();
    EXPECT_EQ(profile::getSectionNames(file), (std::vector<std::string>{"Config", "Cache", "Settings", "State"}));
    EXPECT_EQ(profile::getKeyNames(file, "Config"),
              (std::vector<std::string>{"RssChannelUrl", "ForceNetDownloads", "PreferredChannelDisplayName",
                                        "PreferredChannelDescription", "PreferredChannelHomeUrl", "PreferredImageUrl",
                                        "PreferredImageWidth", "PreferredImageHeight"}));
    EXPECT_EQ(
        profile::getKeyNames(file, "Settings"),
        (std::vector<std::string>{"IsAutoUpdateEnabled", "AutoUpdateInterval", "AllowEmptyFeeds", "MaxFeedItems"}));
    EXPECT_EQ(profile::getKeyNames(file, "State"),
              (std::vector<std::string>{"LastFetchTime", "HttpLastModified", "HttpETag", "CreationTime",
                                        "TotalChannelsUpdates", "TotalFeedItemsReceived", "NConsecutive404s"}));
    EXPECT_EQ(profile::getKeyNames(file, "Cache").back(), "ChannelSummaryBackgroundFilename");
    EXPECT_EQ(tools::getIniInt(file, "State", "CreationTime", 0), static_cast<int>(state.getCreationTime()));

    // Once a feed is held it follows the state.
    auto feed = std::make_unique<channels::Feed>();
    feed->setFeedTime(1796000000);
    feed->addFeedItem(channels::FeedItem("id-1", "t", "d", "u", "", "", "", ""));
    channel.getChannelState().setLastFeed(std::move(feed));
    channel.save();
    EXPECT_EQ(profile::getSectionNames(file),
              (std::vector<std::string>{"Config", "Cache", "Settings", "State", "Last Feed", "Last Feed (1)"}));
}

// Lists that shrink leave no stale numbered keys; ranges fall back to defaults.
TEST(ChannelFile, ShrinkingListsAndOutOfRangeValues) {
    ManagerFixture f;
    const std::string file = f.channelFile("lists.rss");
    testsupport::writeFile(file,
                           "[Config]\nPreferredImageWidth=501\nPreferredImageHeight=-2\n"
                           "[Settings]\nMaxFeedItems=101\nChannelCategory-1=A\nChannelCategory-2=B\n"
                           "ChannelCategory-3=C\n"
                           "[State]\nNewFeedItemId-1=a\nNewFeedItemId-2=b\nNewFeedItemId-3=c\nNewFeedItemId-4=d\n"
                           "NewFeedItemId-5=e\n");
    f.manager->getDefaultChannelSettings().setMaxFeedItems(25);
    TestChannel channel(f.manager.get(), file);
    channel.load();
    EXPECT_EQ(channel.getChannelConfig().getPreferredImageWidth(), -1);
    EXPECT_EQ(channel.getChannelConfig().getPreferredImageHeight(), -1);
    EXPECT_EQ(channel.getChannelSettings().getMaxFeedItems(), 25);

    channel.getChannelSettings().setChannelCategory("B", false);
    channel.getChannelState().setNewFeedItems({"x", "y"}, 2);
    channel.save();
    EXPECT_EQ(tools::getIndexedIniList(file, "Settings", "ChannelCategory-", 1, true),
              (std::vector<std::string>{"A", "C"}));
    EXPECT_FALSE(profile::readValue(file, "Settings", "ChannelCategory-3").has_value());
    EXPECT_EQ(tools::getIndexedIniList(file, "State", "NewFeedItemId-", 1, true), (std::vector<std::string>{"x", "y"}));
    for (int n = 3; n <= 5; ++n) {
        EXPECT_FALSE(profile::readValue(file, "State", "NewFeedItemId-" + std::to_string(n)).has_value()) << n;
    }
}

// A save is written as one file: a writer killed at any moment leaves either
// the old or the new file, never a mix or a cut one.
TEST(ChannelFile, SaveKilledHalfWayLeavesAWholeFile) {
    ManagerFixture f;
    const std::string file = f.channelFile("killed.rss");
    constexpr int kItems = 200;
    auto makeChannel = [&](int generation) {
        auto channel = std::make_unique<TestChannel>(nullptr, file);
        auto feed = std::make_unique<channels::Feed>();
        feed->setFeedTime(1796000000 + generation);
        for (int i = 0; i < kItems; ++i) {
            const std::string g = std::to_string(generation);
            feed->addFeedItem(channels::FeedItem("id-" + std::to_string(i), "title " + g, std::string(100, 'x') + g,
                                                 "u", "", "", "", ""));
        }
        channel->getChannelState().setLastFeed(std::move(feed));
        channel->getChannelSettings().setAutoUpdateInterval(10000 + generation);
        return channel;
    };
    makeChannel(0)->save();

    for (int round = 0; round < 8; ++round) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The killed child cannot remove its channels' temporary files:
            // keep them in the fixture's folder, which goes with the test.
            setenv("TMP", f.dir.str().c_str(), 1);
            for (int generation = 1; generation < 100000; ++generation) makeChannel(generation)->save();
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * round));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);

        profile::invalidate(file);
        // The whole file belongs to one generation.
        const int generation = tools::getIniInt(file, "Settings", "AutoUpdateInterval", -1) - 10000;
        ASSERT_GE(generation, 0) << "round " << round;
        EXPECT_EQ(tools::getIniInt(file, "Last Feed", "FeedTime", 0), 1796000000 + generation);
        for (int i = 0; i < kItems; ++i) {
            const std::string section = channels::Feed::makeItemSectionName("Last Feed", i + 1);
            ASSERT_EQ(tools::getIniString(file, section, "Title", "", true), "title " + std::to_string(generation))
                << "round " << round << " item " << i;
        }
    }
}

// The engine saving a channel while another thread writes the desktop's
// section of the same file: neither loses anything.
TEST(ChannelFile, ConcurrentSectionWritersLoseNothing) {
    ManagerFixture f;
    const std::string file = f.channelFile("shared.rss");
    TestChannel channel(f.manager.get(), file);
    auto feed = std::make_unique<channels::Feed>();
    for (int i = 0; i < 30; ++i)
        feed->addFeedItem(channels::FeedItem("id-" + std::to_string(i), "t", "", "", "", "", "", ""));
    channel.getChannelState().setLastFeed(std::move(feed));
    constexpr int kRounds = 60;

    std::thread desktop([&] {
        for (int i = 0; i < kRounds; ++i)
            tools::writeIniString(file, "Desktop Settings", "Key" + std::to_string(i), "v");
    });
    for (int i = 0; i < kRounds; ++i) {
        channel.getChannelState().setNConsecutive404s(i);
        channel.save();
    }
    desktop.join();

    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(tools::getIniString(file, "Desktop Settings", "Key" + std::to_string(i), "", true), "v") << i;
    }
    EXPECT_EQ(tools::getIniInt(file, "State", "NConsecutive404s", -1), kRounds - 1);
    EXPECT_EQ(tools::getIniString(file, "Last Feed (30)", "Id", "", true), "id-29");
}

// Counts the times a file of the folder is replaced by a rename.
int countReplacements(int fd, const std::string& name) {
    alignas(inotify_event) char buffer[64 * 1024];
    int count = 0;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return count;
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if ((event->mask & IN_MOVED_TO) && event->len > 0 && name == event->name) ++count;
            p += sizeof(inotify_event) + event->len;
        }
    }
}

// A save of a channel with many items and a load are one rewrite and none.
TEST(ChannelFile, SaveIsOneRewriteAndLoadNone) {
    testsupport::TempDir dir;
    const std::string file = dir.file("big.rss");
    TestChannel channel(nullptr, file);
    auto feed = std::make_unique<channels::Feed>();
    for (int i = 0; i < 100; ++i)
        feed->addFeedItem(channels::FeedItem("id-" + std::to_string(i), "t", "", "", "", "", "", ""));
    channel.getChannelState().setLastFeed(std::move(feed));
    channel.getChannelSettings().setChannelCategories({"A", "B"});
    channel.save();

    const int fd = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_GE(inotify_add_watch(fd, dir.str().c_str(), IN_MOVED_TO), 0);
    channel.save();
    EXPECT_EQ(countReplacements(fd, "big.rss"), 1);
    TestChannel reader(nullptr, file);
    reader.load();
    EXPECT_EQ(countReplacements(fd, "big.rss"), 0);
    EXPECT_EQ(reader.getChannelState().getLastFeed()->getFeedItemCount(), 100u);
    close(fd);
}

TEST(ChannelFile, FailedWriteIsReported) {
    testsupport::TempDir dir;
    TestChannel channel(nullptr, dir.file("no-such-folder/x.rss"));
    EXPECT_THROW(channel.save(), channels::Exception);
}
