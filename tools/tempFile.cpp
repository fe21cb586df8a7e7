#include "tools/tempFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <stdexcept>

#include "tools/files.h"

namespace tools {

namespace {

constexpr int kMaxAttempts = 10000;

std::mutex& tempFileMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string tempDirectory() {
    for (const char* var : {"TMP", "TMPDIR"}) {
        const char* value = std::getenv(var);
        if (value && *value && isDirectory(value)) {
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(value, ec);
            return ec ? std::string(value) : absolute.string();
        }
    }
    // The system's folder for temporary files, not the current folder: a
    // program started from a project or home folder must not litter it.
    return isDirectory("/tmp") ? std::string("/tmp") : std::string(".");
}

// Files of live TempFile objects, removed at a normal exit even when their
// owners are never destroyed (objects that live until the process ends).
struct LiveFiles {
    std::mutex mutex;
    std::set<std::string> names;
};

void removeLiveFilesAtExit();

LiveFiles& liveFiles() {
    static LiveFiles* files = [] {
        auto* f = new LiveFiles;  // still usable while exit handlers run
        std::atexit(removeLiveFilesAtExit);
        return f;
    }();
    return *files;
}

void removeLiveFilesAtExit() {
    LiveFiles& files = liveFiles();
    std::lock_guard<std::mutex> lock(files.mutex);
    for (const std::string& name : files.names) ::unlink(name.c_str());
    files.names.clear();
}

}  // namespace

TempFile::TempFile(const std::string& extension) {
    std::lock_guard<std::mutex> lock(tempFileMutex());
    static unsigned long counter = 0;
    std::string dir = tempDirectory();
    if (dir.back() != '/') dir += '/';
    const std::string stem = dir + "orvan" + std::to_string(::getpid()) + "_";
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string name = stem + std::to_string(++counter);
        if (!extension.empty()) name = replaceFileExtension(name, extension);
        // Checking for a free name and creating the file are one step.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            filename_ = name;
            LiveFiles& files = liveFiles();
            std::lock_guard<std::mutex> liveLock(files.mutex);
            files.names.insert(name);
            return;
        }
        if (errno != EEXIST) break;
    }
    throw std::runtime_error("Can't create temporary file.");
}

TempFile::~TempFile() {
    if (is_open()) close();
    if (!filename_.empty()) {
        ::unlink(filename_.c_str());
        LiveFiles& files = liveFiles();
        std::lock_guard<std::mutex> lock(files.mutex);
        files.names.erase(filename_);
    }
}

int TempFile::removeFilesOfEndedProcesses() {
    std::string dir = tempDirectory();
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return 0;
    const pid_t self = ::getpid();
    const uid_t user = ::geteuid();
    int removed = 0;
    // Names are "orvan" <pid> "_" <counter>, perhaps with an extension.
    while (const dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (std::strncmp(name, "orvan", 5) != 0) continue;
        const char* digits = name + 5;
        const std::size_t pidLength = std::strspn(digits, "0123456789");
        if (pidLength == 0 || pidLength > 9 || digits[pidLength] != '_') continue;
        const char* counter = digits + pidLength + 1;
        const std::size_t counterLength = std::strspn(counter, "0123456789");
        if (counterLength == 0 || (counter[counterLength] != '\0' && counter[counterLength] != '.')) continue;
        const pid_t pid = static_cast<pid_t>(std::atol(digits));
        if (pid <= 0 || pid == self) continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != user)
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
        if (::unlinkat(::dirfd(d), name, 0) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

void TempFile::open() { std::ofstream::open(filename_, std::ios::out | std::ios::trunc | std::ios::binary); }

}  // namespace tools
