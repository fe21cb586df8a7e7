#include "app/core/singleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/core/commandIds.h"
#include "lib/log/messageLog.h"
#include "platform/files.h"
#include "platform/messages.h"

namespace {

std::string instanceBaseName(const std::string& appName) {
    return appName + "-" + std::to_string(static_cast<unsigned long>(geteuid()));
}

bool makeSocketAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Reads up to a line end, at most 31 bytes, waiting at most timeoutMs in all.
std::string readLine(int fd, int timeoutMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (line.size() < 31) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char c;
        const ssize_t n = read(fd, &c, 1);
        if (n <= 0 || c == '\n') break;
        line += c;
    }
    return line;
}

}  // namespace

AppMessages& appMessages() {
    static AppMessages messages;
    return messages;
}

void registerAppMessages() {
    using platform::messages::registerMessage;
    AppMessages& m = appMessages();
    m.postInitDialog = registerMessage("PostInitDialog");
    m.endChannelUpdate = registerMessage("EndChannelUpdate");
    m.logChannelActivity = registerMessage("LogChannelActivity");
    m.logErrorMsg = registerMessage("LogErrorMsg");
    m.startNewChannelWizard = registerMessage("StartNewChannelWizard");
    m.addToReadMeList = registerMessage("AddToReadMeList");
    m.relayDllChannelHookEvent = registerMessage("RelayDllChannelHookEvent");
    m.relayDllChannelHookCommand = registerMessage("RelayDllChannelHookCommand");
}

std::string instanceRuntimeDir() {
    for (const char* var : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        if (const char* value = std::getenv(var); value && *value) return value;
    }
    return "/tmp";
}

// --- InstanceLock

InstanceLock::InstanceLock(const std::string& appName, const std::string& dir) {
    std::string base = dir;
    if (!base.empty() && base.back() != '/') base += '/';
    base += instanceBaseName(appName);
    lockPath_ = base + ".lock";
    socketPath_ = base + ".sock";
}

InstanceLock::~InstanceLock() { unlock(); }

bool InstanceLock::tryLock() {
    if (fd_ >= 0) return true;
    const int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = "Can't open " + lockPath_ + ": " + platform::files::lastErrorText();
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_ =
            errno == EWOULDBLOCK ? std::string() : "Can't lock " + lockPath_ + ": " + platform::files::lastErrorText();
        close(fd);
        return false;
    }
    error_.clear();
    fd_ = fd;
    return true;
}

void InstanceLock::unlock() {
    if (fd_ >= 0) {
        close(fd_);  // releases the flock
        fd_ = -1;
    }
}

bool InstanceLock::isHeldElsewhere() const {
    if (fd_ >= 0) return false;
    const int fd = open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

// --- the hand-over

bool sendInstanceCommand(const std::string& socketPath, unsigned command, int timeoutMs) {
    sockaddr_un address;
    if (!makeSocketAddress(socketPath, address)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    // The running copy may take the lock a moment before it binds the
    // socket: try again for a while before giving up.
    for (;;) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const std::string line = std::to_string(command) + "\n";
            const bool sent = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
            close(fd);
            return sent;
        }
        close(fd);
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

SingleInstance::SingleInstance(const std::string& appName, const std::string& dir) : lock_(appName, dir) {}

SingleInstance::~SingleInstance() { stop(); }

SingleInstance::Result SingleInstance::start(bool allowMultipleInstances) {
    if (!lock_.tryLock()) {
        if (!lock_.error().empty()) {
            error_ = lock_.error();
            return Failed;
        }
        if (!allowMultipleInstances)
            return sendInstanceCommand(lock_.socketPath(), kCmdShowMainWindow, 2000) ? HandedOver : Busy;
    }
    if (!bindSocket()) return Failed;
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) {
        error_ = "Can't create an event: " + platform::files::lastErrorText();
        close(listenFd_);
        listenFd_ = -1;
        return Failed;
    }
    thread_ = std::thread([this] { serve(); });
    return Started;
}

bool SingleInstance::bindSocket() {
    sockaddr_un address;
    const std::string& path = lock_.socketPath();
    if (!makeSocketAddress(path, address)) {
        error_ = "Socket path too long: " + path;
        return false;
    }
    listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error_ = "Can't create a socket: " + platform::files::lastErrorText();
        return false;
    }
    // Bind to a private name and rename it into place, so that the endpoint
    // changes hands in one step and a start never finds it missing.
    const std::string tempPath = path + "." + std::to_string(getpid());
    sockaddr_un tempAddress;
    unlink(tempPath.c_str());
    struct stat st {};
    if (!makeSocketAddress(tempPath, tempAddress) ||
        bind(listenFd_, reinterpret_cast<const sockaddr*>(&tempAddress), sizeof tempAddress) != 0 ||
        listen(listenFd_, 8) != 0 || stat(tempPath.c_str(), &st) != 0 || rename(tempPath.c_str(), path.c_str()) != 0) {
        error_ = "Can't serve " + path + ": " + platform::files::lastErrorText();
        unlink(tempPath.c_str());
        close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socketDev_ = st.st_dev;
    socketIno_ = st.st_ino;
    return true;
}

void SingleInstance::setCommandHandler(CommandHandler handler) {
    std::lock_guard<std::mutex> guard(handlerMutex_);
    handler_ = std::move(handler);
}

void SingleInstance::serve() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                handleConnection(fd);
                close(fd);
            }
        }
    }
}

void SingleInstance::handleConnection(int fd) {
    // Only this user's processes may talk to the running copy.
    ucred peer{};
    socklen_t peerSize = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0 || peer.uid != geteuid()) {
        ORVAN_LOG_ANY() << "Refused a connection to the instance socket from user " << peer.uid << std::endl;
        return;
    }
    const std::string line = readLine(fd, 1000);
    // A second start sends the show command and nothing else; any other
    // command (such as Exit) from another process is refused.
    const bool valid = !line.empty() && line.find_first_not_of("0123456789") == std::string::npos && line.size() <= 9;
    if (!valid || std::stoul(line) != kCmdShowMainWindow) {
        std::string shown = line.substr(0, 16);
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) c = '?';
        ORVAN_LOG_ANY() << "Refused a command on the instance socket: '" << shown << "'" << std::endl;
        return;
    }
    const unsigned command = kCmdShowMainWindow;
    std::lock_guard<std::mutex> guard(handlerMutex_);
    if (handler_) handler_(command);
}

void SingleInstance::stop() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(stopFd_, &one, sizeof one);
        thread_.join();
    }
    if (stopFd_ >= 0) {
        close(stopFd_);
        stopFd_ = -1;
    }
    if (listenFd_ >= 0) {
        close(listenFd_);
        listenFd_ = -1;
        struct stat st {};
        const std::string& path = lock_.socketPath();
        if (stat(path.c_str(), &st) == 0 && st.st_dev == socketDev_ && st.st_ino == socketIno_) unlink(path.c_str());
    }
    lock_.unlock();
}
