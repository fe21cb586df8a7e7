#include "app/listeners/localPortListener.h"
#include "app/core/seams.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <future>
#include <map>
#include <random>
#include <system_error>
#include <vector>

#include "app/misc/readMeLimits.h"
#include "app/options/globalOptions.h"
#include "channels/appPlugins/appPlugin.h"
#include "lib/log/messageLog.h"
#include "channels/appPlugins/appPluginManager.h"
#include "tools/codecs.h"

namespace listeners {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxRequestLine = 8192;  // bytes before the first line end
constexpr std::size_t kMaxHead = 64 * 1024;    // request line and header lines
// Connections reading their heads; past this the least recently active one
// is dropped for a new one, so idle clients never shut a listener out.
constexpr std::size_t kMaxPending = 64;
constexpr std::size_t kAcceptBatch = 16;
// Connections being answered; past this the oldest is closed.
constexpr std::size_t kMaxOutgoing = 256;
constexpr auto kHeadTimeout = std::chrono::seconds(5);
constexpr auto kSendTimeout = std::chrono::seconds(5);
constexpr auto kDrainTimeout = std::chrono::seconds(1);
constexpr std::size_t kMaxDrain = 1024 * 1024;

std::mutex& hooksMutex() {
    static std::mutex m;
    return m;
}
ListenerHooks& hooksStore() {
    static ListenerHooks h;
    return h;
}

// Socket creation and listening of every listener, one at a time.
std::mutex& socketCreationMutex() {
    static std::mutex m;
    return m;
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}
bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}
bool isBlank(char c) { return c == ' ' || c == '\t'; }

const char* reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 414:
            return "URI Too Long";
        case 431:
            return "Request Header Fields Too Large";
        case 507:
            return "Insufficient Storage";
        default:
            return "Internal Server Error";
    }
}

// Where the head of a request ends (just after its empty line), or npos.
std::size_t headEnd(const std::string& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\n') continue;
        if (i + 1 < data.size() && data[i + 1] == '\n') return i + 2;
        if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') return i + 3;
    }
    return std::string::npos;
}

// A connection whose head is still being read.
struct Pending {
    int fd;
    std::string data;
    Clock::time_point deadline;      // answered with 408 then
    Clock::time_point lastActivity;  // the least recent one is dropped first
};

// A connection being answered: the reply is written as the socket takes it,
// then what the client still sends is read (for a bounded time) so that
// closing does not reset the connection under the answer.
struct Outgoing {
    int fd = -1;
    std::string bytes;
    std::size_t sent = 0;
    bool draining = false;
    std::size_t drained = 0;
    Clock::time_point deadline;
};

// Sends what the socket takes now; true when the connection is finished
// (everything written and drained, or the client gone, or out of time).
bool advance(Outgoing& out, short revents, Clock::time_point now) {
    if (now >= out.deadline || (revents & (POLLERR | POLLNVAL))) return true;
    if (!out.draining) {
        while (out.sent < out.bytes.size()) {
            const ssize_t n = ::send(out.fd, out.bytes.data() + out.sent, out.bytes.size() - out.sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
            if (n <= 0) return true;  // the client is gone
            out.sent += static_cast<std::size_t>(n);
        }
        ::shutdown(out.fd, SHUT_WR);
        out.draining = true;
        out.deadline = std::min(out.deadline, now + kDrainTimeout);
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(out.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        if (n <= 0) return true;  // the client closed its side
        out.drained += static_cast<std::size_t>(n);
        if (out.drained >= kMaxDrain) return true;
    }
}

}  // namespace

void setListenerHooks(ListenerHooks hooks) {
    std::lock_guard<std::mutex> guard(hooksMutex());
    hooksStore() = std::move(hooks);
}

const seams::Registration g_listenerHooksSeam(
    "ListenerHooks",
    [] {
        const ListenerHooks hooks = listenerHooks();
        return hooks.startNewChannelWizard && hooks.addToReadMeList && hooks.bringToFront && hooks.isMainFrameCreated &&
               hooks.isReadMeListFull && hooks.reportError;
    },
    [] { setListenerHooks({}); });

ListenerHooks listenerHooks() {
    std::lock_guard<std::mutex> guard(hooksMutex());
    return hooksStore();
}

std::string formatReply(const Reply& reply) {
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + reasonPhrase(reply.status) + "\r\n";
    // A 204 answer has neither a body nor a length (RFC 9110).
    if (reply.status != 204) {
        out += "Content-Type: " + reply.contentType + "\r\n";
        out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    return reply.status == 204 ? out : out + reply.body;
}

Reply errorReply(int status, const std::string& text) {
    Reply reply;
    reply.status = status;
    reply.body = "<HTML><BODY>\n<P>An error has occured:\n<PRE style='margin-left:30px'>\n" + tools::escapeHtml(text) +
                 "\n</PRE>\n</BODY></HTML>\n";
    return reply;
}

Reply requestAcknowledgement() {
    Reply reply;
    reply.status = 204;
    return reply;
}

Request parseRequest(const std::string& head) {
    const std::size_t lineEnd = head.find_first_of("\r\n");
    const std::string line = head.substr(0, lineEnd);
    if (line.size() > kMaxRequestLine) throw RequestError(414, "Request line too long.");

    Request request;
    std::size_t i = 0;
    while (i < line.size() && !isBlank(line[i])) request.method += line[i++];
    if (!equalsNoCase(request.method, "GET")) throw RequestError(405, "Invalid request type: " + request.method);
    while (i < line.size() && isBlank(line[i])) ++i;
    while (i < line.size() && line[i] != '?' && !isBlank(line[i])) request.path += line[i++];
    if (i < line.size() && line[i] == '?') {
        ++i;
        while (i < line.size() && isBlank(line[i])) ++i;
        while (i < line.size() && !isBlank(line[i])) request.query += line[i++];
    }

    // Header lines: only Host and the token are read, each the first of its name.
    const std::string tokenName = std::string(kPluginServerTokenHeader) + ":";
    bool hostSeen = false, tokenSeen = false;
    std::size_t pos = lineEnd;
    while (pos != std::string::npos && pos < head.size() && !(hostSeen && tokenSeen)) {
        pos = head.find('\n', pos);
        if (pos == std::string::npos) break;
        ++pos;
        const std::size_t end = head.find_first_of("\r\n", pos);
        const std::string header = head.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        auto valueAfter = [&header](std::size_t nameLength) {
            std::string value = header.substr(nameLength);
            value.erase(0, value.find_first_not_of(" \t"));
            value.erase(value.find_last_not_of(" \t") + 1);
            return value;
        };
        if (!hostSeen && startsWithNoCase(header, "host:")) {
            request.host = valueAfter(5);
            hostSeen = true;
        } else if (!tokenSeen && startsWithNoCase(header, tokenName)) {
            request.token = valueAfter(tokenName.size());
            tokenSeen = true;
        }
    }
    return request;
}

const std::string& pluginServerToken() {
    static const std::string token = [] {
        std::random_device random;
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (int i = 0; i < 32; ++i) text += digits[random() & 15];
        return text;
    }();
    return token;
}

std::string checkAddress(const std::string& address) {
    std::string mapped = address;
    if (startsWithNoCase(mapped, "feed:")) {
        const std::string rest = mapped.substr(5);
        if (startsWithNoCase(rest, "//"))
            mapped = "http:" + rest;
        else
            mapped = rest;  // feed:http://... and feed:https://...
    }
    std::size_t schemeEnd = 0;
    if (startsWithNoCase(mapped, "http://"))
        schemeEnd = 7;
    else if (startsWithNoCase(mapped, "https://"))
        schemeEnd = 8;
    const bool control =
        std::any_of(mapped.begin(), mapped.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
    if (schemeEnd == 0 || mapped.size() == schemeEnd || control)
        throw RequestError(400, "Unsupported address: " + address);
    return mapped;
}

// ---------------------------------------------------------------------------

LocalPortListener::LocalPortListener(unsigned port) : port_(port) {}

LocalPortListener::~LocalPortListener() {
    // A thread left running would outlive its object.
    stop();
}

void LocalPortListener::setPort(unsigned port) {
    std::lock_guard<std::mutex> guard(lock_);
    port_ = port;
}

unsigned LocalPortListener::getPort() const { return port_; }

bool LocalPortListener::isStarted() const {
    std::lock_guard<std::mutex> guard(lock_);
    return thread_.joinable();
}

bool LocalPortListener::isListening() const { return listening_; }

void LocalPortListener::report(const std::string& text) const {
    const ListenerHooks hooks = listenerHooks();
    if (hooks.reportError) hooks.reportError(getName() + " error", text);
}

void LocalPortListener::start() {
    std::unique_lock<std::mutex> guard(lock_);
    if (thread_.joinable()) return;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        guard.unlock();
        report("Can't start the local port listener.");
        return;
    }
    listening_ = false;
    threadPort_ = port_;
    ready_ = std::make_shared<std::promise<void>>();
    std::future<void> boundFuture = ready_->get_future();
    try {
        thread_ = std::thread([this, keep = ready_] {
            try {
                run();
            } catch (...) {
                // A failing listener ends its thread silently.
            }
            signalReady();
        });
        // The port listens (or its failure was reported) when start returns.
        boundFuture.wait();
    } catch (const std::system_error&) {
        ::close(wakeFd_);
        wakeFd_ = -1;
        ready_.reset();
        guard.unlock();
        report("Can't start the local port listener.");
    }
}

void LocalPortListener::stop() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    ::close(wakeFd_);
    wakeFd_ = -1;
    listening_ = false;
}

void LocalPortListener::signalReady() {
    if (auto ready = std::move(ready_)) ready->set_value();
}

void LocalPortListener::run() {
    const unsigned port = threadPort_;
    int fd = -1;
    {
        std::lock_guard<std::mutex> section(socketCreationMutex());
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd >= 0) {
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<std::uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                ::listen(fd, SOMAXCONN) != 0) {
                const int error = errno;
                ::close(fd);
                fd = -1;
                errno = error;
            }
        }
        if (fd < 0) {
            const std::string reason = std::strerror(errno);
            report("Can't listen on port " + std::to_string(port) + ": " + reason);
            return;
        }
        listening_ = true;
    }
    signalReady();
    serve(fd);
    ::close(fd);
    listening_ = false;
}

void LocalPortListener::serve(int listenFd) {
    const int wakeFd = wakeFd_;
    std::vector<Pending> pending;
    std::vector<Outgoing> outgoing;
    auto answer = [&outgoing](int fd, const Reply& reply) {
        if (outgoing.size() >= kMaxOutgoing) {
            ::close(outgoing.front().fd);
            outgoing.erase(outgoing.begin());
        }
        Outgoing out;
        out.fd = fd;
        out.bytes = formatReply(reply);
        out.deadline = Clock::now() + kSendTimeout;
        // Most answers fit the socket's buffer at once.
        if (advance(out, 0, Clock::now()))
            ::close(fd);
        else
            outgoing.push_back(std::move(out));
    };
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({wakeFd, POLLIN, 0});
        fds.push_back({listenFd, POLLIN, 0});
        for (auto& p : pending) fds.push_back({p.fd, POLLIN, 0});
        for (auto& o : outgoing) fds.push_back({o.fd, static_cast<short>(o.draining ? POLLIN : POLLOUT), 0});

        int timeoutMs = -1;
        const auto now = Clock::now();
        auto until = [&](Clock::time_point deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            const int ms = static_cast<int>(std::max<long long>(0, left)) + 1;
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        };
        for (auto& p : pending) until(p.deadline);
        for (auto& o : outgoing) until(o.deadline);
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents) break;  // stop

        // Answers in progress go on as far as their sockets take them.
        const std::size_t outBase = 2 + pending.size();
        std::vector<Outgoing> stillOut;
        for (std::size_t i = 0; i < outgoing.size(); ++i) {
            if (advance(outgoing[i], fds[outBase + i].revents, Clock::now()))
                ::close(outgoing[i].fd);
            else
                stillOut.push_back(std::move(outgoing[i]));
        }
        outgoing = std::move(stillOut);

        // Heads that are complete, too long, or out of time, in that order.
        std::vector<std::pair<int, Reply>> answers;
        std::vector<std::pair<int, std::string>> complete;
        std::vector<Pending> still;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            Pending& p = pending[i];
            const short revents = fds[i + 2].revents;
            bool gone = false;
            if (revents) {
                char buffer[8192];
                const ssize_t n = ::recv(p.fd, buffer, sizeof buffer, 0);
                if (n > 0) {
                    p.data.append(buffer, static_cast<std::size_t>(n));
                    p.lastActivity = Clock::now();
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    gone = true;  // disconnected before its request was whole
                }
            }
            if (gone) {
                ::close(p.fd);
                continue;
            }
            const std::size_t end = headEnd(p.data);
            const std::size_t lineEnd = p.data.find_first_of("\r\n");
            if (std::min(lineEnd, p.data.size()) > kMaxRequestLine)
                answers.emplace_back(p.fd, errorReply(414, "Request line too long."));
            else if (end != std::string::npos)
                complete.emplace_back(p.fd, p.data.substr(0, end));
            else if (p.data.size() > kMaxHead)
                answers.emplace_back(p.fd, errorReply(431, "Request header too long."));
            else if (Clock::now() >= p.deadline)
                answers.emplace_back(p.fd, errorReply(408, "Request timed out."));
            else
                still.push_back(std::move(p));
        }
        pending = std::move(still);
        for (auto& [fd, reply] : answers) answer(fd, reply);
        for (auto& [fd, head] : complete) answer(fd, processRequest(head));

        // Connections waiting in the backlog are taken a batch at a time, so
        // that one just taken is read before a crowd after it pushes it out.
        bool mainFrameGone = false;
        for (std::size_t taken = 0; taken < kAcceptBatch && (fds[1].revents & POLLIN); ++taken) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) break;  // none left, or a failure that the next round tries again
            const ListenerHooks hooks = listenerHooks();
            if (hooks.isMainFrameCreated && !hooks.isMainFrameCreated()) {
                ::close(fd);
                mainFrameGone = true;
                break;
            }
            if (pending.size() >= kMaxPending) {
                const auto idlest = std::min_element(
                    pending.begin(), pending.end(),
                    [](const Pending& a, const Pending& b) { return a.lastActivity < b.lastActivity; });
                ::close(idlest->fd);
                pending.erase(idlest);
            }
            const auto at = Clock::now();
            pending.push_back({fd, std::string(), at + kHeadTimeout, at});
        }
        if (mainFrameGone) break;
    }
    for (auto& p : pending) ::close(p.fd);
    for (auto& o : outgoing) ::close(o.fd);
}

Reply LocalPortListener::processRequest(const std::string& head) {
    try {
        return handleRequest(parseRequest(head));
    } catch (const RequestError& e) {
        return errorReply(e.status(), e.what());
    } catch (const std::exception& e) {
        return errorReply(500, e.what());
    }
}

// ---------------------------------------------------------------------------

std::string AppServerLocalPortListener::getName() const { return "Application Server"; }

Reply AppServerLocalPortListener::handleRequest(const Request& request) {
    const bool subscribe = equalsNoCase(request.path, "/subscribe");
    if (!subscribe && !equalsNoCase(request.path, "/readme"))
        throw RequestError(404, "Invalid request: " + request.path);
    std::string address;
    if (startsWithNoCase(request.query, "url=")) {
        // Whole: the address may carry its own unencoded "&" and "=".
        address = tools::urlDecode(request.query.substr(4));
    } else {
        std::map<std::string, std::string> params;
        tools::parseQueryString(request.query, params);
        const auto it = params.find("url");
        if (it == params.end())
            throw RequestError(400, "Invalid subscription request: can't find the channel address.");
        address = tools::urlDecode(it->second);
    }
    address = checkAddress(address);
    const ListenerHooks hooks = listenerHooks();
    if (!subscribe) {
        if (address.size() > kMaxReadMeAddressLength) {
            ORVAN_LOG_ANY() << getName() << ": refused a read-me address of " << address.size() << " bytes"
                            << std::endl;
            throw RequestError(414, "The address is too long for the read-me list (at most " +
                                        std::to_string(kMaxReadMeAddressLength) + " bytes).");
        }
        if (hooks.isReadMeListFull && hooks.isReadMeListFull()) {
            ORVAN_LOG_ANY() << getName() << ": the read-me list is full; refused " << address << std::endl;
            throw RequestError(507, "The read-me list is full (" + std::to_string(kMaxReadMeEntries) +
                                        " entries). Open or remove some entries first.");
        }
    }
    if (subscribe) {
        if (hooks.bringToFront) hooks.bringToFront();
        if (hooks.startNewChannelWizard) hooks.startNewChannelWizard(address);
    } else if (hooks.addToReadMeList) {
        hooks.addToReadMeList(address);
    }
    return requestAcknowledgement();
}

std::string AppPluginServerLocalPortListener::getName() const { return "Application Plugin Server"; }

Reply AppPluginServerLocalPortListener::handleRequest(const Request& request) {
    // Only the program's own pages: a page of another site that resolves its
    // name to 127.0.0.1 sends its own name.
    const std::string port = std::to_string(getPort());
    if (!equalsNoCase(request.host, "127.0.0.1:" + port) && !equalsNoCase(request.host, "localhost:" + port))
        throw RequestError(400, "Invalid host: " + request.host);
    // A page of another site may name this host too, but it has no token.
    if (request.token.size() != pluginServerToken().size() || request.token != pluginServerToken()) {
        ORVAN_LOG_ANY() << getName() << ": refused a request without the program's token: " << request.path
                        << std::endl;
        throw RequestError(403, "Forbidden: only the program's own pages may use this server.");
    }

    const std::string& path = request.path;
    const std::size_t slash = path.find('/', 1);
    if (path.empty() || path[0] != '/' || slash == std::string::npos || slash == 1 || slash + 1 == path.size())
        throw RequestError(400, "Invalid plugin channel address: " + path);
    const std::string id = path.substr(1, slash - 1);
    const std::string pluginRequest = path.substr(slash + 1);

    channels::AppPluginManager& manager = manager_ ? *manager_ : channels::getAppPluginManager();
    channels::AppPlugin* plugin = manager.findAppPlugin(id);
    if (!plugin) throw RequestError(404, "Unknown plugin: " + id);
    Reply reply;
    plugin->processRequest(pluginRequest, request.query, reply.body, nullptr);
    return reply;
}

Reply SubscriptionLocalPortListener::handleRequest(const Request& request) {
    std::map<std::string, std::string> params;
    tools::parseQueryString(request.query, params);
    const auto it = params.find(key_);
    if (it == params.end())
        throw RequestError(400, "Invalid subscription request: can't find the subscription address.");
    const std::string address = checkAddress(tools::urlDecode(it->second));
    const ListenerHooks hooks = listenerHooks();
    if (hooks.startNewChannelWizard) hooks.startNewChannelWizard(address);
    return requestAcknowledgement();
}

// ---------------------------------------------------------------------------

AppServerLocalPortListener& appServer() {
    static AppServerLocalPortListener listener(2604);
    return listener;
}
AppPluginServerLocalPortListener& appPluginServer() {
    static AppPluginServerLocalPortListener listener;
    return listener;
}
SubscriptionLocalPortListener& port8888Listener() {
    static SubscriptionLocalPortListener listener(8888, "Port 8888", "add_url");
    return listener;
}
SubscriptionLocalPortListener& port5335Listener() {
    static SubscriptionLocalPortListener listener(5335, "Port 5335", "url");
    return listener;
}
SubscriptionLocalPortListener& port8900Listener() {
    static SubscriptionLocalPortListener listener(8900, "Port 8900", "url");
    return listener;
}

void enableLocalPortListeners(bool stopAll) {
    const GlobalOptions& options = GlobalOptions::instance();
    const int pluginPort = options.AppPluginServerPortNo;
    channels::getAppPluginManager().setServerPorts(static_cast<int>(appServer().getPort()), pluginPort);

    if (stopAll) {
        appPluginServer().stop();
    } else {
        appPluginServer().setPort(static_cast<unsigned>(pluginPort));
        appPluginServer().start();
    }
    if (stopAll)
        appServer().stop();
    else
        appServer().start();

    const std::pair<SubscriptionLocalPortListener*, bool> subscriptions[] = {
        {&port8888Listener(), options.ListenForPort8888Subscriptions},
        {&port5335Listener(), options.ListenForPort5335Subscriptions},
        {&port8900Listener(), options.ListenForPort8900Subscriptions},
    };
    for (const auto& [listener, on] : subscriptions) {
        if (!stopAll && on)
            listener->start();
        else
            listener->stop();
    }
}

}  // namespace listeners
