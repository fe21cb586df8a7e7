// Library hooks loaded with dlopen: the load errors, the ChannelHookInfo
// record, every call carried to the dispatcher thread, failures reported
// through standard error, the save callback, and a worker waiting in the
// relay while the user-interface thread changes the channel's hooks.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "channels/channelSettings.h"
#include "channels/hooks/dllChannelHook.h"
#include "tests/channels/channel_fixture.h"
#include "tests/hooks/hook_fixture.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace {

using channels::ChannelHook;

// The test library as loaded by the host (the same handle), for its
// hooktest_* exports.
class LibraryProbe {
public:
    explicit LibraryProbe(const std::string& variant)
        : library_(platform::library::nativeLibraryName(hooktest::hookLibrary(variant))) {}
    template <class R>
    R call(const char* name) {
        auto f = library_.function<R (*)()>(name);
        return f != nullptr ? f() : R();
    }
    std::uintptr_t callThread(int i) {
        auto f = library_.function<std::uintptr_t (*)(int)>("hooktest_call_thread");
        return f != nullptr ? f(i) : 0;
    }

private:
    platform::library::Library library_;
};

class DllHookTest : public hooktest::HookTestBase {
protected:
    // A definition of the variant's library wanting BeginChannelUpdate (and
    // ChannelHookDetached), whose calls do `mode`.
    std::string writeHook(const std::string& variant, const std::string& mode) {
        const std::string file = dir.file(variant + "-" + mode + ".hook");
        testsupport::writeFile(file, "[Config]\nScriptFilename=" + hooktest::hookLibrary(variant) +
                                         "\n[Events]\nBeginChannelUpdate=1\nChannelHookDetached=1\n"
                                         "[ChannelHookParameterDefinition-1]\nName=Mode\nType=string\n"
                                         "DefaultValue=" +
                                         mode + "\n");
        return file;
    }
    std::unique_ptr<ChannelHook> load(const std::string& hookFile, bool logOn) {
        tools::writeIniString(channelFile, "ChannelHookConfig-1", "_EnableLogFile", logOn ? "1" : "0");
        return HookTestBase::load(hookFile, channelFile);
    }

    hooktest::HostWindow host;
};

TEST_F(DllHookTest, LoadFailuresGiveTheirTexts) {
    struct Case {
        const char* variant;
        const char* text;  // "" = the loader's own text
    } cases[] = {
        {"missing", ""},
        {"noinfo", "Missing get_channel_hook_info() entry point."},
        {"refuse", "Can't get the channel hook DLL's info."},
        {"nomalloc", "Missing entry point: channel_hook_malloc()"},
    };
    for (const Case& c : cases) {
        const std::string file = writeHook(c.variant, "ok");
        std::unique_ptr<ChannelHook> hook = channels::createChannelHook(file);
        try {
            hook->loadSettings(file, channelFile, "ChannelHookConfig-1", "ChannelHookSettings-1");
            ADD_FAILURE() << c.variant << " loaded";
        } catch (const channels::Exception& e) {
            if (*c.text != '\0') {
                EXPECT_EQ(e.getMessage(), c.text) << c.variant;
            } else {
                EXPECT_NE(e.getMessage().find("hooktest_missing.so"), std::string::npos) << e.getMessage();
            }
        }
    }
}

TEST_F(DllHookTest, InfoRecordIsZeroedAndHandsOverTheHostWindow) {
    std::unique_ptr<ChannelHook> hook = load(writeHook("good", "ok"), false);
    LibraryProbe probe("good");
    EXPECT_EQ(probe.call<int>("hooktest_info_version"), 1);
    EXPECT_EQ(probe.call<std::uintptr_t>("hooktest_host_window"), host.window());
    EXPECT_TRUE(probe.call<bool>("hooktest_info_words_were_zero"));

    // Also the library that refuses saw a clean record.
    LibraryProbe refuseProbe("refuse");
    const std::string refusing = writeHook("refuse", "ok");
    EXPECT_THROW(load(refusing, false), channels::Exception);
    EXPECT_TRUE(refuseProbe.call<bool>("hooktest_info_words_were_zero"));
}

TEST_F(DllHookTest, CallsRunOnTheDispatcherThread) {
    std::unique_ptr<ChannelHook> hook = load(writeHook("good", "ok"), true);
    LibraryProbe probe("good");
    const int before = probe.call<int>("hooktest_call_count");
    const std::uintptr_t uiThread = host.threadHandle();

    std::thread worker([&] { hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel)); });
    worker.join();
    bool failed = true;
    hook->executeCommand(&channel, "Ping", &failed);
    EXPECT_FALSE(failed);
    // On the dispatcher thread itself the call runs at once.
    host.runOnLoop([&] { hook->executeCommand(&channel, "Inline", &failed); });
    EXPECT_FALSE(failed);

    ASSERT_EQ(probe.call<int>("hooktest_call_count"), before + 3);
    for (int i = before; i < before + 3; ++i) EXPECT_EQ(probe.callThread(i), uiThread) << i;
    const std::string log = hookLog(*hook);
    EXPECT_NE(log.find("handled BeginChannelUpdate"), std::string::npos) << log;
    EXPECT_NE(log.find("handled Ping"), std::string::npos);
    EXPECT_NE(log.find("handled Inline"), std::string::npos);
}

TEST_F(DllHookTest, FailuresAreReportedThroughStandardError) {
    struct Case {
        const char* mode;
        bool windowGone;
        const char* eventText;
        const char* commandText;
    } cases[] = {
        {"fail", false, "The channel hook event invocation failed.", "The channel hook command invocation failed."},
        {"unknown", false, "Unknown event: BeginChannelUpdate", "Unknown event: Ping"},
        {"ok", true, "The channel hook event invocation failed.", "The channel hook command invocation failed."},
    };
    for (const Case& c : cases) {
        std::unique_ptr<ChannelHook> hook = load(writeHook("good", c.mode), true);
        host.connect(c.windowGone ? 0 : host.window());
        hooktest::LogCapture log;
        hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
        bool failed = false;
        hook->executeCommand(&channel, "Ping", &failed);
        EXPECT_TRUE(failed) << c.mode;

        const std::string text = hookLog(*hook);
        EXPECT_NE(text.find("STDERR:"), std::string::npos) << c.mode;
        EXPECT_NE(text.find(c.eventText), std::string::npos) << c.mode << "\n" << text;
        EXPECT_NE(text.find(c.commandText), std::string::npos) << c.mode;
        EXPECT_NE(log.text().find(c.eventText), std::string::npos) << c.mode;
    }
    host.connect(host.window());
}

// A worker waits in the relay while the user-interface thread takes the
// channel's settings lock and removes and destroys the very hook being called.
TEST_F(DllHookTest, HooksChangeWhileAWorkerWaitsInTheRelay) {
    const std::string file = writeHook("good", "ok");
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook1", file);
    channel.load();
    ChannelHook* hook = nullptr;
    {
        SharedLockGuard guard(&channel.getChannelSettings().getLock(), __FILE__, __LINE__);
        ASSERT_EQ(channel.getChannelSettings().getChannelHooks().size(), 1u);
        hook = channel.getChannelSettings().getChannelHooks()[0];
    }
    LibraryProbe probe("good");
    const int before = probe.call<int>("hooktest_call_count");

    bool lockFree = false;
    bool changed = false;
    host.beforeRelay = [&] {
        if (changed) return;
        changed = true;
        channels::ChannelSettings& settings = channel.getChannelSettings();
        lockFree = settings.getLock().tryLockExclusive(__FILE__, __LINE__);
        if (!lockFree) return;  // waiting for the lock here would never end
        settings.getLock().unlockExclusive(__FILE__, __LINE__);
        // The hooks page: new list (the hook gets its detached event at once,
        // on this thread), then the removed hook is destroyed.
        settings.setChannelHooks({});
        channels::getChannelHookHost()->destroyChannelHook(hook);
    };
    std::thread worker([&] { channel.raiseEvent(channels::BeginChannelUpdateEvent(1, &channel)); });
    worker.join();

    EXPECT_TRUE(lockFree) << "the worker held the settings lock during the relay";
    // The detached event ran inside, then the worker's own call completed.
    EXPECT_EQ(probe.call<int>("hooktest_call_count"), before + 2);
    SharedLockGuard guard(&channel.getChannelSettings().getLock(), __FILE__, __LINE__);
    EXPECT_TRUE(channel.getChannelSettings().getChannelHooks().empty());
}

TEST_F(DllHookTest, SaveCallbackStoresTheAttachmentsSettings) {
    channeltest::ManagerFixture fixture;
    host.manager = fixture.manager.get();
    const std::string file = writeHook("good", "save");
    const std::string path = fixture.channelFile("saved.rss");
    tools::writeIniString(path, "Channel Hooks", "ChannelHook1", file);
    auto owned = std::make_unique<channeltest::TestChannel>(fixture.manager.get(), path);
    channeltest::TestChannel* live = owned.get();
    live->load();
    fixture.manager->addChannel(owned.release());

    std::thread worker([&] { live->raiseEvent(channels::BeginChannelUpdateEvent(1, live)); });
    worker.join();
    EXPECT_EQ(host.saves.load(), 1);
    EXPECT_EQ(tools::getIniString(path, "ChannelHookSettings-1", "LastCall", "", false), "BeginChannelUpdate");
    EXPECT_EQ(tools::getIniString(path, "Channel Hooks", "ChannelHook1", "", false), file);

    // A cookie of a channel that is gone finds nothing and saves nothing.
    const ChannelHookCallbackCookies stale{channels::getChannelCookie(live), 0};
    // Deleted on the user-interface thread, as the desktop does: the hook's
    // detached event runs there at once.
    std::string report;
    host.runOnLoop([&] { fixture.manager->deleteChannel(live, &report); });
    // The hook's own save request on its detached event already finds no
    // channel: the deleted file is not written again.
    EXPECT_FALSE(std::filesystem::exists(path));
    const int saves = host.saves.load();
    const int unknown = host.unknownCookies.load();
    platform::messages::sendMessage(host.window(), channels::kSaveChannelHookSettingsMsg, 0,
                                    reinterpret_cast<std::intptr_t>(&stale));
    EXPECT_EQ(host.unknownCookies.load(), unknown + 1);
    EXPECT_EQ(host.saves.load(), saves);
    fixture.manager->stopChannelManager(false);
    host.manager = nullptr;
}

// A channel deleted off the user-interface thread: its hook answers the
// detached event with the save callback, which the user-interface thread
// handles by looking the channel up in the manager. The deletion must not
// hold the manager's lock meanwhile, and the save must not bring the
// deleted channel's file back.
TEST_F(DllHookTest, DeletingAChannelOffTheInterfaceThreadNeitherDeadlocksNorRewritesItsFile) {
    channeltest::ManagerFixture fixture;
    host.manager = fixture.manager.get();
    const std::string file = writeHook("good", "save");
    const std::string path = fixture.channelFile("deleted.rss");
    tools::writeIniString(path, "Channel Hooks", "ChannelHook1", file);
    auto owned = std::make_unique<channeltest::TestChannel>(fixture.manager.get(), path);
    channeltest::TestChannel* live = owned.get();
    live->load();
    fixture.manager->addChannel(owned.release());

    const float previousTimeout = getThreadSafetyTimeout();
    setThreadSafetyTimeout(20);  // a deadlock ends in the fatal report instead of a hang
    const int savesBefore = host.saves.load();
    std::thread worker([&] { fixture.manager->deleteChannel(live, nullptr); });
    worker.join();
    setThreadSafetyTimeout(previousTimeout);

    EXPECT_EQ(host.saves.load(), savesBefore);
    EXPECT_GE(host.unknownCookies.load(), 1);
    EXPECT_FALSE(std::filesystem::exists(path));
    fixture.manager->stopChannelManager(false);
    host.manager = nullptr;
}

// While a deleted channel's library hook hears of its detachment on the
// user-interface thread, that thread may read the channel's settings (the
// hooks page does): the deleting thread must not hold them meanwhile.
TEST_F(DllHookTest, DetachedHooksAreToldWithoutTheSettingsLockHeld) {
    channeltest::ManagerFixture fixture;
    host.manager = fixture.manager.get();
    const std::string file = writeHook("good", "ok");
    const std::string path = fixture.channelFile("detached.rss");
    tools::writeIniString(path, "Channel Hooks", "ChannelHook1", file);
    auto owned = std::make_unique<channeltest::TestChannel>(fixture.manager.get(), path);
    channeltest::TestChannel* live = owned.get();
    live->load();
    fixture.manager->addChannel(owned.release());

    std::atomic<int> reads{0};
    host.beforeRelay = [&] {
        live->getChannelSettings().isAutoUpdateEnabled();
        ++reads;
    };
    const float previousTimeout = getThreadSafetyTimeout();
    setThreadSafetyTimeout(20);  // a deadlock ends in the fatal report instead of a hang
    std::thread worker([&] { fixture.manager->deleteChannel(live, nullptr); });
    worker.join();
    setThreadSafetyTimeout(previousTimeout);
    host.beforeRelay = nullptr;

    EXPECT_GE(reads.load(), 1);
    fixture.manager->stopChannelManager(false);
    host.manager = nullptr;
}

}  // namespace
