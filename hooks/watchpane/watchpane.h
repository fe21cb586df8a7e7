#pragma once
// watchpane's library-wide parts, shared by the entry points and the
// monitor window: the settings read from the hook definition file, the
// debug log, the switchable lock, the window table and the INI reading.
// The library uses the platform layer and Qt only (no support library).
#include <cstdint>
#include <mutex>
#include <sstream>
#include <string>

namespace watchpane {

class CMonitorWindow;

struct Settings {
    long feedItemFgdCol = -1;
    long feedItemBgdCol = -1;
    long viewedFeedItemFgdCol = -1;
    long selectedItemFgdCol = -1;
    long selectedItemBgdCol = -1;
    bool enableLog = false;
    bool disableCritSecs = false;
    bool logCritSecs = false;
};

// Fixed when get_channel_hook_info runs.
const Settings& settings();
// The hook definition file (defaults of the per-channel parameters).
std::string hookConfigFile();
// The main program's main window: every request goes there.
std::uintptr_t hostWindow();

// Debug log: one line per call, "<thread id> | <text>", when EnableLog is set.
bool logEnabled();
void writeLog(const std::string& text);

// Builds the text only when the log is on:  WP_LOG("cookie=" << cookie);
#define WP_LOG(expr)                                 \
    do {                                             \
        if (::watchpane::logEnabled()) {             \
            std::ostringstream wpLogText_;           \
            wpLogText_ << expr;                      \
            ::watchpane::writeLog(wpLogText_.str()); \
        }                                            \
    } while (false)

// A re-entrant lock that does nothing while DisableCritSecs is set.
class SwitchableLock {
public:
    void enter();
    void leave();

private:
    std::recursive_mutex mutex_;
};

// Holds a lock for a scope; with LogCritSecs and EnableLog on, logs the
// request, the grant and the release under the operation's name.
class LockGuard {
public:
    LockGuard(SwitchableLock& lock, const char* operation);
    ~LockGuard();
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    SwitchableLock& lock_;
};

// The window table (hChannelHookCookie -> window).
SwitchableLock& tableLock();
CMonitorWindow* findMonitorWindow(std::uintptr_t cookie);
// Enters the window unless the cookie has one already.
void addMonitorWindow(std::uintptr_t cookie, CMonitorWindow* window);
// Removes the cookie's entry when it is this window; false when not found.
bool removeMonitorWindow(std::uintptr_t cookie, CMonitorWindow* window);

// INI values as the host writes them (percent-encoded): decoded, with the
// blanks around them removed.
std::string readIniString(const std::string& file, const std::string& section, const std::string& key);
// The leading integer of the value, or the default when the key is missing.
long readIniInt(const std::string& file, const std::string& section, const std::string& key, long defaultValue);
// A pointer-sized cookie written in decimal; `missing` when the key is.
std::uintptr_t readIniCookie(const std::string& file, const std::string& section, const std::string& key,
                             std::uintptr_t missing);
// [Config] PreferredChannelDisplayName, else [Cache] ChannelDisplayName.
std::string getChannelDisplayName(const std::string& channelFile);

}  // namespace watchpane
