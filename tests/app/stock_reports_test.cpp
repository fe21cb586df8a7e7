// The staged report templates over RSS channels updated from a local HTTP
// server: every stock report writes a page whose pictures exist, the outline
// export reads back into listintake, and the meta-channel reads back through
// the engine's RSS parser.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "app/options/globalOptions.h"
#include "app/options/hotkey.h"
#include "app/reports/channelReportGenerator.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "channels/rss/rssParser.h"
#include "expat/parser.h"
#include "tests/appplugins/helper/programPluginRun.h"
#include "tests/channels/rsschannel_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/ini.h"

namespace fs = std::filesystem;
using testsupport::HttpAnswer;

namespace {

std::string rss(const std::string& title, const std::string& link, const std::string& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\"><channel><title>" + title +
           "</title><link>" + link + "</link><description>d</description>" + items + "</channel></rss>\n";
}

// Three channels as a user has them after their first update: "Tech" with
// text that needs escaping in every place, "News" in My Favorites with every
// item read, "Friends" in My Blogroll.
class StockReports : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = programPaths();
        ProgramPaths& p = programPaths();
        p.programDir = testsupport::stageDir() + "/";
        p.usersDir = engine.dir.file("Users");
        p.userName = "tester";
        p.userDir = p.usersDir + "/tester";
        p.reportsDir = p.userDir + "/Reports";
        fs::create_directories(p.reportsDir);
        // The templates as new-user set-up leaves them in the user's directory.
        for (const char* name : {"DefaultChannelReport.template", "CompactChannelReport.template",
                                 "ExportOpml.template", "MyBlogroll.template", "MetaChannel.template"}) {
            fs::copy_file(testsupport::stageDir() + "/Resources/" + name, p.userDir + "/" + name);
        }
        setChannelManager(engine.manager.get());

        server.route(
            "/tech.xml",
            HttpAnswer::text(rss("Tech &amp; &lt;Science&gt;", "http://example.test/tech?a=1&amp;b=2",
                                 "<item><title>Caf&#233; &quot;open&quot; &amp; it&apos;s &lt;closed&gt;</title>"
                                 "<link>http://example.test/t1?a=1&amp;b=2</link>"
                                 "<description><![CDATA[<p>A picture <img src=\"http://example.test/p.gif\"> &amp; "
                                 "<b>bold</b> text</p>]]></description></item>"
                                 "<item><title>Second</title><link>http://example.test/t2</link>"
                                 "<description>Plain &lt;i&gt;escaped&lt;/i&gt; markup</description></item>")));
        server.route("/news.xml",
                     HttpAnswer::text(rss("News", "http://example.test/news",
                                          "<item><title>Headline</title><link>http://example.test/n1</link>"
                                          "<description>n1</description></item>")));
        server.route("/friends.xml",
                     HttpAnswer::text(rss("Friends", "http://example.test/friends",
                                          "<item><title>Hello</title><link>http://example.test/f1</link>"
                                          "<description>f1</description></item>")));
        tech = engine.addChannel("tech", server.url("/tech.xml") + "?x=1&y=2");
        news = engine.addChannel("news", server.url("/news.xml"));
        friends = engine.addChannel("friends", server.url("/friends.xml"));
        news->getChannelSettings().setChannelCategories({"My Favorites"});
        friends->getChannelSettings().setChannelCategories({"My Blogroll"});
        engine.manager->startChannelManager();
        for (channels::Channel* c : {tech, news, friends}) engine.manager->requestChannelUpdate(c);
        ASSERT_TRUE(engine.recorder.waitFor("End:", 3, 30000));
        for (const std::string& event : engine.recorder.events()) {
            if (event.rfind("End:", 0) == 0) {
                ASSERT_NE(event.find(":ok"), std::string::npos) << event;
            }
        }
        for (channels::Channel* c : {tech, news, friends}) getChannelDesktopSettingsTable().add(c);
        getChannelDesktopSettings(news)->markFeedItemViewed(firstItemId(news), true, false);
        // Tech's items came after the user last looked at it.
        getChannelDesktopSettings(tech)->setLastNewItemTime(static_cast<std::int32_t>(std::time(nullptr)));

        HotkeyTable filterKeys(nullptr, 109);
        HotkeyTable reportKeys(nullptr, 200);
        GlobalOptions::defineDefaultChannelFilters(filters, filterKeys);
        GlobalOptions::defineDefaultChannelReports(reports, reportKeys);
        setChannelFilterLookup([this](const std::string& name) -> const ChannelFilter* {
            for (const ChannelFilter& f : filters)
                if (compareNoCase(f.getFilterName(), name) == 0) return &f;
            return nullptr;
        });
    }
    void TearDown() override {
        resetProgramObjectsForTests();
        getChannelDesktopSettingsTable().clear();
        engine.manager->stopChannelManager(false);
        ChannelReportConfig::deleteTempOutputFiles();
        programPaths() = saved_;
    }

    static std::string firstItemId(channels::Channel* channel) {
        const channels::ChannelState& state = channel->getChannelState();
        SharedLockGuard guard(&state.getLock(), __FILE__, __LINE__);
        return std::string(state.getLastFeed()->getFeedItems().at(0).getId());
    }
    static std::vector<channels::FeedItem> itemsOf(channels::Channel* channel) {
        const channels::ChannelState& state = channel->getChannelState();
        SharedLockGuard guard(&state.getLock(), __FILE__, __LINE__);
        return state.getLastFeed()->getFeedItems();
    }

    std::string run(const ChannelReportConfig& report, std::string* path = nullptr) {
        auto generator = makeChannelReportGenerator(report);
        generator->generateReport();
        if (path != nullptr) *path = generator->getOutputPath();
        return testsupport::readFile(generator->getOutputPath());
    }
    ChannelReportConfig userReport(const std::string& templateName, const std::string& output) {
        ChannelReportConfig r;
        r.setReportName(templateName);
        r.setChannelFilterName("All");
        r.setTemplateFilename(programPaths().userDir + "/" + templateName);
        r.setOutputFilename(engine.dir.file(output));
        return r;
    }

    testsupport::HttpServer server;
    nettest::Engine engine;
    channels::RssChannel* tech = nullptr;
    channels::RssChannel* news = nullptr;
    channels::RssChannel* friends = nullptr;
    std::vector<ChannelFilter> filters;
    std::vector<ChannelReportConfig> reports;
    ProgramPaths saved_;
};

// Every local file a page refers to by a file:// address.
std::vector<std::string> localFilesOf(const std::string& page) {
    std::vector<std::string> files;
    static const std::regex address("file://([^\"')]+)");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), address); it != std::sregex_iterator(); ++it)
        files.push_back((*it)[1]);
    return files;
}

// Parses well-formed XML or throws expat::Exception.
void parseXml(const std::string& text) {
    expat::Parser parser;
    parser.parse(text.data(), text.size());
}

TEST_F(StockReports, EveryStockReportWritesAPageWithItsChannelsAndPictures) {
    ASSERT_EQ(reports.size(), 5u);
    const struct {
        const char* report;
        std::set<std::string> channels;
    } cases[] = {
        {"All", {"Tech &amp; &lt;Science&gt;", "News", "Friends"}},
        {"New content", {"Tech &amp; &lt;Science&gt;"}},
        {"Unread items", {"Tech &amp; &lt;Science&gt;", "Friends"}},
        {"My Favorites", {"News"}},
        {"My Blogroll", {"Friends"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        const ChannelReportConfig* report = nullptr;
        for (const ChannelReportConfig& r : reports)
            if (r.getReportName() == c.report) report = &r;
        ASSERT_NE(report, nullptr);
        std::string path;
        const std::string page = run(*report, &path);
        EXPECT_NE(page.find("<html>"), std::string::npos) << page;
        EXPECT_NE(page.find("</html>"), std::string::npos) << page;
        EXPECT_EQ(page.find("{%"), std::string::npos) << page;
        for (const char* name : {"Tech &amp; &lt;Science&gt;", "News", "Friends"}) {
            EXPECT_EQ(page.find(">" + std::string(name) + "<") != std::string::npos, c.channels.count(name) == 1)
                << name << "\n"
                << page;
        }
        for (const std::string& file : localFilesOf(page)) EXPECT_TRUE(fs::is_regular_file(file)) << file;
        if (std::string(c.report) == "My Blogroll") {
            EXPECT_EQ(path, programPaths().reportsDir + "/MyBlogroll.html");
            EXPECT_NE(page.find("href=\"http://example.test/friends\""), std::string::npos) << page;
        } else {
            // Each listed item shows its picture as a picture.
            EXPECT_NE(page.find("<img src=\"file://" + testsupport::stageDir() + "/Resources/"), std::string::npos)
                << page;
        }
    }
    // The read and unread pictures of one channel, and the feed's markup kept.
    const std::string all = run(reports.front());
    EXPECT_NE(all.find("/Resources/readFeedItem.gif\""), std::string::npos);
    EXPECT_NE(all.find("<b>bold</b>"), std::string::npos);
}

TEST_F(StockReports, TheOtherTemplatesWriteTheirPages) {
    for (const char* name : {"CompactChannelReport.template", "DefaultChannelReport.template"}) {
        SCOPED_TRACE(name);
        const std::string page = run(userReport(name, std::string(name) + ".html"));
        EXPECT_EQ(page.find("{%"), std::string::npos) << page;
        EXPECT_NE(page.find("Caf\xC3\xA9 &quot;open&quot; &amp; it&#39;s &lt;closed&gt;</a>"), std::string::npos)
            << page;
        for (const std::string& file : localFilesOf(page)) EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
}

// The item templates also serve the Workpad's reports, which know no
// channel addresses: nothing of the template is left unexpanded.
TEST_F(StockReports, ItemTemplatesServeTheWorkpad) {
    struct OneEntry : ReadMeListSource {
        channels::Channel* channel = nullptr;
        std::string id;
        int getNumItems() const override { return 1; }
        void getItem(int, channels::Channel*& c, std::string& itemId, std::string& url,
                     std::string& title) const override {
            c = channel;
            itemId = id;
            url = "http://example.test/t1?a=1&b=2";
            title = "Kept for later";
        }
    } entries;
    entries.channel = tech;
    entries.id = firstItemId(tech);
    setReadMeListSource(&entries);
    for (const char* name : {"DefaultChannelReport.template", "CompactChannelReport.template"}) {
        SCOPED_TRACE(name);
        ChannelReportConfig report = userReport(name, std::string("workpad-") + name + ".html");
        report.setDataSource(ChannelReportConfig::ReadMeListSource);
        const std::string page = run(report);
        EXPECT_EQ(page.find("{%"), std::string::npos) << page;
        EXPECT_NE(page.find(">Workpad<"), std::string::npos) << page;
        EXPECT_NE(page.find("<a href=\"http://example.test/t1?a=1&amp;b=2\">Kept for later</a>"), std::string::npos)
            << page;
        for (const std::string& file : localFilesOf(page)) EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
}

TEST_F(StockReports, OutlineExportReadsBackIntoListintake) {
    std::string path;
    const std::string outline = run(userReport("ExportOpml.template", "channels.opml"), &path);
    ASSERT_NO_THROW(parseXml(outline)) << outline;
    EXPECT_NE(outline.find("<opml version=\"2.0\">"), std::string::npos);
    EXPECT_NE(outline.find("text=\"Tech &amp; &lt;Science&gt;\""), std::string::npos) << outline;

    // A new user imports it: one channel file per exported channel, each with
    // the address it was exported with.
    const std::string channelsDir = engine.dir.file("Imported/Channels");
    fs::create_directories(channelsDir);
    const std::string request = programplugintest::writeRequestValues(engine.dir.file("request.ini"),
                                                                      {{"Command", "ProcessRequest"},
                                                                       {"AppServerUrl", "http://127.0.0.1:2604"},
                                                                       {"ChannelsDir", channelsDir},
                                                                       {"ParamString", "OpmlFilename=" + path}});
    const auto result = programplugintest::runPlugin("listintake", {request}, engine.dir.str());
    ASSERT_EQ(result.exitCode, 0) << result.err << testsupport::readFile(request);
    std::set<std::string> imported;
    for (const auto& entry : fs::directory_iterator(channelsDir))
        imported.insert(tools::getIniString(entry.path().string(), "Config", "RssChannelUrl", "", false));
    EXPECT_EQ(imported, (std::set<std::string>{tech->getSourceUrl(), news->getSourceUrl(), friends->getSourceUrl()}));
}

TEST_F(StockReports, MetaChannelReadsBackAsAFeedOfTheReportedItems) {
    const std::string text = run(userReport("MetaChannel.template", "meta.xml"));
    channels::RssParseContext context;
    std::unique_ptr<channels::Feed> feed;
    ASSERT_NO_THROW(feed = channels::RssParser().parseFeed(context, text, 0)) << text;
    std::vector<channels::FeedItem> expected;
    for (channels::Channel* c : {static_cast<channels::Channel*>(tech), static_cast<channels::Channel*>(news),
                                 static_cast<channels::Channel*>(friends)}) {
        for (const channels::FeedItem& item : itemsOf(c)) expected.push_back(item);
    }
    const std::vector<channels::FeedItem>& items = feed->getFeedItems();
    ASSERT_EQ(items.size(), expected.size()) << text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(expected[i].getTitle());
        EXPECT_EQ(items[i].getTitle(), expected[i].getTitle());
        EXPECT_EQ(items[i].getUrl(), expected[i].getUrl());
        EXPECT_EQ(items[i].getDescription(), expected[i].getDescription());
    }
    EXPECT_EQ(items[0].getTitle(), "Caf\xC3\xA9 \"open\" & it's <closed>");
}

}  // namespace
