// Feeds, items and the channel header in their stored form: the "Last Feed"
// section and its numbered item sections.
#include "channels/feed/feed.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

using channels::ChannelHeader;
using channels::Feed;
using channels::FeedItem;

const std::string kStem = "Last Feed";

FeedItem makeItem(const std::string& id, const std::string& title) {
    return FeedItem(id, title, "desc of " + id, "http://x.example/" + id, "src", "auth", "http://c.example/" + id,
                    "Mon, 01 Jan 2024 00:00:00 GMT");
}

ChannelHeader makeHeader() {
    ChannelHeader header;
    header.ChannelDisplayName = "Caf\xC3\xA9 \xE2\x82\xAC news";
    header.ChannelDescription = "two\nlines with 50% off";
    header.ChannelHomeUrl = "http://home.example/";
    header.ChannelImageUrl = "http://home.example/logo.png";
    header.ChannelImageWidth = 88;
    header.ChannelImageHeight = 31;
    header.CopyrightString = "(c) someone";
    header.EditorEmailAddress = "ed@home.example";
    header.WebMasterEmailAddress = "wm@home.example";
    header.PubDateString = "Sat, 07 Sep 2002 00:00:01 GMT";
    header.LastBuildDateString = "Sat, 07 Sep 2002 09:42:31 GMT";
    header.FeedGenerator = "gen";
    header.SkipHours = {0, 5, 23};
    header.SkipDays = {0, 6};
    return header;
}

std::vector<std::string> itemSections(const std::string& file) {
    std::vector<std::string> result;
    for (const std::string& name : tools::getIniSectionNames(file)) {
        if (name.rfind(kStem + " (", 0) == 0) result.push_back(name);
    }
    return result;
}

// Catches: a key lost or misnamed, texts not surviving the INI encoding
// (UTF-8, line breaks, '%'), items out of order.
TEST(FeedStore, RoundTripKeepsHeaderItemsAndTime) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");

    Feed feed;
    feed.setFeedTime(1700000000);
    feed.setChannelHeader(makeHeader());
    feed.addFeedItem(makeItem("a", "First \xC3\xA9"));
    feed.addFeedItem(FeedItem("b", "", "line1\r\nline2\t%20", "", "", "", "", ""));
    feed.save(file, kStem);

    Feed loaded;
    loaded.load(file, kStem);
    EXPECT_EQ(loaded.getFeedTime(), 1700000000);
    const ChannelHeader& h = loaded.getChannelHeader();
    const ChannelHeader expected = makeHeader();
    EXPECT_EQ(h.ChannelDisplayName, expected.ChannelDisplayName);
    EXPECT_EQ(h.ChannelDescription, expected.ChannelDescription);
    EXPECT_EQ(h.ChannelHomeUrl, expected.ChannelHomeUrl);
    EXPECT_EQ(h.ChannelImageUrl, expected.ChannelImageUrl);
    EXPECT_EQ(h.ChannelImageWidth, 88);
    EXPECT_EQ(h.ChannelImageHeight, 31);
    EXPECT_EQ(h.CopyrightString, expected.CopyrightString);
    EXPECT_EQ(h.EditorEmailAddress, expected.EditorEmailAddress);
    EXPECT_EQ(h.WebMasterEmailAddress, expected.WebMasterEmailAddress);
    EXPECT_EQ(h.PubDateString, expected.PubDateString);
    EXPECT_EQ(h.LastBuildDateString, expected.LastBuildDateString);
    EXPECT_EQ(h.FeedGenerator, expected.FeedGenerator);
    EXPECT_EQ(h.SkipHours, expected.SkipHours);
    EXPECT_EQ(h.SkipDays, expected.SkipDays);

    ASSERT_EQ(loaded.getFeedItemCount(), 2u);
    const FeedItem& a = loaded.getFeedItems()[0];
    EXPECT_EQ(a.getId(), "a");
    EXPECT_EQ(a.getTitle(), "First \xC3\xA9");
    EXPECT_EQ(a.getDescription(), "desc of a");
    EXPECT_EQ(a.getUrl(), "http://x.example/a");
    EXPECT_EQ(a.getSource(), "src");
    EXPECT_EQ(a.getAuthor(), "auth");
    EXPECT_EQ(a.getCommentsUrl(), "http://c.example/a");
    EXPECT_EQ(a.getPubDateString(), "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_EQ(loaded.getFeedItems()[1].getDescription(), "line1\r\nline2\t%20");
    EXPECT_EQ(itemSections(file), (std::vector<std::string>{"Last Feed (1)", "Last Feed (2)"}));
    // The stored keys are those other programs and scripts read.
    EXPECT_EQ(tools::getIniKeyNames(file, "Last Feed (1)"),
              (std::vector<std::string>{"Id", "Title", "Description", "Url", "Source", "Author", "CommentsUrl",
                                        "PubDateString"}));
    EXPECT_EQ(tools::getIniKeyNames(file, kStem).front(), "FeedTime");
}

// Catches: stale item sections left behind by a shorter feed, so that a
// later load brings back items that are gone.
TEST(FeedStore, SavingShorterOrEmptyFeedRemovesOldItemSections) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    Feed longFeed;
    for (const char* id : {"1", "2", "3"}) longFeed.addFeedItem(makeItem(id, id));
    longFeed.save(file, kStem);

    Feed shortFeed;
    shortFeed.addFeedItem(makeItem("x", "x"));
    shortFeed.save(file, kStem);
    EXPECT_EQ(itemSections(file), (std::vector<std::string>{"Last Feed (1)"}));
    Feed loaded;
    loaded.load(file, kStem);
    ASSERT_EQ(loaded.getFeedItemCount(), 1u);
    EXPECT_EQ(loaded.getFeedItems()[0].getId(), "x");

    Feed().save(file, kStem);
    EXPECT_TRUE(itemSections(file).empty());
    EXPECT_TRUE(tools::getIniSectionNames(file).size() == 1u);
}

// Catches: loading past a gap or an empty Id, which the stored form defines
// as the end of the list.
TEST(FeedStore, LoadStopsAtGapOrEmptyId) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    makeItem("one", "1").save(file, "Last Feed (1)");
    makeItem("three", "3").save(file, "Last Feed (3)");
    Feed gap;
    gap.load(file, kStem);
    EXPECT_EQ(gap.getFeedItemCount(), 1u);

    makeItem("  ", "blank id").save(file, "Last Feed (2)");
    Feed blank;
    blank.load(file, kStem);
    EXPECT_EQ(blank.getFeedItemCount(), 1u);
    EXPECT_FALSE(FeedItem::exists(file, "Last Feed (2)"));
    EXPECT_TRUE(FeedItem::exists(file, "Last Feed (3)"));

    FeedItem untouched = makeItem("keep", "k");
    EXPECT_FALSE(untouched.load(file, "Last Feed (9)"));
    EXPECT_EQ(untouched.getId(), "keep");
}

// Catches: surrounding white space kept after a load (inner white space and
// line breaks must survive).
TEST(FeedStore, LoadTrimsOuterWhiteSpaceOnly) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    FeedItem(" id ", "\t a  b \n", " x\ny ", "", "", "", "", "").save(file, "Last Feed (1)");
    Feed loaded;
    loaded.load(file, kStem);
    ASSERT_EQ(loaded.getFeedItemCount(), 1u);
    EXPECT_EQ(loaded.getFeedItems()[0].getId(), "id");
    EXPECT_EQ(loaded.getFeedItems()[0].getTitle(), "a  b");
    EXPECT_EQ(loaded.getFeedItems()[0].getDescription(), "x\ny");
}

// Catches: a fetch time cut to 32 bits.
TEST(FeedStore, FeedTimeAfter2038SurvivesRoundTrip) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    Feed feed;
    feed.setFeedTime(static_cast<std::time_t>(4102444800LL));  // 2100-01-01
    feed.save(file, kStem);
    Feed loaded;
    loaded.load(file, kStem);
    EXPECT_EQ(loaded.getFeedTime(), static_cast<std::time_t>(4102444800LL));
    EXPECT_EQ(tools::getIniString(file, kStem, "FeedTime", "", false), "4102444800");
}

// Catches: a feed that could not be written reported as saved.
TEST(FeedStore, SaveFailureThrows) {
    testsupport::TempDir dir;
    const std::string file = dir.file("missing-folder/channel.rss");
    Feed feed;
    feed.addFeedItem(makeItem("a", "A"));
    try {
        feed.save(file, kStem);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Can't write the feed to the file: " + file);
    }
}

// Catches: a wrong stream form, copies or self-assignment losing items.
TEST(FeedItem, StreamFormAndCopies) {
    std::ostringstream out;
    out << FeedItem("a", "b", "", "", "", "", "", "");
    EXPECT_EQ(out.str(), "[a:b]");

    Feed feed;
    feed.setFeedTime(5);
    feed.addFeedItem(makeItem("a", "A"));
    Feed copy(feed);
    Feed assigned;
    assigned = feed;
    assigned = assigned;
    for (const Feed* f : {&copy, &assigned}) {
        EXPECT_EQ(f->getFeedTime(), 5);
        ASSERT_EQ(f->getFeedItemCount(), 1u);
        EXPECT_EQ(f->getFeedItems()[0].getId(), "a");
    }
}

// Catches: a text of an item read with its neighbour's bounds (an empty text
// first, last or between others), a copy, assignment or move that loses or
// shares the texts, and a long text cut on its way through the file.
TEST(FeedItem, EachTextKeepsItsOwnBytesThroughCopiesAndTheFile) {
    using Getter = std::string_view (FeedItem::*)() const;
    const std::vector<std::pair<std::string, Getter>> fields = {{"Id", &FeedItem::getId},
                                                                {"Title", &FeedItem::getTitle},
                                                                {"Description", &FeedItem::getDescription},
                                                                {"Url", &FeedItem::getUrl},
                                                                {"Source", &FeedItem::getSource},
                                                                {"Author", &FeedItem::getAuthor},
                                                                {"CommentsUrl", &FeedItem::getCommentsUrl},
                                                                {"PubDateString", &FeedItem::getPubDateString}};
    using Texts = std::vector<std::string>;
    std::vector<Texts> cases;
    cases.push_back(Texts(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        Texts alone(fields.size()), allBut(fields.size());
        for (std::size_t k = 0; k < fields.size(); ++k) allBut[k] = fields[k].first + " \xC3\xA9 " + std::to_string(k);
        alone[i] = allBut[i];
        allBut[i].clear();
        cases.push_back(alone);
        cases.push_back(allBut);
    }
    std::string longText;
    for (int line = 0; line < 2000; ++line) longText += "<p>Line " + std::to_string(line) + " of a long text</p>\n";
    longText += "end";
    cases.push_back({"long", "t", longText, "u", "", "", "", longText});

    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const Texts& t = cases[c];
        SCOPED_TRACE("case " + std::to_string(c));
        const FeedItem item(t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]);
        FeedItem copy(item);
        FeedItem assigned("old", "old", "old", "", "", "", "", "");
        assigned = item;
        const FeedItem& same = assigned;
        assigned = same;
        FeedItem source(item);
        const FeedItem moved(std::move(source));
        FeedItem loaded;
        item.save(file, "Item");
        EXPECT_EQ(loaded.load(file, "Item"), !t[0].empty());
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const Getter get = fields[k].second;
            SCOPED_TRACE(fields[k].first);
            EXPECT_EQ((item.*get)(), t[k]);
            EXPECT_EQ((copy.*get)(), t[k]);
            EXPECT_EQ((assigned.*get)(), t[k]);
            EXPECT_EQ((moved.*get)(), t[k]);
            if (!t[0].empty()) {
                EXPECT_EQ((loaded.*get)(), t[k]);
            }
            EXPECT_EQ(tools::getIniString(file, "Item", fields[k].first, "?", false), t[k]);
        }
        // Each holds its own texts: the original outlives its copies.
        copy = FeedItem();
        assigned = FeedItem("x", "", "", "", "", "", "", "");
        EXPECT_EQ(item.getDescription(), t[2]);
        EXPECT_EQ(assigned.getId(), "x");
        EXPECT_EQ(copy.getId(), "");
    }
}

// Catches: skip lists read past a bad token or keeping out-of-range values,
// image sizes outside 0..500 accepted, a cleared header not stored as -1.
TEST(ChannelHeaderStore, LoadRulesForSkipListsAndImageSize) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    struct Case {
        const char* hours;
        const char* days;
        const char* width;
        std::set<int> wantHours;
        std::set<int> wantDays;
        int wantWidth;
    };
    const Case cases[] = {
        {"1 5 24 7", "0 6", "500", {1, 5, 7}, {0, 6}, 500},
        {"3,4", "7 -1 2", "600", {3}, {2}, 0},
        {"", "x 1", "-1", {}, {}, 0},
    };
    for (const Case& c : cases) {
        tools::writeIniString(file, "Cache", "SkipHours", c.hours);
        tools::writeIniString(file, "Cache", "SkipDays", c.days);
        tools::writeIniString(file, "Cache", "ChannelImageWidth", c.width);
        ChannelHeader header = makeHeader();
        header.load(file, "Cache");
        EXPECT_EQ(header.SkipHours, c.wantHours) << c.hours;
        EXPECT_EQ(header.SkipDays, c.wantDays) << c.days;
        EXPECT_EQ(header.ChannelImageWidth, c.wantWidth) << c.width;
        EXPECT_EQ(header.ChannelImageHeight, 0);  // missing
    }

    ChannelHeader cleared = makeHeader();
    cleared.clear();
    EXPECT_TRUE(cleared.ChannelDisplayName.empty() && cleared.SkipHours.empty() && cleared.SkipDays.empty());
    cleared.save(file, "Cleared");
    EXPECT_EQ(tools::getIniInt(file, "Cleared", "ChannelImageWidth", 0), -1);
    EXPECT_EQ(tools::getIniInt(file, "Cleared", "ChannelImageHeight", 0), -1);
    EXPECT_EQ(tools::getIniString(file, "Cleared", "SkipDays", "x", false), "");
}

// Catches: display texts unsorted, with the wrong separator or day names, and
// the stored form of the day list.
TEST(ChannelHeaderStore, SkipListDisplayTexts) {
    ChannelHeader header;
    header.SkipDays = {6, 0};
    header.SkipHours = {7, 1, 5};
    EXPECT_EQ(header.getSkipDaysString(true), "Sunday, Saturday");
    EXPECT_EQ(header.getSkipDaysString(false), "Sunday Saturday");
    EXPECT_EQ(header.getSkipHoursString(true), "1, 5, 7");
    EXPECT_EQ(header.getSkipHoursString(false), "1 5 7");

    testsupport::TempDir dir;
    header.save(dir.file("c.rss"), "Cache");
    EXPECT_EQ(tools::getIniString(dir.file("c.rss"), "Cache", "SkipDays", "", false), "0 6");
}

}  // namespace
