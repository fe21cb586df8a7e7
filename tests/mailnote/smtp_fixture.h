#pragma once
// A real SMTP server for the mailer tests: tests/mailnote/smtp_server.py
// (aiosmtpd) as a child process on a free loopback port, and the messages
// it accepted, read back from its folder.
//
//   mailtest::SmtpServer server;                       // answers normally
//   mailtest::SmtpServer auth(SmtpServerOptions::withAuth("u", "p"));   // AUTH required
//   mailtest::SmtpServer dead(SmtpServerOptions::stalling());  // accepts, never answers
//   mailtest::SmtpServer flood(SmtpServerOptions::hostile("flood"));  // never stops sending
//   runMailerCommandLine("... -server " + server.address() + " ...");
//   auto messages = server.messages();
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

extern char** environ;

namespace mailtest {

struct SmtpMessage {
    std::string mailFrom;
    std::vector<std::string> recipients;
    std::string auth;  // "<mechanism> <login>", "" without AUTH
    std::string text;  // as received: headers, blank line, body (CRLF line ends)

    // Value of the first header of that name (unfolded, without CRLF).
    std::string header(const std::string& name) const {
        const std::string head = text.substr(0, text.find("\r\n\r\n") + 2);
        std::string::size_type pos = 0;
        while (pos < head.size()) {
            std::string::size_type end = head.find("\r\n", pos);
            if (end == std::string::npos) end = head.size();
            const std::string line = head.substr(pos, end - pos);
            if (line.size() > name.size() && line[name.size()] == ':' &&
                strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
                std::string value = line.substr(name.size() + 1);
                // Continuation lines belong to the value.
                while (end + 2 < head.size() && (head[end + 2] == ' ' || head[end + 2] == '\t')) {
                    const std::string::size_type next = head.find("\r\n", end + 2);
                    value += "\r\n" + head.substr(end + 2, next - end - 2);
                    end = next;
                }
                return value.substr(value.find_first_not_of(' '));
            }
            pos = end + 2;
        }
        return "";
    }
    std::string body() const {
        const std::string::size_type blank = text.find("\r\n\r\n");
        return blank == std::string::npos ? "" : text.substr(blank + 4);
    }
};

struct SmtpServerOptions {
    std::string mode = "smtp";
    std::string user;  // non-empty: AUTH required with this user and password
    std::string password;
    bool noLogin = false;  // refuse AUTH LOGIN

    static SmtpServerOptions stalling() { return hostile("stall"); }
    // "flood", "endless-line" or "drip" (see smtp_server.py).
    static SmtpServerOptions hostile(const std::string& mode) {
        SmtpServerOptions o;
        o.mode = mode;
        return o;
    }
    static SmtpServerOptions withAuth(const std::string& user, const std::string& password, bool noLogin = false) {
        SmtpServerOptions o;
        o.user = user;
        o.password = password;
        o.noLogin = noLogin;
        return o;
    }
};

class SmtpServer {
public:
    explicit SmtpServer(const SmtpServerOptions& options = {}) {
        std::vector<std::string> args = {"/usr/bin/python3",
                                         testsupport::sourceDir() + "/mailnote/smtp_server.py",
                                         "--dir",
                                         dir_.str(),
                                         "--port-file",
                                         dir_.file("port"),
                                         "--mode",
                                         options.mode};
        if (!options.user.empty()) {
            args.insert(args.end(), {"--user=" + options.user, "--password=" + options.password});
            if (options.noLogin) args.push_back("--no-login");
        }
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = dir_.file("server.log");
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("can't start the SMTP test server");
        for (int i = 0; i < 200 && port_ == 0; ++i) {
            const std::string text = testsupport::readFile(dir_.file("port"));
            if (!text.empty())
                port_ = std::stoi(text);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (port_ == 0 || !testsupport::waitForLoopbackPort(port_, 5000))
            throw std::runtime_error("the SMTP test server did not start: " + testsupport::readFile(log));
    }
    ~SmtpServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    int port() const { return port_; }
    // The "Mail Server" form: address and port.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

    std::vector<SmtpMessage> messages() const {
        std::vector<SmtpMessage> out;
        for (int n = 0;; ++n) {
            const std::string base = dir_.file("msg-" + std::to_string(n));
            const std::string meta = testsupport::readFile(base + ".meta");
            if (meta.empty()) break;
            SmtpMessage m;
            m.text = testsupport::readFile(base + ".eml");
            std::istringstream lines(meta);
            std::string line;
            while (std::getline(lines, line)) {
                if (line.rfind("from: ", 0) == 0) m.mailFrom = line.substr(6);
                if (line.rfind("rcpt: ", 0) == 0) m.recipients.push_back(line.substr(6));
                if (line.rfind("auth: ", 0) == 0) m.auth = line.substr(6);
            }
            out.push_back(m);
        }
        return out;
    }
    // What clients sent a stalling server.
    std::string received() const { return testsupport::readFile(dir_.file("received.log")); }
    // Number of EHLO greetings the server saw (one per connection).
    int greetings() const {
        const std::string log = testsupport::readFile(dir_.file("greetings.log"));
        int n = 0;
        for (char c : log) n += c == '\n';
        return n;
    }

private:
    testsupport::TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Decodes quoted-printable text (soft line breaks removed).
inline std::string decodeQuotedPrintable(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
        } else if (text[i] == '=' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Decodes a header value made of "=?charset?Q?...?=" words (folded or not).
inline std::string decodeEncodedWords(const std::string& value) {
    std::string out;
    std::string::size_type pos = 0;
    while ((pos = value.find("=?", pos)) != std::string::npos) {
        const std::string::size_type q = value.find("?Q?", pos);
        const std::string::size_type end = value.find("?=", q + 3);
        if (q == std::string::npos || end == std::string::npos) break;
        std::string word = value.substr(q + 3, end - q - 3);
        for (char& c : word)
            if (c == '_') c = ' ';
        out += decodeQuotedPrintable(word);
        pos = end + 2;
    }
    return out;
}

}  // namespace mailtest
