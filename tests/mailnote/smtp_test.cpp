// The mailer against a real SMTP server (aiosmtpd): what arrives, the AUTH
// methods, message transparency, time-outs, exit codes, logs, profiles and
// the web-gateway mode.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "hooks/mailnote/mailer/mailer.h"
#include "tests/mailnote/smtp_fixture.h"
#include "tests/support/test_support.h"
#include "tools/codecs.h"

namespace {

using mailer::quoteArgument;
using mailtest::SmtpServer;

// Runs one command line with the mailer's console output captured.
struct MailerRun {
    int rc = -1;
    std::string output;
};

MailerRun runMailer(const std::string& commandLine, const std::string& input = "") {
    std::FILE* out = std::tmpfile();
    std::FILE* in = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in);
    std::rewind(in);
    mailer::setMailerStandardStreams(in, out);
    MailerRun run;
    run.rc = mailer::runMailerCommandLine(commandLine);
    mailer::setMailerStandardStreams(nullptr, nullptr);
    std::rewind(out);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0) run.output.append(buffer, n);
    std::fclose(out);
    std::fclose(in);
    return run;
}

class MailerSmtpTest : public ::testing::Test {
protected:
    std::string body(const std::string& text, const std::string& name = "body.txt") {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, text);
        return path;
    }
    std::string basic(const SmtpServer& server, const std::string& bodyFile) {
        return quoteArgument(bodyFile) + " -server " + server.address() + " -f sender@example.test -to to@example.test";
    }
    testsupport::TempDir dir;
};

TEST_F(MailerSmtpTest, PlainMessageHeadersAndEnvelope) {
    SmtpServer server;
    mailer::setMailerXMailer("orvan-test/1.0");
    const MailerRun run =
        runMailer(quoteArgument(body("Hello\nworld\n")) + " -server " + server.address() +
                  " -f sender@example.test -to \"Jane Doe <jane@example.test>, b@example.test\""
                  " -cc c@example.test -bcc hidden@example.test -s \"Plain subject\" -replyto r@example.test"
                  " -organization Org -priority 1 -x \"X-Info: yes\"");
    mailer::setMailerXMailer(nullptr);
    ASSERT_EQ(run.rc, 0) << run.output;
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto& m = messages[0];
    EXPECT_EQ(m.mailFrom, "sender@example.test");
    EXPECT_EQ(m.recipients, (std::vector<std::string>{"jane@example.test", "b@example.test", "c@example.test",
                                                      "hidden@example.test"}));
    EXPECT_EQ(m.header("From"), "sender@example.test");
    EXPECT_EQ(m.header("To"), "Jane Doe <jane@example.test>, b@example.test");
    EXPECT_EQ(m.header("Cc"), "c@example.test");
    EXPECT_EQ(m.header("Bcc"), "");
    EXPECT_EQ(m.header("Subject"), "Plain subject");
    EXPECT_EQ(m.header("Reply-To"), "r@example.test");
    EXPECT_EQ(m.header("Organization"), "Org");
    EXPECT_EQ(m.header("X-Priority"), "1");
    EXPECT_EQ(m.header("X-Info"), "yes");
    EXPECT_EQ(m.header("X-Mailer"), "orvan-test/1.0");
    EXPECT_EQ(m.header("MIME-Version"), "");
    EXPECT_EQ(m.body(), "Hello\r\nworld\r\n");
    // Date, From, Reply-To, Subject, To in this order.
    const std::string& t = m.text;
    EXPECT_LT(t.find("Date: "), t.find("From: "));
    EXPECT_LT(t.find("From: "), t.find("Reply-To: "));
    EXPECT_LT(t.find("Reply-To: "), t.find("Subject: "));
    EXPECT_LT(t.find("Subject: "), t.find("\r\nTo: "));
    EXPECT_NE(run.output.find("Sending " + dir.file("body.txt") + " to "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Login name is sender@example.test"), std::string::npos);
}

TEST_F(MailerSmtpTest, Utf8TextTravelsQuotedPrintableWithItsCharset) {
    SmtpServer server;
    const std::string text =
        "Gr\xC3\xBC\xC3\x9F"
        "e aus K\xC3\xB6ln\n";
    const std::string subject =
        "\xC3\x9C"
        "ber = mehr";
    const MailerRun run = runMailer(basic(server, body(text)) + " -charset UTF-8 -s " + quoteArgument(subject));
    ASSERT_EQ(run.rc, 0) << run.output;
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto& m = messages[0];
    EXPECT_EQ(m.header("MIME-Version"), "1.0");
    EXPECT_EQ(m.header("Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(m.header("Content-Transfer-Encoding"), "quoted-printable");
    EXPECT_EQ(m.header("Subject").rfind("=?UTF-8?Q?", 0), 0u) << m.header("Subject");
    EXPECT_EQ(mailtest::decodeEncodedWords(m.header("Subject")), subject);
    EXPECT_EQ(mailtest::decodeQuotedPrintable(m.body()),
              "Gr\xC3\xBC\xC3\x9F"
              "e aus K\xC3\xB6ln\r\n");
}

TEST_F(MailerSmtpTest, TransparencyOfLineEndsDotsAndLongLines) {
    SmtpServer server;
    const std::string longLine(2000, 'L');
    const struct {
        const char* name;
        std::string text;
        std::string expected;  // the body as read back, decoded
        bool encoded;
    } cases[] = {
        {"bare line feeds", "one\ntwo\nthree", "one\r\ntwo\r\nthree\r\n", false},
        {"lines beginning with a dot", ".hidden\n..two\n.\nend\n", ".hidden\r\n..two\r\n.\r\nend\r\n", false},
        {"carriage returns", "a\r\nb\rc\r\r\nd\r\n", "a\r\nb\r\nc\r\nd\r\n", false},
        {"a 2000-octet line", "start\n" + longLine + "\nend\n", "start\r\n" + longLine + "\r\nend\r\n", true},
    };
    int sent = 0;
    for (const auto& c : cases) {
        const MailerRun run = runMailer(basic(server, body(c.text)) + " -ti 10");
        ASSERT_EQ(run.rc, 0) << c.name << "\n" << run.output;
        ++sent;
        const auto messages = server.messages();
        ASSERT_EQ(messages.size(), static_cast<std::size_t>(sent)) << c.name;
        const auto& m = messages.back();
        if (c.encoded) {
            EXPECT_EQ(m.header("Content-Transfer-Encoding"), "quoted-printable") << c.name;
            EXPECT_EQ(mailtest::decodeQuotedPrintable(m.body()), c.expected) << c.name;
            for (std::string::size_type pos = 0, end; (end = m.text.find("\r\n", pos)) != std::string::npos;
                 pos = end + 2)
                EXPECT_LE(end - pos, 998u) << c.name;
        } else {
            EXPECT_EQ(m.body(), c.expected) << c.name;
        }
    }
}

TEST_F(MailerSmtpTest, AuthPlainWithALongPasswordAndAuthLogin) {
    const std::string password = std::string(60, 'p') + "-\"' \\x" + std::string(34, 'q');
    ASSERT_EQ(password.size(), 100u);
    SmtpServer server(mailtest::SmtpServerOptions::withAuth("mailer-user", password));
    const std::string credentials = " -u mailer-user -pw " + quoteArgument(password);

    MailerRun run = runMailer(basic(server, body("plain\n")) + credentials + " -plain -debug");
    ASSERT_EQ(run.rc, 0) << run.output;
    // The dialogue log shows no credentials.
    EXPECT_NE(run.output.find(">>>putline>>> AUTH PLAIN ****"), std::string::npos) << run.output;
    run = runMailer(basic(server, body("login\n")) + credentials + " -debug");
    ASSERT_EQ(run.rc, 0) << run.output;
    EXPECT_EQ(run.output.find("bWFpbGVyLXVzZXI"), std::string::npos) << run.output;

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].auth, "PLAIN mailer-user");
    EXPECT_EQ(messages[1].auth, "LOGIN mailer-user");
}

TEST_F(MailerSmtpTest, RefusedAuthenticationIsNotTriedAgain) {
    const struct {
        const char* name;
        mailtest::SmtpServerOptions options;
        const char* extra;
        const char* message;
    } cases[] = {
        {"wrong password", mailtest::SmtpServerOptions::withAuth("u", "right"), " -u u -pw wrong",
         "The mail server did not accept Auth LOGIN PASSWD value"},
        {"no AUTH LOGIN", mailtest::SmtpServerOptions::withAuth("u", "right", true), " -u u -pw right",
         "The mail server doesn't require AUTH LOGIN\nAre you sure server supports AUTH?"},
        {"AUTH PLAIN refused", mailtest::SmtpServerOptions::withAuth("u", "right"), " -u u -pw wrong -plain",
         "The mail server did not accept Auth PLAIN value"},
    };
    for (const auto& c : cases) {
        SmtpServer server(c.options);
        const auto start = std::chrono::steady_clock::now();
        const MailerRun run = runMailer(basic(server, body("x\n")) + c.extra + " -try 3");
        EXPECT_EQ(run.rc, 2) << c.name << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.name << "\n" << run.output;
        EXPECT_EQ(server.greetings(), 1) << c.name;
        EXPECT_TRUE(server.messages().empty()) << c.name;
        // The 15-second pause before a second try never came.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(14)) << c.name;
    }
}

TEST_F(MailerSmtpTest, CredentialsThatLookLikeOptionsStayValues) {
    // "-q" as the user name and "-log" as the password: neither silences the
    // run nor opens a log file.
    SmtpServer server(mailtest::SmtpServerOptions::withAuth("-q", "-log"));
    const MailerRun run = runMailer(basic(server, body("x\n")) + " -u -q -pw -log -s -attach");
    ASSERT_EQ(run.rc, 0) << run.output;
    EXPECT_NE(run.output.find("Login name is"), std::string::npos);
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].auth, "LOGIN -q");
    EXPECT_EQ(messages[0].header("Subject"), "-attach");
}

TEST_F(MailerSmtpTest, StalledServerTimesOut) {
    SmtpServer server(mailtest::SmtpServerOptions::stalling());
    const auto start = std::chrono::steady_clock::now();
    const MailerRun run = runMailer(basic(server, body("x\n")) + " -ti 2");
    EXPECT_EQ(run.rc, 1);
    EXPECT_NE(run.output.find("Error: Wait a bit (possible timeout)."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("SMTP server error"), std::string::npos) << run.output;
    // The wait is bounded, and a server that does not answer gets no QUIT
    // (no second wait for its answer).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(server.received(), "");
}

// Servers that never stop sending: the reply is cut at its bounds (line,
// whole reply) or at the deadline, and a debug run logs only a prefix.
TEST_F(MailerSmtpTest, EndlessRepliesAreCutAtTheBoundsAndTheDeadline) {
    const struct {
        const char* mode;
        const char* error;
    } cases[] = {
        {"flood", "Error: The mail server's reply is too long."},
        {"endless-line", "Error: The mail server's reply is too long."},
        {"drip", "Error: Wait a bit (possible timeout)."},
    };
    for (const auto& c : cases) {
        SmtpServer server(mailtest::SmtpServerOptions::hostile(c.mode));
        const auto start = std::chrono::steady_clock::now();
        const MailerRun run = runMailer(basic(server, body("x\n")) + " -ti 2 -debug");
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.rc, 1) << c.mode;
        EXPECT_NE(run.output.find(c.error), std::string::npos) << c.mode << ": " << run.output.substr(0, 2000);
        EXPECT_NE(run.output.find("SMTP server error"), std::string::npos) << c.mode;
        EXPECT_LT(elapsed, std::chrono::seconds(10)) << c.mode;
        // The logged reply is a bounded prefix, whatever the server sent.
        EXPECT_LT(run.output.size(), 4096u) << c.mode;
        EXPECT_NE(run.output.find("<<<getline<<< 220"), std::string::npos) << c.mode;
    }
}

TEST_F(MailerSmtpTest, AttachmentsWithContentTypesAndWildCards) {
    SmtpServer server;
    const std::string pdf = "%PDF-1.4\n\x01\x02\xff binary";
    testsupport::writeFile(dir.file("files/report.pdf"), pdf);
    testsupport::writeFile(dir.file("files/notes.txt"), "line one\nline two\n");
    testsupport::writeFile(dir.file("files/extra.txt"), "extra\n");
    std::filesystem::create_directories(dir.file("files/folder.txt"));
    const MailerRun run =
        runMailer(basic(server, body("see attached\n")) + " -attach " + quoteArgument(dir.file("files/report.pdf")) +
                  " -attacht " + quoteArgument(dir.file("files/*.txt")) + " -attach " +
                  quoteArgument(dir.file("files/missing.bin")));
    ASSERT_EQ(run.rc, 0) << run.output;
    EXPECT_NE(run.output.find("  found " + dir.file("files/notes.txt")), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("  ignoring " + dir.file("files/") + "folder.txt"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("File not found: " + dir.file("files/missing.bin")), std::string::npos);
    EXPECT_NE(run.output.find("Attached binary file: " + dir.file("files/report.pdf")), std::string::npos);

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto& m = messages[0];
    const std::string type = m.header("Content-Type");
    ASSERT_EQ(type.rfind("Multipart/Mixed; boundary=\"DiruBoundary-", 0), 0u) << type;
    const std::string boundary = type.substr(type.find('"') + 1, 33);
    const std::string& t = m.text;
    EXPECT_NE(t.find("Content-description: Mail message body\r\n\r\nsee attached"), std::string::npos);
    const std::string pdfPart =
        "Content-Type: application/pdf; name=report.pdf\r\n"
        "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
        "Content-Transfer-Encoding: BASE64\r\n\r\n";
    const std::string::size_type at = t.find(pdfPart);
    ASSERT_NE(at, std::string::npos) << t;
    const std::string::size_type dataStart = at + pdfPart.size();
    const std::string encoded = t.substr(dataStart, t.find("\r\n--", dataStart) - dataStart);
    std::string compact;
    for (char c : encoded)
        if (c != '\r' && c != '\n') compact += c;
    EXPECT_EQ(tools::base64Decode(compact), pdf);
    EXPECT_NE(t.find("Content-description: notes.txt\r\nContent-Disposition: inline\r\n\r\nline one\r\nline two"),
              std::string::npos);
    EXPECT_NE(t.find("Content-description: extra.txt"), std::string::npos);
    EXPECT_EQ(t.find("folder.txt"), std::string::npos);
    EXPECT_NE(t.find("--" + boundary + "--\r\n"), std::string::npos);
}

TEST_F(MailerSmtpTest, SixtyFifthAttachmentIsSkipped) {
    SmtpServer server;
    testsupport::writeFile(dir.file("note.txt"), "note\n");
    std::string line = basic(server, body("x\n"));
    for (int i = 0; i < 65; ++i) line += " -attacht " + quoteArgument(dir.file("note.txt"));
    const MailerRun run = runMailer(line);
    ASSERT_EQ(run.rc, 0) << run.output;
    EXPECT_NE(run.output.find("Max of 64 files allowed!  Others are being ignored"), std::string::npos);
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    int parts = 0;
    for (std::string::size_type pos = 0;
         (pos = messages[0].text.find("Content-description: note.txt", pos)) != std::string::npos; ++pos)
        ++parts;
    EXPECT_EQ(parts, 64);
}

TEST_F(MailerSmtpTest, ExitCodesOfRefusedRuns) {
    SmtpServer server;
    testsupport::writeFile(dir.file("list.txt"), "a@example.test\n");
    const std::string b = quoteArgument(body("x\n"));
    const struct {
        std::string line;
        int rc;
        const char* text;
    } cases[] = {
        {quoteArgument(dir.file("nothing.txt")) + " -server x -f y -to z", 2, "does not exist"},
        {b + " -to z", 12, "aborting, nothing sent"},
        {b + " -server " + server.address() + " -F y -to z", 1, "syntax:"},
        {b + " -server " + server.address() + " -f y -to z -tf " + quoteArgument(dir.file("list.txt")), 1,
         "-t/-to can not be used with -tf.  Aborting."},
        {b + " -server " + server.address() + " -f y -cf " + quoteArgument(dir.file("nolist.txt")), 3, "error reading"},
        {quoteArgument(dir.str()) + " -server " + server.address() + " -f y -to z", 4,
         "Sorry, I can only mail messages from disk files..."},
        {b + " -server 127.0.0.1:" + std::to_string(testsupport::freeLoopbackPort()) + " -f y -to z", 1,
         "Error: Mail server refused connection."},
    };
    for (const auto& c : cases) {
        const MailerRun run = runMailer(c.line);
        EXPECT_EQ(run.rc, c.rc) << c.line << "\n" << run.output;
        EXPECT_NE(run.output.find(c.text), std::string::npos) << c.line << "\n" << run.output;
    }
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(MailerSmtpTest, LogFileBelongsToOneRun) {
    SmtpServer server;
    const std::string log = dir.file("mailer.log");
    MailerRun run = runMailer(basic(server, body("x\n")) + " -log " + quoteArgument(log));
    ASSERT_EQ(run.rc, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_NE(testsupport::readFile(log).find("Login name is sender@example.test"), std::string::npos);
    const std::string before = testsupport::readFile(log);
    run = runMailer(basic(server, body("y\n")) + " -q");
    run = runMailer(basic(server, body("z\n")));
    EXPECT_EQ(run.rc, 0);
    EXPECT_NE(run.output.find("Login name is"), std::string::npos);
    EXPECT_EQ(testsupport::readFile(log), before);
    EXPECT_EQ(server.messages().size(), 3u);
}

TEST_F(MailerSmtpTest, StoredProfilesSupplyServerAndSender) {
    const char* old = std::getenv("ORVAN_REGISTRY_FILE");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("ORVAN_REGISTRY_FILE", dir.file("registry.ini").c_str(), 1);
    SmtpServer server;

    MailerRun run = runMailer("-install " + server.address() + " stored@example.test");
    EXPECT_EQ(run.rc, 0) << run.output;
    EXPECT_NE(run.output.find("SMTP server set to " + server.address() +
                              " on port 25 with user stored@example.test, "
                              "retry 1 time(s)"),
              std::string::npos)
        << run.output;
    run = runMailer("-install 127.0.0.1:1 other@example.test - - work");
    EXPECT_EQ(run.rc, 0) << run.output;
    EXPECT_EQ(runMailer("-install").rc, 6);

    run = runMailer("-profile");
    EXPECT_NE(run.output.find(server.address() + " stored@example.test 1 25 <default>"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("127.0.0.1:1 other@example.test ONCE 25 work"), std::string::npos) << run.output;

    run = runMailer(quoteArgument(body("from the profile\n")) + " -to to@example.test");
    EXPECT_EQ(run.rc, 0) << run.output;
    run = runMailer(quoteArgument(body("from the work profile\n")) + " -to to@example.test -p work");
    EXPECT_EQ(run.rc, 1) << run.output;  // its server is not there

    EXPECT_EQ(runMailer("-profile -delete work").rc, 0);
    EXPECT_EQ(runMailer("-profile -delete work").rc, 10);
    EXPECT_EQ(runMailer("-profile").output.find(" work\n"), std::string::npos);

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].mailFrom, "stored@example.test");
    if (old != nullptr)
        ::setenv("ORVAN_REGISTRY_FILE", saved.c_str(), 1);
    else
        ::unsetenv("ORVAN_REGISTRY_FILE");
}

class GatewayEnvironment {
public:
    explicit GatewayEnvironment(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [name, value] : values) {
            names_.push_back(name);
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
    ~GatewayEnvironment() {
        for (const std::string& name : names_) ::unsetenv(name.c_str());
    }

private:
    std::vector<std::string> names_;
};

TEST_F(MailerSmtpTest, GatewayModeMailsTheFormAndAnswersWithAPage) {
    SmtpServer server;
    GatewayEnvironment env({{"REQUEST_METHOD", "POST"},
                            {"GATEWAY_INTERFACE", "CGI/1.1"},
                            {"QUERY_STRING", "Diru_SERVER=" + server.address()},
                            {"REMOTE_ADDR", "192.0.2.7"},
                            {"SERVER_NAME", "forms.example.test"},
                            {"HTTP_USER_AGENT", "agent\r\nBcc: evil@example.test"}});
    const std::string form =
        "TO=to%40example.test&SENDER=form%40example.test"
        "&SUBJECT=Hi%22+-attach+%22%2Fetc%2Fpasswd&Comment=Hello+there"
        "&DIRU_SUCCESS=http%3A%2F%2Fexample.test%2Fthanks%0D%0ASet-Cookie%3A+stolen%3D1";
    ::setenv("CONTENT_LENGTH", std::to_string(form.size()).c_str(), 1);
    const MailerRun run = runMailer("", form);
    ::unsetenv("CONTENT_LENGTH");
    EXPECT_EQ(run.rc, 0) << run.output;

    // One header line each: nothing the request holds starts a header.
    EXPECT_EQ(run.output.rfind("Expires: Thu, 01 Dec 1994 16:00:00 GMT\r\nPragma: no-cache\r\n"
                               "Location: http://example.test/thanks  Set-Cookie: stolen=1\r\n\r\n",
                               0),
              0u)
        << run.output;
    EXPECT_NE(run.output.find("Click here to go to http://example.test/thanks"), std::string::npos);

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto& m = messages[0];
    EXPECT_EQ(m.recipients, (std::vector<std::string>{"to@example.test"}));
    EXPECT_EQ(m.header("Subject"), "Hi' -attach '/etc/passwd");
    EXPECT_EQ(m.header("Content-Type"), "");
    EXPECT_EQ(m.header("Bcc"), "");
    EXPECT_EQ(m.header("X-Web-Browser"), "Send using agent  Bcc: evil@example.test");
    EXPECT_EQ(m.header("Received").rfind("from 192.0.2.7 by forms.example.test with HTTP; ", 0), 0u);
    EXPECT_NE(m.body().find("Hello there\r\n"), std::string::npos) << m.body();
    EXPECT_EQ(m.body().find("thanks"), std::string::npos);
}

}  // namespace
