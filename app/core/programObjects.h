#pragma once
// The root of the program's process-wide objects: the ones kept here, and
// the catalogue below of every other one, where it lives, who installs it
// and when it is valid. resetProgramObjectsForTests() returns all of them
// that can be installed to their state before start-up.
//
// Kept here (plain values and the channel manager):
//   getChannelManager   the channel manager. Start-up (CMendrelApp::init2)
//                       makes and installs it; shut-down clears it before
//                       deleting it. Null before and after.
//   browseStartDirs     the file dialogs' start folders; set by start-up from
//                       programPaths(), then by the dialogs.
//   contextMenuFiles    the browser context menu's generated files; filled
//                       while the program runs.
//   startupFlags        start-up's flags; set by start-up.
//   isLeftButtonDown    the left button as the program's mouse event filter
//                       saw it (the filter comes with the desktop wiring,
//                       desktop/inputState, and stays).
//   getModifierKeyState the modifier-key reader; installed by the desktop
//                       wiring (desktop/inputState), 0 without it.
//
// Installed below app/ (the engine cannot see this folder; they keep their
// own installers, and the reset here clears them):
//   getMessageLog / setMessageLog (lib/log/messageLog.h)  a replacement of
//       the global log; installed by tests and the siteseek plug-in. Without
//       one, the log on std::clog that start-up points at its log file.
//   getRegistry / setRegistry (tools/registry.h)  a replacement of the key
//       store's object layer; without one, the process-wide object.
//   getChannelHookHost (channels/channelSettings.h)  what runs channel hooks
//       on the main thread; start-up installs it once the main frame exists
//       (channels::installChannelHookHost). Null before.
//   getDllChannelHookWindow and its messages (channels/plugin/
//       scriptingEngine.h), DllChannelHook::getHostWindow (channels/hooks/
//       dllChannelHook.h)  the main frame's handle and message numbers for
//       the library hooks; set by start-up with the frame, cleared at
//       shut-down.
//   getFileTypeCommands (channels/plugin/scriptingEngine.h)  the scripts'
//       file associations; set by start-up from the global options.
//   Values that start-up sets once and that stay for the process (not
//   reset): the user directory (platform/files.h), the thread-safety
//   time-out (lib/misc/threadSafety.h), the default HTTP user agent
//   (ChannelManager::setDefaultHttpUserAgent), the app plug-in id reader
//   (channels/channelEvents.h, installed by the app plug-in manager when it
//   is made), the channel test of the filters (ChannelFilter::setChannelTest,
//   installed by the desktop settings table when it is made). Engine objects
//   made on first use that live for the process: getAppPluginManager,
//   getScriptingEngine.
//
// Installed in app/ outside this folder (Qt-free; the reset clears them):
//   getUserToolHost (app/options/userTool.h)  what runs user tools; the main
//       frame installs it with its commands and removes it when it goes.
//   getChannelDesktopSettingsTemplate (app/settings)  new channels' desktop
//       settings; made by the global options through the factory below when
//       they load. GlobalOptions::instance(), BrandingConfig::instance(),
//       programPaths() and getChannelDesktopSettingsTable() are objects of
//       the process, loaded by start-up; the reset leaves them as they are.
//   The hooks of the desktop wiring (app/core/seams.h; each resets with its
//       registration): the notification sink (app/core/notificationSink.h:
//       the windows' notification queue, installed by ui::installTrayServices
//       and kept to the end; without it one that shows nothing),
//       GlobalOptions::ErrorReporter and DesktopSettingsFactory
//       (app/options/globalOptions.h), ChannelFilterLookup and
//       ReadMeListSource (app/reports/channelReportGenerator.h),
//       ChannelDesktopSettingsObserver and ChannelImageFactory (app/settings/
//       channelDesktopSettings.h), ListenerHooks (app/listeners/
//       localPortListener.h), the modifier-key reader (here). Installed by
//       DesktopWiring::install() before the global options load; removed by
//       DesktopWiring::remove() at shut-down (the key reader stays).
//   HotkeyTable's command target (app/options/hotkey.h): the main frame
//       installs it (ui/hotkeys) when it is created and removes it when it
//       goes. Its enabled flag counts the live HotkeySuspensions and is left.
//
// The window layer's (Qt; they register their reset with ProgramObjectReset
// below, or as hooks with app/core/seams.h):
//   getDesktopServices (widgets/helpers/desktopServices.h)  opening pages in
//       the program's windows; installed by the desktop wiring (or the
//       simple browser windows before it), removed by DesktopWiring::remove().
//   getChannelWindowOps (ui/events/uiHandler.h), getMainFrameServices
//       (ui/frame/mainFrame.h), the tray icon's place (ui/tray/trayArea.h),
//       dialogWindowOps (widgets/helpers/dialogWindowOps.h), the channel
//       page's credentials editor and the parameters page's plug-in sheet
//       opener (dialogs/channel): hooks of the desktop wiring.
//   getBalloonParent (ui/notify/notificationQueue.h)  the window owning the
//       balloons, the tray icon's; set when the tray icon is made.
//   WindowUpdateLock::getMainFrame (widgets/helpers/windowUpdateLock.h)  set
//       and cleared by the main frame.
//   isExitRequested (ui/frame/mainFrame.h)  set when the user exits, cleared
//       when a main frame is created.
//   The DesktopWiring objects alive: the reset removes them (remove()), so
//       that their install() installs again.
//   Windows that register themselves while they exist, null otherwise (not
//   reset: they go with their window): getMainFrame, getWorkPad,
//   getWorkspaceBar, getOutputBar, getSystemTray, getActiveAppPlugin,
//   CChannelPropSheet::getActivePropSheet, CNewChannelWizard::
//   getExistingWizard / getRunningWizard, currentBalloon. getUiHandler is
//   made by start-up's setUiHandler and stays. getApp() (desktop/) is the
//   application object, a static of the process.
//
// The path and identity strings are in app/core/programPaths.h. The
// hooks' and the utilities' own programs (hooks/, utilities/) run in
// processes of their own and keep their own objects.
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
    std::string soundAndImage;        // program directory
    std::string channelPluginScript;  // program directory
    std::string channelHook;          // program directory
    std::string reportTemplate;       // users directory
    std::string reportOutput;         // the user's Reports directory
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

// A process-wide object of a part this folder may not include (the
// windows, the dialogs, the desktop's start-up) registers how it resets, at
// namespace scope in the file that defines it:
//
//   const ProgramObjectReset g_balloonParentReset("BalloonParent", [] { setBalloonParent(nullptr); });
//
// Hooks registered with app/core/seams.h register their reset this way too.
class ProgramObjectReset {
public:
    ProgramObjectReset(const char* name, void (*reset)());
};

// For tests: every installer above and every registered reset back to its
// state before start-up (pointers and hooks null, flags cleared, the folders
// and context-menu files emptied). Whoever made an installed object still
// owns it and deletes it. Flags that a window sets for itself (the
// new-channel wizard's) and the objects of the process listed above as
// staying are left as they are.
void resetProgramObjectsForTests();

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
