#include <gtest/gtest.h>

#include "platform/messages.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace msg = platform::messages;

TEST(Messages, RegisteredNumbersAreStablePerName) {
    const unsigned a = msg::registerMessage("RelayDllChannelHookEvent");
    const unsigned b = msg::registerMessage("RelayDllChannelHookCommand");
    EXPECT_GE(a, 0xC000u);
    EXPECT_GE(b, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(msg::registerMessage("relaydllchannelhookevent"), a);
    EXPECT_EQ(msg::registerMessage("RelayDllChannelHookCommand"), b);
}

TEST(Messages, SendFromWorkerRunsOnOwnerAndReturnsItsResult) {
    msg::EventLoopThread loop;
    std::thread::id handledOn;
    msg::Handle w = msg::createWindow(loop, [&](unsigned m, std::uintptr_t wp, std::intptr_t lp) -> std::intptr_t {
        handledOn = std::this_thread::get_id();
        return static_cast<std::intptr_t>(m - msg::WM_APP) * 1000 + static_cast<std::intptr_t>(wp) + lp;
    });
    // Pointer-sized parameters travel in full.
    const std::uintptr_t big = static_cast<std::uintptr_t>(1) << 40;
    std::intptr_t result = 0;
    std::thread worker([&] { result = msg::sendMessage(w, msg::WM_APP + 101, big, 7); });
    worker.join();
    EXPECT_EQ(result, 101000 + static_cast<std::intptr_t>(big) + 7);
    EXPECT_EQ(handledOn, loop.threadId());
    msg::destroyWindow(w);
}

TEST(Messages, SendOnOwnerThreadRunsInline) {
    msg::EventLoopThread loop;
    msg::Handle inner =
        msg::createWindow(loop, [&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 5; });
    // A handler that sends to a window of its own thread must not wait for itself.
    msg::Handle outer = msg::createWindow(loop, [&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        return msg::sendMessage(inner, msg::WM_APP, 0, 0) + 1;
    });
    EXPECT_EQ(msg::sendMessage(outer, msg::WM_APP, 0, 0), 6);
    std::promise<bool> owner;
    loop.post([&] { owner.set_value(loop.isOwnerThread()); });
    EXPECT_TRUE(owner.get_future().get());
    EXPECT_FALSE(loop.isOwnerThread());
    msg::destroyWindow(outer);
    msg::destroyWindow(inner);
}

TEST(Messages, UnknownOrDestroyedHandleGivesZero) {
    msg::EventLoopThread loop;
    EXPECT_EQ(msg::sendMessage(0, msg::WM_APP, 0, 0), 0);
    EXPECT_EQ(msg::sendMessage(0xDEADBEEF, msg::WM_APP, 0, 0), 0);
    EXPECT_FALSE(msg::postMessage(0xDEADBEEF, msg::WM_APP, 0, 0));
    msg::Handle w = msg::createWindow(loop, [](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 1; });
    EXPECT_TRUE(msg::isWindow(w));
    msg::destroyWindow(w);
    EXPECT_FALSE(msg::isWindow(w));
    EXPECT_EQ(msg::sendMessage(w, msg::WM_APP, 0, 0), 0);
    EXPECT_NE(msg::createWindow(loop, nullptr), w);  // handles are not reused
}

TEST(Messages, WaitingSendIsReleasedWhenWindowOrLoopGoes) {
    // The owner is busy; a send queued behind it returns 0 once the window is destroyed.
    auto loop = std::make_unique<msg::EventLoopThread>();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    loop->post([released] { released.wait(); });
    msg::Handle w =
        msg::createWindow(*loop, [](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 9; });
    auto pending = std::async(std::launch::async, [&] { return msg::sendMessage(w, msg::WM_APP, 0, 0); });
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    msg::destroyWindow(w);
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(pending.get(), 0);

    // A send queued when the loop stops returns 0 too.
    msg::Handle w2 =
        msg::createWindow(*loop, [](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t { return 9; });
    auto pending2 = std::async(std::launch::async, [&] { return msg::sendMessage(w2, msg::WM_APP, 0, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::thread stopper([&] { loop->stop(); });
    release.set_value();
    stopper.join();
    ASSERT_EQ(pending2.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    // Either the handler ran before the stop or the send was dropped.
    const std::intptr_t r = pending2.get();
    EXPECT_TRUE(r == 0 || r == 9) << r;
    EXPECT_FALSE(msg::postMessage(w2, msg::WM_APP, 0, 0));
    msg::destroyWindow(w2);
}

TEST(Messages, PostsArriveInOrderOnTheOwner) {
    msg::EventLoopThread loop;
    std::mutex m;
    std::vector<std::uintptr_t> seen;
    std::atomic<bool> offThread{false};
    msg::Handle w = msg::createWindow(loop, [&](unsigned, std::uintptr_t wp, std::intptr_t) -> std::intptr_t {
        if (!loop.isOwnerThread()) offThread = true;
        std::lock_guard lock(m);
        seen.push_back(wp);
        return 0;
    });
    for (std::uintptr_t i = 0; i < 100; ++i) ASSERT_TRUE(msg::postMessage(w, msg::WM_APP + 1, i, 0));
    msg::sendMessage(w, msg::WM_APP + 2, 100, 0);  // runs after the posts queued before it
    std::lock_guard lock(m);
    ASSERT_EQ(seen.size(), 101u);
    for (std::uintptr_t i = 0; i <= 100; ++i) EXPECT_EQ(seen[i], i);
    EXPECT_FALSE(offThread.load());
    msg::destroyWindow(w);
}
