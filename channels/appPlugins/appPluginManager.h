#pragma once
// The one owner of every application plug-in (channels/appPlugin.h).
//
//   AppPluginManager& plugins = getAppPluginManager();
//   plugins.disableAppPlugin("oldthing");         // definition base names to skip
//   plugins.addEventHandler(&listener);           // AppPluginError events
//   plugins.setAppPluginDir(programDir + "/appPlugins");
//   plugins.loadAppPlugins();                     // one scan at start-up
//   plugins.setServerPorts(2604, pluginPort);     // whenever the servers move
//   AppPlugin* p = plugins.findAppPlugin("news"); // id without regard to case
//   plugins.unloadAppPlugins();                   // at shut-down
//
// The scan walks the plug-in directory and its sub-directories and loads
// every "*.plugin" definition (extension in any case) whose base name is not
// disabled. A definition that fails to load is reported as an
// AppPluginErrorEvent "Can't load the plugin <file name>: <reason>" and the
// scan goes on; so is a definition whose id is already taken. A directory
// that the scan reaches twice (a symbolic link back up the tree) is scanned
// once.
//
// Lock order of the engine: see channels/channelManager.h (plug-in manager,
// then plug-in, come after every channel lock).
//
// A channel may look plug-ins up (findAppPlugin, the manager's lock shared)
// and read a plug-in's definitions while it holds its own locks; so the
// plug-in manager never takes a channel's or a channel manager's lock while
// it holds its own. setServerPorts reads and stores the ports under the
// manager's lock but asks the channels to rewrite their URLs with the lock
// released (port changes are serialised by a mutex of their own, taken
// before everything else). A plug-in's lock is innermost: a page operation
// takes the channel's values and the manager's ports before it locks the
// plug-in. The scan holds the manager's lock exclusively while it loads;
// its AppPluginError events are raised after the lock is released, in the
// order the failures were found (see the rule in channels/channelManager.h).
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "channels/channelEvents.h"
#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"
#include "lib/widgets/eventSource.h"

namespace channels {

class AppPlugin;

class AppPluginManager : public TEventSource<Event> {
public:
    using AppPluginTable = std::map<std::string, std::unique_ptr<AppPlugin>, LessNoCase>;

    AppPluginManager();
    // Destroys what unloadAppPlugins left (nothing after a shut-down).
    ~AppPluginManager() override;
    AppPluginManager(const AppPluginManager&) = delete;
    AppPluginManager& operator=(const AppPluginManager&) = delete;

    void setAppPluginDir(const std::string& dir);
    std::string getAppPluginDir() const;
    // Skips every definition file of this base name (without regard to case).
    void disableAppPlugin(const std::string& baseName);

    // Scans the plug-in directory. Exceptions that are not std::exception
    // end the scan and pass to the caller.
    void loadAppPlugins();
    // Loads the plug-ins of one directory and of its sub-directories.
    virtual void doLoadAppPlugins(const std::string& dir);
    // Destroys every plug-in: each library plug-in's unload entry point
    // runs and its library is released, output files are deleted. Shut-down
    // calls it while the program still runs, since a library's own static
    // objects are gone by the time the exit handlers reach this manager.
    // Call it when no window or channel uses a plug-in any more.
    void unloadAppPlugins();

    // The plug-in of that id (without regard to case), or null.
    AppPlugin* findAppPlugin(const std::string& appPluginId) const;
    // The table; hold getLock() shared while walking it.
    const AppPluginTable& getAppPlugins() const { return pluginTable_; }

    // Stores the ports of the local application server and plug-in server.
    // When a plug-in server port had been set before and changes, every
    // channel of every channel manager first moves its local plug-in URLs
    // from the old port to the new one.
    void setServerPorts(int appServerPort, int appPluginServerPort);
    int getAppServerPort() const;
    int getAppPluginServerPort() const;

    SharedExclusiveLock& getLock() const { return lock_; }

private:
    // A definition that did not load, raised once the lock is released.
    struct LoadFailure {
        std::string message;
        AppPlugin* listed = nullptr;        // a duplicate, kept in unlisted_
        std::unique_ptr<AppPlugin> failed;  // one that failed to load
    };

    // The scan; the caller holds the lock exclusively.
    void scanDirectory(const std::string& dir);
    void loadDefinitionFile(const std::string& path, const std::string& entryName);
    void reportLoadFailure(const std::string& entryName, const std::string& reason, AppPlugin* plugin,
                           std::unique_ptr<AppPlugin> failed);
    void raiseLoadFailures();

    mutable SharedExclusiveLock lock_;
    std::mutex portChangeMutex_;
    std::string appPluginDir_;
    int appServerPort_ = 0;
    int appPluginServerPort_ = 0;
    AppPluginTable pluginTable_;
    std::set<std::string, LessNoCase> disabledAppPlugins_;
    // Plug-ins whose id was taken: kept (not in the table) until the manager
    // goes, since they may share a loaded library with the one in the table.
    std::vector<std::unique_ptr<AppPlugin>> unlisted_;
    // Directories scanned so far (device, inode), so that none is entered
    // twice.
    std::set<std::pair<unsigned long long, unsigned long long>> scannedDirs_;
    std::vector<LoadFailure> loadFailures_;
};

// The process's one manager, created on first use.
AppPluginManager& getAppPluginManager();

}  // namespace channels
