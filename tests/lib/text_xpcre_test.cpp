#include "lib/text/xpcre.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct MatchCase {
    const char* pattern;
    unsigned flags;
    const char* subject;
    int start;
    bool expected;
};

TEST(XpcreMatch, Table) {
    const MatchCase cases[] = {
        {"abc", xpcre::CaseInsensitive, "xABCx", 0, true},
        {"abc", 0, "xABCx", 0, false},
        {"abc", 0, "xabcx", 0, true},
        {"ab", 0, "abab", 1, true},
        {"ab", 0, "abab", 3, false},
        {"^ab", 0, "abab", 2, false},  // ^ anchors at the subject's start, not the offset
        {"", 0, "anything", 0, true},
        {"", 0, "", 0, true},
        {"x", 0, "abc", 3, false},  // offset at the end is allowed
        // UTF-8: caseless matching folds non-ASCII letters; offsets are bytes.
        {"\xC3\xA9t\xC3\xA9", xpcre::CaseInsensitive, "\xC3\x89T\xC3\x89", 0, true},
        {"^.$", 0, "\xC3\xA9", 0, true},
        {"t", 0, "\xC3\xA9t", 2, true},
        // Bytes that are not UTF-8 never stop a match elsewhere in the subject.
        {"b", 0,
         "a\xFF\xFE"
         "b",
         0, true},
        {"a.b", 0,
         "a\xFF"
         "b",
         0, false},
        // A pattern that is not UTF-8 is matched byte for byte.
        {"caf\xE9", xpcre::CaseInsensitive, "CAF\xE9!", 0, true},
        {"caf\xE9", 0, "caf\xC3\xA9", 0, false},
    };
    for (const auto& c : cases) {
        xpcre::CompiledRe re(c.pattern, c.flags);
        EXPECT_EQ(c.expected, re.match(c.subject, c.start))
            << "pattern '" << c.pattern << "' subject '" << c.subject << "' from " << c.start;
    }
}

TEST(XpcreMatch, MoreGroupsThanTheVectorHoldsStillMatch) {
    // 60 capture groups: their ranges do not all fit, which is still a match.
    std::string pattern;
    std::string subject;
    for (int i = 0; i < 60; ++i) {
        pattern += "(a)";
        subject += "a";
    }
    xpcre::CompiledRe re(pattern, 0);
    EXPECT_TRUE(re.match(subject, 0));
    EXPECT_FALSE(re.match(subject.substr(1), 0));
}

TEST(XpcreErrors, InvalidPatternThrowsAndIsInvalid) {
    try {
        xpcre::CompiledRe re("a(", 0);
        FAIL() << "no exception";
    } catch (const xpcre::Exception& e) {
        EXPECT_EQ(0u, std::string(e.what()).rfind("Invalid RE: ", 0)) << e.what();
        EXPECT_GT(std::string(e.what()).size(), std::string("Invalid RE: ").size());
    }
    EXPECT_FALSE(xpcre::isValidRe("a("));
    EXPECT_FALSE(xpcre::isValidRe("[z-a]"));
    EXPECT_TRUE(xpcre::isValidRe("a+"));
    EXPECT_TRUE(xpcre::isValidRe(""));
    EXPECT_TRUE(xpcre::isValidRe("caf\xE9"));
    EXPECT_FALSE(xpcre::isValidRe("caf\xE9("));
}

TEST(XpcreErrors, MatchFailuresThrowWithTheCode) {
    xpcre::CompiledRe re("a", 0);
    const std::string prefix = "RE Error -";
    for (int bad : {4, -1}) {  // beyond the subject, negative
        try {
            re.match("abc", bad);
            FAIL() << "no exception for offset " << bad;
        } catch (const xpcre::Exception& e) {
            EXPECT_EQ(0u, std::string(e.what()).rfind(prefix, 0)) << e.what();
        }
    }
    xpcre::CompiledRe empty;
    try {
        empty.match("abc", 0);
        FAIL() << "no exception without a pattern";
    } catch (const xpcre::Exception& e) {
        EXPECT_STREQ("RE Error -2", e.what());
    }
}

TEST(XpcreObject, CopyMoveDumpAndConcurrentUse) {
    xpcre::CompiledRe a("b+c", xpcre::CaseInsensitive);
    xpcre::CompiledRe b(a);
    xpcre::CompiledRe c;
    c = a;
    a = xpcre::CompiledRe("zz", 0);  // replaces and frees the first pattern
    EXPECT_TRUE(b.match("aBBC"));
    EXPECT_TRUE(c.match("aBBC"));
    EXPECT_FALSE(a.match("aBBC"));
    xpcre::CompiledRe d(std::move(b));
    EXPECT_TRUE(d.match("bc"));

    std::ostringstream os;
    os << d;
    EXPECT_EQ("b+c", os.str());

    std::vector<std::thread> threads;
    std::vector<int> hits(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) hits[t] += d.match(i % 2 ? "xxbbbc" : "xxx") ? 1 : 0;
        });
    }
    for (auto& th : threads) th.join();
    for (int h : hits) EXPECT_EQ(250, h);
}

TEST(XpcreSubstring, RangesAreClamped) {
    EXPECT_EQ("bc", xpcre::substring("abcd", 1, 3));
    EXPECT_EQ("", xpcre::substring("abcd", 3, 1));
    EXPECT_EQ("cd", xpcre::substring("abcd", 2, 99));
    EXPECT_EQ("", xpcre::substring("abcd", 9, 12));
}

}  // namespace
