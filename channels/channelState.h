#pragma once
// What the engine learns about a channel by updating it: the time of the last
// fetch, the HTTP validators for the next conditional request, counters, the
// ids that the last changed feed brought, and the last feed itself. Stored in
// section "State" and the "Last Feed" sections of the channel file.
//
// Getters take the lock shared, setters exclusive. getLastFeed() takes no
// lock: callers lock the feed with the feed's own lock.
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"

namespace channels {

class Channel;
class Feed;

// Item ids, ordered and compared without regard to case.
using FeedItemIdSet = std::set<std::string, LessNoCase>;

class ChannelState {
public:
    explicit ChannelState(Channel* channel);
    virtual ~ChannelState();
    ChannelState(const ChannelState&) = delete;
    ChannelState& operator=(const ChannelState&) = delete;

    // Reads section "State" and the last feed; a CreationTime of 0 becomes now.
    virtual void load(const std::string& channelFile);
    // Writes section "State", the new item ids and the last feed.
    virtual void save(const std::string& channelFile) const;

    SharedExclusiveLock& getLock() const { return lock_; }
    Channel* getChannel() const;

    // Never null.
    Feed* getLastFeed() const { return lastFeed_.get(); }
    // Takes ownership (null is replaced by an empty feed); the previous feed
    // is deleted and the set of new item ids emptied.
    void setLastFeed(Feed* feed);
    void setLastFeed(std::unique_ptr<Feed> feed);

    // LastFetchTime = time; TotalChannelsUpdates + 1.
    void setLastFetchTime(std::time_t time);
    std::time_t getLastFetchTime() const;

    // The new ids become a copy of `ids`; TotalFeedItemsReceived + count.
    void setNewFeedItems(const FeedItemIdSet& ids, int count);
    bool isNewFeedItem(std::string_view id) const;
    FeedItemIdSet getNewFeedItemIds() const;
    int getLastNewFeedItemCount() const;

    void setHttpValidators(const std::string& lastModified, const std::string& etag);
    std::string getHttpLastModified() const;
    std::string getHttpETag() const;

    void setNConsecutive404s(int n);
    int getNConsecutive404s() const;
    void setCreationTime(std::time_t time);
    std::time_t getCreationTime() const;
    int getTotalChannelsUpdates() const;
    int getTotalFeedItemsReceived() const;

private:
    mutable SharedExclusiveLock lock_;
    Channel* channel_;
    std::unique_ptr<Feed> lastFeed_;
    std::time_t lastFetchTime_ = 0;
    FeedItemIdSet newFeedItemIds_;
    int lastNewFeedItemCount_ = 0;
    std::string httpLastModified_;
    std::string httpETag_;
    std::time_t creationTime_ = 0;
    int totalChannelsUpdates_ = 0;
    int totalFeedItemsReceived_ = 0;
    int nConsecutive404s_ = 0;
};

}  // namespace channels
