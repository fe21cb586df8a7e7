// The options sheet: each page's options reach config.ini and, through the
// main frame's GlobalOptionsChanged, the running parts on OK (channel
// manager, scripting engine, local listeners, user-interface handler, child
// windows), and the autostart entry; refused OKs, Cancel, and the pages'
// checks against the options' key table.
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "app/core/autoStart.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/listeners/localPortListener.h"
#include "app/options/globalOptions.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/plugin/scriptingEngine.h"
#include "channels/rss/rssChannel.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelCategoriesCtrl.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/hints/hints.h"
#include "dialogs/options/advancedOptionsPage.h"
#include "dialogs/options/displayOptionsPage.h"
#include "dialogs/options/generalOptionsPage.h"
#include "dialogs/options/optionsSheet.h"
#include "desktop/desktopWiring.h"
#include "dialogs/options/searchOptionsPage.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/http.h"
#include "tools/httpAuth.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/controls/fontPreviewCombo.h"
#include "widgets/controls/timeIntervalsCtrl.h"

using namespace dialogs;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::time_t localTimeAt(int hour, int minute) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class OptionsEvents : public UiEventHandler {
public:
    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override { ++count; }
    std::string getDescription() const override { return "[OptionsEvents]"; }
    int count = 0;
};

template <typename T>
T* control(QDialog& sheet, int page, const char* name) {
    auto& options = static_cast<COptionsPropSheet&>(sheet);
    options.setActivePage(page);
    T* found = options.page(page)->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s on page %d", name, page);
    return found;
}

enum Page { GeneralPage = 0, ChannelPage = 1, AdvancedPage = 2, SearchPage = 3, DisplayPage = 4, HintsPage = 5 };

}  // namespace

class OptionsSheetTest : public QObject {
    Q_OBJECT

    // The program's wiring: the sheet reaches the windows through it.
    DesktopWiring wiring_;
    std::unique_ptr<testsupport::TempDir> dir_;
    std::unique_ptr<channels::ChannelManager> manager_;
    std::unique_ptr<CMainFrame> frame_;
    std::time_t clock_ = 0;
    QStringList messages_;
    // What the sheet's own dialogs do, by the dialog's object name.
    std::map<QString, std::function<void(QDialog&)>> dialogs_;

    std::string configFile() const { return programPaths().userConfigFile; }

    // Runs the sheet; `drive` edits it and presses its buttons; message boxes
    // are recorded and answered OK.
    int runSheet(const std::function<void(QDialog&)>& drive) {
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (answerIfMessageBox(dialog, IDOK, &messages_)) return;
            if (dialog.objectName() == "optionsSheet") return drive(dialog);
            const auto handler = dialogs_.find(dialog.objectName());
            if (handler != dialogs_.end()) handler->second(dialog);
        });
        COptionsPropSheet sheet;
        return sheet.DoModal();
    }

    static void pressOk(QDialog& sheet) { sheet.findChild<QPushButton*>("okButton")->click(); }

    // A download by the channel manager through a proxy that wants the
    // credential (user, password): the status the manager ends with.
    int downloadThroughProxy(const std::string& user, const std::string& password) {
        testsupport::HttpServer server;
        testsupport::HttpAnswer answer = testsupport::HttpAnswer::text("ok");
        answer.proxyAuth = std::make_pair(user, password);
        server.route("/x", answer);
        manager_->getInternetSession().setProxy(server.baseUrl());
        int status = 0;
        std::string body;
        manager_->downloadUrl("http://feeds.example.test/x", nullptr, nullptr, false, nullptr, &status, nullptr,
                              nullptr, body);
        return status;
    }

    // The local port listeners running as start-up leaves them, the plug-in
    // server on a free port.
    static void startListeners() {
        GlobalOptions::instance().AppPluginServerPortNo = freePort();
        listeners::enableLocalPortListeners(false);
        QVERIFY(listeners::appPluginServer().isListening());
    }

    int childWindowCount() const { return frame_->getMdiArea()->subWindowList().size(); }

    GlobalOptions& reread() {
        static std::unique_ptr<GlobalOptions> options;
        options = std::make_unique<GlobalOptions>(programPaths().userConfigFile, programPaths().globalIniFile);
        options->load();
        return *options;
    }

private slots:
    void init() {
        wiring_.install();
        dir_ = std::make_unique<testsupport::TempDir>();
        ProgramPaths& paths = programPaths();
        paths.appName = "Orvan";
        paths.userConfigFile = dir_->file("config.ini");
        paths.globalIniFile = dir_->file("global.ini");
        paths.userDebugIniFile = dir_->file("debug.ini");
        paths.channelsDir = dir_->file("Channels");
        paths.logsDir = dir_->file("Logs");
        std::filesystem::create_directories(paths.channelsDir);
        std::filesystem::create_directories(paths.logsDir);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_->file("xdg")));
        GlobalOptions& options = GlobalOptions::instance();
        options.load();
        options.save();
        for (const HintDef* hint = kHintTable; hint->identifier; ++hint) setHintEnabled(hint->identifier, false);

        channels::ChannelSettings defaults(nullptr);
        manager_ = std::make_unique<channels::ChannelManager>("orvan-test/1.0", paths.channelsDir, paths.logsDir,
                                                              defaults, "", "");
        manager_->setClock([this] { return clock_; });
        setChannelManager(manager_.get());
        // The real listeners, on free ports: a test never binds the fixed ones.
        listeners::appServer().setPort(static_cast<unsigned>(freePort()));
        listeners::port8888Listener().setPort(static_cast<unsigned>(freePort()));
        listeners::port5335Listener().setPort(static_cast<unsigned>(freePort()));
        listeners::port8900Listener().setPort(static_cast<unsigned>(freePort()));
        channels::getScriptingEngine().setScriptTimeout(15);
        messages_.clear();
        dialogs_.clear();

        // The main frame, a handler of the user-interface events as start-up
        // makes it: GlobalOptionsChanged reaches the running parts through it.
        frame_ = std::make_unique<CMainFrame>();
        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = paths.logsDir;
        setup.trayAttempts = 1;
        QVERIFY(frame_->create(setup));
        setUiHandler(true);
        getUiHandler()->addEventHandler(frame_.get());
    }

    void cleanup() {
        getUiHandler()->removeEventHandler(frame_.get());
        frame_.reset();
        listeners::enableLocalPortListeners(true);
        resetProgramObjectsForTests();
        manager_->stopChannelManager(false);
        manager_.reset();
        dir_.reset();
        wiring_.remove();
    }

    void okAppliesEveryPage() {
        startListeners();
        OptionsEvents events;
        getUiHandler()->addEventHandler(&events);
        const int port = freePort();
        dialogs_["timeIntervalsDialog"] = [](QDialog& dialog) {
            auto* grid = dialog.findChild<ui::CBCGTimeIntervalsCtrl*>("intervalsGrid");
            const QDateTime day(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
            grid->addInterval(day.addSecs(22 * 3600), day.addDays(1), 0);
            grid->addInterval(day.addSecs(3600), day.addSecs(7200), 0);
            dialog.accept();
        };
        dialogs_["httpAuthDialog"] = [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("userNameEdit")->setText("p");
            dialog.findChild<QLineEdit*>("passwordEdit")->setText("q");
            dialog.findChild<QPushButton*>("okButton")->click();
        };
        const int result = runSheet([&](QDialog& sheet) {
            control<QLineEdit>(sheet, GeneralPage, "displayTimeEdit")->setText("45");
            auto* mode = control<QComboBox>(sheet, GeneralPage, "balloonModeCombo");
            mode->setCurrentIndex(mode->findData(2));
            control<QPushButton>(sheet, GeneralPage, "blackoutTimesButton")->click();
            control<QCheckBox>(sheet, GeneralPage, "autoStartCheck")->setChecked(true);
            control<QLineEdit>(sheet, AdvancedPage, "pluginPortEdit")->setText(QString::number(port));
            control<QLineEdit>(sheet, AdvancedPage, "scriptTimeoutEdit")->setText("20");
            control<QCheckBox>(sheet, AdvancedPage, "listenPort8900Check")->setChecked(true);
            control<QPushButton>(sheet, AdvancedPage, "proxyAuthButton")->click();
            control<CChannelCategoriesCtrlEditListBox>(sheet, SearchPage, "categoriesList")->addTypedItem("  Zebra ");
            control<QComboBox>(sheet, DisplayPage, "myChannelsSizeCombo")->setEditText("LARGE");
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
        QCOMPARE(events.count, 1);
        getUiHandler()->removeEventHandler(&events);

        // Stored: read back from config.ini by a fresh options object.
        GlobalOptions& stored = reread();
        QCOMPARE(stored.NotificationBalloonDisplayTime, 45);
        QCOMPARE(stored.NotificationBalloonMode, 2);
        QCOMPARE(stored.BlackoutTimes, (GlobalOptions::BlackoutTimeList{{3600, 7200}, {79200, 0}}));
        QCOMPARE(stored.AutoStartApp, true);
        QCOMPARE(stored.AppPluginServerPortNo, port);
        QCOMPARE(stored.ScriptTimeout, 20);
        QCOMPARE(stored.ListenForPort8900Subscriptions, true);
        QCOMPARE(stored.ListenForPort8888Subscriptions, false);
        QVERIFY(stored.ProxyAuth);
        QCOMPARE(stored.ProxyAuth->getHeaderValue(), tools::HttpBasicAuth("p", "q").getHeaderValue());
        QVERIFY(std::find(stored.ChannelCategories.begin(), stored.ChannelCategories.end(), "Zebra") !=
                stored.ChannelCategories.end());
        QCOMPARE(stored.ControlCenterMyChannelsFontSize, 20);

        // The running parts have them.
        clock_ = localTimeAt(23, 0);
        int resume = -1;
        QVERIFY(manager_->isInBlackout(&resume));
        QCOMPARE(resume, 86400);
        clock_ = localTimeAt(12, 0);
        QVERIFY(!manager_->isInBlackout(nullptr));
        QCOMPARE(channels::getScriptingEngine().getScriptTimeout(), 20);
        QCOMPARE(channels::getAppPluginManager().getAppPluginServerPort(), port);
        QVERIFY(listeners::appPluginServer().isListening());
        QCOMPARE(listeners::appPluginServer().getPort(), unsigned(port));
        QVERIFY(listeners::port8900Listener().isListening());
        QVERIFY(!listeners::port8888Listener().isStarted());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        QVERIFY(client.waitForConnected(5000));

        QCOMPARE(downloadThroughProxy("p", "q"), 200);

        // The autostart entry runs this program.
        const std::string entry = readFile(autoStartEntryPath("Orvan"));
        QVERIFY2(entry.find("Exec=" + desktopEntryExec(QCoreApplication::applicationFilePath().toStdString())) !=
                     std::string::npos,
                 entry.c_str());
    }

    // What OK changes decides what the running program redoes: the
    // listeners restart when theirs changed, every child window closes when
    // the plug-in port moved or the layout changed, and the script time-out
    // alone leaves both.
    void okRestartsAndClosesOnlyWhatChanged() {
        frame_->show();
        startListeners();
        enum Change { Timeout, Listener, Port, Layout };
        struct Case {
            const char* name;
            Change change;
            bool windowStays;
        };
        const Case cases[] = {{"script time-out", Timeout, true},
                              {"a listener", Listener, true},
                              {"the plug-in port", Port, false},
                              {"the layout", Layout, false}};
        for (const Case& c : cases) {
            setUiHandler(true);
            QPointer<QMdiSubWindow> child = frame_->getMdiArea()->addSubWindow(new QWidget);
            child->show();
            const int port = freePort();
            const int result = runSheet([&](QDialog& sheet) {
                switch (c.change) {
                    case Timeout:
                        control<QLineEdit>(sheet, AdvancedPage, "scriptTimeoutEdit")->setText("41");
                        break;
                    case Listener:
                        control<QCheckBox>(sheet, AdvancedPage, "listenPort8888Check")->setChecked(true);
                        break;
                    case Port:
                        control<QLineEdit>(sheet, AdvancedPage, "pluginPortEdit")->setText(QString::number(port));
                        break;
                    case Layout:
                        control<QRadioButton>(sheet, GeneralPage, "sdiRadio")->click();
                        break;
                }
                pressOk(sheet);
            });
            QCOMPARE(result, int(IDOK));
            QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
            QVERIFY2(!child.isNull() && child->isVisible() == c.windowStays, c.name);
            QCOMPARE(listeners::port8888Listener().isStarted(), c.change == Listener);
            QCOMPARE(listeners::appPluginServer().getPort() == unsigned(port), c.change == Port);
            QVERIFY(listeners::appPluginServer().isListening());
            QCOMPARE(channels::getScriptingEngine().getScriptTimeout(), c.change == Timeout ? 41 : 15);
            QCOMPARE(getUiHandler()->isSdi(), c.change == Layout);
            // The frame's look follows the layout: no tabs with a single window.
            QCOMPARE(frame_->getMdiArea()->viewMode(),
                     c.change == Layout ? QMdiArea::SubWindowView : QMdiArea::TabbedView);
            delete child.data();
            // Back to what the next case starts from.
            GlobalOptions& options = GlobalOptions::instance();
            options.ScriptTimeout = 15;
            options.ListenForPort8888Subscriptions = false;
            options.UiHandlerType = 1;
            getUiHandler()->fireGlobalOptionsChanged();
        }
    }

    // Each number a page takes lies in the range the options' key table gives
    // it for entry: one past either end is refused with that range, the ends
    // are stored.
    void pageRangesComeFromTheKeyTable() {
        struct Case {
            Page page;
            const char* edit;
            int GlobalOptions::*field;
            const char* name;
            const char* units;
        };
        const Case cases[] = {
            {GeneralPage, "displayTimeEdit", &GlobalOptions::NotificationBalloonDisplayTime,
             "notification balloon display time", " seconds"},
            {AdvancedPage, "pluginPortEdit", &GlobalOptions::AppPluginServerPortNo, "plugin port number", ""},
            {AdvancedPage, "scriptTimeoutEdit", &GlobalOptions::ScriptTimeout, "script timeout", " seconds"},
        };
        for (const Case& c : cases) {
            const GlobalOptions::IntKey key = GlobalOptions::intKey(c.field);
            const QString range = QString("Please enter a valid %1 (%2-%3%4).")
                                      .arg(c.name)
                                      .arg(key.entryMin)
                                      .arg(key.entryMax)
                                      .arg(c.units);
            for (const int value : {key.entryMin - 1, key.entryMax + 1, key.entryMin, key.entryMax}) {
                const bool inRange = value >= key.entryMin && value <= key.entryMax;
                messages_.clear();
                const int result = runSheet([&](QDialog& sheet) {
                    control<QLineEdit>(sheet, c.page, c.edit)->setText(QString::number(value));
                    pressOk(sheet);
                    if (sheet.isVisible()) sheet.reject();
                });
                const QString row = QString("%1 %2").arg(c.name).arg(value);
                QVERIFY2(result == (inRange ? int(IDOK) : int(IDCANCEL)), qPrintable(row));
                if (inRange) {
                    QVERIFY2(messages_.isEmpty(), qPrintable(row + ": " + messages_.join("|")));
                    QCOMPARE(GlobalOptions::instance().*c.field, value);
                } else {
                    QCOMPARE(messages_.size(), 1);
                    QVERIFY2(messages_[0].startsWith(range), qPrintable(messages_[0]));
                }
            }
        }
        // The balloon time keeps a longer stored value until the page is applied.
        QCOMPARE(GlobalOptions::intKey(&GlobalOptions::NotificationBalloonDisplayTime).max, 1800);
    }

    // An OK that a later page refused has stored the pages before it; Cancel
    // then still puts what they stored into effect.
    void cancelAfterARefusedOkAppliesWhatWasStored() {
        OptionsEvents events;
        getUiHandler()->addEventHandler(&events);
        const int result = runSheet([&](QDialog& sheet) {
            control<QLineEdit>(sheet, AdvancedPage, "scriptTimeoutEdit")->setText("33");
            control<QComboBox>(sheet, DisplayPage, "itemsSizeCombo")->setEditText("7");
            pressOk(sheet);  // Advanced stored, Display refuses
            sheet.findChild<QPushButton*>("cancelButton")->click();
        });
        getUiHandler()->removeEventHandler(&events);
        QCOMPARE(result, int(IDCANCEL));
        QCOMPARE(events.count, 1);
        QCOMPARE(reread().ScriptTimeout, 33);
        QCOMPARE(channels::getScriptingEngine().getScriptTimeout(), 33);
    }

    void autoStartEntryWrittenAndRemoved() {
        const std::string entry = autoStartEntryPath("Orvan");
        for (const bool on : {true, false, false}) {
            const int result = runSheet([&](QDialog& sheet) {
                control<QCheckBox>(sheet, GeneralPage, "autoStartCheck")->setChecked(on);
                pressOk(sheet);
            });
            QCOMPARE(result, int(IDOK));
            QCOMPARE(std::filesystem::exists(entry), on);
            QCOMPARE(GlobalOptions::instance().AutoStartApp, on);
        }
        // Switched off while the entry is missing: nothing to remove, no error.
        GlobalOptions::instance().AutoStartApp = true;
        QCOMPARE(runSheet([&](QDialog& sheet) {
                     control<QCheckBox>(sheet, GeneralPage, "autoStartCheck")->setChecked(false);
                     pressOk(sheet);
                 }),
                 int(IDOK));
        QVERIFY(messages_.isEmpty());
        QCOMPARE(GlobalOptions::instance().AutoStartApp, false);
        // A folder that can't be made: the page says so and the sheet stays open.
        std::ofstream(dir_->file("blocker")) << "file";
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir_->file("blocker")));
        bool stayedOpen = false;
        runSheet([&](QDialog& sheet) {
            control<QCheckBox>(sheet, GeneralPage, "autoStartCheck")->setChecked(true);
            pressOk(sheet);
            stayedOpen = sheet.isVisible();
            sheet.reject();
        });
        QVERIFY(stayedOpen);
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith("Couldn't open the registry to enable auto-start. "));
        QCOMPARE(GlobalOptions::instance().AutoStartApp, false);
    }

    void soundHintDecides_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("soundDisabled");
        QTest::newRow("Yes: sound enabled") << 1 << true << false;
        QTest::newRow("No: both kept") << 2 << true << true;
        QTest::newRow("Cancel: sheet stays") << 3 << false << false;
    }
    void soundHintDecides() {
        QFETCH(int, button);
        QFETCH(bool, closed);
        QFETCH(bool, soundDisabled);
        setHintEnabled("GlobalSoundIsDisabled2", true);
        int hints = 0;
        dialogs_["hintDialog"] = [&](QDialog& dialog) {
            ++hints;
            dialog.findChild<QPushButton*>(QString("hintButton%1").arg(button))->click();
        };
        bool open = false;
        const int result = runSheet([&](QDialog& sheet) {
            control<QCheckBox>(sheet, GeneralPage, "disableSoundCheck")->setChecked(true);
            control<QCheckBox>(sheet, GeneralPage, "playSoundOnErrorCheck")->setChecked(true);
            pressOk(sheet);
            open = sheet.isVisible();
            if (open) sheet.reject();
        });
        QCOMPARE(hints, 1);
        QCOMPARE(open, !closed);
        QCOMPARE(result, closed ? int(IDOK) : int(IDCANCEL));
        QCOMPARE(GlobalOptions::instance().DisableAllSound, soundDisabled);
        QCOMPARE(GlobalOptions::instance().PlaySoundOnError, true);
    }

    void okAfterARefusedOkKeepsTheProxyCredential() {
        GlobalOptions::instance().ProxyAuth = std::make_unique<tools::HttpBasicAuth>("p", "q");
        int refusals = 0;
        const int result = runSheet([&](QDialog& sheet) {
            control<QLineEdit>(sheet, AdvancedPage, "scriptTimeoutEdit")->setText("30");
            auto* size = control<QComboBox>(sheet, DisplayPage, "itemsSizeCombo");
            size->setEditText("7");
            pressOk(sheet);  // Advanced applied, Display refuses
            refusals += sheet.isVisible() ? 1 : 0;
            size->setEditText("normal");
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QCOMPARE(refusals, 1);
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith("Please enter a valid font size."));
        const GlobalOptions& options = GlobalOptions::instance();
        QVERIFY(options.ProxyAuth);
        QCOMPARE(options.ProxyAuth->getHeaderValue(), tools::HttpBasicAuth("p", "q").getHeaderValue());
        QVERIFY(reread().ProxyAuth);
        QCOMPARE(reread().ChannelItemViewFontSize, 16);

        QCOMPARE(downloadThroughProxy("p", "q"), 200);
    }

    void cancelChangesNothing() {
        const std::string before = readFile(configFile());
        const GlobalOptions& options = GlobalOptions::instance();
        const int result = runSheet([&](QDialog& sheet) {
            control<QLineEdit>(sheet, GeneralPage, "displayTimeEdit")->setText("99");
            control<QLineEdit>(sheet, ChannelPage, "maxItemsEdit")->setText("12");
            control<QLineEdit>(sheet, AdvancedPage, "scriptTimeoutEdit")->setText("200");
            control<CChannelCategoriesCtrlEditListBox>(sheet, SearchPage, "categoriesList")->addTypedItem("Zebra");
            control<QPushButton>(sheet, DisplayPage, "resetAllButton")->click();
            sheet.findChild<QPushButton*>("cancelButton")->click();
        });
        QCOMPARE(result, int(IDCANCEL));
        QCOMPARE(readFile(configFile()), before);
        QCOMPARE(options.NotificationBalloonDisplayTime, 30);
        QCOMPARE(options.ScriptTimeout, 15);
        QCOMPARE(channels::getScriptingEngine().getScriptTimeout(), 15);
        QCOMPARE(options.DefaultChannelSettings->getMaxFeedItems(), reread().DefaultChannelSettings->getMaxFeedItems());
    }

    void channelDefaultsSurviveThePagesAfterThem() {
        const int result = runSheet([&](QDialog& sheet) {
            control<QLineEdit>(sheet, ChannelPage, "maxItemsEdit")->setText("77");
            // Pages applied after the channel page save the global options again.
            control<QLineEdit>(sheet, AdvancedPage, "scriptTimeoutEdit")->setText("25");
            control<QComboBox>(sheet, DisplayPage, "itemsSizeCombo");
            sheet.findChild<COptionsPropSheet*>();
            static_cast<COptionsPropSheet&>(sheet).setActivePage(HintsPage);
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join("|")));
        QCOMPARE(GlobalOptions::instance().DefaultChannelSettings->getMaxFeedItems(), 77);
        QCOMPARE(reread().DefaultChannelSettings->getMaxFeedItems(), 77);
        QCOMPARE(reread().ScriptTimeout, 25);
    }

    void advancedFieldChecks_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty time-out") << "scriptTimeoutEdit"
                                        << ""
                                        << "Please enter a valid script timeout";
        QTest::newRow("time-out 4") << "scriptTimeoutEdit"
                                    << "4"
                                    << "Please enter a valid script timeout (5-300 seconds).";
        QTest::newRow("time-out 301") << "scriptTimeoutEdit"
                                      << "301"
                                      << "Please enter a valid script timeout (5-300 seconds).";
        QTest::newRow("port 999") << "pluginPortEdit"
                                  << "999"
                                  << "Please enter a valid plugin port number (1000-65535).";
        QTest::newRow("port 65536") << "pluginPortEdit"
                                    << "65536"
                                    << "Please enter a valid plugin port number (1000-65535).";
        QTest::newRow("port letters") << "pluginPortEdit"
                                      << "abc"
                                      << "Please enter a valid plugin port number.";
        QTest::newRow("port empty") << "pluginPortEdit"
                                    << ""
                                    << "Please enter a valid plugin port number.";
        QTest::newRow("time-out 5") << "scriptTimeoutEdit"
                                    << "5"
                                    << "";
    }
    // Each listener box and the note on the program's own links stand beside
    // a picture: none of them points at nothing.
    void advancedPageShowsItsBadges() {
        QStringList missing;
        runSheet([&](QDialog& sheet) {
            auto* note = control<QLabel>(sheet, AdvancedPage, "ownBadgeNote");
            QCOMPARE(note->text(), QString("Orvan icons look like this and are always enabled."));
            for (const char* name : {"port8888Badge", "port8900Badge", "port5335Badge", "ownBadge"}) {
                auto* badge = control<QLabel>(sheet, AdvancedPage, name);
                if (badge->pixmap().isNull() || !badge->isVisible() || badge->width() < 16) missing << name;
            }
            // The picture sits on the same row as the text it illustrates.
            auto* own = control<QLabel>(sheet, AdvancedPage, "ownBadge");
            QVERIFY(qAbs(own->geometry().center().y() - note->geometry().center().y()) <= 4);
            QVERIFY(own->geometry().right() < note->geometry().left());
        });
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(",")));
    }

    void advancedFieldChecks() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, message);
        bool stayedOpen = false;
        QWidget* focused = nullptr;
        QLineEdit* edit = nullptr;
        runSheet([&](QDialog& sheet) {
            edit = control<QLineEdit>(sheet, AdvancedPage, field.toLatin1().constData());
            edit->setText(text);
            pressOk(sheet);
            stayedOpen = sheet.isVisible();
            focused = sheet.focusWidget();
            if (stayedOpen) sheet.reject();
        });
        QCOMPARE(stayedOpen, !message.isEmpty());
        if (message.isEmpty()) {
            QVERIFY(messages_.isEmpty());
            QCOMPARE(GlobalOptions::instance().ScriptTimeout, 5);
            return;
        }
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].startsWith(message), qPrintable(messages_[0]));
        QCOMPARE(focused, static_cast<QWidget*>(edit));
        QCOMPARE(GlobalOptions::instance().ScriptTimeout, 15);  // nothing stored
    }

    void displayKeepsAMissingFontAndNamesSizes() {
        GlobalOptions& options = GlobalOptions::instance();
        options.ControlCenterMyChannelsFontName = "No Such Font Here";
        options.ControlCenterAppPluginsFontSize = 14;
        options.ChannelItemViewFontSize = 16;
        QString pluginsSize, itemsSize, shownFont;
        const int result = runSheet([&](QDialog& sheet) {
            shownFont = control<ui::CFontPreviewCombo>(sheet, DisplayPage, "myChannelsFontCombo")->fontName();
            pluginsSize = control<QComboBox>(sheet, DisplayPage, "pluginsSizeCombo")->currentText();
            itemsSize = control<QComboBox>(sheet, DisplayPage, "itemsSizeCombo")->currentText();
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QCOMPARE(shownFont, QString("No Such Font Here"));
        QCOMPARE(pluginsSize, QString("14"));
        QCOMPARE(itemsSize, QString("normal"));
        QCOMPARE(reread().ControlCenterMyChannelsFontName, std::string("No Such Font Here"));
        QCOMPARE(reread().ControlCenterAppPluginsFontSize, 14);
    }

    void elementDialogEditsTheWorkingValues() {
        dialogs_["genericDisplayOptionsDialog"] = [](QDialog& dialog) {
            dialog.findChild<QComboBox*>("sizeCombo")->setEditText("very large");
            dialog.findChild<QPushButton*>("okButton")->click();
        };
        const int result = runSheet([&](QDialog& sheet) {
            control<QPushButton>(sheet, DisplayPage, "captionBarButton")->click();
            QCOMPARE(GlobalOptions::instance().CaptionBarFontSize, 20);  // not before the page is applied
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QCOMPARE(reread().CaptionBarFontSize, 24);
        QCOMPARE(reread().CaptionBarFontName, GlobalOptions::instance().CaptionBarFontName);
    }

    // "Reset all" brings back the options' own defaults and leaves the two
    // bold-font boxes as they are.
    void resetAllRestoresTheDefaults() {
        GlobalOptions& options = GlobalOptions::instance();
        options.ControlCenterMyChannelsFontName = "Courier New";
        options.ControlCenterMyChannelsBgdCol = 1;
        options.ChannelItemViewFontSize = 12;
        options.ChannelItemViewViewedFeedItemFgdCol = 2;
        options.ItalicizeViewedFeedItems = false;
        options.EnableMyChannelsBoldFonts = false;
        options.CaptionBarFontSize = 30;
        options.CaptionBarBgdCol = 3;
        options.ReadMeListBgdCol = 4;
        const int result = runSheet([&](QDialog& sheet) {
            control<QPushButton>(sheet, DisplayPage, "resetAllButton")->click();
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QCOMPARE(messages_, QStringList{"Do you want to reset all the display settings?"});
        GlobalOptions& stored = reread();
        QCOMPARE(stored.ControlCenterMyChannelsFontName, std::string("Arial"));
        QCOMPARE(stored.ControlCenterMyChannelsBgdCol, 0xF5FFFF);
        QCOMPARE(stored.ChannelItemViewFontSize, 16);
        QCOMPARE(stored.ChannelItemViewViewedFeedItemFgdCol, 0x808080);
        QCOMPARE(stored.ItalicizeViewedFeedItems, true);
        QCOMPARE(stored.EnableMyChannelsBoldFonts, false);
        QCOMPARE(stored.CaptionBarFontSize, 20);
        QCOMPARE(stored.CaptionBarBgdCol, 0xFAE6E6);
        QCOMPARE(stored.ReadMeListBgdCol, 0xFFFFFF);
    }

    void searchPageRemovesDeletedCategories() {
        GlobalOptions& options = GlobalOptions::instance();
        options.ChannelCategories = {"News", "Tech", "Sport"};
        auto* channel = new channels::RssChannel(manager_.get(), programPaths().channelsDir + "/a.rss");
        channel->getChannelSettings().setChannelCategories({"News", "Tech", "Local"});
        manager_->addChannel(channel);
        const int result = runSheet([&](QDialog& sheet) {
            auto* list = control<CChannelCategoriesCtrlEditListBox>(sheet, SearchPage, "categoriesList");
            list->addTypedItem(" ");     // refused
            list->addTypedItem("news");  // a duplicate in other letters: refused
            list->renameItem(2, "");     // an empty rename: refused, the old name back
            list->renameItem(1, "Science");
            pressOk(sheet);
        });
        QCOMPARE(result, int(IDOK));
        QCOMPARE(messages_, (QStringList{"Invalid channel category.", "This channel category is already defined.",
                                         "Invalid channel category."}));
        QCOMPARE(reread().ChannelCategories, (std::vector<std::string>{"News", "Science", "Sport"}));
        // A renamed category is a removed one: the channel loses it and gains nothing.
        QCOMPARE(channel->getChannelSettings().getChannelCategories(), (std::vector<std::string>{"News", "Local"}));
    }
};

QTEST_MAIN(OptionsSheetTest)
#include "optionsSheet_qtest.moc"
