#pragma once
// The one top-level window of orvan: menu bar, the Channels and General
// toolbars, status bar, caption bar, the Control Center, Logs and Workpad
// bars, the notification-area icon and the one-second timer.
//
// It is also the target of every window message other threads and hook
// libraries send to the user interface: getHandle() names it in
// platform/messages, served on the user-interface thread (a send from
// another thread waits there; the destructor releases waiting sends).
//
//   auto* frame = new CMainFrame;
//   if (!frame->create(setup)) ...;         // the logged creation steps
//   frame->getCommand(32844)->trigger();    // one QAction per command number
//   postMessage(frame->getHandle(), WM_COMMAND, 32844, 0);   // the same, queued
//
// Commands: every command number has one QAction in the table (addCommand);
// WM_COMMAND n triggers action n. Registered messages and WM_APP messages
// are served by the handlers of setMessageHandler; the frame installs the
// ones it owns itself.
#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/messages.h"
#include "ui/events/uiEvent.h"
#include "ui/frame/outputBar.h"

class ChannelReportConfig;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMenu;
class QMdiSubWindow;
class UserTool;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class CWorkspaceBar;
class CWorkPad;
class QtDispatcher;
class CMainFrame;

namespace channels {
class AppPlugin;
class Channel;
class ChannelHook;
class ChannelManager;
}  // namespace channels

// What other parts of the desktop provide to the main frame, installed by
// the program's start-up wiring. One called while missing is logged as a
// wiring fault (an assertion in debug builds) and its step is skipped.
struct MainFrameServices {
    // The channel manager whose channels the hook callbacks look up.
    std::function<channels::ChannelManager*()> getChannelManager;
    // The timer's steps after the notifications.
    std::function<void()> processNotifications;
    std::function<void()> importViewedFeedItemUrls;
    // Generates the first due report; true when one was taken (the report
    // configurations are then saved).
    std::function<bool()> generateDueReport;
    // "StartNewChannelWizard", "AddToReadMeList".
    std::function<void(const std::string& url)> runNewChannelWizard;
    std::function<void(const std::string& url)> addToReadMeList;
    // WM_APP+101 and +103 once the channel and hook are found.
    std::function<void(channels::Channel* channel, channels::ChannelHook* hook)> openChannelProperties;
    std::function<bool(channels::Channel* channel, const std::string& id, const std::string& url)> openFeedItem;
    // Creates the notification-area icon; false while no tray host exists.
    std::function<bool(CMainFrame& frame)> createTrayIcon;
};
MainFrameServices& getMainFrameServices();

class CMainFrame : public QMainWindow, public UiEventHandler {
    Q_OBJECT
public:
    using MessageHandler = std::function<std::intptr_t(std::uintptr_t wParam, std::intptr_t lParam)>;

    // What creation needs from the options.
    struct Setup {
        std::string appName;
        std::string logsDir;
        COutputBar::LogLook activityLog;
        COutputBar::LogLook errorLog;
        // Attempts at the notification-area icon, and the wait between them.
        int trayAttempts = 20;
        int trayRetryMs = 2000;
    };

    CMainFrame();
    // Releases waiting sends (the handle names no window any more) before
    // anything else goes.
    ~CMainFrame() override;

    // The creation steps; false when a step fails (start-up then ends).
    bool create(const Setup& setup);
    platform::messages::Handle getHandle() const { return handle_; }

    // The command table.
    QAction* addCommand(int id, const QString& text);
    QAction* getCommand(int id) const;
    // Runs the command: a channel-hook command of the last menu, else the
    // action (its state brought up to date first); false when there is none
    // or it is disabled.
    bool runCommand(int id);
    // Brings the enabled, checked and text states of every command (or of
    // one) up to date: what the update rules say now.
    void updateCommandUi();
    void updateCommandUi(int id);
    // Completes a menu that is about to open: the texts that depend on the
    // state, the favourites, user tools, channel categories and hook
    // commands, the Toolbars menu; then the command states. Every menu of
    // the frame calls it on aboutToShow; other windows call it for their
    // context menus holding frame commands.
    void onShowPopupMenu(QMenu* menu);
    // The frame's menus by their titles' plain names ("File", "Tools", ...);
    // the toolbar buttons' filter and report menus are "Filters" and
    // "Reports".
    QMenu* getMenu(const QString& name) const;

    // The channel or plug-in the user is working on: the active child
    // window's, else the one selected in the Control Center. With
    // focusedOnly, only when that window or list has the focus.
    channels::Channel* getActiveChannel(bool focusedOnly) const;
    channels::AppPlugin* getActiveAppPlugin(bool focusedOnly) const;
    // Generates a report now and shows it (or says where it was saved);
    // failures are shown in a message box.
    void generateChannelReport(const ChannelReportConfig& report);

    // A handler of a window message (replacing any earlier one).
    void setMessageHandler(unsigned msg, MessageHandler handler);

    CWorkspaceBar* getWorkspaceBar() const { return workspaceBar_; }
    COutputBar* getOutputBar() const { return outputBar_; }
    CWorkPad* getWorkPad() const { return workPad_; }
    QMdiArea* getMdiArea() const { return mdiArea_; }
    QSystemTrayIcon* getTrayIcon() const { return trayIcon_; }
    void setTrayIcon(QSystemTrayIcon* icon);
    QToolBar* getChannelsToolBar() const { return channelsToolBar_; }
    QToolBar* getGeneralToolBar() const { return generalToolBar_; }
    QLabel* getCaptionBar() const { return captionBar_; }

    void bringToFront();
    // Closes the window without the tray question or the exit confirmation:
    // the end of the session.
    void closeWithoutQuestions();
    // The menu of a child window's tab (channel, plug-in and simple-browser
    // windows), or null for a window that has none.
    QMenu* createMdiTabMenu(QMdiSubWindow* child, QWidget* parent);
    void setCaptionBarText(const std::string& text);
    void updateCaptionBar();
    void applyCaptionBarLook();
    void showWorkPad(bool show);
    // Destroys every child window.
    void closeAllWindows();
    // Destroys every child window but `keep`.
    void closeOtherWindows(QWidget* keep);
    void setMdiTabs(bool tabs, bool top);
    // The road from the global options to the running program, taken at
    // start-up and on every GlobalOptionsChanged: the engine's part
    // (applyOptionsToEngine), then the window layout of UiHandlerType (a
    // change closes the old layout's windows), every child window closed
    // when the plug-in server moved to another port (their pages address the
    // old one), the MDI tabs and the caption bar's look. The other windows
    // restyle themselves on GlobalOptionsChanged.
    void applyGlobalOptions();

    // The one-second timer's work.
    void notificationTimerProc();
    bool isTimerActive() const;

    std::string getDescription() const override { return "[CMainFrame]"; }
    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent& event) override;
    void onChannelConfigChanged(ChannelConfigChangedUiEvent& event) override;
    void onChannelViewActivated(ChannelViewActivatedUiEvent& event) override;
    void onAppPluginViewActivated(AppPluginViewActivatedUiEvent& event) override;
    void onSimpleBrowserViewActivated(SimpleBrowserViewActivatedUiEvent& event) override;

signals:
    // The window is closing for good (the program ends).
    void closing();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using UpdateRule = std::function<void(QAction& action)>;
    // A command of the frame: its action runs the handler (an exception is
    // reported, never passed on) and the rule gives its state.
    QAction* defineCommand(int id, const QString& text, std::function<void()> handler, UpdateRule rule = {});
    void installCommands();
    void installDynamicCommands();
    void buildMenus();
    void buildToolBars();
    void fillFavoritesMenu(QMenu* menu);
    void fillToolsMenu(QMenu* menu);
    void fillCategoriesPlaceholder(QMenu* menu, QAction* placeholder);
    void fillHookCommandsPlaceholder(QMenu* menu, QAction* placeholder);
    void fillToolbarsMenu(QMenu* menu);
    void runHookCommand(int id);
    // What a WM_COMMAND does: runs the command whatever its state.
    void executeCommand(int id);
    QWidget* activeChildFrame() const;
    void deleteChannel();
    void openProperties();
    void openNextChannel();
    void openSelected();
    void showWindowList();
    void arrangeIcons();
    void showHelp();
    void toggleDock(QDockWidget* bar);

    std::intptr_t dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void installMessageHandlers();
    void tryCreateTrayIcon();
    void reportTimerError(const std::string& what, const std::string& message);

    QtDispatcher* dispatcher_ = nullptr;
    platform::messages::Handle handle_ = 0;
    std::map<int, QAction*> commands_;
    std::map<int, UpdateRule> updateRules_;
    std::map<QString, QMenu*> menus_;
    // What the dynamic items of the last menus stand for: categories
    // (129-148), user tools (189-208) and hook commands (from 61440).
    std::map<int, std::string> categoryMap_;
    std::map<int, std::shared_ptr<UserTool>> userToolMap_;
    struct HookCommand {
        std::uintptr_t channelCookie;
        std::uintptr_t hookCookie;
        std::string commandName;
        QAction* action;
    };
    std::map<int, HookCommand> hookCommandMap_;
    bool hasNewContentState_ = false;
    bool helpDialogOpen_ = false;
    bool closingWithoutQuestions_ = false;
    std::map<unsigned, MessageHandler> messageHandlers_;

    Setup setup_;
    QMdiArea* mdiArea_ = nullptr;
    QLabel* captionBar_ = nullptr;
    std::string captionText_;
    QToolBar* channelsToolBar_ = nullptr;
    QToolBar* generalToolBar_ = nullptr;
    CWorkspaceBar* workspaceBar_ = nullptr;
    COutputBar* outputBar_ = nullptr;
    CWorkPad* workPad_ = nullptr;
    QPointer<QSystemTrayIcon> trayIcon_;
    QTimer* trayRetryTimer_ = nullptr;
    int trayAttempt_ = 0;
    QTimer* timer_ = nullptr;
    bool timerBusy_ = false;
};

// The main window; null before it exists and once it is being destroyed.
// Safe to ask from any thread.
CMainFrame* getMainFrame();
bool isMainFrameCreated();
// The main window's handle; 0 while there is none. Safe from any thread.
platform::messages::Handle getMainWindowHandle();

// The flag that makes closing the main window end the program even where
// the window would otherwise only hide.
void setExitRequested(bool requested);
bool isExitRequested();
// Kept by the frame: whether the main window is maximised.
bool isMainWindowMaximized();

// The registered messages the main frame serves.
unsigned endChannelUpdateMsg();
unsigned logChannelActivityMsg();
unsigned logErrorMsgMsg();
unsigned startNewChannelWizardMsg();
unsigned addToReadMeListMsg();
unsigned relayDllChannelHookEventMsg();
unsigned relayDllChannelHookCommandMsg();
