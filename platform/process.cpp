#include "platform/process.h"

#include "platform/files.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform::process {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTermGraceMs = 200;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program to execute: a name with a "/" is taken as it is; a bare name
// is searched in PATH (of the child's environment), as a shell would.
std::string resolveProgram(const std::string& name, const std::string& pathVar, int& err) {
    err = 0;
    if (name.find('/') != std::string::npos) return name;
    int firstErr = ENOENT;
    std::size_t start = 0;
    while (start <= pathVar.size()) {
        std::size_t end = pathVar.find(':', start);
        if (end == std::string::npos) end = pathVar.size();
        // An empty entry means the current folder.
        std::string candidate = end > start ? pathVar.substr(start, end - start) : std::string(1, '.');
        candidate += '/';
        candidate += name;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0) {
            if (isExecutableFile(candidate)) return candidate;
            firstErr = EACCES;
        }
        start = end + 1;
    }
    err = firstErr;
    return {};
}

int openOutput(const std::string& path, OutputMode mode) {
    if (path.empty()) return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == OutputMode::Append ? O_APPEND : O_TRUNC);
    return ::open(path.c_str(), flags, 0666);
}

int pidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
#else
    (void)pid;
    return -1;
#endif
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void childExec(const char* program, char* const* argv, char* const* envp, const char* workDir, int inFd,
                            int outFd, int errFd, int reportFd) {
    auto fail = [reportFd](int stage) {
        int report[2] = {stage, errno};
        ssize_t ignored = ::write(reportFd, report, sizeof report);
        (void)ignored;
        ::_exit(127);
    };
    ::setsid();
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) ::signal(sig, SIG_DFL);
    }
    if (::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) fail(1);
        // Descriptors that other threads opened without close-on-exec stay
        // out of the child; the report pipe closes itself on exec.
#ifdef SYS_close_range
    if (reportFd > 3) ::syscall(SYS_close_range, 3U, static_cast<unsigned>(reportFd - 1), 0U);
    ::syscall(SYS_close_range, static_cast<unsigned>(reportFd + 1), ~0U, 0U);
#else
    for (int fd = 3; fd < reportFd; ++fd) ::close(fd);
#endif
    if (workDir && ::chdir(workDir) != 0) fail(2);
    ::execve(program, argv, envp);
    fail(3);
    ::_exit(127);
}

}  // namespace

Process::~Process() {
    if (running()) killGroup();
    if (pidfd_ >= 0) ::close(pidfd_);
}

bool Process::start(const Options& options) {
    if (pid_ > 0) {
        if (running()) killGroup();
        if (pidfd_ >= 0) ::close(pidfd_);
        pidfd_ = -1;
        pid_ = -1;
    }
    ended_ = false;
    result_ = Result{};

    auto failStart = [this](int err, const std::string& text) {
        result_.started = false;
        result_.startErrno = err;
        result_.error = text + files::errorText(err);
        errno = err;
        return false;
    };

    if (options.argv.empty() || options.argv[0].empty()) return failStart(ENOENT, "No program given: ");

    // Environment of the child: the caller's, with the extra variables set.
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
    for (const auto& [name, value] : options.environment) {
        std::string prefix = name + "=";
        bool replaced = false;
        for (auto& entry : env) {
            if (entry.compare(0, prefix.size(), prefix) == 0) {
                entry = prefix + value;
                replaced = true;
            }
        }
        if (!replaced) env.push_back(prefix + value);
    }
    std::string pathVar = "/usr/local/bin:/usr/bin:/bin";
    for (const auto& entry : env) {
        if (entry.compare(0, 5, "PATH=") == 0) pathVar = entry.substr(5);
    }

    int resolveErr = 0;
    std::string program = resolveProgram(options.argv[0], pathVar, resolveErr);
    if (program.empty()) return failStart(resolveErr, "Can't run " + options.argv[0] + ": ");

    Fd inFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (inFd.get() < 0) return failStart(errno, "Can't open /dev/null: ");
    Fd outFd(openOutput(options.stdoutFile, options.outputMode));
    if (outFd.get() < 0) return failStart(errno, "Can't open " + options.stdoutFile + ": ");
    Fd errFd;
    if (!options.stderrFile.empty() && options.stderrFile == options.stdoutFile) {
        errFd.reset(::fcntl(outFd.get(), F_DUPFD_CLOEXEC, 3));
    } else {
        errFd.reset(openOutput(options.stderrFile, options.outputMode));
    }
    if (errFd.get() < 0) return failStart(errno, "Can't open " + options.stderrFile + ": ");

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return failStart(errno, "Can't create a pipe: ");
    Fd reportRead(pipeFds[0]);
    Fd reportWrite(pipeFds[1]);

    std::vector<char*> argv;
    for (const auto& a : options.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const char* workDir = options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();

    pid_t pid = ::fork();
    if (pid < 0) return failStart(errno, "Can't start a process: ");
    if (pid == 0) {
        childExec(program.c_str(), argv.data(), envp.data(), workDir, inFd.get(), outFd.get(), errFd.get(),
                  reportWrite.get());
    }
    reportWrite.reset();

    // The report pipe stays silent when exec succeeded (it closes on exec).
    int report[2] = {0, 0};
    ssize_t n;
    do {
        n = ::read(reportRead.get(), report, sizeof report);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof report)) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        switch (report[0]) {
            case 1:
                return failStart(report[1], "Can't redirect the output of " + options.argv[0] + ": ");
            case 2:
                return failStart(report[1], "Can't change to the folder " + options.workingDirectory + ": ");
            default:
                return failStart(report[1], "Can't run " + options.argv[0] + ": ");
        }
    }

    pid_ = pid;
    pidfd_ = pidfdOpen(pid);
    result_.started = true;
    return true;
}

bool Process::reap(bool block) {
    if (ended_) return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    ended_ = true;
    if (r < 0) return true;  // not our child any more: nothing to report
    result_.rawStatus = status;
    if (WIFEXITED(status)) {
        result_.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result_.signaled = true;
        result_.signal = WTERMSIG(status);
    }
    if (pidfd_ >= 0) {
        ::close(pidfd_);
        pidfd_ = -1;
    }
    return true;
}

bool Process::wait(int timeoutMs) {
    if (pid_ <= 0) return true;
    if (ended_) return true;
    if (timeoutMs < 0) return reap(true);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto sleepFor = std::chrono::milliseconds(1);
    for (;;) {
        if (reap(false)) return true;
        auto now = Clock::now();
        if (now >= deadline) return false;
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) + std::chrono::milliseconds(1);
        if (pidfd_ >= 0) {
            pollfd p{pidfd_, POLLIN, 0};
            int r = ::poll(&p, 1, static_cast<int>(left.count()));
            if (r < 0 && errno != EINTR) {
                ::close(pidfd_);
                pidfd_ = -1;
            }
        } else {
            std::this_thread::sleep_for(std::min(sleepFor, left));
            sleepFor = std::min(sleepFor * 2, std::chrono::milliseconds(20));
        }
    }
}

void Process::killGroup() {
    if (pid_ <= 0) return;
    // The child leads its own group (setsid); the group outlives the leader
    // as long as any member lives, so it is signalled before and after.
    ::kill(-pid_, SIGTERM);
    if (!ended_) ::kill(pid_, SIGTERM);
    wait(kTermGraceMs);
    ::kill(-pid_, SIGKILL);
    if (!ended_) {
        ::kill(pid_, SIGKILL);
        reap(true);
    }
}

Result run(const Options& options, int timeoutMs) {
    Process p;
    if (!p.start(options)) return p.result();
    if (!p.wait(timeoutMs)) {
        p.killGroup();
        Result r = p.result();
        r.timedOut = true;
        return r;
    }
    // Members of the group that the program left running are not its result;
    // they are left alone, as a finished program's children are.
    return p.result();
}

void releaseFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void releasePages(const void* data, std::size_t length) {
#if defined(__linux__)
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0 || !data) return;
    const auto page = static_cast<std::uintptr_t>(pageSize);
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + length) / page * page;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
    (void)data;
    (void)length;
#endif
}

}  // namespace platform::process
