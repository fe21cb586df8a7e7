#pragma once
// The program's local HTTP listeners on 127.0.0.1: the application server
// (subscription and read-me requests), the application plug-in server (pages
// of application plug-ins) and three subscription listeners.
//
//   listeners::setListenerHooks(hooks);       // the desktop's side, once
//   listeners::appServer().setPort(2604);
//   listeners::enableLocalPortListeners(false);
//   ...
//   listeners::enableLocalPortListeners(true);  // at shut-down
//
// Each listener has a thread of its own that serves one request at a time.
// The thread reads the head of each connection (up to its empty line) with a
// time-out while other connections wait, so an idle client holds up nobody;
// several clients may be reading at once, their requests are handled in the
// order their heads complete, and past a cap the least recently active
// reader is dropped for a new connection. Answers are written and the
// connections closed as their sockets allow, never waiting on one client.
// Every answer is an HTTP/1.1 response with Content-Type, Content-Length and
// "Connection: close"; the connection is closed after it.
//
// Listeners never touch a window: what they receive goes to the hooks.
#include <atomic>
#include <functional>
#include <memory>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace channels {
class AppPluginManager;
}

namespace listeners {

// What the desktop installs. Every member may be empty; it is called on a
// listener thread.
struct ListenerHooks {
    // Posts "StartNewChannelWizard" with the feed address.
    std::function<void(const std::string& address)> startNewChannelWizard;
    // Posts "AddToReadMeList" with the URL.
    std::function<void(const std::string& url)> addToReadMeList;
    // Brings the main window to the front.
    std::function<void()> bringToFront;
    // True while the read-me list takes no more entries. Empty: false.
    std::function<bool()> isReadMeListFull;
    // False once the main window is gone: the listener then ends. Empty: true.
    std::function<bool()> isMainFrameCreated;
    // Reports a listener's failure (title: the listener's name + " error").
    std::function<void(const std::string& title, const std::string& text)> reportError;
    // The application's name (acknowledgements carry no page, so it is not
    // shown by the listeners themselves).
    std::string appName = "Orvan";
};
void setListenerHooks(ListenerHooks hooks);
ListenerHooks listenerHooks();

// A request that gets an error answer with this HTTP status.
class RequestError : public std::runtime_error {
public:
    RequestError(int status, const std::string& text) : std::runtime_error(text), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// One HTTP answer.
struct Reply {
    int status = 200;
    std::string contentType = "text/html";
    std::string body;
};
std::string formatReply(const Reply& reply);
// The page for an error text (escaped).
Reply errorReply(int status, const std::string& text);
// "204 No Content": the request was handed on, and the page that sent it
// (a link in a browser or one of the program's views) stays where it is.
Reply requestAcknowledgement();

// The parsed head of a request.
struct Request {
    std::string method;
    std::string path;
    std::string query;
    std::string host;   // the Host header, empty when missing
    std::string token;  // the kPluginServerTokenHeader header, empty when missing
};
// Parses a request head (request line, header lines). Throws RequestError.
Request parseRequest(const std::string& head);

// The header that carries the plug-in server's token. The program's own web
// views add it to the requests they send to the plug-in server (typed or
// program-made loads, and links and forms of the plug-in pages themselves);
// a page of any other site cannot, so its requests are refused with 403.
inline constexpr const char* kPluginServerTokenHeader = "X-Orvan-Token";
// The token of this run: random, made on first use.
const std::string& pluginServerToken();

// A subscription or read-me address: http, https, or a feed: form (mapped to
// http or https). Throws RequestError for anything else.
std::string checkAddress(const std::string& address);

class LocalPortListener {
public:
    explicit LocalPortListener(unsigned port = 0);
    // Stops the thread when one is running.
    virtual ~LocalPortListener();
    LocalPortListener(const LocalPortListener&) = delete;
    LocalPortListener& operator=(const LocalPortListener&) = delete;

    // Starts the thread unless one is recorded.
    virtual void start();
    // Wakes the thread, waits for it to end and forgets it.
    virtual void stop();
    virtual std::string getName() const = 0;
    // Does the work for one request; throws to have an error answer sent.
    virtual Reply handleRequest(const Request& request) = 0;

    void setPort(unsigned port);
    unsigned getPort() const;
    // True while a thread is recorded.
    bool isStarted() const;
    // True while the thread's socket listens.
    bool isListening() const;
    // Handles one request head: the reply, or the error page for what threw.
    Reply processRequest(const std::string& head);

protected:
    // The thread's body: listens on the port and serves until stopped.
    virtual void run();

private:
    void serve(int listenFd);
    void report(const std::string& text) const;
    void signalReady();

    // Guards the thread and serialises start, stop and setPort.
    mutable std::mutex lock_;
    std::atomic<unsigned> port_;
    std::thread thread_;
    // Set before the thread starts, read by it.
    unsigned threadPort_ = 0;
    int wakeFd_ = -1;
    std::shared_ptr<std::promise<void>> ready_;  // until the port listens or failed
    std::atomic<bool> listening_{false};
};

// Refuses any path but "/subscribe" and "/readme"; hands the address on.
class AppServerLocalPortListener : public LocalPortListener {
public:
    using LocalPortListener::LocalPortListener;
    std::string getName() const override;
    Reply handleRequest(const Request& request) override;
};

// Serves "/<plug-in id>/<request>?<parameters>" from the plug-in manager;
// answers only requests addressed to 127.0.0.1 or localhost on its own port
// that carry the run's token (pluginServerToken).
class AppPluginServerLocalPortListener : public LocalPortListener {
public:
    explicit AppPluginServerLocalPortListener(unsigned port = 0, channels::AppPluginManager* manager = nullptr)
        : LocalPortListener(port), manager_(manager) {}
    std::string getName() const override;
    Reply handleRequest(const Request& request) override;

private:
    channels::AppPluginManager* manager_;  // null: the program's manager
};

// A listener that takes a subscription address from one query key.
class SubscriptionLocalPortListener : public LocalPortListener {
public:
    SubscriptionLocalPortListener(unsigned port, std::string name, std::string key)
        : LocalPortListener(port), name_(std::move(name)), key_(std::move(key)) {}
    std::string getName() const override { return name_; }
    Reply handleRequest(const Request& request) override;

private:
    std::string name_;
    std::string key_;
};

// The program's one listener of each kind.
AppServerLocalPortListener& appServer();
AppPluginServerLocalPortListener& appPluginServer();
SubscriptionLocalPortListener& port8888Listener();
SubscriptionLocalPortListener& port5335Listener();
SubscriptionLocalPortListener& port8900Listener();

// Gives the plug-in manager the two ports, then stops every listener
// (stopAll) or starts the two servers and the subscription listeners whose
// options are on (the others are stopped).
void enableLocalPortListeners(bool stopAll);

}  // namespace listeners
