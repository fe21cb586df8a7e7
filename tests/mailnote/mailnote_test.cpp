// The mailnote hook library as the host loads it: its entry points, the
// refusals before anything is sent, the mails it sends to a real SMTP
// server for single and consolidated items, its mail queue (calls return at
// once, mails keep their order, a bounded queue, the wait at exit), and
// updates of a real channel through the worker that end in mails.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
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
        testsupport::writeFile(hookFile, "[Config]\nScriptFilename=" + stagedLibrary() + "\nExtraArgs=" + extraArgs +
                                             "\n[Events]\nNewFeedItem=1\nConsolidatedNewFeedItems=1\n");
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
        tools::writeIniString(file, "Config", "UserConfigFile", dir.file("config.ini"));
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

    // The mailer's lines of queued mails.
    std::string mailLog() const { return testsupport::readFile(dir.file("mailnote.log")); }
    bool waitForMessages(const SmtpServer& server, std::size_t count) const {
        return hooktest::waitUntil([&] { return server.messages().size() >= count; }, 30000);
    }

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
        {recipients(),
         {},
         "You must configure an SMTP server. Please contact you system administrator for more "
         "information.\n"},
        {{{"From Email Address", "hook@example.test"}},
         mailParams(server),
         "You must configure an email address to send to.\n"},
        {{{"Send-To Email Address", "to@example.test"}},
         mailParams(server),
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
    } cases[] = {{"NewFeedItem", single},
                 {"ConsolidatedNewFeedItems", consolidated},
                 {"ConsolidatedNewFeedItems", recipients()}};
    for (const auto& c : cases) {
        const HookCall result =
            event(request(c.event, c.params, mailParams(server), {{"NewFeedItem", item}, {"NewFeedItem-1", item}}));
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
    const HookCall c = event(request(
        "newfeeditem", params, global,
        {{"NewFeedItem", {{"Url", "http://example.test/a"}, {"Title", "Say \"hi\""}, {"Description", "Details"}}}}));
    EXPECT_TRUE(c.ok) << c.out << c.err;
    EXPECT_EQ(c.err, "");

    ASSERT_TRUE(waitForMessages(server, 1)) << c.out << mailLog();
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
    // credentials; the mailer's own lines go to the mail log in the user's
    // folder, which the command line names.
    EXPECT_EQ(c.out.rfind("Using email template file: " + dir.file("hooks/custom.template") + "\nSending email: ", 0),
              0u)
        << c.out;
    EXPECT_NE(c.out.find(" -u **** -pw **** -log " + mailer::quoteArgument(dir.file("mailnote.log")) + "\n"),
              std::string::npos)
        << c.out;
    EXPECT_EQ(c.out.find("hook-user"), std::string::npos) << c.out;
    EXPECT_EQ(c.out.find("passwd"), std::string::npos) << c.out;
    EXPECT_TRUE(hooktest::waitUntil(
        [&] { return mailLog().find("Login name is hook@example.test") != std::string::npos; }, 10000))
        << mailLog();
    EXPECT_EQ(mailLog().find("passwd"), std::string::npos);
}

TEST_F(MailnoteTest, ConsolidatedMailListsTheItemsUpToTheFirstGap) {
    SmtpServer server;
    Values params = recipients();
    params["Consolidate New Feed Items"] = "1";
    params["Consolidated New Feed Items Template"] = dir.file("missing/none.template");
    const HookCall c =
        event(request("ConsolidatedNewFeedItems", params, mailParams(server),
                      {{"NewFeedItem-1", {{"Id", "a"}, {"Url", "http://example.test/a"}, {"Title", "A"}}},
                       {"NewFeedItem-2", {{"Id", "b"}, {"Url", "http://example.test/b"}, {"Title", "B"}}},
                       {"NewFeedItem-4", {{"Id", "d"}, {"Url", "http://example.test/d"}, {"Title", "D"}}}}));
    EXPECT_TRUE(c.ok) << c.out << c.err;
    EXPECT_EQ(c.out.find("Using email template file"), std::string::npos);

    // One item without a title.
    const HookCall single = event(request("ConsolidatedNewFeedItems", params, mailParams(server),
                                          {{"NewFeedItem-1", {{"Id", "x"}, {"Url", "http://example.test/x"}}}}));
    EXPECT_TRUE(single.ok) << single.out << single.err;

    ASSERT_TRUE(waitForMessages(server, 2)) << mailLog();
    const auto messages = server.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].header("Subject"), "Orvan: News - 2 new items");
    EXPECT_EQ(messages[0].body(), "http://example.test/a\r\nhttp://example.test/b\r\n\r\n");
    EXPECT_EQ(messages[1].header("Subject"), "Orvan: News - Untitled item");
}

TEST_F(MailnoteTest, CallsReturnAtOnceWhileASilentServerIsTriedInTheBackground) {
    SmtpServer server(SmtpServerOptions::stalling());
    writeHookFile("-ti 2");
    const auto start = std::chrono::steady_clock::now();
    const HookCall c = event(request("NewFeedItem", recipients(), mailParams(server),
                                     {{"NewFeedItem", {{"Url", "http://example.test/1"}, {"Title", "One"}}}}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.err, "");
    EXPECT_NE(c.out.find(" -ti 2 -log "), std::string::npos) << c.out;
    // The failure reaches the mail log once the time-out has passed.
    EXPECT_TRUE(hooktest::waitUntil(
        [&] { return mailLog().find("Couldn't send the email: rc=1\n") != std::string::npos; }, 15000))
        << mailLog();
    EXPECT_NE(mailLog().find("Error: Wait a bit (possible timeout).\n"), std::string::npos) << mailLog();
}

TEST_F(MailnoteTest, QueuedMailsArriveInTheOrderOfTheCalls) {
    SmtpServer server;
    for (int n = 1; n <= 6; ++n) {
        const HookCall c = event(
            request("NewFeedItem", recipients(), mailParams(server),
                    {{"NewFeedItem",
                      {{"Url", "http://example.test/" + std::to_string(n)}, {"Title", "Item " + std::to_string(n)}}}}));
        ASSERT_TRUE(c.ok) << c.err;
    }
    ASSERT_TRUE(waitForMessages(server, 6)) << mailLog();
    const auto messages = server.messages();
    for (std::size_t i = 0; i < messages.size(); ++i)
        EXPECT_EQ(messages[i].header("Subject"), "Orvan: News - Item " + std::to_string(i + 1));
}

// The channel's name in the mail: what the host sends with the request, else
// what the channel file holds (preferred name, feed title, feed address).
TEST_F(MailnoteTest, ChannelNameFromTheRequestElseTheChannelFile) {
    SmtpServer server;
    testsupport::writeFile(dir.file("hooks/mailnote-NewFeedItem.template"),
                           testsupport::readFile(testsupport::stageDir() + "/mailnote-NewFeedItem.template"));
    const struct {
        const char* requestName;
        Values config;
        Values cache;
        const char* shown;
    } cases[] = {
        {"Title from the host", {{"RssChannelUrl", "http://example.test/feed"}}, {}, "Title from the host"},
        {"", {{"PreferredChannelDisplayName", "Preferred"}}, {{"ChannelDisplayName", "Title"}}, "Preferred"},
        {"", {{"RssChannelUrl", "http://example.test/feed"}}, {{"ChannelDisplayName", "Title"}}, "Title"},
        {"", {{"RssChannelUrl", "http://example.test/feed"}}, {}, "http://example.test/feed"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(channelFile);
        for (const auto& [k, v] : c.config) tools::writeIniString(channelFile, "Config", k, v);
        for (const auto& [k, v] : c.cache) tools::writeIniString(channelFile, "Cache", k, v);
        const std::string file = request("NewFeedItem", recipients(), mailParams(server),
                                         {{"NewFeedItem", {{"Url", "http://example.test/1"}, {"Title", "One"}}}});
        if (*c.requestName != '\0') tools::writeIniString(file, "Config", "ChannelDisplayName", c.requestName);
        ASSERT_TRUE(event(file).ok);
    }
    ASSERT_TRUE(waitForMessages(server, std::size(cases))) << mailLog();
    const auto messages = server.messages();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(messages[i].header("Subject"), std::string("Orvan: ") + cases[i].shown + " - One");
        EXPECT_EQ(messages[i].body().rfind(std::string("New item in ") + cases[i].shown + ":\r\n", 0), 0u)
            << messages[i].body();
    }
}

// A process that loads the library, fills its queue with mails for a
// silent server and ends: the queue takes a bounded number of mails and
// refuses the next with a line in the stderr file; at exit the process waits
// one time-out at most and logs the mails that were not sent. Run by the
// test below in a child process (MAILNOTE_QUEUE_CHILD names its folder).
TEST_F(MailnoteTest, QueueChildProcess) {
    const char* childDir = std::getenv("MAILNOTE_QUEUE_CHILD");
    if (childDir == nullptr) GTEST_SKIP() << "run by QueueIsBoundedAndExitWaitsOneTimeOut";
    const std::string server = std::getenv("MAILNOTE_QUEUE_SERVER");
    writeHookFile("-ti 2");
    int accepted = 0;
    std::string refusal;
    for (int n = 0; n < 150 && refusal.empty(); ++n) {
        std::string file = request("NewFeedItem", recipients(), {{"Mail Server", server}},
                                   {{"NewFeedItem", {{"Url", "http://example.test/"}, {"Title", std::to_string(n)}}}});
        tools::writeIniString(file, "Config", "UserConfigFile", std::string(childDir) + "/config.ini");
        const HookCall c = event(file);
        if (c.ok)
            ++accepted;
        else
            refusal = c.err;
    }
    testsupport::writeFile(std::string(childDir) + "/result.txt", std::to_string(accepted) + "\n" + refusal);
}

TEST(MailnoteQueueTest, QueueIsBoundedAndExitWaitsOneTimeOut) {
    SmtpServer server(SmtpServerOptions::stalling());
    testsupport::TempDir dir;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::vector<std::string> args = {self, "--gtest_filter=MailnoteTest.QueueChildProcess"};
    std::vector<std::string> env = {"MAILNOTE_QUEUE_CHILD=" + dir.str(), "MAILNOTE_QUEUE_SERVER=" + server.address()};
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
    // The child's mails cannot all go (a silent server, 2 s each): once the
    // queue is full it ends, and its exit waits one time-out, not the queue.
    ASSERT_TRUE(hooktest::waitUntil([&] { return !testsupport::readFile(dir.file("result.txt")).empty(); }, 60000));
    const auto filled = std::chrono::steady_clock::now();
    int status = 0;
    ASSERT_TRUE(hooktest::waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 30000));
    const auto waited = std::chrono::steady_clock::now() - filled;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_LT(waited, std::chrono::seconds(8));

    const std::string result = testsupport::readFile(dir.file("result.txt"));
    const int accepted = std::stoi(result);
    EXPECT_GE(accepted, 100);
    EXPECT_NE(result.find("\nToo many emails are waiting to be sent; this one is dropped: Orvan: News - " +
                          std::to_string(accepted) + "\n"),
              std::string::npos)
        << result;
    // Every accepted mail is accounted for: tried (and failed), or listed as
    // not sent; the last ones were never tried.
    const std::string log = testsupport::readFile(dir.file("mailnote.log"));
    EXPECT_NE(log.find("Too many emails are waiting to be sent"), std::string::npos);
    for (int n = 0; n < accepted; ++n) {
        const std::string subject = "Orvan: News - " + std::to_string(n) + "\n";
        EXPECT_TRUE(log.find("Subject:" + subject) != std::string::npos ||
                    log.find("The email was not sent: " + subject) != std::string::npos)
            << n;
    }
    EXPECT_NE(log.find("The email was not sent: Orvan: News - " + std::to_string(accepted - 1) + "\n"),
              std::string::npos);
}

// ---------------------------------------------------------------------------
// Through the worker: a channel with UTF-8 items updated from a local HTTP
// server; the hook runs on the dispatcher thread and sends one mail.

const char kFeed[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>K\xC3\xB6ln</title>"
    "<link>http://example.test/</link><description>d</description>"
    "<item><guid>g1</guid><title>Gr\xC3\xBC\xC3\x9F"
    "e aus K\xC3\xB6ln</title><link>http://example.test/1</link>"
    "<description>Stra\xC3\x9F"
    "e gesperrt</description></item>"
    "<item><guid>g2</guid><title>Caf\xC3\xA9 er\xC3\xB6"
    "ffnet</title><link>http://example.test/2</link></item>"
    "</channel></rss>\n";

// The staged definition file in dir/hooks, pointing at the staged library.
std::string writeStagedHook(const testsupport::TempDir& dir, const std::string& extraArgs = "") {
    const std::string hookFile = dir.file("hooks/mailnote.hook");
    std::string definition = testsupport::readFile(testsupport::stageDir() + "/mailnote.hook");
    definition.replace(definition.find("ScriptFilename=mailnote.dll"), 27,
                       "ScriptFilename=" + testsupport::stageDir() + "/mailnote.dll");
    if (!extraArgs.empty()) definition.replace(definition.find("ExtraArgs="), 10, "ExtraArgs=" + extraArgs);
    testsupport::writeFile(hookFile, definition);
    return hookFile;
}

// A channel of the feed with the hook attached and its two addresses set.
void writeMailChannel(const std::string& channelFile, const std::string& feedUrl, const std::string& hookFile) {
    tools::writeIniString(channelFile, "Config", "RssChannelUrl", feedUrl);
    tools::writeIniString(channelFile, "Channel Hooks", "ChannelHook1", hookFile);
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Send-To Email Address", "reader@example.test");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "From Email Address", "orvan@example.test");
}

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
    const std::string hookFile = writeStagedHook(dir, "-attach " + mailer::quoteArgument(dir.file("report.pdf")));
    testsupport::writeFile(dir.file("hooks/mailnote-ConsolidatedNewFeedItems.template"),
                           "{%CHANNEL-NAME%}\n{%REPEAT% FeedItems}* {%ITEM-TITLE%}: {%ITEM-DESCRIPTION%}\n{%/REPEAT%}");
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server", smtp.address());
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server User Name", "worker");
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server Password", "s3cret");

    const std::string channelFile = dir.file("Channels/koeln.rss");
    writeMailChannel(channelFile, http.url("/feed.xml"), hookFile);
    tools::writeIniString(channelFile, "Config", "PreferredChannelDisplayName", "K\xC3\xB6ln aktuell");
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
    const std::string bodyHead =
        "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: "
        "quoted-printable\r\n\r\n";
    const std::string::size_type bodyAt = t.find(bodyHead);
    ASSERT_NE(bodyAt, std::string::npos) << t;
    const std::string::size_type bodyStart = bodyAt + bodyHead.size();
    const std::string body =
        mailtest::decodeQuotedPrintable(t.substr(bodyStart, t.find("\r\n--", bodyStart) - bodyStart));
    EXPECT_EQ(body,
              "K\xC3\xB6ln aktuell\r\n* Gr\xC3\xBC\xC3\x9F"
              "e aus K\xC3\xB6ln: Stra\xC3\x9F"
              "e gesperrt\r\n"
              "* Caf\xC3\xA9 er\xC3\xB6"
              "ffnet: \r\n");
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

// A channel's first update: the channel file holds no name yet, and the
// staged template and the subject name the channel by its feed's title.
TEST(MailnoteWorkerTest, FirstUpdateMailNamesTheChannelByItsTitle) {
    testsupport::TempDir dir;
    hooktest::EngineSettings engine(dir.file("config.ini"));
    hooktest::HostWindow host;
    testsupport::HttpServer http;
    http.route("/feed.xml", testsupport::HttpAnswer::text(kFeed));
    SmtpServer smtp;
    std::filesystem::create_directories(dir.file("Channels"));
    std::filesystem::create_directories(dir.file("Logs"));
    const std::string hookFile = writeStagedHook(dir);
    testsupport::writeFile(dir.file("hooks/mailnote-NewFeedItem.template"),
                           testsupport::readFile(testsupport::stageDir() + "/mailnote-NewFeedItem.template"));
    tools::writeIniString(dir.file("config.ini"), hookFile, "Mail Server", smtp.address());

    const std::string channelFile = dir.file("Channels/koeln.rss");
    writeMailChannel(channelFile, http.url("/feed.xml"), hookFile);

    channels::ChannelSettings defaults(nullptr);
    defaults.setAutoUpdateEnabled(true);
    defaults.setAutoUpdateInterval(3600);
    channels::ChannelManager manager("orvan-test/3.0", dir.file("Channels"), dir.file("Logs"), defaults, "", "");
    manager.setDebugConfigFilename(dir.file("debug.ini"));
    host.manager = &manager;
    manager.loadChannels();
    ASSERT_EQ(manager.getChannelCount(), 1);
    channels::Channel* channel = nullptr;
    {
        SharedLockGuard guard(&manager.getLock(), __FILE__, __LINE__);
        channel = manager.getChannels().front();
    }
    manager.startChannelManager();
    const bool arrived = hooktest::waitUntil([&] { return smtp.messages().size() >= 2; }, 30000);
    host.runOnLoop([&] { channel->getChannelSettings().detachChannelHooks(); });
    manager.stopChannelManager(false);
    host.manager = nullptr;

    ASSERT_TRUE(arrived);
    const auto messages = smtp.messages();
    for (const auto& m : messages) {
        EXPECT_EQ(mailtest::decodeEncodedWords(m.header("Subject")).rfind("Orvan: K\xC3\xB6ln - ", 0), 0u)
            << m.header("Subject");
        EXPECT_EQ(m.body().find("New item in :"), std::string::npos) << m.body();
    }
    const std::string body = mailtest::decodeQuotedPrintable(messages[0].body());
    EXPECT_EQ(body.rfind("New item in K\xC3\xB6ln:\r\n", 0), 0u) << body;
}

}  // namespace
