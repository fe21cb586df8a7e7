#include "tools/codecs.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace std::string_literals;

TEST(UrlCodec, EncodesEveryByteOutsidePrintableAsciiAndPercent) {
    struct Case {
        std::string plain;
        std::string encoded;
    } cases[] = {
        {"50% off\tnow", "50%25 off%09now"}, {"a b+c", "a b+c"},  // blank and '+' stay
        {"caf\xC3\xA9", "caf%C3%A9"},                             // UTF-8 bytes by unsigned value
        {"\x7F\xFF\x80", "%7F%FF%80"},       {"x\0y"s, "x%00y"}, {"line\r\nnext", "line%0D%0Anext"}, {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoded);
        EXPECT_EQ(tools::urlEncode(c.plain), c.encoded);
        EXPECT_EQ(tools::urlDecode(c.encoded), c.plain);
    }
    EXPECT_EQ(tools::urlEncode(" a b ", " "), "%20a%20b%20");
}

TEST(UrlCodec, DecodeKeepsMalformedEscapes) {
    struct Case {
        const char* stored;
        const char* decoded;
    } cases[] = {
        {"%zz", "%zz"}, {"100%", "100%"}, {"%4", "%4"}, {"%4a", "J"}, {"%4A%", "J%"}, {"a+b", "a+b"}, {"%%41", "%A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(tools::urlDecode(c.stored), c.decoded);
    }
}

TEST(Base64, EncodeTable) {
    EXPECT_EQ(tools::base64Encode(""), "");
    EXPECT_EQ(tools::base64Encode("abc"), "YWJj");
    EXPECT_EQ(tools::base64Encode("a"), "YQ==");
    EXPECT_EQ(tools::base64Encode("ab"), "YWI=");
    EXPECT_EQ(tools::base64Encode("\x41\xE9"), "Qek=");

    const std::string line76 = tools::base64Encode(std::string(57, 'x'));
    EXPECT_EQ(line76.size(), 78u);
    EXPECT_EQ(line76.substr(76), "\r\n");

    const std::string more = tools::base64Encode(std::string(58, 'x'));
    EXPECT_EQ(more.size(), 76u + 2 + 4);
    EXPECT_EQ(more.substr(76, 2), "\r\n");
    EXPECT_EQ(more.substr(78), "eA==");
}

TEST(Base64, DecodeTableWithBadInputFlag) {
    struct Case {
        std::string text;
        std::string bytes;
        bool bad;
    } cases[] = {
        {"YW\r\nJj", "abc", false},
        {"YW*Jj", "abc", true},
        {"YQ==", "a", false},
        {"YWI", "ab", false},
        {"Qek=", "\x41\xE9", false},
        {"YW\xC3\xA9Jj", "abc", true},  // bytes above 0x7F are not in the alphabet
        {"YQ==YWJj", "a", false},       // stops at the first '='
        {"", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bool bad = !c.bad;
        EXPECT_EQ(tools::base64Decode(c.text, &bad), c.bytes);
        EXPECT_EQ(bad, c.bad);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(tools::base64Decode(tools::base64Encode(all)), all);
}

TEST(QuotedPrintable, DecodeTable) {
    struct Case {
        std::string text;
        std::string decoded;
        bool bad;
    } cases[] = {
        {"a=3Db=\r\nc", "a=bc", false},
        {"x=4", "x", true},
        {"=3d", "3d", true},  // lower-case hex is not an escape
        {"a=", "a", true},
        {"=C3=A9t=C3=A9", "\xC3\xA9t\xC3\xA9", false},
        {"a=xyb", "axyb", true},
        {"plain", "plain", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bool bad = !c.bad;
        EXPECT_EQ(tools::quotedPrintableDecode(c.text, &bad), c.decoded);
        EXPECT_EQ(bad, c.bad);
    }
}

TEST(QuotedPrintable, EncodeEscapesAndSoftBreaks) {
    EXPECT_EQ(tools::quotedPrintableEncode("a=b"), "a=3Db");
    EXPECT_EQ(tools::quotedPrintableEncode("a\nb\tc"), "a\nb=09c");
    EXPECT_EQ(tools::quotedPrintableEncode("\xC3\xA9@[~"), "=C3=A9=40=5B=7E");

    // 80 copied characters: a soft break before column 72.
    const std::string long1 = tools::quotedPrintableEncode(std::string(80, 'a'));
    EXPECT_EQ(long1, std::string(72, 'a') + "=\r\n" + std::string(8, 'a'));
    // A line feed in the input starts the column again.
    const std::string lines = tools::quotedPrintableEncode(std::string(70, 'a') + "\n" + std::string(70, 'b'));
    EXPECT_EQ(lines.find("=\r\n"), std::string::npos);

    const std::string text = std::string(100, 'z') + "=\xFF\tend\r\n" + std::string(90, '#');
    EXPECT_EQ(tools::quotedPrintableDecode(tools::quotedPrintableEncode(text)), text);
}

TEST(MimeHeaderWord, DecodesOneWordKeepingPrefixAndSuffix) {
    struct Case {
        const char* header;
        const char* decoded;
    } cases[] = {
        {"Subject: =?utf-8?Q?caf=C3=A9?= today\r\n", "Subject: caf\xC3\xA9 today"},
        {"  =?iso-8859-1?B?YWJj?=", "abc"},
        {"no encoded word", "no encoded word"},
        {"broken =?utf-8?Q?abc", "broken =?utf-8?Q?abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(tools::decodeMimeHeaderWord(c.header), c.decoded);
    }
}

TEST(HtmlEntities, EncodeAndDecode) {
    EXPECT_EQ(tools::encodeHtmlEntities("a<b", "<"), "a&lt;b");
    EXPECT_EQ(tools::encodeHtmlEntities("a <b>", nullptr), "a&nbsp;&lt;b&gt;");
    EXPECT_EQ(tools::encodeHtmlEntities("\"&~^x", nullptr), "&quot;&amp;&tilde;&circ;x");

    struct Case {
        const char* text;
        const char* decoded;
    } cases[] = {
        {"&LT;b&gt x &foo;", "<b> x &foo;"},
        {"&amp;lt;", "&lt;"},  // not scanned again
        {"a&&nbsp;b&", "a& b&"},
        {"&Tilde;&circ;&quot;", "~^\""},
        // A name that runs on into a word is not an entity.
        {"R&Amplifier", "R&Amplifier"},
        {"&amp1 &ltb &nbspx", "&amp1 &ltb &nbspx"},
        {"&amp;1 &lt, &gt. &amp", "&1 <, >. &"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tools::decodeHtmlEntities(c.text), c.decoded);
        std::string inPlace = c.text;
        tools::decodeHtmlEntitiesInPlace(inPlace);
        EXPECT_EQ(inPlace, c.decoded);
    }
}

TEST(QueryString, FirstOccurrenceWinsAndBlankEnds) {
    std::map<std::string, std::string> m;
    tools::parseQueryString("a=1&b=2&a=3 c=4", m);
    EXPECT_EQ(m, (std::map<std::string, std::string>{{"a", "1"}, {"b", "2"}}));

    m.clear();
    tools::parseQueryString("url=http%3A%2F%2Fx&flag", m);
    EXPECT_EQ(m, (std::map<std::string, std::string>{{"url", "http%3A%2F%2Fx"}, {"flag", ""}}));

    m.clear();
    tools::parseQueryString("=v&a=1", m);
    EXPECT_TRUE(m.empty());

    m.clear();
    tools::parseQueryString("a=&b=x=y", m);
    EXPECT_EQ(m, (std::map<std::string, std::string>{{"a", ""}, {"b", "x=y"}}));
}

TEST(TextHelpers, FindNoCaseAndReplaceNonAscii) {
    EXPECT_EQ(tools::findNoCase("Hello World", "WORLD"), 6u);
    EXPECT_EQ(tools::findNoCase("Hello", "xyz"), std::string::npos);
    EXPECT_EQ(tools::findNoCase("caf\xC3\xA9 Caf", "CAF"), 0u);
    EXPECT_EQ(tools::findNoCase("\xC3\xA9t\xC3\xA9", "\xC3\xA9T"), 0u);

    std::string s = "caf\xC3\xA9!";
    tools::replaceNonAsciiChars(s);
    EXPECT_EQ(s,
              "caf?"
              "?!");
    char buf[] = "x\xFFy";
    tools::replaceNonAsciiChars(buf);
    EXPECT_STREQ(buf, "x?y");
}

}  // namespace
