#include "channels/feed/feed.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "platform/profile.h"
#include "tools/ini.h"

namespace channels {

namespace {

const char* const kFeedTimeKey = "FeedTime";
const char* const kIdKey = "Id";

// Leading decimal number of a stored value (0 when there is none). Read as
// 64 bits so that times after 2038 survive.
std::time_t readTime(const std::string& iniFile, const std::string& section) {
    const std::string text = tools::getIniString(iniFile, section, kFeedTimeKey, "0", true);
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return 0;
    return static_cast<std::time_t>(value);
}

}  // namespace

// ---------------------------------------------------------------------------
// FeedItem

FeedItem::FeedItem(std::string_view id, std::string_view title, std::string_view description, std::string_view url,
                   std::string_view source, std::string_view author, std::string_view commentsUrl,
                   std::string_view pubDateString) {
    assign({id, title, description, url, source, author, commentsUrl, pubDateString});
}

FeedItem::FeedItem(const FeedItem& other) {
    if (!other.block_) return;
    const std::size_t size = kHeaderSize + other.end(kTextCount - 1);
    block_ = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(block_.get(), other.block_.get(), size);
}

FeedItem& FeedItem::operator=(const FeedItem& other) {
    if (this != &other) *this = FeedItem(other);
    return *this;
}

FeedItem::Offset FeedItem::end(unsigned which) const {
    Offset value = 0;
    std::memcpy(&value, block_.get() + which * sizeof(Offset), sizeof value);
    return value;
}

std::string_view FeedItem::text(Text which) const {
    if (!block_) return {};
    const Offset begin = which == 0 ? 0 : end(which - 1);
    return {block_.get() + kHeaderSize + begin, end(which) - begin};
}

void FeedItem::assign(const std::array<std::string_view, kTextCount>& texts) {
    std::size_t total = 0;
    for (std::string_view t : texts) total += t.size();
    if (total == 0) {
        block_.reset();
        return;
    }
    if (total > std::numeric_limits<Offset>::max()) throw std::length_error("Feed item texts too long");
    auto block = std::make_unique_for_overwrite<char[]>(kHeaderSize + total);
    Offset at = 0;
    for (unsigned i = 0; i < kTextCount; ++i) {
        if (!texts[i].empty()) std::memcpy(block.get() + kHeaderSize + at, texts[i].data(), texts[i].size());
        at += static_cast<Offset>(texts[i].size());
        std::memcpy(block.get() + i * sizeof(Offset), &at, sizeof at);
    }
    block_ = std::move(block);
}

bool FeedItem::exists(const std::string& iniFile, const std::string& section) {
    return !tools::getIniString(iniFile, section, kIdKey, "", true).empty();
}

bool FeedItem::load(const std::string& iniFile, const std::string& section) {
    if (!exists(iniFile, section)) return false;
    auto str = [&](const char* key) { return tools::getIniString(iniFile, section, key, "", true); };
    const std::string id = str(kIdKey), title = str("Title"), description = str("Description"), url = str("Url"),
                      source = str("Source"), author = str("Author"), commentsUrl = str("CommentsUrl"),
                      pubDateString = str("PubDateString");
    assign({id, title, description, url, source, author, commentsUrl, pubDateString});
    return true;
}

void FeedItem::save(const std::string& iniFile, const std::string& section) const {
    static const char* const kKeys[kTextCount] = {kIdKey,   "Title",  "Description", "Url",
                                                  "Source", "Author", "CommentsUrl", "PubDateString"};
    for (unsigned i = 0; i < kTextCount; ++i) {
        tools::writeIniString(iniFile, section, kKeys[i], std::string(text(static_cast<Text>(i))));
    }
}

std::ostream& operator<<(std::ostream& os, const FeedItem& item) {
    return os << '[' << item.getId() << ':' << item.getTitle() << ']';
}

// ---------------------------------------------------------------------------
// Feed

Feed::Feed(const Feed& other) {
    SharedLockGuard source(&other.lock_, __FILE__, __LINE__);
    feedTime_ = other.feedTime_;
    header_ = other.header_;
    items_ = other.items_;
}

Feed& Feed::operator=(const Feed& other) {
    if (this == &other) return *this;
    ExclusiveLockGuard destination(&lock_, __FILE__, __LINE__);
    SharedLockGuard source(&other.lock_, __FILE__, __LINE__);
    feedTime_ = other.feedTime_;
    header_ = other.header_;
    items_ = other.items_;
    return *this;
}

Feed::~Feed() {
    // Waits for a reader that still walks the items.
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
}

std::time_t Feed::getFeedTime() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return feedTime_;
}

void Feed::setFeedTime(std::time_t feedTime) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    feedTime_ = feedTime;
}

void Feed::setChannelHeader(const ChannelHeader& header) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    header_ = header;
}

void Feed::addFeedItem(const FeedItem& item) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    items_.push_back(item);
}

void Feed::addFeedItem(FeedItem&& item) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    items_.push_back(std::move(item));
}

std::size_t Feed::getFeedItemCount() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return items_.size();
}

std::string Feed::makeItemSectionName(const std::string& stem, std::size_t n) {
    return stem + " (" + std::to_string(n) + ")";
}

void Feed::load(const std::string& iniFile, const std::string& stem) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    // Reads one version of the file throughout, parsed once and not checked
    // against the disk for every key. Nothing is written back: a batch
    // without changes leaves the file alone.
    platform::profile::WriteBatch snapshot(iniFile);
    feedTime_ = readTime(iniFile, stem);
    header_.load(iniFile, stem);
    for (std::size_t n = 1;; ++n) {
        FeedItem item;
        if (!item.load(iniFile, makeItemSectionName(stem, n))) break;
        items_.push_back(std::move(item));
    }
    // The list grew by doubling; a loaded feed is kept as it is, often for
    // long, so it gives back the room it will not use.
    items_.shrink_to_fit();
}

void Feed::save(const std::string& iniFile, const std::string& stem) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    // One rewrite of the file for the whole feed instead of one per key.
    platform::profile::WriteBatch batch(iniFile);

    tools::writeIniString(iniFile, stem, kFeedTimeKey, std::to_string(static_cast<long long>(feedTime_)));
    header_.save(iniFile, stem);
    for (std::size_t n = 1; FeedItem::exists(iniFile, makeItemSectionName(stem, n)); ++n) {
        tools::deleteIniSection(iniFile, makeItemSectionName(stem, n));
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        items_[i].save(iniFile, makeItemSectionName(stem, i + 1));
    }

    if (!batch.commit()) throw std::runtime_error("Can't write the feed to the file: " + iniFile);
}

}  // namespace channels
