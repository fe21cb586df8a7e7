// watchpane: a channel hook library that shows a monitor window of a
// channel's items. Every call arrives on the host's user-interface thread;
// the windows it creates live there.
#include "hooks/watchpane/watchpane.h"

#include <strings.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QThread>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "channels/hooks/dllChannelHookApi.h"
#include "hooks/watchpane/monitorWindow.h"
#include "platform/profile.h"

#define WATCHPANE_EXPORT extern "C" __attribute__((visibility("default")))

namespace watchpane {

namespace {

Settings g_settings;
std::string g_hookConfigFile;
std::uintptr_t g_hostWindow = 0;
std::ofstream* g_log = nullptr;
std::mutex g_logMutex;
std::map<std::uintptr_t, CMonitorWindow*> g_windows;

constexpr std::uintptr_t kNoCookie = static_cast<std::uintptr_t>(-1);

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

bool same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Writes one line into a call's standard-error file (truncated first).
void writeErrorFile(const char* path, const std::string& text) {
    if (path == nullptr) return;
    if (std::FILE* f = std::fopen(path, "w")) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
}

// Windows are created and used on the application's user-interface thread
// only; a call from anywhere else gets an error instead of a crash.
bool onUserInterfaceThread() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

bool openWatchpane(const std::string& requestFile, const char* stderrFile) {
    WP_LOG("openWatchpane(): configFilename=" << requestFile);
    const std::string channelFile = readIniString(requestFile, "Config", "ChannelConfigFile");
    const std::uintptr_t channelCookie = readIniCookie(requestFile, "Config", "hChannelCookie", kNoCookie);
    const std::uintptr_t hookCookie = readIniCookie(requestFile, "Config", "hChannelHookCookie", kNoCookie);
    WP_LOG("channelConfigFilename=" << channelFile);
    WP_LOG("hChannelCookie=" << channelCookie);
    WP_LOG("hChannelHookCookie=" << hookCookie);

    if (CMonitorWindow* window = findMonitorWindow(hookCookie)) {
        WP_LOG("Found the CMonitorWindow - bringing it to the front.");
        window->bringToFront();
        return true;
    }
    if (!onUserInterfaceThread()) {
        writeErrorFile(stderrFile, "The monitor window can only be opened on the user-interface thread.\n");
        return false;
    }
    WP_LOG("Allocating a new CMonitorWindow: configFilename=" << requestFile);
    auto* window = new CMonitorWindow(channelCookie, hookCookie, requestFile);
    WP_LOG("Creating the CMonitorWindow.");
    window->create();
    WP_LOG("Configuring the CMonitorWindow.");
    window->configure(requestFile);
    WP_LOG("Showing the CMonitorWindow.");
    window->show();
    WP_LOG("Loading the CMonitorWindow's feed items.");
    window->loadFeedItems();
    WP_LOG("CMonitorWindow created OK.");
    return true;
}

bool closeWatchpane(const std::string& requestFile) {
    WP_LOG("closeWatchpane(): configFilename=" << requestFile);
    WP_LOG("channelConfigFilename=" << readIniString(requestFile, "Config", "ChannelConfigFile"));
    const std::uintptr_t hookCookie = readIniCookie(requestFile, "Config", "hChannelHookCookie", kNoCookie);
    WP_LOG("hChannelHookCookie=" << hookCookie);
    if (CMonitorWindow* window = findMonitorWindow(hookCookie)) {
        WP_LOG("Found the CMonitorWindow - destroying it.");
        window->destroyWindow();
    }
    WP_LOG("CMonitorWindow closed OK.");
    return true;
}

// The window of the request's cookie, after the usual log lines.
CMonitorWindow* requestWindow(const std::string& requestFile) {
    WP_LOG("channelConfigFilename=" << readIniString(requestFile, "Config", "ChannelConfigFile"));
    const std::uintptr_t hookCookie = readIniCookie(requestFile, "Config", "hChannelHookCookie", kNoCookie);
    WP_LOG("hChannelHookCookie=" << hookCookie);
    return findMonitorWindow(hookCookie);
}

bool dispatchEvent(const std::string& name, const std::string& requestFile, const char* stderrFile) {
    if (same(name, "ChannelHookLoaded")) {
        WP_LOG("CHANNEL HOOK LOADED EVENT");
        WP_LOG("channelConfigFilename=" << readIniString(requestFile, "Config", "ChannelConfigFile"));
        WP_LOG("hChannelHookCookie=" << readIniCookie(requestFile, "Config", "hChannelHookCookie", kNoCookie));
        WP_LOG("settingsFilename=" << readIniString(requestFile, "Config", "SettingsFilename"));
        WP_LOG("settingsSectionName=" << readIniString(requestFile, "Config", "SettingsSectionName"));
        return true;
    }
    if (same(name, "ChannelHookAttached")) {
        WP_LOG("CHANNEL HOOK ATTACHED EVENT");
        return openWatchpane(requestFile, stderrFile);
    }
    if (same(name, "ChannelHookDetached")) {
        WP_LOG("CHANNEL HOOK DETACHED EVENT");
        return closeWatchpane(requestFile);
    }
    if (same(name, "EndChannelUpdate")) {
        WP_LOG("END CHANNEL UPDATE EVENT");
        if (CMonitorWindow* window = requestWindow(requestFile)) {
            const std::string caption =
                getChannelDisplayName(readIniString(requestFile, "Config", "ChannelConfigFile"));
            WP_LOG("Updating the window caption: " << caption);
            window->setCaption(caption);
            WP_LOG("Loading the new feed items.");
            window->loadFeedItems();
        }
        return true;
    }
    if (same(name, "ChannelConfigChanged")) {
        WP_LOG("CHANNEL CONFIG CHANGED EVENT");
        if (CMonitorWindow* window = requestWindow(requestFile)) {
            WP_LOG("Configuring the monitor window: configFilename=" << requestFile);
            window->configure(requestFile);
        }
        return true;
    }
    if (same(name, "MarkFeedItemAsViewed")) {
        WP_LOG("MARK FEED ITEM AS VIEWED EVENT");
        if (CMonitorWindow* window = requestWindow(requestFile)) {
            if (window->hidesReadItems()) {
                WP_LOG("Hiding read items: reloading the item list.");
                window->loadFeedItems();
            } else {
                WP_LOG("Showing all items: reloading the view feed item ID's.");
                window->loadViewedFeedItemIds();
            }
        }
        return true;
    }
    WP_LOG("Unknown event: " << name);
    writeErrorFile(stderrFile, "Unknown event: " + name + "\n");
    return false;
}

}  // namespace

const Settings& settings() { return g_settings; }
std::string hookConfigFile() { return g_hookConfigFile; }
std::uintptr_t hostWindow() { return g_hostWindow; }

bool logEnabled() { return g_settings.enableLog && g_log != nullptr; }

void writeLog(const std::string& text) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_log == nullptr) return;
    *g_log << static_cast<long>(::syscall(SYS_gettid)) << " | " << text << std::endl;
}

void SwitchableLock::enter() {
    if (g_settings.disableCritSecs) {
        WP_LOG("enterCriticalSection(): Critical sections have been disabled.");
        return;
    }
    mutex_.lock();
}

void SwitchableLock::leave() {
    if (!g_settings.disableCritSecs) mutex_.unlock();
}

LockGuard::LockGuard(SwitchableLock& lock, const char* operation) : lock_(lock) {
    const bool logLocks = g_settings.logCritSecs;
    if (logLocks) WP_LOG("Requesting critical section: " << operation);
    lock_.enter();
    if (logLocks) WP_LOG("Got critical section: " << operation);
}

LockGuard::~LockGuard() {
    if (g_settings.logCritSecs) WP_LOG("Releasing critical section.");
    lock_.leave();
}

SwitchableLock& tableLock() {
    static SwitchableLock lock;
    return lock;
}

CMonitorWindow* findMonitorWindow(std::uintptr_t cookie) {
    LockGuard guard(tableLock(), "findMonitorWindow()");
    auto it = g_windows.find(cookie);
    return it != g_windows.end() ? it->second : nullptr;
}

void addMonitorWindow(std::uintptr_t cookie, CMonitorWindow* window) {
    LockGuard guard(tableLock(), "OnInitDialog()");
    g_windows.emplace(cookie, window);
}

bool removeMonitorWindow(std::uintptr_t cookie, CMonitorWindow* window) {
    LockGuard guard(tableLock(), "DestroyWindow()");
    auto it = g_windows.find(cookie);
    if (it == g_windows.end() || it->second != window) return false;
    g_windows.erase(it);
    return true;
}

std::string readIniString(const std::string& file, const std::string& section, const std::string& key) {
    return trim(percentDecode(platform::profile::getString(file, section, key, "")));
}

long readIniInt(const std::string& file, const std::string& section, const std::string& key, long defaultValue) {
    const auto value = platform::profile::readValue(file, section, key);
    if (!value || value->empty()) return defaultValue;
    return std::strtol(percentDecode(*value).c_str(), nullptr, 10);
}

std::uintptr_t readIniCookie(const std::string& file, const std::string& section, const std::string& key,
                             std::uintptr_t missing) {
    const std::string text = readIniString(file, section, key);
    if (text.empty()) return missing;
    if (text[0] == '-') return static_cast<std::uintptr_t>(std::strtoll(text.c_str(), nullptr, 10));
    return static_cast<std::uintptr_t>(std::strtoull(text.c_str(), nullptr, 10));
}

std::string getChannelDisplayName(const std::string& channelFile) {
    std::string name = readIniString(channelFile, "Config", "PreferredChannelDisplayName");
    if (name.empty()) name = readIniString(channelFile, "Cache", "ChannelDisplayName");
    return name;
}

}  // namespace watchpane

using namespace watchpane;

WATCHPANE_EXPORT bool process_event(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    const std::string request = requestFile != nullptr ? requestFile : "";
    WP_LOG("EVENT: configFilename=" << request << " ; stdoutFilename=" << (stdoutFile ? stdoutFile : "")
                                    << " ; stderrFilename=" << (stderrFile ? stderrFile : ""));
    const std::string name = readIniString(request, "Config", "EventName");
    const bool rc = dispatchEvent(name, request, stderrFile);
    WP_LOG("Event processed: rc=" << (rc ? 1 : 0));
    return rc;
}

WATCHPANE_EXPORT bool process_command(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    const std::string request = requestFile != nullptr ? requestFile : "";
    WP_LOG("COMMAND: configFilename=" << request << " ; stdoutFilename=" << (stdoutFile ? stdoutFile : "")
                                      << " ; stderrFilename=" << (stderrFile ? stderrFile : ""));
    const std::string name = readIniString(request, "Config", "CommandName");
    bool rc = false;
    if (same(name, "OpenWindow")) {
        WP_LOG("OPEN WINDOW COMMAND");
        rc = openWatchpane(request, stderrFile);
    } else if (same(name, "CloseWindow")) {
        WP_LOG("CLOSE WINDOW COMMAND");
        rc = closeWatchpane(request);
    } else {
        WP_LOG("Unknown command: " << name);
        writeErrorFile(stderrFile, "Unknown command: " + name + "\n");
        return false;
    }
    WP_LOG("Command processed: rc=" << (rc ? 1 : 0));
    return rc;
}

WATCHPANE_EXPORT void* channel_hook_malloc(std::size_t size) { return std::malloc(size); }

WATCHPANE_EXPORT void channel_hook_free(void* p) { std::free(p); }

WATCHPANE_EXPORT bool get_channel_hook_info(int version, ChannelHookInfo* info, const char* hookFile) {
    g_hookConfigFile = hookFile != nullptr ? hookFile : "";
    if (info != nullptr) g_hostWindow = info->words[0];
    const std::string& file = g_hookConfigFile;
    g_settings.feedItemFgdCol = platform::profile::getInt(file, "Config", "FeedItemFgdCol", -1);
    g_settings.feedItemBgdCol = platform::profile::getInt(file, "Config", "FeedItemBgdCol", -1);
    g_settings.viewedFeedItemFgdCol = platform::profile::getInt(file, "Config", "ViewedFeedItemFgdCol", -1);
    g_settings.selectedItemFgdCol = platform::profile::getInt(file, "Config", "SelectedItemFgdCol", -1);
    g_settings.selectedItemBgdCol = platform::profile::getInt(file, "Config", "SelectedItemBgdCol", -1);
    g_settings.enableLog = platform::profile::getInt(file, "Debug", "EnableLog", 0) != 0;
    g_settings.disableCritSecs = platform::profile::getInt(file, "Debug", "DisableCritSecs", 0) != 0;
    g_settings.logCritSecs = platform::profile::getInt(file, "Debug", "LogCritSecs", 0) != 0;
    if (g_settings.enableLog && g_log == nullptr) g_log = new std::ofstream("watchpane.log", std::ios::trunc);

    if (version != channels::kChannelHookInfoVersion || info == nullptr) return false;
    info->words[0] = reinterpret_cast<std::uintptr_t>(&process_event);
    info->words[1] = reinterpret_cast<std::uintptr_t>(&process_command);
    info->words[2] = reinterpret_cast<std::uintptr_t>(&channel_hook_malloc);
    info->words[3] = reinterpret_cast<std::uintptr_t>(&channel_hook_free);
    return true;
}
