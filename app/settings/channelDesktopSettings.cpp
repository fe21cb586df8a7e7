#include "app/settings/channelDesktopSettings.h"
#include "app/core/seams.h"

#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/core/messageGroups.h"
#include "app/options/channelFilter.h"
#include "channels/channelSettings.h"
#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "lib/log/messageLog.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

const std::string kDesktopSettingsSection = "Desktop Settings";
const std::string kViewedFeedItemsSection = "ViewedFeedItems";

namespace {

const char* const kViewedKeyStem = "ViewedFeedItemId-";

std::atomic<ChannelDesktopSettingsObserver*> g_observer{nullptr};
std::atomic<const ChannelDesktopSettings*> g_template{nullptr};

std::mutex& factoryMutex() {
    static std::mutex m;
    return m;
}
ChannelImageFactory& imageFactory() {
    static ChannelImageFactory factory;
    return factory;
}
ChannelImageFactory currentImageFactory() {
    std::lock_guard lock(factoryMutex());
    return imageFactory();
}

const seams::Registration g_observerSeam(
    "ChannelDesktopSettingsObserver", [] { return g_observer.load() != nullptr; },
    [] { setChannelDesktopSettingsObserver(nullptr); });
const seams::Registration g_imageFactorySeam(
    "ChannelImageFactory", [] { return static_cast<bool>(currentImageFactory()); },
    [] { setChannelImageFactory(nullptr); });

// Shows the wait cursor for a scope.
struct WaitCursor {
    ChannelDesktopSettingsObserver* observer;
    explicit WaitCursor(ChannelDesktopSettingsObserver* o) : observer(o) {
        if (observer != nullptr) observer->beginWaitCursor();
    }
    ~WaitCursor() {
        if (observer != nullptr) observer->endWaitCursor();
    }
};

}  // namespace

void setChannelDesktopSettingsObserver(ChannelDesktopSettingsObserver* observer) { g_observer = observer; }

void setChannelImageFactory(ChannelImageFactory factory) {
    std::lock_guard lock(factoryMutex());
    imageFactory() = std::move(factory);
}

void setChannelDesktopSettingsTemplate(const ChannelDesktopSettings* templ) { g_template = templ; }
const ChannelDesktopSettings* getChannelDesktopSettingsTemplate() { return g_template; }

// --- life cycle

// Writes the settings into a save of their channel when their lock is free
// (a thread holding it may be waiting for the channel file: the settings are
// then saved on their own, as before).
class ChannelDesktopSettings::FileCompanion : public channels::ChannelFileCompanion {
public:
    explicit FileCompanion(const ChannelDesktopSettings& settings) : settings_(settings) {}

    bool writeInto(const std::string& file) override {
        if (!settings_.lockPtr()->tryLockExclusive(__FILE__, __LINE__)) return false;
        struct Unlock {
            SharedExclusiveLock* lock;
            ~Unlock() { lock->unlockExclusive(__FILE__, __LINE__); }
        } unlock{settings_.lockPtr()};
        // The channel's feed has just changed: the stored count of viewed
        // items is written as unknown, as the prune that follows sets it.
        settings_.writeSections(file, true);
        std::lock_guard lock(settings_.storedMutex_);
        settings_.pendingImage_ = settings_.persistedImage(true);
        return true;
    }

    void written(bool stored) override {
        std::lock_guard lock(settings_.storedMutex_);
        settings_.storedImage_ = stored ? std::move(settings_.pendingImage_) : std::string();
        settings_.pendingImage_.clear();
    }

private:
    const ChannelDesktopSettings& settings_;
};

ChannelDesktopSettings::ChannelDesktopSettings(channels::Channel* channel)
    : channel_(channel), fileCompanion_(std::make_unique<FileCompanion>(*this)) {}

ChannelDesktopSettings::ChannelDesktopSettings(const ChannelDesktopSettings& other)
    : SharedExclusiveLock(), channel_(nullptr), fileCompanion_(std::make_unique<FileCompanion>(*this)) {
    *this = other;
}

ChannelDesktopSettings& ChannelDesktopSettings::operator=(const ChannelDesktopSettings& other) {
    if (&other == this) return *this;
    ExclusiveLockGuard mine(this, __FILE__, __LINE__);
    SharedLockGuard theirs(other.lockPtr(), __FILE__, __LINE__);
    channel_ = other.channel_;
    copyFrom(other);
    return *this;
}

ChannelDesktopSettings::~ChannelDesktopSettings() {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    releaseRuntimeCaches();
}

void ChannelDesktopSettings::releaseRuntimeCaches() {
    channelImage_.reset();
    imageLoadTime_ = 0;
    lastFeedTempFile_.reset();
}

void ChannelDesktopSettings::copyFrom(const ChannelDesktopSettings& other) {
    if (&other == this) return;
    ExclusiveLockGuard mine(this, __FILE__, __LINE__);
    SharedLockGuard theirs(other.lockPtr(), __FILE__, __LINE__);
    consolidateMultipleItems_ = other.consolidateMultipleItems_;
    animateOnNewItem_ = other.animateOnNewItem_;
    notifyOnNewItem_ = other.notifyOnNewItem_;
    playSoundOnNewItem_ = other.playSoundOnNewItem_;
    newItemSoundFile_ = other.newItemSoundFile_;
    useQuickAccessMenu_ = other.useQuickAccessMenu_;
    useQuickAccessSubMenus_ = other.useQuickAccessSubMenus_;
    lastViewTime_ = other.lastViewTime_;
    lastNewItemTime_ = other.lastNewItemTime_;
    channelItemViewHeight_ = other.channelItemViewHeight_;
    viewedIds_ = other.viewedIds_;
    nViewedFeedItems_ = other.nViewedFeedItems_.load();
    channelErrorText_ = other.channelErrorText_;
    totalChannelOpens_ = other.totalChannelOpens_;
    totalFeedItemsOpened_ = other.totalFeedItemsOpened_;
    releaseRuntimeCaches();
}

ChannelDesktopSettings* getChannelDesktopSettings(const channels::Channel* channel) {
    if (channel == nullptr) return nullptr;
    return static_cast<ChannelDesktopSettings*>(channel->getDesktopSettings());
}

// --- persistence

void ChannelDesktopSettings::load(const std::string& file) {
    // The template's values are read before this object is locked: the
    // template is another object with a lock of its own.
    const ChannelDesktopSettings* templ = getChannelDesktopSettingsTemplate();
    ChannelDesktopSettings defaults(nullptr);
    if (templ != nullptr && templ != this) {
        defaults.copyFrom(*templ);
    } else {
        defaults.copyFrom(*this);
    }

    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    // One version of the file throughout: a save committed meanwhile by
    // another thread can't mix into this load.
    platform::profile::WriteBatch snapshot(file);
    const std::string& s = kDesktopSettingsSection;
    consolidateMultipleItems_ =
        tools::getIniBool(file, s, "ConsolidateMultipleItems", defaults.consolidateMultipleItems_);
    animateOnNewItem_ = tools::getIniBool(file, s, "AnimateOnNewItem", defaults.animateOnNewItem_);
    notifyOnNewItem_ = tools::getIniBool(file, s, "NotifyOnNewItem", defaults.notifyOnNewItem_);
    playSoundOnNewItem_ = tools::getIniBool(file, s, "PlaySoundOnNewItem", defaults.playSoundOnNewItem_);
    newItemSoundFile_ = tools::getIniString(file, s, "NewItemSoundFile", defaults.newItemSoundFile_, false);
    useQuickAccessMenu_ = tools::getIniBool(file, s, "UseQuickAccessMenu", defaults.useQuickAccessMenu_);
    useQuickAccessSubMenus_ = tools::getIniBool(file, s, "UseQuickAccessSubMenus", defaults.useQuickAccessSubMenus_);
    lastViewTime_ = tools::getIniInt(file, s, "LastViewTime", 0);
    lastNewItemTime_ = tools::getIniInt(file, s, "LastNewItemTime", 0);
    channelItemViewHeight_ = tools::getIniInt(file, s, "ChannelItemViewHeight", -1);

    const std::string name = getChannelDisplayName();
    ORVAN_LOG(g_viewedFeedItemsGroup) << "Loading viewed feed item ID's for " << name << ":" << std::endl;
    viewedIds_.clear();
    for (int n = 1;; ++n) {
        const std::string id =
            tools::getIniString(file, kViewedFeedItemsSection, kViewedKeyStem + std::to_string(n), "", false);
        if (id.empty()) break;
        ORVAN_LOG(g_viewedFeedItemsGroup) << "- " << id << std::endl;
        viewedIds_.insert(id);
    }
    ORVAN_LOG(g_viewedFeedItemsGroup) << "- # viewed feed item ID's: " << viewedIds_.size() << std::endl;
    nViewedFeedItems_ = tools::getIniInt(file, s, "nViewedFeedItems", -1);
    ORVAN_LOG(g_viewedFeedItemsGroup) << "- nViewedFeedItems=" << nViewedFeedItems_.load() << std::endl;
    totalChannelOpens_ = tools::getIniInt(file, s, "TotalChannelOpens", 0);
    totalFeedItemsOpened_ = tools::getIniInt(file, s, "TotalFeedItemsOpened", 0);
}

void ChannelDesktopSettings::save(const std::string& file) const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    forgetStoredImage();
    // One rewrite of the file under its write lock: the engine's save of the
    // same channel file waits for it (and this one for the engine's), and
    // each keeps the other's sections.
    platform::profile::WriteBatch batch(file);
    writeSections(file);
    if (!batch.commit()) {
        throw std::runtime_error("Can't write the channel file " + file + ": " + platform::files::lastErrorText());
    }
}

std::vector<std::pair<const char*, std::string>> ChannelDesktopSettings::storedValues(bool countUnknown) const {
    const auto flag = [](bool b) { return std::string(b ? "1" : "0"); };
    const auto number = [](std::int32_t n) { return std::to_string(n); };
    return {{"ConsolidateMultipleItems", flag(consolidateMultipleItems_)},
            {"AnimateOnNewItem", flag(animateOnNewItem_)},
            {"NotifyOnNewItem", flag(notifyOnNewItem_)},
            {"PlaySoundOnNewItem", flag(playSoundOnNewItem_)},
            {"NewItemSoundFile", newItemSoundFile_},
            {"UseQuickAccessMenu", flag(useQuickAccessMenu_)},
            {"UseQuickAccessSubMenus", flag(useQuickAccessSubMenus_)},
            {"LastViewTime", number(lastViewTime_)},
            {"LastNewItemTime", number(lastNewItemTime_)},
            {"ChannelItemViewHeight", number(channelItemViewHeight_)},
            {"nViewedFeedItems", number(countUnknown ? -1 : nViewedFeedItems_.load())},
            {"TotalChannelOpens", number(totalChannelOpens_)},
            {"TotalFeedItemsOpened", number(totalFeedItemsOpened_)}};
}

void ChannelDesktopSettings::writeSections(const std::string& file, bool countUnknown) const {
    for (const auto& [key, value] : storedValues(countUnknown))
        tools::writeIniString(file, kDesktopSettingsSection, key, value);

    const std::string name = getChannelDisplayName();
    ORVAN_LOG(g_viewedFeedItemsGroup) << "Saving viewed feed item ID's for " << name << ":" << std::endl;
    tools::deleteIniSection(file, kViewedFeedItemsSection);
    int n = 0;
    for (const std::string& id : viewedIds_) {
        ORVAN_LOG(g_viewedFeedItemsGroup) << "- " << id << std::endl;
        tools::writeIniString(file, kViewedFeedItemsSection, kViewedKeyStem + std::to_string(++n), id);
    }
    ORVAN_LOG(g_viewedFeedItemsGroup) << "- # viewed feed item ID's: " << viewedIds_.size() << std::endl;
    ORVAN_LOG(g_viewedFeedItemsGroup) << "- nViewedFeedItems=" << (countUnknown ? -1 : nViewedFeedItems_.load())
                                      << std::endl;
}

std::string ChannelDesktopSettings::persistedImage(bool countUnknown) const {
    std::string image;
    for (const auto& [key, value] : storedValues(countUnknown)) image += value + '\x1f';
    for (const std::string& id : viewedIds_) image += '\x1e' + id;
    return image;
}

bool ChannelDesktopSettings::storedAsTheyAre() const {
    std::lock_guard lock(storedMutex_);
    return !storedImage_.empty() && storedImage_ == persistedImage();
}

void ChannelDesktopSettings::forgetStoredImage() const {
    std::lock_guard lock(storedMutex_);
    pendingImage_.clear();
    storedImage_.clear();
}

// Saves into the channel file; a failure is logged and the change in memory
// stands.
void ChannelDesktopSettings::saveToChannelFile() const {
    if (channel_ == nullptr) return;
    try {
        save(channel_->getConfigFilename());
    } catch (const std::exception& e) {
        ORVAN_LOG(g_viewedFeedItemsGroup)
            << "Can't save the desktop settings of " << getChannelDisplayName() << ": " << e.what() << std::endl;
    }
}

// --- viewed items

void ChannelDesktopSettings::markFeedItemViewed(const std::string& id, bool viewed, bool flush) {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    ORVAN_LOG(g_viewedFeedItemsGroup) << (viewed ? "Marking feed item as viewed: "
                                                 : "Marking feed item as not viewed: ")
                                      << id << std::endl;
    if (viewed) {
        viewedIds_.insert(id);
    } else {
        viewedIds_.erase(id);
    }
    if (flush) {
        nViewedFeedItems_ = -1;
        saveToChannelFile();
    }
}

void ChannelDesktopSettings::setFeedItemViewed(const std::string& id, bool viewed, bool flush, bool updateSummaryPage) {
    ChannelDesktopSettingsObserver* observer = g_observer;
    WaitCursor wait(observer);
    markFeedItemViewed(id, viewed, flush);
    if (observer == nullptr) return;
    observer->feedItemMarked(channel_, id, viewed, updateSummaryPage, flush);
    if (flush) observer->channelRowChanged(channel_);
}

void ChannelDesktopSettings::markAllFeedItemsViewed(bool viewed) {
    WaitCursor wait(g_observer);
    ViewedIdSet ids;
    if (channel_ != nullptr) {
        const channels::ChannelState& state = channel_->getChannelState();
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        const channels::Feed* feed = state.getLastFeed();
        if (feed != nullptr) {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            for (const channels::FeedItem& item : feed->getFeedItems()) ids.emplace(item.getId());
        }
    }
    std::size_t n = 0;
    for (const std::string& id : ids) {
        ++n;
        setFeedItemViewed(id, viewed, n == ids.size(), true);
    }
}

bool ChannelDesktopSettings::isFeedItemViewed(std::string_view id) const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    const bool viewed = viewedIds_.count(std::string(id)) != 0;
    if (g_viewedFeedItemsGroup.isEnabled()) {
        ORVAN_LOG(g_viewedFeedItemsGroup)
            << "Checking if feed item has been viewed for " << getChannelDisplayName() << ": " << std::endl;
        ORVAN_LOG(g_viewedFeedItemsGroup) << "- " << id << ": " << (viewed ? "yes" : "no") << std::endl;
    }
    return viewed;
}

void ChannelDesktopSettings::clearViewedFeedItems() {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    ORVAN_LOG(g_viewedFeedItemsGroup) << "Clearing viewed feed item list for " << getChannelDisplayName() << std::endl;
    viewedIds_.clear();
    nViewedFeedItems_ = -1;
    saveToChannelFile();
}

ChannelDesktopSettings::ViewedIdSet ChannelDesktopSettings::pruneViewedFeedItems() {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    ViewedIdSet kept;
    if (channel_ != nullptr) {
        const channels::ChannelState& state = channel_->getChannelState();
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        const channels::Feed* feed = state.getLastFeed();
        if (feed != nullptr) {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            for (const channels::FeedItem& item : feed->getFeedItems()) {
                std::string id(item.getId());
                if (viewedIds_.count(id) != 0) kept.insert(std::move(id));
            }
        }
    }
    ORVAN_LOG(g_viewedFeedItemsGroup) << "Pruning viewed feed item list for " << getChannelDisplayName() << ": "
                                      << viewedIds_.size() << " -> " << kept.size() << std::endl;
    // The kept ids are a subset: the same count means nothing was dropped.
    const bool dropped = kept.size() != viewedIds_.size();
    viewedIds_ = kept;
    nViewedFeedItems_ = -1;
    // The update's own save of the channel file usually wrote these settings
    // already: a second rewrite of the file would change nothing in it.
    if (!dropped && storedAsTheyAre()) return kept;
    saveToChannelFile();
    return kept;
}

ChannelDesktopSettings::ViewedIdSet ChannelDesktopSettings::copyViewedFeedItems() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return viewedIds_;
}

int ChannelDesktopSettings::getViewedFeedItemCount() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    const std::int32_t cached = nViewedFeedItems_;
    if (cached >= 0) return cached;
    int count = 0;
    if (channel_ != nullptr) {
        const channels::ChannelState& state = channel_->getChannelState();
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        const channels::Feed* feed = state.getLastFeed();
        if (feed != nullptr) {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            for (const channels::FeedItem& item : feed->getFeedItems()) {
                if (viewedIds_.count(std::string(item.getId())) != 0) ++count;
            }
        }
    }
    nViewedFeedItems_ = count;
    return count;
}

int ChannelDesktopSettings::getUnreadFeedItemCount() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    if (channel_ == nullptr) return 0;
    const channels::ChannelState& state = channel_->getChannelState();
    SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
    const channels::Feed* feed = state.getLastFeed();
    const long long total = feed != nullptr ? static_cast<long long>(feed->getFeedItemCount()) : 0;
    const long long viewed = getViewedFeedItemCount();
    return viewed > total ? 0 : static_cast<int>(total - viewed);
}

int ChannelDesktopSettings::getNewFeedItemCount() const {
    if (channel_ == nullptr) return 0;
    return channel_->getChannelState().getLastNewFeedItemCount();
}

bool ChannelDesktopSettings::hasNewContent() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    if (lastNewItemTime_ <= lastViewTime_) return false;
    return getUnreadFeedItemCount() != 0;
}

// --- the filter test

bool ChannelDesktopSettings::matchesFilter(const ChannelFilter& filter) const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    ChannelFilterSubject subject;
    // Only what the filter looks at is computed.
    if (filter.getFilterType() == ChannelFilter::HasNewContent) subject.hasNewContent = hasNewContent();
    if (filter.getFilterType() == ChannelFilter::HasUnreadItems) subject.unreadItemCount = getUnreadFeedItemCount();
    if (channel_ != nullptr) {
        const channels::ChannelSettings& settings = channel_->getChannelSettings();
        subject.hasCategory = [&settings](const std::string& category) {
            SharedLockGuard settingsGuard(&settings.getLock(), __FILE__, __LINE__);
            return settings.hasChannelCategory(category);
        };
        if (!filter.getSearchText().empty()) {
            if (filter.getSearchTextInChannelUrl()) subject.sourceUrl = channel_->getSourceUrl();
            if (filter.getSearchTextInChannelName()) subject.displayName = channel_->getDisplayName();
            if (filter.getSearchTextInChannelDescription()) {
                subject.description = channel_->getChannelConfig().getDescription();
            }
        }
    }
    return filter.matches(subject);
}

// --- accessors

channels::Channel* ChannelDesktopSettings::getChannel() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return channel_;
}

std::string ChannelDesktopSettings::getChannelDisplayName() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return channel_ != nullptr ? channel_->getDisplayName() : std::string("<Unspecified channel>");
}

#define ORVAN_DESKTOP_SETTING(Type, Name, member)             \
    Type ChannelDesktopSettings::get##Name() const {          \
        SharedLockGuard guard(lockPtr(), __FILE__, __LINE__); \
        return member;                                        \
    }                                                         \
    void ChannelDesktopSettings::set##Name(Type value) {      \
        ExclusiveLockGuard guard(this, __FILE__, __LINE__);   \
        member = value;                                       \
    }

ORVAN_DESKTOP_SETTING(bool, ConsolidateMultipleItems, consolidateMultipleItems_)
ORVAN_DESKTOP_SETTING(bool, AnimateOnNewItem, animateOnNewItem_)
ORVAN_DESKTOP_SETTING(bool, NotifyOnNewItem, notifyOnNewItem_)
ORVAN_DESKTOP_SETTING(bool, PlaySoundOnNewItem, playSoundOnNewItem_)
ORVAN_DESKTOP_SETTING(bool, UseQuickAccessMenu, useQuickAccessMenu_)
ORVAN_DESKTOP_SETTING(bool, UseQuickAccessSubMenus, useQuickAccessSubMenus_)
ORVAN_DESKTOP_SETTING(std::int32_t, LastNewItemTime, lastNewItemTime_)
ORVAN_DESKTOP_SETTING(std::int32_t, ChannelItemViewHeight, channelItemViewHeight_)
#undef ORVAN_DESKTOP_SETTING

std::string ChannelDesktopSettings::getNewItemSoundFile() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return newItemSoundFile_;
}

void ChannelDesktopSettings::setNewItemSoundFile(const std::string& file) {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    newItemSoundFile_ = file;
}

std::int32_t ChannelDesktopSettings::getLastViewTime() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return lastViewTime_;
}

void ChannelDesktopSettings::setLastViewTime(std::int32_t t) {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    const std::int32_t old = lastViewTime_;
    lastViewTime_ = t;
    if (static_cast<std::int64_t>(t) - old >= 30) saveToChannelFile();
}

std::string ChannelDesktopSettings::getChannelErrorText() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return channelErrorText_;
}

void ChannelDesktopSettings::setChannelErrorText(const std::string& text) {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    channelErrorText_ += text;
    channelErrorText_ += "\r\n";
}

std::int32_t ChannelDesktopSettings::getTotalChannelOpens() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return totalChannelOpens_;
}

void ChannelDesktopSettings::addChannelOpens(std::int32_t n) {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    totalChannelOpens_ += n;
}

std::int32_t ChannelDesktopSettings::getTotalFeedItemsOpened() const {
    SharedLockGuard guard(lockPtr(), __FILE__, __LINE__);
    return totalFeedItemsOpened_;
}

void ChannelDesktopSettings::addFeedItemsOpened(std::int32_t n) {
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    totalFeedItemsOpened_ += n;
}

void ChannelDesktopSettings::setLastFeedTempFile(std::unique_ptr<tools::TempFile> file) {
    std::unique_ptr<tools::TempFile> previous;
    {
        ExclusiveLockGuard guard(this, __FILE__, __LINE__);
        previous = std::exchange(lastFeedTempFile_, std::move(file));
    }
}

std::shared_ptr<ChannelImage> ChannelDesktopSettings::getChannelImage() {
    const ChannelImageFactory factory = currentImageFactory();
    channels::Channel* channel = getChannel();
    if (channel != nullptr) {
        channels::ChannelConfig& config = channel->getChannelConfig();
        // The picture is loaded without this object's lock held: loading
        // may read the cache file or download, and takes the configuration's
        // own lock.
        std::int64_t cachedTime = 0;
        {
            SharedLockGuard guard(this, __FILE__, __LINE__);
            cachedTime = imageLoadTime_;
        }
        const std::int64_t loadTime = config.getChannelImageLoadTime();
        if (cachedTime == 0 || cachedTime != loadTime) {
            const std::vector<unsigned char> bytes = config.loadChannelImage();
            const std::int64_t newLoadTime = config.getChannelImageLoadTime();
            std::shared_ptr<ChannelImage> image;
            if (!bytes.empty() && factory) {
                try {
                    image = factory(&bytes, config.getImageWidth(), config.getImageHeight());
                } catch (const std::exception&) {
                    image.reset();  // the default picture below
                }
            }
            ExclusiveLockGuard guard(this, __FILE__, __LINE__);
            channelImage_ = image;
            imageLoadTime_ = newLoadTime;
        }
    }
    ExclusiveLockGuard guard(this, __FILE__, __LINE__);
    if (!channelImage_ && factory) channelImage_ = factory(nullptr, 0, 0);
    return channelImage_;
}

// --- the program-wide table

ChannelDesktopSettings* ChannelDesktopSettingsTable::add(channels::Channel* channel) {
    auto settings = std::make_unique<ChannelDesktopSettings>(channel);
    ChannelDesktopSettings* result = settings.get();
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    std::unique_ptr<ChannelDesktopSettings>& slot = entries_[channel];
    if (slot) {
        const ChannelDesktopSettings* key = slot.get();
        retired_.emplace(key, std::move(slot));
    }
    slot = std::move(settings);
    if (channel != nullptr) {
        channel->setDesktopSettings(result);
        channel->setFileCompanion(result->getFileCompanion());
    }
    return result;
}

ChannelDesktopSettings* ChannelDesktopSettingsTable::find(const channels::Channel* channel) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    auto it = entries_.find(channel);
    return it != entries_.end() ? it->second.get() : nullptr;
}

void ChannelDesktopSettingsTable::remove(channels::Channel* channel) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    auto it = entries_.find(channel);
    if (it == entries_.end()) return;
    if (channel != nullptr && channel->getDesktopSettings() == it->second.get()) {
        channel->setDesktopSettings(nullptr);
        channel->setFileCompanion(nullptr);
    }
    const ChannelDesktopSettings* key = it->second.get();
    retired_.emplace(key, std::move(it->second));
    entries_.erase(it);
}

void ChannelDesktopSettingsTable::clear() {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    for (auto& [channel, settings] : entries_) {
        auto* ch = const_cast<channels::Channel*>(channel);
        if (ch != nullptr && ch->getDesktopSettings() == settings.get()) {
            ch->setDesktopSettings(nullptr);
            ch->setFileCompanion(nullptr);
        }
    }
    entries_.clear();
}

std::size_t ChannelDesktopSettingsTable::size() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return entries_.size();
}

ChannelDesktopSettingsTable& getChannelDesktopSettingsTable() {
    static ChannelDesktopSettingsTable table;
    static const bool filterTestInstalled = [] {
        ChannelFilter::setChannelTest([](channels::Channel& channel, const ChannelFilter& filter) {
            const ChannelDesktopSettings* settings = getChannelDesktopSettings(&channel);
            return settings != nullptr && settings->matchesFilter(filter);
        });
        return true;
    }();
    (void)filterTestInstalled;
    return table;
}
