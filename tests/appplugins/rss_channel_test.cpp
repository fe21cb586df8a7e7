#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "channels/appPlugins/appPlugin.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/feed/feed.h"
#include "channels/rss/rssChannel.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/misc/threadSafety.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

using namespace channels;
using testsupport::writeFile;

namespace {

// The process's plug-in manager with a library plug-in "libfeed" and a script
// plug-in "scriptfeed", loaded once; the plug-in server is on port 2605 (where
// nothing listens).
class PluginEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        dir_ = std::make_unique<testsupport::TempDir>();
        ::setenv("TMP", dir_->str().c_str(), 1);
        setFileTypeCommands({{".py", "python3 %1 %*"}});
        getScriptingEngine().setUserConfigFilename(dir_->file("config.ini"));

        const std::filesystem::path plugins = dir_->path() / "appPlugins";
        std::filesystem::create_directories(plugins / "lib");
        std::filesystem::copy_file(std::string(APPPLUGIN_TEST_LIB_DIR) + "/appplugin_testlib_full.so",
                                   plugins / "lib" / "feedlib.so");
        writeFile((plugins / "feedlib.plugin").string(), "[Config]\nAppPluginId=libfeed\nPlugin=lib/feedlib.dll\n");
        std::filesystem::copy_file(testsupport::sourceDir() + "/appplugins/data/feed_plugin.py", plugins / "feed.py");
        writeFile((plugins / "scriptfeed.plugin").string(),
                  "[Config]\nAppPluginId=scriptfeed\nPlugin=feed.py\n"
                  "[ChannelParameterDefinition-1]\nName=Topic\nType=string\nDefaultValue=general\n");

        AppPluginManager& manager = getAppPluginManager();
        manager.setAppPluginDir(plugins.string());
        manager.loadAppPlugins();
        manager.setServerPorts(2604, 2605);
    }
    void TearDown() override {
        setFileTypeCommands({});
        ::unsetenv("TMP");
    }

private:
    std::unique_ptr<testsupport::TempDir> dir_;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new PluginEnvironment);

class AppPluginChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getAppPluginManager().findAppPlugin("libfeed"), nullptr);
        ASSERT_NE(getAppPluginManager().findAppPlugin("scriptfeed"), nullptr);
        channelsDir_ = dir_.file("Channels");
        std::filesystem::create_directories(channelsDir_);
        std::filesystem::create_directories(dir_.file("Logs"));
        ChannelSettings defaults(nullptr);
        manager_ =
            std::make_unique<ChannelManager>("orvan-test/1.0", channelsDir_, dir_.file("Logs"), defaults, "", "");
        manager_->setDebugConfigFilename(dir_.file("debug.ini"));
    }
    void TearDown() override {
        getAppPluginManager().setServerPorts(2604, 2605);
        manager_->stopChannelManager(false);
    }

    RssChannel* addChannel(const std::string& name, const std::string& url, const std::string& extra = "") {
        const std::string file = channelsDir_ + "/" + name + ".rss";
        writeFile(file, extra);
        tools::writeIniString(file, "Config", "RssChannelUrl", url);
        auto channel = std::make_unique<RssChannel>(manager_.get(), file);
        channel->load();
        manager_->addChannel(channel.get());
        return channel.release();
    }

    static std::string firstTitle(Channel& channel) {
        bool unchanged = true;
        const std::unique_ptr<Feed> feed = channel.getLatestFeed(false, &unchanged);
        EXPECT_FALSE(unchanged);
        if (!feed || feed->getFeedItems().empty()) return "<no items>";
        return std::string(feed->getFeedItems().front().getTitle());
    }

    testsupport::TempDir dir_;
    std::string channelsDir_;
    std::unique_ptr<ChannelManager> manager_;
};

TEST_F(AppPluginChannelTest, FeedsComeFromThePluginsWithoutADownload) {
    RssChannel* library = addChannel("lib", "http://127.0.0.1:2605/libfeed/feed?Hello there");
    EXPECT_EQ(library->getAppPlugin(), getAppPluginManager().findAppPlugin("libfeed"));
    EXPECT_EQ(firstTitle(*library), "Hello there");

    RssChannel* script =
        addChannel("script", "http://127.0.0.1:2605/ScriptFeed/latest?n=5", "[ChannelParameters]\nTopic=sports\n");
    EXPECT_EQ(firstTitle(*script), "latest:n=5:sports");

    // An id that no plug-in has is an ordinary address.
    testsupport::HttpServer server;
    server.route("/nosuch/feed",
                 testsupport::HttpAnswer::text("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>t</title>"
                                               "<item><title>downloaded</title></item></channel></rss>"));
    RssChannel* other = addChannel("other", server.url("/nosuch/feed"));
    EXPECT_EQ(other->getAppPlugin(), nullptr);
    EXPECT_EQ(firstTitle(*other), "downloaded");
    EXPECT_EQ(server.requests("/nosuch/feed").size(), 1u);
}

TEST_F(AppPluginChannelTest, PortChangeRewritesLocalPluginUrls) {
    RssChannel* served = addChannel("served", "http://127.0.0.1:2605/libfeed/feed?x");
    RssChannel* unknown = addChannel("unknown", "http://127.0.0.1:2605/nosuch/feed");

    getAppPluginManager().setServerPorts(2604, 2605);  // same port: nothing to do
    EXPECT_EQ(served->getSourceUrl(), "http://127.0.0.1:2605/libfeed/feed?x");

    getAppPluginManager().setServerPorts(2604, 2606);
    EXPECT_EQ(getAppPluginManager().getAppPluginServerPort(), 2606);
    EXPECT_EQ(served->getSourceUrl(), "http://127.0.0.1:2606/libfeed/feed?x");
    EXPECT_EQ(tools::getIniString(served->getConfigFilename(), "Config", "RssChannelUrl", "", true),
              "http://127.0.0.1:2606/libfeed/feed?x");
    EXPECT_EQ(unknown->getSourceUrl(), "http://127.0.0.1:2605/nosuch/feed");
    EXPECT_EQ(firstTitle(*served), "x");
}

// A port change walks the channels while channels look plug-ins up under
// their own locks; with the debugging time-out set, a deadlock between the
// two would end the process instead of hanging.
TEST_F(AppPluginChannelTest, PortChangesAndChannelSavesDoNotDeadlock) {
    RssChannel* channel = addChannel("busy", "http://127.0.0.1:2605/scriptfeed/feed");
    const float previousTimeout = getThreadSafetyTimeout();
    setThreadSafetyTimeout(20);
    std::thread ports([] {
        for (int i = 0; i < 60; ++i) getAppPluginManager().setServerPorts(2604, 2606 + i % 2);
    });
    for (int i = 0; i < 150; ++i) {
        channel->load();
        channel->save();
    }
    ports.join();
    setThreadSafetyTimeout(previousTimeout);
    EXPECT_EQ(channel->getAppPlugin(), getAppPluginManager().findAppPlugin("scriptfeed"));
}

}  // namespace
