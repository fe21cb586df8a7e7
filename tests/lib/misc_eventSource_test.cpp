#include "lib/widgets/eventSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

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
