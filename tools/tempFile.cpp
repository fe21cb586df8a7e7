#include "tools/tempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <stdexcept>

#include "tools/files.h"

namespace tools {

namespace {

constexpr int kMaxAttempts = 10000;

std::mutex& tempFileMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string tempDirectory()
{
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

LiveFiles& liveFiles()
{
    static LiveFiles* files = [] {
        auto* f = new LiveFiles;  // still usable while exit handlers run
        std::atexit(removeLiveFilesAtExit);
        return f;
    }();
    return *files;
}

void removeLiveFilesAtExit()
{
    LiveFiles& files = liveFiles();
    std::lock_guard<std::mutex> lock(files.mutex);
    for (const std::string& name : files.names)
        ::unlink(name.c_str());
    files.names.clear();
}

}  // namespace

TempFile::TempFile(const std::string& extension)
{
    std::lock_guard<std::mutex> lock(tempFileMutex());
    static unsigned long counter = 0;
    std::string dir = tempDirectory();
    if (dir.back() != '/')
        dir += '/';
    const std::string stem = dir + "orvan" + std::to_string(::getpid()) + "_";
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::string name = stem + std::to_string(++counter);
        if (!extension.empty())
            name = replaceFileExtension(name, extension);
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
        if (errno != EEXIST)
            break;
    }
    throw std::runtime_error("Can't create temporary file.");
}

TempFile::~TempFile()
{
    if (is_open())
        close();
    if (!filename_.empty()) {
        ::unlink(filename_.c_str());
        LiveFiles& files = liveFiles();
        std::lock_guard<std::mutex> lock(files.mutex);
        files.names.erase(filename_);
    }
}

void TempFile::open()
{
    std::ofstream::open(filename_, std::ios::out | std::ios::trunc | std::ios::binary);
}

}  // namespace tools
