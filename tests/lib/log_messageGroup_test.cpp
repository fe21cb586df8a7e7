#include "lib/log/messageGroup.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace {
std::string dump(const CMessageGroup& g) {
    std::ostringstream os;
    os << g;
    return os.str();
}
}  // namespace

TEST(MessageGroup, IdsAndLookup) {
    CMessageGroup first("GroupTestFirst", "");
    CMessageGroup explicitId(500, "GroupTestExplicit", "");
    CMessageGroup second("GroupTestSecond", "what it logs");
    EXPECT_EQ(second.getId(), first.getId() + 1);  // the explicit id leaves the counter alone
    EXPECT_EQ(second.getDescription(), "what it logs");
    EXPECT_EQ(CMessageGroup::findById(500), &explicitId);
    EXPECT_EQ(CMessageGroup::findByName("GROUPTESTFIRST"), &first);
    EXPECT_EQ(CMessageGroup::findByName("grouptestsecond"), &second);
    EXPECT_EQ(CMessageGroup::findByName("GroupTestMissing"), nullptr);
    EXPECT_FALSE(CMessageGroup::isEnabledByName("GroupTestMissing"));
    EXPECT_FALSE(CMessageGroup::isEnabledById(-42));
    second.setEnabled(false);
    EXPECT_FALSE(CMessageGroup::isEnabledById(second.getId()));
    EXPECT_TRUE(CMessageGroup::isEnabledByName("GroupTestFirst"));
}

TEST(MessageGroup, DestroyedGroupsLeaveTheRegistry) {
    int id;
    {
        CMessageGroup temporary("GroupTestTemporary", "");
        id = temporary.getId();
        EXPECT_NE(CMessageGroup::findById(id), nullptr);
    }
    EXPECT_EQ(CMessageGroup::findById(id), nullptr);
    EXPECT_EQ(CMessageGroup::findByName("GroupTestTemporary"), nullptr);

    // A later group of the same id and name replaces the earlier one, and
    // stays findable when the earlier one goes.
    auto earlier = std::make_unique<CMessageGroup>(600, "GroupTestSame", "");
    CMessageGroup later(600, "groupTESTsame", "");
    EXPECT_EQ(CMessageGroup::findById(600), &later);
    EXPECT_EQ(CMessageGroup::findByName("GroupTestSame"), &later);
    earlier.reset();
    EXPECT_EQ(CMessageGroup::findById(600), &later);
    EXPECT_EQ(CMessageGroup::findByName("GroupTestSame"), &later);
}

TEST(MessageGroup, EnabledFromListTable) {
    CMessageGroup http("http", "");
    CMessageGroup channels("channels", "");
    CMessageGroup templ("Template", "");
    CMessageGroup other("GroupTestOther", "");
    struct Case {
        const char* list;
        bool http, channels, templ, other;  // after switching off from all-on
    };
    const Case cases[] = {
        {" ;, ;", true, true, true, true},  // separators only: no change
        {"http, channels;Template", false, false, false, true},
        {"*", false, false, false, false},  // a lone star: all
        {"GroupTestOther,*", false, false, false, false},
        {"* ", true, true, true, true},  // star not at the end: a name
        {"*,http", false, true, true, true},
        {"HTTP\tunknown\nTEMPLATE", false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        CMessageGroup::setAllEnabled(true);
        CMessageGroup::setEnabledFromList(c.list, false);
        EXPECT_EQ(http.isEnabled(), c.http);
        EXPECT_EQ(channels.isEnabled(), c.channels);
        EXPECT_EQ(templ.isEnabled(), c.templ);
        EXPECT_EQ(other.isEnabled(), c.other);
    }
    CMessageGroup::disableAll(true);
    CMessageGroup::setEnabledFromList("channels", true);
    EXPECT_TRUE(channels.isEnabled());
    EXPECT_FALSE(http.isEnabled());
    CMessageGroup::disableAll(false);
    EXPECT_TRUE(http.isEnabled());
}

TEST(MessageGroup, DumpForm) {
    CMessageGroup named(12, "Http", "");
    CMessageGroup unnamed(3, "", "");
    CMessageGroup one(1, "", "");
    unnamed.setEnabled(false);
    EXPECT_EQ(dump(named), "[12:Httpon]");
    EXPECT_EQ(dump(unnamed), "[3off]");
    EXPECT_EQ(dump(one), "[1on]");
}
