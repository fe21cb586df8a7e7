// Channel state: counters, the case-insensitive set of new item ids, and
// what loading restores.
#include <gtest/gtest.h>

#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "tests/support/test_support.h"

using channels::ChannelState;
using channels::Feed;

TEST(ChannelState, UpdatesCountAndNewIdsIgnoreCase) {
    ChannelState state(nullptr);
    state.setLastFetchTime(100);
    state.setLastFetchTime(200);
    EXPECT_EQ(state.getLastFetchTime(), 200);
    EXPECT_EQ(state.getTotalChannelsUpdates(), 2);

    state.setNewFeedItems({"ABC", "abc", "def"}, 2);
    EXPECT_EQ(state.getNewFeedItemIds().size(), 2u);
    EXPECT_TRUE(state.isNewFeedItem("abc"));
    EXPECT_TRUE(state.isNewFeedItem("ABC"));
    EXPECT_FALSE(state.isNewFeedItem("xyz"));
    state.setNewFeedItems({}, 0);
    EXPECT_EQ(state.getTotalFeedItemsReceived(), 2);
    EXPECT_EQ(state.getLastNewFeedItemCount(), 0);

    state.setNewFeedItems({"x"}, 1);
    auto feed = std::make_unique<Feed>();
    Feed* raw = feed.get();
    state.setLastFeed(std::move(feed));
    EXPECT_EQ(state.getLastFeed(), raw);
    EXPECT_TRUE(state.getNewFeedItemIds().empty());
    state.setLastFeed(nullptr);
    ASSERT_NE(state.getLastFeed(), nullptr);
}

TEST(ChannelState, LoadRestoresStoredValuesButNotTheLastNewCount) {
    testsupport::TempDir dir;
    const std::string file = dir.file("c.rss");
    {
        ChannelState state(nullptr);
        state.setCreationTime(1790000000);
        state.setHttpValidators("Tue, 08 Dec 2026 11:00:00 GMT", "\"v1\"");
        state.setNConsecutive404s(2);
        state.setNewFeedItems({"b", "A"}, 2);
        auto feed = std::make_unique<Feed>();
        feed->setFeedTime(1796000000);
        feed->addFeedItem(channels::FeedItem("A", "t", "", "", "", "", "", ""));
        state.setLastFeed(std::move(feed));
        state.setNewFeedItems({"b", "A"}, 2);
        state.save(file);
    }
    ChannelState state(nullptr);
    state.load(file);
    EXPECT_EQ(state.getCreationTime(), 1790000000);
    EXPECT_EQ(state.getHttpLastModified(), "Tue, 08 Dec 2026 11:00:00 GMT");
    EXPECT_EQ(state.getHttpETag(), "\"v1\"");
    EXPECT_EQ(state.getNConsecutive404s(), 2);
    EXPECT_EQ(state.getTotalFeedItemsReceived(), 4);
    EXPECT_TRUE(state.isNewFeedItem("a"));
    EXPECT_TRUE(state.isNewFeedItem("B"));
    EXPECT_EQ(state.getLastNewFeedItemCount(), 0);
    EXPECT_EQ(state.getLastFeed()->getFeedTime(), 1796000000);
    EXPECT_EQ(state.getLastFeed()->getFeedItemCount(), 1u);
}
