#include "desktop/mendrelApp.h"

#include <QApplication>
#include <QDir>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "app/core/branding.h"
#include "app/core/commandIds.h"
#include "app/core/messageGroups.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/core/singleInstance.h"
#include "desktop/browserContextMenu.h"
#include "desktop/desktopWiring.h"
#include "desktop/inputState.h"
#include "app/listeners/localPortListener.h"
#include "app/misc/programFiles.h"
#include "app/options/channelReportConfig.h"
#include "app/options/globalOptions.h"
#include "app/core/notificationSink.h"
#include "desktop/terminationRequest.h"
#include "desktop/webEngineSandbox.h"
#include "app/postedText.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/hooks/channelHook.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/plugin/scriptingEngine.h"
#include "widgets/base/messageBox.h"
#include "dialogs/small/shuttingDownDlg.h"
#include "dialogs/wizard/newChannelWizard.h"
#include "lib/log/messageLog.h"
#include "lib/log/messageLogInit.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"
#include "platform/registry.h"
#include "ui/appPlugin/appPluginWindow.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/bars/workspaceBar.h"
#include "ui/browser/pluginServerAccess.h"
#include "ui/browser/simpleBrowser.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/openers.h"
#include "ui/notify/notificationQueue.h"
#include "ui/tray/systemTray.h"

namespace msg = platform::messages;

namespace {

CMendrelApp* g_app = nullptr;

// The application server's port.
constexpr int kAppServerPort = 2604;
// How long after start-up the web engine starts (see InitInstance).
constexpr int kWebEngineStartDelayMs = 1000;
// The main frame's command that shows the licence text.

#define STARTUP_LOG ORVAN_LOG(g_startupGroup)
#define SHUTDOWN_LOG ORVAN_LOG(g_shutdownGroup)

// Forgets a deleted channel's error count.
class DeletedChannelWatcher : public UiEventHandler {
public:
    explicit DeletedChannelWatcher(ChannelEventBridge& bridge) : bridge_(bridge) {}
    void onChannelDeleted(ChannelDeletedUiEvent& event) override { bridge_.forgetChannel(event.getChannel()); }
    std::string getDescription() const override { return "[CMendrelApp]"; }

private:
    ChannelEventBridge& bridge_;
};

// The program's own news feed, subscribed for a new user: on the program's
// web site as global.ini names it.
std::string newsFeedUrl() { return joinPath(programPaths().appHomeUrl, "news.rss"); }

}  // namespace

void CMendrelApp::requestTermination() {
    if (CMainFrame* frame = ::getMainFrame()) {
        setExitRequested(true);
        frame->closeWithoutQuestions();
    } else if (g_app != nullptr) {
        g_app->terminationPending_ = true;
    }
}

CMendrelApp& getApp() {
    static CMendrelApp app;
    return app;
}

CMendrelApp::CMendrelApp() {
    g_app = this;
    setWindowReader([] { return getMainWindowHandle(); });
    setOptionsReader([] {
        const GlobalOptions& options = GlobalOptions::instance();
        return Options{options.MaxNotificationBalloonNewFeedItems, options.MaxConsecutiveChannelUpdateErrors};
    });
    setUiPoster([](std::function<void()> task) {
        if (qApp != nullptr) QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
    });
}

CMendrelApp::~CMendrelApp() {
    // The global log outlives this object; the file and lock it was given
    // here do not.
    if (getMessageLog().getLock() == &logLock_) releaseMessageLog(getMessageLog());
    if (g_app == this) g_app = nullptr;
}

std::string CMendrelApp::getGreeting(int hour) {
    if (hour >= 4 && hour <= 9) return "Ohayo gozaimasu";
    if (hour >= 10 && hour <= 17) return "Konnichiwa";
    return "Kombanwa";
}

std::vector<std::string> CMendrelApp::splitDisabledAppPlugins(const std::string& value) {
    // A name ends at the first ","; only when the rest holds no "," does
    // it end at the first ";".
    std::vector<std::string> names;
    std::string rest = value;
    while (!rest.empty()) {
        std::size_t end = rest.find(',');
        if (end == std::string::npos) end = rest.find(';');
        std::string name = rest.substr(0, end);
        trimWhitespace(name);
        if (!name.empty()) names.push_back(name);
        if (end == std::string::npos) break;
        rest = rest.substr(end + 1);
    }
    return names;
}

bool CMendrelApp::InitInstance() {
    exitCode_ = 0;
    STARTUP_LOG << "--- INIT INSTANCE ---" << std::endl;
    ProgramPaths& paths = programPaths();
    paths.programDir = findProgramDirectory();
    // Lines for the log, written once it is open (it lives in the user's
    // folder, which is chosen here).
    std::vector<std::string> notes;
    if (isWebEngineSandboxOffForRoot()) notes.push_back("Running as root: Qt WebEngine runs without its sandbox.");
    const std::string userName = chooseUserName(paths.programDir, &notes);
    initProgramPaths(userName);
    createUsersDirectory();
    STARTUP_LOG << "Set users directory: " << paths.usersDir << std::endl;
    STARTUP_LOG << "Set the user name: " << userName << std::endl;
    channels::getScriptingEngine().setUserConfigFilename(paths.userConfigFile);
    STARTUP_LOG << "Reading file version info." << std::endl;
    QCoreApplication::setApplicationName(QString::fromStdString(paths.appName));
    STARTUP_LOG << "Set the app name: " << paths.appName << std::endl;
    readGlobalConfig();

    // The single-instance test comes before anything is written: a second
    // start must leave the running copy's log and build information alone.
    singleInstance_ = std::make_unique<SingleInstance>(paths.appName);
    switch (singleInstance_->start(getDebugSwitch("AllowMultipleInstances"))) {
        case SingleInstance::Started:
            // The end of the session closes the window as the user would; one
            // that comes while the program starts waits for the window.
            installTerminationRequest([] { requestTermination(); });
            break;
        case SingleInstance::HandedOver:
            STARTUP_LOG << "Orvan is already running - the running copy shows its main window." << std::endl;
            singleInstance_.reset();
            return false;
        case SingleInstance::Busy:
            ORVAN_LOG_ANY() << "Can't start: another program works on the user's files." << std::endl;
            exitCode_ = 1;
            singleInstance_.reset();
            return false;
        case SingleInstance::Failed:
            ORVAN_LOG_ANY() << "Can't create the Orvan file mapping - exiting. " << singleInstance_->error()
                            << std::endl;
            exitCode_ = 1;
            singleInstance_.reset();
            return false;
    }

    // A folder that an earlier orvan kept in the program directory moves
    // once; then whether the user's directory exists is decided, before
    // anything of the user's is made.
    if (std::string moved = moveOldUserDirectory(); !moved.empty()) notes.push_back(std::move(moved));
    const bool newUser = isNewUser();
    platform::files::setUserDirectory(paths.userDir);
    // The user's configuration file holds credentials: it is the owner's
    // alone. Request files that a killed run left behind may too.
    platform::files::keepOwnerOnly(paths.userConfigFile);
    tools::TempFile::removeFilesOfEndedProcesses();

    STARTUP_LOG << "Initializing the message log." << std::endl;
    getMessageLog().setThreadSafetyLock(&logLock_);
    {
        std::error_code error;
        std::filesystem::create_directories(paths.logsDir, error);
    }
    logFile_.open(joinPath(paths.logsDir, paths.appName + ".log"), std::ios::binary | std::ios::trunc);
    initMessageLog(logFile_, paths.userDebugIniFile);
    for (const std::string& note : notes) ORVAN_LOG_ANY() << note << std::endl;

    STARTUP_LOG << "Saving version string: " << paths.versionString << std::endl;
    try {
        writeBuildInfo();
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "ERROR: " << e.what() << std::endl;
    }
    initBrowseStartDirs();

    startupFlags().newUser = false;
    if (newUser) {
        STARTUP_LOG << "This is a new user - calling onNewUser()." << std::endl;
        if (!onNewUser()) {
            STARTUP_LOG << "ERROR: onNewUser() failed - exiting." << std::endl;
            exitCode_ = 1;
            takeDown();
            return false;
        }
    }
    createUserDirectories();

    const int timeout = getDebugSwitchValue("ThreadSafetyDebuggingTimeout");
    if (timeout > 0) {
        STARTUP_LOG << "Setting the thread-safety debugging timeout: " << timeout << std::endl;
        setThreadSafetyTimeout(static_cast<float>(timeout));
    }

    STARTUP_LOG << "Starting main initialization." << std::endl;
    loadBranding(newUser);

    // Every hook between the windows, the dialogs, the options and the
    // listeners, before anything can call one.
    wiring_ = std::make_unique<DesktopWiring>();
    wiring_->install();
    STARTUP_LOG << "Loading the global options." << std::endl;
    try {
        GlobalOptions::instance().load();
        STARTUP_LOG << "Global options loaded OK." << std::endl;
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "ERROR: Couldn't load the global options; " << e.what() << std::endl;
        dialogs::showMessage(nullptr,
                             QString::fromStdString("Couldn't load the global options.\n\n" + std::string(e.what())));
    }
    if (newUser) addBrandingUserTools();

    try {
        init1();
        init2();

        CWorkspaceBar* workspaceBar = mainFrame_->getWorkspaceBar();
        STARTUP_LOG << "Loading the My Channels window." << std::endl;
        workspaceBar->getMyChannelsWnd()->loadChannels();
        STARTUP_LOG << "- Channels listed: " << workspaceBar->getMyChannelsWnd()->rowCount() << std::endl;
        STARTUP_LOG << "Loading the Plugins window." << std::endl;
        workspaceBar->getAppPluginsWnd()->loadAppPlugins();
        // The tab the user left active (the Part's saved interface state).
        if (savedWindowState_.controlCenterTab == 1) {
            workspaceBar->activateAppPluginsTab();
        }
        const int channelCount = channelManager_->getChannelCount();
        STARTUP_LOG << "Channel table size: " << channelCount << std::endl;
        if (channelCount == 0) {
            channels::AppPluginManager& plugins = channels::getAppPluginManager();
            std::size_t pluginCount;
            {
                SharedLockGuard guard(&plugins.getLock(), __FILE__, __LINE__);
                pluginCount = plugins.getAppPlugins().size();
            }
            STARTUP_LOG << "App plugins table size: " << pluginCount << std::endl;
            if (pluginCount > 0 && workspaceBar->getActiveTab() != 1) {
                STARTUP_LOG << "Activating the Plugins tab." << std::endl;
                workspaceBar->activateAppPluginsTab();
            }
        }
        if (workspaceBar->getActiveTab() == 0) {
            STARTUP_LOG << "Activating the My Channels tab." << std::endl;
            workspaceBar->activateMyChannelsTab();
        }
        STARTUP_LOG << "Loading the read-me list." << std::endl;
        mainFrame_->getWorkPad()->getReadMeList()->load();
        STARTUP_LOG << "Starting the channel manager." << std::endl;
        channelManager_->startChannelManager();
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "Main initialization failed: " << e.what() << std::endl;
        dialogs::showMessage(nullptr, QString::fromStdString("Initialization failed.\n\n" + std::string(e.what())));
        exitCode_ = 1;
        takeDown();
        return false;
    }
    STARTUP_LOG << "Main initialization completed." << std::endl;

    if (!getDebugSwitch("NoWelcomeNotification")) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const std::string greeting = getGreeting(local.tm_hour);
        STARTUP_LOG << "Sending welcome notification: " << greeting << std::endl;
        getNotificationSink().queueSimple(greeting, paths.appName + " has started.", 5);
        STARTUP_LOG << "Processing queued notifications..." << std::endl;
        getNotificationSink().processNotifications();
        STARTUP_LOG << "- Notifications processed OK." << std::endl;
    }

    if (startupFlags().newUser) {
        STARTUP_LOG << "Showing the welcome page." << std::endl;
        showWelcomePage(true);
        STARTUP_LOG << "Showing the licence page." << std::endl;
        // The frame's licence command (none while the command table lacks it).
        mainFrame_->runCommand(kCmdLicence);
        STARTUP_LOG << "Activating the welcome page." << std::endl;
        if (CSimpleBrowserDoc* welcome =
                CSimpleBrowserDoc::openSimpleBrowserDoc("Welcome to " + paths.appName, false, false))
            welcome->activateFrame();
    }

    // The web engine (its profile, with the views' request filter) starts a
    // second after start-up, when the window is shown and idle, so the first
    // page the user opens does not wait for it.
    QTimer::singleShot(kWebEngineStartDelayMs, mainFrame_, [] { ui::installPluginServerAccess(); });

    // A request that came while the program was starting is served now.
    if (terminationPending_)
        QMetaObject::invokeMethod(
            mainFrame_, [] { requestTermination(); }, Qt::QueuedConnection);
    STARTUP_LOG << "Initialization completed OK - InitInstance() is returning." << std::endl;
    return true;
}

void CMendrelApp::init1() {
    STARTUP_LOG << "--- INIT 1 ---" << std::endl;
    STARTUP_LOG << "Initializing the registry." << std::endl;
    // The application server's port is fixed; global.ini may move it (the
    // tests run the program beside others).
    appServerPort_ =
        tools::getIniIntInRange(programPaths().globalIniFile, "Config", "AppServerPortNo", 1, 65535, kAppServerPort);
    installBrowserContextMenu(appServerPort_);
    STARTUP_LOG << "Registering our Window messages." << std::endl;
    registerAppMessages();
    // The mouse hook and the plug-in windows' openers came with the wiring.
    STARTUP_LOG << "Installing our mouse hook." << std::endl;
    STARTUP_LOG << "Initializing doc tmeplate: AppPlugin." << std::endl;
    STARTUP_LOG << "Initializing doc template: SimpleBrowser." << std::endl;

    STARTUP_LOG << "Creating the main frame." << std::endl;
    const ProgramPaths& paths = programPaths();
    const GlobalOptions& options = GlobalOptions::instance();
    // Colours are stored as 0x00BBGGRR.
    const auto colour = [](int value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); };
    CMainFrame::Setup setup;
    setup.appName = paths.appName;
    setup.logsDir = paths.logsDir;
    setup.activityLog = {options.MaxActivityLogMsgs, QString::fromStdString(options.ActivityLogFontName),
                         options.ActivityLogFontSize, colour(options.ActivityLogBgdCol)};
    setup.errorLog = {options.MaxErrorLogMsgs, QString::fromStdString(options.ErrorLogFontName),
                      options.ErrorLogFontSize, colour(options.ErrorLogBgdCol)};
    auto* frame = new CMainFrame;
    if (!frame->create(setup)) {
        delete frame;
        STARTUP_LOG << "ERROR: Can't load the main frame." << std::endl;
        throw std::runtime_error("Can't load the main frame window.");
    }
    mainFrame_ = frame;
    // The engine's library hooks run on this thread through the frame.
    channels::installChannelHookHost();
    channels::setDllChannelHookMessages(frame->getHandle(), static_cast<int>(appMessages().relayDllChannelHookEvent),
                                        static_cast<int>(appMessages().relayDllChannelHookCommand));

    // The window's placement and bars as the user left them.
    if (savedWindowState_.load(paths.appName)) savedWindowState_.applyTo(*frame);

    STARTUP_LOG << "Showing the main window." << std::endl;
    if (!options.StartMinimized) {
        frame->show();
    } else if (!options.RunAsSystemTrayApp) {
        frame->showMinimized();
    }

    STARTUP_LOG << "Saving the main frame window handle..." << std::endl;
    STARTUP_LOG << "- hWnd=" << frame->getHandle() << std::endl;
    const msg::Handle handle = frame->getHandle();
    singleInstance_->setCommandHandler([handle](unsigned command) {
        ORVAN_LOG_ANY() << "Command from another start: " << command << std::endl;
        msg::postMessage(handle, msg::WM_COMMAND, command, 0);
    });
    channels::DllChannelHook::setHostWindow(handle);

    STARTUP_LOG << "Installing the UI handler." << std::endl;
    setUiHandler(options.UiHandlerType != 0);
    STARTUP_LOG << "Adding a UI event handler: main frame." << std::endl;
    getUiHandler()->addEventHandler(frame);
    STARTUP_LOG << "Adding a UI event handler: workspace bar." << std::endl;
    getUiHandler()->addEventHandler(frame->getWorkspaceBar());
    STARTUP_LOG << "Adding a UI event handler: My Channels." << std::endl;
    getUiHandler()->addEventHandler(frame->getWorkspaceBar()->getMyChannelsWnd());
    STARTUP_LOG << "Adding a UI event handler: App Plugins." << std::endl;
    getUiHandler()->addEventHandler(frame->getWorkspaceBar()->getAppPluginsWnd());
    STARTUP_LOG << "Adding a UI event handler: Read-me list." << std::endl;
    getUiHandler()->addEventHandler(frame->getWorkPad()->getReadMeList());
    STARTUP_LOG << "Adding a UI event handler: tray icon." << std::endl;
    ui::registerTrayEventHandler();
    deletedChannelWatcher_ = std::make_unique<DeletedChannelWatcher>(*this);
    getUiHandler()->addEventHandler(deletedChannelWatcher_.get());
    STARTUP_LOG << "Notifying registered handlers of the global options." << std::endl;
    getUiHandler()->fireGlobalOptionsChanged();
    STARTUP_LOG << "init1() completed OK." << std::endl;
}

void CMendrelApp::init2() {
    STARTUP_LOG << "--- INIT 2 ---" << std::endl;
    const ProgramPaths& paths = programPaths();
    channels::AppPluginManager& plugins = channels::getAppPluginManager();
    std::string disabled = getDebugSwitchText("DisabledAppPlugins");
    trimWhitespace(disabled);
    for (const std::string& name : splitDisabledAppPlugins(disabled)) {
        STARTUP_LOG << "Disabling app plugin: " << name << std::endl;
        plugins.disableAppPlugin(name);
    }
    STARTUP_LOG << "Adding AppPlugin handler." << std::endl;
    plugins.addEventHandler(this);
    STARTUP_LOG << "Setting AppPlugin directory: " << paths.appPluginsDir << std::endl;
    plugins.setAppPluginDir(paths.appPluginsDir);
    STARTUP_LOG << "Loading app plugins." << std::endl;
    plugins.loadAppPlugins();

    STARTUP_LOG << "Initializing standard scripting parameters." << std::endl;
    channels::ScriptingEngine& engine = channels::getScriptingEngine();
    engine.setStandardParam("AppName", paths.appName);
    engine.setStandardParam("VersionString", paths.versionString);
    engine.setStandardParam("HttpUserAgent", paths.httpUserAgent);
    engine.setStandardParam("AppHomeUrl", paths.appHomeUrl);
    engine.setStandardParam("FeedbackEmailAddress", paths.feedbackEmailAddress);
    engine.setStandardParam("SupportEmailAddress", paths.supportEmailAddress);
    engine.setStandardParam("UserName", paths.userName);
    engine.setStandardParam("UserConfigFile", paths.userConfigFile);
    engine.setStandardParam("ChannelsDir", paths.channelsDir);
    engine.setStandardParam("AppPluginsDir", paths.appPluginsDir);

    STARTUP_LOG << "Initializing the channel manager." << std::endl;
    channels::ChannelManager::setDefaultHttpUserAgent(paths.httpUserAgent);
    GlobalOptions& options = GlobalOptions::instance();
    channels::ChannelSettings defaults(nullptr);
    if (options.DefaultChannelSettings) {
        defaults.assign(*options.DefaultChannelSettings, false);
    } else {
        defaults.setAutoUpdateEnabled(true);
    }
    channelManager_ = new channels::ChannelManager(options.HttpUserAgent, paths.channelsDir, paths.logsDir, defaults,
                                                   joinPath(paths.userDir, "DefaultChannelSummary.template"),
                                                   joinPath(paths.userDir, "DefaultChannelSummary.gif"));
    setChannelManager(channelManager_);
    channelManager_->setDebugConfigFilename(paths.userDebugIniFile);
    channelManager_->addEventHandler(this);
    // The options reach the engine as after every change of them, now that
    // the channel manager is there to take its share.
    STARTUP_LOG << "Applying the global options: script timeout " << options.ScriptTimeout
                << ", script file associations, channel manager." << std::endl;
    mainFrame_->applyGlobalOptions();

    STARTUP_LOG << "Starting the local port listeners." << std::endl;
    listeners::appServer().setPort(static_cast<unsigned>(appServerPort_));
    listeners::enableLocalPortListeners(false);

    channelManager_->loadChannels();

    STARTUP_LOG << "Loading the desktop settings for each channel." << std::endl;
    loadChannelDesktopSettings();

    STARTUP_LOG << "Starting the background thread." << std::endl;
    backgroundThread_ = std::make_unique<BackgroundThread>();
    backgroundThread_->start();
    STARTUP_LOG << "init2() completed OK." << std::endl;
}

void CMendrelApp::loadChannelDesktopSettings() {
    std::vector<channels::Channel*> channels;
    {
        SharedLockGuard guard(&channelManager_->getLock(), __FILE__, __LINE__);
        channels.assign(channelManager_->getChannels().begin(), channelManager_->getChannels().end());
    }
    for (channels::Channel* channel : channels) {
        const std::string file = channel->getConfigFilename();
        ChannelDesktopSettings* settings = getChannelDesktopSettingsTable().add(channel);
        STARTUP_LOG << "Loading channel desktop settings: " << file << std::endl;
        try {
            settings->load(file);
        } catch (const std::exception& e) {
            const std::string message = "Can't load the channel desktop settings for " + file;
            ORVAN_LOG_ANY() << "ERROR: " << message << " ; " << e.what() << std::endl;
            channels::ChannelErrorEvent event(std::time(nullptr), channel, message, e.what());
            channelManager_->raiseEvent(event);
        }
    }
}

bool CMendrelApp::onNewUser() {
    const ProgramPaths& paths = programPaths();
    std::error_code error;
    if (!std::filesystem::create_directories(paths.userDir, error) && !std::filesystem::is_directory(paths.userDir)) {
        dialogs::showMessage(nullptr,
                             QString::fromStdString("Can't create a new directory for user: " + paths.userDir));
        return false;
    }
    std::filesystem::create_directories(paths.channelsDir, error);
    std::filesystem::create_directories(paths.logsDir, error);
    // A starting file that can't be copied leaves the user without it (no
    // summary pages, a report that can't open its template): the user is
    // told once, with every file that failed, and start-up goes on.
    std::string failures;
    for (const char* name :
         {"DefaultChannelSummary.template", "DefaultChannelSummary.gif", "DefaultChannelReport.template",
          "CompactChannelReport.template", "ExportOpml.template", "MyBlogroll.template", "MetaChannel.template"}) {
        const std::string source = joinPath(joinPath(paths.programDir, "Resources"), name);
        const std::string target = joinPath(paths.userDir, name);
        std::error_code copyError;
        std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, copyError);
        if (copyError) {
            ORVAN_LOG_ANY() << "ERROR: Can't copy " << source << " to " << target << ": " << copyError.message()
                            << std::endl;
            failures += "\n" + source + " (" + copyError.message() + ")";
        }
    }
    if (!failures.empty()) {
        dialogs::showMessage(nullptr,
                             QString::fromStdString("Can't copy these starting files into the user's directory " +
                                                    paths.userDir + ":" + failures),
                             dialogs::MessageButtons::Ok, dialogs::MessageIcon::Warning);
    }
    const std::string newsChannel = joinPath(paths.channelsDir, "OrvanNews.rss");
    tools::writeIniString(newsChannel, "Config", "RssChannelUrl", newsFeedUrl());
    // A readable name until the first fetch brings the feed's own title (a
    // preferred name would hide that title for good).
    tools::writeIniString(newsChannel, "Cache", "ChannelDisplayName", paths.appName + " News");
    startupFlags().newUser = true;
    return true;
}

int CMendrelApp::ExitInstance() {
    if (exited_) return 0;
    if (mainFrame_ != nullptr) {
        MainWindowState state;
        state.takeFrom(*mainFrame_);
        if (!state.save(programPaths().appName)) {
            ORVAN_LOG_ANY() << "ERROR: Can't save the main window's state in " << platform::registry::storeFile()
                            << std::endl;
        }
    }
    // The window goes first: a worker waiting in a send to it (an end of
    // update, a hook relay) is released, and later events are dropped.
    delete mainFrame_;
    mainFrame_ = nullptr;
    SHUTDOWN_LOG << "ExitInstance() called." << std::endl;
    takeDown();
    SHUTDOWN_LOG << "Calling CWinApp::ExitInstance()." << std::endl;
    return 0;
}

// Shut-down, also after a failed start-up: undoes what was done, in order.
void CMendrelApp::takeDown() {
    exited_ = true;
    removeTerminationRequest();
    // No listener request, report or dialog reaches the window from here on.
    if (wiring_) wiring_->remove();
    delete mainFrame_;
    mainFrame_ = nullptr;
    ui::clearNotifications();
    if (backgroundThread_) backgroundThread_->stop();
    std::unique_ptr<dialogs::CShuttingDownDlg> shuttingDown;
    if (getDebugSwitch("ShowShuttingDownWindow") && qApp != nullptr) {
        shuttingDown = std::make_unique<dialogs::CShuttingDownDlg>();
        QCoreApplication::processEvents();
    }
    ChannelReportConfig::deleteTempOutputFiles();
    SHUTDOWN_LOG << "Un-installing the mouse hook." << std::endl;
    uninstallMouseHook();
    removeBrowserContextMenu();
    SHUTDOWN_LOG << "Stopping the local port listeners." << std::endl;
    listeners::enableLocalPortListeners(true);

    const bool saveAll = getDebugSwitch("SaveAllOnExit");
    // No callback of the engine runs from here on (the one in hand ends
    // first), so the desktop settings are no longer used by the worker.
    close();
    if (channelManager_ != nullptr) {
        SHUTDOWN_LOG << "Un-installing ourself as an event handler." << std::endl;
        channelManager_->removeEventHandler(this);
    }
    SHUTDOWN_LOG << "Cleaning up ChannelDesktopSettings table." << std::endl;
    if (saveAll) {
        ChannelDesktopSettingsTable& table = getChannelDesktopSettingsTable();
        std::vector<channels::Channel*> channels;
        if (channelManager_ != nullptr) {
            SharedLockGuard guard(&channelManager_->getLock(), __FILE__, __LINE__);
            channels.assign(channelManager_->getChannels().begin(), channelManager_->getChannels().end());
        }
        for (channels::Channel* channel : channels) {
            if (ChannelDesktopSettings* settings = table.find(channel)) {
                try {
                    settings->save(channel->getConfigFilename());
                } catch (const std::exception& e) {
                    SHUTDOWN_LOG << "- Exception caught: " << e.what() << std::endl;
                }
            }
        }
    }
    getChannelDesktopSettingsTable().clear();
    if (channelManager_ != nullptr) {
        // The channels leave their hooks behind when they go: each is held
        // here across the stop and then freed with the reference its channel
        // had.
        std::vector<channels::ChannelHookRef> hooks;
        {
            SharedLockGuard guard(&channelManager_->getLock(), __FILE__, __LINE__);
            for (channels::Channel* channel : channelManager_->getChannels()) {
                const channels::ChannelSettings& settings = channel->getChannelSettings();
                SharedLockGuard settingsGuard(&settings.getLock(), __FILE__, __LINE__);
                for (channels::ChannelHook* hook : settings.getChannelHooks()) hooks.emplace_back(hook);
            }
        }
        SHUTDOWN_LOG << "Stopping the local channel manager." << std::endl;
        channelManager_->stopChannelManager(saveAll);
        for (channels::ChannelHookRef& hook : hooks) channels::ChannelHook::releaseReference(hook.get());
        hooks.clear();
        SHUTDOWN_LOG << "Deleting the local channel manager." << std::endl;
        setChannelManager(nullptr);
        delete channelManager_;
        channelManager_ = nullptr;
    }
    channels::getAppPluginManager().removeEventHandler(this);
    // The libraries go while the program still runs: after main returns,
    // a library's own static objects are destroyed before the program's, so
    // its unload entry point must not run from the program's exit handlers.
    SHUTDOWN_LOG << "Unloading the app plugins." << std::endl;
    channels::getAppPluginManager().unloadAppPlugins();
    if (GlobalOptions::instance().DefaultChannelSettings) {
        SHUTDOWN_LOG << "Releasing the default channel settings' hooks." << std::endl;
        GlobalOptions::instance().DefaultChannelSettings->clearChannelHooks(false);
    }
    channels::setDllChannelHookMessages(0, -1, -1);
    channels::DllChannelHook::setHostWindow(0);
    if (deletedChannelWatcher_ && isUiHandlerSet()) getUiHandler()->removeEventHandler(deletedChannelWatcher_.get());
    deletedChannelWatcher_.reset();
    backgroundThread_.reset();
    discardPostedTexts();
    wiring_.reset();
    SHUTDOWN_LOG << "Destroying the MMF handle." << std::endl;
    singleInstance_.reset();
    // The shutting-down window (shuttingDown) closes here, at the end of
    // shut-down, while Qt is still there.
}

void CMendrelApp::loadBranding(bool newUser) {
    ProgramPaths& paths = programPaths();
    BrandingConfig& branding = BrandingConfig::instance();
    try {
        loadBrandingConfig(makeProgramFilePath("branding.dat"), paths.channelsDir, branding);
    } catch (const std::exception& e) {
        // The program starts without branding rather than not at all.
        ORVAN_LOG_ANY() << "ERROR: Can't load the branding: " << e.what() << std::endl;
        getNotificationSink().queueError(nullptr, "Can't load the branding.", e.what());
    }
    if (newUser && branding.isLoaded()) {
        BrandingConfig::createAutoChannels(branding.getAutoCreateFeedUrls(), paths.channelsDir);
    }
    std::string client = branding.getClientName();
    trimWhitespace(client);
    if (!client.empty()) paths.httpUserAgent += " (" + client + ")";
    if (branding.isLoaded()) STARTUP_LOG << "Saving the branding details." << std::endl;
    try {
        saveBrandingDetails(paths.globalStateFile, branding);
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "ERROR: " << e.what() << std::endl;
    }
}

// A new user's tools from the branding join the user's tools. This runs
// after the global options are loaded: loading replaces the list, so tools
// appended before it would be lost.
void CMendrelApp::addBrandingUserTools() {
    const BrandingConfig& branding = BrandingConfig::instance();
    if (branding.getAutoCreateUserTools().empty()) return;
    GlobalOptions& options = GlobalOptions::instance();
    for (const std::unique_ptr<UserTool>& tool : branding.getAutoCreateUserTools()) {
        options.UserTools.push_back(tool->clone());
    }
    try {
        options.saveUserTools();
    } catch (const std::exception& e) {
        ORVAN_LOG_ANY() << "ERROR: " << e.what() << std::endl;
    }
}
