#pragma once
// Observer pattern: a source raises events to the handlers registered with it.
//
//   class Listener : public TEventHandler<channels::Event> {
//       void handleEvent(const channels::Event& e) override;
//   };
//   TEventSource<channels::Event> source(&lock);   // lock may be null
//   source.addEventHandler(&listener);
//   source.raiseEvent(event);                      // calls every handler
//
// Handlers are held once each, ordered by address, and are not owned. They run
// on the raising thread under the source's lock taken shared; a handler may
// raise further events on the same source but must not add or remove handlers
// of it. An exception of a handler passes to the caller of raiseEvent and the
// remaining handlers are not called.
#include <set>

#include "lib/misc/threadSafety.h"

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
        ExclusiveLockGuard guard(lock_, __FILE__, __LINE__);
        handlers_.insert(handler);
    }
    void removeEventHandler(TEventHandler<E>* handler) {
        ExclusiveLockGuard guard(lock_, __FILE__, __LINE__);
        handlers_.erase(handler);
    }
    virtual void raiseEvent(const E& event) {
        SharedLockGuard guard(lock_, __FILE__, __LINE__);
        for (TEventHandler<E>* handler : handlers_) handler->handleEvent(event);
    }

private:
    SharedExclusiveLock* lock_;
    std::set<TEventHandler<E>*> handlers_;
};
