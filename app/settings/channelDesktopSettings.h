#pragma once
// The desktop's own state of one channel, kept beside the engine's
// configuration in the channel file: how new items are announced, which
// items the user has viewed, when the channel was last looked at, the height
// of its item pane, usage counters, the texts of its update errors and two
// run-time caches (the channel picture and the last shown raw feed).
//
//   ChannelDesktopSettings* s = getChannelDesktopSettings(channel);
//   s->setFeedItemViewed(id, true, true, true);   // marks, tells the windows, saves
//   int unread = s->getUnreadFeedItemCount();
//
// The object is its own reader/writer lock (re-entrant, see
// lib/misc/threadSafety.h): getters take it shared, changes exclusively.
// Counts and the filter test take it before the channel's state, feed or
// settings locks.
//
// The object owns the channel-file sections "Desktop Settings" and
// "ViewedFeedItems"; the engine owns every other section. Every save is one
// atomic rewrite of the file made under the file's write lock (a
// platform::profile::WriteBatch), the same lock the engine's channel save
// holds, so neither side loses the other's keys.
//
// Windows learn of marked items through the observer installed with
// setChannelDesktopSettingsObserver; the picture is built by the factory the
// desktop installs with setChannelImageFactory (this file knows no windows).
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/misc/threadSafety.h"

namespace channels {
class Channel;
class ChannelFileCompanion;
}  // namespace channels
namespace tools {
class TempFile;
}

class ChannelFilter;
class ChannelImage;

// Section names of the channel file.
extern const std::string kDesktopSettingsSection;  // "Desktop Settings"
extern const std::string kViewedFeedItemsSection;  // "ViewedFeedItems"

// What the windows do when an item is marked through setFeedItemViewed: the
// wait cursor around the change, the MarkFeedItemAsViewed user-interface
// event, then (for a flushed mark) the refresh of the channel's row in My
// Channels, in that order. All on the user-interface thread.
class ChannelDesktopSettingsObserver {
public:
    virtual ~ChannelDesktopSettingsObserver() = default;
    virtual void beginWaitCursor() {}
    virtual void endWaitCursor() {}
    virtual void feedItemMarked(channels::Channel* channel, const std::string& itemId, bool viewed,
                                bool updateSummaryPage, bool endOfBatch) = 0;
    virtual void channelRowChanged(channels::Channel* channel) = 0;
};
// Installs the observer (not owned; null removes it).
void setChannelDesktopSettingsObserver(ChannelDesktopSettingsObserver* observer);

// Builds a channel picture from image bytes and the preferred display size,
// or, with null bytes, the program's default channel picture. Throws
// std::runtime_error when the bytes are not a picture.
using ChannelImageFactory =
    std::function<std::shared_ptr<ChannelImage>(const std::vector<unsigned char>* bytes, int width, int height)>;
void setChannelImageFactory(ChannelImageFactory factory);

class ChannelDesktopSettings : public SharedExclusiveLock {
public:
    using ViewedIdSet = std::set<std::string>;

    explicit ChannelDesktopSettings(channels::Channel* channel);
    // Starts empty (no picture, no temporary file), then assigns.
    ChannelDesktopSettings(const ChannelDesktopSettings& other);
    // Copies the channel pointer and everything copyFrom copies.
    ChannelDesktopSettings& operator=(const ChannelDesktopSettings& other);
    ~ChannelDesktopSettings();

    // Copies the flags, the sound file, the times, the pane height, the
    // viewed set and its count, the error text and the counters; the target
    // drops its picture and temporary file.
    void copyFrom(const ChannelDesktopSettings& other);

    // Reads both sections of an INI file (a channel file, or config.ini for
    // the template); missing flags take the template's values.
    void load(const std::string& file);
    // Writes both sections as one rewrite of the file; throws
    // std::runtime_error when the file can't be written.
    void save(const std::string& file) const;

    // --- viewed items
    // Adds or removes the id; flush also resets the count and saves into the
    // channel file (a failed save is logged; the change stands).
    void markFeedItemViewed(const std::string& id, bool viewed, bool flush);
    // markFeedItemViewed, then tells the observer (event, then row refresh).
    void setFeedItemViewed(const std::string& id, bool viewed, bool flush, bool updateSummaryPage);
    // Every item of the channel's current feed; one save, at the last item.
    void markAllFeedItemsViewed(bool viewed);
    bool isFeedItemViewed(std::string_view id) const;
    void clearViewedFeedItems();
    // Keeps only the viewed ids that the channel's current feed still holds,
    // in one step under the exclusive lock (a mark made by another thread is
    // never lost in between), and saves once, unless nothing was dropped and
    // the channel's own save already stored the settings as they are.
    // Returns the ids kept.
    ViewedIdSet pruneViewedFeedItems();

    // Lets a save of the channel write both sections in the same rewrite
    // (the table attaches it to the channel with the settings).
    channels::ChannelFileCompanion* getFileCompanion() const { return fileCompanion_.get(); }
    // The set itself; hold the lock shared while reading it.
    const ViewedIdSet& getViewedFeedItems() const { return viewedIds_; }
    // A copy taken under the shared lock.
    ViewedIdSet copyViewedFeedItems() const;

    int getViewedFeedItemCount() const;
    int getUnreadFeedItemCount() const;
    int getNewFeedItemCount() const;
    bool hasNewContent() const;

    bool matchesFilter(const ChannelFilter& filter) const;

    // --- accessors
    SharedExclusiveLock& getLock() { return *this; }
    channels::Channel* getChannel() const;
    std::string getChannelDisplayName() const;

    bool getConsolidateMultipleItems() const;
    void setConsolidateMultipleItems(bool on);
    bool getAnimateOnNewItem() const;
    void setAnimateOnNewItem(bool on);
    bool getNotifyOnNewItem() const;
    void setNotifyOnNewItem(bool on);
    bool getPlaySoundOnNewItem() const;
    void setPlaySoundOnNewItem(bool on);
    std::string getNewItemSoundFile() const;
    void setNewItemSoundFile(const std::string& file);
    bool getUseQuickAccessMenu() const;
    void setUseQuickAccessMenu(bool on);
    bool getUseQuickAccessSubMenus() const;
    void setUseQuickAccessSubMenus(bool on);
    std::int32_t getLastViewTime() const;
    // Saves into the channel file when the time moves on by 30 s or more.
    void setLastViewTime(std::int32_t t);
    std::int32_t getLastNewItemTime() const;
    void setLastNewItemTime(std::int32_t t);
    std::int32_t getChannelItemViewHeight() const;
    void setChannelItemViewHeight(std::int32_t height);
    std::string getChannelErrorText() const;
    // Appends the text and CR LF.
    void setChannelErrorText(const std::string& text);
    std::int32_t getTotalChannelOpens() const;
    void addChannelOpens(std::int32_t n);
    std::int32_t getTotalFeedItemsOpened() const;
    void addFeedItemsOpened(std::int32_t n);
    // Takes the file; the one held before is deleted.
    void setLastFeedTempFile(std::unique_ptr<tools::TempFile> file);
    // The channel picture, built when missing or when the channel's picture
    // was loaded anew; the default picture when the channel has none or its
    // bytes are no picture. Null only while no factory is installed.
    std::shared_ptr<ChannelImage> getChannelImage();

private:
    SharedExclusiveLock* lockPtr() const { return const_cast<ChannelDesktopSettings*>(this); }
    void saveToChannelFile() const;
    void releaseRuntimeCaches();
    // The "Desktop Settings" keys and their stored texts, in the order they
    // are written; countUnknown gives nViewedFeedItems as -1. The caller
    // holds the lock.
    std::vector<std::pair<const char*, std::string>> storedValues(bool countUnknown) const;
    // The keys of both sections, without a batch or a lock of their own.
    void writeSections(const std::string& file, bool countUnknown = false) const;
    // Every value that save() writes, as one text; the caller holds the lock.
    std::string persistedImage(bool countUnknown = false) const;
    // Whether the channel's last save stored the settings as they are now.
    bool storedAsTheyAre() const;
    void forgetStoredImage() const;
    class FileCompanion;

    channels::Channel* channel_;
    bool consolidateMultipleItems_ = false;
    bool animateOnNewItem_ = false;
    bool notifyOnNewItem_ = false;
    bool playSoundOnNewItem_ = false;
    std::string newItemSoundFile_;
    bool useQuickAccessMenu_ = false;
    bool useQuickAccessSubMenus_ = false;
    std::int32_t lastViewTime_ = 0;
    std::int32_t lastNewItemTime_ = 0;
    std::int32_t channelItemViewHeight_ = 0;
    std::shared_ptr<ChannelImage> channelImage_;
    std::int64_t imageLoadTime_ = 0;
    ViewedIdSet viewedIds_;
    // Written by readers under the shared lock; they all store the same value.
    mutable std::atomic<std::int32_t> nViewedFeedItems_{-1};
    std::string channelErrorText_;
    std::unique_ptr<tools::TempFile> lastFeedTempFile_;
    std::int32_t totalChannelOpens_ = 0;
    std::int32_t totalFeedItemsOpened_ = 0;
    std::unique_ptr<channels::ChannelFileCompanion> fileCompanion_;
    // What a save of the channel wrote of these settings: pending until the
    // save's rewrite is known to have reached the file, then stored.
    mutable std::mutex storedMutex_;
    mutable std::string pendingImage_;
    mutable std::string storedImage_;
};

// The settings attached to a channel, or null.
ChannelDesktopSettings* getChannelDesktopSettings(const channels::Channel* channel);

// The template of new channels (held by the global options); load() takes
// missing flags from it. Not owned; null when there is none.
void setChannelDesktopSettingsTemplate(const ChannelDesktopSettings* templ);
const ChannelDesktopSettings* getChannelDesktopSettingsTemplate();

// The program-wide table from channel to its settings, with its own lock.
// Start-up fills it, the new-channel wizard adds to it, shut-down empties it.
// Its first use also makes the channel filters test channels through their
// desktop settings (matchesFilter).
//
// Settings that leave the table while the program runs (a deleted channel's,
// or ones replaced by add) are retired, not destroyed: the worker's event
// handlers and the windows may still hold the pointer they read from the
// channel, so the object stays valid until the process ends.
class ChannelDesktopSettingsTable {
public:
    // Creates the settings of a channel (retiring any held before), attaches
    // them to the channel and returns them.
    ChannelDesktopSettings* add(channels::Channel* channel);
    ChannelDesktopSettings* find(const channels::Channel* channel) const;
    // Detaches the settings of one channel and retires them.
    void remove(channels::Channel* channel);
    // Detaches and destroys every entry (shut-down, once no event handler
    // and no window uses them any more); retired settings stay.
    void clear();
    std::size_t size() const;
    SharedExclusiveLock& getLock() const { return lock_; }

private:
    mutable SharedExclusiveLock lock_;
    std::map<const channels::Channel*, std::unique_ptr<ChannelDesktopSettings>> entries_;
    std::map<const ChannelDesktopSettings*, std::unique_ptr<ChannelDesktopSettings>> retired_;
};
ChannelDesktopSettingsTable& getChannelDesktopSettingsTable();
