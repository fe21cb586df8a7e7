#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace platform::files {

namespace {

// Follows a symbolic link so that the link's target is replaced, not the link.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char buf[PATH_MAX];
        if (::realpath(path.c_str(), buf)) return buf;
    }
    return path;
}

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Whether the folder is due for a look for leftovers: at the first write into
// it, then at most once a minute (listing a folder of 1,000 channel files
// costs about as much as the write itself).
bool folderDueForCleaning(const std::string& dir) {
    using Clock = std::chrono::steady_clock;
    static std::mutex mutex;
    static std::unordered_map<std::string, Clock::time_point> lastLook;
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> guard(mutex);
    auto [it, first] = lastLook.try_emplace(dir, now);
    if (first) return true;
    if (now - it->second < std::chrono::seconds(60)) return false;
    it->second = now;
    return true;
}

// Removes "<name>.tmp-<pid>-<n>" files that a writer of the target left when
// it was killed mid-write, once that process is gone. Files of this process
// and of live processes (or processes of other users) stay.
void removeStaleTemporaries(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    if (!folderDueForCleaning(dir)) return;
    const std::string prefix = target.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp-";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        const char* rest = e->d_name + prefix.size();
        char* end = nullptr;
        errno = 0;
        const long pid = std::strtol(rest, &end, 10);
        if (errno != 0 || end == rest || *end != '-' || pid <= 0 || pid == self) continue;
        const char* counter = end + 1;
        if (*counter == '\0' || std::strspn(counter, "0123456789") != std::strlen(counter)) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

std::mutex& ownerOnlyMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<std::string>& ownerOnlyFiles() {
    static std::unordered_set<std::string> files;
    return files;
}

bool isOwnerOnly(const std::string& path, const std::string& target) {
    std::lock_guard<std::mutex> guard(ownerOnlyMutex());
    const auto& files = ownerOnlyFiles();
    return !files.empty() && (files.count(path) != 0 || files.count(target) != 0);
}

}  // namespace

void keepOwnerOnly(const std::string& path) {
    {
        std::lock_guard<std::mutex> guard(ownerOnlyMutex());
        ownerOnlyFiles().insert(path);
        ownerOnlyFiles().insert(resolveTarget(path));
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::chmod(path.c_str(), st.st_mode & 07700);
}

bool atomicWriteFile(const std::string& path, const std::string& contents, Flush flush) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    const std::string target = resolveTarget(path);
    {
        // Only a regular file is replaced: never a device, pipe or folder.
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) {
                errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
                return false;
            }
            // A read-only file stays as it is. The owner's write permission
            // decides, not access(): replacing by rename needs only the
            // folder, and a privileged user may write anything.
            if ((st.st_mode & S_IWUSR) == 0) {
                errno = EACCES;
                return false;
            }
        }
    }
    removeStaleTemporaries(target);

    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (isOwnerOnly(path, target))
        ::fchmod(fd, exists ? st.st_mode & 07700 : 0600);
    else if (exists)
        ::fchmod(fd, st.st_mode & 07777);

    bool ok = writeAll(fd, contents) && (flush == Flush::Skip || ::fsync(fd) == 0);
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = err;
    }
    return ok;
}

std::string errorText(int err) {
    char buf[256];
    // GNU strerror_r returns the text (which may or may not be in buf).
    const char* text = ::strerror_r(err, buf, sizeof buf);
    return text ? std::string(text) : std::string("Unknown error ") + std::to_string(err);
}

std::string lastErrorText() { return errorText(errno); }

std::string dataDirectory() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return std::string(x) + "/orvan";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h) {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir) {
        home = pw->pw_dir;
    } else {
        home = ".";
    }
    return home + "/.local/share/orvan";
}

namespace {

std::mutex& userDirectoryMutex() {
    static std::mutex m;
    return m;
}

std::string& userDirectoryValue() {
    static std::string* value = new std::string;  // read by libraries until the process ends
    return *value;
}

}  // namespace

void setUserDirectory(const std::string& dir) {
    std::lock_guard guard(userDirectoryMutex());
    userDirectoryValue() = dir;
}

std::string userDirectory() {
    std::lock_guard guard(userDirectoryMutex());
    return userDirectoryValue();
}

}  // namespace platform::files
