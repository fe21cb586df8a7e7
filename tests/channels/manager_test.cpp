#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "channels/channelState.h"
#include "channels/exception.h"
#include "channels/updateWorker.h"
#include "tests/channels/rsschannel_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/http.h"
#include "tools/httpAuth.h"

using nettest::Engine;
using testsupport::HttpAnswer;
using testsupport::HttpServer;

TEST(ChannelManager, EmptyUserAgentTakesTheDefault) {
    channels::ChannelManager::setDefaultHttpUserAgent("DefaultAgent/2");
    channels::ChannelSettings defaults(nullptr);
    channels::ChannelManager manager("", "/nonexistent", "/nonexistent", defaults, "", "");
    EXPECT_EQ(manager.getHttpUserAgent(), "DefaultAgent/2");
    EXPECT_EQ(manager.getInternetSession().getUserAgent(), "DefaultAgent/2");
    manager.loadChannels();  // a missing directory loads nothing
    EXPECT_EQ(manager.getChannelCount(), 0);
}

TEST(ChannelManager, LoadsEveryKindAndReportsFilesThatFail) {
    Engine engine;
    engine.writeChannelFile("b-feed", "http://example.test/b.xml");
    engine.writeChannelFile("a-feed", "http://example.test/a.xml");
    testsupport::writeFile(engine.channelsDir + "/notes.txt", "not a channel");
    testsupport::writeFile(engine.channelsDir + "/broken.mgrtest", "x");
    testsupport::writeFile(engine.channelsDir + "/other.mgrtest2", "x");
    // Further kinds load after the RSS channels through their factories.
    channels::ChannelManager::addChannelKind(
        ".mgrtest", [](channels::ChannelManager&, const std::string& file) -> std::unique_ptr<channels::Channel> {
            throw channels::Exception("cannot read " + file);
        });
    channels::ChannelManager::addChannelKind(".mgrtest2", [](channels::ChannelManager& m, const std::string& file) {
        return std::unique_ptr<channels::Channel>(new channels::RssChannel(&m, file));
    });

    engine.manager->loadChannels();
    EXPECT_EQ(engine.manager->getChannelCount(), 3);
    std::vector<std::string> names;
    for (channels::Channel* c : engine.manager->getChannels()) names.push_back(nettest::EventRecorder::name(c));
    EXPECT_EQ(names, (std::vector<std::string>{"a-feed", "b-feed", "other"}));
    EXPECT_EQ(engine.recorder.events(),
              (std::vector<std::string>{"Error:-:Can't load channel file \"broken.mgrtest\".|cannot read " +
                                        engine.channelsDir + "/broken.mgrtest"}));
}

TEST(ChannelManager, FindChannelIgnoresCaseAndSlashDirection) {
    Engine engine;
    engine.addChannel("one", "http://example.test/feeds\\one.xml");
    channels::Channel* two = engine.addChannel("two", "http://example.test/feeds/two.xml");
    EXPECT_EQ(engine.manager->findChannel("HTTP://EXAMPLE.TEST/FEEDS/TWO.XML"), two);
    EXPECT_NE(engine.manager->findChannel("http://example.test/feeds/one.xml"), nullptr);
    EXPECT_EQ(engine.manager->findChannel("http://example.test/feeds/three.xml"), nullptr);
}

TEST(ChannelManager, DeletedChannelIsRetiredUnqueuedAndNeverSavedAgain) {
    Engine engine;
    channels::Channel* keep = engine.addChannel("keep", "http://example.test/keep.xml");
    channels::Channel* gone = engine.addChannel("gone", "http://example.test/gone.xml");
    const std::string file = gone->getConfigFilename();
    gone->save();
    ASSERT_TRUE(std::filesystem::exists(file));
    engine.manager->requestChannelUpdate(gone);
    engine.manager->requestChannelUpdate(keep);
    engine.manager->requestChannelUpdate(gone);

    std::string report = "unset";
    engine.manager->deleteChannel(gone, &report);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(report, "");
    EXPECT_EQ(engine.manager->getChannelCount(), 1);
    EXPECT_EQ(engine.manager->getRequestCount(), 1u);
    EXPECT_FALSE(engine.manager->isActiveChannel(gone));
    EXPECT_EQ(gone->getDisplayName(), "http://example.test/gone.xml");  // still a valid object

    // An update in hand when the channel was deleted does not bring the file back.
    engine.manager->saveChannelIfActive(*gone);
    engine.manager->requestChannelUpdate(gone);
    EXPECT_EQ(engine.manager->getRequestCount(), 1u);
    EXPECT_FALSE(std::filesystem::exists(file));

    std::list<channels::Channel*> due;
    EXPECT_EQ(engine.manager->takeRequest(due), keep);
    EXPECT_EQ(engine.manager->takeRequest(due), nullptr);
}

TEST(ChannelManager, StopSavesOnlyWhenAsked) {
    for (bool save : {false, true}) {
        SCOPED_TRACE(save);
        Engine engine;
        channels::Channel* channel = engine.addChannel("c", "http://example.test/c.xml");
        const std::string file = channel->getConfigFilename();
        channel->getChannelState().setNConsecutive404s(2);
        const std::string before = testsupport::readFile(file);
        engine.manager->stopChannelManager(save);
        EXPECT_EQ(engine.manager->getChannelCount(), 0);
        const std::string after = testsupport::readFile(file);
        if (save)
            EXPECT_NE(after.find("NConsecutive404s=2"), std::string::npos) << after;
        else
            EXPECT_EQ(after, before);
    }
}

TEST(ChannelManager, BlackoutIntervals) {
    Engine engine;
    const struct {
        channels::ChannelManager::BlackoutIntervals intervals;
        int h, m, s;
        bool expected;
        int resume;
    } cases[] = {
        {{{3600, 0}}, 1, 0, 0, true, 86400},
        {{{3600, 0}}, 0, 59, 59, false, -1},
        {{{3600, 0}}, 23, 59, 59, true, 86400},
        {{{0, 0}}, 12, 0, 0, true, 86400},
        {{{3600, 7200}}, 2, 0, 0, true, 7200},
        {{{3600, 7200}}, 2, 0, 1, false, -1},
        {{{7200, 3600}}, 1, 30, 0, false, -1},                             // start after end never matches
        {{{100, 200}, {3600, 7200}, {3000, 9000}}, 1, 30, 0, true, 7200},  // the first match wins
    };
    for (const auto& c : cases) {
        engine.manager->setBlackoutIntervals(c.intervals);
        engine.clock = nettest::localTimeAt(c.h, c.m, c.s);
        int resume = -1;
        EXPECT_EQ(engine.manager->isInBlackout(&resume), c.expected) << c.h << ":" << c.m << ":" << c.s;
        EXPECT_EQ(resume, c.resume);
    }
}

TEST(ChannelManager, DownloadRepeatsOnceWithTheProxyCredential) {
    HttpServer server;
    Engine engine;
    HttpAnswer a = HttpAnswer::text("ok");
    a.proxyAuth = std::make_pair("p", "q");
    server.route("/x", a);
    engine.manager->getInternetSession().setProxy(server.baseUrl());

    int status = 0;
    std::string body;
    engine.manager->downloadUrl("http://feeds.example.test/x", nullptr, nullptr, false, nullptr, &status, nullptr,
                                nullptr, body);
    EXPECT_EQ(status, 407);
    EXPECT_EQ(server.requests("/x").size(), 1u);

    engine.manager->setHttpProxyAuth(new tools::HttpBasicAuth("p", "q"));
    server.clearRequests();
    engine.manager->downloadUrl("http://feeds.example.test/x", nullptr, nullptr, false, nullptr, &status, nullptr,
                                nullptr, body);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body, "ok");
    EXPECT_EQ(server.requests("/x").size(), 2u);
}

TEST(ChannelManager, StopCutsARunningDownloadShortWithoutKillingTheWorker) {
    HttpServer server;
    Engine engine;
    HttpAnswer stall = HttpAnswer::text(nettest::rssFeed({"a"}));
    stall.stallSeconds = 30;
    server.route("/slow.xml", stall);
    engine.setDebug("ChannelUpdateThreadInterval", "1");
    channels::Channel* channel = engine.addChannel("slow", server.url("/slow.xml"));
    engine.manager->requestChannelUpdate(channel);
    engine.manager->startChannelManager();
    ASSERT_TRUE(engine.recorder.waitFor("Begin:slow", 1, 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the request is on its way

    const auto start = std::chrono::steady_clock::now();
    engine.manager->stopChannelManager(false);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The update in hand ended normally, as a failed update.
    const auto events = engine.recorder.events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[events.size() - 2].rfind("Error:slow:Can't update the feed.|The download was stopped", 0), 0u)
        << events[events.size() - 2];
    EXPECT_EQ(events.back(), "End:slow:failed:requested");
}

// Catches: a temporary page file per loaded channel. The page file appears
// when a channel first needs it and goes with the channel (deleted, or at
// the manager's stop).
TEST(ChannelManager, PageFilesAppearWhenNeededAndGoWithTheirChannel) {
    testsupport::TempDir tmp;
    const char* previous = std::getenv("TMP");
    const std::string previousTmp = previous ? previous : "";
    ::setenv("TMP", tmp.str().c_str(), 1);
    auto pageFiles = [&] {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
            if (entry.path().extension() == ".html") ++n;
        return n;
    };
    {
        Engine engine;
        for (const char* name : {"a", "b", "c"})
            engine.writeChannelFile(name, std::string("http://example.test/") + name + ".xml");
        engine.manager->loadChannels();
        ASSERT_EQ(engine.manager->getChannelCount(), 3);
        EXPECT_EQ(pageFiles(), 0u);

        std::vector<channels::Channel*> channels(engine.manager->getChannels().begin(),
                                                 engine.manager->getChannels().end());
        const std::string page = channels[0]->getSummaryPageFilename();
        EXPECT_EQ(channels[0]->getSummaryPageFilename(), page);  // one file per channel
        channels[1]->getSummaryPageFilename();
        EXPECT_EQ(pageFiles(), 2u);
        engine.manager->deleteChannel(channels[0], nullptr);
        EXPECT_FALSE(std::filesystem::exists(page));
        EXPECT_EQ(pageFiles(), 1u);
        engine.manager->stopChannelManager(false);
        EXPECT_EQ(pageFiles(), 0u);
    }
    if (previous)
        ::setenv("TMP", previousTmp.c_str(), 1);
    else
        ::unsetenv("TMP");
}
