// The results page: the template's repeat block once per feed found. Every
// text that came from the directory is HTML-escaped, and a feed address is
// given to the page only when it is an http or https address: the page is
// served from the program's own loopback server, where a "javascript:" link
// would run with the program's rights.
#include <sstream>

#include "appPlugins/siteseek/rowTemplateProcessor.h"
#include "appPlugins/siteseek/siteseek.h"
#include "lib/misc/stringHelpers.h"
#include "tools/codecs.h"

namespace siteseek {

namespace {

bool isWebAddress(const std::string& url) {
    return mbsCompareNoCaseN(url, "http://", 7) == 0 || mbsCompareNoCaseN(url, "https://", 8) == 0;
}

// The text cut to at most `limit` bytes, not inside a UTF-8 sequence.
std::string cut(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end) + "...";
}

// The feeds the page lists, bounded in number and length.
std::vector<FeedInfo> boundedFeeds(const std::vector<FeedInfo>& feeds) {
    std::vector<FeedInfo> shown;
    for (const FeedInfo& feed : feeds) {
        if (shown.size() == kMaxResultsShown) break;
        if (feed.url.size() > kMaxFeedUrlLength) continue;
        shown.push_back(
            {feed.url, cut(feed.name, kMaxFeedNameLength), cut(feed.description, kMaxFeedDescriptionLength)});
    }
    return shown;
}

class ResultsPageTemplateProcessor : public RowTemplateProcessor {
public:
    explicit ResultsPageTemplateProcessor(const std::vector<FeedInfo>& feeds)
        : RowTemplateProcessor(feeds.size()), feeds_(feeds) {}

    bool getValue(const std::string& name, std::string& value) override {
        if (compareNoCase(name, "NUM-RESULTS") == 0) {
            value = std::to_string(feeds_.size());
            return true;
        }
        const bool encodedUrl = compareNoCase(name, "FEED-URL-ENCODED") == 0;
        const bool url = encodedUrl || compareNoCase(name, "FEED-URL") == 0;
        const bool feedName = compareNoCase(name, "FEED-NAME") == 0;
        const bool description = compareNoCase(name, "FEED-DESCRIPTION") == 0;
        if (!url && !feedName && !description) return TemplateProcessor::getValue(name, value);

        // Outside a repeat block no feed is current.
        value.clear();
        if (row() < 0) return true;
        const FeedInfo& feed = feeds_[static_cast<std::size_t>(row())];
        if (url && !isWebAddress(feed.url))
            value.clear();
        else if (encodedUrl)
            value = tools::urlEncode(feed.url, " !\"#$&'()*+,/:;<=>?@[\\]^`{|}");
        else if (url)
            value = tools::escapeHtml(feed.url);
        else if (feedName)
            value = tools::escapeHtml(feed.name);
        else
            value = feed.description.empty() ? std::string("No description.") : tools::escapeHtml(feed.description);
        return true;
    }

private:
    const std::vector<FeedInfo>& feeds_;
};

}  // namespace

std::string expandResultsPage(const std::string& templateText, const std::vector<FeedInfo>& feeds) {
    const std::vector<FeedInfo> shown = boundedFeeds(feeds);
    ResultsPageTemplateProcessor processor(shown);
    std::istringstream in(templateText);
    std::ostringstream out;
    processor.run(in, out);
    return out.str();
}

}  // namespace siteseek
