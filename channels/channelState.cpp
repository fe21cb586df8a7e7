#include "channels/channelState.h"

#include "channels/feed/feed.h"
#include "tools/ini.h"

namespace channels {

namespace {
const char* const kState = "State";
const char* const kNewFeedItemIdStem = "NewFeedItemId-";
const char* const kLastFeedStem = "Last Feed";
}  // namespace

ChannelState::ChannelState(Channel* channel) : channel_(channel), lastFeed_(std::make_unique<Feed>()) {}

ChannelState::~ChannelState() {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    lastFeed_.reset();
}

Channel* ChannelState::getChannel() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return channel_;
}

void ChannelState::load(const std::string& channelFile) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    lastFetchTime_ = tools::getIniInt(channelFile, kState, "LastFetchTime", 0);
    httpLastModified_ = tools::getIniString(channelFile, kState, "HttpLastModified", "", true);
    httpETag_ = tools::getIniString(channelFile, kState, "HttpETag", "", true);
    creationTime_ = tools::getIniInt(channelFile, kState, "CreationTime", 0);
    if (creationTime_ == 0) creationTime_ = std::time(nullptr);
    totalChannelsUpdates_ = tools::getIniInt(channelFile, kState, "TotalChannelsUpdates", 0);
    totalFeedItemsReceived_ = tools::getIniInt(channelFile, kState, "TotalFeedItemsReceived", 0);
    nConsecutive404s_ = tools::getIniInt(channelFile, kState, "NConsecutive404s", 0);

    newFeedItemIds_.clear();
    for (const std::string& id : tools::getIndexedIniList(channelFile, kState, kNewFeedItemIdStem, 1, true)) {
        newFeedItemIds_.insert(id);
    }

    auto feed = std::make_unique<Feed>();
    feed->load(channelFile, kLastFeedStem);
    lastFeed_ = std::move(feed);
}

void ChannelState::save(const std::string& channelFile) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    // Times are stored as the profile layer's 32-bit integers.
    tools::writeIniInt(channelFile, kState, "LastFetchTime", static_cast<int>(lastFetchTime_));
    tools::writeIniString(channelFile, kState, "HttpLastModified", httpLastModified_);
    tools::writeIniString(channelFile, kState, "HttpETag", httpETag_);
    tools::writeIniInt(channelFile, kState, "CreationTime", static_cast<int>(creationTime_));
    tools::writeIniInt(channelFile, kState, "TotalChannelsUpdates", totalChannelsUpdates_);
    tools::writeIniInt(channelFile, kState, "TotalFeedItemsReceived", totalFeedItemsReceived_);
    tools::writeIniInt(channelFile, kState, "NConsecutive404s", nConsecutive404s_);

    tools::deleteIndexedIniKeys(channelFile, kState, kNewFeedItemIdStem, 1);
    tools::writeIndexedList(channelFile, kState, kNewFeedItemIdStem, 1,
                            std::vector<std::string>(newFeedItemIds_.begin(), newFeedItemIds_.end()), false);

    // A new channel holds an empty feed until its first fetch: nothing to store.
    const Feed& feed = *lastFeed_;
    bool holdsFeed = false;
    {
        SharedLockGuard feedGuard(&feed.getLock(), __FILE__, __LINE__);
        holdsFeed = feed.getFeedTime() != 0 || !feed.getFeedItems().empty();
    }
    if (holdsFeed) feed.save(channelFile, kLastFeedStem);
}

void ChannelState::setLastFeed(Feed* feed) { setLastFeed(std::unique_ptr<Feed>(feed)); }

void ChannelState::setLastFeed(std::unique_ptr<Feed> feed) {
    if (!feed) feed = std::make_unique<Feed>();
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    lastFeed_ = std::move(feed);
    newFeedItemIds_.clear();
}

void ChannelState::setLastFetchTime(std::time_t time) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    lastFetchTime_ = time;
    ++totalChannelsUpdates_;
}

std::time_t ChannelState::getLastFetchTime() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return lastFetchTime_;
}

void ChannelState::setNewFeedItems(const FeedItemIdSet& ids, int count) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    newFeedItemIds_ = ids;
    totalFeedItemsReceived_ += count;
    lastNewFeedItemCount_ = count;
}

bool ChannelState::isNewFeedItem(std::string_view id) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return newFeedItemIds_.count(id) != 0;
}

FeedItemIdSet ChannelState::getNewFeedItemIds() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return newFeedItemIds_;
}

int ChannelState::getLastNewFeedItemCount() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return lastNewFeedItemCount_;
}

void ChannelState::setHttpValidators(const std::string& lastModified, const std::string& etag) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    httpLastModified_ = lastModified;
    httpETag_ = etag;
}

std::string ChannelState::getHttpLastModified() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return httpLastModified_;
}

std::string ChannelState::getHttpETag() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return httpETag_;
}

void ChannelState::setNConsecutive404s(int n) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    nConsecutive404s_ = n;
}

int ChannelState::getNConsecutive404s() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return nConsecutive404s_;
}

void ChannelState::setCreationTime(std::time_t time) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    creationTime_ = time;
}

std::time_t ChannelState::getCreationTime() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return creationTime_;
}

int ChannelState::getTotalChannelsUpdates() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return totalChannelsUpdates_;
}

int ChannelState::getTotalFeedItemsReceived() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return totalFeedItemsReceived_;
}

}  // namespace channels
