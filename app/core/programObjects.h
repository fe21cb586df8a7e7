#pragma once
// Objects that live for the whole process and that many parts of the
// program share: the channel manager, the file dialogs' start folders, the
// browser context-menu files, start-up's flags, the left-button flag and the
// modifier-key reader, and the background thread.
//
// The path and identity strings are in app/core/programPaths.h. Windows
// feed the window-side values through the seams below (the mouse event
// filter calls noteMouseButton; the desktop installs a modifier-key reader).
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace channels {
class Channel;
class ChannelManager;
}  // namespace channels
namespace tools {
class TempFile;
}

// The program's channel manager (null before start-up creates it and after
// shut-down deletes it). The setter does not take ownership.
channels::ChannelManager* getChannelManager();
void setChannelManager(channels::ChannelManager* manager);

// The channel of the program's manager whose channel file has that name
// ("/" and "\" count as equal), or null.
channels::Channel* findChannel(const std::string& channelFilename);

// Folders in which the file dialogs open.
struct BrowseStartDirs {
    std::string soundAndImage;      // program directory
    std::string channelPluginScript; // program directory
    std::string channelHook;        // program directory
    std::string reportTemplate;     // users directory
    std::string reportOutput;       // the user's Reports directory
};
BrowseStartDirs& browseStartDirs();
// Sets the five folders from programPaths().
void initBrowseStartDirs();

// Browser context-menu item name -> the temporary file generated for it.
std::map<std::string, std::unique_ptr<tools::TempFile>>& contextMenuFiles();

// Flags set by start-up.
struct StartupFlags {
    std::atomic<bool> startedMaximized{false};
    std::atomic<bool> newUser{false};
};
StartupFlags& startupFlags();

// The left mouse button, as the program's mouse event filter saw it.
// Messages of a negative code change nothing.
enum class MouseButtonEvent { LeftDown, LeftUp, Other };
void noteMouseButton(int code, MouseButtonEvent event);
bool isLeftButtonDown();

// Bit set of the modifier keys held for the event being handled: 1 Shift,
// 2 Ctrl, 4 Alt. The desktop installs the reader; without one it is 0.
enum ModifierKey { ModShift = 1, ModCtrl = 2, ModAlt = 4 };
int makeModifierKeyState(bool shift, bool ctrl, bool alt);
void setModifierKeyReader(std::function<int()> reader);
int getModifierKeyState();

// A thread that waits on its stop event, at most 5000 ms at a time, and does
// nothing else.
class BackgroundThread {
public:
    BackgroundThread() = default;
    ~BackgroundThread();  // stops it
    BackgroundThread(const BackgroundThread&) = delete;
    BackgroundThread& operator=(const BackgroundThread&) = delete;

    void start();
    // Sets the stop event and waits for the thread.
    void stop();
    bool isRunning() const { return thread_.joinable(); }
    // Number of waits that ended without the event (time-outs).
    int timeouts() const { return timeouts_.load(); }

private:
    void run();
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable event_;
    bool stopRequested_ = false;
    std::atomic<int> timeouts_{0};
};
