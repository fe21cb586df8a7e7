// The program's start-up wiring: the one function that start-up and the
// window tests call installs every hook that the windows, dialogs, options
// and listeners call, and takes down the ones that point at windows.
#include <QtTest>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/seams.h"
#include "desktop/desktopWiring.h"
#include "lib/log/messageLog.h"

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
                                 "GlobalOptions::ErrorReporter", "ChannelDesktopSettingsObserver",
                                 "DialogWindowOps"}) {
            QVERIFY2(std::find(left.begin(), left.end(), gone) != left.end(), gone);
        }
        // Installed again, all of it comes back.
        wiring.install();
        QVERIFY2(seams::notInstalled().empty(), joined(seams::notInstalled()).c_str());
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
