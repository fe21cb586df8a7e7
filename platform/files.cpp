#include "platform/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

}  // namespace

bool atomicWriteFile(const std::string& path, const std::string& contents) {
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    const std::string target = resolveTarget(path);

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
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);

    bool ok = writeAll(fd, contents) && ::fsync(fd) == 0;
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

}  // namespace platform::files
