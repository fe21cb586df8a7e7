#include "channels/feed/feed.h"

#include <cerrno>
#include <cstdlib>
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

FeedItem::FeedItem(std::string id, std::string title, std::string description, std::string url,
                   std::string source, std::string author, std::string commentsUrl, std::string pubDateString)
    : id_(std::move(id)),
      title_(std::move(title)),
      description_(std::move(description)),
      url_(std::move(url)),
      source_(std::move(source)),
      author_(std::move(author)),
      commentsUrl_(std::move(commentsUrl)),
      pubDateString_(std::move(pubDateString)) {}

bool FeedItem::exists(const std::string& iniFile, const std::string& section) {
    return !tools::getIniString(iniFile, section, kIdKey, "", true).empty();
}

bool FeedItem::load(const std::string& iniFile, const std::string& section) {
    if (!exists(iniFile, section)) return false;
    auto str = [&](const char* key) { return tools::getIniString(iniFile, section, key, "", true); };
    id_ = str(kIdKey);
    title_ = str("Title");
    description_ = str("Description");
    url_ = str("Url");
    source_ = str("Source");
    author_ = str("Author");
    commentsUrl_ = str("CommentsUrl");
    pubDateString_ = str("PubDateString");
    return true;
}

void FeedItem::save(const std::string& iniFile, const std::string& section) const {
    tools::writeIniString(iniFile, section, kIdKey, id_);
    tools::writeIniString(iniFile, section, "Title", title_);
    tools::writeIniString(iniFile, section, "Description", description_);
    tools::writeIniString(iniFile, section, "Url", url_);
    tools::writeIniString(iniFile, section, "Source", source_);
    tools::writeIniString(iniFile, section, "Author", author_);
    tools::writeIniString(iniFile, section, "CommentsUrl", commentsUrl_);
    tools::writeIniString(iniFile, section, "PubDateString", pubDateString_);
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
