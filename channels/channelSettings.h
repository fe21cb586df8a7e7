#pragma once
// How a channel is updated and grouped: automatic updates and their interval
// (never below a minimum), empty feeds allowed, the item limit, categories,
// and the channel hooks attached to it. Sections "Settings", "Channel Hooks",
// "ChannelHookConfig-N" and "ChannelHookSettings-N" of the channel file.
//
// Every channel owns one; the channel manager keeps one more without a
// channel, the default settings, from which new channels and missing keys
// take their values. Loading the settings loads the hooks; changing the hook
// list sends the hooks their loaded, attached and detached events (to the
// hook concerned only).
//
// Reads take the lock shared, writes exclusive.
#include <atomic>
#include <string>
#include <vector>

#include "lib/misc/threadSafety.h"

namespace channels {

class Channel;
class ChannelHook;
class Event;

// What the settings need of the hook code: create a hook from its definition
// file, load and save its per-channel sections, send it an event, name it and
// destroy it. The hook code installs one host at start-up
// (setChannelHookHost). While none is installed, channels carry no hooks and
// the hook sections of channel files are neither read nor rewritten.
class ChannelHookHost {
public:
    virtual ~ChannelHookHost() = default;
    // A new, not yet loaded hook for the definition file; throws on failure.
    virtual ChannelHook* createChannelHook(const std::string& hookFile) = 0;
    virtual void loadSettings(ChannelHook& hook, const std::string& hookFile, const std::string& channelFile,
                              const std::string& configSection, const std::string& settingsSection) = 0;
    virtual void saveSettings(ChannelHook& hook, const std::string& channelFile, const std::string& configSection,
                              const std::string& settingsSection) = 0;
    // Hands the event to the hook, which decides whether it wants it.
    virtual void raiseEvent(ChannelHook& hook, Channel* channel, const Event& event) = 0;
    // The hook's definition file.
    virtual std::string getConfigFilename(const ChannelHook& hook) = 0;
    virtual std::string getDisplayName(const ChannelHook& hook) = 0;
    virtual void destroyChannelHook(ChannelHook* hook) = 0;
    // Keep a hook alive while it is used outside the settings' lock:
    // destroyChannelHook of a retained hook takes effect at the last release.
    virtual void retainChannelHook(ChannelHook&) {}
    virtual void releaseChannelHook(ChannelHook*) {}
};

// Installs the hook host (not owned; null removes it).
void setChannelHookHost(ChannelHookHost* host);
ChannelHookHost* getChannelHookHost();

class ChannelSettings {
public:
    // owner: the channel, or null for the manager's default settings.
    explicit ChannelSettings(Channel* owner);
    // Empties the hook list without events and without destroying the hooks.
    virtual ~ChannelSettings();
    ChannelSettings(const ChannelSettings&) = delete;
    ChannelSettings& operator=(const ChannelSettings&) = delete;

    // loadValues, then loadChannelHooks.
    virtual void load(const std::string& iniFile);
    // Reads the values and the list of stored hooks (no hook is created and
    // no event raised, so a caller may hold its locks).
    void loadValues(const std::string& iniFile);
    // Creates and loads the hooks that loadValues found and sends each its
    // loaded event; errors are ChannelError events on the manager. Call it
    // with no lock held (hooks run on other threads).
    void loadChannelHooks(const std::string& iniFile);
    virtual void save(const std::string& iniFile) const;
    // Sends every hook its detached event, destroys it and empties the list;
    // called when the channel is deleted.
    virtual void detachChannelHooks();

    // Copies the update values, categories and minimum interval (and the
    // owner when copyOwner is set), then empties this object's hook list
    // without events. Hooks are never copied.
    void assign(const ChannelSettings& other, bool copyOwner);

    bool isAutoUpdateEnabled() const;
    // The interval in seconds, raised to the minimum (the raised value stays
    // and is what the next save writes).
    int getAutoUpdateInterval() const;
    bool getAllowEmptyFeeds() const;
    int getMaxFeedItems() const;
    void setAutoUpdateEnabled(bool enabled);
    void setAutoUpdateInterval(int seconds);
    void setAllowEmptyFeeds(bool allow);
    void setMaxFeedItems(int maxItems);
    void setMinAutoUpdateInterval(int seconds);
    int getMinAutoUpdateInterval() const;

    // Callers hold getLock().
    std::vector<std::string>& getChannelCategories() { return categories_; }
    const std::vector<std::string>& getChannelCategories() const { return categories_; }
    void setChannelCategories(const std::vector<std::string>& categories);
    // Whether a category equals name without regard to case.
    bool hasChannelCategory(const std::string& name) const;
    // add: appends name unless already there (any case); otherwise removes
    // every entry equal to name exactly.
    void setChannelCategory(const std::string& name, bool add);

    // Callers hold getLock().
    const std::vector<ChannelHook*>& getChannelHooks() const { return hooks_; }
    // New hooks get their loaded and attached events, removed ones their
    // detached event; removed hooks are not destroyed (the caller does it).
    void setChannelHooks(const std::vector<ChannelHook*>& hooks);
    // Empties the hook list, destroying the hooks; sendDetached first sends
    // each its detached event.
    void clearChannelHooks(bool sendDetached);

    Channel* getChannel() const;
    SharedExclusiveLock& getLock() const { return lock_; }

private:
    // save() without the file's batch; the lock is held.
    void saveLocked(const std::string& iniFile) const;
    void raiseChannelError(const std::string& msg, const std::string& additionalInfo) const;

    mutable SharedExclusiveLock lock_;
    Channel* owner_;
    bool autoUpdateEnabled_ = false;
    // Raised to the minimum by readers that hold the lock only shared, so it
    // is atomic rather than upgraded to the exclusive lock.
    mutable std::atomic<int> autoUpdateInterval_{0};
    bool allowEmptyFeeds_ = false;
    int maxFeedItems_ = -1;
    std::vector<std::string> categories_;
    int minAutoUpdateInterval_ = 3600;
    std::vector<ChannelHook*> hooks_;
    // Found by loadValues, created by loadChannelHooks.
    std::vector<std::string> storedHookFiles_;
};

}  // namespace channels
