// A library hook that asks the host to save its channel while it takes the
// attached event (the user-interface thread saves the channel inside the
// call), at the moment the update worker saves the same channel: the
// worker's save holds the channel file's write lock and then needs the
// channel's settings, so the hooks page must not hold the settings' lock
// while the hooks hear of the new list. With the debugging time-out set, a
// deadlock ends the process with the fatal report instead of hanging.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "channels/channelConfig.h"
#include "channels/channelSettings.h"
#include "tests/channels/channel_fixture.h"
#include "tests/hooks/hook_fixture.h"

namespace {

using channels::ChannelHook;

class HookLockOrderTest : public hooktest::HookTestBase {
protected:
    hooktest::HostWindow host;
};

TEST_F(HookLockOrderTest, HookSavingOnAttachWhileTheWorkerSavesTheChannel) {
    channeltest::ManagerFixture fixture;
    host.manager = fixture.manager.get();
    const std::string path = fixture.channelFile("busy.rss");
    auto owned = std::make_unique<channeltest::TestChannel>(fixture.manager.get(), path);
    channeltest::TestChannel* live = owned.get();
    live->save();
    fixture.manager->addChannel(owned.release());

    const std::string hookFile = dir.file("saver.hook");
    testsupport::writeFile(hookFile, "[Config]\nScriptFilename=" + hooktest::hookLibrary("good") +
                                         "\n[Events]\nChannelHookAttached=1\n"
                                         "[ChannelHookParameterDefinition-1]\nName=Mode\nType=string\n"
                                         "DefaultValue=save\n");
    ChannelHook* hook = channels::createChannelHook(hookFile).release();
    hook->loadSettings(hookFile, path, "ChannelHookConfig-1", "ChannelHookSettings-1");

    const float previousTimeout = getThreadSafetyTimeout();
    setThreadSafetyTimeout(5);

    // The worker's save stops inside the file's write lock: the test holds
    // the channel configuration, which the save writes first.
    SharedExclusiveLock& configLock = live->getChannelConfig().getLock();
    configLock.lockExclusive(__FILE__, __LINE__);
    std::thread worker([&] { fixture.manager->saveChannelIfActive(*live); });
    const bool saving = hooktest::waitUntil([&] { return live->getLock().sharedLockCount() > 0; }, 5000);

    // The hooks page attaches the hook on the user-interface thread; the
    // hook's save request waits there for the file the worker is writing.
    std::promise<void> attached;
    host.loop().post([&] {
        live->getChannelSettings().setChannelHooks({hook});
        attached.set_value();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    configLock.unlockExclusive(__FILE__, __LINE__);

    worker.join();
    attached.get_future().wait();
    setThreadSafetyTimeout(previousTimeout);

    EXPECT_TRUE(saving) << "the worker never started its save";
    // The hook's save request was served, and the new list stored after the
    // events.
    EXPECT_EQ(host.saves.load(), 1);
    {
        SharedLockGuard guard(&live->getChannelSettings().getLock(), __FILE__, __LINE__);
        EXPECT_EQ(live->getChannelSettings().getChannelHooks(), std::vector<ChannelHook*>{hook});
    }
    live->getChannelSettings().detachChannelHooks();
    fixture.manager->stopChannelManager(false);
    host.manager = nullptr;
}

}  // namespace
