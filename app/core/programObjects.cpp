#include "app/core/programObjects.h"
#include "app/core/seams.h"

#include <chrono>
#include <vector>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/options/hotkey.h"
#include "app/options/userTool.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "lib/misc/threadSafety.h"
#include "tools/registry.h"
#include "tools/tempFile.h"

namespace {

std::atomic<channels::ChannelManager*> g_channelManager{nullptr};
std::atomic<bool> g_leftButtonDown{false};
std::mutex g_readerMutex;
std::function<int()> g_modifierKeyReader;
const seams::Registration g_modifierKeyReaderSeam(
    "ModifierKeyReader",
    [] {
        std::lock_guard<std::mutex> guard(g_readerMutex);
        return static_cast<bool>(g_modifierKeyReader);
    },
    [] { setModifierKeyReader(nullptr); });

struct ResetEntry {
    std::string name;
    void (*reset)();
};
std::mutex& resetsLock() {
    static std::mutex lock;
    return lock;
}
// Filled by the registrations at namespace scope, before main.
std::vector<ResetEntry>& resets() {
    static std::vector<ResetEntry> entries;
    return entries;
}

std::string slashed(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

}  // namespace

channels::ChannelManager* getChannelManager() { return g_channelManager.load(); }

void setChannelManager(channels::ChannelManager* manager) { g_channelManager.store(manager); }

channels::Channel* findChannel(const std::string& channelFilename) {
    channels::ChannelManager* manager = getChannelManager();
    if (!manager) return nullptr;
    const std::string wanted = slashed(channelFilename);
    SharedLockGuard lock(&manager->getLock(), __FILE__, __LINE__);
    for (channels::Channel* channel : manager->getChannels()) {
        if (slashed(channel->getConfigFilename()) == wanted) return channel;
    }
    return nullptr;
}

BrowseStartDirs& browseStartDirs() {
    static BrowseStartDirs dirs;
    return dirs;
}

void initBrowseStartDirs() {
    const ProgramPaths& p = programPaths();
    BrowseStartDirs& d = browseStartDirs();
    d.soundAndImage = p.programDir;
    d.channelPluginScript = p.programDir;
    d.channelHook = p.programDir;
    d.reportTemplate = p.usersDir;
    d.reportOutput = p.reportsDir;
}

std::map<std::string, std::unique_ptr<tools::TempFile>>& contextMenuFiles() {
    static std::map<std::string, std::unique_ptr<tools::TempFile>> files;
    return files;
}

StartupFlags& startupFlags() {
    static StartupFlags flags;
    return flags;
}

void noteMouseButton(int code, MouseButtonEvent event) {
    if (code < 0) return;
    if (event == MouseButtonEvent::LeftDown)
        g_leftButtonDown = true;
    else if (event == MouseButtonEvent::LeftUp)
        g_leftButtonDown = false;
}

bool isLeftButtonDown() { return g_leftButtonDown.load(); }

int makeModifierKeyState(bool shift, bool ctrl, bool alt) {
    return (shift ? ModShift : 0) | (ctrl ? ModCtrl : 0) | (alt ? ModAlt : 0);
}

void setModifierKeyReader(std::function<int()> reader) {
    std::lock_guard<std::mutex> guard(g_readerMutex);
    g_modifierKeyReader = std::move(reader);
}

int getModifierKeyState() {
    std::function<int()> reader;
    {
        std::lock_guard<std::mutex> guard(g_readerMutex);
        reader = g_modifierKeyReader;
    }
    return reader ? reader() : 0;
}

ProgramObjectReset::ProgramObjectReset(const char* name, void (*reset)()) {
    std::lock_guard<std::mutex> guard(resetsLock());
    resets().push_back({name, reset});
}

void resetProgramObjectsForTests() {
    std::vector<ResetEntry> registered;
    {
        std::lock_guard<std::mutex> guard(resetsLock());
        registered = resets();
    }
    // The window layer's first: its hooks may read what follows.
    for (const ResetEntry& entry : registered) entry.reset();

    // The options' template goes with its holder.
    GlobalOptions::instance().DefaultDesktopSettings.reset();
    setChannelDesktopSettingsTemplate(nullptr);
    setUserToolHost(nullptr);
    HotkeyTable::setCommandTarget(nullptr);

    setChannelManager(nullptr);
    browseStartDirs() = BrowseStartDirs{};
    contextMenuFiles().clear();
    startupFlags().startedMaximized = false;
    startupFlags().newUser = false;
    g_leftButtonDown = false;

    channels::setFileTypeCommands({});
    channels::setDllChannelHookMessages(0, -1, -1);
    channels::DllChannelHook::setHostWindow(0);
    channels::setChannelHookHost(nullptr);
    tools::setRegistry(nullptr);
    setMessageLog(nullptr);
}

BackgroundThread::~BackgroundThread() { stop(); }

void BackgroundThread::start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopRequested_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void BackgroundThread::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopRequested_ = true;
    }
    event_.notify_all();
    thread_.join();
}

void BackgroundThread::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!event_.wait_for(lock, std::chrono::milliseconds(5000), [this] { return stopRequested_; })) ++timeouts_;
}
