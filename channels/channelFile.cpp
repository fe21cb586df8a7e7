#include "channels/channelFile.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "lib/misc/stringHelpers.h"

namespace channels {

namespace {

std::string joinChannelPath(const std::string& dir, const std::string& base, const std::string& extension) {
    std::string name = base;
    if (!extension.empty()) {
        if (extension[0] != '.') name += '.';
        name += extension;
    }
    if (dir.empty()) return name;
    return (std::filesystem::path(dir) / name).string();
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

}  // namespace

std::string makeChannelFileName(const std::string& sourceUrl) {
    static const std::string kHttp = "http://";
    static const std::string kLocal = "127.0.0.1_";

    std::string name = sourceUrl;
    bool removedHttp = false;
    if (name.size() >= kHttp.size() && mbsCompareNoCaseN(name, kHttp.c_str(), kHttp.size()) == 0) {
        name.erase(0, kHttp.size());
        removedHttp = true;
    }
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':' || c == '?' || c == '*') c = '_';
    }
    // A local plug-in URL: mask the port so the name survives a port change.
    if (removedHttp && name.compare(0, kLocal.size(), kLocal) == 0) {
        for (std::size_t i = kLocal.size(); i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i) {
            name[i] = 'X';
        }
    }
    return name;
}

std::string makeChannelFilePath(const std::string& channelsDir, const std::string& sourceUrl,
                                const std::string& extension) {
    const std::string base = makeChannelFileName(sourceUrl);
    std::string path = joinChannelPath(channelsDir, base, extension);
    for (unsigned counter = 1; pathExists(path); ++counter) {
        path = joinChannelPath(channelsDir, base + "-" + std::to_string(counter), extension);
    }
    return path;
}

}  // namespace channels
