#include "platform/messages.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform::messages {

namespace {

std::string lowerAscii(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The outcome of one send, shared by the sender and the queued task.
struct SendState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::intptr_t result = 0;

    void finish(std::intptr_t value) {
        std::lock_guard lock(mutex);
        if (finished) return;
        finished = true;
        result = value;
        done.notify_all();
    }
};

// One send from another thread: run once, either by the dispatcher's queued
// task or by the owning thread while it waits in waitServingSends, whichever
// claims it first.
struct PendingSend {
    Dispatcher* dispatcher = nullptr;
    Handle window = 0;
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::shared_ptr<SendState> state;
    std::atomic<bool> claimed{false};

    bool claim() { return !claimed.exchange(true); }
};

// Held only by the queued task (and its copies): when the task is dropped
// without running, the last copy going away releases the waiting sender.
struct SendToken {
    std::shared_ptr<PendingSend> send;
    explicit SendToken(std::shared_ptr<PendingSend> s) : send(std::move(s)) {}
    ~SendToken();
    SendToken(const SendToken&) = delete;
    SendToken& operator=(const SendToken&) = delete;
};

struct Window {
    Dispatcher* dispatcher = nullptr;
    std::shared_ptr<Handler> handler;
    // Senders waiting for this window, released when it is destroyed.
    std::vector<std::weak_ptr<SendState>> pending;
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<Handle, Window> windows;
    Handle next = 0x10000;
    std::map<std::string, unsigned> messageNumbers;
    unsigned nextMessage = 0xC000;
    // Sends not yet run, for owners waiting in waitServingSends.
    std::vector<std::shared_ptr<PendingSend>> sends;
    std::condition_variable sendArrived;
};

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: hook libraries may call at exit
    return *r;
}

// The handler of a live window, or null.
std::shared_ptr<Handler> liveHandler(Handle window) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    return it == r.windows.end() ? nullptr : it->second.handler;
}

void forgetSend(const std::shared_ptr<PendingSend>& send) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase(r.sends, send);
}

// Runs a claimed send's handler and releases its sender.
void runSend(PendingSend& send) {
    auto h = liveHandler(send.window);
    send.state->finish(h && *h ? (*h)(send.msg, send.wParam, send.lParam) : 0);
}

SendToken::~SendToken() {
    if (send->claim()) send->state->finish(0);
    forgetSend(send);
}

}  // namespace

unsigned registerMessage(const std::string& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto [it, inserted] = r.messageNumbers.emplace(lowerAscii(name), r.nextMessage);
    if (inserted) ++r.nextMessage;
    return it->second;
}

struct EventLoopThread::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    bool stopping = false;
    std::thread::id owner;
};

EventLoopThread::EventLoopThread() : state_(std::make_shared<State>()) {
    std::shared_ptr<State> state = state_;
    thread_ = std::thread([state] {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(state->mutex);
                state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
                if (state->stopping) break;
                task = std::move(state->tasks.front());
                state->tasks.pop_front();
            }
            task();
        }
    });
    std::lock_guard lock(state_->mutex);
    state_->owner = thread_.get_id();
}

EventLoopThread::~EventLoopThread() { stop(); }

bool EventLoopThread::post(std::function<void()> task) {
    std::lock_guard lock(state_->mutex);
    if (state_->stopping) return false;
    state_->tasks.push_back(std::move(task));
    state_->wake.notify_one();
    return true;
}

bool EventLoopThread::isOwnerThread() const { return std::this_thread::get_id() == threadId(); }

std::thread::id EventLoopThread::threadId() const {
    std::lock_guard lock(state_->mutex);
    return state_->owner;
}

void EventLoopThread::stop() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        dropped.swap(state_->tasks);
        state_->wake.notify_all();
    }
    dropped.clear();  // releases senders waiting for these tasks
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            thread_.join();
        }
    }
}

Handle createWindow(Dispatcher& dispatcher, Handler handler) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    Handle h = r.next;
    r.next += 0x10;
    r.windows.emplace(h, Window{&dispatcher, std::make_shared<Handler>(std::move(handler)), {}});
    return h;
}

void destroyWindow(Handle window) {
    std::vector<std::weak_ptr<SendState>> pending;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.windows.find(window);
        if (it == r.windows.end()) return;
        pending = std::move(it->second.pending);
        r.windows.erase(it);
        // Queued sends to it are left to their tokens; no waiting owner runs them.
        std::erase_if(r.sends, [window](const std::shared_ptr<PendingSend>& send) {
            if (send->window != window) return false;
            send->claim();
            return true;
        });
    }
    for (auto& weak : pending) {
        if (auto state = weak.lock()) state->finish(0);
    }
}

bool isWindow(Handle window) { return liveHandler(window) != nullptr; }

std::intptr_t sendMessage(Handle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    Registry& r = registry();
    auto state = std::make_shared<SendState>();
    // Released after the table's lock: the token's last copy takes that lock.
    std::shared_ptr<SendToken> token;
    {
        std::unique_lock lock(r.mutex);
        auto it = r.windows.find(window);
        if (it == r.windows.end()) return 0;
        Dispatcher* dispatcher = it->second.dispatcher;
        if (dispatcher->isOwnerThread()) {
            std::shared_ptr<Handler> handler = it->second.handler;
            lock.unlock();
            return *handler ? (*handler)(msg, wParam, lParam) : 0;
        }
        auto& pending = it->second.pending;
        std::erase_if(pending, [](const std::weak_ptr<SendState>& w) { return w.expired(); });
        pending.push_back(state);
        // Posted under the lock: the dispatcher outlives its windows, so it
        // is alive while the window is registered.
        auto send = std::make_shared<PendingSend>();
        send->dispatcher = dispatcher;
        send->window = window;
        send->msg = msg;
        send->wParam = wParam;
        send->lParam = lParam;
        send->state = state;
        r.sends.push_back(send);
        token = std::make_shared<SendToken>(send);
        bool queued = dispatcher->post([token] {
            // The window may have been destroyed while the message was queued.
            if (token->send->claim()) runSend(*token->send);
        });
        if (!queued) {
            std::erase(r.sends, send);
            send->claim();
            lock.unlock();
            return 0;
        }
        r.sendArrived.notify_all();
    }
    token.reset();
    std::unique_lock lock(state->mutex);
    state->done.wait(lock, [&] { return state->finished; });
    return state->result;
}

bool waitServingSends(const std::function<bool()>& done, std::uint32_t milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    Registry& r = registry();
    for (;;) {
        std::shared_ptr<PendingSend> mine;
        {
            std::unique_lock lock(r.mutex);
            for (const auto& send : r.sends) {
                if (!send->claimed.load() && send->dispatcher->isOwnerThread() && send->claim()) {
                    mine = send;
                    break;
                }
            }
            if (mine) std::erase(r.sends, mine);
        }
        if (mine) {
            runSend(*mine);
            continue;
        }
        if (done()) return true;
        auto slice = std::chrono::milliseconds(5);
        if (milliseconds != kWaitForever) {
            const auto now = Clock::now();
            if (now >= deadline) return done();
            slice = std::min(slice, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                        std::chrono::milliseconds(1));
        }
        std::unique_lock lock(r.mutex);
        r.sendArrived.wait_for(lock, slice);
    }
}

bool postMessage(Handle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(window);
    if (it == r.windows.end()) return false;
    return it->second.dispatcher->post([window, msg, wParam, lParam] {
        auto h = liveHandler(window);
        if (h && *h) (*h)(msg, wParam, lParam);
    });
}

}  // namespace platform::messages
