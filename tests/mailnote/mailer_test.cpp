// The mailer's building blocks: command-line splitting and quoting, the
// encoders, the Date header's zone and attachment content types.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "hooks/mailnote/mailer/mailer.h"
#include "hooks/mailnote/mailer/message.h"
#include "tests/mailnote/smtp_fixture.h"

namespace {

using Args = std::vector<std::string>;

TEST(MailerCommandLineTest, SplitsLikeAConsoleProgram) {
    const struct {
        const char* line;
        Args args;
    } cases[] = {
        {"  body.txt   -to  a@x ", {"body.txt", "-to", "a@x"}},
        {"-to \"Jane Doe, a@x\" -s x", {"-to", "Jane Doe, a@x", "-s", "x"}},
        {"pre\"quoted part\"post next", {"prequoted partpost", "next"}},
        {"-replyto \"\" -s", {"-replyto", "", "-s"}},
        {"C:\\dir\\file.txt \"C:\\with blank\\\\\"", {"C:\\dir\\file.txt", "C:\\with blank\\"}},
        {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(mailer::splitCommandLine(c.line), c.args) << c.line;
}

TEST(MailerCommandLineTest, QuotedValuesComeBackAsOneUnchangedArgument) {
    const std::string hostile[] = {
        "-attach /etc/passwd",
        "x\" -attach \"/etc/passwd",
        "ends in a backslash\\",
        "a\\\"b",
        "\\\\server\\share\\",
        "",
        "  blanks  ",
        "-log",
    };
    for (const std::string& value : hostile) {
        const Args args = mailer::splitCommandLine("-pw " + mailer::quoteArgument(value) + " -q");
        EXPECT_EQ(args, (Args{"-pw", value, "-q"})) << value;
    }
}

TEST(MailerEncodingTest, QuotedPrintableBody) {
    const std::string line(100, 'a');
    const std::string encoded = mailer::encodeQuotedPrintable(line);
    EXPECT_EQ(encoded.substr(0, 75), std::string(72, 'a') + "=\r\n");
    EXPECT_EQ(mailtest::decodeQuotedPrintable(encoded), line);

    EXPECT_EQ(mailer::encodeQuotedPrintable("a b=c\r\nd\n"), "a=20b=3Dc\r\nd\r\n");
    const std::string utf8 =
        "Gr\xC3\xBC\xC3\x9F"
        "e";
    EXPECT_EQ(mailer::encodeQuotedPrintable(utf8), "Gr=C3=BC=C3=9Fe");
}

TEST(MailerEncodingTest, HeaderWordsAreEncodedFoldedAndKeepCharacters) {
    bool encoded = true;
    EXPECT_EQ(mailer::encodeHeaderWord("Plain <a@b.example>", "UTF-8", &encoded), "Plain <a@b.example>");
    EXPECT_FALSE(encoded);

    EXPECT_EQ(mailer::encodeHeaderWord("1+1=2 a_b", "ISO-8859-1", &encoded), "=?ISO-8859-1?Q?1+1=3D2=20a=5Fb?=");
    EXPECT_TRUE(encoded);

    // A long subject of two-byte characters: several words, each within 75
    // characters, none splitting a character, together the whole text.
    std::string subject = "Neue Eintr\xC3\xA4ge: ";
    for (int i = 0; i < 40; ++i) subject += "\xC3\xBC\xC3\xA4 ";
    const std::string value = mailer::encodeHeaderWord(subject, "UTF-8", &encoded);
    ASSERT_TRUE(encoded);
    std::string::size_type start = 0;
    int words = 0;
    while (start < value.size()) {
        std::string::size_type end = value.find("\r\n ", start);
        const std::string word = value.substr(start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(word.size(), 75u) << word;
        EXPECT_EQ(word.rfind("=?UTF-8?Q?", 0), 0u) << word;
        // A word never ends inside a character: its last byte is not a lead byte
        // and the next word does not begin with a continuation byte.
        const std::string decoded = mailtest::decodeEncodedWords(word);
        ASSERT_FALSE(decoded.empty());
        EXPECT_NE(static_cast<unsigned char>(decoded[0]) & 0xC0, 0x80u) << word;
        ++words;
        start = end == std::string::npos ? value.size() : end + 3;
    }
    EXPECT_GT(words, 2);
    EXPECT_EQ(mailtest::decodeEncodedWords(value), subject);

    // A plain text too long for one header line is encoded and folded too.
    const std::string longText(1200, 'x');
    const std::string folded = mailer::encodeHeaderWord(longText, "UTF-8", &encoded);
    EXPECT_TRUE(encoded);
    EXPECT_EQ(mailtest::decodeEncodedWords(folded), longText);
}

TEST(MailerEncodingTest, Base64AndUuencode) {
    EXPECT_EQ(mailer::encodeBase64("abc"), "\r\nYWJj");
    EXPECT_EQ(mailer::encodeBase64("a"), "\r\nYQ==");
    const std::string encoded = mailer::encodeBase64(std::string(108, 'z'));
    EXPECT_EQ(encoded.size(), 2u + 72u + 2u + 72u);
    EXPECT_EQ(encoded.substr(74, 2), "\r\n");
    // One line, as SMTP AUTH needs it.
    const std::string credentials = std::string(1, '\0') + "user" + '\0' + std::string(100, 'p');
    const std::string line = mailer::encodeBase64Line(credentials);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(line.size(), (credentials.size() + 2) / 3 * 4);

    EXPECT_EQ(mailer::uuencodeFile("Cat", "/tmp/dir/cat.txt"), "begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n");
}

TEST(MailerEncodingTest, DateZoneKeepsHoursAndMinutesApart) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz != nullptr ? oldTz : "";
    const struct {
        const char* tz;
        const char* zone;
    } cases[] = {{"UTC0", "+0000"}, {"<-0330>3:30", "-0330"}, {"<+0545>-5:45", "+0545"}, {"<-10>10", "-1000"}};
    const std::time_t when = 1796854658;  // a Wednesday in December 2026, 22:17:38 UTC
    for (const auto& c : cases) {
        ::setenv("TZ", c.tz, 1);
        ::tzset();
        const std::string date = mailer::formatDate(when);
        EXPECT_EQ(date.substr(date.size() - 6), std::string(" ") + c.zone) << c.tz << ": " << date;
    }
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(mailer::formatDate(when), "Wed, 09 Dec 2026 22:17:38 +0000");
    if (oldTz != nullptr)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(MailerEncodingTest, AttachmentContentTypes) {
    const struct {
        const char* file;
        const char* line;
    } cases[] = {
        {"/tmp/report.pdf", "Content-Type: application/pdf; name=report.pdf\r\n"},
        {"picture.PNG", "Content-Type: image/png; name=picture.PNG\r\n"},
        {"data.unknownextension", "Content-Type: application/octet-stream; name=data.unknownextension\r\n"},
        {"README", "Content-Type: application/octet-stream; name=README\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(mailer::contentTypeForFile(c.file), c.line);
}

}  // namespace
