#pragma once
// Window messages: message numbers registered by name, and windows that are
// pointer-sized handles served by a handler on the thread of a dispatcher.
// A send from another thread blocks until the owning thread has run the
// handler and returns its result; a send on the owning thread runs the
// handler at once; a post queues the message. A handle that names no window
// makes a send return 0 and a post return false.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform::messages {

constexpr unsigned WM_COMMAND = 0x0111;
constexpr unsigned WM_APP = 0x8000;

using Handle = std::uintptr_t;
using Handler = std::function<std::intptr_t(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)>;

// Number of a message registered by name: the same name (compared without
// regard to case) always gives the same number, from 0xC000 up.
unsigned registerMessage(const std::string& name);

// Runs tasks on the thread that owns it. post and isOwnerThread are called
// while the window table is locked: they must not call back into this
// module (queue the task and return).
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    // Queues the task to run on the owning thread; false when the dispatcher
    // no longer runs tasks (the task is then dropped).
    virtual bool post(std::function<void()> task) = 0;
    // True on the owning thread.
    virtual bool isOwnerThread() const = 0;
};

// A dispatcher with a thread of its own that runs the queued tasks in order.
// Used where no user interface provides the owning thread.
class EventLoopThread : public Dispatcher {
public:
    EventLoopThread();
    // Stops the thread: tasks still queued are dropped (a send waiting for
    // one of them returns 0).
    ~EventLoopThread() override;
    EventLoopThread(const EventLoopThread&) = delete;
    EventLoopThread& operator=(const EventLoopThread&) = delete;

    bool post(std::function<void()> task) override;
    bool isOwnerThread() const override;
    std::thread::id threadId() const;
    // Stops accepting tasks and joins the thread (called by the destructor).
    void stop();

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

// A new window served by the handler on the dispatcher's thread. The
// dispatcher must outlive the window (destroy the window first).
Handle createWindow(Dispatcher& dispatcher, Handler handler);

// The handle names no window any more; sends waiting for it return 0 and
// queued messages are dropped. Handles are never reused.
void destroyWindow(Handle window);

// True while the handle names a window.
bool isWindow(Handle window);

// Runs the window's handler on its owning thread and returns its result:
// at once on the owning thread, else blocking until the owning thread has
// run it. 0 for a handle that names no window, or when the window is
// destroyed (or its dispatcher stops) before the handler ran.
// Incoming sends are not served while a thread waits in a send, so a
// handler must not send to a thread that may be waiting for it; a thread
// that waits for other threads' work uses waitServingSends instead.
std::intptr_t sendMessage(Handle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

constexpr std::uint32_t kWaitForever = 0xFFFFFFFFu;

// Waits until `done` returns true, at most `milliseconds` (kWaitForever: no
// limit), meanwhile running the handlers of sends made to windows of
// dispatchers that the calling thread owns, as the dispatcher would have.
// A thread that owns windows (the user-interface thread) waits this way for
// a thread that may send to it, so neither waits for the other. `done` is
// polled every few milliseconds and after every send served; it must not
// block. Returns the last result of `done`.
bool waitServingSends(const std::function<bool()>& done, std::uint32_t milliseconds);

// Queues the message for the window's handler and returns at once; false for
// a handle that names no window.
bool postMessage(Handle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace platform::messages
