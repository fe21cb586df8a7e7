// The XML wrapper: handler table dispatch, tag stack queries, collected text,
// errors, and the debug trace through the message log.
#include "expat/parser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/log/messageGroup.h"
#include "lib/log/messageLog.h"

namespace {

// Records what its handlers saw.
class RecordingParser : public expat::Parser {
public:
    RecordingParser() : expat::Parser(kTable) {}

    void parseText(const std::string& text) { parse(text.data(), text.size()); }

    std::vector<std::string> calls;
    std::string titleData;
    std::string titleStack;
    bool titleParentIsChannel = false;
    bool titleChannelOnStack = false;
    bool titleIsTop = false;
    std::string descriptionData;
    std::string descriptionText;
    std::string emptyData = "not called";
    bool throwAtItem = false;

private:
    static const expat::ElementHandlerRow kTable[];

    void onItemStart() {
        calls.push_back("item start");
        if (throwAtItem) throw std::logic_error("handler failed");
    }
    void onItemEnd() { calls.push_back("item end"); }
    void onItemEndSecond() { calls.push_back("second item end row"); }
    void onTitleEnd() {
        titleData = getCharacterData();
        titleStack = getTagStackText();
        titleParentIsChannel = isParentTag("channel");
        titleChannelOnStack = isTagOnStack("CHANNEL", true);
        titleIsTop = isTagOnStack("Title", false) && !isTagOnStack("channel", false);
    }
    void onDescriptionEnd() {
        descriptionData = getCharacterData();
        descriptionText = getElementText();
    }
    void onEmptyEnd() { emptyData = getCharacterData(); }
};

const expat::ElementHandlerRow RecordingParser::kTable[] = {
    {expat::kStartElement, expat::elementHandler(&RecordingParser::onItemStart), "item"},
    {expat::kEndElement, expat::elementHandler(&RecordingParser::onItemEnd), "ITEM"},
    {expat::kEndElement, expat::elementHandler(&RecordingParser::onItemEndSecond), "Item"},
    {expat::kEndElement, expat::elementHandler(&RecordingParser::onTitleEnd), "title"},
    {expat::kEndElement, expat::elementHandler(&RecordingParser::onDescriptionEnd), "description"},
    {expat::kEndElement, expat::elementHandler(&RecordingParser::onEmptyEnd), "empty"},
    {expat::kEndOfTable, nullptr, ""},
};

// Catches: names compared with regard to case, more than the first matching
// row called, start rows run at end tags.
TEST(ExpatParser, HandlerTableMatchesNamesWithoutCaseAndCallsFirstRowOnly) {
    RecordingParser parser;
    parser.parseText("<rss><Item/><ITEM></ITEM></rss>");
    EXPECT_EQ(parser.calls, (std::vector<std::string>{"item start", "item end", "item start", "item end"}));
}

// Catches: a wrong stack order or parent test, the ending element already
// popped when its handler runs.
TEST(ExpatParser, TagStackQueriesInsideEndHandler) {
    RecordingParser parser;
    parser.parseText("<rss><channel><title>T</title></channel></rss>");
    EXPECT_EQ(parser.titleStack, ":rss:channel:title");
    EXPECT_TRUE(parser.titleParentIsChannel);
    EXPECT_TRUE(parser.titleChannelOnStack);
    EXPECT_TRUE(parser.titleIsTop);
    EXPECT_EQ(parser.titleData, "T");
    EXPECT_TRUE(parser.getTagStack().empty());
    EXPECT_EQ(parser.getTagStackText(), "");
    EXPECT_FALSE(parser.isParentTag("rss"));
}

// Catches: text narrowed to one byte per character with '?' for the rest.
TEST(ExpatParser, TextStaysUtf8) {
    RecordingParser parser;
    parser.parseText("<title>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8D\x8E</title>");
    EXPECT_EQ(parser.titleData, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8D\x8E");
}

// Catches: a document in another encoding not converted to UTF-8, or
// character references and CDATA lost.
TEST(ExpatParser, DeclaredLatin1AndReferencesArriveAsUtf8) {
    RecordingParser parser;
    parser.parseText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><title>caf\xE9 &#8364;<![CDATA[<x>]]></title>");
    EXPECT_EQ(parser.titleData, "caf\xC3\xA9 \xE2\x82\xAC<x>");
}

// Catches: an entity the document does not declare vanishing from the text;
// declarations given as the document type not used with a DOCTYPE, without
// one, or beside an internal subset; an external entity fetched.
// ASCII text as UTF-16LE; a leading "\xEF\xBB\xBF" becomes the byte order mark.
std::string utf16le(const std::string& ascii) {
    std::string out;
    std::size_t from = 0;
    if (ascii.rfind("\xEF\xBB\xBF", 0) == 0) {
        out = "\xFF\xFE";
        from = 3;
    }
    for (std::size_t i = from; i < ascii.size(); ++i) {
        out += ascii[i];
        out += '\0';
    }
    return out;
}

TEST(ExpatParser, DocumentTypeAndUndeclaredEntities) {
    static const std::string kDeclarations = "<!ENTITY eacute \"&#233;\"><!ENTITY own \"theirs\">";
    const std::string hostname = "file:///etc/hostname";
    struct Case {
        const char* name;
        std::string document;
        bool withDocumentType;
        const char* title;
    } cases[] = {
        {"external DTD, no declarations",
         "<!DOCTYPE rss SYSTEM \"http://x.example/rss.dtd\"><title>Caf&eacute;!</title>", false, "Caf&eacute;!"},
        {"external DTD",
         "<!DOCTYPE rss PUBLIC \"-//X//DTD RSS//EN\" \"http://x.example/rss.dtd\"><title>Caf&eacute;</title>", true,
         "Caf\xC3\xA9"},
        {"no DOCTYPE", "<title>Caf&eacute; &unknown;</title>", true, "Caf\xC3\xA9 &unknown;"},
        {"internal subset first", "<!DOCTYPE rss [<!ENTITY own \"mine\">]><title>&own; &eacute;</title>", true,
         "mine \xC3\xA9"},
        {"after predefined entities", "<title>&amp;&lt;&#33;&eacute;</title>", true, "&<!\xC3\xA9"},
        {"inside a declared entity", "<!DOCTYPE rss [<!ENTITY own \"&eacute;!\">]><title>&own;</title>", true,
         "\xC3\xA9!"},
        {"ampersand in CDATA first", "<title><![CDATA[a & b]]> &eacute;</title>", true, "a & b \xC3\xA9"},
        {"UTF-16", utf16le("\xEF\xBB\xBF<title>&eacute;</title>"), true, "\xC3\xA9"},
        {"external entity not read", "<!DOCTYPE rss [<!ENTITY x SYSTEM \"" + hostname + "\">]><title>[&x;]</title>",
         true, "[]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingParser parser;
        if (c.withDocumentType) parser.setDocumentType(kDeclarations);
        parser.parseText(c.document);
        EXPECT_EQ(parser.titleData, c.title);
    }
    // Without declarations and without a DOCTYPE an undeclared entity stays
    // the error it is in XML.
    RecordingParser plain;
    EXPECT_THROW(plain.parseText("<title>Caf&eacute;</title>"), expat::Exception);
}

// Catches: the words before a child element lost from the element's text
// (the plain character data starts again at every start tag).
TEST(ExpatParser, ElementTextKeepsTextOfChildElements) {
    RecordingParser parser;
    parser.parseText("<rss><description>a <b>b</b> c</description><empty/></rss>");
    EXPECT_EQ(parser.descriptionData, "b c");
    EXPECT_EQ(parser.descriptionText, "a b c");
    EXPECT_EQ(parser.emptyData, "");
}

// Catches: the text of finished children lost from a text element when
// containers are named, or a container holding on to its children's text
// (a whole document's text kept until the end).
class ContainerParser : public expat::Parser {
public:
    ContainerParser() : expat::Parser(kTable) {
        static const char* const kContainers[] = {"rss", "ITEM", nullptr};
        setContainerElements(kContainers);
    }
    std::vector<std::string> seen;

private:
    static const expat::ElementHandlerRow kTable[];
    void onEnd() { seen.push_back(getTagStack().back() + "=" + getElementText()); }
};
const expat::ElementHandlerRow ContainerParser::kTable[] = {
    {expat::kEndElement, expat::elementHandler(&ContainerParser::onEnd), "item"},
    {expat::kEndElement, expat::elementHandler(&ContainerParser::onEnd), "description"},
    {expat::kEndElement, expat::elementHandler(&ContainerParser::onEnd), "title"},
    {expat::kEndOfTable, nullptr, ""},
};

TEST(ExpatParser, ContainersKeepNoTextButTextElementsKeepTheirChildren) {
    ContainerParser parser;
    const std::string text =
        "<rss>\n<item> <title>T1</title>\n<description>a <b>b</b> c<i/></description></item>"
        "<item><title>T2</title></item></rss>";
    parser.parse(text.data(), text.size());
    EXPECT_EQ(parser.seen, (std::vector<std::string>{"title=T1", "description=a b c", "item=", "title=T2", "item="}));
}

// Catches: a wrong error text, or line and column swapped or missing.
TEST(ExpatParser, MalformedDocumentThrowsWithPosition) {
    RecordingParser parser;
    try {
        parser.parseText("<rss>\n<channel>\n</chanel>\n</rss>");
        FAIL() << "no exception";
    } catch (const expat::Exception& e) {
        EXPECT_STREQ(e.what(), "XML parse failed (7:L3/C2): mismatched tag");
    }
    // The stack stays as it was at the error.
    EXPECT_EQ(parser.getTagStackText(), ":rss:channel");
}

// A document over a mebibyte goes to expat in pieces, a smaller one whole.
// Catches: text cut or doubled where a piece ends (inside a character as
// well), or a line of an error counted wrongly across pieces.
TEST(ExpatParser, LargeDocumentKeepsTextAndErrorPositionAcrossPieces) {
    std::string text = "<rss>\n<channel>\n";
    constexpr int kPadLines = 170000;  // about 1.2 MB of "<pad/>"
    for (int i = 0; i < kPadLines; ++i) text += "<pad/>\n";
    std::string description;
    for (int i = 0; i < 100000; ++i) description += "caf\xC3\xA9 ";
    text += "<description>" + description + "</description>\n</chanel>\n</rss>";
    ASSERT_GT(text.size(), 1024u * 1024u + 64u * 1024u);

    RecordingParser parser;
    try {
        parser.parseText(text);
        FAIL() << "no exception";
    } catch (const expat::Exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "XML parse failed (7:L" + std::to_string(kPadLines + 4) + "/C2): mismatched tag");
    }
    EXPECT_EQ(parser.descriptionText, description);
}

// A document the parser takes over goes to expat whole; its string is freed
// while expat parses and filled again when the parse fails.
// Catches: a different error, line or column than parse() gives, text lost
// or cut (the part before `from` as well) on a failure, text kept in memory
// after a success, a converted document's text not handed back.
TEST(ExpatParser, ParseAndReleaseHandsTheTextBackOnlyOnFailure) {
    std::string large = "<rss>\n<channel>\n";
    for (int i = 0; i < 170000; ++i) large += "<pad/>\n";  // about 1.2 MB
    std::string description;
    for (int i = 0; i < 1000; ++i) description += "caf\xC3\xA9 ";
    large += "<description>" + description + "</description>\n";
    const std::string wellFormed = large + "</channel>\n</rss>";
    const std::string malformed = large + "</chanel>\n</rss>";

    struct Case {
        const char* name;
        std::string text;
        std::size_t from;
        bool throwAtItem;
        const char* error;  // null: parses
    } cases[] = {
        {"large, well formed", wellFormed, 0, false, nullptr},
        {"large, white space before", "  \n" + wellFormed, 3, false, nullptr},
        {"large, mismatched tag", "  \n" + malformed, 3, false, "XML parse failed (7:L170004/C2): mismatched tag"},
        {"handler throws", "<rss><item/></rss>", 0, true, "handler failed"},
        {"UTF-16, read by expat", utf16le("\xEF\xBB\xBF<rss><title>T</title><x></rss>"), 0, false,
         "XML parse failed (7:L1/C27): mismatched tag"},
        {"windows-1252, converted", "<?xml version=\"1.0\" encoding=\"windows-1252\"?><rss><title>\x80</title></x>", 0,
         false, "XML parse failed (7:L1/C68): mismatched tag"},
        {"empty", "", 0, false, "XML parse failed (3:L1/C0): no element found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The same text through parse(), for the error it gives.
        std::string expected;
        {
            RecordingParser parser;
            parser.throwAtItem = c.throwAtItem;
            try {
                parser.parse(c.text.data() + c.from, c.text.size() - c.from);
            } catch (const std::exception& e) {
                expected = e.what();
            }
        }
        EXPECT_EQ(expected, c.error ? c.error : "");

        RecordingParser parser;
        parser.throwAtItem = c.throwAtItem;
        std::string text = c.text;
        std::string error;
        try {
            parser.parseAndRelease(text, c.from);
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_EQ(error, expected);
        if (c.error) {
            EXPECT_TRUE(text == c.text) << "text not handed back whole";
        } else {
            EXPECT_TRUE(text.empty());
            EXPECT_EQ(text.capacity(), std::string().capacity());
            EXPECT_EQ(parser.descriptionText, description);
        }
    }
}

// Catches: an exception unwound through the C library (or swallowed) instead
// of passing out of parse unchanged, or later handlers still called.
TEST(ExpatParser, HandlerExceptionPassesOutUnchanged) {
    RecordingParser parser;
    parser.throwAtItem = true;
    EXPECT_THROW(parser.parseText("<rss><item/><item/></rss>"), std::logic_error);
    EXPECT_EQ(parser.calls, (std::vector<std::string>{"item start"}));
}

// Catches: an empty text taken as an empty document instead of an error.
TEST(ExpatParser, EmptyInputIsAnError) {
    RecordingParser parser;
    try {
        parser.parseText("");
        FAIL() << "no exception";
    } catch (const expat::Exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("XML parse failed (", 0), 0u) << e.what();
    }
}

// Catches: trace lines missing, or built for a disabled group.
TEST(ExpatParser, DebugGroupsLogElementsStackAndText) {
    CMessageGroup elements("ExpatTestElements", "");
    CMessageGroup stack("ExpatTestStack", "");
    CMessageGroup text("ExpatTestText", "");
    std::ostringstream out;
    CMessageLog log(out);
    CMessageLog* previous = setMessageLog(&log);

    RecordingParser parser;
    parser.setDebugGroups(&elements, &stack, &text);
    text.setEnabled(false);
    parser.parseText("<rss><item a=\"1\" b='x y'>hi</item></rss>");
    setMessageLog(previous);

    const std::string logged = out.str();
    EXPECT_NE(logged.find("START ELEMENT: item ; - a = '1'- b = 'x y'"), std::string::npos) << logged;
    EXPECT_NE(logged.find("END ELEMENT: item"), std::string::npos) << logged;
    EXPECT_NE(logged.find("TagStack: :rss:item"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("CHARACTER DATA"), std::string::npos) << logged;
}

}  // namespace
