#include "tools/files.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <sys/stat.h>

#include "platform/files.h"

namespace tools {

namespace fs = std::filesystem;

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

struct SplitPath {
    std::string drive;
    std::string dir;
    std::string name;
    std::string ext;
};

SplitPath splitPath(const std::string& path) {
    SplitPath parts;
    std::size_t pos = 0;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        parts.drive = path.substr(0, 2);
        pos = 2;
    }
    std::size_t lastSep = std::string::npos;
    for (std::size_t i = pos; i < path.size(); ++i) {
        if (isSeparator(path[i])) lastSep = i;
    }
    if (lastSep != std::string::npos) {
        parts.dir = path.substr(pos, lastSep + 1 - pos);
        pos = lastSep + 1;
    }
    const std::string file = path.substr(pos);
    const std::size_t dot = file.rfind('.');
    if (dot == std::string::npos) {
        parts.name = file;
    } else {
        parts.name = file.substr(0, dot);
        parts.ext = file.substr(dot);
    }
    return parts;
}

std::string joinPath(const SplitPath& parts) {
    std::string path = parts.drive + parts.dir;
    if (!parts.dir.empty() && !isSeparator(parts.dir.back())) path += '/';
    path += parts.name;
    if (!parts.ext.empty()) {
        if (parts.ext.front() != '.') path += '.';
        path += parts.ext;
    }
    return path;
}

std::string withForwardSlashes(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

}  // namespace

bool isFile(const std::string& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec) && !ec;
}

bool getFileSize(const std::string& path, std::uint64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool copyFile(const std::string& source, const std::string& destination) {
    std::ifstream in(source, std::ios::binary);
    if (!in) return false;
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) return false;
    return platform::files::atomicWriteFile(destination, contents.str());
}

bool isFileInDirectory(const std::string& file, const std::string& directory) {
    const std::string fileDir = getDirectoryOf(file);
    std::error_code ec;
    const fs::path a = fs::canonical(withForwardSlashes(fileDir.empty() ? std::string(".") : fileDir), ec);
    if (ec) return false;
    const fs::path b = fs::canonical(withForwardSlashes(directory), ec);
    if (ec) return false;
    return a == b;
}

std::string getDirectoryOf(const std::string& path) {
    const SplitPath parts = splitPath(path);
    return parts.drive + parts.dir;
}

std::string getFileBaseName(const std::string& path) { return splitPath(path).name; }

std::string getFileName(const std::string& path) {
    const SplitPath parts = splitPath(path);
    return parts.name + parts.ext;
}

std::string removeFileExtension(const std::string& path) {
    SplitPath parts = splitPath(path);
    parts.ext.clear();
    return joinPath(parts);
}

std::string getFileExtension(const std::string& path) { return splitPath(path).ext; }

std::string replaceFileExtension(const std::string& path, const std::string& extension) {
    SplitPath parts = splitPath(path);
    parts.ext = extension;
    return joinPath(parts);
}

std::string makeAbsolutePath(const std::string& directory, const std::string& path) {
    const bool hasDrive = path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    if (hasDrive || (!path.empty() && isSeparator(path.front())) || directory.empty()) return path;
    if (isSeparator(directory.back())) return directory + path;
    return directory + "/" + path;
}

std::string getWin32ErrorText() {
    const int code = errno;
    if (code != 0) {
        const std::string text = platform::files::errorText(code);
        if (!text.empty()) return text;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "WIN32 error %08lX", static_cast<unsigned long>(static_cast<unsigned>(code)));
    return buf;
}

}  // namespace tools
