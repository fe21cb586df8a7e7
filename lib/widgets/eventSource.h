#pragma once
// Observer pattern: a source raises events to the handlers registered with it.
// (This folder keeps its historical name; it holds no windows, only this
// event source and handler pair.)
//
//   class Listener : public TEventHandler<channels::Event> {
//       void handleEvent(const channels::Event& e) override;
//   };
//   TEventSource<channels::Event> source(&lock);   // lock may be null
//   source.addEventHandler(&listener);
//   source.raiseEvent(event);                      // calls every handler
//   source.removeEventHandler(&listener);          // never called again
//
// Handlers are held once each, ordered by address, and are not owned. They
// run on the raising thread (under `lock` taken shared when one is given;
// the engine's sources give none, so no lock of theirs is held while a
// handler runs). An exception of a handler passes to the caller of
// raiseEvent and the remaining handlers are not called.
//
// Any thread may add or remove handlers while others raise events; the
// handler set has a guard of its own. Once removeEventHandler has returned,
// the handler is not running on any other thread and is never called again,
// so an object may unregister in its destructor. A handler may raise further
// events on its source and may remove handlers (itself too) from within
// handleEvent. While removeEventHandler waits for a call running on another
// thread, it serves window-message sends made to the waiting thread
// (platform/messages.h), so a handler that sends to the thread removing it
// does not deadlock.
#include <algorithm>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "lib/misc/threadSafety.h"
#include "platform/messages.h"

template <class E>
class TEventHandler {
public:
    virtual void handleEvent(const E& event) = 0;

protected:
    TEventHandler() = default;
    ~TEventHandler() = default;
};

template <class E>
class TEventSource {
public:
    explicit TEventSource(SharedExclusiveLock* lock) : lock_(lock) {}
    virtual ~TEventSource() = default;
    TEventSource(const TEventSource&) = delete;
    TEventSource& operator=(const TEventSource&) = delete;

    void addEventHandler(TEventHandler<E>* handler) {
        std::lock_guard guard(mutex_);
        handlers_.insert(handler);
    }

    void removeEventHandler(TEventHandler<E>* handler) {
        {
            std::lock_guard guard(mutex_);
            handlers_.erase(handler);
            if (!runningElsewhere(handler)) return;
        }
        platform::messages::waitServingSends(
            [&] {
                std::lock_guard guard(mutex_);
                return !runningElsewhere(handler);
            },
            platform::messages::kWaitForever);
    }

    virtual void raiseEvent(const E& event) {
        SharedLockGuard guard(lock_, __FILE__, __LINE__);
        std::vector<TEventHandler<E>*> snapshot;
        {
            std::lock_guard setGuard(mutex_);
            snapshot.assign(handlers_.begin(), handlers_.end());
        }
        for (TEventHandler<E>* handler : snapshot) {
            Call call(*this, handler);
            if (!call.entered) continue;  // removed meanwhile
            handler->handleEvent(event);
        }
    }

private:
    // One running handleEvent: entered only while the handler is registered.
    struct Call {
        TEventSource& source;
        TEventHandler<E>* handler;
        std::thread::id thread = std::this_thread::get_id();
        bool entered = false;
        Call(TEventSource& s, TEventHandler<E>* h) : source(s), handler(h) {
            std::lock_guard guard(source.mutex_);
            if (!source.handlers_.count(handler)) return;
            source.running_.emplace_back(handler, thread);
            entered = true;
        }
        ~Call() {
            if (!entered) return;
            std::lock_guard guard(source.mutex_);
            auto it = std::find(source.running_.begin(), source.running_.end(), std::make_pair(handler, thread));
            source.running_.erase(it);
        }
    };

    // Caller holds mutex_.
    bool runningElsewhere(TEventHandler<E>* handler) const {
        const std::thread::id self = std::this_thread::get_id();
        return std::any_of(running_.begin(), running_.end(),
                           [&](const auto& call) { return call.first == handler && call.second != self; });
    }

    SharedExclusiveLock* lock_;
    mutable std::mutex mutex_;
    std::set<TEventHandler<E>*> handlers_;
    std::vector<std::pair<TEventHandler<E>*, std::thread::id>> running_;
};
