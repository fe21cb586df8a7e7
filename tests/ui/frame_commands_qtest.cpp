// The main frame's commands as the user meets them: the menus' items and
// their states with no channel, a listed channel, a selected one and an open
// channel window; the dynamic ranges; every command run by number with the
// dialogs it opens answered; deleting a channel; reports made on request and
// when they fall due.
#include <QAction>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QtTest>
#include <filesystem>
#include <sys/stat.h>
#include <map>

#include "app/core/branding.h"
#include "desktop/desktopWiring.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/options/userTool.h"
#include "channels/hooks/channelHook.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/hints/hints.h"
#include "platform/messages.h"
#include "tests/app/app_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/ini.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/browser/simpleBrowser.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelFrame.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "ui/frame/outputBar.h"
#include "widgets/helpers/desktopServices.h"

namespace msg = platform::messages;

namespace {

// The pages the frame asks the simple-browser windows to show, noted on
// their way to the program's own window services, which show them.
class PageRecorder : public DesktopServices {
public:
    PageRecorder() : program_(getDesktopServices()) { setDesktopServices(this); }
    ~PageRecorder() override { setDesktopServices(program_); }
    void urlOpened(const std::string& url, channels::Channel* channel) override { program_->urlOpened(url, channel); }
    void showInSimpleBrowser(const std::string& title, const std::string& url, bool showNavBar) override {
        pages.emplace_back(title, url);
        program_->showInSimpleBrowser(title, url, showNavBar);
    }
    std::vector<std::pair<std::string, std::string>> pages;

private:
    DesktopServices* program_;
};

class DeletionWatcher : public UiEventHandler {
public:
    void onChannelDeleted(ChannelDeletedUiEvent& e) override { deleted.push_back(e.getChannel()); }
    void onChannelViewActivated(ChannelViewActivatedUiEvent& e) override {
        if (e.isFromMainFrameFocus()) refocused.push_back(e.getChannel());
    }
    std::vector<channels::Channel*> refocused;
    std::string getDescription() const override { return "[DeletionWatcher]"; }
    std::vector<channels::Channel*> deleted;
};

// Channels with desktop settings, the program's paths in a temporary folder,
// empty option lists, and a shown main frame.
struct Fixture : apptest::DesktopFixture {
    Fixture() {
        setChannelManager(manager.get());
        ProgramPaths& paths = programPaths();
        paths.userConfigFile = dir.file("config.ini");
        paths.globalIniFile = dir.file("global.ini");
        paths.programDir = dir.str() + "/";
        paths.reportsDir = dir.file("Reports");
        GlobalOptions& options = GlobalOptions::instance();
        options.ChannelFilters.clear();
        options.ChannelFilterHotkeys.clear();
        options.ChannelReportConfigs.clear();
        options.ChannelReportHotkeys.clear();
        options.ChannelFavorites.clear();
        options.ChannelFavoriteHotkeys.clear();
        options.ChannelCategories.clear();
        options.UserTools.clear();
        options.ShowCaptionBar = true;
        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = dir.str();
        setup.trayAttempts = 1;
        frame = std::make_unique<CMainFrame>();
        frame->create(setup);
        frame->show();
        getUiHandler()->addEventHandler(&watcher);
    }
    ~Fixture() {
        getUiHandler()->removeEventHandler(&watcher);
        // No window outlives its channel.
        QList<QPointer<QMdiSubWindow>> children;
        for (QMdiSubWindow* child : frame->getMdiArea()->subWindowList()) children << child;
        for (const auto& child : children) {
            if (!child.isNull()) {
                child->setAttribute(Qt::WA_DeleteOnClose);
                child->close();
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const auto& child : children) delete child.data();
        frame.reset();
        resetProgramObjectsForTests();
    }
    CControlCenterMyChannelsWnd* list() const { return frame->getWorkspaceBar()->getMyChannelsWnd(); }
    void reloadList() { list()->loadChannels(); }
    bool enabled(int id) {
        frame->updateCommandUi(id);
        return frame->getCommand(id)->isEnabled();
    }
    // Opens a menu as the user would: it completes itself first.
    QMenu* open(const QString& name) {
        QMenu* menu = frame->getMenu(name);
        emit menu->aboutToShow();
        return menu;
    }
    static QStringList texts(QMenu* menu) {
        QStringList result;
        for (QAction* a : menu->actions()) {
            if (a->isVisible()) result << (a->isSeparator() ? QString("-") : a->text());
        }
        return result;
    }
    static std::vector<int> ids(QMenu* menu) {
        std::vector<int> result;
        for (QAction* a : menu->actions()) {
            if (a->isVisible() && a->property("commandId").isValid())
                result.push_back(a->property("commandId").toInt());
        }
        return result;
    }
    int send(int id) { return static_cast<int>(msg::sendMessage(frame->getHandle(), msg::WM_COMMAND, id, 0)); }

    std::unique_ptr<CMainFrame> frame;
    DeletionWatcher watcher;
};

ChannelFilter filterNamed(const std::string& name) {
    ChannelFilter filter;
    filter.setFilterName(name);
    return filter;
}

}  // namespace

class FrameCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUiHandler(true); }
    // A fixture's end resets the program's objects.
    void init() { wiring.install(); }

    // The items' states with no channel, a channel listed but not selected,
    // a selected channel, and its window open.
    void menuStatesFollowTheChannelsAndWindows() {
        Fixture f;
        struct Case {
            int id;
            bool none, listed, selected, window;
        };
        const std::vector<Case> cases = {
            {32847, true, true, true, true},    {32845, false, false, true, true},   {32963, false, true, true, true},
            {32826, false, false, true, true},  {32827, false, false, true, true},   {32828, false, false, true, true},
            {32888, false, false, true, true},  {32952, false, false, false, true},  {32970, false, false, true, true},
            {32905, false, false, true, true},  {32858, false, false, false, true},  {32859, false, false, false, true},
            {57602, false, false, false, true}, {57650, false, false, false, true},  {57649, false, false, false, true},
            {32848, false, false, false, true}, {32823, false, false, false, true},  {32835, true, true, true, true},
            {32962, true, true, true, true},    {32793, false, false, false, false},
        };
        const auto check = [&](bool Case::*state, const char* name) {
            for (const Case& c : cases) {
                if (f.enabled(c.id) != c.*state) {
                    QFAIL(qPrintable(QString("command %1 in state %2").arg(c.id).arg(name)));
                }
            }
        };
        check(&Case::none, "none");
        QCOMPARE(Fixture::texts(f.open("File")), (QStringList{"&New channel...", "&Open channel", "Open n&ext channel",
                                                              "&Close", "-", "&Delete channel", "-", "E&xit"}));
        // No channel, no hook: the Edit menu has no hook commands at all.
        QCOMPARE(Fixture::texts(f.open("Edit")).last(), QString("Add to &read-me list"));

        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 3));
        f.reloadList();
        f.list()->selectRow(-1);
        check(&Case::listed, "listed");
        f.list()->selectRow(0);
        check(&Case::selected, "selected");
        QVERIFY(f.frame->runCommand(32845));
        QTRY_VERIFY(CChannelDoc::openChannelDoc(alpha, false) != nullptr);
        check(&Case::window, "window");
        // The item pane's command says what it will do.
        f.open("Edit");
        QCOMPARE(f.frame->getCommand(32859)->text(), QString("Hide &item pane"));
        // The Plugins tab renames Open.
        f.frame->getWorkspaceBar()->activateAppPluginsTab();
        f.open("File");
        QCOMPARE(f.frame->getCommand(32845)->text(), QString("&Open plugin"));
        QVERIFY(!f.frame->getCommand(32845)->isEnabled());
        // In the single-window layout the window commands are off.
        setUiHandler(false);
        QVERIFY(!f.enabled(57650));
        setUiHandler(true);
    }

    // The categories sub-menu of a context menu: only with a current channel
    // and defined categories; its items toggle the channel's membership and
    // save the channel.
    void categoriesOfTheCurrentChannel() {
        Fixture f;
        GlobalOptions::instance().ChannelCategories = {"News", "Tech"};
        QMenu context;
        context.addAction(f.frame->getCommand(32845));
        context.addAction(f.frame->getCommand(32965));
        context.addAction(f.frame->getCommand(32966));
        f.frame->onShowPopupMenu(&context);
        QCOMPARE(Fixture::texts(&context), QStringList{"&Open channel"});

        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 1));
        f.reloadList();
        f.list()->selectRow(0);
        f.frame->onShowPopupMenu(&context);
        QCOMPARE(Fixture::texts(&context), (QStringList{"&Open channel", "-", "Channel &categories"}));
        QMenu* sub = context.actions()[3]->menu();
        QVERIFY(sub != nullptr);
        QCOMPARE(Fixture::texts(sub), (QStringList{"News", "Tech"}));
        QVERIFY(!sub->actions()[1]->isChecked());
        QVERIFY(f.frame->runCommand(130));
        QVERIFY(alpha->getChannelSettings().hasChannelCategory("Tech"));
        QVERIFY(testsupport::readFile(alpha->getConfigFilename()).find("Tech") != std::string::npos);
        f.frame->onShowPopupMenu(&context);
        QVERIFY(context.actions()[3]->menu()->actions()[1]->isChecked());
        QVERIFY(f.frame->runCommand(130));
        QVERIFY(!alpha->getChannelSettings().hasChannelCategory("Tech"));
        // Opened again, the menu holds one sub-menu, not two.
        f.frame->onShowPopupMenu(&context);
        QCOMPARE(Fixture::texts(&context).count("Channel &categories"), 1);
    }

    // A hook with commands: its sub-menu in the Edit menu, numbered from
    // 61440, runs the hook's command; a failing command is reported.
    void hookCommandsOfTheCurrentChannel() {
        Fixture f;
        channels::installChannelHookHost();
        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 1));
        const std::string ran = f.dir.file("ran.txt");
        const std::string script = f.dir.file("marker.sh");
        testsupport::writeFile(script, "#!/bin/sh\ngrep CommandName \"$1\" >> '" + ran +
                                           "'\ngrep -q 'CommandName=Fail' \"$1\" && echo broken >&2\nexit 0\n");
        ::chmod(script.c_str(), 0755);
        const std::string hookFile = f.dir.file("marker.hook");
        testsupport::writeFile(hookFile, "[Config]\nScriptFilename=" + script +
                                             "\nDisplayName=Marker\n"
                                             "[ChannelHookCommandDefinition-1]\nName=Mark\nDisplayName=Mark it\n"
                                             "[ChannelHookCommandDefinition-2]\nName=Fail\nDisplayName=Fail it\n");
        std::unique_ptr<channels::ChannelHook> hook = channels::createChannelHook(hookFile);
        hook->loadSettings(hookFile, alpha->getConfigFilename(), "ChannelHookConfig-1", "ChannelHookSettings-1");
        alpha->getChannelSettings().setChannelHooks({hook.get()});
        f.reloadList();
        f.list()->selectRow(0);

        QMenu* edit = f.open("Edit");
        QCOMPARE(Fixture::texts(edit).mid(Fixture::texts(edit).size() - 2), (QStringList{"-", "Marker"}));
        QMenu* sub = edit->actions().last()->menu();
        QVERIFY(sub != nullptr);
        QCOMPARE(Fixture::texts(sub), (QStringList{"Mark it", "Fail it"}));
        QStringList messages;
        dialogs::ScopedModalAnswerer answerer(
            [&](QDialog& dialog) { dialogs::answerIfMessageBox(dialog, dialogs::IDOK, &messages); });
        sub->actions()[0]->trigger();
        QCOMPARE(testsupport::readFile(ran), std::string("CommandName=Mark\n"));
        QVERIFY(messages.isEmpty());
        QVERIFY(f.frame->runCommand(61441));
        QCOMPARE(messages, QStringList{"The channel hook command failed. Please check the logs for details."});
        // Opened again, the menu is the same, not doubled.
        QCOMPARE(Fixture::texts(f.open("Edit")).count("Marker"), 1);
        alpha->getChannelSettings().setChannelHooks({});
    }

    // 25 filters, reports, favourites and tools: 20 items each, numbered in
    // their ranges; the items act by number.
    void dynamicRangesShowTwenty() {
        Fixture f;
        GlobalOptions& options = GlobalOptions::instance();
        for (int n = 1; n <= 25; ++n) {
            options.ChannelFilters.push_back(filterNamed("Filter " + std::to_string(n)));
            options.ChannelFilterHotkeys.appendHotkey(Hotkey());
            ChannelReportConfig report;
            report.setReportName("Report " + std::to_string(n));
            options.ChannelReportConfigs.push_back(report);
            options.ChannelReportHotkeys.appendHotkey(Hotkey());
            auto* channel = f.addChannel("c" + std::to_string(n), apptest::numberedItems("c", 1));
            options.ChannelFavorites.push_back(channel->getConfigFilename());
            options.ChannelFavoriteHotkeys.appendHotkey(Hotkey());
            options.UserTools.push_back(
                std::make_unique<UrlUserTool>("Tool " + std::to_string(n), "", "http://t.test/?q={%SELTEXT%}"));
        }
        options.ChannelFilterHotkeys.getHotkey(0).fromString("Ctrl+F1");
        f.reloadList();

        const auto range = [](int first) {
            std::vector<int> v;
            for (int id = first; id < first + 20; ++id) v.push_back(id);
            return v;
        };
        QMenu* filters = f.open("Filters");
        QCOMPARE(Fixture::ids(filters), range(109));
        QCOMPARE(filters->actions().first()->text(), QString("Filter 1\tCtrl+F1"));
        QCOMPARE(filters->actions().last()->text(), QString("Filter 20"));
        QCOMPARE(Fixture::ids(f.open("Filters")), range(109));  // not doubled when opened again
        QCOMPARE(Fixture::ids(f.open("Reports")), range(149));
        std::vector<int> favorites = Fixture::ids(f.open("Favorites"));
        QCOMPARE(favorites.front(), 32960);
        favorites.erase(favorites.begin());
        QCOMPARE(favorites, range(32926));
        std::vector<int> tools = Fixture::ids(f.open("Tools"));
        QCOMPARE(tools.size(), std::size_t(22));
        QCOMPARE(std::vector<int>(tools.begin() + 2, tools.end()), range(189));

        // By number: filter 20 applies to My Channels, favourite 20 opens.
        QVERIFY(f.frame->runCommand(128));
        QCOMPARE(f.list()->getChannelFilter().getFilterName(), std::string("Filter 20"));
        QVERIFY(f.frame->runCommand(32945));
        QVERIFY(CChannelDoc::openChannelDoc(findChannel(options.ChannelFavorites[19]), false) != nullptr);
        // Filters beyond the list beep and change nothing.
        options.ChannelFilters.resize(3);
        QVERIFY(f.frame->runCommand(120));
        QCOMPARE(f.list()->getChannelFilter().getFilterName(), std::string("Filter 20"));
    }

    // Mnemonics of favourites and tools: the first unused first character.
    void dynamicMnemonics() {
        Fixture f;
        GlobalOptions& options = GlobalOptions::instance();
        for (const char* name : {"alpha", "alpine", "beta", "7up"}) {
            options.ChannelFavorites.push_back(f.addChannel(name, {})->getConfigFilename());
            options.ChannelFavoriteHotkeys.appendHotkey(Hotkey());
        }
        options.ChannelFavorites.insert(options.ChannelFavorites.begin() + 1, f.channelFile("gone.rss"));
        options.ChannelFavoriteHotkeys.appendHotkey(Hotkey());
        QCOMPARE(Fixture::texts(f.open("Favorites")),
                 (QStringList{"Organize favorites...", "-", "&alpha", "alpine", "&beta", "&7up"}));
        // The favourite that has no channel keeps its number: the next one is 32928.
        QCOMPARE(Fixture::ids(f.open("Favorites"))[2], 32928);
        for (const char* name : {"Options lookup", "dictionary", "Dict two", "&Maps", "C++ search"}) {
            options.UserTools.push_back(std::make_unique<UrlUserTool>(name, "", "http://t.test/"));
        }
        QCOMPARE(Fixture::texts(f.open("Tools")), (QStringList{"&Options...", "&Customize...", "-", "Options lookup",
                                                               "&dictionary", "Dict two", "&Maps", "C++ search"}));
    }

    // Every command by number, the answerer closing whatever it opens: which
    // commands open a dialog, and what it is.
    void everyCommandByNumber() {
        Fixture f;
        PageRecorder pages;
        // The program's web pages, served here.
        testsupport::HttpServer server;
        server.route("/*", testsupport::HttpAnswer::text("<html><body>page</body></html>"));
        ProgramPaths& paths = programPaths();
        paths.forumsUrl = server.url("/forums");
        paths.faqUrl = server.url("/faq");
        paths.welcomeUrl = server.url("/welcome");
        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 2));
        f.reloadList();
        f.list()->selectRow(0);
        QVERIFY(f.frame->runCommand(32845));
        QTRY_VERIFY(CChannelDoc::openChannelDoc(alpha, false) != nullptr);

        // The organize dialogs' first-time hint is not what this test is about.
        dialogs::setHintEnabled("AssigningHotKeys", false);
        std::vector<QString> opened;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (dialogs::isMessageBox(dialog)) {
                opened.push_back("box: " + dialogs::messageText(dialog));
                if (!dialogs::pressAnswer(dialog, dialogs::IDCANCEL)) dialogs::pressAnswer(dialog, dialogs::IDOK);
            } else {
                const QString className = dialog.metaObject()->className();
                opened.push_back(className == "QDialog" ? dialog.objectName() : className);
                dialog.reject();
            }
        });
        const std::map<int, QString> expected = {
            {32826, "box: Do you want to delete alpha?"},
            {32827, "dialogs::CChannelPropSheet"},
            {32835, "dialogs::COptionsPropSheet"},
            {57664, "dialogs::CAboutPropSheet"},
            {57667, "dialogs::CCantFindChmDlg"},
            {57670, "dialogs::CCantFindChmDlg"},
            {57671, "dialogs::CCantFindChmDlg"},
            {32823, "windowListDlg"},
            {32960, "dialogs::COrganizeChannelFavoritesDlg"},
            {32962, "dialogs::COrganizeChannelFiltersDlg"},
            {32968, "dialogs::COrganizeChannelReportsDlg"},
            {32847, "dialogs::CNewChannelWizard"},
        };
        std::vector<int> commands = {32847, 32845, 32963, 32826, 32827, 32828, 32888, 32952, 32858, 32859, 32912, 32856,
                                     32857, 32896, 32905, 32970, 32831, 32832, 32962, 32968, 32833, 32834, 32803, 32804,
                                     32895, 32816, 59393, 32838, 32839, 32817, 32818, 32960, 32835, 32770, 57650, 57651,
                                     57649, 32823, 57667, 57670, 57671, 57669, 32955, 32951, 32891, 32889, 57664};
        for (int first : {109, 129, 149, 189, 32926, 32793}) {
            for (int id = first; id < first + 10; ++id) commands.push_back(id);
        }
        commands.push_back(57602);
        commands.push_back(32848);
        for (int id : commands) {
            opened.clear();
            QCOMPARE(f.send(id), 0);
            QCoreApplication::processEvents();
            auto it = expected.find(id);
            const std::vector<QString> wanted =
                it == expected.end() ? std::vector<QString>{} : std::vector<QString>{it->second};
            if (opened != wanted) {
                QFAIL(qPrintable(QString("command %1 opened: %2")
                                     .arg(id)
                                     .arg(opened.empty() ? QString("nothing") : opened.front())));
            }
        }
        // Cancelled deletion: the channel is still there.
        QCOMPARE(f.manager->getChannelCount(), 1);
        // The pages went to the simple-browser windows: the last feed, the
        // forums, the FAQ, the welcome page, the licence.
        QCOMPARE(pages.pages.size(), std::size_t(5));
        QCOMPARE(pages.pages[0].first, std::string("Last feed for alpha"));
        QCOMPARE(pages.pages[1].first, std::string("Orvan forums"));
        QCOMPARE(pages.pages[2].first, std::string("Orvan FAQ"));
        QCOMPARE(pages.pages[4].first, std::string("Software License"));
        QCOMPARE(pages.pages[4].second, "file://" + f.dir.str() + "/license.html");
        QTRY_VERIFY(f.frame->getMdiArea()->subWindowList().isEmpty());
    }

    // The engine deletes the file first: when it can't, the user is told,
    // and the channel keeps its settings and its place in the windows.
    void deletingAChannelWhoseFileCannotBeRemoved() {
        Fixture f;
        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 2));
        f.reloadList();
        f.list()->selectRow(0);
        // A folder with a file in it where the channel file was: no removal
        // can take it, whoever runs the test.
        const std::string file = alpha->getConfigFilename();
        std::filesystem::remove(file);
        testsupport::writeFile(file + "/keep", "x");

        QStringList messages;
        dialogs::ScopedModalAnswerer answerer(
            [&](QDialog& dialog) { dialogs::answerIfMessageBox(dialog, dialogs::IDOK, &messages); });
        QVERIFY(f.frame->runCommand(32826));
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0], QString("Do you want to delete alpha?"));
        QVERIFY2(messages[1].startsWith("Can't delete the channel.\n\nCan't delete the channel config file"),
                 qPrintable(messages[1]));
        QCOMPARE(f.manager->getChannelCount(), 1);
        QVERIFY(getChannelDesktopSettings(alpha) != nullptr);
        QVERIFY(f.watcher.deleted.empty());
        QCOMPARE(f.list()->rowCount(), 1);

        // Once the file can go, the channel goes: settings, windows' rows.
        std::filesystem::remove_all(file);
        testsupport::writeFile(file, "[Config]\n");
        messages.clear();
        QVERIFY(f.frame->runCommand(32826));
        QCOMPARE(messages, QStringList{"Do you want to delete alpha?"});
        QCOMPARE(f.manager->getChannelCount(), 0);
        QVERIFY(!std::filesystem::exists(file));
        QCOMPARE(f.watcher.deleted, std::vector<channels::Channel*>{alpha});
        QVERIFY(getChannelDesktopSettingsTable().find(alpha) == nullptr);

        // A channel the distributor made permanent may not be deleted.
        auto* beta = f.addChannel("beta", {});
        f.reloadList();
        f.list()->selectRow(0);
        const std::string branding = f.dir.file("branding.ini");
        testsupport::writeFile(branding, "[PermanentFeedUrls]\n1=" + beta->getSourceUrl() + "\n");
        BrandingConfig::instance().load(branding);
        messages.clear();
        QVERIFY(f.frame->runCommand(32826));
        BrandingConfig::instance().load(f.dir.file("none.ini"));
        QCOMPARE(messages, QStringList{"This channel may not be deleted."});
        QCOMPARE(f.manager->getChannelCount(), 1);
    }

    // Properties, as start-up wires the sheet's "Server authentication":
    // the credential typed there reaches the channel file, and the sheet
    // shows it again once the channel is read back from that file.
    void siteCredentialFromThePropertiesSheet() {
        Fixture f;
        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 1));
        alpha->save();
        f.reloadList();
        f.list()->selectRow(0);

        QString shownUser, shownPassword;
        const auto properties = [&](const QString& user, const QString& password) {
            shownUser.clear();
            shownPassword.clear();
            dialogs::ScopedModalAnswerer answerer([&](QDialog& dialog) {
                if (auto* sheet = qobject_cast<dialogs::CChannelPropSheet*>(&dialog)) {
                    sheet->configPage()->findChild<QPushButton*>("serverAuthButton")->click();
                    sheet->okButton()->click();
                } else if (dialog.objectName() == "httpAuthDialog") {
                    auto* userEdit = dialog.findChild<QLineEdit*>("userNameEdit");
                    auto* passwordEdit = dialog.findChild<QLineEdit*>("passwordEdit");
                    shownUser = userEdit->text();
                    shownPassword = passwordEdit->text();
                    userEdit->setText(user);
                    passwordEdit->setText(password);
                    dialog.findChild<QPushButton*>("okButton")->click();
                } else if (!dialogs::answerIfMessageBox(dialog, dialogs::IDOK)) {
                    dialog.reject();
                }
            });
            QVERIFY(f.frame->runCommand(32827));
        };
        properties("reader", "s3cret");
        const std::string file = alpha->getConfigFilename();
        QCOMPARE(tools::getIniString(file, "Config", "SiteAuthType", "", false), std::string("BASIC"));
        QVERIFY(testsupport::readFile(file).find("s3cret") == std::string::npos);

        // As at the next start: the channel's configuration comes from the file.
        alpha->getChannelConfig().setHttpAuth(nullptr);
        alpha->load();
        properties("reader", "s3cret");
        QCOMPARE(shownUser, QString("reader"));
        QCOMPARE(shownPassword, QString("s3cret"));
    }

    // Closing: the tray question for a notification-area program, the exit
    // confirmation, the tray's Exit and the end of the session; minimising
    // into the tray.
    void closingAndMinimising() {
        Fixture f;
        GlobalOptions& options = GlobalOptions::instance();
        int closings = 0;
        connect(f.frame.get(), &CMainFrame::closing, [&] { ++closings; });
        QStringList hints;
        int press = 3;  // the buttons: OK 2, Cancel 3; Yes 1, No 2, Cancel 3
        dialogs::ScopedModalAnswerer answerer([&](QDialog& dialog) {
            hints << dialog.findChild<QLabel*>("hintText")->text().trimmed();
            dialog.findChild<QPushButton*>(QString("hintButton%1").arg(press))->click();
        });
        // Cancel keeps the program; OK ends it.
        QVERIFY(!f.frame->close());
        QCOMPARE(closings, 0);
        QCOMPARE(hints.size(), 1);
        QVERIFY(hints[0].startsWith("Do you want to exit?"));
        press = 2;
        QVERIFY(f.frame->close());
        QCOMPARE(closings, 1);

        // A notification-area program: No hides the window, Yes makes it a
        // normal program again, and the next close asks to exit.
        options.RunAsSystemTrayApp = true;
        f.frame->show();
        hints.clear();
        press = 2;
        QVERIFY(!f.frame->close());
        QVERIFY(f.frame->isHidden());
        QCOMPARE(closings, 1);
        QVERIFY(hints.first().startsWith("The program is running as a system tray application."));
        f.frame->showNormal();
        QCoreApplication::processEvents();
        press = 1;
        QVERIFY(!f.frame->close());
        QVERIFY(!options.RunAsSystemTrayApp);
        QVERIFY(f.frame->isVisible());
        // The tray's Exit skips the tray question, not the confirmation.
        options.RunAsSystemTrayApp = true;
        hints.clear();
        press = 3;
        setExitRequested(true);
        QVERIFY(!f.frame->close());
        QCOMPARE(hints.size(), 1);
        QVERIFY(hints[0].startsWith("Do you want to exit?"));
        QVERIFY(!isExitRequested());
        // Minimised, it lives on as the icon.
        f.frame->showMinimized();
        QTRY_VERIFY(f.frame->isHidden());
        // The end of the session asks nothing.
        hints.clear();
        f.frame->showNormal();
        f.frame->closeWithoutQuestions();
        QVERIFY(hints.isEmpty());
        QCOMPARE(closings, 2);
        options.RunAsSystemTrayApp = false;
    }

    // A channel window's tab menu holds the channel's commands; the main
    // window made active again announces its active channel window.
    void channelWindowTabMenuAndRefocus() {
        Fixture f;
        auto* alpha = f.addChannel("alpha", apptest::numberedItems("alpha", 1));
        CChannelDoc* doc = CChannelDoc::openChannelDoc(alpha, true);
        QVERIFY(doc != nullptr);
        std::unique_ptr<QMenu> menu(f.frame->createMdiTabMenu(doc->getFrame(), f.frame.get()));
        QVERIFY(menu != nullptr);
        QCOMPARE(Fixture::texts(menu.get()), (QStringList{"&Update now", "-", "&Properties...", "Show &summary",
                                                          "Show na&vbar", "View last &feed", "-", "&Close"}));
        QVERIFY(menu->actions()[0]->isEnabled());
        f.frame->getMdiArea()->setActiveSubWindow(doc->getFrame());
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(f.frame.get(), &activate);
        QCOMPARE(f.watcher.refocused, std::vector<channels::Channel*>{alpha});

        // A simple-browser window's tab: the navigation bar and Close.
        CSimpleBrowserDoc* page = ui::openSimpleBrowserWindow("http://127.0.0.1:9/", "A page");
        QVERIFY(page != nullptr);
        QMdiSubWindow* pageFrame = f.frame->getMdiArea()->currentSubWindow();
        QVERIFY(pageFrame != nullptr && pageFrame != doc->getFrame());
        std::unique_ptr<QMenu> pageMenu(f.frame->createMdiTabMenu(pageFrame, f.frame.get()));
        QVERIFY(pageMenu != nullptr);
        QCOMPARE(Fixture::texts(pageMenu.get()).mid(1), (QStringList{"-", "&Close"}));
    }

    // A report made on request is shown in its window, or the user is told
    // where it went; a report whose interval has passed is made by the timer,
    // one per tick, and its time saved.
    void reportsOnRequestAndWhenDue() {
        Fixture f;
        PageRecorder pages;
        f.addChannel("alpha", apptest::numberedItems("alpha", 1));
        f.addChannel("beta", apptest::numberedItems("beta", 1));
        GlobalOptions& options = GlobalOptions::instance();
        options.ChannelFilters.push_back(filterNamed("All"));
        const std::string tmpl = f.dir.file("names.template");
        testsupport::writeFile(tmpl, "{%REPEAT%Channels}{%CHANNEL-NAME%};{%/REPEAT%}");
        const auto report = [&](const std::string& name) {
            ChannelReportConfig r;
            r.setReportName(name);
            r.setChannelFilterName("All");
            r.setTemplateFilename(tmpl);
            r.setOutputFilename(f.dir.file(name + ".html"));
            return r;
        };
        ChannelReportConfig shown = report("Shown");
        f.frame->generateChannelReport(shown);
        QCOMPARE(testsupport::readFile(f.dir.file("Shown.html")), std::string("alpha;beta;"));
        QCOMPARE(pages.pages.size(), std::size_t(1));
        QCOMPARE(pages.pages[0].first, std::string("Channel report: Shown"));
        QVERIFY(pages.pages[0].second.rfind("file://", 0) == 0);

        QStringList messages;
        dialogs::ScopedModalAnswerer answerer(
            [&](QDialog& dialog) { dialogs::answerIfMessageBox(dialog, dialogs::IDOK, &messages); });
        ChannelReportConfig saved = report("Saved");
        saved.setShowResults(false);
        f.frame->generateChannelReport(saved);
        QCOMPARE(messages, QStringList{QString::fromStdString("The report has been generated and saved in " +
                                                              f.dir.file("Saved.html"))});
        ChannelReportConfig broken = report("Broken");
        broken.setTemplateFilename(f.dir.file("missing.template"));
        messages.clear();
        f.frame->generateChannelReport(broken);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].startsWith("Can't generate the channel report.\n\n"));

        // Two reports due at once: one per tick of the frame's timer, in
        // their order; then none.
        ChannelReportConfig first = report("First");
        first.setAutoUpdateInterval(3600);
        ChannelReportConfig second = report("Second");
        second.setAutoUpdateInterval(3600);
        ChannelReportConfig manual = report("Manual");
        options.ChannelReportConfigs = {manual, first, second};
        f.frame->notificationTimerProc();
        QVERIFY(std::filesystem::exists(f.dir.file("First.html")));
        QVERIFY(!std::filesystem::exists(f.dir.file("Second.html")));
        QVERIFY(options.ChannelReportConfigs[1].getLastUpdateTime() > 0);
        f.frame->notificationTimerProc();
        QVERIFY(std::filesystem::exists(f.dir.file("Second.html")));
        f.frame->notificationTimerProc();
        QVERIFY(!std::filesystem::exists(f.dir.file("Manual.html")));
        const std::string log = f.frame->getOutputBar()->activityLog()->toPlainText().toStdString();
        QVERIFY2(log.find(" Auto-generating report First.") != std::string::npos, log.c_str());
        QVERIFY(log.find("Auto-generating report Manual") == std::string::npos);
        // The new times are in config.ini.
        ChannelReportConfig reread;
        QVERIFY(reread.load(programPaths().userConfigFile, "Channel Report Config 2"));
        QCOMPARE(reread.getReportName(), std::string("First"));
        QVERIFY(reread.getLastUpdateTime() > 0);
    }

private:
    DesktopWiring wiring;
};

QTEST_MAIN(FrameCommandsTest)
#include "frame_commands_qtest.moc"
