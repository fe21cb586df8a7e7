#include "ui/frame/mainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTabBar>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <exception>

#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "app/core/seams.h"
#include "app/core/messageGroups.h"
#include "lib/log/messageLog.h"
#include "app/postedText.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/hooks/channelHook.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/hooks/dllChannelHookApi.h"
#include "tools/dates.h"
#include "ui/bars/workPad.h"
#include "ui/bars/workspaceBar.h"
#include "ui/channel/childWindowCommands.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/qtDispatcher.h"
#include "app/options/engineOptions.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/hints/hints.h"
#include "ui/appPlugin/appPluginWindow.h"
#include "ui/browser/pageFrame.h"
#include "ui/browser/simpleBrowser.h"
#include "ui/channel/channelFrame.h"
#include "widgets/helpers/windowUpdateLock.h"
#include "widgets/hotkeys/hotkeyBinding.h"
#include "ui/tray/systemTray.h"
#include "app/core/programPaths.h"

namespace msg = platform::messages;

namespace {

std::atomic<CMainFrame*> g_mainFrame{nullptr};
std::atomic<msg::Handle> g_mainWindowHandle{0};
std::atomic<bool> g_exitRequested{false};
bool g_mainWindowMaximized = false;

std::string pointerText(const void* p) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", p);
    return buffer;
}

}  // namespace

MainFrameServices& getMainFrameServices() {
    static MainFrameServices services;
    return services;
}

namespace {
#define ORVAN_FRAME_SERVICE(field)                                                                    \
    const seams::Registration g_##field##Seam(                                                        \
        "MainFrameServices::" #field, [] { return static_cast<bool>(getMainFrameServices().field); }, \
        [] { getMainFrameServices().field = nullptr; })
ORVAN_FRAME_SERVICE(getChannelManager);
ORVAN_FRAME_SERVICE(processNotifications);
ORVAN_FRAME_SERVICE(importViewedFeedItemUrls);
ORVAN_FRAME_SERVICE(generateDueReport);
ORVAN_FRAME_SERVICE(runNewChannelWizard);
ORVAN_FRAME_SERVICE(addToReadMeList);
ORVAN_FRAME_SERVICE(openChannelProperties);
ORVAN_FRAME_SERVICE(openFeedItem);
ORVAN_FRAME_SERVICE(createTrayIcon);
#undef ORVAN_FRAME_SERVICE
}  // namespace

CMainFrame* getMainFrame() { return g_mainFrame.load(); }
bool isMainFrameCreated() { return g_mainFrame.load() != nullptr; }
msg::Handle getMainWindowHandle() { return g_mainWindowHandle.load(); }
void setExitRequested(bool requested) { g_exitRequested.store(requested); }
namespace {
const ProgramObjectReset g_exitRequestedReset("ExitRequested", [] { setExitRequested(false); });
}  // namespace
bool isExitRequested() { return g_exitRequested.load(); }
bool isMainWindowMaximized() { return g_mainWindowMaximized; }

unsigned endChannelUpdateMsg() { return msg::registerMessage("EndChannelUpdate"); }
unsigned logChannelActivityMsg() { return msg::registerMessage("LogChannelActivity"); }
unsigned logErrorMsgMsg() { return msg::registerMessage("LogErrorMsg"); }
unsigned startNewChannelWizardMsg() { return msg::registerMessage("StartNewChannelWizard"); }
unsigned addToReadMeListMsg() { return msg::registerMessage("AddToReadMeList"); }
unsigned relayDllChannelHookEventMsg() { return msg::registerMessage("RelayDllChannelHookEvent"); }
unsigned relayDllChannelHookCommandMsg() { return msg::registerMessage("RelayDllChannelHookCommand"); }

CMainFrame::CMainFrame() {
    setObjectName(QStringLiteral("mainFrame"));
    dispatcher_ = new QtDispatcher(this);
    handle_ = msg::createWindow(*dispatcher_,
                                [this](unsigned m, std::uintptr_t w, std::intptr_t l) { return dispatch(m, w, l); });
    installMessageHandlers();
}

CMainFrame::~CMainFrame() {
    // First of all: no new event reaches the frame, and a thread waiting in a
    // send to it (a worker in a hook relay or an end of update) is released.
    CMainFrame* self = this;
    if (g_mainFrame.compare_exchange_strong(self, nullptr)) {
        g_mainWindowHandle.store(0);
        ui::removeHotkeyBinding();
        WindowUpdateLock::setMainFrame(nullptr);
    }
    msg::destroyWindow(handle_);
    dispatcher_->stop();
    if (timer_ != nullptr) timer_->stop();
    if (trayRetryTimer_ != nullptr) trayRetryTimer_->stop();
}

bool CMainFrame::create(const Setup& setup) {
    setup_ = setup;
    ORVAN_LOG(g_startupGroup) << "Entered CMainFrame::OnCreate()" << std::endl;
    setWindowTitle(QString::fromStdString(setup.appName));
    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    mdiArea_ = new QMdiArea(client);
    mdiArea_->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(client);

    ORVAN_LOG(g_startupGroup) << "Enabling Office XP look." << std::endl;
    ORVAN_LOG(g_startupGroup) << "Enabling quick customization." << std::endl;
    ORVAN_LOG(g_startupGroup) << "Creating the menu bar." << std::endl;
    menuBar()->setObjectName(QStringLiteral("menuBar"));

    ORVAN_LOG(g_startupGroup) << "Loading the toolbars." << std::endl;
    channelsToolBar_ = addToolBar(QStringLiteral("Channels"));
    channelsToolBar_->setObjectName(QStringLiteral("channelsToolBar"));
    generalToolBar_ = addToolBar(QStringLiteral("General"));
    generalToolBar_->setObjectName(QStringLiteral("generalToolBar"));

    ORVAN_LOG(g_startupGroup) << "Creating the status bar." << std::endl;
    statusBar()->setObjectName(QStringLiteral("statusBar"));

    ORVAN_LOG(g_startupGroup) << "Creating the workspace bar." << std::endl;
    workspaceBar_ = new CWorkspaceBar(this);
    ORVAN_LOG(g_startupGroup) << "Creating the output bar." << std::endl;
    outputBar_ = new COutputBar(this);
    if (!outputBar_->create(setup.logsDir, setup.activityLog, setup.errorLog)) {
        ORVAN_LOG_ANY() << "Can't open the activity and error log files in " << setup.logsDir << std::endl;
    }
    ORVAN_LOG(g_startupGroup) << "Creating the workpad." << std::endl;
    workPad_ = new CWorkPad(this);

    ORVAN_LOG(g_startupGroup) << "Enabling docking." << std::endl;
    workspaceBar_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    outputBar_->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    workPad_->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);

    ORVAN_LOG(g_startupGroup) << "Creating the caption bar." << std::endl;
    captionBar_ = new QLabel(client);
    captionBar_->setObjectName(QStringLiteral("captionBar"));
    captionBar_->setFrameShape(QFrame::Box);
    captionBar_->setLineWidth(1);
    captionBar_->setAutoFillBackground(true);
    clientLayout->addWidget(captionBar_);
    clientLayout->addWidget(mdiArea_, 1);
    applyCaptionBarLook();

    ORVAN_LOG(g_startupGroup) << "Docking the control bars." << std::endl;
    addDockWidget(Qt::LeftDockWidgetArea, workspaceBar_);
    addDockWidget(Qt::BottomDockWidgetArea, outputBar_);
    addDockWidget(Qt::BottomDockWidgetArea, workPad_);
    outputBar_->hide();
    workPad_->hide();

    ORVAN_LOG(g_startupGroup) << "Initializing the user toolbars." << std::endl;
    ORVAN_LOG(g_startupGroup) << "Enabling the window manager." << std::endl;
    ORVAN_LOG(g_startupGroup) << "Loading additional toolbar images." << std::endl;
    ORVAN_LOG(g_startupGroup) << "Updating the caption bar." << std::endl;
    updateCaptionBar();

    // Every command of the menus, toolbars and context menus (the child
    // windows' commands run in the active child window), then the menus and
    // toolbar buttons that show them.
    installCommands();
    installChildWindowCommands(*this);
    installDynamicCommands();
    buildMenus();
    buildToolBars();

    // Where no tray host runs, the attempts go on in the background and the
    // program runs without the icon.
    trayAttempt_ = 0;
    tryCreateTrayIcon();

    ORVAN_LOG(g_startupGroup) << "Starting the notification balloon timer." << std::endl;
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] { notificationTimerProc(); });
    timer_->start();

    g_mainFrame.store(this);
    g_mainWindowHandle.store(handle_);
    WindowUpdateLock::setMainFrame(this);
    // The user's hotkeys become the frame's commands, ahead of every
    // widget's own keys.
    ui::installHotkeyBinding([this](unsigned command) { runCommand(static_cast<int>(command)); });
    ORVAN_LOG(g_startupGroup) << "CMainFrame created OK." << std::endl;
    return true;
}

void CMainFrame::tryCreateTrayIcon() {
    ++trayAttempt_;
    ORVAN_LOG(g_startupGroup) << "Creating the system tray icon: attempt " << trayAttempt_ << std::endl;
    const auto& services = getMainFrameServices();
    bool created = false;
    try {
        if (services.createTrayIcon) {
            created = services.createTrayIcon(*this);
        } else {
            seams::missing("MainFrameServices::createTrayIcon");
        }
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "Can't create the tray icon: " << e.what() << std::endl;
    }
    if (created) {
        if (trayRetryTimer_ != nullptr) trayRetryTimer_->stop();
        return;
    }
    if (trayAttempt_ >= setup_.trayAttempts) {
        if (trayRetryTimer_ != nullptr) trayRetryTimer_->stop();
        ORVAN_LOG_ANY() << "Couldn't create the tray icon - running without one." << std::endl;
        return;
    }
    if (trayRetryTimer_ == nullptr) {
        trayRetryTimer_ = new QTimer(this);
        trayRetryTimer_->setSingleShot(true);
        connect(trayRetryTimer_, &QTimer::timeout, this, [this] { tryCreateTrayIcon(); });
    }
    trayRetryTimer_->start(setup_.trayRetryMs);
}

void CMainFrame::setTrayIcon(QSystemTrayIcon* icon) { trayIcon_ = icon; }

QAction* CMainFrame::addCommand(int id, const QString& text) {
    auto it = commands_.find(id);
    if (it != commands_.end()) return it->second;
    auto* action = new QAction(text, this);
    action->setProperty("commandId", id);
    commands_[id] = action;
    return action;
}

QAction* CMainFrame::getCommand(int id) const {
    auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : it->second;
}

bool CMainFrame::runCommand(int id) {
    // The hook commands of the last menu come first.
    if (hookCommandMap_.count(id) != 0) {
        runHookCommand(id);
        return true;
    }
    QAction* action = getCommand(id);
    if (action == nullptr) return false;
    updateCommandUi(id);
    if (!action->isEnabled()) return false;
    action->trigger();
    return true;
}

void CMainFrame::executeCommand(int id) {
    if (hookCommandMap_.count(id) != 0) {
        runHookCommand(id);
        return;
    }
    QAction* action = getCommand(id);
    if (action == nullptr) return;
    // A command message reaches its handler whatever the item's state; the
    // handler beeps when it finds nothing to act on.
    if (!action->isEnabled()) {
        action->setEnabled(true);
        action->trigger();
        updateCommandUi(id);
        return;
    }
    action->trigger();
}

void CMainFrame::setMessageHandler(unsigned m, MessageHandler handler) { messageHandlers_[m] = std::move(handler); }

std::intptr_t CMainFrame::dispatch(unsigned m, std::uintptr_t wParam, std::intptr_t lParam) {
    // No exception leaves the message handlers: it is logged and shown in the
    // Errors tab.
    try {
        if (m == msg::WM_COMMAND) {
            executeCommand(static_cast<int>(wParam & 0xFFFF));
            return 0;
        }
        auto it = messageHandlers_.find(m);
        if (it == messageHandlers_.end() || !it->second) return 0;
        return it->second(wParam, lParam);
    } catch (const std::exception& e) {
        reportTimerError("Error while handling a window message.", e.what());
    } catch (...) {
        reportTimerError("Error while handling a window message.", "unknown exception");
    }
    return 0;
}

void CMainFrame::reportTimerError(const std::string& what, const std::string& message) {
    ORVAN_LOG_ANY() << "ERROR: " << what << " " << message << std::endl;
    if (outputBar_ != nullptr) {
        outputBar_->addErrorMessage(tools::formatDateTime(std::time(nullptr)) + " | " + what + " " + message + "\r\n");
    }
}

void CMainFrame::installMessageHandlers() {
    setMessageHandler(endChannelUpdateMsg(), [](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
        const auto* event = reinterpret_cast<const channels::EndChannelUpdateEvent*>(lParam);
        if (event != nullptr && event->getUpdatedOk() && isUiHandlerSet()) {
            getUiHandler()->fireChannelFeedUpdated(event->getChannel(), event->isRequestedUpdate());
        }
        return 0;
    });
    setMessageHandler(logChannelActivityMsg(), [this](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
        const std::string text = takePostedText(lParam);
        if (outputBar_ != nullptr) outputBar_->addActivityMessage(text);
        return 0;
    });
    setMessageHandler(logErrorMsgMsg(), [this](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
        const std::string text = takePostedText(lParam);
        if (outputBar_ != nullptr) outputBar_->addErrorMessage(text);
        return 0;
    });
    setMessageHandler(startNewChannelWizardMsg(), [this](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
        const std::string url = takePostedText(lParam);
        bringToFront();
        if (getMainFrameServices().runNewChannelWizard) {
            getMainFrameServices().runNewChannelWizard(url);
        } else {
            seams::missing("MainFrameServices::runNewChannelWizard");
        }
        return 0;
    });
    setMessageHandler(addToReadMeListMsg(), [](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
        const std::string url = takePostedText(lParam);
        if (getMainFrameServices().addToReadMeList) {
            getMainFrameServices().addToReadMeList(url);
        } else {
            seams::missing("MainFrameServices::addToReadMeList");
        }
        return 0;
    });
    setMessageHandler(relayDllChannelHookEventMsg(), [](std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
        ORVAN_LOG(g_channelHookCallbacksGroup) << "OnRelayDllChannelHookEventMsg()" << std::endl;
        auto* hook = reinterpret_cast<channels::DllChannelHook*>(wParam);
        const auto* args = reinterpret_cast<const channels::HookCallArgs*>(lParam);
        return hook != nullptr && args != nullptr && hook->callProcessEvent(*args) ? 1 : 0;
    });
    setMessageHandler(relayDllChannelHookCommandMsg(),
                      [](std::uintptr_t wParam, std::intptr_t lParam) -> std::intptr_t {
                          ORVAN_LOG(g_channelHookCallbacksGroup) << "OnRelayDllChannelHookCommandMsg()" << std::endl;
                          auto* hook = reinterpret_cast<channels::DllChannelHook*>(wParam);
                          const auto* args = reinterpret_cast<const channels::HookCallArgs*>(lParam);
                          return hook != nullptr && args != nullptr && hook->callProcessCommand(*args) ? 1 : 0;
                      });

    auto findChannel = [](std::uintptr_t cookie) -> channels::Channel* {
        channels::ChannelManager* manager = nullptr;
        if (getMainFrameServices().getChannelManager) {
            manager = getMainFrameServices().getChannelManager();
        } else {
            seams::missing("MainFrameServices::getChannelManager");
        }
        channels::Channel* channel = manager != nullptr ? channels::findChannelByCookie(*manager, cookie) : nullptr;
        ORVAN_LOG(g_channelHookCallbacksGroup) << "Found channel: " << pointerText(channel) << std::endl;
        return channel;
    };
    setMessageHandler(
        channels::kSaveChannelHookSettingsMsg, [findChannel](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
            const auto* record = reinterpret_cast<const ChannelHookCallbackCookies*>(lParam);
            ORVAN_LOG(g_channelHookCallbacksGroup) << "CHANNEL HOOK CALLBACK: SaveChannelHookSettings" << std::endl;
            if (record == nullptr) return 0;
            ORVAN_LOG(g_channelHookCallbacksGroup)
                << "- hChannelCookie=" << record->hChannelCookie
                << " ; hChannelHookCookie=" << record->hChannelHookCookie << std::endl;
            channels::Channel* channel = findChannel(record->hChannelCookie);
            if (channel == nullptr) return 0;
            ORVAN_LOG(g_channelHookCallbacksGroup) << "Saving channel." << std::endl;
            channel->save();
            ORVAN_LOG(g_channelHookCallbacksGroup) << "Event processed OK." << std::endl;
            return 0;
        });
    setMessageHandler(
        channels::kOpenChannelPropertiesMsg,
        [this, findChannel](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
            const auto* record = reinterpret_cast<const ChannelHookCallbackCookies*>(lParam);
            ORVAN_LOG(g_channelHookCallbacksGroup) << "CHANNEL HOOK CALLBACK: OpenChannelProperties" << std::endl;
            if (record == nullptr) return 0;
            ORVAN_LOG(g_channelHookCallbacksGroup) << "- hChannelCookie=" << record->hChannelCookie << std::endl;
            channels::Channel* channel = findChannel(record->hChannelCookie);
            if (channel == nullptr) return 0;
            ORVAN_LOG(g_channelHookCallbacksGroup)
                << "- hChannelHookCookie=" << record->hChannelHookCookie << std::endl;
            // Held while the sheet runs, whatever happens to the hook meanwhile.
            channels::ChannelHookRef hook;
            if (record->hChannelHookCookie != 0) {
                hook = channels::findChannelHookByCookie(*channel, record->hChannelHookCookie);
                if (!hook) return 0;
            }
            ORVAN_LOG(g_channelHookCallbacksGroup) << "Opening the channel properties dialog." << std::endl;
            bringToFront();
            if (getMainFrameServices().openChannelProperties) {
                getMainFrameServices().openChannelProperties(channel, hook.get());
            } else {
                seams::missing("MainFrameServices::openChannelProperties");
            }
            ORVAN_LOG(g_channelHookCallbacksGroup) << "Event processed OK." << std::endl;
            return 0;
        });
    setMessageHandler(
        channels::kUpdateChannelMsg, [findChannel](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
            const auto* record = reinterpret_cast<const ChannelHookCallbackCookies*>(lParam);
            ORVAN_LOG(g_channelHookCallbacksGroup) << "CHANNEL HOOK CALLBACK: UpdateChannel" << std::endl;
            if (record == nullptr) return 0;
            ORVAN_LOG(g_channelHookCallbacksGroup) << "- hChannelCookie=" << record->hChannelCookie << std::endl;
            channels::Channel* channel = findChannel(record->hChannelCookie);
            if (channel == nullptr) return 0;
            ORVAN_LOG(g_channelHookCallbacksGroup) << "Requesting channel update." << std::endl;
            channel->requestUpdate();
            ORVAN_LOG(g_channelHookCallbacksGroup) << "Event processed OK." << std::endl;
            return 0;
        });
    setMessageHandler(channels::kOpenFeedItemMsg, [findChannel](std::uintptr_t, std::intptr_t lParam) -> std::intptr_t {
        const auto* record = reinterpret_cast<const ChannelHookOpenFeedItemArgs*>(lParam);
        ORVAN_LOG(g_channelHookCallbacksGroup) << "CHANNEL HOOK CALLBACK: OpenFeedItem" << std::endl;
        if (record == nullptr) return 0;
        const std::string id = record->feedItemId != nullptr ? record->feedItemId : "";
        const std::string url = record->feedItemUrl != nullptr ? record->feedItemUrl : "";
        ORVAN_LOG(g_channelHookCallbacksGroup) << "- hChannelCookie=" << record->hChannelCookie
                                               << " ; feedItemId=" << id << " ; feedItemUrl=" << url << std::endl;
        channels::Channel* channel = findChannel(record->hChannelCookie);
        if (channel == nullptr) return 0;
        ORVAN_LOG(g_channelHookCallbacksGroup) << "Opening the specified feed item." << std::endl;
        if (!getMainFrameServices().openFeedItem) seams::missing("MainFrameServices::openFeedItem");
        if (!getMainFrameServices().openFeedItem || !getMainFrameServices().openFeedItem(channel, id, url)) {
            QApplication::beep();
        }
        ORVAN_LOG(g_channelHookCallbacksGroup) << "Event processed OK." << std::endl;
        return 0;
    });
}

void CMainFrame::notificationTimerProc() {
    if (!isMainFrameCreated() || timerBusy_) return;
    // A modal box shown by a step runs a nested loop: the timer's next ticks
    // wait until this one is done.
    timerBusy_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{timerBusy_};
    const auto& services = getMainFrameServices();
    try {
        if (services.processNotifications) {
            services.processNotifications();
        } else {
            seams::missing("MainFrameServices::processNotifications");
        }
    } catch (const std::exception& e) {
        reportTimerError("Can't show the notifications.", e.what());
    }
    try {
        if (services.importViewedFeedItemUrls) {
            services.importViewedFeedItemUrls();
        } else {
            seams::missing("MainFrameServices::importViewedFeedItemUrls");
        }
    } catch (const std::exception& e) {
        reportTimerError("Can't import the viewed URLs.", e.what());
    }
    try {
        if (services.generateDueReport) {
            services.generateDueReport();
        } else {
            seams::missing("MainFrameServices::generateDueReport");
        }
    } catch (const std::exception& e) {
        reportTimerError("Can't save the channel report configurations.", e.what());
    }
    // The toolbar buttons follow the state as menu items do when they open.
    try {
        updateCommandUi();
    } catch (const std::exception& e) {
        reportTimerError("Can't update the commands.", e.what());
    }
}

bool CMainFrame::isTimerActive() const { return timer_ != nullptr && timer_->isActive(); }

void CMainFrame::bringToFront() {
    if (getDebugSwitch("DisableBringToFront")) return;
    if (isMinimized()) showMinimized();
    if (g_mainWindowMaximized) {
        showMaximized();
    } else {
        showNormal();
    }
    raise();
    activateWindow();
}

void CMainFrame::setCaptionBarText(const std::string& text) {
    captionText_ = text;
    if (captionBar_ != nullptr) captionBar_->setText(QString::fromStdString(text));
    updateCaptionBar();
}

void CMainFrame::updateCaptionBar() {
    if (captionBar_ == nullptr) return;
    captionBar_->setVisible(GlobalOptions::instance().ShowCaptionBar && !captionText_.empty());
}

void CMainFrame::applyCaptionBarLook() {
    if (captionBar_ == nullptr) return;
    const GlobalOptions& options = GlobalOptions::instance();
    // Colours are stored as 0x00BBGGRR.
    const auto colour = [](int value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); };
    QFont font = captionBar_->font();
    if (!options.CaptionBarFontName.empty()) font.setFamily(QString::fromStdString(options.CaptionBarFontName));
    if (options.CaptionBarFontSize > 0) font.setPixelSize(options.CaptionBarFontSize);
    font.setItalic(options.CaptionBarItalics);
    captionBar_->setFont(font);
    QPalette palette = captionBar_->palette();
    palette.setColor(QPalette::WindowText, colour(options.CaptionBarFgdCol));
    palette.setColor(QPalette::Window, colour(options.CaptionBarBgdCol));
    captionBar_->setPalette(palette);
}

void CMainFrame::showWorkPad(bool show) {
    if (workPad_ != nullptr) workPad_->setVisible(show);
}

void CMainFrame::closeAllWindows() {
    // The switch turns the update lock off for this operation.
    std::unique_ptr<WindowUpdateLock> lock;
    if (!getDebugSwitch("DisableBcgFlickerHack")) lock = std::make_unique<WindowUpdateLock>(this);
    closeOtherWindows(nullptr);
}

void CMainFrame::closeOtherWindows(QWidget* keep) {
    if (mdiArea_ == nullptr) return;
    for (QMdiSubWindow* child : mdiArea_->subWindowList()) {
        if (child == keep || child->widget() == keep) continue;
        child->setAttribute(Qt::WA_DeleteOnClose);
        child->close();
    }
}

void CMainFrame::setMdiTabs(bool tabs, bool top) {
    if (mdiArea_ == nullptr) return;
    if (tabs) {
        mdiArea_->setViewMode(QMdiArea::TabbedView);
        mdiArea_->setTabPosition(top ? QTabWidget::North : QTabWidget::South);
        if (auto* tabBar = mdiArea_->findChild<QTabBar*>(QString(), Qt::FindDirectChildrenOnly)) {
            tabBar->installEventFilter(this);
        }
    } else {
        mdiArea_->setViewMode(QMdiArea::SubWindowView);
    }
}

void CMainFrame::applyGlobalOptions() {
    const GlobalOptions& options = GlobalOptions::instance();
    if (applyOptionsToEngine().pluginPortMoved) closeAllWindows();
    if (isUiHandlerSet()) setUiHandler(options.UiHandlerType != 0);
    if (isUiHandlerSet() && getUiHandler()->isSdi()) {
        setMdiTabs(false, false);
    } else {
        const int tabs = options.MdiTabs;  // 0 bottom, 1 top, other: none
        setMdiTabs(tabs == 0 || tabs == 1, tabs == 1);
    }
    applyCaptionBarLook();
}

void CMainFrame::onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) { applyGlobalOptions(); }

void CMainFrame::onChannelConfigChanged(ChannelConfigChangedUiEvent&) {
    QMdiSubWindow* active = mdiArea_ != nullptr ? mdiArea_->activeSubWindow() : nullptr;
    if (active != nullptr && active->property("channelFrame").toBool()) {
        setCaptionBarText(active->windowTitle().toStdString());
    }
}

void CMainFrame::onChannelViewActivated(ChannelViewActivatedUiEvent& event) {
    if (event.getFrame() != nullptr) setCaptionBarText(event.getFrame()->windowTitle().toStdString());
}

void CMainFrame::onAppPluginViewActivated(AppPluginViewActivatedUiEvent& event) {
    if (event.getFrame() != nullptr) setCaptionBarText(event.getFrame()->windowTitle().toStdString());
}

void CMainFrame::onSimpleBrowserViewActivated(SimpleBrowserViewActivatedUiEvent& event) {
    if (event.getFrame() != nullptr) setCaptionBarText(event.getFrame()->windowTitle().toStdString());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    const bool exitRequested = isExitRequested();
    setExitRequested(false);
    GlobalOptions& options = GlobalOptions::instance();
    if (!closingWithoutQuestions_) {
        if (options.RunAsSystemTrayApp && !getDebugSwitch("DisableSystemTrayAppExitCheck") && !exitRequested) {
            // Closing a notification-area program only hides its window,
            // unless the user changes back to a normal program.
            event->ignore();
            const int answer = dialogs::CHintDlg("RunAsSystemTrayApp", this).DoModal();
            if (answer == dialogs::IDCANCEL) return;
            if (answer == dialogs::IDYES) {
                options.RunAsSystemTrayApp = false;
                return;
            }
            showMinimized();
            hide();
            return;
        }
        if (dialogs::isHintEnabled("ConfirmExit")) {
            if (isMinimized() || isHidden()) bringToFront();
            if (dialogs::CHintDlg("ConfirmExit", this).DoModal() != dialogs::IDOK) {
                event->ignore();
                return;
            }
        }
    }
    setCaptionBarText("");
    if (timer_ != nullptr) timer_->stop();
    if (trayRetryTimer_ != nullptr) trayRetryTimer_->stop();
    event->accept();
    emit closing();
}

void CMainFrame::closeWithoutQuestions() {
    closingWithoutQuestions_ = true;
    close();
    closingWithoutQuestions_ = false;
}

bool CMainFrame::event(QEvent* event) {
    // Every return to the main window announces its active child window
    // again (a channel window's last view time moves on).
    if (event->type() == QEvent::WindowActivate && isUiHandlerSet() && mdiArea_ != nullptr) {
        QMdiSubWindow* child = mdiArea_->currentSubWindow();
        if (auto* channelFrame = dynamic_cast<CChannelMdiChildWnd*>(child)) {
            getUiHandler()->fireChannelViewActivated(channelFrame->getChannel(), channelFrame, true);
        } else if (auto* pluginFrame = dynamic_cast<CAppPluginMdiChildWnd*>(child)) {
            getUiHandler()->fireAppPluginViewActivated(pluginFrame->getAppPlugin(), pluginFrame, true);
        } else if (auto* browserFrame = dynamic_cast<CSimpleBrowserMdiChildWnd*>(child)) {
            getUiHandler()->fireSimpleBrowserViewActivated(browserFrame, true);
        }
    }
    return QMainWindow::event(event);
}

QMenu* CMainFrame::createMdiTabMenu(QMdiSubWindow* child, QWidget* parent) {
    std::vector<int> ids;
    int menuId = 0;
    if (dynamic_cast<CChannelMdiChildWnd*>(child) != nullptr) {
        menuId = kMenuChannelWindow;
    } else if (auto* page = dynamic_cast<CPageMdiChildWnd*>(child)) {
        menuId = page->getMdiTabMenuId();
    }
    switch (menuId) {
        case kMenuSimpleBrowserWindow:
            ids = {kCmdShowNavBar, 0, kCmdClose};
            break;
        case kMenuPluginWindow:
            ids = {kCmdProperties, kCmdShowNavBar, 0, kCmdClose};
            break;
        case kMenuChannelWindow:
            ids = {kCmdUpdateNow, 0, kCmdProperties, kCmdShowSummary, kCmdShowNavBar, kCmdViewLastFeed, 0, kCmdClose};
            break;
        default:
            break;
    }
    if (ids.empty()) return nullptr;
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mdiTabMenu"));
    for (int id : ids) {
        if (id == 0) {
            menu->addSeparator();
        } else if (QAction* action = getCommand(id)) {
            menu->addAction(action);
        }
    }
    onShowPopupMenu(menu);
    return menu;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // The context menu of the child windows' tabs: the tab under the mouse
    // becomes the active window, then its menu shows.
    auto* tabBar = qobject_cast<QTabBar*>(watched);
    if (event->type() == QEvent::ContextMenu && tabBar != nullptr && mdiArea_ != nullptr &&
        tabBar->parent() == mdiArea_) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        const int index = tabBar->tabAt(menuEvent->pos());
        const QList<QMdiSubWindow*> children = mdiArea_->subWindowList();
        if (index < 0 || index >= children.size()) return true;
        QMdiSubWindow* child = children[index];
        std::unique_ptr<QMenu> menu(createMdiTabMenu(child, this));
        if (!menu) return true;
        mdiArea_->setActiveSubWindow(child);
        menu->exec(menuEvent->globalPos());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (!isMinimized()) {
            g_mainWindowMaximized = isMaximized();
        } else if (GlobalOptions::instance().RunAsSystemTrayApp) {
            // A notification-area program lives on as its icon.
            QTimer::singleShot(0, this, [this] {
                if (isMinimized()) hide();
            });
        }
    }
    // The user looks at the window: the tray icon finishes its animation.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !getDebugSwitch("DisableTavrelMode")) {
        stopTrayAnimation();
    }
    QMainWindow::changeEvent(event);
}
