#include "channels/rss/rssParser.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "channels/exception.h"
#include "channels/rss/htmlEntities.h"
#include "lib/misc/stringHelpers.h"
#include "tools/codecs.h"
#include "tools/dates.h"

namespace channels {

namespace {

// "C" locale classes of the ASCII range; bytes 0x80..0xFF (UTF-8) belong to
// none of them, so they are printable word characters.
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isPunct(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && !((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'));
}

bool isPrintable(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F) || u >= 0x80;
}

std::string trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isSpace(text[first])) ++first;
    while (last > first && isSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

void trimInPlace(std::string& text) {
    std::size_t last = text.size();
    while (last > 0 && isSpace(text[last - 1])) --last;
    text.resize(last);
    std::size_t first = 0;
    while (first < last && isSpace(text[first])) ++first;
    text.erase(0, first);
}

// Reads a leading decimal integer after optional white space and sign;
// false when there is none or it does not fit.
bool readLeadingInt(std::string_view text, int& value) {
    std::size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    if (pos < text.size() && text[pos] == '+' && pos + 1 < text.size() && text[pos + 1] != '-') ++pos;
    return std::from_chars(text.data() + pos, text.data() + text.size(), value).ec == std::errc();
}

int leadingInt(std::string_view text) {
    int value = 0;
    return readLeadingInt(text, value) ? value : 0;
}

// FNV-1a, 64 bits, as 16 hexadecimal digits: a small stable digest for
// identifiers that must not change between runs.
std::string digestHex(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char byte : text) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

// Length of the well-formed UTF-8 sequence at text[pos], 0 when the byte
// there does not begin one.
std::size_t utf8SequenceLength(const std::string& text, std::size_t pos) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b = at(pos);
    if (b < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (pos + length > text.size()) return 0;
    if (at(pos + 1) < low || at(pos + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (at(pos + i) < 0x80 || at(pos + i) > 0xBF) return 0;
    }
    return length;
}

// Every byte from `from` on that is not part of a well-formed UTF-8
// character becomes '?'; the characters themselves stay.
void replaceInvalidUtf8(std::string& text, std::size_t from) {
    std::size_t pos = from;
    while (pos < text.size()) {
        const std::size_t length = utf8SequenceLength(text, pos);
        if (length == 0) {
            text[pos++] = '?';
        } else {
            pos += length;
        }
    }
}

// Elements that hold elements: their handlers never read their text. The
// handlers learn their parent from its position in this list.
const char* const kContainerElements[] = {"RSS",       "RDF:RDF",   "CHANNEL",  "ITEM", "IMAGE",
                                          "TEXTINPUT", "SKIPHOURS", "SKIPDAYS", nullptr};
enum Container { kRss, kRdf, kChannel, kItem, kImage, kTextInput, kSkipHours, kSkipDays };

// How many item start tags the text seems to hold ("<item" followed by
// '>', '/' or white space, in one of its usual spellings): room for that
// many items spares the item list its growth. Only a guess; it may be off.
// The first spelling found at all is the one counted.
std::size_t countItemTags(const std::string& text) {
    static constexpr const char* kSpellings[] = {"<item", "<ITEM", "<Item"};
    std::size_t counts[3] = {0, 0, 0};
    const char* const end = text.data() + text.size();
    for (const char* at = text.data();
         (at = static_cast<const char*>(std::memchr(at, '<', static_cast<std::size_t>(end - at)))); ++at) {
        if (end - at < 5 || (at[1] | 0x20) != 'i') continue;
        const char next = end - at > 5 ? at[5] : '\0';
        if (!(next == '>' || next == '/' || isSpace(next))) continue;
        for (std::size_t i = 0; i < 3; ++i) {
            if (std::memcmp(at, kSpellings[i], 5) == 0) ++counts[i];
        }
    }
    for (std::size_t count : counts) {
        if (count > 0) return count;
    }
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text helpers

std::string cleanRssText(std::string text, bool replaceLineBreaks) {
    std::string result = std::move(text);
    trimInPlace(result);
    // Most texts hold no line break: two quick searches spare them the walk.
    if (replaceLineBreaks && (result.find('\n') != std::string::npos || result.find('\r') != std::string::npos)) {
        for (char& c : result) {
            if (c == '\r' || c == '\n') c = ' ';
        }
    }
    tools::decodeHtmlEntitiesInPlace(result);
    return result;
}

std::string stripRssMarkup(const std::string& text) {
    std::vector<char> quotes;
    bool inTag = false;
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"' || c == '\'') {
            if (!quotes.empty() && quotes.back() == c) {
                quotes.pop_back();
            } else {
                quotes.push_back(c);
            }
            continue;
        }
        if (quotes.empty()) {
            if (c == '<') {
                inTag = true;
                continue;
            }
            if (c == '>') {
                inTag = false;
                c = ' ';
            }
        }
        if (quotes.empty() && !inTag) out += isPrintable(c) ? c : ' ';
    }
    return tools::decodeHtmlEntities(out);
}

std::string makeRssSummary(const std::string& fallback, const std::string& text) {
    const std::string s = stripRssMarkup(text);
    int words = 0;
    bool havePrevious = false;
    char previous = 0;
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const bool atWordEnd = i + 1 == s.size() || isSpace(s[i + 1]);
        if (!isSpace(c) && havePrevious && (isSpace(previous) || isPunct(previous))) {
            if (++words == 20) {
                out += " ...";
                break;
            }
        }
        if (words >= 5 && (c == ';' || c == ':') && atWordEnd) break;
        out += c;
        if (words >= 5 && (c == '.' || c == '!' || c == '?') && atWordEnd) break;
        previous = c;
        havePrevious = true;
    }
    out = trimmed(out);
    return out.empty() ? fallback : out;
}

// ---------------------------------------------------------------------------
// RssParser

std::unique_ptr<Feed> RssParser::parseFeed(const RssParseContext& channel, const std::string& feedText, int maxItems) {
    return parseFeed(channel, std::string(feedText), maxItems);
}

std::unique_ptr<Feed> RssParser::parseFeed(const RssParseContext& channel, std::string&& feedText, int maxItems) {
    std::unique_ptr<Feed> feed;
    try {
        feed = parseAttempt(channel, feedText, maxItems);
    } catch (...) {
        // Second attempt: bytes that are not part of a UTF-8 character
        // become '?'; the characters of the text stay as they are. A
        // leading run of high bytes (a byte order mark) is left alone.
        // The failed attempt handed the text back.
        std::string text;
        text.swap(feedText);
        std::size_t pos = 0;
        if (channel.skipLeadingBinaryData) {
            while (pos < text.size() && static_cast<unsigned char>(text[pos]) >= 0x80) ++pos;
        }
        replaceInvalidUtf8(text, pos);
        feed = parseAttempt(channel, text, maxItems);
    }

    {
        SharedLockGuard guard(&feed->getLock(), __FILE__, __LINE__);
        if (channel.cacheChannelHeader) channel.cacheChannelHeader(feed->getChannelHeader());
    }
    if (feed->getFeedItemCount() == 0 && !channel.allowEmptyFeeds) {
        throw Exception("The channel returned no items.");
    }
    return feed;
}

std::unique_ptr<Feed> RssParser::parse(const RssParseContext& channel, const std::string& feedText, int maxItems) {
    std::string text = feedText;
    return parseAttempt(channel, text, maxItems);
}

std::unique_ptr<Feed> RssParser::parseAttempt(const RssParseContext& channel, std::string& feedText, int maxItems) {
    std::ofstream traceFile;
    std::ostream* trace = nullptr;
    if (!channel.traceFilename.empty()) {
        traceFile.open(channel.traceFilename, std::ios::out | std::ios::trunc | std::ios::binary);
        if (traceFile.is_open()) trace = &traceFile;
    }

    if (feedText.empty()) throw Exception("Empty RSS feed.");

    auto feed = std::make_unique<Feed>();

    std::size_t start = 0;
    if (channel.skipLeadingWhiteSpace) {
        while (start < feedText.size() && isSpace(feedText[start])) ++start;
    }

    {
        // The feed is not shared yet; its lock is held while it is filled.
        ExclusiveLockGuard guard(&feed->getLock(), __FILE__, __LINE__);
        // Room for the items up front (bounded, as the count is a guess from
        // the text), so that the list is not copied as it grows.
        constexpr std::size_t kMostItemsReserved = 1u << 16;
        std::size_t expected = std::min(countItemTags(feedText), kMostItemsReserved);
        if (maxItems > 0) expected = std::min(expected, static_cast<std::size_t>(maxItems));
        feed->getFeedItems().reserve(expected);

        RssXmlParser parser(*feed, maxItems, trace);
        parser.parseAndRelease(feedText, start);
    }
    return feed;
}

// ---------------------------------------------------------------------------
// RssXmlParser

const expat::ElementHandlerRow RssXmlParser::kElementTable[] = {
    {expat::kStartElement, expat::elementHandler(&RssXmlParser::onRootStart), "RSS"},
    {expat::kStartElement, expat::elementHandler(&RssXmlParser::onRootStart), "RDF:RDF"},
    {expat::kStartElement, expat::elementHandler(&RssXmlParser::onChannelStart), "CHANNEL"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onChannelEnd), "CHANNEL"},
    {expat::kStartElement, expat::elementHandler(&RssXmlParser::onItemStart), "ITEM"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onItemEnd), "ITEM"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onGuidEnd), "GUID"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onLinkEnd), "LINK"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onTitleEnd), "TITLE"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onDescriptionEnd), "DESCRIPTION"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onUrlEnd), "URL"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onWidthEnd), "WIDTH"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onHeightEnd), "HEIGHT"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onCopyrightEnd), "COPYRIGHT"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onManagingEditorEnd), "MANAGINGEDITOR"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onWebMasterEnd), "WEBMASTER"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onPubDateEnd), "PUBDATE"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onLastBuildDateEnd), "LASTBUILDDATE"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onGeneratorEnd), "GENERATOR"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onSourceEnd), "SOURCE"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onAuthorEnd), "AUTHOR"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onCommentsEnd), "COMMENTS"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onHourEnd), "HOUR"},
    {expat::kEndElement, expat::elementHandler(&RssXmlParser::onDayEnd), "DAY"},
    {expat::kEndOfTable, nullptr, ""},
};

RssXmlParser::RssXmlParser(Feed& feed, int maxItems, std::ostream* trace)
    : expat::Parser(kElementTable), feed_(feed), maxItems_(maxItems), trace_(trace) {
    // Feeds written for browsers use HTML's named entities, with or without
    // a DOCTYPE that would declare them.
    setDocumentType(htmlEntityDeclarations());
    setContainerElements(kContainerElements);
}

void RssXmlParser::finishDocument() {
    if (!rootSeen_) throw Exception("Not an RSS feed.");
}

void RssXmlParser::traceLine(const char* line) {
    if (trace_) *trace_ << line << '\n';
}

void RssXmlParser::startElement(const char* name, const char** attributes) {
    if (trace_) {
        *trace_ << "START ELEMENT: " << name << '\n';
        for (const char** attribute = attributes; attribute && attribute[0] && attribute[1]; attribute += 2) {
            *trace_ << "- " << attribute[0] << " = '" << attribute[1] << "'\n";
        }
    }
}

void RssXmlParser::endElement(const char* name) {
    if (trace_) *trace_ << "END ELEMENT: " << name << '\n';
}

void RssXmlParser::onRootStart() { rootSeen_ = true; }

void RssXmlParser::onChannelStart() {
    const int parent = getParentContainer();
    if (parent == kRss || parent == kRdf) {
        traceLine("Starting a new channel.");
        header_.clear();
    }
}

void RssXmlParser::onChannelEnd() {
    const int parent = getParentContainer();
    if (parent == kRss || parent == kRdf) {
        traceLine("Saving the channel details.");
        header_.ChannelDisplayName = cleanRssText(header_.ChannelDisplayName, true);
        header_.ChannelDescription = cleanRssText(header_.ChannelDescription, false);
        feed_.setChannelHeader(header_);
    }
}

void RssXmlParser::onItemStart() {
    traceLine("Starting a new item.");
    itemGuid_.clear();
    itemLink_.clear();
    itemTitle_.clear();
    itemDescription_.clear();
    itemSource_.clear();
    itemAuthor_.clear();
    itemComments_.clear();
    itemPubDate_.clear();
}

void RssXmlParser::onItemEnd() {
    // The caller holds the feed's lock while it is filled.
    std::vector<FeedItem>& items = feed_.getFeedItems();
    if (maxItems_ > 0 && items.size() >= static_cast<std::size_t>(maxItems_)) return;

    // White space around a guid or link is not part of the identifier (a
    // stored item is read back trimmed and must still be the same item).
    trimInPlace(itemGuid_);
    trimInPlace(itemLink_);
    const std::string& guid = itemGuid_;
    std::string link = std::move(itemLink_);
    const bool identified = !guid.empty() || !link.empty();
    // The channel's link, as often written on lines of its own, stands in
    // for the item's: trimmed as well.
    if (link.empty()) link = guid.empty() ? trimmed(header_.ChannelHomeUrl) : guid;

    traceLine("Saving the new item.");

    std::string title = itemTitle_.empty() ? cleanRssText(makeRssSummary(link, itemDescription_), true)
                                           : cleanRssText(std::move(itemTitle_), true);
    std::string description = cleanRssText(std::move(itemDescription_), false);

    std::string id;
    if (!guid.empty()) {
        id = std::move(itemGuid_);
    } else if (identified) {
        id = link;
    } else {
        // Neither guid nor link: the channel's link would be shared by every
        // such item, so the item's own text tells them apart.
        id = link + "#" + digestHex(title + '\n' + description);
    }

    // The item copies the texts into a block of its own.
    items.emplace_back(id, title, description, link, itemSource_, itemAuthor_, itemComments_, itemPubDate_);
}

void RssXmlParser::onGuidEnd() {
    if (getParentContainer() == kItem) itemGuid_ = std::string(text());
}

void RssXmlParser::onLinkEnd() {
    const int parent = getParentContainer();
    if (parent == kItem) {
        itemLink_ = std::string(text());
    } else if (parent == kChannel) {
        header_.ChannelHomeUrl = std::string(text());
    }
}

void RssXmlParser::onTitleEnd() {
    const int parent = getParentContainer();
    if (parent == kItem) {
        itemTitle_ = std::string(text());
    } else if (parent == kChannel) {
        header_.ChannelDisplayName = std::string(text());
    }
}

void RssXmlParser::onDescriptionEnd() {
    const int parent = getParentContainer();
    if (parent == kItem) {
        itemDescription_ = std::string(text());
    } else if (parent == kChannel) {
        header_.ChannelDescription = std::string(text());
    }
}

void RssXmlParser::onUrlEnd() {
    if (getParentContainer() == kImage) header_.ChannelImageUrl = std::string(text());
}

void RssXmlParser::onWidthEnd() {
    if (getParentContainer() == kImage) header_.ChannelImageWidth = leadingInt(text());
}

void RssXmlParser::onHeightEnd() {
    if (getParentContainer() == kImage) header_.ChannelImageHeight = leadingInt(text());
}

void RssXmlParser::onCopyrightEnd() {
    if (getParentContainer() == kChannel) header_.CopyrightString = std::string(text());
}

void RssXmlParser::onManagingEditorEnd() {
    if (getParentContainer() == kChannel) header_.EditorEmailAddress = std::string(text());
}

void RssXmlParser::onWebMasterEnd() {
    if (getParentContainer() == kChannel) header_.WebMasterEmailAddress = std::string(text());
}

void RssXmlParser::onPubDateEnd() {
    const int parent = getParentContainer();
    if (parent == kChannel) {
        header_.PubDateString = std::string(text());
    } else if (parent == kItem) {
        itemPubDate_ = std::string(text());
    }
}

void RssXmlParser::onLastBuildDateEnd() {
    if (getParentContainer() == kChannel) header_.LastBuildDateString = std::string(text());
}

void RssXmlParser::onGeneratorEnd() {
    if (getParentContainer() == kChannel) header_.FeedGenerator = std::string(text());
}

void RssXmlParser::onSourceEnd() {
    if (getParentContainer() == kItem) itemSource_ = std::string(text());
}

void RssXmlParser::onAuthorEnd() {
    if (getParentContainer() == kItem) itemAuthor_ = std::string(text());
}

void RssXmlParser::onCommentsEnd() {
    if (getParentContainer() == kItem) itemComments_ = std::string(text());
}

void RssXmlParser::onHourEnd() {
    if (getParentContainer() != kSkipHours) return;
    int hour = 0;
    if (readLeadingInt(text(), hour) && hour >= 0 && hour <= 23) header_.SkipHours.insert(hour);
}

void RssXmlParser::onDayEnd() {
    if (getParentContainer() != kSkipDays) return;
    const int day = tools::getDayOfWeekIndex(std::string(text()));
    if (day != -1) header_.SkipDays.insert(day);
}

}  // namespace channels
