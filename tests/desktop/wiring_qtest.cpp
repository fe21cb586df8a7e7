// The program's start-up wiring: the one function that start-up and the
// window tests call installs every hook that the windows, dialogs, options
// and listeners call, and takes down the ones that point at windows.
#include <QtTest>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/core/seams.h"
#include "app/options/globalOptions.h"
#include "app/options/userTool.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channelSettings.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/plugin/scriptingEngine.h"
#include "desktop/desktopWiring.h"
#include "desktop/inputState.h"
#include "lib/log/messageLog.h"
#include "tests/channels/channel_fixture.h"
#include "tools/registry.h"
#include "tools/tempFile.h"
#include "ui/frame/mainFrame.h"
#include "ui/notify/notificationQueue.h"
#include "ui/tray/systemTray.h"
#include "widgets/helpers/windowUpdateLock.h"

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + " ";
    return text;
}

}  // namespace

class WiringTest : public QObject {
    Q_OBJECT
private slots:
    void installsEveryHookAndRemovesTheWindowOnes() {
        const std::vector<seams::Entry> all = seams::registered();
        std::vector<std::string> names;
        for (const seams::Entry& entry : all) names.push_back(entry.name);
        // The hooks of each part that reaches another through one.
        for (const char* expected :
             {"ChannelWindowOps", "MainFrameServices::openFeedItem", "MainFrameServices::processNotifications",
              "MainFrameServices::runNewChannelWizard", "MainFrameServices::createTrayIcon", "DesktopServices",
              "NotificationSink", "TrayIconGeometryProvider", "CChannelConfigPropPage::CredentialsEditor",
              "CChannelParamsPropPage::AppPluginSheetOpener", "GlobalOptions::ErrorReporter",
              "GlobalOptions::DesktopSettingsFactory", "ChannelFilterLookup", "ReadMeListSource",
              "ChannelDesktopSettingsObserver", "ChannelImageFactory", "ModifierKeyReader", "ListenerHooks",
              "DialogWindowOps"}) {
            QVERIFY2(std::find(names.begin(), names.end(), expected) != names.end(), expected);
        }
        // Nothing is there before the wiring: each check tells a missing
        // hook from an installed one.
        QCOMPARE(joined(seams::notInstalled()), joined(names));

        DesktopWiring wiring;
        wiring.install();
        QVERIFY2(seams::notInstalled().empty(), joined(seams::notInstalled()).c_str());

        // At shut-down nothing is left pointing at the windows or the
        // dialogs; the notification sink, the tray's place and the key
        // reader stay for the rest of the shut-down.
        wiring.remove();
        const std::vector<std::string> left = seams::notInstalled();
        for (const char* gone : {"ChannelWindowOps", "MainFrameServices::openFeedItem", "ListenerHooks",
                                 "DesktopServices", "CChannelConfigPropPage::CredentialsEditor",
                                 "GlobalOptions::ErrorReporter", "ChannelDesktopSettingsObserver", "DialogWindowOps"}) {
            QVERIFY2(std::find(left.begin(), left.end(), gone) != left.end(), gone);
        }
        // Installed again, all of it comes back.
        wiring.install();
        QVERIFY2(seams::notInstalled().empty(), joined(seams::notInstalled()).c_str());
    }

    // Start-up's objects, the wiring's hooks and what the main frame
    // installs, and the replacements tests install: after the one reset
    // every accessor is empty again, the frame still standing.
    void oneResetEmptiesEveryProcessWideObject() {
        channeltest::ManagerFixture engine;
        ProgramPaths& paths = programPaths();
        const ProgramPaths savedPaths = paths;
        paths.userConfigFile = engine.dir.file("config.ini");
        paths.globalIniFile = engine.dir.file("global.ini");
        paths.logsDir = engine.dir.str();
        paths.reportsDir = engine.dir.file("Reports");

        DesktopWiring wiring;
        wiring.install();
        GlobalOptions::instance().loadChannelDefaults();  // the new-channel template
        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = engine.dir.str();
        setup.trayAttempts = 1;
        auto frame = std::make_unique<CMainFrame>();
        QVERIFY(frame->create(setup));
        // What start-up sets beside the wiring and the frame.
        setChannelManager(engine.manager.get());
        channels::installChannelHookHost();
        channels::setDllChannelHookMessages(frame->getHandle(), 1, 2);
        channels::DllChannelHook::setHostWindow(frame->getHandle());
        channels::setFileTypeCommands({{".js", "node"}});
        initBrowseStartDirs();
        startupFlags().newUser = true;
        noteMouseButton(0, MouseButtonEvent::LeftDown);
        contextMenuFiles()["Open"] = nullptr;
        setExitRequested(true);
        // The tray icon's window owns the balloons.
        QWidget trayWindow;
        if (ui::getBalloonParent() == nullptr) ui::setBalloonParent(&trayWindow);
        // Replacements that tests install.
        std::ostringstream out;
        CMessageLog log(out);
        setMessageLog(&log);
        tools::CRegistry registry;
        tools::setRegistry(&registry);
        // Nothing stays pointing at this test's objects, whatever fails.
        struct Restore {
            ProgramPaths paths;
            ~Restore() {
                resetProgramObjectsForTests();
                programPaths() = paths;
            }
        } restore{savedPaths};

        const std::vector<std::pair<const char*, std::function<bool()>>> accessors = {
            {"getChannelManager", [] { return getChannelManager() != nullptr; }},
            {"isMouseHookInstalled", [] { return isMouseHookInstalled(); }},
            {"getChannelHookHost", [] { return channels::getChannelHookHost() != nullptr; }},
            {"getDllChannelHookWindow", [] { return channels::getDllChannelHookWindow() != 0; }},
            {"DllChannelHook::getHostWindow", [] { return channels::DllChannelHook::getHostWindow() != 0; }},
            {"getFileTypeCommands", [] { return !channels::getFileTypeCommands().empty(); }},
            {"getUserToolHost", [] { return getUserToolHost() != nullptr; }},
            {"getChannelDesktopSettingsTemplate", [] { return getChannelDesktopSettingsTemplate() != nullptr; }},
            {"GlobalOptions::DefaultDesktopSettings",
             [] { return GlobalOptions::instance().DefaultDesktopSettings != nullptr; }},
            {"browseStartDirs", [] { return !browseStartDirs().reportOutput.empty(); }},
            {"startupFlags", [] { return startupFlags().newUser.load(); }},
            {"isLeftButtonDown", [] { return isLeftButtonDown(); }},
            {"contextMenuFiles", [] { return !contextMenuFiles().empty(); }},
            {"isExitRequested", [] { return isExitRequested(); }},
            {"getBalloonParent", [] { return ui::getBalloonParent() != nullptr; }},
            {"WindowUpdateLock::getMainFrame", [] { return WindowUpdateLock::getMainFrame() != nullptr; }},
            {"setMessageLog's replacement", [&log] { return &getMessageLog() == &log; }},
            {"setRegistry's replacement", [&registry] { return &tools::getRegistry() == &registry; }},
        };
        for (const auto& [name, installed] : accessors) QVERIFY2(installed(), name);
        QVERIFY2(seams::notInstalled().empty(), joined(seams::notInstalled()).c_str());

        resetProgramObjectsForTests();
        for (const auto& [name, installed] : accessors) QVERIFY2(!installed(), name);
        std::vector<std::string> hooks;
        for (const seams::Entry& entry : seams::registered()) hooks.push_back(entry.name);
        QCOMPARE(joined(seams::notInstalled()), joined(hooks));

        // The reset removed the wiring too: installed again, it is whole.
        wiring.install();
        QVERIFY2(seams::notInstalled().empty(), joined(seams::notInstalled()).c_str());
        frame.reset();
        wiring.remove();
    }

    // A hook called while missing leaves an error line in the log (debug
    // builds stop at an assertion there instead).
    void aMissingHookIsLogged() {
#ifndef NDEBUG
        QSKIP("debug builds assert on a missing hook");
#else
        std::ostringstream out;
        CMessageLog log(out);
        CMessageLog* previous = setMessageLog(&log);
        seams::missing("ChannelWindowOps::openChannelDoc");
        setMessageLog(previous);
        QVERIFY2(out.str().find("ERROR: ChannelWindowOps::openChannelDoc") != std::string::npos, out.str().c_str());
#endif
    }
};

QTEST_MAIN(WiringTest)
#include "wiring_qtest.moc"
