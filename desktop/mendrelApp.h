#pragma once
// The application object: brings the program up in a fixed order on the
// user-interface thread, receives the engine's channel events (as a
// ChannelEventBridge) and takes everything down again.
//
//   QApplication qt(argc, argv);
//   CMendrelApp& app = getApp();
//   if (!app.InitInstance()) return app.getExitCode();   // 0 after a hand-over
//   qt.exec();
//   return app.ExitInstance();
//
// Every start-up step writes one line in the message group "Startup" before
// it runs, every shut-down step one in "Shutdown". A runtime error in the
// main part of start-up is logged ("Main initialization failed: "), shown
// ("Initialization failed.") and ends the program with a non-zero status
// after what was started is taken down again.
//
// The end of the desktop session (SIGTERM) or an interrupt (SIGINT) closes
// the main window as the user would, and the program ends with status 0.
#include <fstream>
#include <memory>
#include <string>

#include "desktop/channelEventBridge.h"
#include "desktop/desktopWiring.h"
#include "lib/misc/threadSafety.h"

class CMainFrame;
class SingleInstance;
class BackgroundThread;
class UiEventHandler;

namespace channels {
class ChannelManager;
}

class CMendrelApp : public ChannelEventBridge {
public:
    CMendrelApp();
    ~CMendrelApp() override;
    CMendrelApp(const CMendrelApp&) = delete;
    CMendrelApp& operator=(const CMendrelApp&) = delete;

    // True to run the event loop; false to end at once with getExitCode().
    bool InitInstance();
    // Shut-down; returns the process exit status.
    int ExitInstance();
    int getExitCode() const { return exitCode_; }

    // The two stages of start-up; both throw std::runtime_error on failure.
    void init1();
    void init2();

    // Gives a new user a directory with the starting files and a first
    // channel; false (after telling the user) when the directory can't be made.
    bool onNewUser();

    // "Ohayo gozaimasu" (4-9), "Konnichiwa" (10-17), "Kombanwa" otherwise.
    static std::string getGreeting(int hour);
    // A DisabledAppPlugins value split as start-up reads it.
    static std::vector<std::string> splitDisabledAppPlugins(const std::string& value);

    CMainFrame* getMainFrame() const { return mainFrame_; }

private:
    void loadChannelDesktopSettings();
    // SIGTERM/SIGINT: closes the main window, or marks the request until
    // there is one.
    static void requestTermination();
    void loadBranding(bool newUser);
    void addBrandingUserTools();
    void takeDown();

    int exitCode_ = 0;
    int appServerPort_ = 0;
    SharedExclusiveLock logLock_;
    std::ofstream logFile_;
    std::unique_ptr<SingleInstance> singleInstance_;
    std::unique_ptr<BackgroundThread> backgroundThread_;
    std::unique_ptr<UiEventHandler> deletedChannelWatcher_;
    channels::ChannelManager* channelManager_ = nullptr;
    CMainFrame* mainFrame_ = nullptr;
    std::unique_ptr<DesktopWiring> wiring_;
    MainWindowState savedWindowState_;
    bool exited_ = false;
    bool terminationPending_ = false;
};

CMendrelApp& getApp();
