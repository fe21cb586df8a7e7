// The user-interface thread serves library-hook relays and also stops the
// channel manager and looks hooks up for their callbacks. Stopping must not
// wait for a worker that waits for this very thread, and a hook found by its
// cookie must stay valid while another thread detaches it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "channels/channelEvents.h"
#include "channels/channelSettings.h"
#include "tests/hooks/hook_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/ini.h"

namespace {

using channels::ChannelHook;

std::vector<std::string> eventNames(const std::vector<std::string>& requests) {
    std::vector<std::string> names;
    for (const std::string& file : requests)
        names.push_back(tools::getIniString(file, "Config", "EventName", "", false));
    return names;
}

class HookUiThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(records);
        std::filesystem::create_directories(dir.file("Channels"));
        std::filesystem::create_directories(dir.file("Logs"));
        hookFile = dir.file("lib.hook");
        testsupport::writeFile(hookFile, "[Config]\nScriptFilename=" + hooktest::hookLibrary("good") +
                                             "\n[Events]\nChannelError=1\nEndChannelUpdate=1\n"
                                             "[ChannelHookParameterDefinition-1]\nName=RecordDir\nType=string\n");
    }

    // One RSS channel with the library hook attached, loaded by a manager.
    std::unique_ptr<channels::ChannelManager> makeManager(const std::string& feedUrl) {
        const std::string channelFile = dir.file("Channels/news.rss");
        tools::writeIniString(channelFile, "Config", "RssChannelUrl", feedUrl);
        tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook1", hookFile);
        tools::writeIniString(channelFile, "ChannelHookConfig-1", "RecordDir", records);
        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(false);
        auto manager = std::make_unique<channels::ChannelManager>("orvan-test/1.0", dir.file("Channels"),
                                                                  dir.file("Logs"), defaults, "", "");
        manager->setDebugConfigFilename(dir.file("debug.ini"));
        testsupport::writeFile(dir.file("debug.ini"), "[Debug]\nChannelUpdateThreadInterval=1\n");
        host.manager = manager.get();
        manager->loadChannels();
        return manager;
    }

    testsupport::TempDir dir;
    hooktest::EngineSettings engine{dir.file("config.ini")};
    hooktest::HostWindow host;
    std::string records = dir.file("records");
    std::string hookFile;
};

TEST_F(HookUiThreadTest, StopOnTheUserInterfaceThreadWhileAHookRelayIsInFlight) {
    testsupport::HttpServer server;
    testsupport::HttpAnswer stalled = testsupport::HttpAnswer::text("<rss/>");
    stalled.stallSeconds = 60;
    server.route("/feed.xml", stalled);
    std::unique_ptr<channels::ChannelManager> manager = makeManager(server.url("/feed.xml"));
    ASSERT_EQ(manager->getChannelCount(), 1);
    channels::Channel* channel = nullptr;
    {
        SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
        channel = manager->getChannels().front();
    }

    // Stopping leaves attached hooks to their owner: this test drops the
    // list's reference itself once the channel is gone.
    channels::ChannelHookRef hook;
    {
        SharedLockGuard guard(&channel->getChannelSettings().getLock(), __FILE__, __LINE__);
        hook = channels::ChannelHookRef(channel->getChannelSettings().getChannelHooks().at(0));
    }

    manager->startChannelManager();
    manager->requestChannelUpdate(channel);
    ASSERT_TRUE(hooktest::waitUntil([&] { return !server.requests("/feed.xml").empty(); }, 20000));

    // The stop cancels the download; the worker then relays ChannelError and
    // EndChannelUpdate to the hook on this thread, which is inside the stop.
    std::promise<double> stopped;
    host.loop().post([&] {
        const auto start = std::chrono::steady_clock::now();
        manager->stopChannelManager(false);
        stopped.set_value(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    });
    std::future<double> seconds = stopped.get_future();
    const bool returned = seconds.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) {
        // Release the waiting relay so that the test ends.
        platform::messages::destroyWindow(host.window());
        seconds.wait();
    }
    ASSERT_TRUE(returned) << "stopChannelManager did not return while a hook relay waited for its thread";
    EXPECT_LT(seconds.get(), 10.0);
    EXPECT_EQ(eventNames(hooktest::recordedRequests(records, "lib-")),
              (std::vector<std::string>{"ChannelError", "EndChannelUpdate"}));
    host.manager = nullptr;
    ChannelHook::releaseReference(hook.get());
}

TEST_F(HookUiThreadTest, HookFoundByCookieOutlivesItsDetachmentOnAnotherThread) {
    std::unique_ptr<channels::ChannelManager> manager = makeManager("http://127.0.0.1:1/none.xml");
    channels::Channel* channel = nullptr;
    ChannelHook* attached = nullptr;
    {
        SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
        channel = manager->getChannels().front();
        SharedLockGuard settingsGuard(&channel->getChannelSettings().getLock(), __FILE__, __LINE__);
        ASSERT_EQ(channel->getChannelSettings().getChannelHooks().size(), 1u);
        attached = channel->getChannelSettings().getChannelHooks().front();
    }
    const std::uintptr_t cookie = attached->getCookie();

    channels::ChannelHookRef found = channels::findChannelHookByCookie(*channel, cookie);
    ASSERT_EQ(found.get(), attached);
    // The hooks page drops the hook on another thread: the list's reference
    // goes, the one handed out stays.
    std::thread([&] { channel->getChannelSettings().detachChannelHooks(); }).join();
    EXPECT_FALSE(channels::findChannelHookByCookie(*channel, cookie));
    EXPECT_EQ(found->getCookie(), cookie);
    EXPECT_EQ(found->getConfigFilename(), hookFile);
    found = channels::ChannelHookRef();  // the last reference frees it
    manager->stopChannelManager(false);
    host.manager = nullptr;
}

}  // namespace
