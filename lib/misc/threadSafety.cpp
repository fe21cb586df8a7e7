#include "lib/misc/threadSafety.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "lib/misc/programAbort.h"

namespace {

std::atomic<float> g_timeoutSeconds{-1.0f};

using Clock = std::chrono::steady_clock;

// The debugging time-out in whole milliseconds (truncated).
std::uint32_t timeoutMilliseconds() {
    double ms = static_cast<double>(g_timeoutSeconds.load()) * 1000.0;
    if (ms <= 0.0) return 0;
    if (ms >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(ms);
}

std::uint64_t elapsedMilliseconds(Clock::time_point start) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string hexId(std::uint64_t id) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "<%08lx>", static_cast<unsigned long>(id));
    return buf;
}

}  // namespace

void setThreadSafetyTimeout(float seconds) { g_timeoutSeconds.store(seconds); }

float getThreadSafetyTimeout() { return g_timeoutSeconds.load(); }

std::uint64_t currentThreadNumber() {
    thread_local const std::uint64_t id = static_cast<std::uint64_t>(::gettid());
    return id;
}

// ---------------------------------------------------------------------------

void enterCriticalSection(NativeCriticalSection* section) {
    if (getThreadSafetyTimeout() < 0.0f) {
        section->lock();
        return;
    }
    if (section->try_lock()) return;
    const Clock::time_point start = Clock::now();
    // The time-out is read again on every pass.
    while (elapsedMilliseconds(start) < timeoutMilliseconds()) {
        if (section->try_lock()) return;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    programAbort("EnterCriticalSection() timed out.", __FILE__, __LINE__, nullptr);
    // Only reached while another fatal report is under way: the process is
    // about to end, so wait like a plain enter would.
    section->lock();
}

void leaveCriticalSection(NativeCriticalSection* section) { section->unlock(); }

// ---------------------------------------------------------------------------

namespace {
std::condition_variable& waitChanged() {
    static std::condition_variable* cv = new std::condition_variable;  // outlives every waiter
    return *cv;
}
}  // namespace

std::mutex& Waitable::waitMutex() {
    static std::mutex* m = new std::mutex;  // outlives every waiter
    return *m;
}

void Waitable::signalChanged() { waitChanged().notify_all(); }

WaitableEvent::WaitableEvent(bool manualReset, bool initiallySignalled)
    : manualReset_(manualReset), signalled_(initiallySignalled) {}

void WaitableEvent::set() {
    {
        std::lock_guard<std::mutex> lk(waitMutex());
        signalled_ = true;
    }
    signalChanged();
}

void WaitableEvent::reset() {
    std::lock_guard<std::mutex> lk(waitMutex());
    signalled_ = false;
}

bool WaitableEvent::isSet() const {
    std::lock_guard<std::mutex> lk(waitMutex());
    return signalled_;
}

std::uint32_t WaitableEvent::wait(std::uint32_t milliseconds) {
    Waitable* self = this;
    return waitForObjects(1, &self, false, milliseconds);
}

Waitable::State WaitableEvent::poll(bool consume) {
    if (!signalled_) return State::NotSignalled;
    if (consume && !manualReset_) signalled_ = false;
    return State::Signalled;
}

std::uint32_t waitForObjects(std::size_t count, Waitable* const* objects, bool waitAll, std::uint32_t milliseconds) {
    if (count == 0 || objects == nullptr) return kWaitFailed;
    for (std::size_t i = 0; i < count; ++i)
        if (objects[i] == nullptr) return kWaitFailed;

    auto check = [&]() -> std::uint32_t {
        if (!waitAll) {
            for (std::size_t i = 0; i < count; ++i) {
                Waitable::State s = objects[i]->poll(true);
                if (s == Waitable::State::Signalled) return kWaitObject0 + static_cast<std::uint32_t>(i);
                if (s == Waitable::State::Abandoned) return kWaitAbandoned0 + static_cast<std::uint32_t>(i);
            }
            return kWaitTimeout;
        }
        for (std::size_t i = 0; i < count; ++i)
            if (objects[i]->poll(false) == Waitable::State::NotSignalled) return kWaitTimeout;
        std::uint32_t rc = kWaitObject0;
        for (std::size_t i = 0; i < count; ++i)
            if (objects[i]->poll(true) == Waitable::State::Abandoned && rc == kWaitObject0)
                rc = kWaitAbandoned0 + static_cast<std::uint32_t>(i);
        return rc;
    };

    std::unique_lock<std::mutex> lk(Waitable::waitMutex());
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        std::uint32_t rc = check();
        if (rc != kWaitTimeout) return rc;
        if (milliseconds == kInfinite) {
            waitChanged().wait(lk);
        } else if (waitChanged().wait_until(lk, deadline) == std::cv_status::timeout) {
            return check();
        }
    }
}

std::uint32_t waitForSingleObject(Waitable* object, std::uint32_t milliseconds) {
    if (milliseconds == kInfinite && getThreadSafetyTimeout() >= 0.0f) milliseconds = timeoutMilliseconds();
    std::uint32_t rc = waitForObjects(1, &object, false, milliseconds);
    if (rc == kWaitTimeout) {
        programAbort("WaitForSingleObject() timed out.", __FILE__, __LINE__, nullptr);
    } else if (rc == kWaitObject0) {
        return rc;
    }
    programAbort(("WaitForSingleObject() failed ; rc=" + std::to_string(rc)).c_str(), __FILE__, __LINE__, nullptr);
    return rc;
}

std::uint32_t waitForMultipleObjects(std::uint32_t count, Waitable* const* objects, bool waitAll,
                                     std::uint32_t milliseconds) {
    if (milliseconds == kInfinite && getThreadSafetyTimeout() >= 0.0f) milliseconds = timeoutMilliseconds();
    std::uint32_t rc = waitForObjects(count, objects, waitAll, milliseconds);
    if (rc == kWaitTimeout) {
        programAbort("WaitForMultipleObjects() timed out.", __FILE__, __LINE__, nullptr);
    } else if (rc < count) {
        return rc;
    }
    programAbort(("WaitForMultipleObjects() failed ; rc=" + std::to_string(rc)).c_str(), __FILE__, __LINE__, nullptr);
    return rc;
}

// ---------------------------------------------------------------------------
// SharedExclusiveLock: one mutex guards the members and is held only briefly;
// waiting threads sleep on a condition variable that every release notifies,
// so an exclusive locker cannot miss a shared release.

// The table of shared holders grows as threads take the lock: there is a lock
// for every channel, its feed and settings, and few threads share one at once.
SharedExclusiveLock::SharedExclusiveLock() = default;

SharedExclusiveLock::~SharedExclusiveLock() = default;

bool SharedExclusiveLock::freeForExclusive(std::uint64_t self) const {
    if (owner_ != 0 && owner_ != self) return false;
    return shared_.empty() || (shared_.size() == 1 && shared_.begin()->first == self);
}

namespace {

// Waits on cv until pred holds. With the debugging time-out set, a wait that
// does not end within it is reported as fatal with the text timeoutText()
// gives at that moment.
template <class Pred, class Text>
void waitWithTimeout(std::condition_variable& cv, std::unique_lock<std::mutex>& lk, Pred pred, Text timeoutText,
                     unsigned line) {
    if (pred()) return;
    if (getThreadSafetyTimeout() < 0.0f) {
        cv.wait(lk, pred);
        return;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds());
    if (cv.wait_until(lk, deadline, pred)) return;
    const char* text = timeoutText();
    lk.unlock();
    programAbort(text, __FILE__, line, nullptr);
    lk.lock();
    // Only reached while another fatal report is under way.
    cv.wait(lk, pred);
}

}  // namespace

void SharedExclusiveLock::lockShared(const char*, unsigned) {
    const std::uint64_t self = currentThreadNumber();
    std::unique_lock<std::mutex> lk(state_);
    // New shared holders queue behind an exclusive holder (other than self).
    waitWithTimeout(
        changed_, lk, [&] { return owner_ == 0 || owner_ == self; }, [] { return "EnterCriticalSection() timed out."; },
        __LINE__);
    ++shared_[self];
}

void SharedExclusiveLock::unlockShared(const char*, unsigned) {
    const std::uint64_t self = currentThreadNumber();
    // Notified before the mutex is released: once it is released, a waiter
    // may take the lock and its owner may destroy it at once.
    std::lock_guard<std::mutex> lk(state_);
    auto it = shared_.find(self);
    if (it != shared_.end() && --it->second <= 0) shared_.erase(it);
    changed_.notify_all();
}

void SharedExclusiveLock::lockExclusive(const char*, unsigned) {
    const std::uint64_t self = currentThreadNumber();
    std::unique_lock<std::mutex> lk(state_);
    waitWithTimeout(
        changed_, lk, [&] { return freeForExclusive(self); },
        [&] {
            // Still behind another exclusive holder, or waiting for shared holders to leave.
            return (owner_ != 0 && owner_ != self) ? "EnterCriticalSection() timed out."
                                                   : "WaitForSingleObject() timed out.";
        },
        __LINE__);
    if (owner_ == 0) owner_ = self;
    ++recursion_;
}

bool SharedExclusiveLock::tryLockExclusive(const char*, unsigned) {
    const std::uint64_t self = currentThreadNumber();
    std::lock_guard<std::mutex> lk(state_);
    if (!freeForExclusive(self)) return false;
    if (owner_ == 0) owner_ = self;
    ++recursion_;
    return true;
}

void SharedExclusiveLock::unlockExclusive(const char*, unsigned) {
    // Notified under the mutex, as in unlockShared.
    std::lock_guard<std::mutex> lk(state_);
    if (--recursion_ < 1) {
        recursion_ = 0;
        owner_ = 0;
    }
    changed_.notify_all();
}

int SharedExclusiveLock::exclusiveLockCount() const {
    std::lock_guard<std::mutex> lk(state_);
    return recursion_;
}

int SharedExclusiveLock::sharedLockCount() const {
    std::lock_guard<std::mutex> lk(state_);
    int total = 0;
    for (const auto& entry : shared_) total += entry.second;
    return total;
}

void SharedExclusiveLock::dumpSummary(std::ostream& os) const {
    std::lock_guard<std::mutex> lk(state_);
    int total = 0;
    for (const auto& entry : shared_) total += entry.second;
    if (owner_ != 0)
        os << "[" << hexId(owner_) << ":" << recursion_;
    else
        os << "[0";
    os << ":" << total << "]";
}

void SharedExclusiveLock::dumpLocks(std::ostream& os) const {
    std::lock_guard<std::mutex> lk(state_);
    os << "EXCLUSIVE LOCKS:\n";
    if (owner_ != 0)
        os << "- " << hexId(owner_) << ":\t" << recursion_ << "\n";
    else
        os << "- None.\n";
    os << "SHARED LOCKS:\n";
    if (shared_.empty()) os << "- None.\n";
    for (const auto& entry : shared_) os << "- " << hexId(entry.first) << ":\t" << entry.second << "\n";
}

// ---------------------------------------------------------------------------

void CriticalSection::lock() {
    enterCriticalSection(&section_);
    ++count_;
}

void CriticalSection::unlock() {
    --count_;
    leaveCriticalSection(&section_);
}

void CriticalSection::dump(std::ostream& os) const { os << (count_ < 1 ? "[UNLOCKED]" : "[LOCKED]"); }

void CriticalSection::dumpLine(std::ostream& os) const {
    dump(os);
    os << std::endl;
}
