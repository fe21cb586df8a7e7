// The desktop's message groups are switched by name from debug.ini.
#include <gtest/gtest.h>

#include "app/core/messageGroups.h"
#include "lib/log/messageLogInit.h"
#include "tests/support/test_support.h"

namespace {

const CMessageGroup* const kGroups[] = {&g_channelEventsGroup,
                                        &g_notificationRequestQueueGroup,
                                        &g_viewedFeedItemsGroup,
                                        &g_uiEventsGroup,
                                        &g_startupGroup,
                                        &g_shutdownGroup,
                                        &g_channelHookCallbacksGroup,
                                        &g_importViewedUrlsGroup,
                                        &g_channelFiltersGroup,
                                        &g_myChannelsSortingGroup};

TEST(MessageGroups, DebugIniSwitchesThemByName) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("debug.ini"), "[MessageLog]\nStartup=1\n");
    loadMessageGroupSettings(dir.file("debug.ini"));
    for (const CMessageGroup* group : kGroups)
        EXPECT_EQ(group->isEnabled(), group == &g_startupGroup) << group->getName();

    loadMessageGroupSettings(dir.file("missing.ini"));
    for (const CMessageGroup* group : kGroups) EXPECT_FALSE(group->isEnabled()) << group->getName();
    CMessageGroup::setAllEnabled(true);
}

TEST(MessageGroups, NumberedInConstructionOrder) {
    for (std::size_t i = 1; i < std::size(kGroups); ++i)
        EXPECT_EQ(kGroups[i]->getId(), kGroups[i - 1]->getId() + 1) << kGroups[i]->getName();
    EXPECT_EQ(CMessageGroup::findByName("mychannelssorting"), &g_myChannelsSortingGroup);
}

}  // namespace
