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
#include <string>

#include "platform/messages.h"
#include "ui/events/uiEvent.h"
#include "ui/frame/outputBar.h"

class QLabel;
class QMdiArea;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class CWorkspaceBar;
class CWorkPad;
class QtDispatcher;
class CMainFrame;

namespace channels {
class Channel;
class ChannelHook;
class ChannelManager;
}  // namespace channels

// What other parts of the desktop provide to the main frame; each may be
// missing until that part is present (the step is then skipped).
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
        bool showCaptionBar = true;
        QString captionFontName;
        int captionFontSize = 0;
        bool captionItalics = false;
        QColor captionForeground;
        QColor captionBackground;
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
    // Triggers the command's action; false when there is none or it is
    // disabled.
    bool runCommand(int id);

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
    void setCaptionBarText(const std::string& text);
    void updateCaptionBar();
    void applyCaptionBarLook();
    void showWorkPad(bool show);
    // Destroys every child window.
    void closeAllWindows();
    // Destroys every child window but `keep`.
    void closeOtherWindows(QWidget* keep);
    void setShowCaptionBar(bool show);
    void setMdiTabs(bool tabs, bool top);

    // The one-second timer's work.
    void notificationTimerProc();
    bool isTimerActive() const;

    std::string getDescription() const override { return "[CMainFrame]"; }
    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent& event) override;
    void onChannelConfigChanged(ChannelConfigChangedUiEvent& event) override;
    void onChannelViewActivated(ChannelViewActivatedUiEvent& event) override;
    void onAppPluginViewActivated(AppPluginViewActivatedUiEvent& event) override;
    void onSimpleBrowserViewActivated(SimpleBrowserViewActivatedUiEvent& event) override;

    // What the layout options say: read by onGlobalOptionsChanged.
    struct Layout {
        int mdiTabs = 0;  // 0 bottom, 1 top, other: none
    };
    void setLayout(const Layout& layout) { layout_ = layout; }

signals:
    // The window is closing for good (the program ends).
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::intptr_t dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    void installMessageHandlers();
    void tryCreateTrayIcon();
    void reportTimerError(const std::string& what, const std::string& message);

    QtDispatcher* dispatcher_ = nullptr;
    platform::messages::Handle handle_ = 0;
    std::map<int, QAction*> commands_;
    std::map<unsigned, MessageHandler> messageHandlers_;

    Setup setup_;
    Layout layout_;
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
