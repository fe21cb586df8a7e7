#pragma once
// One subscribed channel: the abstract base of the RSS channel (fetched from
// a URL) and the plug-in channel (whose feed a script writes).
//
// A channel ties together its channel file (one INI file: configuration,
// settings, state and last feed), the three data objects that each subclass
// embeds and hands out, the temporary summary page (created when first
// needed, deleted with the channel or at exit), and its own event source:
// every event raised on the channel reaches onChannelEvent, which passes it
// to the channel's hooks.
//
//   channel->load();                       // configuration, settings, state
//   std::unique_ptr<Feed> feed = channel->getLatestFeed(false, &unchanged);
//   channel->save();                       // one atomic rewrite of the file
//
// Lock order: the channel's lock, then the channel file's write lock (see
// platform/profile.h; load and save hold it around the rest), then the locks
// of its configuration, settings and state. The manager and the channel file
// never change, so getManager() and getConfigFilename() take no lock.
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>

#include "channels/channelEvents.h"
#include "lib/misc/threadSafety.h"
#include "lib/widgets/eventSource.h"

namespace tools {
class TempFile;
}

namespace channels {

class ChannelManager;
class ChannelConfig;
class ChannelSettings;
class ChannelState;
class Feed;

// What the program keeps in a channel's file beside the engine's sections
// (the desktop's settings of the channel). A save of the channel lets it
// write into the same rewrite, so that an update rewrites the file once.
class ChannelFileCompanion {
public:
    virtual ~ChannelFileCompanion() = default;
    // Called by Channel::save inside its write batch of the file, holding the
    // channel's lock and the file's write lock: it must not wait for a lock
    // (taking one only when free). Returns whether it wrote its sections.
    virtual bool writeInto(const std::string& file) = 0;
    // After the batch, when writeInto wrote: whether the rewrite reached the
    // file (false also when an outer batch of the caller writes it later).
    virtual void written(bool stored) = 0;
};

class Channel : public TEventSource<Event>, public TEventHandler<Event> {
public:
    // manager: the owner (not owned; may be null for a scratch channel);
    // channelFile: full path of the ".rss" or ".plugin" file.
    Channel(ChannelManager* manager, const std::string& channelFile);
    // Waits for current users of the lock, then deletes the summary page.
    ~Channel() override;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // The feed URL of an RSS channel, the script file of a plug-in channel.
    virtual std::string getSourceUrl() const = 0;
    // Asks the manager for an explicit update.
    virtual void requestUpdate();

    virtual ChannelConfig& getChannelConfig() = 0;
    virtual const ChannelConfig& getChannelConfig() const = 0;
    virtual ChannelSettings& getChannelSettings() = 0;
    virtual const ChannelSettings& getChannelSettings() const = 0;
    virtual ChannelState& getChannelState() = 0;
    virtual const ChannelState& getChannelState() const = 0;

    // Passes the event to every attached hook, in the settings' order.
    virtual void checkChannelHooks(const Event& event);
    // Fetches the raw feed text; forceDownload asks for an unconditional
    // fetch; unchanged is set when the source reports no change since the
    // last fetch. Failures are thrown.
    virtual void update(std::string& feedText, bool forceDownload, bool& unchanged) = 0;
    // Rewrites local plug-in URLs for a new plug-in server port.
    virtual void changeAppPluginServerPort(int oldPort, int newPort) = 0;
    // Clean-up when the channel is deleted; report receives notes for the user.
    virtual void onChannelDeleted(std::ostream& report);

    // Logs the event and calls checkChannelHooks.
    virtual void onChannelEvent(const Event& event);
    void handleEvent(const Event& event) override { onChannelEvent(event); }

    // Reads the channel file: configuration, settings, state, all from one
    // version of the file (the file's write lock is held meanwhile).
    void load();
    // Writes configuration, settings and state into the channel file as one
    // atomic replacement; saves of one file are serialised. Throws
    // channels::Exception when the file cannot be written.
    void save();

    // Whether automatic updating is due at `now` (sets or clears the
    // suspended-by-publisher flag from the feed's skip hours and days).
    bool isUpdateDue(std::time_t now);

    // Fetches and parses the latest feed, writing the raw text (or the
    // failure) to the feed log. Null when `unchanged` was given and the
    // source reported no change.
    std::unique_ptr<Feed> getLatestFeed(bool forceDownload, bool* unchanged);

    // Writes the summary page from the channel's (or the default) template.
    void generateSummaryPage(bool detailsOff, const std::set<std::string>& markedItems,
                             const std::map<std::string, std::string>& itemImages);
    // The channel's temporary page file, created at the first call.
    std::string getSummaryPageFilename() const;
    // Deletes the temporary page file (when the channel is deleted); a later
    // page gets a new one.
    void dropSummaryPage();

    // The manager's logs directory, the channel file's base name and ext.
    std::string getLogFilename(const std::string& extension) const;
    // getLogFilename(".rss"): the raw text of the last fetched feed.
    std::string getFeedLogFilename() const;
    // Key LogChannelProcessing of section "Debug" of the channel file.
    bool isLogChannelProcessing() const;
    // Items of the last feed, limited by MaxFeedItems when that is above 0.
    int getFeedItemCount() const;
    std::string getDisplayName() const;

    ChannelManager* getManager() const;
    std::string getConfigFilename() const;
    bool isSuspendedByPublisher() const;
    // The desktop's per-channel record; stored, never used or freed here.
    void* getDesktopSettings() const;
    void setDesktopSettings(void* settings);
    // Not owned; null removes it. Waits for a save in progress.
    void setFileCompanion(ChannelFileCompanion* companion);

    SharedExclusiveLock& getLock() const { return lock_; }

private:
    mutable SharedExclusiveLock lock_;
    ChannelManager* manager_;
    std::string channelFile_;
    // The page file is made when first needed, not per loaded channel.
    mutable std::mutex pageMutex_;
    mutable std::unique_ptr<tools::TempFile> summaryPage_;
    bool suspendedByPublisher_ = false;
    void* desktopSettings_ = nullptr;
    ChannelFileCompanion* fileCompanion_ = nullptr;
};

// The display name, or "<Unknown>" for a null channel.
std::string getChannelDisplayName(const Channel* channel);
// Writes the display name.
std::ostream& operator<<(std::ostream& os, const Channel& channel);

}  // namespace channels
