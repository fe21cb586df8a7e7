#pragma once
// Locks and guards used by every shared table of the program.
//
//   SharedExclusiveLock lock_;                                   // member of the owner
//   { SharedLockGuard g(&lock_, __FILE__, __LINE__);   ...read... }
//   { ExclusiveLockGuard g(&lock_, __FILE__, __LINE__); ...write... }
//
// - The exclusive holder may lock again (exclusive or shared); each lock is
//   released once. Shared locks are counted per thread. A thread that is the
//   only shared holder may also take the lock exclusively; while any other
//   thread holds it shared, lockExclusive waits.
// - A guard given a null lock pointer does nothing at all, so owners may keep
//   their lock pointer null until one is installed.
// - CriticalSection / CriticalSectionLock: a counted re-entrant mutex and its
//   scoped lock, for small process-wide state.
// - setThreadSafetyTimeout(seconds) sets the process-wide debugging time-out
//   (negative = none, the default). A lock or wrapped wait that does not come
//   through within it ends the process with the fatal report (programAbort,
//   exit code 1). Every blocking operation of these classes goes through it.
// - WaitableEvent is a Win32-style event (manual or automatic reset). Its own
//   wait() never aborts; waitForSingleObject/waitForMultipleObjects are the
//   wrappers for waits that are expected to succeed: any time-out or failure
//   is fatal.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <unordered_map>

// ---------------------------------------------------------------------------
// Process-wide debugging time-out

// Seconds; negative means no time-out. Initially -1.
void setThreadSafetyTimeout(float seconds);
float getThreadSafetyTimeout();

// Numeric id of the calling thread, as shown in lock dumps.
std::uint64_t currentThreadNumber();

// ---------------------------------------------------------------------------
// Critical sections (re-entrant mutexes) and their wrappers

using NativeCriticalSection = std::recursive_mutex;

// Enters the section; with the debugging time-out set, polls for at most that
// long and then reports "EnterCriticalSection() timed out." as fatal.
void enterCriticalSection(NativeCriticalSection* section);
void leaveCriticalSection(NativeCriticalSection* section);

// ---------------------------------------------------------------------------
// Waitable objects and the wait wrappers

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitAbandoned0 = 0x80;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// Something a thread can wait for. Signals travel through one process-wide
// condition variable, so a thread can wait for several objects at once.
class Waitable {
public:
    enum class State { NotSignalled, Signalled, Abandoned };
    Waitable() = default;
    virtual ~Waitable() = default;
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

protected:
    friend std::uint32_t waitForObjects(std::size_t, Waitable* const*, bool, std::uint32_t);
    // Called with waitMutex() held. `consume` asks the object to take the
    // signal (automatic reset); it is false when only testing.
    virtual State poll(bool consume) = 0;
    // Lock to hold while changing what poll() reports; call signalChanged()
    // after the change (without holding it).
    static std::mutex& waitMutex();
    static void signalChanged();
};

class WaitableEvent : public Waitable {
public:
    explicit WaitableEvent(bool manualReset = true, bool initiallySignalled = false);
    void set();
    void reset();
    bool isSet() const;
    // Plain wait that never aborts: kWaitObject0 or kWaitTimeout.
    std::uint32_t wait(std::uint32_t milliseconds);

protected:
    State poll(bool consume) override;

private:
    bool manualReset_;
    bool signalled_;
};

// Plain wait for several objects (no debugging time-out, never fatal).
// Returns kWaitObject0 + index of the first signalled object (waitAll false),
// kWaitObject0 when all are signalled (waitAll true), kWaitAbandoned0 + index,
// kWaitTimeout, or kWaitFailed for a null object or a count of 0.
std::uint32_t waitForObjects(std::size_t count, Waitable* const* objects, bool waitAll, std::uint32_t milliseconds);

// Wrappers for waits that must succeed. kInfinite is replaced by the debugging
// time-out when one is set; an expired wait (the caller's own time-out too) and
// every result other than success are fatal.
std::uint32_t waitForSingleObject(Waitable* object, std::uint32_t milliseconds);
std::uint32_t waitForMultipleObjects(std::uint32_t count, Waitable* const* objects, bool waitAll,
                                     std::uint32_t milliseconds);

// ---------------------------------------------------------------------------
// Reader/writer lock

class SharedExclusiveLock {
public:
    SharedExclusiveLock();
    ~SharedExclusiveLock();
    SharedExclusiveLock(const SharedExclusiveLock&) = delete;
    SharedExclusiveLock& operator=(const SharedExclusiveLock&) = delete;

    // file and line name the locking statement (for diagnostics only).
    void lockShared(const char* file, unsigned line);
    void unlockShared(const char* file, unsigned line);
    void lockExclusive(const char* file, unsigned line);
    void unlockExclusive(const char* file, unsigned line);
    // Takes the lock exclusively only when that needs no waiting.
    bool tryLockExclusive(const char* file, unsigned line);

    // Recursion count of the exclusive holder.
    int exclusiveLockCount() const;
    // Sum of all threads' shared counts.
    int sharedLockCount() const;
    // "[<owner>:recursion:shared]" or "[0:shared]", no line end.
    void dumpSummary(std::ostream& os) const;
    // EXCLUSIVE LOCKS / SHARED LOCKS listing, one line each.
    void dumpLocks(std::ostream& os) const;

private:
    bool freeForExclusive(std::uint64_t self) const;

    mutable std::mutex state_;
    std::condition_variable changed_;
    std::uint64_t owner_ = 0;
    int recursion_ = 0;
    std::unordered_map<std::uint64_t, int> shared_;
};

class SharedLockGuard {
public:
    SharedLockGuard(SharedExclusiveLock* lock, const char* file, unsigned line)
        : lock_(lock), file_(file), line_(line) {
        if (lock_) lock_->lockShared(file_, line_);
    }
    ~SharedLockGuard() {
        if (lock_) lock_->unlockShared(file_, line_);
    }
    SharedLockGuard(const SharedLockGuard&) = delete;
    SharedLockGuard& operator=(const SharedLockGuard&) = delete;

private:
    SharedExclusiveLock* lock_;
    const char* file_;
    unsigned line_;
};

class ExclusiveLockGuard {
public:
    ExclusiveLockGuard(SharedExclusiveLock* lock, const char* file, unsigned line)
        : lock_(lock), file_(file), line_(line) {
        if (lock_) lock_->lockExclusive(file_, line_);
    }
    ~ExclusiveLockGuard() {
        if (lock_) lock_->unlockExclusive(file_, line_);
    }
    ExclusiveLockGuard(const ExclusiveLockGuard&) = delete;
    ExclusiveLockGuard& operator=(const ExclusiveLockGuard&) = delete;

private:
    SharedExclusiveLock* lock_;
    const char* file_;
    unsigned line_;
};

// ---------------------------------------------------------------------------
// Counted critical section

class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock();
    void unlock();
    // "[LOCKED]" or "[UNLOCKED]"; dumpLine ends the line.
    void dump(std::ostream& os) const;
    void dumpLine(std::ostream& os) const;

private:
    NativeCriticalSection section_;
    std::atomic<int> count_{0};
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection* section) : section_(section) {
        if (section_) section_->lock();
    }
    ~CriticalSectionLock() {
        if (section_) section_->unlock();
    }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection* section_;
};
