#include <gtest/gtest.h>

#include <chrono>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/channelConfig.h"
#include "channels/channelState.h"
#include "channels/exception.h"
#include "channels/feed/feed.h"
#include "channels/appPlugins/localPluginUrl.h"
#include "tests/channels/rsschannel_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/http.h"
#include "tools/httpAuth.h"

using nettest::Engine;
using testsupport::HttpAnswer;
using testsupport::HttpServer;

namespace {

class RssChannelTest : public ::testing::Test {
protected:
    RssChannelTest() { channel = engine.addChannel("feed", server.url("/feed.xml")); }

    struct Result {
        std::string text = "caller's text";
        bool unchanged = false;
        std::string error;
    };
    Result update(bool force = false) {
        Result r;
        try {
            channel->update(r.text, force, r.unchanged);
        } catch (const std::exception& e) {
            r.error = e.what();
        }
        return r;
    }
    std::string storedUrl() { return channel->getRssChannelConfig().getRssChannelUrl(); }

    HttpServer server;
    Engine engine;
    channels::RssChannel* channel = nullptr;
};

}  // namespace

TEST_F(RssChannelTest, ValidatorsAreStoredAndSentAgain) {
    struct Case {
        const char* name;
        std::string etag, lastModified;
    };
    for (const Case& c : {Case{"etag", "\"v7\"", ""}, Case{"last-modified", "", "Tue, 08 Dec 2026 09:00:00 GMT"}}) {
        SCOPED_TRACE(c.name);
        channel->getChannelState().setHttpValidators("", "");
        HttpAnswer a = HttpAnswer::text("<rss>one</rss>");
        a.etag = c.etag;
        a.lastModified = c.lastModified;
        server.route("/feed.xml", a);

        Result first = update();
        EXPECT_EQ(first.error, "");
        EXPECT_EQ(first.text, "<rss>one</rss>");
        EXPECT_FALSE(first.unchanged);
        EXPECT_EQ(channel->getChannelState().getHttpETag(), c.etag);
        EXPECT_EQ(channel->getChannelState().getHttpLastModified(), c.lastModified);

        Result second = update();
        EXPECT_EQ(second.error, "");
        EXPECT_TRUE(second.unchanged);
        EXPECT_EQ(second.text, "caller's text");
        EXPECT_EQ(channel->getChannelState().getHttpETag(), c.etag);

        // A forced update (or ForceNetDownloads) asks unconditionally.
        channel->getChannelConfig().setForceNetDownloads(true);
        Result forced = update();
        channel->getChannelConfig().setForceNetDownloads(false);
        EXPECT_FALSE(forced.unchanged);
        EXPECT_EQ(forced.text, "<rss>one</rss>");
    }
}

TEST_F(RssChannelTest, PermanentRedirectIsStoredOthersAreNot) {
    server.route("/new.xml", HttpAnswer::text("<rss>new</rss>"));
    for (int code : {302, 303, 307, 308, 301}) {
        SCOPED_TRACE(code);
        server.route("/feed.xml", HttpAnswer::redirect(code, "/new.xml"));
        Result r = update();
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.text, "<rss>new</rss>");
        // The relative address keeps the port of the URL that was asked for.
        EXPECT_EQ(storedUrl(), server.url(code == 301 ? "/new.xml" : "/feed.xml"));
    }
}

TEST_F(RssChannelTest, RedirectsAreResolvedAsHttpSays) {
    const struct {
        std::string base, location, expected;
    } cases[] = {
        {"http://h:8080/a/b/feed.xml", "/new.xml", "http://h:8080/new.xml"},
        {"http://h:8080/a/b/feed.xml", "other.xml", "http://h:8080/a/b/other.xml"},
        {"https://h/a/feed.xml?x=1", "../up.xml", "https://h/up.xml"},
        {"https://h/a/feed.xml", "//mirror.test/f.xml", "https://mirror.test/f.xml"},
        {"http://h/a/feed.xml", "HTTP://Other.test/x", "HTTP://Other.test/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(channels::RssChannel::makeAbsoluteRedirectUrl(c.base, c.location), c.expected) << c.location;
}

TEST_F(RssChannelTest, RedirectLimitHolds) {
    for (int i = 1; i <= 6; ++i)
        server.route("/r" + std::to_string(i), HttpAnswer::redirect(302, "/r" + std::to_string(i + 1)));
    server.route("/r7", HttpAnswer::text("<rss>end</rss>"));

    channel->getRssChannelConfig().setRssChannelUrl(server.url("/r1"));
    EXPECT_EQ(update().error, "HTTP 302 Found");  // the sixth redirect is not followed
    EXPECT_EQ(storedUrl(), server.url("/r1"));

    channel->getRssChannelConfig().setRssChannelUrl(server.url("/r2"));
    EXPECT_EQ(update().text, "<rss>end</rss>");  // five are

    engine.setDebug("MaxHttpRedirects", "0");
    EXPECT_EQ(update().error, "HTTP 302 Found");
}

TEST_F(RssChannelTest, BadRedirectsAreErrors) {
    server.route("/feed.xml", HttpAnswer::redirect(301, " "));
    EXPECT_EQ(update().error, "HTTP 301 did not return a redirect URL.");
    EXPECT_EQ(storedUrl(), server.url("/feed.xml"));

    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("secret.txt"), "local secret");
    server.route("/feed.xml", HttpAnswer::redirect(302, "file://" + dir.file("secret.txt")));
    Result r = update();
    EXPECT_EQ(r.error.rfind("HTTP 302 redirected to an address that is not a web address", 0), 0u) << r.error;
    EXPECT_EQ(r.text, "caller's text");
}

// Catches: a 301 whose Location holds a CR stored as the channel's address
// (every later update then fails); a slow redirect chain holding the worker
// for a transfer time-out per hop.
TEST_F(RssChannelTest, HostileRedirectsStoreNothingAndShareOneTimeBound) {
    server.route("/feed.xml", HttpAnswer::redirect(301, server.url("/new\r.xml")));
    Result r = update();
    EXPECT_EQ(r.error, "The server sent a control character in the HTTP header Location: " + server.url("/feed.xml"));
    EXPECT_EQ(storedUrl(), server.url("/feed.xml"));
    channels::RssChannel reloaded(engine.manager.get(), channel->getConfigFilename());
    reloaded.load();
    EXPECT_EQ(reloaded.getRssChannelConfig().getRssChannelUrl(), server.url("/feed.xml"));

    // Four hops of half a second each against a time-out of 1.5 s.
    engine.manager->getInternetSession().setTransferTimeoutMs(1500);
    for (int i = 0; i < 4; ++i) {
        HttpAnswer hop = i < 3 ? HttpAnswer::redirect(302, "/hop" + std::to_string(i + 1)) : HttpAnswer::text("<rss/>");
        hop.stallSeconds = 0.5;
        server.route(i == 0 ? "/feed.xml" : "/hop" + std::to_string(i), hop);
    }
    const auto start = std::chrono::steady_clock::now();
    r = update();
    EXPECT_EQ(r.error.rfind("Timed out reading the URL: ", 0), 0u) << r.error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(storedUrl(), server.url("/feed.xml"));
}

TEST_F(RssChannelTest, ThreeMissingFeedsSuspendAutomaticUpdatesUntilTheFeedReturns) {
    auto& settings = channel->getChannelSettings();
    server.routeSequence("/feed.xml",
                         {HttpAnswer::text("gone", 404), HttpAnswer::text("gone", 404), HttpAnswer::text("gone", 404),
                          HttpAnswer::text("gone", 404), HttpAnswer::text("<rss>back</rss>")});
    EXPECT_EQ(update().error, "HTTP 404 Not Found");
    EXPECT_EQ(update().error, "HTTP 404 Not Found");
    EXPECT_TRUE(settings.isAutoUpdateEnabled());
    EXPECT_EQ(update().error, "The feed appears to be missing. Automatic updates have been suspended.");
    EXPECT_FALSE(settings.isAutoUpdateEnabled());
    EXPECT_EQ(channel->getChannelState().getNConsecutive404s(), 3);

    // The suspension survives a save and a reload.
    channel->save();
    channel->load();
    EXPECT_FALSE(channel->getChannelSettings().isAutoUpdateEnabled());
    EXPECT_EQ(update().error, "The feed appears to be missing. Automatic updates have been suspended.");

    EXPECT_EQ(update().text, "<rss>back</rss>");
    EXPECT_TRUE(settings.isAutoUpdateEnabled());
    EXPECT_EQ(channel->getChannelState().getNConsecutive404s(), 0);
}

TEST_F(RssChannelTest, ReturningFeedLeavesAUsersChoiceAlone) {
    auto& settings = channel->getChannelSettings();
    settings.setAutoUpdateEnabled(false);  // the user's choice
    server.routeSequence("/feed.xml", {HttpAnswer::text("gone", 404), HttpAnswer::text("gone", 404),
                                       HttpAnswer::text("gone", 404), HttpAnswer::text("<rss>back</rss>")});
    update();
    update();
    EXPECT_EQ(update().error, "The feed appears to be missing. Automatic updates have been suspended.");
    EXPECT_EQ(update().text, "<rss>back</rss>");
    EXPECT_FALSE(settings.isAutoUpdateEnabled());
}

TEST_F(RssChannelTest, ChannelCredentialIsSentAfter401) {
    HttpAnswer a = HttpAnswer::text("<rss>private</rss>");
    a.auth = std::make_pair("reader", "s3cret");
    server.route("/feed.xml", a);
    EXPECT_EQ(update().error, "HTTP 401 Unauthorized");

    channel->getChannelConfig().setHttpAuth(new tools::HttpBasicAuth("reader", "s3cret"));
    EXPECT_EQ(update().text, "<rss>private</rss>");

    // After a redirect the credential goes to the same host only.
    HttpServer other;
    HttpAnswer elsewhere = a;
    elsewhere.body = "<rss>elsewhere</rss>";
    other.route("/private.xml", elsewhere);
    server.route("/moved.xml", a);
    const struct {
        std::string location, expectedText, expectedError;
        HttpServer* target;
    } cases[] = {
        {"/moved.xml", "<rss>private</rss>", "", &server},
        {"http://localhost:" + std::to_string(other.port()) + "/private.xml", "caller's text", "HTTP 401 Unauthorized",
         &other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        server.route("/feed.xml", HttpAnswer::redirect(302, c.location));
        server.clearRequests();
        other.clearRequests();
        Result r = update();
        EXPECT_EQ(r.text, c.expectedText);
        EXPECT_EQ(r.error, c.expectedError);
        bool credentialSent = false;
        for (const auto& request : c.target->requests()) credentialSent |= request.hasHeader("Authorization");
        EXPECT_EQ(credentialSent, c.target == &server);
    }
}

// The credential is kept in the channel file, its secrets enciphered, and
// a channel loaded from that file after a restart authenticates with it.
TEST_F(RssChannelTest, ChannelCredentialIsStoredInTheChannelFile) {
    HttpAnswer a = HttpAnswer::text("<rss>private</rss>");
    a.auth = std::make_pair("reader", "s3cret pa%ss");
    server.route("/feed.xml", a);
    const std::string file = channel->getConfigFilename();
    auto reloaded = [&] {
        auto copy = std::make_unique<channels::RssChannel>(engine.manager.get(), file);
        copy->load();
        return copy;
    };
    auto fetch = [](channels::RssChannel& c) {
        Result r;
        try {
            c.update(r.text, false, r.unchanged);
        } catch (const std::exception& e) {
            r.error = e.what();
        }
        return r;
    };

    // A file written before credentials were stored reads without one.
    EXPECT_EQ(reloaded()->getChannelConfig().getHttpAuth(), nullptr);

    channel->getChannelConfig().setHttpAuth(new tools::HttpBasicAuth("reader", "s3cret pa%ss"));
    channel->save();
    const std::string text = testsupport::readFile(file);
    EXPECT_EQ(tools::getIniString(file, "Config", "SiteAuthType", "", false), "BASIC");
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;
    EXPECT_EQ(text.find("reader"), std::string::npos) << text;
    {
        auto copy = reloaded();
        const auto* auth = dynamic_cast<const tools::HttpBasicAuth*>(copy->getChannelConfig().getHttpAuth());
        ASSERT_NE(auth, nullptr);
        EXPECT_EQ(auth->getUserName(), "reader");
        EXPECT_EQ(auth->getPassword(), "s3cret pa%ss");
        EXPECT_EQ(fetch(*copy).text, "<rss>private</rss>");
    }

    // A cleared credential stays cleared.
    channel->getChannelConfig().setHttpAuth(nullptr);
    channel->save();
    for (const char* key : {"SiteAuthType", "SiteAuthUserName", "SiteAuthPassword"})
        EXPECT_EQ(tools::getIniString(file, "Config", key, "<none>", false), "<none>") << key;
    {
        auto copy = reloaded();
        EXPECT_EQ(copy->getChannelConfig().getHttpAuth(), nullptr);
        EXPECT_EQ(fetch(*copy).error, "HTTP 401 Unauthorized");
    }

    // A type this program can't read: the channel loads without a
    // credential and its saves leave the stored keys alone.
    tools::writeIniString(file, "Config", "SiteAuthType", "Digest");
    tools::writeIniString(file, "Config", "SiteAuthUserName", "kept");
    {
        auto copy = reloaded();
        EXPECT_EQ(copy->getChannelConfig().getHttpAuth(), nullptr);
        copy->save();
    }
    EXPECT_EQ(tools::getIniString(file, "Config", "SiteAuthType", "", false), "Digest");
    EXPECT_EQ(tools::getIniString(file, "Config", "SiteAuthUserName", "", false), "kept");
}

TEST_F(RssChannelTest, ProxyCredentialIsSentAfter407) {
    HttpAnswer a = HttpAnswer::text("<rss>proxied</rss>");
    a.proxyAuth = std::make_pair("proxyuser", "proxypass");
    server.route("/feed.xml", a);
    engine.manager->getInternetSession().setProxy(server.baseUrl());
    channel->getRssChannelConfig().setRssChannelUrl("http://feeds.example.test/feed.xml");

    EXPECT_EQ(update().error, "HTTP 407 Proxy Authentication Required");
    engine.manager->setHttpProxyAuth(new tools::HttpBasicAuth("proxyuser", "proxypass"));
    server.clearRequests();
    EXPECT_EQ(update().text, "<rss>proxied</rss>");
    EXPECT_EQ(server.requests("/feed.xml").size(), 2u);  // refused once, then with the credential
}

TEST(RssChannelConfig, LocalFeedNamesRaiseTheMinimumInterval) {
    channels::clearAppPluginFeedNames();
    channels::setAppPluginFeedName("TheLounge", 1800);
    const struct {
        std::string url;
        int expected;
    } cases[] = {
        {"http://127.0.0.1:2604/CodeProject/thelounge", 1800},   {"HTTP://127.0.0.1:2604/CodeProject/TheLounge", 1800},
        {"http://127.0.0.1:2604/CodeProject/TheLounge/x", 3600},  // the name must be the whole rest
        {"http://127.0.0.1:2604/CodeProject/Articles", 3600},     // not in the table
        {"http://example.test/CodeProject/TheLounge", 3600},      // not a local URL
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        Engine engine;
        channels::RssChannel* channel = engine.addChannel("c", c.url);  // loaded
        EXPECT_EQ(channel->getChannelSettings().getMinAutoUpdateInterval(), c.expected);
        channel->getChannelSettings().setMinAutoUpdateInterval(3600);
        channel->save();
        EXPECT_EQ(channel->getChannelSettings().getMinAutoUpdateInterval(), c.expected);
    }
    channels::clearAppPluginFeedNames();
}

TEST_F(RssChannelTest, DisabledInternetSendsNothing) {
    server.route("/feed.xml", HttpAnswer::text("<rss/>"));
    engine.setDebug("DisableInternet", "1");
    EXPECT_EQ(update().error, "Internet access has been disabled.");
    std::string body;
    EXPECT_THROW(engine.manager->downloadUrl(server.url("/feed.xml"), body), channels::Exception);
    EXPECT_TRUE(server.requests().empty());
}

// Channels fed by a local application plug-in (a script that prints a feed).
namespace {

class LocalPluginChannelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pluginDir = new testsupport::TempDir;
        testsupport::writeFile(pluginDir->file("localfeeds/localfeeds.plugin"),
                               "[Config]\nAppPluginId=localfeeds\nPlugin=feed.sh\n"
                               "[ChannelParameterDefinition-1]\nName=Topic\nType=string\nDefaultValue=all\n");
        const std::string script = pluginDir->file("localfeeds/feed.sh");
        testsupport::writeFile(script, "#!/bin/sh\nprintf '%s' '" + nettest::rssFeed({"from-plugin"}) + "'\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        channels::getAppPluginManager().setAppPluginDir(pluginDir->str());
        channels::getAppPluginManager().loadAppPlugins();
    }
    static void TearDownTestSuite() {
        delete pluginDir;
        pluginDir = nullptr;
    }
    static std::string localUrl(int port, const std::string& rest) {
        return "http://127.0.0.1:" + std::to_string(port) + rest;
    }

    static testsupport::TempDir* pluginDir;
    Engine engine;
};
testsupport::TempDir* LocalPluginChannelTest::pluginDir = nullptr;

}  // namespace

TEST_F(LocalPluginChannelTest, PluginAnswersWithoutADownload) {
    ASSERT_NE(channels::getAppPluginManager().findAppPlugin("localfeeds"), nullptr);
    const int port = testsupport::freeLoopbackPort();  // nothing listens there
    channels::RssChannel* channel = engine.addChannel("local", localUrl(port, "/LocalFeeds/latest?n=5"));
    ASSERT_NE(channel->getAppPlugin(), nullptr);
    channel->getChannelState().setNConsecutive404s(2);

    std::string text;
    bool unchanged = true;
    channel->update(text, false, unchanged);
    EXPECT_EQ(text, nettest::rssFeed({"from-plugin"}));
    EXPECT_FALSE(unchanged);
    EXPECT_EQ(channel->getChannelState().getNConsecutive404s(), 2);

    // The channel's parameter values follow the plug-in's definitions.
    EXPECT_EQ(channel->getRssChannelConfig().getChannelParameters().at("Topic"), "all");
    channel->getRssChannelConfig().getChannelParameters()["Topic"] = "news";
    channel->save();
    EXPECT_EQ(tools::getIniString(channel->getConfigFilename(), "ChannelParameters", "Topic", "", true), "news");

    // An id no plug-in has is an ordinary URL.
    channels::RssChannel* other = engine.addChannel("other", localUrl(port, "/nosuch/latest"));
    EXPECT_EQ(other->getAppPlugin(), nullptr);
    EXPECT_THROW(other->update(text, false, unchanged), std::runtime_error);
}

TEST_F(LocalPluginChannelTest, NewServerPortRewritesOnlyExactPortMatches) {
    const struct {
        std::string url, expected;
    } cases[] = {
        {localUrl(80, "/localfeeds/a"), localUrl(8081, "/localfeeds/a")},
        {localUrl(8080, "/localfeeds/a"), localUrl(8080, "/localfeeds/a")},  // 80 is only a prefix of 8080
        {localUrl(800, "/localfeeds/a"), localUrl(800, "/localfeeds/a")},
        {"http://localhost:80/localfeeds/a", "http://localhost:80/localfeeds/a"},  // not served by a plug-in
        {"http://example.test:80/localfeeds/a", "http://example.test:80/localfeeds/a"},
    };
    std::vector<channels::RssChannel*> channels;
    int n = 0;
    for (const auto& c : cases) channels.push_back(engine.addChannel("p" + std::to_string(n++), c.url));
    channels::ChannelManager::changeAppPluginServerPort(80, 8081);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        EXPECT_EQ(channels[i]->getSourceUrl(), cases[i].expected);
        if (channels[i]->getAppPlugin()) {  // rewritten channels are saved at once
            EXPECT_EQ(tools::getIniString(channels[i]->getConfigFilename(), "Config", "RssChannelUrl", "", true),
                      channels[i]->getSourceUrl());
        }
    }
}
