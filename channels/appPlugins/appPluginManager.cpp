#include "channels/appPlugins/appPluginManager.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "channels/appPlugins/appPlugin.h"
#include "channels/channelManager.h"
#include "channels/appPlugins/dllAppPlugin.h"
#include "channels/exception.h"
#include "channels/appPlugins/scriptAppPlugin.h"
#include "lib/log/messageLog.h"
#include "tools/files.h"
#include "tools/ini.h"

namespace channels {

namespace {

std::string readAppPluginId(const AppPlugin& plugin) { return plugin.getAppPluginId(); }

// Names of a directory's entries in byte order ("." and ".." included); false
// when the directory can't be listed.
bool listDirectory(const std::string& dir, std::vector<std::string>& names) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    while (const dirent* entry = ::readdir(d)) names.emplace_back(entry->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

}  // namespace

AppPluginManager::AppPluginManager() : TEventSource<Event>(nullptr) { setAppPluginIdReader(&readAppPluginId); }

AppPluginManager::~AppPluginManager() { unloadAppPlugins(); }

void AppPluginManager::unloadAppPlugins() {
    // Taken out under the lock, destroyed without it: a library's unload
    // entry point may call back into the host.
    AppPluginTable table;
    std::vector<std::unique_ptr<AppPlugin>> unlisted;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        table.swap(pluginTable_);
        unlisted.swap(unlisted_);
        scannedDirs_.clear();
    }
    table.clear();
    unlisted.clear();
}

void AppPluginManager::setAppPluginDir(const std::string& dir) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    appPluginDir_ = dir;
}

std::string AppPluginManager::getAppPluginDir() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return appPluginDir_;
}

void AppPluginManager::disableAppPlugin(const std::string& baseName) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    disabledAppPlugins_.insert(baseName);
}

void AppPluginManager::loadAppPlugins() {
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        ORVAN_LOG(logGroupPluginLoad()) << "Starting to load app plugins: appPluginDir=" << appPluginDir_ << std::endl;
        scannedDirs_.clear();
        scanDirectory(appPluginDir_);
    }
    raiseLoadFailures();
}

void AppPluginManager::doLoadAppPlugins(const std::string& dir) {
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        scanDirectory(dir);
    }
    raiseLoadFailures();
}

void AppPluginManager::raiseLoadFailures() {
    // Raised with the lock released, in the order they were found; a plug-in
    // that failed stays alive until its event has been handled.
    std::vector<LoadFailure> failures;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        failures.swap(loadFailures_);
    }
    for (const LoadFailure& failure : failures) {
        AppPlugin* plugin = failure.failed ? failure.failed.get() : failure.listed;
        const AppPluginErrorEvent event(std::time(nullptr), plugin, failure.message);
        raiseEvent(event);
    }
}

void AppPluginManager::scanDirectory(const std::string& dir) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    CMessageGroup& group = logGroupPluginLoad();
    ORVAN_LOG(group) << "doLoadAppPlugins(): dir=" << dir << std::endl;
    const std::string pattern = dir + "/*.*";
    ORVAN_LOG(group) << "Searching for files: " << pattern << std::endl;

    struct stat dirStatus {};
    if (::stat(dir.c_str(), &dirStatus) == 0 && S_ISDIR(dirStatus.st_mode)) {
        const std::pair<unsigned long long, unsigned long long> key(dirStatus.st_dev, dirStatus.st_ino);
        if (!scannedDirs_.insert(key).second) {
            // Reached again through a symbolic link: scanned already.
            ORVAN_LOG(group) << "This directory has been searched already - skipping it." << std::endl;
            return;
        }
    }

    std::vector<std::string> names;
    if (!listDirectory(dir, names)) {
        ORVAN_LOG(group) << "Couldn't find any files - exiting." << std::endl;
        return;
    }

    for (const std::string& name : names) {
        if (name == "." || name == "..") {
            ORVAN_LOG(group) << "Skipping ./.." << std::endl;
            continue;
        }
        ORVAN_LOG(group) << "Found file/directory: " << name << std::endl;
        const bool endsWithSeparator = !dir.empty() && (dir.back() == '/' || dir.back() == '\\');
        const std::string path = dir + (endsWithSeparator ? "" : "/") + name;

        struct stat status {};
        if (::stat(path.c_str(), &status) != 0) {
            ORVAN_LOG(group) << "Can't get the file/directory info: " << path << std::endl;
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            ORVAN_LOG(group) << "Found a directory - recursing into it." << std::endl;
            scanDirectory(path);
            continue;
        }
        if (compareNoCase(tools::getFileExtension(path), ".plugin") != 0) {
            ORVAN_LOG(group) << "This is not a .plugin file - skipping it." << std::endl;
            continue;
        }
        if (disabledAppPlugins_.count(tools::getFileBaseName(path)) != 0) {
            ORVAN_LOG(group) << "This plugin has been disabled - skipping it." << std::endl;
            continue;
        }
        loadDefinitionFile(path, name);
    }
    ORVAN_LOG(group) << "Leaving doLoadAppPlugin()." << std::endl;
}

void AppPluginManager::loadDefinitionFile(const std::string& path, const std::string& entryName) {
    std::unique_ptr<AppPlugin> plugin;
    try {
        const std::string pluginFile = tools::getIniString(path, "Config", "Plugin", "", true);
        if (pluginFile.empty()) throw Exception("Missing 'Plugin' parameter: " + path);
        ORVAN_LOG(logGroupPluginLoad()) << "Loading the plugin: pluginFilename=" << pluginFile << std::endl;

        const std::string extension = tools::getFileExtension(pluginFile);
        if (compareNoCase(extension, ".dll") == 0)
            plugin = std::make_unique<DllAppPlugin>(this);
        else if (extension.empty())
            throw Exception("The configured plugin script has no filename extension: " + pluginFile);
        else
            plugin = std::make_unique<ScriptAppPlugin>(this);

        plugin->loadAppPlugin(path);
        const std::string id = plugin->getAppPluginId();
        if (pluginTable_.count(id) == 0) {
            pluginTable_.emplace(id, std::move(plugin));
            return;
        }
        // The first definition of an id wins. The newcomer stays alive (it
        // may share its library with the winner) but is not listed.
        AppPlugin* loser = plugin.get();
        unlisted_.push_back(std::move(plugin));
        reportLoadFailure(entryName, "Duplicate plugin id: " + id, loser, nullptr);
    } catch (const std::exception& e) {
        AppPlugin* failed = plugin.get();
        reportLoadFailure(entryName, e.what(), failed, std::move(plugin));
    }
}

void AppPluginManager::reportLoadFailure(const std::string& entryName, const std::string& reason, AppPlugin* plugin,
                                         std::unique_ptr<AppPlugin> failed) {
    ORVAN_LOG(logGroupPluginLoad()) << "Plugin didn't load: " << reason << std::endl;
    LoadFailure failure;
    failure.message = "Can't load the plugin " + entryName + ": " + reason;
    failure.listed = failed ? nullptr : plugin;
    failure.failed = std::move(failed);
    loadFailures_.push_back(std::move(failure));
}

AppPlugin* AppPluginManager::findAppPlugin(const std::string& appPluginId) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    const auto it = pluginTable_.find(appPluginId);
    return it == pluginTable_.end() ? nullptr : it->second.get();
}

void AppPluginManager::setServerPorts(int appServerPort, int appPluginServerPort) {
    // Channels are rewritten without the manager's lock: they look plug-ins
    // up under their own locks (see the lock order in the header).
    std::lock_guard<std::mutex> serialise(portChangeMutex_);
    int oldPort = 0;
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        oldPort = appPluginServerPort_;
    }
    if (oldPort != 0 && oldPort != appPluginServerPort)
        ChannelManager::changeAppPluginServerPort(oldPort, appPluginServerPort);
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    appServerPort_ = appServerPort;
    appPluginServerPort_ = appPluginServerPort;
}

int AppPluginManager::getAppServerPort() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return appServerPort_;
}

int AppPluginManager::getAppPluginServerPort() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return appPluginServerPort_;
}

AppPluginManager& getAppPluginManager() {
    static AppPluginManager manager;
    return manager;
}

}  // namespace channels
