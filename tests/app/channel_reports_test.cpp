// Report generation: a table of templates over a filter's channels, item
// selection and icons, the read-me list, escaping in an XML template, the
// failures, and reports that share a filter writing apart.
#include <ctime>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "app/reports/channelReportGenerator.h"
#include "channels/channelState.h"
#include "tests/app/app_fixture.h"

namespace {

using apptest::DesktopFixture;

struct ReportFixture : DesktopFixture {
    std::map<std::string, ChannelFilter> filters;
    channeltest::TestChannel* alpha = nullptr;
    channeltest::TestChannel* beta = nullptr;

    ReportFixture() {
        programPaths().programDir = dir.str() + "/";
        setChannelManager(manager.get());
        ChannelFilter all;
        all.setFilterName("All");
        filters["all"] = all;
        ChannelFilter none = all;
        none.setFilterName("None");
        none.setInvertFilter(true);
        filters["none"] = none;
        setChannelFilterLookup([this](const std::string& name) -> const ChannelFilter* {
            auto it = filters.find(toLowerCopy(name));
            return it != filters.end() ? &it->second : nullptr;
        });
        // alpha: id-1 viewed, id-2 new, id-3 neither, id-4 new and viewed.
        alpha = addChannel("alpha", apptest::numberedItems("alpha", 4));
        alpha->getChannelState().setNewFeedItems({"id-2", "id-4"}, 2);
        settings(alpha).markFeedItemViewed("id-1", true, false);
        settings(alpha).markFeedItemViewed("id-4", true, false);
        beta = addChannel("beta", apptest::numberedItems("beta", 1));
    }
    ~ReportFixture() {
        resetProgramObjectsForTests();
        ChannelReportConfig::deleteTempOutputFiles();
    }

    ChannelReportConfig report(const std::string& templateText, int itemControl, const std::string& filter = "All") {
        static int n = 0;
        const std::string templateFile = dir.file("t" + std::to_string(++n) + ".template");
        testsupport::writeFile(templateFile, templateText);
        ChannelReportConfig r;
        r.setReportName("Report " + std::to_string(n));
        r.setChannelFilterName(filter);
        r.setTemplateFilename(templateFile);
        r.setOutputFilename(dir.file("out" + std::to_string(n) + ".html"));
        r.setFeedItemControl(itemControl);
        return r;
    }
    std::string run(const ChannelReportConfig& r) {
        auto generator = makeChannelReportGenerator(r);
        generator->generateReport();
        return testsupport::readFile(generator->getOutputPath());
    }
    std::string icon(const char* name) const { return "file://" + dir.str() + "/Resources/" + name; }
};

TEST(ChannelReports, TemplatesOverAFiltersChannels) {
    ReportFixture f;
    const std::string titles =
        "{%REPEAT%Channels}[{%CHANNEL-NAME%}:{%REPEAT%FeedItems}{%ITEM-TITLE%},{%/REPEAT%}]{%/REPEAT%}";
    const struct {
        const char* name;
        std::string templateText;
        int itemControl;
        const char* filter;
        std::string expected;
    } cases[] = {
        {"all items", titles, 0, "All", "[alpha:Item 1,Item 2,Item 3,Item 4,][beta:Item 1,]"},
        {"new and not viewed", titles, 1, "All", "[alpha:Item 2,][beta:]"},
        {"not viewed", titles, 2, "All", "[alpha:Item 2,Item 3,][beta:Item 1,]"},
        {"no matching channel", "<{%REPEAT%Channels}x{%/REPEAT%}>", 0, "None", "<>"},
        {"name before any channel stays", "{%CHANNEL-NAME%}|{%REPEAT%Channels}{%/REPEAT%}{%CHANNEL-NAME%}", 0, "All",
         "{%CHANNEL-NAME%}|beta"},
        {"items listed twice",
         "{%REPEAT%Channels}{%REPEAT%FeedItems}{%ITEM-URL%} {%/REPEAT%}/{%REPEAT%FeedItems}{%ITEM-URL%} "
         "{%/REPEAT%};{%/REPEAT%}",
         0, "all",
         "http://example.com/alpha/1 http://example.com/alpha/2 http://example.com/alpha/3 http://example.com/alpha/4 "
         "/http://example.com/alpha/1 http://example.com/alpha/2 http://example.com/alpha/3 http://example.com/alpha/4 "
         ";"
         "http://example.com/beta/1 /http://example.com/beta/1 ;"},
        {"channels walked twice",
         "{%REPEAT%Channels}{%CHANNEL-NAME%}{%/REPEAT%}+{%REPEAT%Channels}{%CHANNEL-NAME%}{%/REPEAT%}", 0, "All",
         "alphabeta+alphabeta"},
        {"descriptions are markup", "{%REPEAT%Channels}{%REPEAT%FeedItems}{%ITEM-DESCRIPTION%}{%/REPEAT%}{%/REPEAT%}",
         2, "All", "<p>Text 2</p><p>Text 3</p><p>Text 1</p>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(f.run(f.report(c.templateText, c.itemControl, c.filter)), c.expected) << c.name;
    }
}

TEST(ChannelReports, ItemIconsAndCommonVariables) {
    ReportFixture f;
    const std::string out = f.run(
        f.report("{%REPORT-TIME%}|{%REPEAT%Channels}{%REPEAT%FeedItems}{%ITEM-IMAGE%}\n{%/REPEAT%}{%/REPEAT%}", 0));
    const std::string expected = f.icon("readFeedItem.gif") + "\n" + f.icon("newFeedItem.gif") + "\n" +
                                 f.icon("unreadFeedItem.gif") + "\n" + f.icon("readFeedItem.gif") + "\n" +
                                 f.icon("unreadFeedItem.gif") + "\n";
    ASSERT_GT(out.size(), 25u);
    EXPECT_EQ(out.substr(25), expected);
    // asctime's 24 characters, e.g. "Wed Dec  9 22:30:00 2026".
    EXPECT_EQ(out[24], '|');
    EXPECT_EQ(out[3], ' ');
}

TEST(ChannelReports, FeedTextIsEscapedForXmlTemplates) {
    ReportFixture f;
    auto* odd = f.addChannel("R&D <\"news\"> caf\xC3\xA9",
                             {{"x", "Tom's <b>\"5 > 3\"</b> & more", "http://x.test/?a=1&b=2", "<i>kept</i>"}});
    ChannelFilter only;
    only.setFilterName("Odd");
    only.setSearchText("caf");
    only.setSearchTextInChannelName(true);
    f.filters["odd"] = only;
    const std::string out = f.run(
        f.report("<opml><body>{%REPEAT%Channels}<outline text=\"{%CHANNEL-NAME%}\" xmlUrl=\"{%ENCODED-CHANNEL-URL%}\">"
                 "{%REPEAT%FeedItems}<item title='{%ITEM-TITLE%}' url=\"{%ITEM-URL%}\">{%ITEM-DESCRIPTION%}</item>"
                 "{%/REPEAT%}</outline>{%/REPEAT%}</body></opml>",
                 0, "Odd"));
    EXPECT_EQ(out,
              "<opml><body><outline text=\"R&amp;D &lt;&quot;news&quot;&gt; caf\xC3\xA9\" "
              "xmlUrl=\"http://example.com/feed.xml\">"
              "<item title='Tom&#39;s &lt;b&gt;&quot;5 &gt; 3&quot;&lt;/b&gt; &amp; more' "
              "url=\"http://x.test/?a=1&amp;b=2\"><i>kept</i></item></outline></body></opml>");
    (void)odd;
}

TEST(ChannelReports, FailuresNameWhatFailedAndLeaveTheOutputAlone) {
    ReportFixture f;
    ChannelReportConfig unknown = f.report("x", 0, "Deleted filter");
    testsupport::writeFile(unknown.getOutputFilename(), "previous report");
    try {
        f.run(unknown);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unknown channel filter: Deleted filter");
    }
    EXPECT_EQ(testsupport::readFile(unknown.getOutputFilename()), "previous report");

    ChannelReportConfig noTemplate = f.report("x", 0);
    noTemplate.setTemplateFilename(f.dir.file("missing.template"));
    try {
        f.run(noTemplate);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Can't open the template file: " + f.dir.file("missing.template"));
    }

    ChannelReportConfig noOutput = f.report("x", 0);
    noOutput.setOutputFilename(f.dir.file("no/such/dir/out.html"));
    try {
        f.run(noOutput);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Can't open the output file: " + f.dir.file("no/such/dir/out.html"));
    }
}

TEST(ChannelReports, ReportsSharingAFilterWriteApart) {
    ReportFixture f;
    ChannelReportConfig names = f.report("{%REPEAT%Channels}{%CHANNEL-NAME%} {%/REPEAT%}", 0);
    ChannelReportConfig count = f.report("{%REPEAT%Channels}#{%/REPEAT%}", 0);
    names.setOutputFilename("");
    count.setOutputFilename("");
    auto first = makeChannelReportGenerator(names);
    first->generateReport();
    auto second = makeChannelReportGenerator(count);
    second->generateReport();
    EXPECT_NE(first->getOutputPath(), second->getOutputPath());
    EXPECT_EQ(testsupport::readFile(first->getOutputPath()), "alpha beta ");
    EXPECT_EQ(testsupport::readFile(second->getOutputPath()), "##");
}

struct TwoEntries : ReadMeListSource {
    channels::Channel* channel = nullptr;
    int count = 2;
    int getNumItems() const override { return count; }
    void getItem(int index, channels::Channel*& c, std::string& id, std::string& url,
                 std::string& title) const override {
        if (index == 0) {
            c = channel;
            id = "ID-3";  // found without regard to case
            url = "http://example.com/alpha/3";
            title = "Item <3>";
        } else {
            c = nullptr;
            id = "loose";
            url = "http://elsewhere.test/";
            title = "Loose link";
        }
    }
};

TEST(ChannelReports, ReadMeListReports) {
    ReportFixture f;
    TwoEntries entries;
    entries.channel = f.alpha;
    setReadMeListSource(&entries);
    ChannelReportConfig r = f.report(
        "{%CHANNEL-NAME%}:{%REPEAT%Channels}{%REPEAT%FeedItems}[{%ITEM-TITLE%}|{%ITEM-DESCRIPTION%}|{%ITEM-URL%}]"
        "{%/REPEAT%}{%/REPEAT%}",
        0, "");
    r.setDataSource(ChannelReportConfig::ReadMeListSource);
    EXPECT_EQ(f.run(r),
              "Workpad:[Item &lt;3&gt;|<p>Text 3</p>|http://example.com/alpha/3][Loose link||http://elsewhere.test/]");
    entries.count = 0;
    EXPECT_EQ(f.run(r), "Workpad:");
}

TEST(ChannelReports, DueAcrossMidnight) {
    std::tm midnight{};
    midnight.tm_year = 126;
    midnight.tm_mon = 11;
    midnight.tm_mday = 10;
    midnight.tm_isdst = -1;
    const std::time_t t = std::mktime(&midnight);
    ChannelReportConfig report;
    report.setAutoUpdateInterval(3600);
    report.setLastUpdateTimeNow(t - 1800);  // 23:30 the day before
    EXPECT_FALSE(report.isAutoUpdateDue(t));
    EXPECT_FALSE(report.isAutoUpdateDue(t + 1799));
    EXPECT_TRUE(report.isAutoUpdateDue(t + 1800));
}

}  // namespace
