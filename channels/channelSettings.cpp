#include "channels/channelSettings.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "channels/channel.h"
#include "channels/channelEvents.h"
#include "channels/channelManager.h"
#include "channels/exception.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/ini.h"

namespace channels {

namespace {

std::atomic<ChannelHookHost*> g_hookHost{nullptr};

const char* const kSettings = "Settings";
const char* const kChannelHooks = "Channel Hooks";
const char* const kCategoryStem = "ChannelCategory-";
constexpr int kMaxStoredHooks = 3;

bool isExistingFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

void setChannelHookHost(ChannelHookHost* host) { g_hookHost = host; }
ChannelHookHost* getChannelHookHost() { return g_hookHost; }

ChannelSettings::ChannelSettings(Channel* owner) : owner_(owner) {}

ChannelSettings::~ChannelSettings() {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    hooks_.clear();
}

void ChannelSettings::raiseChannelError(const std::string& msg, const std::string& additionalInfo) const {
    if (owner_ == nullptr || owner_->getManager() == nullptr) return;
    ChannelErrorEvent event(std::time(nullptr), owner_, msg, additionalInfo);
    owner_->getManager()->raiseEvent(event);
}

void ChannelSettings::load(const std::string& iniFile) {
    loadValues(iniFile);
    loadChannelHooks(iniFile);
}

void ChannelSettings::loadValues(const std::string& iniFile) {
    bool defEnabled = true;
    int defInterval = 86400;
    bool defAllowEmpty = false;
    int defMaxItems = -1;
    // The defaults are read before this object's lock is taken.
    if (owner_ != nullptr && owner_->getManager() != nullptr) {
        ChannelManager* manager = owner_->getManager();
        SharedLockGuard managerGuard(&manager->getLock(), __FILE__, __LINE__);
        const ChannelSettings& defaults = manager->getDefaultChannelSettings();
        defEnabled = defaults.isAutoUpdateEnabled();
        defInterval = defaults.getAutoUpdateInterval();
        defAllowEmpty = defaults.getAllowEmptyFeeds();
        defMaxItems = defaults.getMaxFeedItems();
    }

    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    autoUpdateEnabled_ = tools::getIniBool(iniFile, kSettings, "IsAutoUpdateEnabled", defEnabled);
    autoUpdateInterval_ = tools::getIniInt(iniFile, kSettings, "AutoUpdateInterval", defInterval);
    allowEmptyFeeds_ = tools::getIniBool(iniFile, kSettings, "AllowEmptyFeeds", defAllowEmpty);
    maxFeedItems_ = tools::getIniIntInRange(iniFile, kSettings, "MaxFeedItems", -1, 100, defMaxItems);

    categories_.clear();
    tools::getIndexedIniList(iniFile, kSettings, kCategoryStem, 1, true, categories_);

    storedHookFiles_.clear();
    if (getChannelHookHost() == nullptr) return;
    for (int n = 1; n <= kMaxStoredHooks; ++n) {
        const std::string hookFile =
            tools::getIniString(iniFile, kChannelHooks, "ChannelHook" + std::to_string(n), "", true);
        if (hookFile.empty()) break;
        storedHookFiles_.push_back(hookFile);
    }
}

void ChannelSettings::loadChannelHooks(const std::string& iniFile) {
    // Runs with no lock held: creating a hook loads its code, and a library
    // hook hears of its loading on the user-interface thread.
    ChannelHookHost* host = getChannelHookHost();
    std::vector<std::string> hookFiles;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        hookFiles.swap(storedHookFiles_);
    }
    if (host == nullptr) return;
    std::vector<ChannelHook*> loaded;
    int n = 0;
    for (const std::string& hookFile : hookFiles) {
        ++n;
        if (!isExistingFile(hookFile)) {
            raiseChannelError("Missing channel hook config file: " + hookFile, "");
            continue;
        }
        ChannelHook* hook = nullptr;
        try {
            hook = host->createChannelHook(hookFile);
            host->loadSettings(*hook, hookFile, iniFile, "ChannelHookConfig-" + std::to_string(n),
                               "ChannelHookSettings-" + std::to_string(n));
        } catch (const std::exception& e) {
            if (hook != nullptr) host->destroyChannelHook(hook);
            raiseChannelError("Can't load channel hook: " + hookFile, e.what());
            continue;
        }
        try {
            ChannelHookLoadedEvent event(std::time(nullptr), owner_, hook);
            host->raiseEvent(*hook, owner_, event);
        } catch (...) {
            // A hook that fails on its loaded event stays attached.
        }
        loaded.push_back(hook);
    }
    if (loaded.empty()) return;
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    hooks_.insert(hooks_.end(), loaded.begin(), loaded.end());
}

void ChannelSettings::save(const std::string& iniFile) const {
    // One rewrite of the file, also when the settings are saved on their own
    // (inside a channel save this batch joins the channel's). The file's
    // write lock is taken before this object's lock, as a channel save does.
    platform::profile::WriteBatch batch(iniFile);
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        saveLocked(iniFile);
    }
    if (!batch.commit()) {
        throw Exception("Can't write the channel file " + iniFile + ": " + platform::files::lastErrorText());
    }
}

void ChannelSettings::saveLocked(const std::string& iniFile) const {
    tools::writeIniBool(iniFile, kSettings, "IsAutoUpdateEnabled", autoUpdateEnabled_);
    tools::writeIniInt(iniFile, kSettings, "AutoUpdateInterval", autoUpdateInterval_.load());
    tools::writeIniBool(iniFile, kSettings, "AllowEmptyFeeds", allowEmptyFeeds_);
    tools::writeIniInt(iniFile, kSettings, "MaxFeedItems", maxFeedItems_);

    tools::deleteIndexedIniKeys(iniFile, kSettings, kCategoryStem, 1);
    tools::writeIndexedList(iniFile, kSettings, kCategoryStem, 1, categories_, false);

    // Without the hook code the stored hooks cannot have been loaded: keep
    // them in the file as they are.
    ChannelHookHost* host = getChannelHookHost();
    if (host == nullptr) return;
    tools::deleteIniSection(iniFile, kChannelHooks);
    int n = 1;
    for (ChannelHook* hook : hooks_) {
        if (n > kMaxStoredHooks) break;
        tools::writeIniString(iniFile, kChannelHooks, "ChannelHook" + std::to_string(n),
                              host->getConfigFilename(*hook));
        host->saveSettings(*hook, iniFile, "ChannelHookConfig-" + std::to_string(n),
                           "ChannelHookSettings-" + std::to_string(n));
        ++n;
    }
}

void ChannelSettings::detachChannelHooks() { clearChannelHooks(true); }

void ChannelSettings::assign(const ChannelSettings& other, bool copyOwner) {
    if (&other != this) {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        SharedLockGuard otherGuard(&other.lock_, __FILE__, __LINE__);
        autoUpdateEnabled_ = other.autoUpdateEnabled_;
        autoUpdateInterval_ = other.autoUpdateInterval_.load();
        allowEmptyFeeds_ = other.allowEmptyFeeds_;
        maxFeedItems_ = other.maxFeedItems_;
        categories_ = other.categories_;
        minAutoUpdateInterval_ = other.minAutoUpdateInterval_;
        if (copyOwner) owner_ = other.owner_;
    }
    clearChannelHooks(false);
}

bool ChannelSettings::isAutoUpdateEnabled() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return autoUpdateEnabled_;
}

int ChannelSettings::getAutoUpdateInterval() const {
    // Raised in place under the shared lock: writers hold the lock
    // exclusively, so only readers race here, and they all store the same
    // minimum. Upgrading to the exclusive lock instead would deadlock two
    // threads that both hold the lock shared.
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    int interval = autoUpdateInterval_.load();
    while (interval < minAutoUpdateInterval_) {
        if (autoUpdateInterval_.compare_exchange_weak(interval, minAutoUpdateInterval_)) {
            interval = minAutoUpdateInterval_;
        }
    }
    return interval;
}

bool ChannelSettings::getAllowEmptyFeeds() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return allowEmptyFeeds_;
}

int ChannelSettings::getMaxFeedItems() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return maxFeedItems_;
}

void ChannelSettings::setAutoUpdateEnabled(bool enabled) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    autoUpdateEnabled_ = enabled;
}

void ChannelSettings::setAutoUpdateInterval(int seconds) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    autoUpdateInterval_ = seconds;
}

void ChannelSettings::setAllowEmptyFeeds(bool allow) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    allowEmptyFeeds_ = allow;
}

void ChannelSettings::setMaxFeedItems(int maxItems) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    maxFeedItems_ = maxItems;
}

void ChannelSettings::setMinAutoUpdateInterval(int seconds) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    minAutoUpdateInterval_ = seconds;
}

int ChannelSettings::getMinAutoUpdateInterval() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return minAutoUpdateInterval_;
}

void ChannelSettings::setChannelCategories(const std::vector<std::string>& categories) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    categories_ = categories;
}

bool ChannelSettings::hasChannelCategory(const std::string& name) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return std::any_of(categories_.begin(), categories_.end(),
                       [&](const std::string& c) { return mbsCompareNoCase(c, name.c_str()) == 0; });
}

void ChannelSettings::setChannelCategory(const std::string& name, bool add) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    if (add) {
        if (!hasChannelCategory(name)) categories_.push_back(name);
    } else {
        categories_.erase(std::remove(categories_.begin(), categories_.end(), name), categories_.end());
    }
}

void ChannelSettings::setChannelHooks(const std::vector<ChannelHook*>& hooks) {
    // The hooks hear of the change without this object's lock: a library
    // hook answers on the user-interface thread and may ask there for the
    // channel to be saved, which waits for the channel file's write lock,
    // while a save on another thread holds that lock and waits for these
    // settings (file write lock -> settings). The new list is stored after
    // the events, so a hook that throws leaves the list as it was.
    std::vector<ChannelHook*> current;
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        current = hooks_;
    }
    ChannelHookHost* host = getChannelHookHost();
    if (host != nullptr) {
        auto contains = [](const std::vector<ChannelHook*>& list, ChannelHook* hook) {
            return std::find(list.begin(), list.end(), hook) != list.end();
        };
        for (ChannelHook* hook : hooks) {
            if (hook == nullptr || contains(current, hook)) continue;
            ChannelHookLoadedEvent loaded(std::time(nullptr), owner_, hook);
            host->raiseEvent(*hook, owner_, loaded);
            ChannelHookAttachedEvent attached(std::time(nullptr), owner_, hook);
            host->raiseEvent(*hook, owner_, attached);
        }
        for (ChannelHook* hook : current) {
            if (contains(hooks, hook)) continue;
            ChannelHookDetachedEvent detached(std::time(nullptr), owner_, hook);
            host->raiseEvent(*hook, owner_, detached);
        }
    }
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    hooks_ = hooks;
}

void ChannelSettings::clearChannelHooks(bool sendDetached) {
    // The list is emptied under the lock; the hooks hear of it after the lock
    // is released, since a library hook answers on the user-interface thread,
    // which may be waiting for these settings (the hooks page) meanwhile.
    std::vector<ChannelHook*> removed;
    Channel* owner = nullptr;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        removed.swap(hooks_);
        owner = owner_;
    }
    ChannelHookHost* host = getChannelHookHost();
    if (!sendDetached || host == nullptr) return;
    for (ChannelHook* hook : removed) {
        try {
            ChannelHookDetachedEvent detached(std::time(nullptr), owner, hook);
            host->raiseEvent(*hook, owner, detached);
        } catch (const std::exception& e) {
            raiseChannelError("Can't clear the channel hook: " + host->getDisplayName(*hook), e.what());
        }
        host->destroyChannelHook(hook);
    }
}

Channel* ChannelSettings::getChannel() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return owner_;
}

}  // namespace channels
