#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/programObjects.h"
#include "app/listeners/localPortListener.h"
#include "app/misc/readMeLimits.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/plugin/scriptingEngine.h"
#include "tests/support/test_support.h"

using namespace listeners;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// A port nobody listens on now.
unsigned freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

int connectTo(unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return fd;
}

void sendText(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

// True when the socket has something to read (or was closed) within ms.
bool readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

// Everything the server sends until it closes (bounded by 10 s of silence).
std::string readAll(int fd) {
    std::string out;
    char buffer[4096];
    while (readable(fd, 10000)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::string roundTrip(unsigned port, const std::string& request) {
    const int fd = connectTo(port);
    sendText(fd, request);
    std::string answer = readAll(fd);
    ::close(fd);
    return answer;
}

struct Answer {
    int status = 0;
    std::string head;
    std::string body;
};

// Splits an answer and checks that it is a well-formed, closed HTTP/1.1 answer.
Answer parse(const std::string& raw) {
    Answer a;
    const std::size_t end = raw.find("\r\n\r\n");
    EXPECT_NE(end, std::string::npos) << raw;
    if (end == std::string::npos) return a;
    a.head = raw.substr(0, end + 2);
    a.body = raw.substr(end + 4);
    EXPECT_THAT(a.head, StartsWith("HTTP/1.1 "));
    a.status = std::atoi(a.head.c_str() + 9);
    if (a.status == 204) {
        // The acknowledgement: no body, so no length and no type.
        EXPECT_EQ(a.head.find("Content-"), std::string::npos) << a.head;
        EXPECT_EQ(a.body, "");
    } else {
        EXPECT_THAT(a.head, HasSubstr("\r\nContent-Type: text/html\r\n"));
        EXPECT_THAT(a.head, HasSubstr("\r\nContent-Length: " + std::to_string(a.body.size()) + "\r\n"));
    }
    EXPECT_THAT(a.head, HasSubstr("\r\nConnection: close\r\n"));
    return a;
}

// Records what the listeners hand to the desktop.
class ListenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ListenerHooks hooks;
        hooks.startNewChannelWizard = [this](const std::string& a) { record("wizard " + a); };
        hooks.addToReadMeList = [this](const std::string& a) { record("readme " + a); };
        hooks.bringToFront = [this] { record("front"); };
        hooks.reportError = [this](const std::string& title, const std::string& text) {
            record("error " + title + ": " + text);
        };
        hooks.appName = "Orvan";
        setListenerHooks(hooks);
    }
    void TearDown() override { resetProgramObjectsForTests(); }

    void record(const std::string& what) {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.push_back(what);
    }
    void clearEvents() {
        std::lock_guard<std::mutex> guard(mutex_);
        events_.clear();
    }
    std::vector<std::string> events() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }

    std::mutex mutex_;
    std::vector<std::string> events_;
};

TEST_F(ListenerTest, ApplicationServerHandsOnAddressesAndRefusesTheRest) {
    AppServerLocalPortListener server(freePort());
    server.start();
    ASSERT_TRUE(server.isListening());

    struct Case {
        std::string requestLine;
        int status;
        std::vector<std::string> events;
        std::string bodyText;
    };
    const std::vector<Case> cases = {
        // The whole rest of the query, "?", "&" and "=" included.
        {"GET /subscribe?url=http://a.example/f?x=1&y=2 HTTP/1.1",
         204,
         {"front", "wizard http://a.example/f?x=1&y=2"},
         ""},
        {"get /SUBSCRIBE?URL=http%3A%2F%2Fb.example%2Ffeed HTTP/1.1",
         204,
         {"front", "wizard http://b.example/feed"},
         ""},
        // Not first: only that pair, decoded.
        {"GET /subscribe?x=1&url=http%3A%2F%2Fc.example%2F%3Fa%3Db&y=2 HTTP/1.1",
         204,
         {"front", "wizard http://c.example/?a=b"},
         ""},
        {"GET /readme?url=https://d.example/page+1 HTTP/1.1", 204, {"readme https://d.example/page+1"}, ""},
        {"GET /subscribe?url=feed://e.example/rss HTTP/1.1", 204, {"front", "wizard http://e.example/rss"}, ""},
        {"GET /subscribe?url=feed:https://f.example/rss HTTP/1.1", 204, {"front", "wizard https://f.example/rss"}, ""},
        {"GET /subscribe HTTP/1.1", 400, {}, "Invalid subscription request: can&#39;t find the channel address."},
        {"GET /readme?x=1 HTTP/1.1", 400, {}, "Invalid subscription request: can&#39;t find the channel address."},
        {"GET /other?url=http://g.example/ HTTP/1.1", 404, {}, "Invalid request: /other"},
        {"POST /subscribe?url=http://g.example/ HTTP/1.1", 405, {}, "Invalid request type: POST"},
        {"GET /subscribe?url=javascript:alert(1) HTTP/1.1", 400, {}, "Unsupported address: javascript:alert(1)"},
        {"GET /readme?url=file:///etc/passwd HTTP/1.1", 400, {}, "Unsupported address: file:///etc/passwd"},
        {"GET /readme?url=http://h.example/%0D%0Ax HTTP/1.1", 400, {}, "Unsupported address: "},
        {"GET /subscribe?url=http:// HTTP/1.1", 400, {}, "Unsupported address: http://"},
        // Error texts are escaped.
        {"GET /<script>alert('x')</script> HTTP/1.1",
         404,
         {},
         "Invalid request: /&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"G<b>T / HTTP/1.1", 405, {}, "Invalid request type: G&lt;b&gt;T"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requestLine);
        clearEvents();
        const Answer a = parse(roundTrip(server.getPort(), c.requestLine + "\r\nHost: 127.0.0.1\r\n\r\n"));
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(events(), c.events);
        EXPECT_THAT(a.body, HasSubstr(c.bodyText));
        EXPECT_THAT(a.body, Not(HasSubstr("<script>")));
        EXPECT_THAT(a.body, Not(HasSubstr("<b>")));
        if (c.status != 204) {
            EXPECT_THAT(a.body, HasSubstr("<P>An error has occured:"));
        }
    }
}

TEST_F(ListenerTest, ReadMeRequestsAreBounded) {
    bool full = false;
    ListenerHooks hooks = listenerHooks();
    hooks.isReadMeListFull = [&full] { return full; };
    setListenerHooks(hooks);
    AppServerLocalPortListener server(freePort());
    server.start();
    const std::string longest = "http://a.example/" + std::string(kMaxReadMeAddressLength - 17, 'a');
    struct Case {
        std::string address;
        bool full;
        int status;
        std::string bodyText;
    };
    const std::vector<Case> cases = {
        {longest, false, 204, ""},
        {longest + "a", false, 414, "The address is too long for the read-me list (at most 2048 bytes)."},
        {"http://b.example/", true, 507, "The read-me list is full (1000 entries)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        clearEvents();
        full = c.full;
        const Answer a = parse(roundTrip(server.getPort(), "GET /readme?url=" + c.address + " HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(a.status, c.status);
        EXPECT_THAT(a.body, HasSubstr(c.bodyText));
        EXPECT_EQ(events(),
                  c.status == 204 ? std::vector<std::string>{"readme " + c.address} : std::vector<std::string>{});
    }
    // Subscriptions do not depend on the read-me list.
    clearEvents();
    EXPECT_EQ(parse(roundTrip(server.getPort(), "GET /subscribe?url=http://c.example/ HTTP/1.1\r\n\r\n")).status, 204);
    server.stop();
}

TEST_F(ListenerTest, SubscriptionListenersReadTheirOwnKey) {
    SubscriptionLocalPortListener port8888(freePort(), "Port 8888", "add_url");
    SubscriptionLocalPortListener port5335(freePort(), "Port 5335", "url");
    port8888.start();
    port5335.start();
    struct Case {
        LocalPortListener* listener;
        std::string requestLine;
        int status;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {&port8888,
         "GET /any/path?add_url=http%3A%2F%2Fa.example%2Frss HTTP/1.0",
         204,
         {"wizard http://a.example/rss"}},
        {&port8888, "GET /?url=http://a.example/rss HTTP/1.0", 400, {}},
        {&port5335, "GET /x?url=http://b.example/rss&y=1 HTTP/1.0", 204, {"wizard http://b.example/rss"}},
        {&port5335, "GET /x?add_url=http://b.example/rss HTTP/1.0", 400, {}},
        {&port5335, "GET /x?url=javascript:void(0) HTTP/1.0", 400, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requestLine);
        clearEvents();
        const Answer a = parse(roundTrip(c.listener->getPort(), c.requestLine + "\r\n\r\n"));
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(events(), c.events);
        if (c.status == 400 && c.requestLine.find("javascript") == std::string::npos) {
            EXPECT_THAT(a.body, HasSubstr("Invalid subscription request: can&#39;t find the subscription address."));
        }
    }
}

TEST_F(ListenerTest, AwkwardClientsGetAnAnswerAndHoldUpNobody) {
    AppServerLocalPortListener server(freePort());
    server.start();
    const unsigned port = server.getPort();

    // An idle client and one that leaves early do not keep the next waiting.
    const int idle = connectTo(port);
    const int early = connectTo(port);
    sendText(early, "GET /subscribe?url=http://gone.example/ HT");
    ::close(early);
    {
        const Answer a = parse(roundTrip(port, "GET /subscribe?url=http://next.example/ HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(a.status, 204);
        EXPECT_EQ(events(), (std::vector<std::string>{"front", "wizard http://next.example/"}));
        EXPECT_FALSE(readable(idle, 0));  // still waiting, unanswered
    }

    // A request split across sends is read whole.
    {
        clearEvents();
        const int fd = connectTo(port);
        sendText(fd, "GET /readme?url=http://split.exa");
        EXPECT_FALSE(readable(fd, 200));
        sendText(fd, "mple/ HTTP/1.1\r\nHost: 127.0.0.1\r\n");
        EXPECT_FALSE(readable(fd, 200));
        sendText(fd, "\r\n");
        EXPECT_EQ(parse(readAll(fd)).status, 204);
        ::close(fd);
        EXPECT_EQ(events(), (std::vector<std::string>{"readme http://split.example/"}));
    }

    // Large cookies are fine; a request line past 8 KB is refused with a
    // complete answer (not a reset).
    {
        clearEvents();
        const std::string cookies = "Cookie: c=" + std::string(12 * 1024, 'x') + "\r\n";
        EXPECT_EQ(
            parse(roundTrip(port, "GET /subscribe?url=http://big.example/ HTTP/1.1\r\n" + cookies + "\r\n")).status,
            204);
        EXPECT_EQ(events(), (std::vector<std::string>{"front", "wizard http://big.example/"}));

        clearEvents();
        const Answer a = parse(roundTrip(
            port, "GET /subscribe?url=http://x.example/" + std::string(20 * 1024, 'a') + " HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(a.status, 414);
        EXPECT_THAT(a.body, HasSubstr("Request line too long."));
        EXPECT_TRUE(events().empty());
    }

    // The idle client is answered once its time is up.
    const Answer timedOut = parse(readAll(idle));
    EXPECT_EQ(timedOut.status, 408);
    ::close(idle);
}

TEST_F(ListenerTest, CrowdOfIdleAndNonReadingClientsDoesNotShutOutARequest) {
    AppServerLocalPortListener server(freePort());
    server.start();
    const unsigned port = server.getPort();

    // Half-requests that never finish, then clients that send a request (and
    // more) but neither read the answer nor close.
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        idle.push_back(connectTo(port));
        sendText(idle.back(), "GET /subscribe?url=http://idle.example/");
    }
    std::vector<int> lingering;
    for (int i = 0; i < 40; ++i) {
        lingering.push_back(connectTo(port));
        sendText(lingering.back(),
                 "GET /readme?url=http://linger.example/ HTTP/1.1\r\n\r\n" + std::string(64 * 1024, 'z'));
    }

    // Answered while all of them are still connected (readAll waits at most
    // 10 s of silence; with the old one-at-a-time loop this took over 30 s).
    const Answer a = parse(roundTrip(port, "GET /subscribe?url=http://good.example/ HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(a.status, 204);
    const std::vector<std::string> seen = events();
    EXPECT_NE(std::find(seen.begin(), seen.end(), "wizard http://good.example/"), seen.end());

    // The least recently active half-requests made room: closed unanswered.
    EXPECT_TRUE(readable(idle.front(), 5000));
    char c;
    EXPECT_EQ(::recv(idle.front(), &c, 1, 0), 0);
    for (int fd : idle) ::close(fd);
    for (int fd : lingering) ::close(fd);
}

TEST_F(ListenerTest, PortInUseIsReportedAndStopEndsOpenConnections) {
    const unsigned port = freePort();
    {
        const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::listen(taken, 1), 0);

        AppServerLocalPortListener server(port);
        server.start();
        EXPECT_FALSE(server.isListening());
        EXPECT_EQ(events(), (std::vector<std::string>{"error Application Server error: Can't listen on port " +
                                                      std::to_string(port) + ": Address already in use"}));
        // Ended by itself: start does nothing until stop has cleared it.
        server.start();
        EXPECT_EQ(events().size(), 1u);
        server.stop();
        ::close(taken);
    }

    clearEvents();
    AppServerLocalPortListener server(port);
    server.start();
    ASSERT_TRUE(server.isListening());
    const int connected = connectTo(port);
    sendText(connected, "GET /subscribe?url=http://half.example/");
    server.stop();  // returns although the client never finishes
    EXPECT_FALSE(server.isStarted());
    EXPECT_TRUE(readable(connected, 0));
    char c;
    EXPECT_LE(::recv(connected, &c, 1, 0), 0);
    ::close(connected);
    EXPECT_TRUE(events().empty());

    // The port is free again at once.
    server.start();
    EXPECT_TRUE(server.isListening());
    EXPECT_EQ(parse(roundTrip(port, "GET /readme?url=http://again.example/ HTTP/1.1\r\n\r\n")).status, 204);
    EXPECT_EQ(events(), (std::vector<std::string>{"readme http://again.example/"}));
}

TEST_F(ListenerTest, MainWindowGoneEndsTheListener) {
    ListenerHooks hooks = listenerHooks();
    hooks.isMainFrameCreated = [] { return false; };
    setListenerHooks(hooks);
    AppServerLocalPortListener server(freePort());
    server.start();
    EXPECT_EQ(roundTrip(server.getPort(), "GET /subscribe?url=http://x.example/ HTTP/1.1\r\n\r\n"), "");
    EXPECT_TRUE(events().empty());
}

// An echoing script plug-in served by its own manager.
class PluginServerTest : public ListenerTest {
protected:
    void SetUp() override {
        ListenerTest::SetUp();
        ::setenv("TMP", dir_.str().c_str(), 1);
        channels::setFileTypeCommands({{".py", "python3 %1 %*"}});
        channels::getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
        std::filesystem::copy_file(testsupport::sourceDir() + "/appplugins/data/echo_request.py",
                                   dir_.path() / "echo.py");
        testsupport::writeFile(dir_.file("echo.plugin"), "[Config]\nAppPluginId=Echo\nPlugin=echo.py\n");
        manager_.setAppPluginDir(dir_.str());
        manager_.loadAppPlugins();
        ASSERT_NE(manager_.findAppPlugin("echo"), nullptr);
    }
    void TearDown() override {
        ::unsetenv("TMP");
        ListenerTest::TearDown();
    }

    testsupport::TempDir dir_;
    channels::AppPluginManager manager_;
};

TEST_F(PluginServerTest, ServesPluginPagesToItsOwnHostOnly) {
    const unsigned port = freePort();
    AppPluginServerLocalPortListener server(port, &manager_);
    server.start();
    const std::string token = std::string(kPluginServerTokenHeader) + ": " + pluginServerToken() + "\r\n";
    const std::string ownHost = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const std::string own = ownHost + token;
    struct Case {
        std::string requestLine;
        std::string host;
        int status;
        std::string bodyText;
    };
    const std::vector<Case> cases = {
        {"GET /echo/items?a=1&b=%41 HTTP/1.1", own, 200, "System.PluginRequest=items\n"},
        {"GET /ECHO/items?a=1&b=%41 HTTP/1.1", token + "Host: LOCALHOST:" + std::to_string(port) + "\r\n", 200,
         "System.ParamString=a=1&b=%41\n"},
        {"GET /echo HTTP/1.1", own, 400, "Invalid plugin channel address: /echo"},
        {"GET /echo/ HTTP/1.1", own, 400, "Invalid plugin channel address: /echo/"},
        {"GET //items HTTP/1.1", own, 400, "Invalid plugin channel address: //items"},
        {"GET /nosuch/items HTTP/1.1", own, 404, "Unknown plugin: nosuch"},
        {"GET /echo/items HTTP/1.1", "Host: attacker.example:" + std::to_string(port) + "\r\n", 400,
         "Invalid host: attacker.example:"},
        {"GET /echo/items HTTP/1.1", "Host: 127.0.0.1:" + std::to_string(port + 1) + "\r\n", 400, "Invalid host: "},
        {"GET /echo/items HTTP/1.1", "", 400, "Invalid host: "},
        // A page of another site: the right host, but no token or a wrong one.
        {"GET /echo/items?a=1 HTTP/1.1", ownHost + "Origin: http://attacker.example\r\n", 403, "Forbidden"},
        {"GET /echo/items HTTP/1.1", ownHost + std::string(kPluginServerTokenHeader) + ": 0123\r\n", 403, "Forbidden"},
        {"GET /echo/items HTTP/1.1", ownHost + std::string(kPluginServerTokenHeader) + ":\r\n", 403, "Forbidden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requestLine + " " + c.host);
        const Answer a = parse(roundTrip(port, c.requestLine + "\r\n" + c.host + "\r\n"));
        EXPECT_EQ(a.status, c.status);
        EXPECT_THAT(a.body, HasSubstr(c.bodyText));
        if (c.status != 200) {
            EXPECT_THAT(a.body, Not(HasSubstr("System.PluginRequest")));
        }
    }
    EXPECT_TRUE(events().empty());
}

}  // namespace
