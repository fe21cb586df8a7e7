#pragma once
// One fetched feed of a channel (its header, fetch time and items in feed
// order) and one item of it.
//
// Stored form, under a section stem such as "Last Feed":
//   [<stem>]       FeedTime, then the 14 channel header keys
//   [<stem> (n)]   Id, Title, Description, Url, Source, Author, CommentsUrl,
//                  PubDateString of item n, n counted from 1
// Loading stops at the first item section that is missing or has an empty Id.
#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "channels/feed/channelHeader.h"
#include "lib/misc/threadSafety.h"

namespace channels {

// A value without a lock of its own. Two items are the same item when their
// Ids are equal.
//
// A channel keeps every item of its last feed for as long as it runs, so an
// item holds its eight texts in one block: the end offset of each text, then
// the texts back to back. The getters return views into that block; a view
// lives as long as the item is neither changed nor destroyed.
class FeedItem {
public:
    FeedItem() = default;
    FeedItem(std::string_view id, std::string_view title, std::string_view description, std::string_view url,
             std::string_view source, std::string_view author, std::string_view commentsUrl,
             std::string_view pubDateString);
    FeedItem(const FeedItem& other);
    FeedItem(FeedItem&&) noexcept = default;
    FeedItem& operator=(const FeedItem& other);
    FeedItem& operator=(FeedItem&&) noexcept = default;
    ~FeedItem() = default;

    std::string_view getId() const { return text(kId); }
    std::string_view getTitle() const { return text(kTitle); }
    std::string_view getDescription() const { return text(kDescription); }
    std::string_view getUrl() const { return text(kUrl); }
    std::string_view getSource() const { return text(kSource); }
    std::string_view getAuthor() const { return text(kAuthor); }
    std::string_view getCommentsUrl() const { return text(kCommentsUrl); }
    std::string_view getPubDateString() const { return text(kPubDateString); }

    // The section holds an item: its Id, trimmed, is not empty.
    static bool exists(const std::string& iniFile, const std::string& section);
    // False (item unchanged) when the section holds no item; values are trimmed.
    bool load(const std::string& iniFile, const std::string& section);
    // Writes all eight keys, empty ones included.
    void save(const std::string& iniFile, const std::string& section) const;

private:
    enum Text : unsigned {
        kId,
        kTitle,
        kDescription,
        kUrl,
        kSource,
        kAuthor,
        kCommentsUrl,
        kPubDateString,
        kTextCount
    };
    using Offset = std::uint32_t;
    static constexpr std::size_t kHeaderSize = kTextCount * sizeof(Offset);

    std::string_view text(Text which) const;
    Offset end(unsigned which) const;
    // Replaces the block; no block when every text is empty. Throws
    // std::length_error when the texts together do not fit an Offset.
    void assign(const std::array<std::string_view, kTextCount>& texts);

    std::unique_ptr<char[]> block_;
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
