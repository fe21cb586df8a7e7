#include "lib/widgets/eventSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"

namespace {

struct Ev {
    std::string text;
};

struct Recorder : TEventHandler<Ev> {
    std::vector<std::string>* log;
    std::string name;
    bool throws = false;
    Recorder(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
    void handleEvent(const Ev& e) override {
        log->push_back(name + ":" + e.text);
        if (throws) throw std::runtime_error("handler failed");
    }
};

}  // namespace

TEST(EventSource, AddRemoveAndRaise) {
    for (bool withLock : {false, true}) {
        SCOPED_TRACE(withLock ? "with lock" : "null lock");
        SharedExclusiveLock lock;
        TEventSource<Ev> source(withLock ? &lock : nullptr);
        std::vector<std::string> calls;
        source.raiseEvent({"nobody"});
        Recorder a(&calls, "a");
        source.addEventHandler(&a);
        source.addEventHandler(&a);  // held once
        source.raiseEvent({"1"});
        source.removeEventHandler(&a);
        source.removeEventHandler(&a);  // not there: no effect
        source.raiseEvent({"2"});
        EXPECT_EQ(calls, std::vector<std::string>{"a:1"});
        EXPECT_EQ(lock.sharedLockCount() + lock.exclusiveLockCount(), 0);
    }
}

TEST(EventSource, HandlerExceptionStopsTheWalkAndReleasesTheLock) {
    SharedExclusiveLock lock;
    TEventSource<Ev> source(&lock);
    std::vector<std::string> calls;
    Recorder r1(&calls, "r1"), r2(&calls, "r2");
    // Handlers are called in ascending address order.
    Recorder* first = &r1 < &r2 ? &r1 : &r2;
    first->throws = true;
    source.addEventHandler(&r1);
    source.addEventHandler(&r2);
    EXPECT_THROW(source.raiseEvent({"e"}), std::runtime_error);
    EXPECT_EQ(calls, std::vector<std::string>{first->name + ":e"});
    EXPECT_EQ(lock.sharedLockCount(), 0);
    // The lock is free again for another thread.
    auto f = std::async(std::launch::async, [&] { source.removeEventHandler(&r1); });
    EXPECT_EQ(f.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

namespace {
// A handler that raises a further event on the same source (shared locks are
// re-entrant per thread).
struct Relay : TEventHandler<Ev> {
    TEventSource<Ev>* source;
    std::vector<std::string>* log;
    void handleEvent(const Ev& e) override {
        log->push_back(e.text);
        if (e.text == "outer") source->raiseEvent({"inner"});
    }
};
}  // namespace

TEST(EventSource, HandlerMayRaiseOnTheSameSource) {
    SharedExclusiveLock lock;
    TEventSource<Ev> source(&lock);
    std::vector<std::string> calls;
    Relay relay;
    relay.source = &source;
    relay.log = &calls;
    source.addEventHandler(&relay);
    source.raiseEvent({"outer"});
    EXPECT_EQ(calls, (std::vector<std::string>{"outer", "inner"}));
}

namespace {
// A heap handler that fails loudly when called after its removal; ASan
// reports a call after it has been freed.
struct Guarded : TEventHandler<Ev> {
    std::atomic<bool> removed{false};
    std::atomic<int> lateCalls{0};
    std::atomic<int> calls{0};
    void handleEvent(const Ev&) override {
        if (removed.load()) ++lateCalls;
        ++calls;
    }
};
}  // namespace

// Many threads raise while others add and remove handlers that are freed as
// soon as removeEventHandler returns.
TEST(EventSource, HandlersComeAndGoWhileOtherThreadsRaise) {
    TEventSource<Ev> source(nullptr);
    Guarded resident;
    source.addEventHandler(&resident);
    std::atomic<bool> stop{false};
    std::atomic<int> lateCalls{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < 4; ++r) {
        threads.emplace_back([&] {
            while (!stop.load()) source.raiseEvent({"e"});
        });
    }
    for (int c = 0; c < 4; ++c) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                auto handler = std::make_unique<Guarded>();
                source.addEventHandler(handler.get());
                std::this_thread::yield();
                source.removeEventHandler(handler.get());
                handler->removed = true;
                lateCalls += handler->lateCalls.load();
                handler.reset();
            }
        });
    }
    for (std::size_t t = 4; t < threads.size(); ++t) threads[t].join();
    stop = true;
    for (std::size_t t = 0; t < 4; ++t) threads[t].join();
    EXPECT_EQ(lateCalls.load(), 0);
    EXPECT_GT(resident.calls.load(), 0);
}

namespace {
// Blocks inside handleEvent until released.
struct Blocking : TEventHandler<Ev> {
    std::promise<void> entered;
    std::shared_future<void> release;
    std::atomic<bool> done{false};
    void handleEvent(const Ev&) override {
        entered.set_value();
        release.wait();
        done = true;
    }
};
}  // namespace

// removeEventHandler returns only after a call running on another thread has
// returned; a handler may remove itself while it runs.
TEST(EventSource, RemovalWaitsForARunningCallAndMayComeFromTheHandler) {
    TEventSource<Ev> source(nullptr);
    Blocking blocking;
    std::promise<void> releaser;
    blocking.release = releaser.get_future().share();
    source.addEventHandler(&blocking);
    std::thread raiser([&] { source.raiseEvent({"e"}); });
    blocking.entered.get_future().wait();
    auto removal = std::async(std::launch::async, [&] { source.removeEventHandler(&blocking); });
    EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    releaser.set_value();
    removal.wait();
    EXPECT_TRUE(blocking.done.load());
    raiser.join();

    struct SelfRemoving : TEventHandler<Ev> {
        TEventSource<Ev>* source = nullptr;
        int calls = 0;
        void handleEvent(const Ev&) override {
            ++calls;
            source->removeEventHandler(this);
        }
    } self;
    self.source = &source;
    source.addEventHandler(&self);
    source.raiseEvent({"1"});
    source.raiseEvent({"2"});
    EXPECT_EQ(self.calls, 1);
}

// A handler running on a worker sends to the window of the thread that is
// removing it: the removal serves the send instead of waiting for ever.
TEST(EventSource, RemovalOnTheWindowThreadServesTheHandlersSend) {
    TEventSource<Ev> source(nullptr);
    platform::messages::EventLoopThread loop;
    std::atomic<int> served{0};
    const platform::messages::Handle window =
        platform::messages::createWindow(loop, [&](unsigned, std::uintptr_t, std::intptr_t) -> std::intptr_t {
            ++served;
            return 7;
        });
    struct Sender : TEventHandler<Ev> {
        platform::messages::Handle window = 0;
        std::promise<void> entered;
        std::atomic<std::intptr_t> answer{0};
        void handleEvent(const Ev&) override {
            entered.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the removal is waiting by now
            answer = platform::messages::sendMessage(window, platform::messages::WM_APP, 0, 0);
        }
    } sender;
    sender.window = window;
    source.addEventHandler(&sender);
    std::thread worker([&] { source.raiseEvent({"e"}); });
    sender.entered.get_future().wait();
    std::promise<void> removed;
    loop.post([&] {
        source.removeEventHandler(&sender);
        removed.set_value();
    });
    auto done = removed.get_future();
    const bool returned = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) platform::messages::destroyWindow(window);  // release the send so the test ends
    worker.join();
    done.wait();
    EXPECT_TRUE(returned);
    EXPECT_EQ(sender.answer.load(), 7);
    EXPECT_EQ(served.load(), 1);
    platform::messages::destroyWindow(window);
}
