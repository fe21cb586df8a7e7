#include "appPlugins/siteseek/siteseek.h"

#include <fstream>
#include <iterator>

#include "lib/log/messageGroup.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "tools/codecs.h"
#include "tools/files.h"
#include "tools/ini.h"

namespace siteseek {

namespace {

const char kConfig[] = "Config";
constexpr int kDefaultMaxResults = 100;

}  // namespace

namespace {

// Defined when the library is loaded, so that the debug file read at load
// switches them.
CMessageGroup g_processRequest("ProcessRequest", "");
CMessageGroup g_httpRequests("HttpRequests", "");

}  // namespace

CMessageGroup& logGroupProcessRequest() { return g_processRequest; }
CMessageGroup& logGroupHttpRequests() { return g_httpRequests; }

Siteseek::Siteseek() = default;
Siteseek::~Siteseek() = default;

void Siteseek::load(const std::string& definitionFile) {
    definitionFile_ = definitionFile;
    folder_ = tools::getDirectoryOf(definitionFile);
    ReplyTags defaults;
    tags_.findSitesResponse =
        tools::getIniString(definitionFile, kConfig, "FindSites_MethodResponseTag", defaults.findSitesResponse, true);
    tags_.getFeedInfoResponse = tools::getIniString(definitionFile, kConfig, "GetFeedInfo_MethodResponseTag",
                                                    defaults.getFeedInfoResponse, true);
    tags_.channelName =
        tools::getIniString(definitionFile, kConfig, "GetFeedInfo_ChannelNameTag", defaults.channelName, true);
    tags_.channelUrl =
        tools::getIniString(definitionFile, kConfig, "GetFeedInfo_ChannelUrlTag", defaults.channelUrl, true);
    tags_.channelDescription = tools::getIniString(definitionFile, kConfig, "GetFeedInfo_ChannelDescriptionTag",
                                                   defaults.channelDescription, true);
    try {
        session_ = std::make_unique<tools::InternetSession>("Microsoft Internet Explorer");
    } catch (const std::exception& e) {
        throw PluginError(kNoInternetSession, std::string("Can't open an internet connection: rc=") + e.what());
    }
    if (!session_->shareHandle())
        throw PluginError(kNoInternetSession, "Can't open an internet connection: rc=" + tools::getWin32ErrorText());
}

void Siteseek::unload() { session_.reset(); }

std::string Siteseek::readTemplate(const std::string& name, const std::string& failure) const {
    const std::string path = folder_ + name;
    std::ifstream in(path, std::ios::binary);
    if (!in || tools::isDirectory(path)) throw std::runtime_error(failure + path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Siteseek::generateMainPage() const {
    const std::string path = folder_ + "Siteseek-MainPage.template";
    std::ifstream in(path, std::ios::binary);
    if (!in || tools::isDirectory(path))
        throw PluginError(kNoMainPageTemplate, "Can't open the Siteseek main page template file.");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string decodeSearchText(const std::string& params) {
    const std::size_t start = params.find('=') + 1;
    std::string value = params.substr(start, params.find('&', start) - start);
    for (char& c : value)
        if (c == '+') c = ' ';
    return trimmedCopy(tools::urlDecode(value));
}

std::string Siteseek::processRequest(const std::string& request, const std::string& params) {
    ORVAN_LOG(logGroupProcessRequest()) << "PROCESS REQUEST: pluginRequest=" << request << std::endl;
    if (mbsCompareNoCase(request, "search") != 0)
        throw PluginError(kInvalidRequest, "Invalid plugin request: " + request);
    if (mbsCompareNoCaseN(params, "SearchText=", 11) != 0)
        throw PluginError(kInvalidRequest, "Invalid search string format.");

    const std::string searchText = decodeSearchText(params);
    if (searchText.empty()) throw std::runtime_error("Please enter a search string.");
    ORVAN_LOG(logGroupProcessRequest()) << "SearchString='" << searchText << "'" << std::endl;

    const std::string host = tools::getIniString(definitionFile_, kConfig, "HostName", "", true);
    if (host.empty()) throw std::runtime_error("The host name has not been configured.");
    const std::string path = tools::getIniString(definitionFile_, kConfig, "XmlRpcUrl", "", true);
    if (path.empty()) throw std::runtime_error("The XML-RPC url has not been configured.");
    ORVAN_LOG(logGroupProcessRequest()) << "Finding sites: hostName=" << host << " ; url=" << path << std::endl;

    std::vector<int> ids = findSites(host, path, searchText);
    const int limit = tools::getIniIntInRange(definitionFile_, kConfig, "MaxResults", 10, 100, kDefaultMaxResults);
    if (ids.size() > static_cast<std::size_t>(limit)) {
        ORVAN_LOG_ANY() << "Found " << ids.size() << " results ; limiting to " << limit << "." << std::endl;
        ids.resize(static_cast<std::size_t>(limit));
    }

    ORVAN_LOG(logGroupProcessRequest()) << "Getting the info for each matching feed." << std::endl;
    const std::vector<FeedInfo> feeds = getFeedInfo(host, path, ids);
    return expandResultsPage(
        readTemplate("Siteseek-ResultsPage.template", "Can't open the results page template file: "), feeds);
}

}  // namespace siteseek
