#pragma once
// Child processes with redirected output: a program is started from an
// argument vector (never through a shell), with standard input from
// /dev/null, standard output and error into files, in a new session of its
// own (no controlling terminal; its own process group). The caller waits with
// a time-out; on time-out the whole process group is killed.
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform::process {

enum class OutputMode { Truncate, Append };

struct Options {
    // argv[0] is the program: a path, or a bare name searched in PATH.
    std::vector<std::string> argv;
    // Folder the child starts in ("" = the caller's current folder).
    std::string workingDirectory;
    // Files for standard output and error ("" = /dev/null). The same path
    // may be given for both; they then share one open file.
    std::string stdoutFile;
    std::string stderrFile;
    OutputMode outputMode = OutputMode::Truncate;
    // Variables added to (or replacing those of) the caller's environment.
    std::vector<std::pair<std::string, std::string>> environment;
};

struct Result {
    bool started = false;  // false: error/startErrno say why
    int startErrno = 0;
    std::string error;      // why the program did not start
    bool timedOut = false;  // killed after the time-out
    bool signaled = false;  // ended by a signal (also after a time-out kill)
    int signal = 0;
    int exitCode = -1;  // exit status 0..255 when it exited normally (exit(-1) gives 255)
    int rawStatus = 0;  // status as waitpid reported it
};

// One child process. The destructor kills the process group of a child that
// is still running and reaps it, so no child outlives its owner.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts the program. False when it could not be started (a missing or
    // non-executable program, an output file that cannot be opened, a missing
    // working folder); error() says why and errno-like code is startErrno().
    bool start(const Options& options);

    // Waits until the child has ended or timeoutMs milliseconds have passed
    // (negative: no limit). True when it has ended (the result is then final).
    bool wait(int timeoutMs);

    // Ends the whole process group (SIGTERM, then SIGKILL after a short grace)
    // and reaps the child. Nothing happens when no child is running.
    void killGroup();

    bool running() const { return pid_ > 0 && !ended_; }
    pid_t pid() const { return pid_; }
    const std::string& error() const { return result_.error; }
    int startErrno() const { return result_.startErrno; }
    const Result& result() const { return result_; }

private:
    bool reap(bool block);
    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool ended_ = false;
    Result result_;
};

// Starts the program and waits up to timeoutMs (negative: no limit); on
// time-out the process group is killed and timedOut is set.
Result run(const Options& options, int timeoutMs);

// Gives the memory that this process's allocator holds free back to the
// system: glibc keeps freed memory for later allocations, so a pass that
// replaced many objects would otherwise stay resident at its highest. Does
// nothing where the allocator offers no such call.
void releaseFreeMemory();

// Gives the whole memory pages inside [data, data + length) back to the
// system at once, for a large buffer whose contents are no longer needed
// and that is about to be freed: the allocator would otherwise keep them
// resident until it reuses them. They read as zeros if touched again.
// Does nothing where the system offers no such call.
void releasePages(const void* data, std::size_t length);

}  // namespace platform::process
