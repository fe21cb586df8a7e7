#pragma once
// siteseek: searches an outside feed directory (an XML-RPC service reached
// over HTTP) and lists the feeds it finds. The library's entry points
// (exports.cpp) wrap one Siteseek object; the object itself is plain C++ and
// reports failures as exceptions:
//
//   siteseek::Siteseek plugin;
//   plugin.load("/opt/orvan/appPlugins/siteseek/siteseek.plugin");  // throws PluginError (code 4)
//   std::string page = plugin.processRequest("search", "SearchText=news");
//
// Files are looked up in the folder of the definition file: the main page
// (Siteseek-MainPage.template), the results page (Siteseek-ResultsPage.template)
// and the two request bodies (Siteseek-FindSites.template,
// Siteseek-GetFeedInfo.template).
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/http.h"

class CMessageGroup;

namespace siteseek {

// Return codes of the library's entry points.
constexpr int kSuccess = 0;
constexpr int kRequestFailed = 1;  // the search was accepted but failed; the text says why
constexpr int kNoMemory = 2;
constexpr int kNoMainPageTemplate = 3;
constexpr int kNoInternetSession = 4;
constexpr int kInvalidRequest = 6;

// A failure that the entry points report with its own code.
class PluginError : public std::runtime_error {
public:
    PluginError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// One feed of the directory.
struct FeedInfo {
    std::string url;
    std::string name;
    std::string description;
};

// Names of the reply elements, from the definition file's [Config].
struct ReplyTags {
    std::string findSitesResponse = "methodResponse";
    std::string getFeedInfoResponse = "methodResponse";
    std::string channelName = "sitename";
    std::string channelUrl = "dataurl";
    std::string channelDescription = "description";
};

class Siteseek {
public:
    Siteseek();
    ~Siteseek();
    Siteseek(const Siteseek&) = delete;
    Siteseek& operator=(const Siteseek&) = delete;

    // Reads the reply tags and opens the Internet session.
    void load(const std::string& definitionFile);
    // Closes the Internet session.
    void unload();

    // The main page template as it stands. PluginError(kNoMainPageTemplate).
    std::string generateMainPage() const;
    // Answers "search" with the results page. PluginError(kInvalidRequest)
    // for another request or a parameter string without SearchText;
    // std::runtime_error for every failure of an accepted search.
    std::string processRequest(const std::string& request, const std::string& params);

    // The two calls to the directory service and the one HTTP exchange under them.
    std::vector<int> findSites(const std::string& host, const std::string& path, const std::string& searchText);
    std::vector<FeedInfo> getFeedInfo(const std::string& host, const std::string& path, const std::vector<int>& ids);
    std::string postHttpRequest(const std::string& host, const std::string& path, const std::string& body);

    const std::string& definitionFile() const { return definitionFile_; }
    const std::string& folder() const { return folder_; }
    const ReplyTags& replyTags() const { return tags_; }
    // The session every request goes through (null while not loaded).
    tools::InternetSession* session() { return session_.get(); }

private:
    std::string readTemplate(const std::string& name, const std::string& failure) const;

    std::string definitionFile_;
    std::string folder_;
    ReplyTags tags_;
    std::unique_ptr<tools::InternetSession> session_;
};

// The search text of a "SearchText=..." parameter string: the value up to
// the next '&', with '+' as a blank and "%XX" escapes decoded, trimmed.
std::string decodeSearchText(const std::string& params);

// Text for XML character data and attribute values (control characters,
// which XML cannot hold, become blanks).
std::string escapeXml(const std::string& text);

// A reply in UTF-16 (told by its byte order mark or its first character)
// as UTF-8, its declaration saying so; any other reply as it stands.
std::string replyAsUtf8(const std::string& reply);

// The response element of a reply: from "<tag>" through "</tag>", with the
// reply's XML declaration (and so its declared encoding) kept in front.
// Throws "Can't find the start/end of the XML response.".
std::string cutReply(const std::string& reply, const std::string& tag);

// Throws when the cut response is an XML-RPC fault.
void checkForFault(const std::string& response);

// The two reply parsers over a cut response.
std::vector<int> parseFindSitesReply(const std::string& response);
std::vector<FeedInfo> parseGetFeedInfoReply(const std::string& response, const ReplyTags& tags);

// The results page: one copy of the template's repeat block per feed, for at
// most kMaxResultsShown feeds; a feed's name and description are cut to
// bounded lengths and a feed whose address is too long is not listed.
// FEED-URL is the address for a link, FEED-URL-ENCODED the address
// percent-encoded for a query value (the subscribe link).
constexpr std::size_t kMaxResultsShown = 100;
constexpr std::size_t kMaxFeedUrlLength = 2048;
constexpr std::size_t kMaxFeedNameLength = 256;
constexpr std::size_t kMaxFeedDescriptionLength = 2048;
std::string expandResultsPage(const std::string& templateText, const std::vector<FeedInfo>& feeds);

// The library's message groups.
CMessageGroup& logGroupProcessRequest();
CMessageGroup& logGroupHttpRequests();

}  // namespace siteseek
