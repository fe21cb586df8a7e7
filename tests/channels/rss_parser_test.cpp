// The feed parser on small documents of the shapes found in the wild, its
// error messages, and the text helpers behind made-up titles.
#include "channels/rss/rssParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "channels/exception.h"
#include "channels/rss/htmlEntities.h"
#include "tests/support/test_support.h"

namespace {

using channels::ChannelHeader;
using channels::Feed;
using channels::FeedItem;
using channels::RssParseContext;
using channels::RssParser;

std::string fixture(const std::string& name) {
    const std::string text = testsupport::readFile(testsupport::sourceDir() + "/channels/data/rss/" + name);
    if (text.empty() && name != "empty.xml") ADD_FAILURE() << "missing fixture " << name;
    return text;
}

std::unique_ptr<Feed> parseText(const std::string& text, int maxItems = -1, RssParseContext context = {}) {
    return RssParser().parseFeed(context, text, maxItems);
}

// Message of the exception parseFeed throws, "" when it does not throw.
std::string parseError(const std::string& text, RssParseContext context = {}) {
    try {
        RssParser().parseFeed(context, text, -1);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

const FeedItem& item(const Feed& feed, std::size_t i) { return feed.getFeedItems().at(i); }

// Catches: header fields taken from the wrong element (image title/link
// over the channel's), skip lists not read, items missed.
TEST(RssParser, Rss091ChannelHeaderAndItems) {
    auto feed = parseText(fixture("rss091.xml"));
    const ChannelHeader& h = feed->getChannelHeader();
    EXPECT_EQ(h.ChannelDisplayName, "Harbour Notes");
    EXPECT_EQ(h.ChannelDescription, "Tide tables & news\nfrom the harbour.");
    EXPECT_EQ(h.ChannelHomeUrl, "http://harbour.example.org/");
    EXPECT_EQ(h.ChannelImageUrl, "http://harbour.example.org/logo.gif");
    EXPECT_EQ(h.ChannelImageWidth, 88);
    EXPECT_EQ(h.ChannelImageHeight, 31);
    EXPECT_EQ(h.CopyrightString, "Copyright 2001, Harbour Office");
    EXPECT_EQ(h.EditorEmailAddress, "editor@harbour.example.org");
    EXPECT_EQ(h.WebMasterEmailAddress, "web@harbour.example.org");
    EXPECT_EQ(h.PubDateString, "Sat, 07 Sep 2002 00:00:01 GMT");
    EXPECT_EQ(h.LastBuildDateString, "Sat, 07 Sep 2002 09:42:31 GMT");
    EXPECT_EQ(h.SkipHours, (std::set<int>{1, 2}));
    EXPECT_EQ(h.SkipDays, (std::set<int>{0, 6}));

    ASSERT_EQ(feed->getFeedItemCount(), 2u);
    EXPECT_EQ(item(*feed, 0).getId(), "http://harbour.example.org/tide/1");
    EXPECT_EQ(item(*feed, 0).getUrl(), "http://harbour.example.org/tide/1");
    EXPECT_EQ(item(*feed, 0).getTitle(), "Spring tide warning");
    EXPECT_EQ(item(*feed, 1).getDescription(), "The north pier opens on Monday.");
}

// Catches: a title not made up for an item without one, escaped markup not
// kept as the description, the source element's text lost.
TEST(RssParser, Rss092ItemWithoutTitleOrLink) {
    auto feed = parseText(fixture("rss092.xml"));
    ASSERT_EQ(feed->getFeedItemCount(), 2u);
    const FeedItem& first = item(*feed, 0);
    EXPECT_EQ(first.getTitle(), "The first apples of the season are in.");
    EXPECT_EQ(first.getSource(), "Other Orchard");
    EXPECT_EQ(first.getUrl(), "http://orchard.example.net/");
    EXPECT_FALSE(first.getId().empty());
    EXPECT_EQ(item(*feed, 1).getDescription(), "<p>Cut back the <b>old</b> wood.</p>");
}

// Catches: prefixed elements mistaken for plain ones (dc:date), CDATA lost,
// UTF-8 narrowed, white space around a guid kept in the Id.
TEST(RssParser, Rss20WithNamespacesCdataAndUtf8) {
    auto feed = parseText(fixture("rss20_namespaces.xml"));
    const ChannelHeader& h = feed->getChannelHeader();
    EXPECT_EQ(h.FeedGenerator, "hand-written");
    EXPECT_EQ(h.PubDateString, "");
    ASSERT_EQ(feed->getFeedItemCount(), 2u);
    const FeedItem& first = item(*feed, 0);
    EXPECT_EQ(first.getId(), "station-0001");
    EXPECT_EQ(first.getUrl(), "https://station.example.com/r/1");
    EXPECT_EQ(first.getTitle(), "Reading for <March> 1st");
    EXPECT_EQ(first.getDescription(), "Wind <b>12 kn</b>, caf\xC3\xA9 au lait skies \xE2\x82\xAC");
    EXPECT_EQ(first.getPubDateString(), "Fri, 01 Mar 2024 10:00:00 +0000");
    EXPECT_EQ(first.getAuthor(), "obs@station.example.com (Observer)");
    EXPECT_EQ(first.getCommentsUrl(), "https://station.example.com/r/1#comments");
    // The guid is written on its own indented line.
    EXPECT_EQ(item(*feed, 1).getId(), "https://station.example.com/r/2");
}

// Catches: items beside the channel element not collected; the image that
// follows the channel element wrongly in the stored header.
TEST(RssParser, RdfItemsBesideChannelAndImageAfterIt) {
    auto feed = parseText(fixture("rdf_image_after_channel.rdf"));
    EXPECT_EQ(feed->getChannelHeader().ChannelDisplayName, "Mill Bulletin");
    EXPECT_EQ(feed->getChannelHeader().ChannelImageUrl, "");
    ASSERT_EQ(feed->getFeedItemCount(), 2u);
    EXPECT_EQ(item(*feed, 0).getId(), "http://mill.example.org/b/1");
    EXPECT_EQ(item(*feed, 1).getTitle(), "Wheel repaired");
}

// Catches: the byte order mark, a declared Latin-1 document or a stray byte
// losing text or failing the parse; the retry replacing the byte order mark.
TEST(RssParser, EncodingsAndTheRetryPass) {
    struct Case {
        const char* file;
        const char* channelTitle;
        const char* itemTitle;
    };
    const Case cases[] = {
        {"bom_utf8.xml", "Caf\xC3\xA9 Board",
         "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
         "e \xE2\x82\xAC"
         "4"},
        {"iso8859.xml", "Caf\xC3\xA9 Latin", "Se\xC3\xB1or \xC2\xABquoted\xC2\xBB"},
        // Not UTF-8: the first attempt fails, the second sees '?' instead.
        {"stray_bytes.xml", "Stray ? byte", "Na?ve"},
        {"bom_stray_bytes.xml", "Stray ? byte", "x"},
    };
    for (const Case& c : cases) {
        auto feed = parseText(fixture(c.file));
        EXPECT_EQ(feed->getChannelHeader().ChannelDisplayName, c.channelTitle) << c.file;
        ASSERT_EQ(feed->getFeedItemCount(), 1u) << c.file;
        EXPECT_EQ(item(*feed, 0).getTitle(), c.itemTitle) << c.file;
    }

    // The byte order mark is a UTF-8 character: the retry keeps it also
    // with the switch off.
    RssParseContext noSkip;
    noSkip.skipLeadingBinaryData = false;
    EXPECT_EQ(parseText(fixture("bom_stray_bytes.xml"), -1, noSkip)->getChannelHeader().ChannelDisplayName,
              "Stray ? byte");
}

// A one-item feed with the declaration, DOCTYPE and item title given; the
// guid holds the title too, so that the item's Id shows the same text.
std::string smallFeed(const std::string& declaration, const std::string& doctype, const std::string& title) {
    return declaration + doctype + "<rss version=\"0.91\"><channel><title>" + title +
           "</title><link>http://t.example/</link><item><title>" + title + "</title><guid>http://t.example/" + title +
           "</guid></item></channel></rss>";
}

std::string declared(const std::string& encoding) { return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n"; }

// The Ids of a feed parsed anew and of one stored and read back.
void expectIdsSurviveReload(const std::string& text) {
    auto first = parseText(text);
    auto again = parseText(text);
    testsupport::TempDir dir;
    first->save(dir.file("c.rss"), "Last Feed");
    Feed loaded;
    loaded.load(dir.file("c.rss"), "Last Feed");
    ASSERT_EQ(loaded.getFeedItemCount(), first->getFeedItemCount());
    ASSERT_EQ(again->getFeedItemCount(), first->getFeedItemCount());
    for (std::size_t i = 0; i < first->getFeedItemCount(); ++i) {
        EXPECT_EQ(item(loaded, i).getId(), item(*first, i).getId());
        EXPECT_EQ(item(*again, i).getId(), item(*first, i).getId());
        EXPECT_EQ(item(loaded, i).getTitle(), item(*first, i).getTitle());
        EXPECT_EQ(item(loaded, i).getUrl(), item(*first, i).getUrl());
        EXPECT_EQ(item(loaded, i).getDescription(), item(*first, i).getDescription());
    }
}

const char* const kRss091Doctype =
    "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\"\n"
    " \"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\n";

// Catches: HTML's named entities dropped ("Caf crme") in a feed with a
// DTD, or failing a feed without one; an unknown entity lost; the text or
// the Id changing between a parse and a reload.
TEST(RssFeedText, HtmlNamedEntitiesWithAndWithoutDoctype) {
    struct Case {
        const char* name;
        std::string doctype;
        std::string title;
        const char* expected;
    } cases[] = {
        {"RSS 0.91 DTD", kRss091Doctype, "Caf&eacute; cr&egrave;me &uuml;ber&nbsp;alles",
         "Caf\xC3\xA9 cr\xC3\xA8me \xC3\xBC"
         "ber\xC2\xA0"
         "alles"},
        {"no DOCTYPE", "", "Caf&eacute; cr&egrave;me", "Caf\xC3\xA9 cr\xC3\xA8me"},
        {"symbols and specials", "", "&alpha;&rarr;&Omega; &hellip;&mdash;&euro;&trade;&rsquo;",
         "\xCE\xB1\xE2\x86\x92\xCE\xA9 \xE2\x80\xA6\xE2\x80\x94\xE2\x82\xAC\xE2\x84\xA2\xE2\x80\x99"},
        {"unknown entity kept, DTD", kRss091Doctype, "a &bogus; b", "a &bogus; b"},
        {"unknown entity kept", "", "a &bogus; b", "a &bogus; b"},
        {"internal subset", "<!DOCTYPE rss [<!ENTITY site \"Harbour\">]>", "&site; caf&eacute;", "Harbour caf\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = smallFeed(declared("UTF-8"), c.doctype, c.title);
        auto feed = parseText(text);
        EXPECT_EQ(feed->getChannelHeader().ChannelDisplayName, c.expected);
        ASSERT_EQ(feed->getFeedItemCount(), 1u);
        EXPECT_EQ(item(*feed, 0).getTitle(), c.expected);
        EXPECT_EQ(item(*feed, 0).getId(), std::string("http://t.example/") + c.expected);
        expectIdsSurviveReload(text);
    }
}

// The table of HTML 4's entities: complete, and no name twice.
TEST(RssFeedText, HtmlEntityTableHasTheThreeSets) {
    std::size_t count = 0;
    const channels::HtmlEntity* entities = channels::htmlEntities(count);
    ASSERT_EQ(count, 252u);
    std::set<std::string> names;
    for (std::size_t i = 0; i < count; ++i) names.insert(entities[i].name);
    EXPECT_EQ(names.size(), 252u);
    struct Spot {
        const char* name;
        char32_t codePoint;
    } spots[] = {{"nbsp", 0xA0}, {"yuml", 0xFF},   {"fnof", 0x192},  {"sigmaf", 0x3C2},  {"diams", 0x2666},
                 {"quot", 0x22}, {"OElig", 0x152}, {"euro", 0x20AC}, {"rsaquo", 0x203A}, {"loz", 0x25CA}};
    for (const Spot& spot : spots) {
        const auto* found = std::find_if(entities, entities + count, [&](const channels::HtmlEntity& e) {
            return spot.name == std::string(e.name);
        });
        ASSERT_NE(found, entities + count) << spot.name;
        EXPECT_EQ(found->codePoint, spot.codePoint) << spot.name;
    }
}

// Catches: a declared encoding that expat does not read failing the feed;
// the bytes 0x80..0x9F of a Latin-1 or ASCII feed read as control
// characters; a UTF-16 label variant failing; UTF-32 taken for UTF-16 and
// failing; an unknown label accepted.
TEST(RssFeedText, DeclaredEncodingsArriveAsUtf8) {
    struct Case {
        const char* label;
        std::string title;  // as the feed's bytes
        const char* expected;
    } cases[] = {
        {"windows-1252", "\x92\x80 \x93quoted\x94", "\xE2\x80\x99\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D"},
        {"ISO-8859-1", "It\x92s caf\xE9", "It\xE2\x80\x99s caf\xC3\xA9"},
        {"us-ascii", "\x93x\x94", "\xE2\x80\x9Cx\xE2\x80\x9D"},
        {"latin1", "\x85", "\xE2\x80\xA6"},
        {"iso-8859-2",
         "\xA3\xF3"
         "d\xBC",
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA"},
        {"ISO-8859-7", "\xC1\xE8\xDE\xED\xE1", "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1"},
        {"koi8-r", "\xF0\xD2\xC9\xD7\xC5\xD4", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"windows-1251", "\xCC\xE8\xF0", "\xD0\x9C\xD0\xB8\xD1\x80"},
        {"euc-kr", "\xC7\xD1\xB1\xB9", "\xED\x95\x9C\xEA\xB5\xAD"},
        {"big5", "\xA4\xA4\xA4\xE5", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"gb2312", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"shift_jis", "\x93\xFA\x96{", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"utf8", "caf\xC3\xA9", "caf\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string text = smallFeed(declared(c.label), "", c.title);
        auto feed = parseText(text);
        ASSERT_EQ(feed->getFeedItemCount(), 1u);
        EXPECT_EQ(item(*feed, 0).getTitle(), c.expected);
        EXPECT_EQ(item(*feed, 0).getId(), std::string("http://t.example/") + c.expected);
        expectIdsSurviveReload(text);
    }

    // A UTF-16 document declaring itself "utf16", with its byte order mark.
    const std::u16string utf16 =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"utf16\"?><rss><channel><item>"
        u"<title>Caf\u00E9 \u20AC</title><guid>g</guid></item></channel></rss>";
    std::string bytes;
    for (char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    auto feed = parseText(bytes);
    ASSERT_EQ(feed->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*feed, 0).getTitle(), "Caf\xC3\xA9 \xE2\x82\xAC");

    // UTF-32 in either byte order, known by its mark or, without one, by
    // the layout of its first characters under a "utf-32" label.
    const struct {
        const char* name;
        bool littleEndian;
        bool mark;
    } utf32Cases[] = {
        {"little-endian, marked", true, true},
        {"big-endian, marked", false, true},
        {"little-endian, labelled", true, false},
        {"big-endian, labelled", false, false},
    };
    for (const auto& c : utf32Cases) {
        SCOPED_TRACE(c.name);
        const std::u32string text = std::u32string(c.mark ? U"\uFEFF" : U"") +
                                    U"<?xml version=\"1.0\" encoding=\"utf-32\"?><rss><channel><item>"
                                    U"<title>Caf\u00E9 \u20AC \U0001F34E</title><guid>g</guid></item></channel></rss>";
        std::string bytes;
        for (char32_t unit : text) {
            for (int i = 0; i < 4; ++i) {
                const int shift = c.littleEndian ? 8 * i : 8 * (3 - i);
                bytes += static_cast<char>((unit >> shift) & 0xFF);
            }
        }
        auto utf32Feed = parseText(bytes);
        ASSERT_EQ(utf32Feed->getFeedItemCount(), 1u);
        EXPECT_EQ(item(*utf32Feed, 0).getTitle(), "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8D\x8E");
    }
    // A code unit that is no character (a surrogate) becomes U+FFFD and the
    // text after it stays whole.
    {
        const std::u32string text = U"\uFEFF<?xml version=\"1.0\"?><rss><channel><item><title>a";
        std::string bytes;
        auto put = [&bytes](char32_t unit) {
            for (int i = 0; i < 4; ++i) bytes += static_cast<char>((unit >> (8 * i)) & 0xFF);
        };
        for (char32_t unit : text) put(unit);
        put(0xD800);
        for (char32_t unit : std::u32string(U"b \u00E9</title><guid>g</guid></item></channel></rss>")) put(unit);
        auto broken = parseText(bytes);
        ASSERT_EQ(broken->getFeedItemCount(), 1u);
        EXPECT_EQ(item(*broken, 0).getTitle(),
                  "a\xEF\xBF\xBD"
                  "b \xC3\xA9");
    }
    // A "utf-32" label on a document in single bytes: read as UTF-8.
    auto mislabelled = parseText(smallFeed(declared("utf-32"), "", "caf\xC3\xA9"));
    ASSERT_EQ(mislabelled->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*mislabelled, 0).getTitle(), "caf\xC3\xA9");

    // A label that iconv does not know either stays an error.
    EXPECT_EQ(parseError(smallFeed(declared("x-no-such-charset"), "", "a")).rfind("XML parse failed (", 0), 0u);
}

// Catches: one stray byte turning every non-ASCII character of the feed into
// question marks on the retry (and with them the Ids of its items).
TEST(RssFeedText, RetryReplacesOnlyBytesThatAreNotUtf8) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>Caf\xC3\xA9 \xE2\x82\xAC</title>"
        "<item><title>Cr\xC3\xA8me</title><guid>http://t.example/cr\xC3\xA8me</guid></item>"
        "<item><title>Na\xEFve</title><guid>http://t.example/2</guid></item>"
        "<item><title>\xF0\x9F\x8D\x8E \xE6\x97\xA5</title><guid>http://t.example/\xE6\x97\xA5</guid></item>"
        "<item><title>cut \xE2\x82</title><guid>http://t.example/4</guid></item>"
        "</channel></rss>";
    auto feed = parseText(text);
    EXPECT_EQ(feed->getChannelHeader().ChannelDisplayName, "Caf\xC3\xA9 \xE2\x82\xAC");
    ASSERT_EQ(feed->getFeedItemCount(), 4u);
    EXPECT_EQ(item(*feed, 0).getTitle(), "Cr\xC3\xA8me");
    EXPECT_EQ(item(*feed, 0).getId(), "http://t.example/cr\xC3\xA8me");
    EXPECT_EQ(item(*feed, 1).getTitle(), "Na?ve");
    EXPECT_EQ(item(*feed, 2).getTitle(), "\xF0\x9F\x8D\x8E \xE6\x97\xA5");
    EXPECT_EQ(item(*feed, 2).getId(), "http://t.example/\xE6\x97\xA5");
    EXPECT_EQ(item(*feed, 3).getTitle(), "cut ??");
    expectIdsSurviveReload(text);
}

// A feed its caller gives up is freed while the XML parser holds its own
// copy; a failed first attempt hands the text back for the second.
// Catches: the second attempt or the root check seeing an empty or cut text
// after the first attempt let it go; the text kept after a success.
TEST(RssParser, FeedGivenUpIsFreedAndStillRetried) {
    std::string items;
    for (int i = 0; i < 4000; ++i) {
        items += "<item><title>Item " + std::to_string(i) + "</title><guid>g" + std::to_string(i) +
                 "</guid><description>" + std::string(300, 'x') + "</description></item>\n";
    }
    const std::string head = "\n <?xml version=\"1.0\" encoding=\"UTF-8\"?><rss><channel><title>Big</title>";
    const struct {
        const char* name;
        std::string text;
        const char* lastTitle;  // null: fails with `error`
        const char* error;
    } cases[] = {
        {"clean", head + items + "<item><title>Last</title></item></channel></rss>", "Last", nullptr},
        {"stray byte at the end", head + items + "<item><title>Na\xEFve</title></item></channel></rss>", "Na?ve",
         nullptr},
        {"no rss element", "<html>" + items + "</html>", nullptr, "Not an RSS feed."},
        {"malformed at the end", head + items + "</chanel></rss>", nullptr,
         "XML parse failed (7:L4001/C2): mismatched tag"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.text.size(), 1024u * 1024u);
        std::string text = c.text;
        if (!c.lastTitle) {
            EXPECT_EQ(parseError(text), c.error);
            continue;
        }
        auto feed = RssParser().parseFeed(RssParseContext{}, std::move(text), -1);
        EXPECT_TRUE(text.empty());
        ASSERT_EQ(feed->getFeedItemCount(), 4001u);
        EXPECT_EQ(item(*feed, 3999).getDescription(), std::string(300, 'x'));
        EXPECT_EQ(item(*feed, 4000).getTitle(), c.lastTitle);
    }
}

// Catches: a wrong or missing message for each way a feed can be unusable.
TEST(RssParser, ErrorMessages) {
    EXPECT_EQ(parseError(fixture("empty.xml")), "Empty RSS feed.");
    EXPECT_EQ(parseError("<html><body>hi</body></html>"), "Not an RSS feed.");
    EXPECT_EQ(parseError(fixture("no_items.xml")), "The channel returned no items.");
    EXPECT_EQ(parseError("<rss version=\"2.0\"/>"), "The channel returned no items.");
    EXPECT_EQ(parseError(fixture("malformed.xml")), "XML parse failed (7:L5/C30): mismatched tag");
    EXPECT_EQ(parseError("   "), "XML parse failed (3:L1/C0): no element found");
}

// Catches: the cached header not handed over for a feed rejected as empty,
// or an empty feed rejected when the channel allows it.
TEST(RssParser, FeedWithoutItems) {
    ChannelHeader cached;
    int calls = 0;
    RssParseContext context;
    context.cacheChannelHeader = [&](const ChannelHeader& h) {
        cached = h;
        ++calls;
    };
    EXPECT_EQ(parseError(fixture("no_items.xml"), context), "The channel returned no items.");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cached.ChannelDisplayName, "Quiet Channel");

    context.allowEmptyFeeds = true;
    auto feed = parseText(fixture("no_items.xml"), -1, context);
    EXPECT_EQ(feed->getFeedItemCount(), 0u);
    EXPECT_EQ(feed->getChannelHeader().ChannelDescription, "Nothing yet");
    EXPECT_EQ(calls, 2);
}

// Catches: the item limit ignored, applied to the last items, or applied
// when it is 0 or negative.
TEST(RssParser, ItemLimit) {
    std::string text = "<rss><channel><title>Many</title>";
    for (int i = 1; i <= 10; ++i) text += "<item><guid>g" + std::to_string(i) + "</guid></item>";
    text += "</channel></rss>";
    const struct {
        int maxItems;
        std::size_t want;
    } cases[] = {{3, 3}, {0, 10}, {-1, 10}, {10, 10}, {11, 10}};
    for (const auto& c : cases) {
        auto feed = parseText(text, c.maxItems);
        ASSERT_EQ(feed->getFeedItemCount(), c.want) << c.maxItems;
        EXPECT_EQ(item(*feed, 0).getId(), "g1");
    }
}

// Catches: entities decoded once too often or not at all; an unknown entity
// mangled.
TEST(RssParser, NamedEntitiesOfTitles) {
    auto feed = parseText(fixture("entities.xml"));
    EXPECT_EQ(feed->getChannelHeader().ChannelDisplayName, "Marks & Signs");
    ASSERT_EQ(feed->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*feed, 0).getTitle(), "<a> \"b\"  c~^ & &foo;");
}

// Catches: the basic shape from the channel's point of view, any case of
// element names, rdf:rdf in lower case, leading white space.
TEST(RssParser, NamesWithoutCaseAndLeadingWhiteSpace) {
    auto feed =
        parseText("<rss><channel><title> Mine </title><item><title>A</title><guid>g1</guid></item></channel></rss>");
    EXPECT_EQ(feed->getChannelHeader().ChannelDisplayName, "Mine");
    ASSERT_EQ(feed->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*feed, 0).getId(), "g1");
    EXPECT_EQ(item(*feed, 0).getUrl(), "g1");

    feed = parseText(
        "\r\n  \t<RSS><Channel><Item><Title>T</Title><LINK>u</LINK><PUBDATE>d</PUBDATE></Item>"
        "</Channel></RSS>");
    ASSERT_EQ(feed->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*feed, 0).getPubDateString(), "d");

    feed = parseText("<rdf:rdf xmlns:rdf=\"urn:x\"><item><link>l</link></item></rdf:rdf>");
    ASSERT_EQ(feed->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*feed, 0).getTitle(), "l");

    RssParseContext keep;
    keep.skipLeadingWhiteSpace = false;
    EXPECT_EQ(parseError("\n<?xml version=\"1.0\"?><rss/>", keep).rfind("XML parse failed (", 0), 0u);
}

// Catches: a description written as elements keeping only the text after
// its last child element.
TEST(RssParser, DescriptionWithChildElementsKeepsAllText) {
    auto feed = parseText(
        "<rss><channel><item><guid>g</guid><description>a <b>b</b> c</description>"
        "<title>t <i>x</i> y</title></item></channel></rss>");
    ASSERT_EQ(feed->getFeedItemCount(), 1u);
    EXPECT_EQ(item(*feed, 0).getDescription(), "a b c");
    EXPECT_EQ(item(*feed, 0).getTitle(), "t x y");
}

// Catches: items with neither guid nor link all sharing the channel's link as
// their Id (or having an empty Id), and Ids that change between runs.
TEST(RssParser, ItemsWithoutGuidOrLinkGetDistinctStableIds) {
    const std::string text =
        "<rss><channel><link>http://h.example/</link>"
        "<item><title>One</title><description>first</description></item>"
        "<item><title>Two</title><description>second</description></item>"
        "<item><description></description></item>"
        "</channel></rss>";
    auto feed = parseText(text);
    ASSERT_EQ(feed->getFeedItemCount(), 3u);
    std::set<std::string> ids;
    for (const FeedItem& i : feed->getFeedItems()) {
        EXPECT_EQ(i.getId().rfind("http://h.example/#", 0), 0u) << i.getId();
        EXPECT_EQ(i.getUrl(), "http://h.example/");
        ids.emplace(i.getId());
    }
    EXPECT_EQ(ids.size(), 3u);
    // No title and no description: the title is the link.
    EXPECT_EQ(item(*feed, 2).getTitle(), "http://h.example/");

    auto again = parseText(text);
    EXPECT_EQ(item(*again, 0).getId(), item(*feed, 0).getId());

    // A channel without a link still gives non-empty Ids, so the stored
    // feed loads back completely.
    auto bare = parseText(
        "<rss><channel><item><title>a</title></item><item><title>b</title></item>"
        "</channel></rss>");
    testsupport::TempDir dir;
    bare->save(dir.file("c.rss"), "Last Feed");
    Feed loaded;
    loaded.load(dir.file("c.rss"), "Last Feed");
    ASSERT_EQ(loaded.getFeedItemCount(), 2u);
    EXPECT_NE(item(loaded, 0).getId(), item(loaded, 1).getId());
}

// Catches: an item stored with white space around its Id coming back as a
// different item after a restart, also when the Id comes from a channel link
// written on a line of its own.
TEST(RssParser, ParsedFeedRoundTripKeepsIds) {
    const std::string texts[] = {
        fixture("rss20_namespaces.xml"),
        "<rss><channel>\n  <link>\n    http://h.example/\n  </link>\n"
        "  <item><title>Only a title</title></item>\n</channel></rss>",
    };
    for (const std::string& text : texts) expectIdsSurviveReload(text);
}

// Catches: trace lines missing or malformed.
TEST(RssParser, TraceFile) {
    testsupport::TempDir dir;
    RssParseContext context;
    context.traceFilename = dir.file("channel.parse");
    parseText("<rss version=\"2.0\"><channel><item><guid>g</guid></item></channel></rss>", -1, context);
    EXPECT_EQ(testsupport::readFile(context.traceFilename),
              "START ELEMENT: rss\n"
              "- version = '2.0'\n"
              "START ELEMENT: channel\n"
              "Starting a new channel.\n"
              "START ELEMENT: item\n"
              "Starting a new item.\n"
              "START ELEMENT: guid\n"
              "END ELEMENT: guid\n"
              "END ELEMENT: item\n"
              "Saving the new item.\n"
              "END ELEMENT: channel\n"
              "Saving the channel details.\n"
              "END ELEMENT: rss\n");

    // A trace file that can't be opened does not stop the parse.
    context.traceFilename = dir.file("missing-folder/channel.parse");
    EXPECT_EQ(parseText("<rss><item><guid>g</guid></item></rss>", -1, context)->getFeedItemCount(), 1u);
}

// Catches: summaries cut at the wrong word or sentence, the first word
// counted, quotes and tags not dropped.
TEST(RssText, SummaryAndMarkupStripping) {
    using channels::makeRssSummary;
    using channels::stripRssMarkup;
    EXPECT_EQ(makeRssSummary("fb", "Hello there my dear old friend. How are you"), "Hello there my dear old friend.");
    std::string letters;
    for (char c = 'a'; c < 'a' + 26; ++c) letters += std::string(1, c) + " ";
    for (char c = 'A'; c < 'A' + 4; ++c) letters += std::string(1, c) + " ";
    EXPECT_EQ(makeRssSummary("fb", letters), "a b c d e f g h i j k l m n o p q r s t  ...");
    EXPECT_EQ(makeRssSummary("fb", "One two three four five six: seven"), "One two three four five six");
    EXPECT_EQ(makeRssSummary("fb", "Short: yes."), "Short: yes.");
    EXPECT_EQ(makeRssSummary("fallback", "<img src=\"x\">  "), "fallback");
    EXPECT_EQ(makeRssSummary("fb", "<p>Caf\xC3\xA9 &amp; cr\xC3\xA8me</p>"), "Caf\xC3\xA9 & cr\xC3\xA8me");

    EXPECT_EQ(stripRssMarkup("<b>Don't</b> go"), " Don");
    EXPECT_EQ(stripRssMarkup("a\tb<br/>c &lt;d&gt;"), "a b c <d>");

    EXPECT_EQ(channels::cleanRssText("  a\r\nb &amp;  ", true), "a  b &");
    EXPECT_EQ(channels::cleanRssText("  a\r\nb  ", false), "a\r\nb");
}

}  // namespace
