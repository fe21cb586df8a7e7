#include "tools/ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "lib/log/messageGroup.h"
#include "lib/log/messageLogInit.h"
#include "lib/text/blowfish.h"
#include "platform/profile.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

class Ini : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("settings.ini");

    // Writes the file by hand, as a user or an older version would have.
    void store(const std::string& contents) {
        writeFile(file, contents);
        platform::profile::invalidate(file);
    }
    std::string rawValue(const std::string& section, const std::string& key) {
        return platform::profile::getString(file, section, key, "<missing>");
    }
};

TEST_F(Ini, StringValuesAreStoredPercentEncoded) {
    tools::writeIniString(file, "S", "Offer", "50% off\tnow");
    EXPECT_EQ(rawValue("S", "Offer"), "50%25 off%09now");
    EXPECT_NE(readFile(file).find("Offer=50%25 off%09now"), std::string::npos);
    EXPECT_EQ(tools::getIniString(file, "S", "Offer", "", true), "50% off\tnow");

    // Every byte value survives a round trip, line breaks and UTF-8 included.
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    const std::string value = "x" + all + "x";
    tools::writeIniString(file, "S", "All", value);
    EXPECT_EQ(tools::getIniString(file, "S", "All", "", false), value);
    EXPECT_EQ(tools::getIniString(file, "S", "Offer", "", true), "50% off\tnow");  // neighbours intact
}

TEST_F(Ini, ReadingDecodesAndTrims) {
    store(
        "[S]\n"
        "Bad=%zz\n"
        "End=100%\n"
        "J=%4a\n"
        "Padded=   inner  value   \n"
        "Blanks=     \n"
        "Tab=%09x%09\n"
        "Long=" +
        std::string(5000, 'a') + "\n");
    struct Case {
        const char* key;
        bool trim;
        std::string expected;
    } cases[] = {
        {"Bad", true, "%zz"},
        {"End", true, "100%"},
        {"J", true, "J"},
        {"Padded", true, "inner  value"},
        {"Padded", false, "inner  value"},  // the profile layer removes the blanks
        {"Blanks", false, ""},
        {"Tab", true, "x"},
        {"Tab", false, "\tx\t"},
        {"Long", true, std::string(5000, 'a')},
        {"Missing", true, "dflt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.trim ? " trimmed" : ""));
        EXPECT_EQ(tools::getIniString(file, "s", c.key, "dflt", c.trim), c.expected);
    }
    // The default is decoded too.
    EXPECT_EQ(tools::getIniString(file, "S", "Missing", "%41 ", false), "A ");
}

TEST_F(Ini, IntegersBooleansAndRanges) {
    store("[N]\nZero=0\nEleven=11\nTen=10\nNeg=-5\nText=abc\nLead=12abc\nTrue=1\n");
    struct Case {
        const char* key;
        int expected;
    } ranged[] = {{"Zero", 7}, {"Eleven", 7}, {"Ten", 10}, {"Missing", 7}};
    for (const auto& c : ranged) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(tools::getIniIntInRange(file, "N", c.key, 1, 10, 7), c.expected);
    }
    EXPECT_EQ(tools::getIniInt(file, "N", "Neg", 3), -5);
    EXPECT_EQ(tools::getIniInt(file, "N", "Text", 3), 0);
    EXPECT_EQ(tools::getIniInt(file, "N", "Lead", 3), 12);
    EXPECT_EQ(tools::getIniInt(file, "N", "Missing", 3), 3);
    EXPECT_TRUE(tools::getIniBool(file, "N", "True", false));
    EXPECT_FALSE(tools::getIniBool(file, "N", "Zero", true));
    EXPECT_TRUE(tools::getIniBool(file, "N", "Missing", true));
    EXPECT_FALSE(tools::getIniBool(file, "N", "Missing", false));

    tools::writeIniInt(file, "W", "Int", -42);
    tools::writeIniBool(file, "W", "Yes", true);
    tools::writeIniBool(file, "W", "No", false);
    EXPECT_EQ(rawValue("W", "Int"), "-42");
    EXPECT_EQ(rawValue("W", "Yes"), "1");
    EXPECT_EQ(rawValue("W", "No"), "0");
    EXPECT_EQ(tools::getIniInt(file, "W", "Int", 0), -42);
}

TEST_F(Ini, IndexedKeyListsEndAtTheFirstGap) {
    store("[L]\nItem1=one\nItem2=%20\nItem4=four\n");
    EXPECT_EQ(tools::getIndexedIniList(file, "L", "Item", 1, true), std::vector<std::string>{"one"});
    EXPECT_EQ(tools::getIndexedIniList(file, "L", "Item", 1, false), (std::vector<std::string>{"one", " "}));
    EXPECT_TRUE(tools::getIndexedIniList(file, "L", "Item", 0, true).empty());  // Item0 missing
    std::vector<std::string> appended{"before"};
    tools::getIndexedIniList(file, "L", "Item", 4, true, appended);
    EXPECT_EQ(appended, (std::vector<std::string>{"before", "four"}));

    store("[L]\nItem1=a\nItem2=b\nItem4=d\nOther=x\n");
    tools::deleteIndexedIniKeys(file, "L", "Item", 1);
    EXPECT_EQ(tools::getIniKeyNames(file, "L"), (std::vector<std::string>{"Item4", "Other"}));
}

TEST_F(Ini, WriteIndexedListReplacesTheSectionWhenAsked) {
    store("[L]\nItem0=old\nItem1=old\nItem2=old\nItem3=old\nItem7=old\nKeep=1\n[Next]\nK=v\n");
    EXPECT_EQ(tools::writeIndexedList(file, "L", "Item", 0, {"a", "b", "c"}, true), 3);
    EXPECT_EQ(tools::getIniKeyNames(file, "L"), (std::vector<std::string>{"Item0", "Item1", "Item2"}));
    EXPECT_EQ(tools::getIndexedIniList(file, "L", "Item", 0, true), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(tools::getIniString(file, "Next", "K", "", true), "v");

    // Without clearing, keys beyond the new list stay.
    EXPECT_EQ(tools::writeIndexedList(file, "L", "Item", 0, {"x"}, false), 1);
    EXPECT_EQ(tools::getIndexedIniList(file, "L", "Item", 0, true), (std::vector<std::string>{"x", "b", "c"}));
}

TEST_F(Ini, IndexedSectionsAreDeletedUpToTheFirstEmptyKey) {
    store("[Rec1]\nName=a\n[Rec2]\nName=b\n[Rec3]\nName=  \n[Rec4]\nName=d\n[Other]\nK=v\n");
    tools::deleteIndexedIniSections(file, "Rec", 1, "Name");
    EXPECT_EQ(tools::getIniSectionNames(file), (std::vector<std::string>{"Rec3", "Rec4", "Other"}));
}

TEST_F(Ini, NamesSectionsCopyAndDelete) {
    store("[A]\nk1=v%41\nK2= spaced \n[B]\nx=1\n");
    std::vector<std::string> sections{"pre"};
    tools::getIniSectionNames(file, sections);
    EXPECT_EQ(sections, (std::vector<std::string>{"pre", "A", "B"}));
    EXPECT_TRUE(tools::getIniKeyNames(file, "missing").empty());
    EXPECT_TRUE(tools::getIniSectionNames(dir.file("none.ini")).empty());

    const std::string other = dir.file("other.ini");
    tools::copyIniSection(file, "A", other, "Copy");
    EXPECT_EQ(tools::getIniKeyNames(other, "Copy"), (std::vector<std::string>{"k1", "K2"}));
    EXPECT_EQ(tools::getIniString(other, "Copy", "k1", "", false), "vA");
    EXPECT_EQ(tools::getIniString(other, "Copy", "K2", "", false), "spaced");

    EXPECT_TRUE(tools::deleteIniKey(file, "a", "K1"));
    EXPECT_EQ(tools::getIniKeyNames(file, "A"), std::vector<std::string>{"K2"});
    EXPECT_TRUE(tools::deleteIniSection(file, "A"));
    EXPECT_EQ(tools::getIniSectionNames(file), std::vector<std::string>{"B"});

    // Copying an empty section creates no file.
    tools::copyIniSection(file, "Nothing", dir.file("never.ini"), "X");
    EXPECT_FALSE(std::filesystem::exists(dir.file("never.ini")));
}

TEST_F(Ini, DebugSection) {
    store("[Debug]\nLevel=3\nOn=1\nRaw=%41\nLong=" + std::string(5000, 'z') + "\n");
    EXPECT_EQ(tools::getDebugInt(file, "Level", 0), 3);
    EXPECT_EQ(tools::getDebugInt(file, "Missing", 9), 9);
    EXPECT_TRUE(tools::getDebugBool(file, "On", false));
    EXPECT_FALSE(tools::getDebugBool(file, "Missing", false));
    EXPECT_EQ(tools::getDebugString(file, "Raw", ""), "%41");
    EXPECT_EQ(tools::getDebugString(file, "Missing", "d"), "d");
    EXPECT_EQ(tools::getDebugString(file, "Long", "").size(), 4095u);
}

TEST(TrimString, Table) {
    struct Case {
        const char* text;
        const char* trimmed;
    } cases[] = {
        {"", ""},     {"abc", "abc"}, {"  a b  ", "a b"},        {" \t\r\n\v\f", ""}, {"\tx", "x"},
        {"x\n", "x"}, {" x", "x"},    {"\xC3\xA9 ", "\xC3\xA9"}, {" \xA0", "\xA0"},  // bytes above 0x7F are not white
                                                                                     // space
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tools::trimString(c.text), c.trimmed);
    }
}

// The plain text whose enciphered bytes are `cipherText` (up to 8 bytes:
// within the first block the key stream does not depend on the text).
std::string plainFor(const std::string& cipherText) {
    EXPECT_LE(cipherText.size(), 8u);
    std::string keyStream(cipherText.size(), '\0');
    const std::string zeros(cipherText.size(), '\0');
    crypto::passwordCipher.encrypt(zeros.data(), zeros.size(), keyStream.data());
    std::string plain(cipherText.size(), '\0');
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(cipherText[i] ^ keyStream[i]);
    return plain;
}

// Enciphered values: stored as exactly as many bytes as the plain text, and
// read back intact even when the cipher bytes begin or end with a blank.
TEST_F(Ini, EncipheredValuesRoundTrip) {
    const auto& cipher = crypto::passwordCipher;
    tools::writeIniEncryptedString(cipher, file, "Auth", "Empty", "");
    EXPECT_EQ(rawValue("Auth", "Empty"), "");
    EXPECT_EQ(tools::getIniEncryptedString(cipher, file, "Auth", "Empty", "", true), "");
    EXPECT_EQ(tools::getIniEncryptedString(cipher, file, "Auth", "Missing", "", true), "");

    const std::string secret = "s3cr\xC3\xA9t pass with more than one block";
    tools::writeIniEncryptedString(cipher, file, "Auth", "Password", secret);
    const std::string stored = tools::urlDecode(rawValue("Auth", "Password"));
    EXPECT_EQ(stored.size(), secret.size());
    EXPECT_NE(stored, secret);
    EXPECT_EQ(tools::getIniEncryptedString(cipher, file, "Auth", "Password", "", true), secret);

    const char* cipherTexts[] = {" abc", "abc ", "   ", " ", "\tab", "ab\r\n", "a b", "%41x"};
    for (const char* c : cipherTexts) {
        const std::string plain = plainFor(c);
        SCOPED_TRACE(tools::urlEncode(c));
        tools::writeIniEncryptedString(cipher, file, "Auth", "Edge", plain);
        EXPECT_EQ(tools::urlDecode(rawValue("Auth", "Edge")), c);
        EXPECT_EQ(tools::getIniEncryptedString(cipher, file, "Auth", "Edge", "", true), plain);
        EXPECT_EQ(tools::getIniEncryptedString(cipher, file, "Auth", "Edge", "", false), plain);
    }
}

// A value written before blanks were encoded (raw blanks inside) still reads.
TEST_F(Ini, EncipheredValueWithRawInnerBlankStillReads) {
    const std::string plain = plainFor("ab cd");
    store("[Auth]\nPassword=" + tools::urlEncode("ab cd") + "\n");
    EXPECT_NE(readFile(file).find("=ab cd"), std::string::npos);
    EXPECT_EQ(tools::getIniEncryptedString(crypto::passwordCipher, file, "Auth", "Password", "", true), plain);
}

// Secrets among plain values: written enciphered behind their mark; values
// that the plain writer stored, even ones that look like the mark, read as
// they were written.
TEST_F(Ini, SecretValuesAreEncipheredAndPlainOnesStillRead) {
    const auto& cipher = crypto::passwordCipher;
    for (const std::string& secret : {std::string("s3cret"), std::string(" edge blanks "), std::string("%~x")}) {
        SCOPED_TRACE(secret);
        tools::writeIniSecretString(cipher, file, "P", "Password", secret);
        const std::string stored = rawValue("P", "Password");
        EXPECT_EQ(stored.rfind("%~", 0), 0u) << stored;
        EXPECT_EQ(stored.find(secret), std::string::npos) << stored;
        EXPECT_EQ(tools::decodeIniSecretString(cipher, stored), secret);

        tools::writeIniString(file, "P", "Legacy", secret);
        EXPECT_EQ(tools::decodeIniSecretString(cipher, rawValue("P", "Legacy")), tools::trimString(secret));
    }
    tools::writeIniSecretString(cipher, file, "P", "Empty", "");
    EXPECT_EQ(rawValue("P", "Empty"), "");
    EXPECT_EQ(tools::decodeIniSecretString(cipher, ""), "");
}

// The writes of one save go into one rewrite when the caller opens a batch.
TEST_F(Ini, WritesJoinTheCallersBatch) {
    store("[S]\nA=old\n");
    {
        platform::profile::WriteBatch batch(file);
        tools::writeIniString(file, "S", "A", "new");
        tools::writeIndexedList(file, "L", "Item", 1, {"x", "y"}, true);
        EXPECT_EQ(tools::getIniString(file, "S", "A", "", true), "new");  // own pending writes are seen
        EXPECT_EQ(readFile(file), "[S]\nA=old\n");                        // the file is not rewritten yet
        EXPECT_TRUE(batch.commit());
    }
    EXPECT_EQ(tools::getIniString(file, "S", "A", "", true), "new");
    EXPECT_EQ(tools::getIndexedIniList(file, "L", "Item", 1, true), (std::vector<std::string>{"x", "y"}));
}

// The "MessageLog" section switches groups by name; a key that names no
// group is ignored and a group without a key ends up off.
TEST_F(Ini, MessageLogSectionSwitchesGroups) {
    CMessageGroup alpha("IniTestAlpha", "");
    CMessageGroup beta("IniTestBeta", "");
    CMessageGroup gamma("IniTestGamma", "");
    beta.setEnabled(true);
    gamma.setEnabled(true);
    store("[MessageLog]\ninitestalpha=1\nIniTestBeta=0\nNoSuchGroup=1\n");
    loadMessageGroupSettings(file);
    EXPECT_TRUE(alpha.isEnabled());
    EXPECT_FALSE(beta.isEnabled());
    EXPECT_FALSE(gamma.isEnabled());
    EXPECT_EQ(CMessageGroup::findByName("NoSuchGroup"), nullptr);
    CMessageGroup::setAllEnabled(true);
}

// A folder where no file can be created: read-only for an ordinary user;
// for root, who writes anywhere, the read-only /proc folder.
class UnwritableFolder {
public:
    UnwritableFolder() {
        if (::geteuid() == 0) {
            base_ = "/proc";
            return;
        }
        base_ = dir_.str();
        ::chmod(base_.c_str(), 0555);
    }
    ~UnwritableFolder() { ::chmod(dir_.str().c_str(), 0755); }
    std::string file(const std::string& name) const {
        return base_ + "/orvan-" + std::to_string(::getpid()) + "-" + name;
    }

private:
    TempDir dir_;
    std::string base_;
};

// Catches: a write that did not reach the disk reported as done, from a
// single key up to a list whose batch failed at commit.
TEST(IniFailures, EveryWritePathReportsAFileThatCannotBeWritten) {
    UnwritableFolder readOnly;
    TempDir dir;
    const std::string source = dir.file("source.ini");
    tools::writeIniString(source, "Src", "a", "1");
    crypto::Blowfish cipher("key", 3);
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> write;
    };
    const std::vector<Case> cases = {
        {"writeIniString", [](const std::string& f) { return tools::writeIniString(f, "S", "k", "v"); }},
        {"writeIniInt", [](const std::string& f) { return tools::writeIniInt(f, "S", "k", 1); }},
        {"writeIniBool", [](const std::string& f) { return tools::writeIniBool(f, "S", "k", true); }},
        {"writeIniEncryptedString",
         [&](const std::string& f) { return tools::writeIniEncryptedString(cipher, f, "S", "k", "secret"); }},
        {"copyIniSection", [&](const std::string& f) { return tools::copyIniSection(source, "Src", f, "Dst"); }},
        {"writeIndexedList",
         [](const std::string& f) {
             return tools::writeIndexedList(f, "S", "Item", 1, {"x", "y"}, true) >= 0;
         }},
    };
    for (const Case& c : cases) {
        for (const std::string& file : {readOnly.file("new.ini"), std::string("/dev/full")}) {
            SCOPED_TRACE(std::string(c.name) + " on " + file);
            errno = 0;
            EXPECT_FALSE(c.write(file));
            EXPECT_NE(errno, 0);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(readOnly.file("new.ini")));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device was replaced";
}

}  // namespace
