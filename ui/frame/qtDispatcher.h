#pragma once
// The user-interface thread as a dispatcher of window messages
// (platform/messages.h): a message sent from another thread runs on the
// thread that owns this object, in its event loop, while the sender waits; a
// send on that thread runs at once; a post is queued.
//
//   QtDispatcher dispatcher;                  // on the user-interface thread
//   Handle h = createWindow(dispatcher, handler);
//   ...
//   destroyWindow(h);                         // waiting sends return 0
//   // then the dispatcher goes
#include <QObject>
#include <atomic>

#include "platform/messages.h"

class QtDispatcher : public QObject, public platform::messages::Dispatcher {
    Q_OBJECT
public:
    explicit QtDispatcher(QObject* parent = nullptr);
    ~QtDispatcher() override;

    bool post(std::function<void()> task) override;
    bool isOwnerThread() const override;
    // From now on tasks are refused (a send then returns 0).
    void stop();

private:
    std::atomic<bool> stopped_{false};
};
