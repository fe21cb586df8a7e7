#pragma once
// Turns the raw text of an RSS or RDF feed into a channels::Feed.
//
//   channels::RssParseContext context;            // from the channel
//   context.allowEmptyFeeds = settings.getAllowEmptyFeeds();
//   context.cacheChannelHeader = [&](const channels::ChannelHeader& h) { config.setChannelHeader(h); };
//   std::unique_ptr<channels::Feed> feed = channels::RssParser().parseFeed(context, text, maxItems);
//
// Accepts documents rooted at rss (items inside channel) and rdf:RDF (items
// beside channel); element names compare without regard to case. Texts stay
// UTF-8. Failures throw channels::Exception ("Empty RSS feed.", "Not an RSS
// feed.", "The channel returned no items.") or expat::Exception.
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "channels/feed/channelHeader.h"
#include "channels/feed/feed.h"
#include "expat/parser.h"

namespace channels {

// What a parse needs to know of the channel it parses for.
struct RssParseContext {
    // The channel's trace file (its ".parse" log file) when its processing is
    // logged; empty for no trace. A file that can't be opened means no trace.
    std::string traceFilename;
    // Skip white space before the document (debug switch, default on).
    bool skipLeadingWhiteSpace = true;
    // On the second attempt, keep a leading run of bytes 0x80..0xFF (a byte
    // order mark) as it is (debug switch, default on).
    bool skipLeadingBinaryData = true;
    // A feed without items is accepted.
    bool allowEmptyFeeds = false;
    // Receives the header of every parsed feed, also one rejected for having
    // no items (the channel keeps it as its cached header). May be empty.
    std::function<void(const ChannelHeader&)> cacheChannelHeader;
};

class RssParser {
public:
    virtual ~RssParser() = default;

    // Parses the text; when that fails, parses once more with every byte
    // that is not part of a UTF-8 character (after a leading run of bytes
    // 0x80..0xFF, see skipLeadingBinaryData) replaced by '?'. maxItems > 0
    // keeps only the first maxItems items. HTML's named entities are known
    // in every feed; an entity nobody declared keeps its reference text.
    // The XML parser is given its own copy of the text.
    std::unique_ptr<Feed> parseFeed(const RssParseContext& channel, const std::string& feedText, int maxItems);
    // The same for a text the caller gives up: its memory is freed as soon as
    // the XML parser holds the document, so a large feed is not held twice.
    std::unique_ptr<Feed> parseFeed(const RssParseContext& channel, std::string&& feedText, int maxItems);

    // One parse attempt (on a copy of the text).
    virtual std::unique_ptr<Feed> parse(const RssParseContext& channel, const std::string& feedText, int maxItems);

private:
    // One attempt; the text's memory goes to the XML parser and feedText is
    // left empty, unless the attempt throws: feedText then holds the text
    // again.
    std::unique_ptr<Feed> parseAttempt(const RssParseContext& channel, std::string& feedText, int maxItems);
};

// The expat handlers that fill a Feed.
class RssXmlParser : public expat::Parser {
public:
    // trace may be null; the feed is not owned. The caller holds the feed's
    // lock (exclusive) while the parser fills it.
    RssXmlParser(Feed& feed, int maxItems, std::ostream* trace);

    // An rss or rdf:RDF element was met.
    bool isRootSeen() const { return rootSeen_; }

protected:
    // Throws "Not an RSS feed." when no rss or rdf:RDF element was met.
    void finishDocument() override;
    void startElement(const char* name, const char** attributes) override;
    void endElement(const char* name) override;

private:
    static const expat::ElementHandlerRow kElementTable[];

    void traceLine(const char* text);
    std::string_view text() const { return elementText(); }

    void onRootStart();
    void onChannelStart();
    void onChannelEnd();
    void onItemStart();
    void onItemEnd();
    void onGuidEnd();
    void onLinkEnd();
    void onTitleEnd();
    void onDescriptionEnd();
    void onUrlEnd();
    void onWidthEnd();
    void onHeightEnd();
    void onCopyrightEnd();
    void onManagingEditorEnd();
    void onWebMasterEnd();
    void onPubDateEnd();
    void onLastBuildDateEnd();
    void onGeneratorEnd();
    void onSourceEnd();
    void onAuthorEnd();
    void onCommentsEnd();
    void onHourEnd();
    void onDayEnd();

    Feed& feed_;
    int maxItems_;
    std::ostream* trace_;
    ChannelHeader header_;
    bool rootSeen_ = false;

    std::string itemGuid_;
    std::string itemLink_;
    std::string itemTitle_;
    std::string itemDescription_;
    std::string itemSource_;
    std::string itemAuthor_;
    std::string itemComments_;
    std::string itemPubDate_;
};

// Trims the text, replaces CR and LF by blanks when asked, decodes the HTML
// entities nbsp lt gt quot amp tilde circ.
std::string cleanRssText(std::string text, bool replaceLineBreaks);
// Drops tags and quoted runs (of " or ') and decodes entities; a tag's '>'
// becomes a blank, other control characters become blanks.
std::string stripRssMarkup(const std::string& text);
// A short title made from the start of a description: up to the end of the
// first sentence that follows five words, or twenty words and " ...";
// the fallback when nothing is left.
std::string makeRssSummary(const std::string& fallback, const std::string& text);

}  // namespace channels
