#include "lib/misc/threadSafety.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <sstream>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Restores "no time-out" after each test.
class ThreadSafety : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setThreadSafetyTimeout(-1.0f);
    }
    void TearDown() override { setThreadSafetyTimeout(-1.0f); }
};

// Runs fn on another thread; the future tells whether it has finished.
std::future<void> runAsync(std::function<void()> fn) { return std::async(std::launch::async, std::move(fn)); }

bool finishesWithin(std::future<void>& f, std::chrono::milliseconds ms) {
    return f.wait_for(ms) == std::future_status::ready;
}

std::string summary(const SharedExclusiveLock& lock) {
    std::ostringstream os;
    lock.dumpSummary(os);
    return os.str();
}

std::string threadTag() {
    char buf[32];
    std::snprintf(buf, sizeof buf, "<%08lx>", static_cast<unsigned long>(currentThreadNumber()));
    return buf;
}

}  // namespace

TEST_F(ThreadSafety, NullLockGuardsDoNothing) {
    { SharedLockGuard g(nullptr, __FILE__, __LINE__); }
    { ExclusiveLockGuard g(nullptr, __FILE__, __LINE__); }
    { CriticalSectionLock g(nullptr); }
    SUCCEED();
}

TEST_F(ThreadSafety, ReentrantExclusiveIsFreeAfterEqualReleases) {
    SharedExclusiveLock lock;
    for (int i = 0; i < 3; ++i) lock.lockExclusive(__FILE__, __LINE__);
    EXPECT_EQ(lock.exclusiveLockCount(), 3);
    EXPECT_EQ(summary(lock), "[" + threadTag() + ":3:0]");
    // Held exclusively: another thread cannot take it, shared or exclusive.
    auto other = runAsync([&] { ExclusiveLockGuard g(&lock, __FILE__, __LINE__); });
    EXPECT_FALSE(finishesWithin(other, 100ms));
    for (int i = 0; i < 3; ++i) lock.unlockExclusive(__FILE__, __LINE__);
    EXPECT_TRUE(finishesWithin(other, 5000ms));
    EXPECT_EQ(lock.exclusiveLockCount(), 0);
    EXPECT_EQ(summary(lock), "[0:0]");
}

TEST_F(ThreadSafety, ExclusiveHolderMayTakeSharedLocks) {
    SharedExclusiveLock lock;
    ExclusiveLockGuard ex(&lock, __FILE__, __LINE__);
    SharedLockGuard sh1(&lock, __FILE__, __LINE__);
    SharedLockGuard sh2(&lock, __FILE__, __LINE__);
    EXPECT_EQ(lock.sharedLockCount(), 2);
    EXPECT_EQ(summary(lock), "[" + threadTag() + ":1:2]");
}

TEST_F(ThreadSafety, SoleSharedHolderUpgradesAtOnceButWaitsForOtherReaders) {
    SharedExclusiveLock lock;
    {
        SharedLockGuard mine(&lock, __FILE__, __LINE__);
        ExclusiveLockGuard upgraded(&lock, __FILE__, __LINE__);  // must not block
        EXPECT_EQ(lock.exclusiveLockCount(), 1);
        EXPECT_EQ(lock.sharedLockCount(), 1);
    }
    EXPECT_EQ(summary(lock), "[0:0]");

    std::promise<void> readerIn, readerGo;
    auto reader = runAsync([&] {
        SharedLockGuard g(&lock, __FILE__, __LINE__);
        readerIn.set_value();
        readerGo.get_future().wait();
    });
    readerIn.get_future().wait();
    lock.lockShared(__FILE__, __LINE__);
    std::atomic<bool> got{false};
    // This thread asks for the upgrade while the other reader still holds the
    // lock; a helper releases that reader after a while.
    auto releaser = runAsync([&] {
        std::this_thread::sleep_for(200ms);
        EXPECT_FALSE(got.load());  // still waiting for the other reader
        readerGo.set_value();
    });
    lock.lockExclusive(__FILE__, __LINE__);
    got = true;
    EXPECT_TRUE(finishesWithin(releaser, 5000ms));
    EXPECT_TRUE(finishesWithin(reader, 5000ms));
    lock.unlockExclusive(__FILE__, __LINE__);
    lock.unlockShared(__FILE__, __LINE__);
    EXPECT_EQ(summary(lock), "[0:0]");
}

TEST_F(ThreadSafety, SharedLockWaitsForExclusiveHolder) {
    SharedExclusiveLock lock;
    lock.lockExclusive(__FILE__, __LINE__);
    auto reader = runAsync([&] { SharedLockGuard g(&lock, __FILE__, __LINE__); });
    EXPECT_FALSE(finishesWithin(reader, 150ms));
    lock.unlockExclusive(__FILE__, __LINE__);
    EXPECT_TRUE(finishesWithin(reader, 5000ms));
}

TEST_F(ThreadSafety, DumpsListHoldersPerThread) {
    SharedExclusiveLock lock;
    std::ostringstream empty;
    lock.dumpLocks(empty);
    EXPECT_EQ(empty.str(), "EXCLUSIVE LOCKS:\n- None.\nSHARED LOCKS:\n- None.\n");

    for (int i = 0; i < 3; ++i) lock.lockShared(__FILE__, __LINE__);
    EXPECT_EQ(summary(lock), "[0:3]");
    std::ostringstream held;
    lock.dumpLocks(held);
    EXPECT_EQ(held.str(), "EXCLUSIVE LOCKS:\n- None.\nSHARED LOCKS:\n- " + threadTag() + ":\t3\n");
    for (int i = 0; i < 3; ++i) lock.unlockShared(__FILE__, __LINE__);

    CriticalSection cs;
    std::ostringstream os;
    cs.dump(os);
    {
        CriticalSectionLock g(&cs);
        cs.dumpLine(os);
    }
    cs.dump(os);
    EXPECT_EQ(os.str(), "[UNLOCKED][LOCKED]\n[UNLOCKED]");
}

// Readers and writers on several threads: a writer is always alone, readers
// never see a half-done update, and every update is counted.
TEST_F(ThreadSafety, StressReadersAndWritersKeepExclusion) {
    SharedExclusiveLock lock;
    int a = 0, b = 0;  // a == b whenever no writer is inside
    std::atomic<int> writersInside{0}, readersInside{0};
    std::atomic<bool> violation{false};
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    std::atomic<long> writes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20000 && std::chrono::steady_clock::now() < deadline; ++i) {
                if ((i + t) % 4 == 0) {
                    ExclusiveLockGuard g(&lock, __FILE__, __LINE__);
                    ExclusiveLockGuard again(&lock, __FILE__, __LINE__);  // re-entrant
                    if (++writersInside != 1 || readersInside != 0) violation = true;
                    ++a;
                    std::this_thread::yield();
                    ++b;
                    ++writes;
                    --writersInside;
                } else {
                    SharedLockGuard g(&lock, __FILE__, __LINE__);
                    SharedLockGuard again(&lock, __FILE__, __LINE__);
                    ++readersInside;
                    if (writersInside != 0 || a != b) violation = true;
                    --readersInside;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_FALSE(violation.load());
    EXPECT_GT(writes.load(), 0);
    EXPECT_EQ(a, writes.load());
    EXPECT_EQ(summary(lock), "[0:0]");
}

TEST_F(ThreadSafety, WaitForMultipleObjectsReturnsIndexOfSignalledObject) {
    WaitableEvent e0, e1, e2;
    Waitable* objects[] = {&e0, &e1, &e2};
    auto setter = runAsync([&] {
        std::this_thread::sleep_for(50ms);
        e2.set();
    });
    EXPECT_EQ(waitForMultipleObjects(3, objects, false, kInfinite), 2u);
    setter.wait();

    // Waiting for all: only when every one is set.
    e0.set();
    EXPECT_EQ(waitForObjects(3, objects, true, 50), kWaitTimeout);
    e1.set();
    EXPECT_EQ(waitForMultipleObjects(3, objects, true, 1000), kWaitObject0);

    // An automatic-reset event releases one wait per set.
    WaitableEvent autoReset(false, true);
    EXPECT_EQ(autoReset.wait(0), kWaitObject0);
    EXPECT_EQ(autoReset.wait(20), kWaitTimeout);
}

namespace {
// A waitable whose owner went away without releasing it, as a mutex whose
// holder thread ended.
class AbandonedObject : public Waitable {
protected:
    State poll(bool) override { return State::Abandoned; }
};
}  // namespace

TEST_F(ThreadSafety, FatalWaitResults) {
    WaitableEvent never;
    Waitable* one[] = {&never};
    // A finite time-out of the caller is fatal too, whatever the global setting.
    EXPECT_EXIT(waitForSingleObject(&never, 100), ::testing::ExitedWithCode(1),
                "PROGRAM ABORT: WaitForSingleObject\\(\\) timed out\\.");
    EXPECT_EXIT(waitForMultipleObjects(1, one, false, 100), ::testing::ExitedWithCode(1),
                "PROGRAM ABORT: WaitForMultipleObjects\\(\\) timed out\\.");
    AbandonedObject abandoned;
    WaitableEvent e0;
    Waitable* mixed[] = {&e0, &abandoned, &never};
    EXPECT_EXIT(waitForMultipleObjects(3, mixed, false, kInfinite), ::testing::ExitedWithCode(1),
                "PROGRAM ABORT: WaitForMultipleObjects\\(\\) failed ; rc=129\n- FILE: ");
    EXPECT_EXIT(waitForSingleObject(nullptr, kInfinite), ::testing::ExitedWithCode(1),
                "WaitForSingleObject\\(\\) failed ; rc=4294967295");
}

TEST_F(ThreadSafety, DebuggingTimeoutEndsProcessWhenLockNotObtained) {
    // A critical section held by another thread for longer than the time-out.
    EXPECT_EXIT(
        {
            setThreadSafetyTimeout(0.3f);
            CriticalSection cs;
            std::promise<void> held;
            std::thread holder([&] {
                CriticalSectionLock g(&cs);
                held.set_value();
                std::this_thread::sleep_for(3s);
            });
            holder.detach();
            held.get_future().wait();
            CriticalSectionLock g(&cs);
        },
        ::testing::ExitedWithCode(1), "PROGRAM ABORT: EnterCriticalSection\\(\\) timed out\\.");

    // An exclusive locker that waits for another thread's shared lock.
    EXPECT_EXIT(
        {
            setThreadSafetyTimeout(0.3f);
            SharedExclusiveLock lock;
            std::promise<void> held;
            std::thread reader([&] {
                SharedLockGuard g(&lock, __FILE__, __LINE__);
                held.set_value();
                std::this_thread::sleep_for(3s);
            });
            reader.detach();
            held.get_future().wait();
            ExclusiveLockGuard g(&lock, __FILE__, __LINE__);
        },
        ::testing::ExitedWithCode(1), "PROGRAM ABORT: WaitForSingleObject\\(\\) timed out\\.");

    // A shared locker behind another thread's exclusive hold.
    EXPECT_EXIT(
        {
            setThreadSafetyTimeout(0.3f);
            SharedExclusiveLock lock;
            std::promise<void> held;
            std::thread writer([&] {
                ExclusiveLockGuard g(&lock, __FILE__, __LINE__);
                held.set_value();
                std::this_thread::sleep_for(3s);
            });
            writer.detach();
            held.get_future().wait();
            SharedLockGuard g(&lock, __FILE__, __LINE__);
        },
        ::testing::ExitedWithCode(1), "PROGRAM ABORT: EnterCriticalSection\\(\\) timed out\\.");
}

TEST_F(ThreadSafety, WithoutTimeoutLongHoldsAreWaitedFor) {
    CriticalSection cs;
    std::promise<void> held;
    auto holder = runAsync([&] {
        CriticalSectionLock g(&cs);
        held.set_value();
        std::this_thread::sleep_for(300ms);
    });
    held.get_future().wait();
    { CriticalSectionLock g(&cs); }  // waits, never aborts
    EXPECT_TRUE(finishesWithin(holder, 5000ms));
}
