#include "appPlugins/listintake/outlineImport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "appPlugins/pluginFrame/programPluginFrame.h"
#include "channels/channelFile.h"
#include "lib/misc/stringHelpers.h"
#include "platform/profile.h"
#include "tools/codecs.h"
#include "tools/files.h"
#include "tools/http.h"
#include "tools/ini.h"

namespace listintake {

namespace {

void replaceAll(std::string& text, char from, char to) {
    for (char& c : text)
        if (c == from) c = to;
}

// A form value: '+' stands for a blank and "%XX" for a byte. The blanks are
// put back first, so that an encoded "+" (%2B) stays a "+".
std::string decodeFormValue(std::string value) {
    replaceAll(value, '+', ' ');
    return tools::urlDecode(value);
}

std::string readLocalOutline(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || tools::isDirectory(path)) throw std::runtime_error("Can't open the OPML file: " + path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("Can't open the OPML file: " + path);
    return text;
}

std::string downloadOutline(const std::string& url) {
    tools::InternetSession session("Microsoft Internet Explorer");
    int status = 0;
    std::string statusText, location, body;
    tools::readUrl(session, url, nullptr, nullptr, true, nullptr, nullptr, &status, &statusText, &location, body);
    if (status != 200)
        throw std::runtime_error("Couldn't load OPML (HTTP " + std::to_string(status) + " " + statusText +
                                 "): " + url);
    return body;
}

// Writes the channel file of one address unless a file of its name exists.
// False (with the reason) when the file could not be written.
bool createChannelFile(const std::string& channelsDir, const std::string& address, std::string& failure) {
    const std::string path = channelsDir + "/" + channels::makeChannelFileName(address) + ".rss";
    if (tools::isFile(path)) return true;
    if (platform::profile::writeString(path, "Config", "RssChannelUrl", tools::urlEncode(address))) return true;
    failure = path + ": " + std::strerror(errno);
    return false;
}

}  // namespace

std::set<std::string> findOutlineAddresses(const std::string& outline) {
    static const char kAttribute[] = "XMLURL=\"";
    constexpr std::size_t kLength = sizeof kAttribute - 1;
    std::set<std::string> addresses;
    std::size_t pos = 0;
    while (pos < outline.size()) {
        if (toUpperByte(outline[pos]) != 'X' || mbsCompareNoCaseN(outline.substr(pos, kLength), kAttribute, kLength) != 0) {
            ++pos;
            continue;
        }
        const std::size_t start = pos + kLength;
        const std::size_t end = outline.find('"', start);
        if (end == std::string::npos) break;
        std::string value = outline.substr(start, end - start);
        replaceAll(value, '\\', '/');
        addresses.insert(tools::decodeHtmlEntities(tools::decodeHtmlEntities(value)));
        pos = end + 1;
    }
    return addresses;
}

std::set<std::string> findExistingAddresses(const std::string& channelsDir) {
    std::set<std::string> addresses;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(channelsDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (compareNoCase(tools::getFileExtension(name), ".rss") != 0) continue;
        std::string url = tools::getIniString(channelsDir + "/" + name, "Config", "RssChannelUrl", "", true);
        if (url.empty()) continue;
        replaceAll(url, '\\', '/');
        addresses.insert(url);
    }
    return addresses;
}

void importOutlineFeeds(const std::string& channelsDir, const std::string& source, std::ostream& out) {
    const std::set<std::string> existing = findExistingAddresses(channelsDir);

    const std::string decoded = decodeFormValue(source);
    const bool remote = mbsCompareNoCaseN(decoded, "http", 4) == 0;
    const std::string outline = remote ? downloadOutline(decoded) : readLocalOutline(decoded);

    const std::set<std::string> addresses = findOutlineAddresses(outline);
    if (addresses.empty()) throw std::runtime_error("Couldn't find any channels defined in the OPML file.");

    // A file that cannot be written does not stop the others, but the import
    // as a whole is reported as failed.
    std::vector<std::string> failures;
    for (const std::string& address : addresses) {
        if (existing.count(address) != 0) continue;
        std::string failure;
        if (!createChannelFile(channelsDir, address, failure)) failures.push_back(failure);
    }
    if (failures.size() == 1) throw std::runtime_error("Couldn't create the channel file " + failures.front());
    if (!failures.empty())
        throw std::runtime_error("Couldn't create " + std::to_string(failures.size()) +
                                 " channel files; the first: " + failures.front());

    out << "<HTML>" << std::endl
        << "<BODY>" << std::endl
        << "<P>Your OPML channels have been imported. <P>Please restart Orvan." << std::endl
        << "</BODY>" << std::endl
        << "</HTML>" << std::endl;
}

void processRequest(std::ostream& out) {
    pluginframe::getRequiredSystemValue("AppServerUrl");
    const std::string channelsDir = pluginframe::getRequiredSystemValue("ChannelsDir");
    std::map<std::string, std::string> params;
    tools::parseQueryString(pluginframe::getSystemValue("ParamString"), params);
    auto it = params.find("OpmlFilename");
    if (it == params.end()) throw std::runtime_error("Missing 'OpmlFilename' parameter.");
    importOutlineFeeds(channelsDir, it->second, out);
}

}  // namespace listintake
