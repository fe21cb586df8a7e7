// End to end: a library hook and a script hook attached to an RSS channel
// that the update worker fetches from a local HTTP server. Each hook gets
// exactly the requests of the events it asked for; library calls run on the
// dispatcher thread, where the library's save callback stores its settings;
// a script's error text is recorded as the hook's failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "channels/channelEvents.h"
#include "channels/channelSettings.h"
#include "channels/hooks/dllChannelHook.h"
#include "tests/hooks/hook_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace {

using channels::ChannelHook;

const char kFeed[] =
    "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Hooked feed</title>"
    "<link>http://example.test/</link><description>d</description>"
    "<item><guid>a1</guid><title>First</title><link>http://example.test/a1</link></item>"
    "<item><guid>b2</guid><title>Second</title><link>http://example.test/b2</link></item>"
    "</channel></rss>\n";

class EndListener : public channels::EventListener {
public:
    void onEndChannelUpdateEvent(const channels::EndChannelUpdateEvent& e) override {
        if (e.getUpdatedOk()) ++ends;
    }
    std::atomic<int> ends{0};
};

std::vector<std::string> eventNames(const std::vector<std::string>& requests) {
    std::vector<std::string> names;
    for (const std::string& file : requests)
        names.push_back(tools::getIniString(file, "Config", "EventName", "", false));
    return names;
}

TEST(HookWorkerTest, HooksReceiveTheEventsTheyAskedForDuringARealUpdate) {
    testsupport::TempDir dir;
    hooktest::EngineSettings engine(dir.file("config.ini"));
    hooktest::HostWindow host;
    testsupport::HttpServer server;
    server.route("/feed.xml", testsupport::HttpAnswer::text(kFeed));

    const std::string libRecords = dir.file("lib-records");
    const std::string scriptRecords = dir.file("script-records");
    std::filesystem::create_directories(libRecords);
    std::filesystem::create_directories(scriptRecords);
    std::filesystem::create_directories(dir.file("Channels"));
    std::filesystem::create_directories(dir.file("Logs"));

    const std::string libHook = dir.file("lib.hook");
    testsupport::writeFile(libHook, "[Config]\nScriptFilename=" + hooktest::hookLibrary("good") +
                                        "\n[Events]\nNewFeedItem=1\nEndChannelUpdate=1\n"
                                        "[ChannelHookParameterDefinition-1]\nName=Mode\nType=string\n"
                                        "[ChannelHookParameterDefinition-2]\nName=RecordDir\nType=string\n");
    hooktest::writeScript(dir.file("notify.sh"),
                          hooktest::recordingScript(scriptRecords,
                                                    "grep -q '^EventName=ConsolidatedNewFeedItems' "
                                                    "\"$1\" && echo 'no mail server' >&2\nexit 0\n"));
    const std::string scriptHook = dir.file("script.hook");
    testsupport::writeFile(scriptHook,
                           "[Config]\nScriptFilename=notify.sh\n"
                           "[Events]\nBeginChannelUpdate=1\nConsolidatedNewFeedItems=1\n");

    const std::string channelFile = dir.file("Channels/news.rss");
    tools::writeIniString(channelFile, "Config", "RssChannelUrl", server.url("/feed.xml"));
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook1", libHook);
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook2", scriptHook);
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Mode", "save");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "RecordDir", libRecords);

    channels::ChannelSettings defaults(nullptr);
    defaults.setAutoUpdateEnabled(true);
    defaults.setAutoUpdateInterval(3600);
    channels::ChannelManager manager("orvan-test/1.0", dir.file("Channels"), dir.file("Logs"), defaults, "", "");
    manager.setDebugConfigFilename(dir.file("debug.ini"));
    EndListener listener;
    manager.addEventHandler(&listener);
    host.manager = &manager;
    manager.loadChannels();
    ASSERT_EQ(manager.getChannelCount(), 1);
    channels::Channel* channel = nullptr;
    std::vector<ChannelHook*> hooks;
    {
        SharedLockGuard guard(&manager.getLock(), __FILE__, __LINE__);
        channel = manager.getChannels().front();
        SharedLockGuard settingsGuard(&channel->getChannelSettings().getLock(), __FILE__, __LINE__);
        hooks = channel->getChannelSettings().getChannelHooks();
    }
    ASSERT_EQ(hooks.size(), 2u);

    platform::library::Library probe(platform::library::nativeLibraryName(hooktest::hookLibrary("good")));
    auto callCount = probe.function<int (*)()>("hooktest_call_count");
    auto callThread = probe.function<std::uintptr_t (*)(int)>("hooktest_call_thread");
    ASSERT_TRUE(callCount && callThread);
    const int callsBefore = callCount();
    const std::uintptr_t uiThread = host.threadHandle();

    manager.startChannelManager();
    EXPECT_TRUE(hooktest::waitUntil([&] { return listener.ends.load() >= 1; }, 20000));
    EXPECT_TRUE(hooktest::waitUntil(
        [&] {
            // The library saves after it has recorded the request.
            return hooktest::recordedRequests(libRecords, "lib-").size() >= 3 &&
                   hooktest::recordedRequests(scriptRecords, "req-").size() >= 2 && host.saves.load() >= 3;
        },
        20000));
    const std::vector<std::string> libRequests = hooktest::recordedRequests(libRecords, "lib-");
    const std::vector<std::string> scriptRequests = hooktest::recordedRequests(scriptRecords, "req-");

    EXPECT_EQ(eventNames(libRequests), (std::vector<std::string>{"NewFeedItem", "NewFeedItem", "EndChannelUpdate"}));
    EXPECT_EQ(eventNames(scriptRequests), (std::vector<std::string>{"BeginChannelUpdate", "ConsolidatedNewFeedItems"}));

    // The requests carry the items and name the live channel and attachment.
    ASSERT_EQ(libRequests.size(), 3u);
    std::set<std::string> urls;
    for (int i = 0; i < 2; ++i) urls.insert(tools::getIniString(libRequests[i], "NewFeedItem", "Url", "", false));
    EXPECT_EQ(urls, (std::set<std::string>{"http://example.test/a1", "http://example.test/b2"}));
    for (const std::string& file : libRequests) {
        EXPECT_EQ(channels::findChannelByCookie(
                      manager, std::stoull(tools::getIniString(file, "Config", "hChannelCookie", "0", false))),
                  channel);
        EXPECT_EQ(channels::findChannelHookByCookie(
                      *channel, std::stoull(tools::getIniString(file, "Config", "hChannelHookCookie", "0", false)))
                      .get(),
                  hooks[0]);
    }
    ASSERT_EQ(scriptRequests.size(), 2u);
    EXPECT_EQ(tools::getIniString(scriptRequests[1], "NewFeedItem-2", "Title", "", false).empty(), false);

    // Every library call ran on the dispatcher thread.
    ASSERT_GE(callCount(), callsBefore + 3);
    for (int i = callsBefore; i < callCount(); ++i) EXPECT_EQ(callThread(i), uiThread) << i;

    // The save callback stored the attachment's private settings.
    EXPECT_EQ(tools::getIniString(channelFile, "ChannelHookSettings-1", "LastCall", "", false), "EndChannelUpdate");

    // The script's error text is its failure, recorded in its log.
    const std::string scriptLog = testsupport::readFile(hooks[1]->getLogFile().getFilename());
    EXPECT_NE(scriptLog.find("A channel hook error has occured:"), std::string::npos) << scriptLog;
    EXPECT_NE(scriptLog.find("no mail server"), std::string::npos);

    host.runOnLoop([&] { channel->getChannelSettings().detachChannelHooks(); });
    manager.stopChannelManager(false);
    manager.removeEventHandler(&listener);
    host.manager = nullptr;
}

}  // namespace
