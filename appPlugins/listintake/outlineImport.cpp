#include "appPlugins/listintake/outlineImport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
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

// The largest outline read, from a file or the network.
constexpr std::size_t kMaxOutlineSize = 16u * 1024u * 1024u;
// The import stops creating files after this long and says how far it got,
// well before the host's script time-out ends the run unreported.
constexpr auto kImportTimeBudget = std::chrono::seconds(8);

std::string readLocalOutline(const std::string& path) {
    // Only a regular file: a device or a pipe (/dev/zero, a FIFO) never ends.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw std::runtime_error("Can't open the OPML file: " + path);
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxOutlineSize)
        throw std::runtime_error("The OPML file is too large (more than " + std::to_string(kMaxOutlineSize >> 20) +
                                 " MB): " + path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Can't open the OPML file: " + path);
    std::string text(kMaxOutlineSize + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) throw std::runtime_error("Can't open the OPML file: " + path);
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxOutlineSize)
        throw std::runtime_error("The OPML file is too large (more than " + std::to_string(kMaxOutlineSize >> 20) +
                                 " MB): " + path);
    return text;
}

std::string downloadOutline(const std::string& url) {
    tools::InternetSession session("Microsoft Internet Explorer");
    session.setMaxBodySize(kMaxOutlineSize);
    session.setConnectTimeoutMs(5000);
    session.setTransferTimeoutMs(8000);
    int status = 0;
    std::string statusText, location, body;
    tools::readUrl(session, url, nullptr, nullptr, true, nullptr, nullptr, &status, &statusText, &location, body);
    if (status != 200)
        throw std::runtime_error("Couldn't load OPML (HTTP " + std::to_string(status) + " " + statusText + "): " + url);
    return body;
}

bool startsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return text.size() >= n && mbsCompareNoCaseN(text, prefix, n) == 0;
}

// How the channel engine compares addresses: slashes and back-slashes alike,
// letter case ignored.
std::string addressKey(std::string address) {
    replaceAll(address, '\\', '/');
    for (char& c : address) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return address;
}

std::string escape(const std::string& text) { return tools::escapeHtml(text); }

// Writes a new channel file; never replaces one. Created, Exists (a file of
// that name is there already) or Failed (with the reason).
enum class Created { Created, Exists, Failed };
Created createChannelFile(const std::string& channelsDir, const std::string& address, std::string& failure) {
    const std::string path = channelsDir + "/" + channels::makeChannelFileName(address) + ".rss";
    // A new file only (O_EXCL: never one that appeared meanwhile), its few
    // bytes in one write; a file that could not be written whole is removed.
    // Nothing reads it before the main program's next start, and the folder
    // is synced once at the end rather than every file: a file written aside
    // and linked in took fifteen times as long, too long for a list of
    // thousands.
    const std::string text = "[Config]\nRssChannelUrl=" + tools::urlEncode(address) + "\n";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return Created::Exists;
        failure = path + ": " + std::strerror(errno);
        return Created::Failed;
    }
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) ::unlink(path.c_str());
    if (ok) return Created::Created;
    failure = path + ": " + std::strerror(err);
    return Created::Failed;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::syncfs(fd);
    ::close(fd);
}

}  // namespace

std::string checkOutlineAddress(const std::string& value, std::string& reason) {
    std::string address = value;
    address.erase(0, address.find_first_not_of(" \t\r\n"));
    address.erase(address.find_last_not_of(" \t\r\n") + 1);
    if (address.empty()) {
        reason = "no address";
        return {};
    }
    if (std::any_of(address.begin(), address.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; })) {
        reason = "the address holds control characters";
        return {};
    }
    if (startsWithNoCase(address, "feed:")) {
        const std::string rest = address.substr(5);
        address = startsWithNoCase(rest, "//") ? "http:" + rest : rest;
    }
    const std::size_t schemeEnd = startsWithNoCase(address, "http://")    ? 7
                                  : startsWithNoCase(address, "https://") ? 8
                                                                          : 0;
    if (schemeEnd == 0 || address.size() == schemeEnd) {
        reason = "not an http, https or feed address";
        return {};
    }
    return address;
}

std::set<std::string> findOutlineAddresses(const std::string& outline) {
    static const char kAttribute[] = "XMLURL=\"";
    constexpr std::size_t kLength = sizeof kAttribute - 1;
    std::set<std::string> addresses;
    std::size_t pos = 0;
    while (pos < outline.size()) {
        if (toUpperByte(outline[pos]) != 'X' ||
            mbsCompareNoCaseN(outline.substr(pos, kLength), kAttribute, kLength) != 0) {
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
    std::set<std::string> existing;
    for (const std::string& address : findExistingAddresses(channelsDir)) existing.insert(addressKey(address));

    const std::string decoded = decodeFormValue(source);
    const bool remote = startsWithNoCase(decoded, "http://") || startsWithNoCase(decoded, "https://");
    const std::string outline = remote ? downloadOutline(decoded) : readLocalOutline(decoded);

    const std::set<std::string> values = findOutlineAddresses(outline);
    if (values.empty()) throw std::runtime_error("Couldn't find any channels defined in the OPML file.");

    // Outlines that are not imported, with the reason.
    std::vector<std::pair<std::string, std::string>> skipped;
    // The addresses to import, once each as the engine tells them apart.
    std::map<std::string, std::string> addresses;
    for (const std::string& value : values) {
        std::string reason;
        const std::string address = checkOutlineAddress(value, reason);
        if (address.empty())
            skipped.emplace_back(value, reason);
        else
            addresses.emplace(addressKey(address), address);
    }

    // A file that cannot be written does not stop the others, but the import
    // as a whole is reported as failed.
    const auto deadline = std::chrono::steady_clock::now() + kImportTimeBudget;
    std::vector<std::string> failures;
    std::size_t created = 0, left = 0;
    for (const auto& [key, address] : addresses) {
        if (existing.count(key) != 0) continue;
        if (std::chrono::steady_clock::now() >= deadline) {
            ++left;
            continue;
        }
        std::string failure;
        switch (createChannelFile(channelsDir, address, failure)) {
            case Created::Created:
                ++created;
                break;
            case Created::Exists:
                skipped.emplace_back(address, "a channel file of the same name exists: " +
                                                  channels::makeChannelFileName(address) + ".rss");
                break;
            case Created::Failed:
                failures.push_back(failure);
                break;
        }
    }
    syncFolder(channelsDir);
    const std::string made = std::to_string(created) + " new channel" + (created == 1 ? "" : "s") + " created";
    if (failures.size() == 1)
        throw std::runtime_error("Couldn't create the channel file " + failures.front() + " (" + made + ").");
    if (!failures.empty())
        throw std::runtime_error("Couldn't create " + std::to_string(failures.size()) +
                                 " channel files; the first: " + failures.front() + " (" + made + ").");

    out << "<HTML>" << std::endl << "<BODY>" << std::endl;
    if (left != 0)
        out << "<P>The import took too long and stopped: " << made << ", " << left
            << " not yet imported. Import the list again for the rest. <P>Please restart Orvan." << std::endl;
    else if (created == 0 && !skipped.empty())
        out << "<P>No new channels were imported." << std::endl;
    else
        out << "<P>Your OPML channels have been imported. <P>Please restart Orvan." << std::endl;
    if (!skipped.empty()) {
        out << "<P>" << skipped.size() << " outline" << (skipped.size() == 1 ? " was" : "s were")
            << " not imported:" << std::endl
            << "<UL>" << std::endl;
        for (const auto& [value, reason] : skipped)
            out << "<LI>" << escape(value.empty() ? std::string("(empty)") : value) << ": " << escape(reason) << "</LI>"
                << std::endl;
        out << "</UL>" << std::endl;
    }
    out << "</BODY>" << std::endl << "</HTML>" << std::endl;
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
