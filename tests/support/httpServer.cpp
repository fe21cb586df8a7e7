#include "httpServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string jsonAnswer(const HttpAnswer& a) {
    std::ostringstream o;
    o << "{\"status\": " << a.status;
    if (!a.reason.empty()) o << ", \"reason\": " << jsonString(a.reason);
    if (!a.bodyFile.empty())
        o << ", \"body_file\": " << jsonString(a.bodyFile);
    else if (a.bodySize >= 0)
        o << ", \"body_size\": " << a.bodySize;
    else
        o << ", \"body\": " << jsonString(a.body);
    if (!a.etag.empty()) o << ", \"etag\": " << jsonString(a.etag);
    if (!a.lastModified.empty()) o << ", \"last_modified\": " << jsonString(a.lastModified);
    if (!a.location.empty()) o << ", \"location\": " << jsonString(a.location);
    if (a.auth) o << ", \"auth\": [" << jsonString(a.auth->first) << ", " << jsonString(a.auth->second) << "]";
    if (a.proxyAuth)
        o << ", \"proxy_auth\": [" << jsonString(a.proxyAuth->first) << ", " << jsonString(a.proxyAuth->second) << "]";
    if (a.stallSeconds > 0) o << ", \"stall\": " << a.stallSeconds;
    if (a.trickleSeconds > 0) o << ", \"trickle\": " << a.trickleSeconds;
    if (a.noLength) o << ", \"no_length\": true";
    if (!a.headers.empty()) {
        o << ", \"headers\": {";
        for (std::size_t i = 0; i < a.headers.size(); ++i)
            o << (i ? ", " : "") << jsonString(a.headers[i].first) << ": " << jsonString(a.headers[i].second);
        o << "}";
    }
    o << "}";
    return o.str();
}

// Runs a program with its output sent to a file; returns its pid.
int spawn(const std::vector<std::string>& args, const std::string& outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
    return pid;
}

// Waits up to timeoutMs for a child; true when it ended (status stored).
bool waitChild(int pid, int timeoutMs, int* status) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int st = 0;
        pid_t r = ::waitpid(pid, &st, WNOHANG);
        if (r == pid) {
            if (status) *status = st;
            return true;
        }
        if (r < 0) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string HttpRequestRecord::path() const {
    std::string t = target;
    auto scheme = t.find("://");
    if (scheme != std::string::npos) {
        auto slash = t.find('/', scheme + 3);
        t = slash == std::string::npos ? "/" : t.substr(slash);
    }
    auto q = t.find('?');
    return q == std::string::npos ? t : t.substr(0, q);
}

bool HttpRequestRecord::hasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return equalNoCase(h.first, name); });
}

std::string HttpRequestRecord::header(const std::string& name) const {
    for (const auto& h : headers)
        if (equalNoCase(h.first, name)) return h.second;
    return {};
}

HttpServer::HttpServer(Scheme scheme) : scheme_(scheme == Scheme::Https ? "https" : "http") {
    routesFile_ = dir_.file("routes.json");
    logFile_ = dir_.file("requests.log");
    const std::string portFile = dir_.file("port");
    const std::string output = dir_.file("server.out");
    writeRoutes();
    writeFile(logFile_, "");

    std::vector<std::string> args = {
        "python3", sourceDir() + "/support/http_server.py", "--routes", routesFile_, "--port-file", portFile, "--log",
        logFile_};
    if (scheme == Scheme::Https) {
        caFile_ = dir_.file("cert.pem");
        const std::string key = dir_.file("key.pem");
        int opensslPid = spawn({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes", "-keyout", key, "-out", caFile_, "-days", "2", "-subj", "/CN=127.0.0.1",
                                "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
                               dir_.file("openssl.out"));
        int st = 0;
        if (!waitChild(opensslPid, 20000, &st) || !WIFEXITED(st) || WEXITSTATUS(st) != 0)
            throw std::runtime_error("openssl could not make a test certificate: " +
                                     readFile(dir_.file("openssl.out")));
        args.insert(args.end(), {"--cert", caFile_, "--key", key});
    }
    pid_ = spawn(args, output);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string text = readFile(portFile);
        if (!text.empty()) {
            port_ = std::stoi(text);
            break;
        }
        if (waitChild(pid_, 0, nullptr)) {
            pid_ = -1;
            throw std::runtime_error("the test HTTP server ended at start: " + readFile(output));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (port_ == 0 || !waitForLoopbackPort(port_, 5000)) {
        ::kill(pid_, SIGKILL);
        waitChild(pid_, 5000, nullptr);
        pid_ = -1;
        throw std::runtime_error("the test HTTP server did not start: " + readFile(output));
    }
}

HttpServer::~HttpServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!waitChild(pid_, 5000, nullptr)) {
            ::kill(pid_, SIGKILL);
            waitChild(pid_, 5000, nullptr);
        }
    }
}

std::string HttpServer::baseUrl() const { return scheme_ + "://127.0.0.1:" + std::to_string(port_); }

std::string HttpServer::url(const std::string& path) const { return baseUrl() + path; }

void HttpServer::route(const std::string& path, const HttpAnswer& answer) { routeSequence(path, {answer}); }

void HttpServer::routeSequence(const std::string& path, const std::vector<HttpAnswer>& answers) {
    auto it = std::find_if(routes_.begin(), routes_.end(), [&](const auto& r) { return r.first == path; });
    if (it != routes_.end())
        it->second = answers;
    else
        routes_.emplace_back(path, answers);
    writeRoutes();
}

void HttpServer::removeRoute(const std::string& path) {
    std::erase_if(routes_, [&](const auto& r) { return r.first == path; });
    writeRoutes();
}

void HttpServer::clearRoutes() {
    routes_.clear();
    writeRoutes();
}

void HttpServer::writeRoutes() {
    std::ostringstream o;
    o << "{";
    for (std::size_t i = 0; i < routes_.size(); ++i) {
        o << (i ? ",\n" : "\n") << jsonString(routes_[i].first) << ": [";
        for (std::size_t j = 0; j < routes_[i].second.size(); ++j)
            o << (j ? ", " : "") << jsonAnswer(routes_[i].second[j]);
        o << "]";
    }
    o << "\n}\n";
    // A new file each time, so the server sees the change even within one
    // time-stamp tick.
    const std::string tmp = routesFile_ + ".tmp";
    writeFile(tmp, o.str());
    std::filesystem::rename(tmp, routesFile_);
}

std::vector<HttpRequestRecord> HttpServer::requests() const {
    std::vector<HttpRequestRecord> out;
    std::istringstream in(readFile(logFile_));
    std::string line;
    HttpRequestRecord current;
    bool open = false;
    while (std::getline(in, line)) {
        if (line.rfind("REQUEST ", 0) == 0) {
            current = HttpRequestRecord{};
            auto sp = line.find(' ', 8);
            current.method = line.substr(8, sp == std::string::npos ? std::string::npos : sp - 8);
            if (sp != std::string::npos) current.target = line.substr(sp + 1);
            open = true;
        } else if (open && line.rfind("H ", 0) == 0) {
            auto colon = line.find(": ", 2);
            if (colon != std::string::npos)
                current.headers.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
        } else if (open && line == "END") {
            out.push_back(current);
            open = false;
        }
    }
    return out;
}

std::vector<HttpRequestRecord> HttpServer::requests(const std::string& path) const {
    std::vector<HttpRequestRecord> all = requests();
    std::erase_if(all, [&](const HttpRequestRecord& r) { return r.path() != path; });
    return all;
}

void HttpServer::clearRequests() { writeFile(logFile_, ""); }

}  // namespace testsupport
