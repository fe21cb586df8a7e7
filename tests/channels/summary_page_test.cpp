#include "channels/feed/summaryPage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "tests/support/test_support.h"

namespace {

using channels::SummaryPageGenerator;
using testsupport::TempDir;

constexpr const char* kSourceUrl = "http://127.0.0.1/feed.xml";

class TestConfig : public channels::ChannelConfig {
public:
    using channels::ChannelConfig::ChannelConfig;
    std::string getDefaultDisplayName() const override { return kSourceUrl; }
};

// A channel read from a channel file, never fetched.
class TestChannel : public channels::Channel {
public:
    explicit TestChannel(const std::string& file) : channels::Channel(nullptr, file) {}

    std::string getSourceUrl() const override { return kSourceUrl; }
    channels::ChannelConfig& getChannelConfig() override { return config_; }
    const channels::ChannelConfig& getChannelConfig() const override { return config_; }
    channels::ChannelSettings& getChannelSettings() override { return settings_; }
    const channels::ChannelSettings& getChannelSettings() const override { return settings_; }
    channels::ChannelState& getChannelState() override { return state_; }
    const channels::ChannelState& getChannelState() const override { return state_; }
    void update(std::string&, bool, bool&) override { throw std::runtime_error("not fetched in tests"); }
    void changeAppPluginServerPort(int, int) override {}

private:
    TestConfig config_{this};
    channels::ChannelSettings settings_{this};
    channels::ChannelState state_{this};
};

// Dates in pages are local times; the tests read them in UTC.
class SummaryPage : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::make_unique<std::string>(tz) : nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTz_) {
            setenv("TZ", savedTz_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    std::unique_ptr<TestChannel> loadChannel(const std::string& contents) {
        const std::string file = dir_.file("channel" + std::to_string(++count_) + ".rss");
        testsupport::writeFile(file, contents);
        auto channel = std::make_unique<TestChannel>(file);
        channel->load();
        return channel;
    }

    static std::string page(channels::Channel& channel, const std::string& text, bool detailsOff = false,
                            const std::set<std::string>& marked = {},
                            const std::map<std::string, std::string>& images = {}) {
        SummaryPageGenerator gen(channel, detailsOff, marked, images);
        std::istringstream in(text);
        std::ostringstream out;
        gen.generate(in, out);
        return out.str();
    }

    TempDir dir_;
    int count_ = 0;
    std::unique_ptr<std::string> savedTz_;
};

const std::string kFixtures = testsupport::sourceDir() + "/channels/data/summary/";

TEST_F(SummaryPage, GoldenPageOfASmallChannel) {
    auto channel = loadChannel(testsupport::readFile(kFixtures + "small.rss"));
    SummaryPageGenerator gen(*channel, false, {"item-2"},
                             {{"item-1", "<img src='new.gif'>"}, {"item-3", "<img src='viewed.gif'>"}});
    gen.setValue("BACKGROUND-IMAGE", "file:///res/bg.gif");
    const std::string templateText = testsupport::readFile(kFixtures + "page.template");
    const std::string expected = testsupport::readFile(kFixtures + "small.expected.html");
    ASSERT_FALSE(templateText.empty());
    ASSERT_FALSE(expected.empty());
    std::istringstream in(templateText);
    std::ostringstream out;
    gen.generate(in, out);
    EXPECT_EQ(expected, out.str());
}

TEST_F(SummaryPage, NeverUpdatedChannel) {
    auto channel = loadChannel("[Config]\nRssChannelUrl=http://127.0.0.1/feed.xml\n");
    EXPECT_EQ("http://127.0.0.1/feed.xml|No description provided.|http://127.0.0.1/feed.xml|||[]|{%ITEM-URL%}",
              page(*channel,
                   "{%CHANNEL-NAME%}|{%CHANNEL-DESCRIPTION%}|{%CHANNEL-HOME-URL%}|{%LAST-UPDATE-TIME%}|"
                   "{%CHANNEL-IMAGE%}{%CHANNEL-DETAILS%}|[{%REPEAT%x}item{%/REPEAT%}]|{%ITEM-URL%}"));
}

TEST_F(SummaryPage, RepeatBlocksRunOncePerItemUpToMaxFeedItems) {
    std::string file = "[Settings]\nMaxFeedItems=5\n[Last Feed]\nFeedTime=1\n";
    for (int i = 1; i <= 8; ++i) {
        file += "[Last Feed (" + std::to_string(i) + ")]\nId=id" + std::to_string(i) + "\nTitle=t" + std::to_string(i) +
                "\n";
    }
    auto channel = loadChannel(file);
    const std::string text = "{%REPEAT%a}{%ITEM-TITLE%},{%/REPEAT%}|{%REPEAT%b}{%ITEM-TITLE%}{%/REPEAT%}";
    EXPECT_EQ("t1,t2,t3,t4,t5,|t1t2t3t4t5", page(*channel, text));

    channel->getChannelSettings().setMaxFeedItems(-1);
    EXPECT_EQ("t1,t2,t3,t4,t5,t6,t7,t8,|t1t2t3t4t5t6t7t8", page(*channel, text));
}

TEST_F(SummaryPage, DetailsOffEmptiesBothDetailVariables) {
    auto channel = loadChannel(testsupport::readFile(kFixtures + "small.rss"));
    EXPECT_EQ("[][]", page(*channel, "[{%CHANNEL-DETAILS%}]{%REPEAT%x}{%/REPEAT%}[{%ITEM-DETAILS%}]", true));
}

struct DetailsCase {
    const char* cache;  // lines of the Cache section
    const char* expected;
};

TEST_F(SummaryPage, ChannelDetailsTable) {
    const DetailsCase cases[] = {
        {"CopyrightString=All rights reserved\n", "Copyright All rights reserved<BR>\n"},
        {"CopyrightString=(c) COPYRIGHT 2003 Foo\n", "(c) COPYRIGHT 2003 Foo<BR>\n"},
        {"CopyrightString=copyright foo\n", "copyright foo<BR>\n"},
        // Only dates, or only people: no separator line.
        {"PubDateString=d1\nLastBuildDateString=d2\n", "Published: d1<BR>\nLast changed: d2<BR>\n"},
        {"WebMasterEmailAddress=w@x\n", "Webmaster: <A href='mailto:w@x'>w@x</A><BR>\n"},
        {"LastBuildDateString=d2\nWebMasterEmailAddress=w@x\n",
         "Last changed: d2<BR>\n<BR>\nWebmaster: <A href='mailto:w@x'>w@x</A><BR>\n"},
        // Addresses cannot leave their attribute.
        {"EditorEmailAddress=a'><script>x</script>\n",
         "Managing Editor: <A href='mailto:a&#39;&gt;&lt;script&gt;x&lt;/script&gt;'>"
         "a&#39;&gt;&lt;script&gt;x&lt;/script&gt;</A><BR>\n"},
        {"", ""},
    };
    for (const auto& c : cases) {
        auto channel = loadChannel(std::string("[Cache]\n") + c.cache);
        EXPECT_EQ(c.expected, page(*channel, "{%CHANNEL-DETAILS%}")) << c.cache;
    }
}

TEST_F(SummaryPage, ChannelImageTable) {
    const DetailsCase cases[] = {
        {"ChannelImageUrl=http://127.0.0.1/i.gif\nChannelImageWidth=88\nChannelHomeUrl=http://127.0.0.1/\n",
         "<A href=\"http://127.0.0.1/\"><IMG src=\"http://127.0.0.1/i.gif\"  width=88 border=0 "
         "alt=\"Channel image\"></A>"},
        {"ChannelImageUrl=http://127.0.0.1/i.gif\nChannelImageWidth=88\n",
         "<IMG src=\"http://127.0.0.1/i.gif\" width=88 border=0 alt=\"Channel image\">"},
        {"ChannelImageUrl=http://127.0.0.1/i.gif\nChannelImageWidth=88\nChannelImageHeight=31\n",
         "<IMG src=\"http://127.0.0.1/i.gif\" width=88 height=31 border=0 alt=\"Channel image\">"},
        {"ChannelImageUrl=http://127.0.0.1/i.gif\n",
         "<IMG src=\"http://127.0.0.1/i.gif\" border=0 alt=\"Channel image\">"},
        {"ChannelImageUrl=http://127.0.0.1/\"onerror=\"x.gif\n",
         "<IMG src=\"http://127.0.0.1/&quot;onerror=&quot;x.gif\" border=0 alt=\"Channel image\">"},
        {"ChannelImageWidth=88\nChannelHomeUrl=http://127.0.0.1/\n", ""},
    };
    for (const auto& c : cases) {
        auto channel = loadChannel(std::string("[Cache]\n") + c.cache);
        EXPECT_EQ(c.expected, page(*channel, "{%CHANNEL-IMAGE%}")) << c.cache;
    }
}

TEST_F(SummaryPage, PreferredValuesWinAndHomeFallsBackToTheSource) {
    auto channel = loadChannel(
        "[Cache]\nChannelDisplayName=Feed name\nChannelDescription=Feed text\n"
        "[Config]\nPreferredChannelDisplayName=Mine\nPreferredChannelDescription=My text\n");
    EXPECT_EQ("Mine|My text|http://127.0.0.1/feed.xml",
              page(*channel, "{%CHANNEL-NAME%}|{%CHANNEL-DESCRIPTION%}|{%CHANNEL-HOME-URL%}"));
}

TEST_F(SummaryPage, LastUpdateTimeIsRelative) {
    const std::time_t now = std::time(nullptr);
    auto channel = loadChannel("[State]\nLastFetchTime=" + std::to_string(now) + "\n");
    std::tm tm{};
    localtime_r(&now, &tm);
    char hhmm[8];
    std::strftime(hhmm, sizeof hhmm, "%H:%M", &tm);
    EXPECT_EQ(std::string("(Last updated ") + hhmm + ")", page(*channel, "{%LAST-UPDATE-TIME%}"));
}

TEST_F(SummaryPage, ItemVariablesOutsideBlocks) {
    auto channel = loadChannel(testsupport::readFile(kFixtures + "small.rss"));
    // Before any block the item variables stay as written; an unknown ITEM-
    // name is looked up in the table like any other.
    SummaryPageGenerator gen(*channel, false, {}, {});
    gen.setValue("ITEM-EXTRA", "extra");
    std::istringstream in(
        "{%ITEM-URL%}{%ITEM-IMAGE%}{%ITEM-EXTRA%}|{%REPEAT%x}{%/REPEAT%}{%ITEM-URL%}|{%ITEM-IMAGE%}|"
        "{%ITEM-EXTRA%}");
    std::ostringstream out;
    gen.generate(in, out);
    EXPECT_EQ("{%ITEM-URL%}{%ITEM-IMAGE%}extra|||extra", out.str());
}

// The staged stock template, through the channel's own page operation.
TEST_F(SummaryPage, StockTemplateThroughTheChannel) {
    auto channel = loadChannel(testsupport::readFile(kFixtures + "small.rss"));
    const std::string stock = testsupport::stageDir() + "/Resources/DefaultChannelSummary.template";
    ASSERT_FALSE(testsupport::readFile(stock).empty());
    channel->getChannelConfig().setChannelSummaryFiles(stock, "/res/bg.gif");
    // The desktop hands each item's picture as an address; the page shows it.
    channel->generateSummaryPage(false, {"item-1"}, {{"item-2", "file:///res/newFeedItem.gif"}});
    const std::string html = testsupport::readFile(channel->getSummaryPageFilename());
    EXPECT_EQ(std::string::npos, html.find("{%")) << html;
    for (const char* piece :
         {"<title>Tom &amp; Jerry&#39;s &lt;News&gt;</title>", "url(\"file:///res/bg.gif\")",
          "<I>First &lt;b&gt;bold&lt;/b&gt; &amp; more</I>",
          "<span class=\"item-image\" style=\"background-image: url(&quot;file:///res/newFeedItem.gif&quot;)\"></span> "
          "<a href=\"http://127.0.0.1/2\">Second</a>",
          "<p>Para <a href=\"http://127.0.0.1/x\">link</a></p>", "(Last updated Mon Jan  6 14:05 2003)",
          "Copyright All rights reserved<BR>"}) {
        EXPECT_NE(std::string::npos, html.find(piece)) << piece;
    }
    EXPECT_EQ(std::string::npos, html.find("Fourth"));
    EXPECT_EQ(3u, [&] {
        std::size_t n = 0;
        for (auto pos = html.find("class=\"item\""); pos != std::string::npos;
             pos = html.find("class=\"item\"", pos + 1))
            ++n;
        return n;
    }());
}

// Pages generated while another thread replaces the last feed always show one
// whole feed: the feed cannot go away in the middle of a page.
TEST_F(SummaryPage, FeedReplacedWhileGenerating) {
    auto channel = loadChannel("[Config]\nRssChannelUrl=http://127.0.0.1/feed.xml\n");
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int round = 0; round < 200 && !done; ++round) {
            auto feed = std::make_unique<channels::Feed>();
            const int n = 1 + round % 7;
            for (int i = 0; i < n; ++i)
                feed->addFeedItem(
                    channels::FeedItem("id" + std::to_string(i), "r" + std::to_string(n), "", "", "", "", "", ""));
            channel->getChannelState().setLastFeed(std::move(feed));
        }
    });
    for (int i = 0; i < 200; ++i) {
        const std::string text = page(*channel, "{%REPEAT%x}{%ITEM-TITLE%};{%/REPEAT%}");
        // n items all titled "rn;" (or none before the first feed).
        if (text.empty()) continue;
        const std::string each = text.substr(0, text.find(';') + 1);
        const int n = std::stoi(each.substr(1));
        std::string whole;
        for (int k = 0; k < n; ++k) whole += each;
        ASSERT_EQ(whole, text);
    }
    done = true;
    writer.join();
}

}  // namespace
