// The mailnote hook library as the host loads it: its entry points, the
// refusals before anything is sent, the mails it sends to a real SMTP
// server for single and consolidated items, and one update of a real
// channel through the worker that ends in one mail.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "channels/channelEvents.h"
#include "channels/channelSettings.h"
#include "channels/hooks/dllChannelHookApi.h"
#include "hooks/mailnote/mailer/mailer.h"
#include "platform/library.h"
#include "tests/hooks/hook_fixture.h"
#include "tests/mailnote/smtp_fixture.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/codecs.h"
#include "tools/ini.h"

namespace {

using mailtest::SmtpServer;
using mailtest::SmtpServerOptions;
using Values = std::map<std::string, std::string>;

std::string stagedLibrary() { return testsupport::stageDir() + "/mailnote.so"; }

struct HookCall {
    bool ok = false;
    std::string out;
    std::string err;
};

class MailnoteTest : public ::testing::Test {
protected:
    MailnoteTest() {
        library.open(stagedLibrary());
        auto getInfo = library.function<GetChannelHookInfoFunc>("get_channel_hook_info");
        if (getInfo != nullptr && getInfo(1, &info, hookFile.c_str())) {
            processEvent = reinterpret_cast<ProcessChannelHookCallFunc>(info.words[0]);
            processCommand = reinterpret_cast<ProcessChannelHookCallFunc>(info.words[1]);
        }
        writeHookFile("");
        tools::writeIniString(channelFile, "Config", "PreferredChannelDisplayName", "News");
    }

    void writeHookFile(const std::string& extraArgs) {
        testsupport::writeFile(hookFile, "[Config]\nScriptFilename=" + stagedLibrary() + "\nExtraArgs=" +
                                             extraArgs + "\n[Events]\nNewFeedItem=1\nConsolidatedNewFeedItems=1\n");
    }

    // A request file as the host writes it (values percent-encoded).
    std::string request(const std::string& event, const Values& channelParams, const Values& globalParams,
                        const std::map<std::string, Values>& sections = {}) {
        const std::string file = dir.file("request-" + std::to_string(++requests) + ".ini");
        tools::writeIniString(file, "Config", "EventName", event);
        tools::writeIniString(file, "Config", "CommandName", event);
        tools::writeIniString(file, "Config", "ChannelConfigFile", channelFile);
        tools::writeIniString(file, "Config", "ChannelHookConfigFilename", hookFile);
        tools::writeIniString(file, "Config", "HttpUserAgent", "orvan-test/2.0");
        for (const auto& [k, v] : channelParams) tools::writeIniString(file, "ChannelHookParameters", k, v);
        for (const auto& [k, v] : globalParams) tools::writeIniString(file, "GlobalChannelHookParameters", k, v);
        for (const auto& [section, values] : sections)
            for (const auto& [k, v] : values) tools::writeIniString(file, section, k, v);
        return file;
    }

    HookCall call(ProcessChannelHookCallFunc entry, const std::string& requestFile) {
        const std::string out = dir.file("stdout.txt");
        const std::string err = dir.file("stderr.txt");
        // Whatever an earlier call left is replaced.
        testsupport::writeFile(out, "earlier output\n");
        testsupport::writeFile(err, "earlier error\n");
        HookCall c;
        c.ok = entry(requestFile.c_str(), out.c_str(), err.c_str());
        c.out = testsupport::readFile(out);
        c.err = testsupport::readFile(err);
        return c;
    }
    HookCall event(const std::string& requestFile) { return call(processEvent, requestFile); }

    static Values mailParams(const SmtpServer& server) { return {{"Mail Server", server.address()}}; }
    static Values recipients() {
        return {{"Send-To Email Address", "to@example.test"}, {"From Email Address", "hook@example.test"}};
    }

    testsupport::TempDir dir;
    std::string hookFile = dir.file("hooks/mailnote.hook");
    std::string channelFile = dir.file("news.rss");
    platform::library::Library library;
    ChannelHookInfo info{};
    ProcessChannelHookCallFunc processEvent = nullptr;
    ProcessChannelHookCallFunc processCommand = nullptr;
    int requests = 0;
};

TEST_F(MailnoteTest, EntryPointsAndUnknownNames) {
    ASSERT_TRUE(library.loaded()) << library.error();
    ASSERT_NE(processEvent, nullptr);
    for (std::uintptr_t word : info.words) EXPECT_NE(word, 0u);
    auto getInfo = library.function<GetChannelHookInfoFunc>("get_channel_hook_info");
    ChannelHookInfo untouched{{7, 0, 0, 0}};
    EXPECT_FALSE(getInfo(2, &untouched, hookFile.c_str()));
    EXPECT_EQ(untouched.words[0], 7u);
    EXPECT_EQ(untouched.words[1], 0u);

    HookCall c = event(request("EndChannelUpdate", {}, {}));
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.err, "Unknown event: EndChannelUpdate\n");
    EXPECT_EQ(c.out, "");
    c = call(processCommand, request("Resend", {}, {}));
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.err, "Unknown command: Resend\n");
    EXPECT_EQ(c.out, "");
}

TEST_F(MailnoteTest, MissingSettingsRefuseBeforeSending) {
    SmtpServer server;
    const Values item = {{"Url", "http://example.test/1"}, {"Title", "One"}};
    const struct {
        Values channel;
        Values global;
        const char* error;
    } cases[] = {
        {recipients(), {}, "You must configure an SMTP server. Please contact you system administrator for more "
                           "information.\n"},
        {{{"From Email Address", "hook@example.test"}}, mailParams(server),
         "You must configure an email address to send to.\n"},
        {{{"Send-To Email Address", "to@example.test"}}, mailParams(server),
         "You must configure a FROM: email address that is known to your mail server.\n"},
    };
    for (const auto& c : cases) {
        const HookCall result = event(request("NewFeedItem", c.channel, c.global, {{"NewFeedItem", item}}));
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.err, c.error);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(MailnoteTest, ConsolidationChoosesWhichEventSends) {
    SmtpServer server;
    Values single = recipients();
    single["Consolidate New Feed Items"] = "1";
    Values consolidated = recipients();
    consolidated["Consolidate New Feed Items"] = "0";
    const Values item = {{"Id", "1"}, {"Url", "http://example.test/1"}, {"Title", "One"}};
    const struct {
        const char* event;
        Values params;
    } cases[] = {{"NewFeedItem", single}, {"ConsolidatedNewFeedItems", consolidated},
                 {"ConsolidatedNewFeedItems", recipients()}};
    for (const auto& c : cases) {
        const HookCall result = event(
            request(c.event, c.params, mailParams(server), {{"NewFeedItem", item}, {"NewFeedItem-1", item}}));
        EXPECT_TRUE(result.ok) << c.event;
        EXPECT_EQ(result.out, "") << c.event;
        EXPECT_EQ(result.err, "") << c.event;
    }
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(MailnoteTest, SingleItemMailWithHostileCredentials) {
    // A password that begins with '-' and holds quotes stays one value: it
    // authenticates, and attaches nothing.
    const std::string password = "-pw\" -attach \"/etc/passwd";
    SmtpServer server(SmtpServerOptions::withAuth("hook-user", password));
    testsupport::writeFile(dir.file("hooks/custom.template"),
                           "Channel: {%CHANNEL-NAME%}\nTitle: {%ITEM-TITLE%}\nLink: {%ITEM-URL%}\n"
                           "{%ITEM-DESCRIPTION%}\n");
    Values params = recipients();
    params["Send-To Email Address"] = "a@example.test;b@example.test";
    params["New Feed Item Template"] = "custom.template";
    Values global = mailParams(server);
    global["Mail Server User Name"] = "hook-user";
    global["Mail Server Password"] = password;
    const HookCall c = event(request("newfeeditem", params, global,
                                     {{"NewFeedItem", {{"Url", "http://example.test/a"},
                                                       {"Title", "Say \"hi\""},
                                                       {"Description", "Details"}}}}));
    EXPECT_TRUE(c.ok) << c.out << c.err;
    EXPECT_EQ(c.err, "");

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u) << c.out;
    const auto& m = messages[0];
    EXPECT_EQ(m.auth, "LOGIN hook-user");
    EXPECT_EQ(m.recipients, (std::vector<std::string>{"a@example.test", "b@example.test"}));
    EXPECT_EQ(m.mailFrom, "hook@example.test");
    EXPECT_EQ(m.header("Subject"), "Orvan: News - Say 'hi'");
    EXPECT_EQ(m.header("X-Mailer"), "orvan-test/2.0");
    EXPECT_EQ(m.header("Content-Type"), "");
    EXPECT_EQ(m.body(), "Channel: News\r\nTitle: Say \"hi\"\r\nLink: http://example.test/a\r\nDetails\r\n");

    // The output names the template and the command line, without the
    // credentials, then the mailer's own lines.
    EXPECT_EQ(c.out.rfind("Using email template file: " + dir.file("hooks/custom.template") + "\nSending email: ", 0),
              0u)
        << c.out;
    EXPECT_NE(c.out.find(" -u **** -pw **** -log "), std::string::npos) << c.out;
    EXPECT_EQ(c.out.find("hook-user"), std::string::npos) << c.out;
    EXPECT_EQ(c.out.find("passwd"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("Login name is hook@example.test"), std::string::npos) << c.out;
}

TEST_F(MailnoteTest, ConsolidatedMailListsTheItemsUpToTheFirstGap) {
    SmtpServer server;
    Values params = recipients();
    params["Consolidate New Feed Items"] = "1";
    params["Consolidated New Feed Items Template"] = dir.file("missing/none.template");
    const HookCall c = event(request(
        "ConsolidatedNewFeedItems", params, mailParams(server),
        {{"NewFeedItem-1", {{"Id", "a"}, {"Url", "http://example.test/a"}, {"Title", "A"}}},
         {"NewFeedItem-2", {{"Id", "b"}, {"Url", "http://example.test/b"}, {"Title", "B"}}},
         {"NewFeedItem-4", {{"Id", "d"}, {"Url", "http://example.test/d"}, {"Title", "D"}}}}));
    EXPECT_TRUE(c.ok) << c.out << c.err;
    EXPECT_EQ(c.out.find("Using email template file"), std::string::npos);

    // One item without a title.
    const HookCall single = event(request("ConsolidatedNewFeedItems", params, mailParams(server),
                                          {{"NewFeedItem-1", {{"Id", "x"}, {"Url", "http://example.test/x"}}}}));
    EXPECT_TRUE(single.ok) << single.out << single.err;

    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].header("Subject"), "Orvan: News - 2 new items");
    EXPECT_EQ(messages[0].body(), "http://example.test/a\r\nhttp://example.test/b\r\n\r\n");
    EXPECT_EQ(messages[1].header("Subject"), "Orvan: News - Untitled item");
}

TEST_F(MailnoteTest, StalledServerFailsWithinTheTimeOut) {
    SmtpServer server(SmtpServerOptions::stalling());
    writeHookFile("-ti 2");
    const HookCall c = event(request("NewFeedItem", recipients(), mailParams(server),
                                     {{"NewFeedItem", {{"Url", "http://example.test/1"}, {"Title", "One"}}}}));
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.err, "Couldn't send the email: rc=1\n");
    EXPECT_NE(c.out.find(" -ti 2 -log "), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("Error: Wait a bit (possible timeout).\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("Couldn't send the email: rc=1\n"), std::string::npos) << c.out;
}

// ---------------------------------------------------------------------------
// Through the worker: a channel with UTF-8 items updated from a local HTTP
// server; the hook runs on the dispatcher thread and sends one mail.

const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>K\xC3\xB6ln</title>"
    "<link>http://example.test/</link><description>d</description>"
    "<item><guid>g1</guid><title>Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln</title><link>http://example.test/1</link>"
    "<description>Stra\xC3\x9F" "e gesperrt</description></item>"
    "<item><guid>g2</guid><title>Caf\xC3\xA9 er\xC3\xB6" "ffnet</title><link>http://example.test/2</link></item>"
    "</channel></rss>\n";

class EndListener : public channels::EventListener {
public:
    void onEndChannelUpdateEvent(const channels::EndChannelUpdateEvent&) override { ++ends; }
    std::atomic<int> ends{0};
};

TEST(MailnoteWorkerTest, AnUpdateSendsOneMailWithItsItems) {
    testsupport::TempDir dir;
    hooktest::EngineSettings engine(dir.file("config.ini"));
    channels::ScriptingEngine& scripting = channels::getScriptingEngine();
    const auto standard = scripting.getStandardParams();
    const std::string oldAgent = standard.count("HttpUserAgent") ? standard.at("HttpUserAgent") : "";
    scripting.setStandardParam("HttpUserAgent", "orvan-test/3.0");
    hooktest::HostWindow host;
    testsupport::HttpServer http;
    http.route("/feed.xml", testsupport::HttpAnswer::text(kFeed));
    SmtpServer smtp(SmtpServerOptions::withAuth("worker", "s3cret"));
    std::filesystem::create_directories(dir.file("Channels"));
    std::filesystem::create_directories(dir.file("Logs"));

    // The staged definition with an attachment through ExtraArgs, and a
    // consolidated template beside it.
    const std::string pdf = "%PDF-1.4 \x01\x02\x03";
    testsupport::writeFile(dir.file("report.pdf"), pdf);
    const std::string hookFile = dir.file("hooks/mailnote.hook");
    std::string definition = testsupport::readFile(testsupport::stageDir() + "/mailnote.hook");
    definition.replace(definition.find("ScriptFilename=mailnote.dll"), 27,
                       "ScriptFilename=" + testsupport::stageDir() + "/mailnote.dll");
    definition.replace(definition.find("ExtraArgs="), 10,
                       "ExtraArgs=-attach " + mailer::quoteArgument(dir.file("report.pdf")));
    testsupport::writeFile(hookFile, definition);
    testsupport::writeFile(dir.file("hooks/mailnote-ConsolidatedNewFeedItems.template"),
                           "{%CHANNEL-NAME%}\n{%REPEAT% FeedItems}* {%ITEM-TITLE%}: {%ITEM-DESCRIPTION%}\n{%/REPEAT%}");
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server", smtp.address());
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server User Name", "worker");
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server Password", "s3cret");

    const std::string channelFile = dir.file("Channels/koeln.rss");
    tools::writeIniString(channelFile, "Config", "RssChannelUrl", http.url("/feed.xml"));
    tools::writeIniString(channelFile, "Config", "PreferredChannelDisplayName", "K\xC3\xB6ln aktuell");
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook1", hookFile);
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Send-To Email Address", "reader@example.test");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "From Email Address", "orvan@example.test");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Consolidate New Feed Items", "1");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "_EnableLogFile", "1");

    channels::ChannelSettings defaults(nullptr);
    defaults.setAutoUpdateEnabled(true);
    defaults.setAutoUpdateInterval(3600);
    channels::ChannelManager manager("orvan-test/3.0", dir.file("Channels"), dir.file("Logs"), defaults, "", "");
    manager.setDebugConfigFilename(dir.file("debug.ini"));
    EndListener listener;
    manager.addEventHandler(&listener);
    host.manager = &manager;
    manager.loadChannels();
    ASSERT_EQ(manager.getChannelCount(), 1);
    channels::Channel* channel = nullptr;
    channels::ChannelHook* hook = nullptr;
    {
        SharedLockGuard guard(&manager.getLock(), __FILE__, __LINE__);
        channel = manager.getChannels().front();
        SharedLockGuard settingsGuard(&channel->getChannelSettings().getLock(), __FILE__, __LINE__);
        ASSERT_EQ(channel->getChannelSettings().getChannelHooks().size(), 1u);
        hook = channel->getChannelSettings().getChannelHooks().front();
    }

    manager.startChannelManager();
    EXPECT_TRUE(hooktest::waitUntil([&] { return listener.ends.load() >= 1; }, 30000));
    EXPECT_TRUE(hooktest::waitUntil([&] { return !smtp.messages().empty(); }, 30000));
    const std::string hookLog = testsupport::readFile(hook->getLogFile().getFilename());
    host.runOnLoop([&] { channel->getChannelSettings().detachChannelHooks(); });
    manager.stopChannelManager(false);
    manager.removeEventHandler(&listener);
    host.manager = nullptr;
    scripting.setStandardParam("HttpUserAgent", oldAgent);

    const auto messages = smtp.messages();
    ASSERT_EQ(messages.size(), 1u) << hookLog;
    const auto& m = messages[0];
    EXPECT_EQ(m.auth, "LOGIN worker");
    EXPECT_EQ(m.recipients, (std::vector<std::string>{"reader@example.test"}));
    EXPECT_EQ(m.header("X-Mailer"), "orvan-test/3.0");
    const std::string subject = m.header("Subject");
    EXPECT_EQ(subject.rfind("=?UTF-8?Q?", 0), 0u) << subject;
    EXPECT_EQ(mailtest::decodeEncodedWords(subject), "Orvan: K\xC3\xB6ln aktuell - 2 new items");

    // Body: UTF-8, quoted-printable, in the first part; the PDF follows.
    const std::string& t = m.text;
    const std::string type = m.header("Content-Type");
    ASSERT_EQ(type.rfind("Multipart/Mixed; boundary=", 0), 0u) << t;
    const std::string bodyHead = "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: "
                                 "quoted-printable\r\n\r\n";
    const std::string::size_type bodyAt = t.find(bodyHead);
    ASSERT_NE(bodyAt, std::string::npos) << t;
    const std::string::size_type bodyStart = bodyAt + bodyHead.size();
    const std::string body = mailtest::decodeQuotedPrintable(t.substr(bodyStart, t.find("\r\n--", bodyStart) - bodyStart));
    EXPECT_EQ(body, "K\xC3\xB6ln aktuell\r\n* Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln: Stra\xC3\x9F" "e gesperrt\r\n"
                    "* Caf\xC3\xA9 er\xC3\xB6" "ffnet: \r\n");
    const std::string pdfHead = "Content-Type: application/pdf; name=report.pdf\r\n";
    const std::string::size_type pdfAt = t.find(pdfHead);
    ASSERT_NE(pdfAt, std::string::npos) << t;
    const std::string::size_type dataStart = t.find("\r\n\r\n", pdfAt) + 4;
    std::string encoded = t.substr(dataStart, t.find("\r\n--", dataStart) - dataStart);
    EXPECT_EQ(tools::base64Decode(encoded), pdf);

    // The hook's log holds its own lines and the mailer's, never the password.
    EXPECT_NE(hookLog.find("Sending email: "), std::string::npos) << hookLog;
    EXPECT_EQ(hookLog.find("s3cret"), std::string::npos) << hookLog;
}

}  // namespace
