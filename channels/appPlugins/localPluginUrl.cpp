#include "channels/appPlugins/localPluginUrl.h"

#include <map>
#include <mutex>

#include "channels/exception.h"
#include "lib/misc/stringHelpers.h"

namespace channels {

namespace {

const std::string kLocalPrefix = "http://127.0.0.1:";

struct FeedNameTable {
    std::mutex mutex;
    std::map<std::string, std::int32_t, LessNoCase> names;
};

FeedNameTable& feedNameTable() {
    static FeedNameTable* table = new FeedNameTable;  // usable from static destructors too
    return *table;
}

}  // namespace

std::string makeLocalServerUrl(int port) { return kLocalPrefix + std::to_string(port); }

bool isAppPluginUrl(const std::string& url, std::string& appPluginId) {
    if (url.size() < kLocalPrefix.size() || mbsCompareNoCaseN(url, kLocalPrefix.c_str(), kLocalPrefix.size()) != 0)
        return false;
    const std::size_t slash = url.find('/', kLocalPrefix.size());
    if (slash == std::string::npos) return false;
    const std::size_t idStart = slash + 1;
    const std::size_t idEnd = url.find('/', idStart);
    appPluginId = url.substr(idStart, idEnd == std::string::npos ? std::string::npos : idEnd - idStart);
    return true;
}

void parsePluginUri(const std::string& path, std::string& appPluginId, std::string& request, std::string& paramString) {
    if (path.empty() || path[0] != '/') throw Exception("Invalid plugin URI: " + path);
    const std::size_t idEnd = path.find('/', 1);
    if (idEnd == std::string::npos) {
        appPluginId = path.substr(1);
        request.clear();
        paramString.clear();
        return;
    }
    appPluginId = path.substr(1, idEnd - 1);
    const std::string rest = path.substr(idEnd + 1);
    const std::size_t question = rest.find('?');
    if (question == std::string::npos) {
        request = rest;
        paramString.clear();
    } else {
        request = rest.substr(0, question);
        paramString = rest.substr(question + 1);
    }
}

bool lookUpAppPluginFeedName(const std::string& name, std::int32_t& value) {
    FeedNameTable& table = feedNameTable();
    std::lock_guard<std::mutex> guard(table.mutex);
    const auto it = table.names.find(name);
    if (it == table.names.end()) return false;
    value = it->second;
    return true;
}

void setAppPluginFeedName(const std::string& name, std::int32_t value) {
    FeedNameTable& table = feedNameTable();
    std::lock_guard<std::mutex> guard(table.mutex);
    table.names[name] = value;
}

void clearAppPluginFeedNames() {
    FeedNameTable& table = feedNameTable();
    std::lock_guard<std::mutex> guard(table.mutex);
    table.names.clear();
}

}  // namespace channels
