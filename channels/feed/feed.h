#pragma once
// One fetched feed of a channel (its header, fetch time and items in feed
// order) and one item of it.
//
// Stored form, under a section stem such as "Last Feed":
//   [<stem>]       FeedTime, then the 14 channel header keys
//   [<stem> (n)]   Id, Title, Description, Url, Source, Author, CommentsUrl,
//                  PubDateString of item n, n counted from 1
// Loading stops at the first item section that is missing or has an empty Id.
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "channels/feed/channelHeader.h"
#include "lib/misc/threadSafety.h"

namespace channels {

// A value without a lock of its own. Two items are the same item when their
// Ids are equal.
class FeedItem {
public:
    FeedItem() = default;
    FeedItem(std::string id, std::string title, std::string description, std::string url, std::string source,
             std::string author, std::string commentsUrl, std::string pubDateString);
    FeedItem(const FeedItem&) = default;
    FeedItem(FeedItem&&) = default;
    FeedItem& operator=(const FeedItem&) = default;
    FeedItem& operator=(FeedItem&&) = default;
    virtual ~FeedItem() = default;

    const std::string& getId() const { return id_; }
    const std::string& getTitle() const { return title_; }
    const std::string& getDescription() const { return description_; }
    const std::string& getUrl() const { return url_; }
    const std::string& getSource() const { return source_; }
    const std::string& getAuthor() const { return author_; }
    const std::string& getCommentsUrl() const { return commentsUrl_; }
    const std::string& getPubDateString() const { return pubDateString_; }

    // The section holds an item: its Id, trimmed, is not empty.
    static bool exists(const std::string& iniFile, const std::string& section);
    // False (item unchanged) when the section holds no item; values are trimmed.
    bool load(const std::string& iniFile, const std::string& section);
    // Writes all eight keys, empty ones included.
    void save(const std::string& iniFile, const std::string& section) const;

private:
    std::string id_;
    std::string title_;
    std::string description_;
    std::string url_;
    std::string source_;
    std::string author_;
    std::string commentsUrl_;
    std::string pubDateString_;
};

// "[<Id>:<Title>]"
std::ostream& operator<<(std::ostream& os, const FeedItem& item);

class Feed {
public:
    Feed() = default;
    Feed(const Feed& other);
    Feed& operator=(const Feed& other);
    virtual ~Feed();

    // Callers that walk getFeedItems() or read getChannelHeader() hold it.
    SharedExclusiveLock& getLock() const { return lock_; }

    std::time_t getFeedTime() const;
    void setFeedTime(std::time_t feedTime);

    // No locking: see getLock().
    ChannelHeader& getChannelHeader() { return header_; }
    const ChannelHeader& getChannelHeader() const { return header_; }
    void setChannelHeader(const ChannelHeader& header);

    void addFeedItem(const FeedItem& item);
    void addFeedItem(FeedItem&& item);
    // No locking: see getLock().
    std::vector<FeedItem>& getFeedItems() { return items_; }
    const std::vector<FeedItem>& getFeedItems() const { return items_; }
    std::size_t getFeedItemCount() const;

    // Section name of item n (from 1): "<stem> (n)".
    static std::string makeItemSectionName(const std::string& stem, std::size_t n);

    // Appends the stored items to those already held.
    void load(const std::string& iniFile, const std::string& stem);
    // Replaces the stored feed, removing old item sections up to the first gap.
    void save(const std::string& iniFile, const std::string& stem) const;

private:
    mutable SharedExclusiveLock lock_;
    std::time_t feedTime_ = 0;
    ChannelHeader header_;
    std::vector<FeedItem> items_;
};

}  // namespace channels
