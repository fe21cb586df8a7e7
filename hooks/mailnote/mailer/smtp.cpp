// The SMTP dialogue and the connection layer under it: POSIX stream sockets
// in non-blocking mode, where every wait (connect, each wait for a socket
// to become writable, each whole reply) is bounded by the run's time-out.
// A reply is also bounded in size, so that a server that never stops
// sending costs neither unbounded memory nor unbounded time.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "hooks/mailnote/mailer/message.h"
#include "hooks/mailnote/mailer/runState.h"

namespace mailer {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTryInterval = 15;  // seconds between tries

// Reply bounds. A reply line is at most 512 octets (RFC 5321); some room is
// left for servers that exceed it. A multi-line reply (EHLO) stays far below
// the bound on the whole reply.
constexpr std::size_t kMaxReplyLine = 4096;
constexpr std::size_t kMaxReply = 64 * 1024;
// How much of a reply a debug run logs.
constexpr std::size_t kMaxLoggedReply = 1024;

struct ErrorText {
    int code;
    const char* text;
};

const ErrorText kErrorTexts[] = {
    {4001, "Error: Malloc failed (possibly out of memory)."},
    {4002, "Error: Error sending data."},
    {4003, "Error: Error initializing gensock.dll."},
    {4004, "Error: Version not supported."},
    {4005, "Error: The winsock version specified by gensock is not supported by this winsock.dll."},
    {4006, "Error: Network not ready."},
    {4007, "Error: Can't resolve (mailserver) hostname."},
    {4008, "Error: Can't create a socket (too many simultaneous links?)"},
    {4009, "Error: Error reading socket."},
    {4010, "Error: Not a socket."},
    {4011, "Error: Busy."},
    {4012, "Error: Error closing socket."},
    {4013, "Error: Wait a bit (possible timeout)."},
    {4014, "Error: Can't resolve service."},
    {4015, "Error: Can't connect to mailserver (timed out if winsock.dll error 10060)"},
    {4016, "Error: Connection to mailserver was dropped."},
    {4017, "Error: Mail server refused connection."},
};

void reportError(int code, const char* function) {
    for (const ErrorText& e : kErrorTexts) {
        if (e.code == code) {
            logf("%s\n", e.text);
            return;
        }
    }
    logf("error %d in function '%s'\n", code, function);
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// poll() for one descriptor, restarted after signals, up to the deadline;
// a cancelled run waits no longer (0, as after a time-out).
int waitFor(int fd, short events, Clock::time_point deadline) {
    constexpr int kSliceMs = 100;
    for (;;) {
        if (mailerCancelled()) return 0;
        const int left = millisecondsLeft(deadline);
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, std::min(left, kSliceMs));
        if (r < 0 && errno == EINTR) continue;
        if (r == 0 && left > kSliceMs) continue;
        return r;
    }
}

bool isDroppedError(int err) {
    return err == ENETDOWN || err == ENETUNREACH || err == ENETRESET || err == ECONNABORTED || err == ECONNRESET ||
           err == ENOTCONN || err == EPIPE;
}

class Connection {
public:
    explicit Connection(int timeoutSeconds) : timeout_(std::chrono::seconds(timeoutSeconds < 0 ? 0 : timeoutSeconds)) {}
    ~Connection() {
        if (fd_ >= 0) ::close(fd_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Clock::time_point deadline() const { return Clock::now() + timeout_; }

    int connect(const std::string& serverText, const std::string& portText) {
        std::string host = serverText;
        std::string port = portText;
        const std::string::size_type colon = host.find(':');
        if (colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.erase(colon);
        }
        int rc = connectService(host, port.empty() ? "smtp" : port);
        if (rc == 4014) rc = connectService(host, port.empty() ? "25" : port);
        return rc;
    }

    // The next received byte; with `poll` only what has arrived already.
    // Past the deadline no more is received, even while data keeps coming.
    int getChar(bool poll, Clock::time_point until, char& c) {
        if (fd_ < 0) return 4010;
        if (readPos_ >= readLength_) {
            if (!poll && Clock::now() >= until) return 4013;
            const int r = waitFor(fd_, POLLIN, poll ? Clock::now() : until);
            if (r == 0) return 4013;
            if (r < 0) logf("connection::get_buffer() unexpected error from select: %d\n", errno);
            const ssize_t n = ::recv(fd_, readBuffer_, sizeof readBuffer_, 0);
            if (n == 0) return 4016;
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK) return 4013;
                if (isDroppedError(errno)) return 4016;
                logf("connection::get_buffer() unexpected error: %d\n", errno);
                return 4009;
            }
            readLength_ = static_cast<std::size_t>(n);
            readPos_ = 0;
        }
        c = readBuffer_[readPos_++];
        return 0;
    }

    // Sends everything; each wait for the socket to take more is bounded by
    // the time-out.
    int putData(const char* data, std::size_t length) {
        if (fd_ < 0) return 4010;
        while (length > 0) {
            const int r = waitFor(fd_, POLLOUT, deadline());
            if (r == 0) return 4013;
            if (r < 0) logf("connection::put_data() unexpected error from select: %d\n", errno);
            const ssize_t n = ::send(fd_, data, std::min<std::size_t>(length, 1024), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINPROGRESS || errno == EINTR) continue;
                if (isDroppedError(errno)) return 4016;
                logf("connection::put_data() unexpected error from send(): %d\n", errno);
                return 4002;
            }
            data += n;
            length -= static_cast<std::size_t>(n);
        }
        return 0;
    }

    int close() {
        if (fd_ < 0) return 4010;
        const int r = ::close(fd_);
        fd_ = -1;
        return r == 0 ? 0 : 4012;
    }

private:
    int connectService(const std::string& host, const std::string& service) {
        int port = 0;
        if (!service.empty() && service.find_first_not_of("0123456789") == std::string::npos) {
            port = service.size() <= 5 ? std::atoi(service.c_str()) : 0;
            if (port <= 0 || port > 65535) return 4014;
        } else {
            const servent* entry = service.empty() ? nullptr : ::getservbyname(service.c_str(), "tcp");
            if (entry == nullptr) return 4014;
            port = ntohs(static_cast<uint16_t>(entry->s_port));
        }

        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr)
            return 4007;
        int rc = 4015;
        for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
            const int fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                rc = 4008;
                continue;
            }
            linger noLinger{0, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            int err = 0;
            if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
                err = errno;
                if (err == EINPROGRESS) {
                    const int r = waitFor(fd, POLLOUT, deadline());
                    socklen_t len = sizeof err;
                    if (r == 0)
                        err = ETIMEDOUT;
                    else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                        err = errno;
                }
            }
            if (err == 0) {
                fd_ = fd;
                rc = 0;
                break;
            }
            ::close(fd);
            if (err == ECONNREFUSED) {
                rc = 4017;
            } else {
                logf("unexpected error %d from winsock\n", err);
                rc = 4015;
            }
        }
        ::freeaddrinfo(found);
        return rc;
    }

    std::chrono::seconds timeout_;
    int fd_ = -1;
    char readBuffer_[512];
    std::size_t readLength_ = 0;
    std::size_t readPos_ = 0;
};

// The address inside angle brackets, or the whole text.
std::string bracketedAddress(const std::string& text) {
    const std::string::size_type open = text.find('<');
    if (open == std::string::npos) return text;
    const std::string::size_type close = text.find('>', open + 1);
    return text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

// Envelope recipients: entries are separated by commas and line breaks
// (not inside double quotes); an entry with an address in angle brackets
// gives that address, any other entry is cut at blanks and tabs.
std::vector<std::string> envelopeRecipients(const std::string& list) {
    std::vector<std::string> entries;
    std::string current;
    bool quoted = false;
    for (char c : list) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ',' || c == '\n' || c == '\r')) {
            entries.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    entries.push_back(current);

    std::vector<std::string> addresses;
    for (const std::string& entry : entries) {
        if (entry.find('<') != std::string::npos) {
            addresses.push_back(bracketedAddress(entry));
            continue;
        }
        std::string word;
        for (char c : entry + " ") {
            if (c == ' ' || c == '\t') {
                if (!word.empty()) addresses.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
    }
    return addresses;
}

int parseTries(const std::string& text) {
    if (strcasecmp(text.c_str(), "ONCE") == 0) return 1;
    if (strcasecmp(text.c_str(), "TWICE") == 0) return 2;
    if (strcasecmp(text.c_str(), "THRICE") == 0) return 3;
    if (strcasecmp(text.c_str(), "INFINITE") == 0) return -1;
    const int n = std::atoi(text.c_str());
    return n > 0 ? n : 1;
}

class Session {
public:
    explicit Session(const RunState& state) : state_(state), connection_(state.timeoutSeconds) {}

    int openAndHandshake() {
        const int rc = connection_.connect(state_.server, state_.port);
        if (rc != 0) {
            reportError(rc, "gensock_connect");
            return -1;
        }
        if (readReply() != 220) return quit("SMTP server error", -1);

        std::string host = state_.hostname;
        if (host.empty()) {
            char name[1025] = {0};
            if (::gethostname(name, sizeof name - 1) == 0)
                host = name;
            else
                reportError(errno, "gensock_gethostname");
            if (host.empty()) host = "localhost";
        }
        if (command("EHLO " + host + "\r\n") != 250) {
            if (broken_ || command("HELO " + host + "\r\n") != 250) return quit("SMTP server error", -1);
        }

        if (state_.authPlain) {
            const std::string credentials = std::string(1, '\0') + state_.user + '\0' + state_.password;
            if (command("AUTH PLAIN " + encodeBase64Line(credentials) + "\r\n", "AUTH PLAIN ****") != 235)
                return quit("The mail server did not accept Auth PLAIN value", refused());
        } else if (!state_.user.empty()) {
            // The server asks for the name, then for the password.
            if (command("AUTH LOGIN\r\n") != 334)
                return quit("The mail server doesn't require AUTH LOGIN\nAre you sure server supports AUTH?",
                            refused());
            if (command(encodeBase64Line(state_.user) + "\r\n", "****") != 334)
                return quit("The mail server did not accept LOGIN name", refused());
            if (command(encodeBase64Line(state_.password) + "\r\n", "****") != 235)
                return quit("The mail server did not accept Auth LOGIN PASSWD value", refused());
        }

        if (command("MAIL From:<" + bracketedAddress(state_.mailFrom) + ">\r\n") != 250)
            return quit("The mail server doesn't like the sender name,\nhave you set your mail address correctly?",
                        refused());

        std::string envelope = state_.to;
        for (const std::string* list : {&state_.cc, &state_.bcc})
            if (!list->empty()) envelope += (envelope.empty() ? "" : ",") + *list;
        for (const std::string& address : envelopeRecipients(envelope)) {
            const int reply = command("RCPT To: <" + address + ">\r\n");
            if (reply != 250 && reply != 251)
                return quit(
                    ("The mail server doesn't like the name " + address + ".\nHave you set the 'To: ' field correctly?")
                        .c_str(),
                    -1);
        }
        if (command("DATA\r\n") != 354) return quit("Mail server error accepting message data", -1);
        return 0;
    }

    // The message with CRLF line ends, dot-stuffed, ended by CRLF "." CRLF.
    int sendText(const std::string& message) {
        std::string out;
        out.reserve(message.size() + message.size() / 32 + 8);
        bool lineStart = true;
        for (std::size_t i = 0; i < message.size(); ++i) {
            const char c = message[i];
            if (c == '\r') {
                std::size_t j = i;
                while (j < message.size() && message[j] == '\r') ++j;
                if (j < message.size() && message[j] == '\n') i = j;  // CR... LF is one line end
                out += "\r\n";
                lineStart = true;
            } else if (c == '\n') {
                out += "\r\n";
                lineStart = true;
            } else {
                if (lineStart && c == '.') out += '.';
                out += c;
                lineStart = false;
            }
        }
        if (!lineStart) out += "\r\n";
        out += ".\r\n";
        if (state_.debug) logf(">>>putline>>> %s\n", out.c_str());
        const int rc = connection_.putData(out.data(), out.size());
        if (rc != 0) {
            reportError(rc, "gensock_put_data");
            broken_ = true;
            return -1;
        }
        if (readReply() != 250) return quit("Message not accepted by server", -1);
        return 0;
    }

    void quitAndClose() {
        if (command("QUIT\r\n") >= 0) close();
    }

private:
    // -2 for a refusal; -1 (may be tried again) when the connection failed.
    int refused() const { return broken_ ? -1 : -2; }

    void close() {
        const int rc = connection_.close();
        if (rc != 0 && rc != 4010) reportError(rc, "gensock_close");
    }

    // The reply code, or -1 when the connection failed (time-out, dropped)
    // or the reply is longer than the bounds allow.
    int readReply() {
        if (broken_) return -1;
        const Clock::time_point until = connection_.deadline();
        std::string text;
        std::string line;
        char c = 0;
        bool tooLong = false;
        for (;;) {
            const int rc = connection_.getChar(false, until, c);
            if (rc != 0) {
                if (!text.empty() || !line.empty()) logReply(text + line);
                reportError(rc, "gensock_getchar");
                broken_ = true;
                return -1;
            }
            line += c;
            if (line.size() > kMaxReplyLine || text.size() + line.size() > kMaxReply) {
                tooLong = true;
                break;
            }
            if (c != '\n') continue;
            text += line;
            const bool more = line.size() >= 4 && line[3] == '-';
            line.clear();
            if (more) continue;
            // Whatever has arrived already belongs to this reply.
            if (connection_.getChar(true, until, c) != 0) break;
            line += c;
            if (c == '\n') {
                text += line;
                break;
            }
        }
        if (tooLong) {
            logReply(text + line);
            logf("Error: The mail server's reply is too long.\n");
            broken_ = true;
            return -1;
        }
        logReply(text);
        return std::atoi(text.c_str());
    }

    // With debug on, the reply as received; a long one only in part.
    void logReply(const std::string& text) const {
        if (!state_.debug) return;
        if (text.size() <= kMaxLoggedReply)
            logf("<<<getline<<< %s\n", text.c_str());
        else
            logf("<<<getline<<< %s... (%zu bytes)\n", text.substr(0, kMaxLoggedReply).c_str(), text.size());
    }

    // Sends one command line and reads the reply: the code, or -1.
    int command(const std::string& line, const char* shownAs = nullptr) {
        if (broken_) return -1;
        if (state_.debug) {
            const std::string shown = shownAs != nullptr ? std::string(shownAs) : line.substr(0, line.size() - 2);
            logf(">>>putline>>> %s\n", shown.c_str());
        }
        const int rc = connection_.putData(line.data(), line.size());
        if (rc != 0) {
            reportError(rc, "gensock_put_data");
            broken_ = true;
            return -1;
        }
        return readReply();
    }

    // Logs the message and says goodbye, unless the connection is gone (no
    // second wait for a server that does not answer).
    int quit(const char* message, int result) {
        logf("%s\n", message);
        if (!broken_) command("QUIT\r\n");
        return result;
    }

    const RunState& state_;
    Connection connection_;
    bool broken_ = false;
};

}  // namespace

int sendWithRetries(const RunState& state, const std::string& message) {
    const int tries = parseTries(state.tryText);
    int result = -1;
    for (int n = 1; tries < 0 || n <= tries; ++n) {
        if (tries > 1) logf("\nTry number %d of %d.\n", n, tries);
        if (n > 1) {
            const Clock::time_point next = Clock::now() + std::chrono::seconds(kTryInterval);
            while (!mailerCancelled() && Clock::now() < next)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (mailerCancelled()) break;
        Session session(state);
        result = session.openAndHandshake();
        if (result == 0) {
            result = session.sendText(message);
            if (result == 0) {
                session.quitAndClose();
                return 0;
            }
        }
        if (result == -2) break;
    }
    return result;
}

}  // namespace mailer
