#include "lib/misc/stringHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include <iomanip>

TEST(Trim, BlankOnlyTextsDifferBetweenBufferAndString) {
    char buffer[] = "   ";
    EXPECT_STREQ(trimWhitespace(buffer), "");
    std::string blanks = "   ";
    trimWhitespace(blanks);
    EXPECT_EQ(blanks, "   ");  // left unchanged

    char text[] = " \t a b \r\n";
    EXPECT_STREQ(trimWhitespace(text), "a b");
    std::string s = "\n x y \v";
    trimWhitespace(s);
    EXPECT_EQ(s, "x y");
    EXPECT_EQ(trimmedCopy("  q  "), "q");
    EXPECT_EQ(trimmedCopy("   "), "");
    EXPECT_STREQ(skipWhitespace(" \f\tz "), "z ");
}

// UTF-8 bytes are negative as char: they must be neither white space nor
// changed by case folding (they used to reach the C library as negative ints).
TEST(Trim, Utf8BytesAreNeverWhiteSpace) {
    // U+00A0 and U+0085 are encoded with bytes 0xC2 0xA0 / 0xC2 0x85.
    std::string nbsp = "\xC2\xA0x\xC2\x85";
    EXPECT_EQ(trimmedCopy(nbsp), nbsp);
    std::string s = " \xC3\xA9t\xC3\xA9 ";
    trimWhitespace(s);
    EXPECT_EQ(s, "\xC3\xA9t\xC3\xA9");
    for (int b = 0x80; b <= 0xFF; ++b) EXPECT_FALSE(isWhitespaceByte(static_cast<char>(b))) << b;
}

TEST(CompareNoCase, OrderingTable) {
    struct Case {
        const char* a;
        const char* b;
        int compare;  // compareNoCase(a, b)
    };
    const Case cases[] = {
        {"abc", "ABD", -1},
        {"abc", "ABC", 0},
        {"ab", "abc", -1},
        {"", "a", -1},
        {"b", "A", 1},
        {"Zeta", "alpha", 1},
        {"", "", 0},
        // Bytes 0x80..0xFF order below ASCII and are not folded.
        {"\xC3\xA9", "a", -1},
        {"\xC3\xA9", "\xC3\x89", 1},
        {"x\xE9", "X\xE9", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(compareNoCase(c.a, c.b), c.compare);
        EXPECT_EQ(compareNoCase(c.b, c.a), -c.compare);
        EXPECT_EQ(lessNoCase(c.a, c.b), c.compare < 0);
        EXPECT_EQ(lessNoCase(c.b, c.a), c.compare > 0);
    }
    EXPECT_EQ(compareCharNoCase('q', 'Q'), 0);
    EXPECT_TRUE(lessCharNoCase('a', 'B'));
}

TEST(CompareNoCase, MapKeysIgnoreCaseAndKeepUtf8Distinct) {
    std::map<std::string, int, LessNoCase> m;
    m["Http"] = 1;
    m["HTTP"] = 2;  // same key
    m["\xC3\xA9t\xC3\xA9"] = 3;
    m["\xC3\x89T\xC3\x89"] = 4;  // upper-case letters outside ASCII stay distinct
    EXPECT_EQ(m.size(), 3u);
    EXPECT_EQ(m["http"], 2);
}

TEST(CompareNoCase, MultibyteComparisons) {
    EXPECT_EQ(mbsCompareNoCase(std::string("C:\\Feeds\\A.rss"), "c:\\feeds\\a.RSS"), 0);
    EXPECT_NE(mbsCompareNoCase("abc", std::string("abd")), 0);
    EXPECT_LT(mbsCompareNoCase(std::string("ab"), "abc"), 0);
    EXPECT_EQ(mbsCompareNoCaseN("HTTP://host/", "http://", 7), 0);
    EXPECT_NE(mbsCompareNoCaseN("ftp://host/", "http://", 7), 0);
    EXPECT_NE(mbsCompareNoCaseN("htt", "http://", 7), 0);
    EXPECT_EQ(toUpperCopy("a\xC3\xA9z"), "A\xC3\xA9Z");
    EXPECT_EQ(toLowerCopy("A\xC3\x89Z"), "a\xC3\x89z");
}

TEST(Dumps, PrintableDumpEscapesNonPrintableBytes) {
    std::ostringstream os;
    const unsigned char bytes[] = {0x41, 0x0A, 0xE9};
    printableDump(os, bytes, sizeof bytes);
    EXPECT_EQ(os.str(), "A<0a><e9>");
    std::ostringstream text;
    printableDump(text, "x\ty");
    EXPECT_EQ(text.str(), "x<09>y");
}

TEST(Dumps, HexDumpRows) {
    std::ostringstream os;
    hexDump(os, "Hello", 5, true, "");
    EXPECT_EQ(
        os.str(), "00000000: 48 65 6c 6c 6f " +
                      [] {
                          std::string s;
                          for (int i = 0; i < 11; ++i) s += ".. ";
                          return s;
                      }() +
                      "| Hello" + std::string(11, ' ') + "\n");

    // 20 bytes: a full row and a row of 4 with twelve empty columns; the
    // stream's formatting survives.
    unsigned char data[20];
    for (int i = 0; i < 20; ++i) data[i] = static_cast<unsigned char>(i == 16 ? 0xFF : 'a' + i);
    std::ostringstream rows;
    rows << std::hex << std::setfill('*');
    hexDump(rows, data, sizeof data, true, "> ");
    std::string out = rows.str();
    EXPECT_EQ(out.substr(0, 12), "> 00000000: ");
    std::size_t second = out.find("\n> 00000010: ff 72 73 74 ");
    ASSERT_NE(second, std::string::npos) << out;
    std::string row2 = out.substr(second + 1);
    EXPECT_NE(row2.find("74 .. .. .. .. .. .. .. .. .. .. .. .. | .rst" + std::string(12, ' ') + "\n"),
              std::string::npos)
        << row2;
    EXPECT_EQ(rows.fill(), '*');
    EXPECT_TRUE(rows.flags() & std::ios::hex);

    // Absolute mode has a header line with address and size.
    std::ostringstream abs;
    hexDump(abs, nullptr, 0, false, "");
    EXPECT_EQ(abs.str(), "[0x00000000:0]\n");
}

TEST(Dumps, ColumnDumpWithRuler) {
    std::ostringstream os;
    std::string text = "abcdefghijklmnopqrstuvw";
    columnDump(os, std::vector<char>(text.begin(), text.end()), 12, "#", true);
    EXPECT_EQ(os.str(),
              "#0         10\n"
              "#|----+----|-\n"
              "#abcdefghijkl\n"
              "#mnopqrstuvw\n");
    std::ostringstream none;
    columnDump(none, {}, 5, "", false);
    EXPECT_EQ(none.str(), "");
}

TEST(Secrets, MaskingHidesValuesButKeepsShape) {
    EXPECT_EQ(maskSecret(""), "");
    EXPECT_EQ(maskSecret("hunter2"), kSecretMask);
    EXPECT_EQ(maskAuthorizationHeaders("Host: x\r\nAuthorization: Basic dXNlcjpwYXNz\r\n"
                                       "proxy-authorization:Basic abc\nAccept: */*"),
              std::string("Host: x\r\nAuthorization: ") + kSecretMask + "\r\nproxy-authorization: " + kSecretMask +
                  "\nAccept: */*");
    EXPECT_EQ(maskAuthorizationHeaders("X-Authorization-Hint: keep"), "X-Authorization-Hint: keep");
}

TEST(Secrets, UrlPasswordsAreMaskedWhereverTheUrlStands) {
    const std::string m = kSecretMask;
    const struct {
        const char* text;
        std::string expected;
    } cases[] = {
        {"http://user:pw@host/feed", "http://user:" + m + "@host/feed"},
        {"Updating channel: https://a:b@h:8080/x?y=1 now", "Updating channel: https://a:" + m + "@h:8080/x?y=1 now"},
        {"[Begin:http://u:p@one/] and [End:ftp://v:q@two]",
         "[Begin:http://u:" + m + "@one/] and [End:ftp://v:" + m + "@two]"},
        {"http://user@host:8080/path@x", "http://user@host:8080/path@x"},  // no password, '@' in the path
        {"mail me@home, see http://host:81/", "mail me@home, see http://host:81/"},
        {"http://host/?u=a:b@c", "http://host/?u=a:b@c"},  // '@' only in the query
        {"no url here", "no url here"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(maskUrlPasswords(c.text), c.expected) << c.text;
}

TEST(Random, RangesHold) {
    std::srand(7);
    for (int i = 0; i < 500; ++i) {
        int v = randomInRange(3, 5);
        EXPECT_GE(v, 3);
        EXPECT_LE(v, 5);
        EXPECT_FALSE(randomChance(0));
        EXPECT_TRUE(randomChance(100));
        double d = randomInRange(1.0, 2.0, false);
        EXPECT_GE(d, 1.0);
        EXPECT_LT(d, 2.0);
    }
    unsigned char buf[64];
    fillRandom(buf, sizeof buf, 10, 12);
    for (unsigned char b : buf) EXPECT_TRUE(b >= 10 && b <= 12);
    EXPECT_EQ(randomInRange(4, 4), 4);
}

TEST(Streams, ExceptionWritesItsTextOnly) {
    std::ostringstream os;
    os << std::runtime_error("disk full");
    EXPECT_EQ(os.str(), "disk full");
}
