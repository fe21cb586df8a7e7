// Events and hook calls are made with no engine lock held: handlers and
// hooks run on other threads' terms (a library hook on the user-interface
// thread), so a call made under a lock can deadlock. Each handler here
// records whether any thread held the locks that the operation takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/channel.h"
#include "channels/channelEvents.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

int holders(const SharedExclusiveLock& lock) { return lock.sharedLockCount() + lock.exclusiveLockCount(); }

// The locks a channel's load takes, as seen when an event arrives.
std::string heldLocks(channels::Channel* channel) {
    std::string held;
    if (channel == nullptr) return held;
    if (channel->getManager() != nullptr && holders(channel->getManager()->getLock()) != 0) held += "manager ";
    if (holders(channel->getLock()) != 0) held += "channel ";
    if (holders(channel->getChannelSettings().getLock()) != 0) held += "settings ";
    return held;
}

class LockCheckingHost : public channeltest::TestHookHost {
public:
    void raiseEvent(channels::ChannelHook& h, channels::Channel* channel, const channels::Event& event) override {
        calls.push_back(std::string(event.getEventName()) + ":" + heldLocks(channel));
        TestHookHost::raiseEvent(h, channel, event);
    }
    std::vector<std::string> calls;
};

class ErrorRecorder : public channels::EventListener {
public:
    explicit ErrorRecorder(channels::ChannelManager& manager) : manager_(manager) {}
    void onChannelErrorEvent(const channels::ChannelErrorEvent& event) override {
        std::string held = holders(manager_.getLock()) != 0 ? "manager " : "";
        errors.push_back(event.getErrorMsg() + ":" + held + heldLocks(event.getChannel()));
    }
    std::vector<std::string> errors;

private:
    channels::ChannelManager& manager_;
};

TEST(EventLocks, ChannelLoadingTellsHooksAndReportsErrorsWithoutLocks) {
    LockCheckingHost host;
    channeltest::ManagerFixture fixture;
    const std::string hookFile = fixture.dir.file("mail.hook");
    testsupport::writeFile(hookFile, "[Config]\nScriptFilename=mail.sh\n");
    const std::string channelFile = fixture.channelFile("news.rss");
    tools::writeIniString(channelFile, "Config", "RssChannelUrl", "http://127.0.0.1:1/feed.xml");
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook1", hookFile);
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook2", fixture.dir.file("missing.hook"));
    // The test host fails to load hooks whose file name says "bad".
    testsupport::writeFile(fixture.dir.file("bad.hook"), "[Config]\nScriptFilename=bad.sh\n");
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook3", fixture.dir.file("bad.hook"));

    ErrorRecorder recorder(*fixture.manager);
    fixture.manager->addEventHandler(&recorder);
    fixture.manager->loadChannels();
    fixture.manager->removeEventHandler(&recorder);

    ASSERT_EQ(fixture.manager->getChannelCount(), 1);
    EXPECT_EQ(host.calls, std::vector<std::string>{"ChannelHookLoaded:"});
    ASSERT_EQ(recorder.errors.size(), 2u);
    EXPECT_EQ(recorder.errors[0], "Missing channel hook config file: " + fixture.dir.file("missing.hook") + ":");
    EXPECT_EQ(recorder.errors[1], "Can't load channel hook: " + fixture.dir.file("bad.hook") + ":");
    fixture.manager->stopChannelManager(false);
}

TEST(EventLocks, PluginLoadFailuresAreRaisedAfterTheScanInTheirOrder) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("plugins/a/first.plugin"), "[Config]\n");
    testsupport::writeFile(dir.file("plugins/b/second.plugin"), "[Config]\nPlugin=noextension\n");
    channels::AppPluginManager plugins;
    struct Recorder : channels::EventListener {
        channels::AppPluginManager* plugins = nullptr;
        std::vector<std::string> reports;
        void onAppPluginErrorEvent(const channels::AppPluginErrorEvent& event) override {
            reports.push_back(event.getErrorMsg() + (holders(plugins->getLock()) != 0 ? " [locked]" : ""));
        }
    } recorder;
    recorder.plugins = &plugins;
    plugins.addEventHandler(&recorder);
    plugins.setAppPluginDir(dir.file("plugins"));
    plugins.loadAppPlugins();
    plugins.removeEventHandler(&recorder);
    ASSERT_EQ(recorder.reports.size(), 2u);
    EXPECT_EQ(recorder.reports[0].rfind("Can't load the plugin first.plugin: Missing 'Plugin' parameter", 0), 0u)
        << recorder.reports[0];
    EXPECT_EQ(recorder.reports[1].rfind("Can't load the plugin second.plugin: The configured plugin script has no", 0),
              0u)
        << recorder.reports[1];
    EXPECT_EQ(recorder.reports[1].find("[locked]"), std::string::npos);
}

}  // namespace
