// Channel filters: stored form, equality, the criteria and the text test.
#include <gtest/gtest.h>

#include "app/core/programObjects.h"
#include "app/options/channelFilter.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

class ChannelFilterIni : public ::testing::Test {
protected:
    std::string ini() const { return dir_.file("config.ini"); }
    void write(const std::string& text) { testsupport::writeFile(ini(), text); }
    testsupport::TempDir dir_;
};

TEST_F(ChannelFilterIni, RangesAndMissingName) {
    struct Case {
        const char* keys;
        int filterType, sortOrder, op;
    } cases[] = {
        {"FilterType=7\nSortOrder=4\n", 0, 4, 0},
        {"FilterType=2\nSortOrder=5\nChannelCategoriesOp=1\n", 2, 0, 1},
        {"FilterType=-1\nSortOrder=-1\nChannelCategoriesOp=2\n", 0, 0, 0},
    };
    for (const auto& c : cases) {
        write(std::string("[F]\nFilterName=x\n") + c.keys);
        ChannelFilter filter;
        ASSERT_TRUE(filter.load(ini(), "F")) << c.keys;
        EXPECT_EQ(filter.getFilterType(), c.filterType) << c.keys;
        EXPECT_EQ(filter.getSortOrder(), c.sortOrder) << c.keys;
        EXPECT_EQ(filter.getChannelCategoriesOp(), c.op) << c.keys;
    }
    write("[F]\nFilterName=  \nFilterType=1\n");
    ChannelFilter unnamed;
    EXPECT_FALSE(unnamed.load(ini(), "F"));
}

TEST_F(ChannelFilterIni, RoundTripKeepsUtf8AndReservedCharacters) {
    ChannelFilter filter;
    filter.setFilterName("Grüße & 100% ; [x]");
    filter.setFilterType(ChannelFilter::HasUnreadItems);
    filter.setSearchText("^Ä(b|c)=d");
    filter.setSearchTextInChannelName(true);
    filter.setUseRegExps(true);
    filter.setChannelCategories({"Nachrichten", "日本"}, ChannelFilter::AnyCategory);
    filter.setInvertFilter(true);
    filter.setSortOrder(ChannelFilter::LastNewItemTime);
    filter.save(ini(), "Channel Filter 1");

    ChannelFilter loaded;
    ASSERT_TRUE(loaded.load(ini(), "Channel Filter 1"));
    EXPECT_TRUE(loaded.isEqual(filter, true));
    EXPECT_EQ(loaded.getFilterName(), filter.getFilterName());
    EXPECT_EQ(loaded.getChannelCategories(), filter.getChannelCategories());
}

TEST_F(ChannelFilterIni, CategoryGapEndsTheListAndSaveStopsAtIt) {
    write("[F]\nFilterName=x\nChannelCategory1=A\nChannelCategory3=C\n");
    ChannelFilter filter;
    ASSERT_TRUE(filter.load(ini(), "F"));
    EXPECT_EQ(filter.getChannelCategories(), std::vector<std::string>{"A"});
    filter.setChannelCategories({"B"}, 0);
    filter.save(ini(), "F");
    EXPECT_EQ(tools::getIniString(ini(), "F", "ChannelCategory1", "", true), "B");
    EXPECT_EQ(tools::getIniString(ini(), "F", "ChannelCategory3", "", true), "C");
}

TEST(ChannelFilter, Equality) {
    ChannelFilter a;
    a.setFilterName("News");
    ChannelFilter b = a;
    b.setFilterName("NEWS");
    EXPECT_TRUE(a.isEqual(b, true));

    b.setSearchTextInChannelUrl(true);  // place flags count only with a text
    EXPECT_TRUE(a.isEqual(b, false));
    a.setSearchText("x");
    b.setSearchText("X");
    EXPECT_FALSE(a.isEqual(b, false));
    a.setSearchTextInChannelUrl(true);
    EXPECT_TRUE(a.isEqual(b, false));

    b.setChannelCategories({"a"}, 0);
    a.setChannelCategories({"A"}, 0);  // categories compare exactly
    EXPECT_FALSE(a.isEqual(b, false));
    EXPECT_TRUE(ChannelFilter().isEqual(ChannelFilter(), true));
}

TEST(ChannelFilter, TextMatching) {
    struct Case {
        const char* text;
        const char* pattern;
        bool regExp;
        bool expected;
    } cases[] = {
        {"Daily News", "news", false, true},
        {"Daily News", "NEWS DAILY", false, false},
        {"Straße und Grüße", "GRÜSSE", false, false},
        {"Straße und Grüße", "STRAßE", false, true},  // letters fold, other bytes compare as they are
        {"Tokyo 東京 feed", "東京", false, true},
        {"C++ tips", "c++", false, true},
        {"C++ tips", "c\\+\\+", true, true},
        {"Daily News", "^daily\\s+n", true, true},
        {"Daily News", "^news", true, false},
        {"ÄPFEL", "äpfel", true, true},
        {"東京ニュース", "^東.ニ", true, true},
        {"invalid \xff\xfe bytes", "bytes", true, true},
        {"anything", "(unclosed", true, false},
        {"anything", "[z-a]", true, false},
        {"", "", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchFilterText(c.text, c.pattern, c.regExp), c.expected)
            << "'" << c.text << "' / '" << c.pattern << "' re=" << c.regExp;
}

ChannelFilterSubject subject() {
    ChannelFilterSubject s;
    s.sourceUrl = "http://feeds.example/tech.xml";
    s.displayName = "Tech Daily";
    s.description = "Gadgets und Geräte";
    s.hasCategory = [](const std::string& c) { return c == "Tech" || c == "Daily"; };
    return s;
}

TEST(ChannelFilter, Criteria) {
    struct Case {
        const char* what;
        std::function<void(ChannelFilter&, ChannelFilterSubject&)> set;
        bool expected;
    } cases[] = {
        {"default passes", [](ChannelFilter&, ChannelFilterSubject&) {}, true},
        {"new content wanted", [](ChannelFilter& f, ChannelFilterSubject&) { f.setFilterType(1); }, false},
        {"new content there",
         [](ChannelFilter& f, ChannelFilterSubject& s) {
             f.setFilterType(1);
             s.hasNewContent = true;
         },
         true},
        {"unread wanted", [](ChannelFilter& f, ChannelFilterSubject&) { f.setFilterType(2); }, false},
        {"unread there",
         [](ChannelFilter& f, ChannelFilterSubject& s) {
             f.setFilterType(2);
             s.unreadItemCount = 3;
         },
         true},
        {"unknown type fails", [](ChannelFilter& f, ChannelFilterSubject&) { f.setFilterType(9); }, false},
        {"all categories held",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setChannelCategories({"Tech", "Daily"}, 0);
         },
         true},
        {"all categories, one missing",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setChannelCategories({"Tech", "News"}, 0);
         },
         false},
        {"any category",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setChannelCategories({"News", "Daily"}, 1);
         },
         true},
        {"any category, none held",
         [](ChannelFilter& f, ChannelFilterSubject&) { f.setChannelCategories({"News"}, 1); }, false},
        {"unknown operator fails", [](ChannelFilter& f, ChannelFilterSubject&) { f.setChannelCategories({"Tech"}, 2); },
         false},
        {"text without a place", [](ChannelFilter& f, ChannelFilterSubject&) { f.setSearchText("tech"); }, false},
        {"text in the name",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setSearchText("tech");
             f.setSearchTextInChannelName(true);
         },
         true},
        {"UTF-8 text in the description",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setSearchText("GERÄTE");
             f.setSearchTextInChannelDescription(true);
             f.setUseRegExps(true);
         },
         true},
        {"expression on the address",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setSearchText("\\.xml$");
             f.setSearchTextInChannelUrl(true);
             f.setUseRegExps(true);
         },
         true},
        {"invalid expression matches nothing",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setSearchText("(tech");
             f.setSearchTextInChannelName(true);
             f.setSearchTextInChannelUrl(true);
             f.setUseRegExps(true);
         },
         false},
        {"inverted",
         [](ChannelFilter& f, ChannelFilterSubject&) {
             f.setFilterType(1);
             f.setInvertFilter(true);
         },
         true},
    };
    for (const auto& c : cases) {
        ChannelFilter filter;
        ChannelFilterSubject s = subject();
        c.set(filter, s);
        EXPECT_EQ(filter.matches(s), c.expected) << c.what;
    }
}

TEST(ChannelFilter, MatchingChannelsAreAppendedInTableOrder) {
    channeltest::ManagerFixture fixture;
    auto* a = new channeltest::TestChannel(fixture.manager.get(), fixture.channelFile("a.rss"));
    auto* b = new channeltest::TestChannel(fixture.manager.get(), fixture.channelFile("b.rss"));
    auto* c = new channeltest::TestChannel(fixture.manager.get(), fixture.channelFile("c.rss"));
    fixture.manager->addChannel(a);
    fixture.manager->addChannel(b);
    fixture.manager->addChannel(c);
    int settings = 0;
    a->setDesktopSettings(&settings);
    c->setDesktopSettings(&settings);  // b has none: skipped
    setChannelManager(fixture.manager.get());
    ChannelFilter::setChannelTest([](channels::Channel&, const ChannelFilter&) { return true; });

    channeltest::TestChannel* existing = nullptr;
    std::vector<channels::Channel*> found{existing};
    ChannelFilter().generateMatchingChannels(found);
    EXPECT_EQ(found, (std::vector<channels::Channel*>{existing, a, c}));

    EXPECT_EQ(findChannel(fixture.channelFile("b.rss")), b);
    EXPECT_EQ(findChannel(fixture.dir.str() + "\\Channels\\c.rss"), c);
    EXPECT_EQ(findChannel(fixture.channelFile("d.rss")), nullptr);

    ChannelFilter::setChannelTest(nullptr);
    setChannelManager(nullptr);
    fixture.manager->stopChannelManager(false);
}

TEST(ChannelFilter, Dump) {
    ChannelFilter filter;
    filter.setFilterName("All");
    filter.setChannelCategories({"A", "B"}, 1);
    filter.setSortOrder(7);
    std::ostringstream os;
    filter.dump(os, "  ");
    EXPECT_EQ(os.str(),
              "  FilterName = 'All'\n  FilterType = None\n  SearchText = ''\n"
              "  - SearchUrl=0 ; SearchName=0 ; SearchDescription=0\n  - UseRegExps = 0\n"
              "  - ChannelCategories = 'A' 'B'\n  InvertFilter = 0\n  SortOrder = SortOrder:7\n");
}

}  // namespace
