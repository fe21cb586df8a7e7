// Channel configuration: effective and preferred values, and the channel
// image with its cache file beside the channel file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "channels/feed/channelHeader.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/ini.h"

using namespace channels;
using channeltest::ManagerFixture;
using channeltest::TestChannel;

namespace {

ChannelHeader header(const std::string& name, const std::string& imageUrl, int width = 88) {
    ChannelHeader h;
    h.ChannelDisplayName = name;
    h.ChannelDescription = "About " + name;
    h.ChannelHomeUrl = "http://example.com/";
    h.ChannelImageUrl = imageUrl;
    h.ChannelImageWidth = width;
    h.ChannelImageHeight = 31;
    return h;
}

std::vector<unsigned char> bytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(ChannelConfig, EffectiveValuesFollowTheFeedUnlessPreferred) {
    TestChannel channel(nullptr, "news.rss");
    ChannelConfig& config = channel.getChannelConfig();
    EXPECT_EQ(config.getDisplayName(), "Default Name");

    config.setChannelHeader(header("Feed Name", ""));
    EXPECT_EQ(config.getDisplayName(), "Feed Name");
    // A preference equal to the feed's value (in any case) is no preference,
    // so a later change of the feed shows.
    config.setPreferredDisplayName("FEED NAME");
    EXPECT_EQ(config.getPreferredDisplayName(), "");
    config.setChannelHeader(header("Renamed Feed", ""));
    EXPECT_EQ(config.getDisplayName(), "Renamed Feed");
    config.setPreferredDisplayName("Mine");
    EXPECT_EQ(config.getDisplayName(), "Mine");

    config.setPreferredDescription("About Renamed Feed");
    EXPECT_EQ(config.getPreferredDescription(), "");
    config.setPreferredHomeUrl("http://mine.example/");
    EXPECT_EQ(config.getHomeUrl(), "http://mine.example/");

    // Only widths of 1 or more count as a preference.
    config.setPreferredImageWidth(0);
    EXPECT_EQ(config.getPreferredImageWidth(), 0);
    EXPECT_EQ(config.getImageWidth(), 88);
    config.setPreferredImageWidth(88);
    EXPECT_EQ(config.getPreferredImageWidth(), -1);
    config.setPreferredImageHeight(40);
    EXPECT_EQ(config.getImageHeight(), 40);
}

// The cache file takes the image's extension only for image types, so a feed
// naming its image ".../x.rss" can't make the cache file the channel file.
TEST(ChannelConfig, ImageCacheFileNameNeverNamesAChannelFile) {
    TestChannel channel(nullptr, "/data/Channels/abc.rss");
    ChannelConfig& config = channel.getChannelConfig();
    const struct {
        const char* url;
        const char* file;
    } cases[] = {
        {"", ""},
        {"http://example.com/img/logo.gif", "/data/Channels/abc.gif"},
        {"http://example.com/logo.PNG?size=2", "/data/Channels/abc.PNG"},
        {"http://example.com/a.jpeg", "/data/Channels/abc.jpeg"},
        {"http://example.com/a.webp#top", "/data/Channels/abc.webp"},
        {"http://example.com/feed.rss", "/data/Channels/abc.img"},
        {"http://example.com/other.plugin", "/data/Channels/abc.img"},
        {"http://example.com/image.php?id=3", "/data/Channels/abc.img"},
        {"http://example.com/logo", "/data/Channels/abc.img"},
        {"http://example.com.gif/logo", "/data/Channels/abc.img"},
    };
    for (const auto& c : cases) {
        config.setChannelHeader(header("n", c.url));
        EXPECT_EQ(config.getChannelImageFilename(), c.file) << c.url;
    }
}

class ChannelImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = f.channelFile("abc.rss");
        testsupport::writeFile(file, "[Config]\nRssChannelUrl=http://example.com/feed.xml\n");
        image = std::string("GIF89a\x01\x02\xff\x80 image", 16);
        testsupport::writeFile(f.dir.file("logo.gif"), image);
        testsupport::HttpAnswer answer;
        answer.bodyFile = f.dir.file("logo.gif");
        server.route("/logo.gif", answer);
        server.route("/feed.rss", answer);
    }

    ManagerFixture f;
    testsupport::HttpServer server;
    std::string file, image;
};

TEST_F(ChannelImageTest, DownloadedOnceThenReadFromTheCacheFile) {
    {
        TestChannel channel(f.manager.get(), file);
        ChannelConfig& config = channel.getChannelConfig();
        const std::time_t before = std::time(nullptr);
        config.setChannelHeader(header("n", server.url("/logo.gif")));
        EXPECT_EQ(config.loadChannelImage(), bytes(image));
        EXPECT_GE(config.getChannelImageLoadTime(), before);
        EXPECT_EQ(testsupport::readFile(f.channelFile("abc.gif")), image);
        config.loadChannelImage();
        EXPECT_EQ(server.requests("/logo.gif").size(), 1u);

        // A new header with the same image keeps image and cache file.
        config.setChannelHeader(header("renamed", server.url("/logo.gif")));
        EXPECT_EQ(server.requests("/logo.gif").size(), 1u);
        EXPECT_TRUE(std::filesystem::exists(f.channelFile("abc.gif")));
    }
    // A fresh configuration reads the cache file instead of downloading.
    TestChannel channel(f.manager.get(), file);
    channel.getChannelConfig().setChannelHeader(header("n", server.url("/logo.gif")));
    EXPECT_EQ(channel.getChannelConfig().loadChannelImage(), bytes(image));
    EXPECT_EQ(server.requests("/logo.gif").size(), 1u);

    // Deleting the channel's files removes the cache file.
    channel.getChannelConfig().deleteChannelFiles();
    EXPECT_FALSE(std::filesystem::exists(f.channelFile("abc.gif")));
}

TEST_F(ChannelImageTest, AnImageNamedLikeAChannelFileLeavesTheChannelFileAlone) {
    const std::string channelText = testsupport::readFile(file);
    TestChannel channel(f.manager.get(), file);
    ChannelConfig& config = channel.getChannelConfig();
    config.setChannelHeader(header("n", server.url("/feed.rss")));
    EXPECT_EQ(config.loadChannelImage(), bytes(image));
    EXPECT_EQ(testsupport::readFile(file), channelText);
    EXPECT_EQ(testsupport::readFile(f.channelFile("abc.img")), image);

    // Changing the image drops the old cache file, never the channel file.
    config.setPreferredImageUrl(server.url("/logo.gif"));
    EXPECT_FALSE(std::filesystem::exists(f.channelFile("abc.img")));
    EXPECT_EQ(testsupport::readFile(file), channelText);
    EXPECT_EQ(testsupport::readFile(f.channelFile("abc.gif")), image);
    config.deleteChannelFiles();
    EXPECT_EQ(testsupport::readFile(file), channelText);
}

TEST_F(ChannelImageTest, InternetDisabledRecordsTheUrlWithoutDownloading) {
    testsupport::writeFile(f.dir.file("debug.ini"), "[Debug]\nDisableInternet=1\n");
    TestChannel channel(f.manager.get(), file);
    ChannelConfig& config = channel.getChannelConfig();
    config.setChannelHeader(header("n", server.url("/logo.gif")));
    EXPECT_TRUE(config.loadChannelImage().empty());
    EXPECT_NE(config.getChannelImageLoadTime(), 0);
    config.loadChannelImage();
    EXPECT_TRUE(server.requests().empty());
}

// Catches: an error page kept as the channel image and written to the cache
// file, from which every later run would read it.
TEST_F(ChannelImageTest, AnswerOtherThanOkIsNoImage) {
    testsupport::HttpAnswer notFound;
    notFound.status = 404;
    notFound.body = "<html>Not here</html>";
    testsupport::HttpAnswer failed;
    failed.status = 500;
    failed.body = "<html>Broken</html>";
    server.route("/gone.gif", notFound);
    server.route("/broken.gif", failed);
    for (const char* path : {"/gone.gif", "/broken.gif"}) {
        TestChannel channel(f.manager.get(), file);
        ChannelConfig& config = channel.getChannelConfig();
        config.setChannelHeader(header("n", server.url(path)));
        EXPECT_TRUE(config.loadChannelImage().empty()) << path;
        EXPECT_FALSE(std::filesystem::exists(f.channelFile("abc.gif"))) << path;
        // Not asked again for every look at the image.
        config.loadChannelImage();
        EXPECT_EQ(server.requests(path).size(), 1u) << path;
    }
}

// A new feed image is fetched through the channel manager. A thread that holds
// the manager's lock and then needs this configuration (deleting the channel
// removes its image file) must not wait for a worker that holds the
// configuration while it waits for the manager: the configuration is free
// again as soon as the new header is in.
TEST_F(ChannelImageTest, NewImageIsFetchedWithoutHoldingTheConfiguration) {
    TestChannel channel(f.manager.get(), file);
    ChannelConfig& config = channel.getChannelConfig();
    const std::string imageUrl = server.url("/logo.gif");

    std::thread worker;
    bool freedWhileManagerHeld = false;
    {
        ExclusiveLockGuard managerGuard(&f.manager->getLock(), __FILE__, __LINE__);
        worker = std::thread([&] { config.setChannelHeader(header("n", imageUrl)); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!freedWhileManagerHeld && std::chrono::steady_clock::now() < deadline) {
            if (config.getLock().tryLockExclusive(__FILE__, __LINE__)) {
                freedWhileManagerHeld = config.getChannelHeader().ChannelImageUrl == imageUrl;
                config.getLock().unlockExclusive(__FILE__, __LINE__);
            }
            if (!freedWhileManagerHeld) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    worker.join();
    EXPECT_TRUE(freedWhileManagerHeld);
    EXPECT_EQ(config.loadChannelImage(), bytes(image));
    EXPECT_EQ(server.requests("/logo.gif").size(), 1u);
}

// Catches: an image download that was running while the channel was deleted
// writing its cache file afterwards, which then outlives the channel.
TEST_F(ChannelImageTest, ImageDroppedDuringItsDownloadIsNotCached) {
    testsupport::HttpAnswer slow;
    slow.bodyFile = f.dir.file("logo.gif");
    slow.stallSeconds = 1.0;
    server.route("/slow.gif", slow);
    TestChannel channel(f.manager.get(), file);
    ChannelConfig& config = channel.getChannelConfig();

    std::thread worker([&] { config.setChannelHeader(header("n", server.url("/slow.gif"))); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.requests("/slow.gif").empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(server.requests("/slow.gif").size(), 1u);
    config.deleteChannelFiles();
    worker.join();
    EXPECT_FALSE(std::filesystem::exists(f.channelFile("abc.gif")));
}
