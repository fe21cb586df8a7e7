// The page windows: simple-browser windows (one per key) and application
// plug-in windows served by the real plug-in server, and the plug-in's
// property sheet. Pages come from the HTTP test server, local files and
// plug-ins (a script plug-in written here, the staged listintake).
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "desktop/desktopWiring.h"
#include "app/listeners/localPortListener.h"
#include "app/options/globalOptions.h"
#include "channels/appPlugins/appPlugin.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/plugin/scriptingEngine.h"
#include "widgets/base/messageBox.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/hints/hints.h"
#include "lib/misc/threadSafety.h"
#include "tests/support/httpServer.h"
#include "tools/ini.h"
#include "ui/appPlugin/appPluginPropSheet.h"
#include "ui/appPlugin/appPluginWindow.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/bars/workspaceBar.h"
#include "ui/browser/simpleBrowser.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/openers.h"
#include "widgets/controls/linkButton.h"
#include "widgets/controls/paramsGrid.h"

namespace {

// A script plug-in: its main page greets with its parameter and holds a form
// that asks the plug-in server for "answer"; every request is answered with
// its name and parameters.
const char* kPageScript = R"(import sys, urllib.parse
values = {}
section = ""
for raw in open(sys.argv[1], encoding="utf-8"):
    raw = raw.rstrip("\r\n")
    if raw.startswith("[") and raw.endswith("]"):
        section = raw[1:-1]
    elif "=" in raw:
        key, value = raw.split("=", 1)
        values[section + "." + key] = urllib.parse.unquote(value)
server = values.get("System.AppPluginServerUrl", "")
if values.get("System.Command") == "GenerateMainPage":
    print("<html><head><title>Pages main</title></head><body><p>Main page " + values.get("PluginParameters.Greeting", "")
          + "</p><form method='get' action='" + server + "/pages/answer'><input name='q' autofocus></form></body></html>")
else:
    print("<html><head><title>Pages answer</title></head><body><p>Answer to " + values.get("System.PluginRequest", "")
          + " with " + values.get("System.ParamString", "") + "</p></body></html>")
)";

QString pageText(QWebEngineView* view) {
    QString text;
    bool done = false;
    view->page()->toPlainText([&](const QString& t) {
        text = t;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 5000);
    return text;
}

bool pageShows(QWebEngineView* view, const QString& needle) {
    return QTest::qWaitFor([&] { return !view->page()->isLoading() && pageText(view).contains(needle); }, 20000);
}

int rowOf(ParamsGrid* grid, const QString& name) {
    for (int row = 0; row < grid->propertyCount(); ++row) {
        if (grid->propertyName(row) == name) return row;
    }
    return -1;
}

int subWindowCount() { return getMainFrame()->getMdiArea()->subWindowList().size(); }

}  // namespace

class PageWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        ::setenv("TMP", dir.str().c_str(), 1);
        programPaths().appName = "Orvan";
        programPaths().userConfigFile = dir.file("config.ini");
        // Python scripts as global.ini names them; the frame puts the
        // options into effect below, as start-up does.
        GlobalOptions::instance().ScriptingFileAssociations = {{".py", "python3 %1 %*"}};
        channels::getScriptingEngine().setUserConfigFilename(dir.file("config.ini"));
        setUiHandler(true);
        // The program's own wiring: the openers show pages in these windows,
        // the main frame's commands open plug-in windows and sheets, the
        // application server's read-me requests reach the read-me list.
        wiring.install();
        frame = std::make_unique<CMainFrame>();
        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = dir.str();
        setup.trayAttempts = 1;
        QVERIFY(frame->create(setup));
        frame->show();
        getUiHandler()->addEventHandler(frame.get());
        frame->applyGlobalOptions();
        QDesktopServices::setUrlHandler("mailto", this, "captureUrl");

        testsupport::writeFile(dir.file("plugins/page.py"), kPageScript);
        testsupport::writeFile(dir.file("plugins/pages.plugin"),
                               "[Config]\nAppPluginId=pages\nAppPluginDisplayName=Test Pages\nPlugin=page.py\n"
                               "AuthorName=A. Writer\nAuthorEmailAddress=writer@example.com\n"
                               "PluginNotes=First line\\nSecond line\n"
                               "[PluginParameterDefinition-1]\nName=Greeting\nType=string\nDefaultValue=hello\n");
        testsupport::writeFile(dir.file("plugins/broken.plugin"), "[Config]\nAppPluginId=broken\nPlugin=broken.xyz\n");
        plugins.setAppPluginDir(dir.file("plugins"));
        plugins.loadAppPlugins();
        QVERIFY(plugins.findAppPlugin("pages") != nullptr);
        QVERIFY(plugins.findAppPlugin("broken") != nullptr);

        // The plug-in server and the application server on free ports.
        pluginPort = testsupport::freeLoopbackPort();
        appPort = testsupport::freeLoopbackPort();
        plugins.setServerPorts(appPort, pluginPort);
        // Script plug-ins' request files name the program's own servers.
        channels::getAppPluginManager().setServerPorts(appPort, pluginPort);
        pluginServer = std::make_unique<listeners::AppPluginServerLocalPortListener>(pluginPort, &plugins);
        appServer = std::make_unique<listeners::AppServerLocalPortListener>(appPort);
        pluginServer->start();
        appServer->start();
        QVERIFY(pluginServer->isListening());
        QVERIFY(appServer->isListening());
    }
    void cleanupTestCase() {
        pluginServer->stop();
        appServer->stop();
        resetProgramObjectsForTests();
        frame.reset();
        QDesktopServices::unsetUrlHandler("mailto");
    }
    void cleanup() {
        GlobalOptions::instance().NavBarMode = 0;
        frame->closeAllWindows();
        QTRY_COMPARE(subWindowCount(), 0);
        QTRY_COMPARE(CSimpleBrowserDoc::openDocumentCount(), 0);
        QTRY_COMPARE(CAppPluginDoc::openDocumentCount(), 0);
    }

    void simpleBrowserWindowsAreKeyed() {
        testsupport::HttpServer server;
        server.route("/page", testsupport::HttpAnswer::text(
                                  "<html><head><title>Served title</title></head><body>Served body</body></html>"));
        testsupport::writeFile(dir.file("licence.html"),
                               "<html><head><title>Inner title</title></head><body>Licence text</body></html>");
        const std::string licence = "file://" + dir.file("licence.html");

        // One window per key; a descriptive key stays the title.
        CSimpleBrowserDoc* doc = ui::openSimpleBrowserWindow(licence, "Software License");
        QVERIFY(doc != nullptr);
        QCOMPARE(ui::openSimpleBrowserWindow(licence, "Software License"), doc);
        QCOMPARE(CSimpleBrowserDoc::openDocumentCount(), 1);
        QCOMPARE(subWindowCount(), 1);
        QVERIFY(CSimpleBrowserDoc::openSimpleBrowserDoc("Nobody", false, true) == nullptr);
        QCOMPARE(subWindowCount(), 1);
        QVERIFY(pageShows(doc->getView(), "Licence text"));
        QCOMPARE(doc->getTitle(), std::string("Software License"));
        QCOMPARE(frame->getCaptionBar()->text(), QString("Software License"));
        QCOMPARE(doc->getFrame()->toolbar()->getUrl(), std::string());  // a page in the temporary folder

        // A window opened under its address takes the page's title.
        const std::string address = server.url("/page");
        CSimpleBrowserDoc* web = ui::openSimpleBrowserWindow(address);
        QVERIFY(web != nullptr && web != doc);
        QTRY_COMPARE_WITH_TIMEOUT(web->getTitle(), std::string("Served title"), 20000);
        QCOMPARE(frame->getCaptionBar()->text(), QString("Served title"));
        QCOMPARE(web->getFrame()->toolbar()->getUrl(), address);
        QCOMPARE(CSimpleBrowserDoc::openSimpleBrowserDoc(address, false, true), web);

        // A long key is kept whole, the title is cut.
        const std::string longKey(300, 'k');
        CSimpleBrowserDoc* longDoc = CSimpleBrowserDoc::openSimpleBrowserDoc(longKey, true, true);
        QCOMPARE(longDoc->getTitle(), std::string(260, 'k'));
        QCOMPARE(CSimpleBrowserDoc::openSimpleBrowserDoc(longKey, false, true), longDoc);
        QVERIFY(CSimpleBrowserDoc::openSimpleBrowserDoc(std::string(260, 'k'), false, true) == nullptr);

        // Closing a window frees its key: asking again opens a new one.
        QPointer<CSimpleBrowserMdiChildWnd> closed = doc->getFrame();
        closed->close();
        QTRY_VERIFY(closed.isNull());
        QVERIFY(CSimpleBrowserDoc::openSimpleBrowserDoc("Software License", false, true) == nullptr);
        QVERIFY(ui::openSimpleBrowserWindow(licence, "Software License") != nullptr);
        QCOMPARE(CSimpleBrowserDoc::openDocumentCount(), 3);

        // Addresses the program does not open make no window; links the page
        // asks for are checked the same way.
        QStringList boxes;
        dialogs::ScopedModalAnswerer answerer(
            [&](QDialog& d) { dialogs::answerIfMessageBox(d, dialogs::IDOK, &boxes); });
        QVERIFY(ui::openSimpleBrowserWindow("javascript:alert(1)", "Script") == nullptr);
        QVERIFY(ui::openSimpleBrowserWindow("file:///etc/passwd", "Passwords") == nullptr);
        QCOMPARE(CSimpleBrowserDoc::openDocumentCount(), 3);
        QVERIFY(!web->getView()->linkRequested(QUrl("file:///etc/passwd")));
        QVERIFY(web->getView()->linkRequested(QUrl("https://example.com/")));
        QCOMPARE(boxes.size(), 3);
        QVERIFY(boxes.at(0).contains("javascript:alert(1)"));

        // Closing the last window clears the caption bar.
        frame->closeAllWindows();
        QTRY_COMPARE(CSimpleBrowserDoc::openDocumentCount(), 0);
        QCOMPARE(frame->getCaptionBar()->text(), QString());
    }

    void reportPagesShowLocalPicturesOnly() {
        // A report in the simple browser: the item pictures of the program
        // directory and the web pictures of its items show, other local files
        // don't, and no page reaches the program's own servers by including an
        // address of theirs.
        const std::string stage = testsupport::stageDir();
        const int readMeBefore = frame->getWorkPad()->getReadMeList()->getNumItems();
        const std::string readMeAddress = "http://127.0.0.1:" + std::to_string(appPort) + "/readme?url=http://x.test/";
        testsupport::HttpServer server;
        testsupport::writeFile(dir.file("report.html"), "<html><body><img src=\"file://" + stage +
                                                            "/Resources/unreadFeedItem.gif\">"
                                                            "<iframe src=\"file:///etc/hostname\"></iframe>Report body"
                                                            "<img src=\"" +
                                                            server.url("/web.gif") + "\"></body></html>");
        server.route("/remote", testsupport::HttpAnswer::text("<html><body><img src=\"" + readMeAddress +
                                                              "\">Remote body</body></html>"));
        auto evaluate = [](QWebEngineView* view, const QString& script) {
            QString result;
            bool done = false;
            view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
                result = v.toString();
                done = true;
            });
            if (!QTest::qWaitFor([&] { return done; }, 20000)) return QString("(no answer)");
            return result;
        };
        CSimpleBrowserDoc* report = ui::openSimpleBrowserWindow("file://" + dir.file("report.html"), "Report");
        QVERIFY(report != nullptr);
        QVERIFY(pageShows(report->getView(), "Report body"));
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(report->getView(), "String(document.images[0].naturalWidth)"), QString("14"),
                                  20000);
        QCOMPARE(evaluate(report->getView(), "String(document.querySelector('iframe').contentDocument)"),
                 QString("null"));
        QTRY_VERIFY_WITH_TIMEOUT(!server.requests("/web.gif").empty(), 20000);

        CSimpleBrowserDoc* remote = ui::openSimpleBrowserWindow(server.url("/remote"), "Remote");
        QVERIFY(remote != nullptr);
        QVERIFY(pageShows(remote->getView(), "Remote body"));
        QTRY_VERIFY_WITH_TIMEOUT(!remote->getView()->page()->isLoading(), 20000);
        QCOMPARE(evaluate(remote->getView(), "String(document.images[0].complete)"), QString("true"));
        QCoreApplication::processEvents();
        QCOMPARE(frame->getWorkPad()->getReadMeList()->getNumItems(), readMeBefore);
    }

    void navigationBarFollowsOptionAndCaller() {
        struct Case {
            int mode;
            bool asked;
            bool shown;
        };
        const Case cases[] = {{0, true, true}, {0, false, false}, {1, false, true}, {2, true, false}, {7, true, true}};
        int n = 0;
        for (const Case& c : cases) {
            GlobalOptions::instance().NavBarMode = c.mode;
            CSimpleBrowserDoc* doc =
                CSimpleBrowserDoc::openSimpleBrowserDoc("bar " + std::to_string(n++), true, c.asked);
            QVERIFY2(doc->getFrame()->isNavBarVisible() == c.shown, qPrintable(QString("mode %1").arg(c.mode)));
        }
        // The option changed later: 2 hides every bar, 0 leaves them, 1 shows them.
        CSimpleBrowserMdiChildWnd* first = CSimpleBrowserDoc::openSimpleBrowserDoc("bar 0", false, true)->getFrame();
        GlobalOptions::instance().NavBarMode = 2;
        getUiHandler()->fireGlobalOptionsChanged();
        QVERIFY(!first->isNavBarVisible());
        GlobalOptions::instance().NavBarMode = 0;
        getUiHandler()->fireGlobalOptionsChanged();
        QVERIFY(!first->isNavBarVisible());
        QVERIFY(first->runCommand(32912));
        QVERIFY(first->isNavBarVisible());
        QVERIFY(!first->runCommand(32913));

        // Plug-in windows: shown only with NavBarMode 1.
        for (int mode : {0, 1, 2}) {
            GlobalOptions::instance().NavBarMode = mode;
            CAppPluginDoc* doc = CAppPluginDoc::openAppPluginDoc(plugins.findAppPlugin("pages"), true);
            QCOMPARE(doc->getFrame()->isNavBarVisible(), mode == 1);
            frame->closeAllWindows();
            QTRY_COMPARE(CAppPluginDoc::openDocumentCount(), 0);
        }
    }

    void singleWindowLayoutKeepsTheNewWindowOnly() {
        setUiHandler(false);
        CSimpleBrowserDoc* a = CSimpleBrowserDoc::openSimpleBrowserDoc("A", true, true);
        QVERIFY(a->getFrame()->isMaximized());
        CSimpleBrowserDoc* b = CSimpleBrowserDoc::openSimpleBrowserDoc("B", true, true);
        QTRY_COMPARE(subWindowCount(), 1);
        QTRY_COMPARE(CSimpleBrowserDoc::openDocumentCount(), 1);
        QCOMPARE(CSimpleBrowserDoc::openSimpleBrowserDoc("B", false, true), b);
        QVERIFY(b->getFrame()->isMaximized());
        QVERIFY(!(b->getFrame()->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        setUiHandler(true);
        QTRY_COMPARE(subWindowCount(), 0);
    }

    void openersAndReadMeListUseTheWindows() {
        testsupport::HttpServer server;
        server.route("/welcome", testsupport::HttpAnswer::text(
                                     "<html><head><title>Hello</title></head><body>Welcome!</body></html>"));
        server.route("/later", testsupport::HttpAnswer::text(
                                   "<html><head><title>Later page</title></head><body>Later</body></html>"));

        programPaths().welcomeUrl = server.url("/welcome");
        showWelcomePage(true);
        CSimpleBrowserDoc* welcome = CSimpleBrowserDoc::openSimpleBrowserDoc("Welcome to Orvan", false, true);
        QVERIFY(welcome != nullptr);
        QVERIFY(!welcome->getFrame()->isNavBarVisible());
        QVERIFY(pageShows(welcome->getView(), "Welcome!"));
        QCOMPARE(welcome->getView()->url().query(), QString("isNewUser=1"));
        QCOMPARE(welcome->getTitle(), std::string("Welcome to Orvan"));

        // A read-me entry without a channel opens under its title.
        CReadMeListWnd list;
        list.setConfigFile(dir.file("readme.ini"));
        QVERIFY(list.addUrl(server.url("/later"), false));
        list.openItem(0);
        CSimpleBrowserDoc* later = CSimpleBrowserDoc::openSimpleBrowserDoc(server.url("/later"), false, true);
        QVERIFY(later != nullptr);
        QVERIFY(later->getFrame()->isNavBarVisible());
        QTRY_COMPARE_WITH_TIMEOUT(later->getTitle(), std::string("Later page"), 20000);
        QCOMPARE(list.rowCount(), 0);
    }

    void pluginWindowServedByThePluginServer() {
        channels::AppPlugin* plugin = plugins.findAppPlugin("pages");
        GlobalOptions::instance().NavBarMode = 1;
        CAppPluginDoc* doc = ui::openAppPluginWindow(plugin);
        QVERIFY(doc != nullptr);
        QCOMPARE(doc->getTitle(), std::string("Test Pages"));
        QCOMPARE(doc->getFrame()->getCaptionText(), std::string("Test Pages"));
        QCOMPARE(ui::getActiveAppPlugin(), plugin);
        QCOMPARE(frame->getCaptionBar()->text(), QString("Test Pages"));
        CAppPluginView* view = doc->getView();
        QVERIFY(pageShows(view, "Main page hello"));
        QVERIFY(view->url().isLocalFile());

        // The form of the local page goes to the plug-in server.
        view->setFocus();
        QTest::keyClicks(view->focusProxy(), "a b");
        QTest::keyClick(view->focusProxy(), Qt::Key_Return);
        QVERIFY(pageShows(view, "Answer to answer with q=a+b"));
        QCOMPARE(view->url().port(), pluginPort);

        // An address typed in the navigation bar.
        CBrowserToolbar* bar = doc->getFrame()->toolbar();
        bar->urlEdit()->setText(QString("http://127.0.0.1:%1/pages/typed?x=1&y=2").arg(pluginPort));
        QTest::keyClick(bar->urlEdit(), Qt::Key_Return);
        QVERIFY(pageShows(view, "Answer to typed with x=1&y=2"));
        const QUrl answer = view->url();

        // A link to the application server is handed on, and its answer
        // (no content) leaves the view on its page.
        QSignalSpy loads(view, &QWebEngineView::loadFinished);
        QVERIFY(
            view->navigate(QString("http://127.0.0.1:%1/readme?url=http://x.example/r").arg(appPort).toStdString()));
        QVERIFY(loads.wait(20000));
        CReadMeListWnd* readMe = frame->getWorkPad()->getReadMeList();
        QTRY_COMPARE_WITH_TIMEOUT(readMe->getNumItems(), 1, 10000);
        std::string readMeUrl;
        readMe->getItem(0, nullptr, nullptr, &readMeUrl, nullptr);
        QCOMPARE(readMeUrl, std::string("http://x.example/r"));
        QCOMPARE(view->url(), answer);
        QVERIFY(pageText(view).contains("Answer to typed"));

        // A page of another site that sends the view on to the plug-in
        // server gets the refusal: it has no token to send.
        testsupport::HttpServer other;
        other.route("/cross",
                    testsupport::HttpAnswer::text(
                        QString("<html><head><meta http-equiv='refresh' content='0;url=http://127.0.0.1:%1/pages/"
                                "cross?x=1'></head><body>Elsewhere</body></html>")
                            .arg(pluginPort)
                            .toStdString()));
        QVERIFY(view->navigate(other.url("/cross")));
        QVERIFY(pageShows(view, "only the program's own pages may use this server"));
        QCOMPARE(view->url().port(), pluginPort);
        QVERIFY(!pageText(view).contains("Answer to cross"));

        // Opening again finds the window and asks for a fresh main page.
        { std::ofstream truncate(plugin->getOutputFilename(), std::ios::trunc); }
        QCOMPARE(ui::openAppPluginWindow(plugin), doc);
        QCOMPARE(CAppPluginDoc::openDocumentCount(), 1);
        QVERIFY(testsupport::readFile(plugin->getOutputFilename()).find("Main page hello") != std::string::npos);
        QVERIFY(pageShows(view, "Main page hello"));
        QVERIFY(CAppPluginDoc::openAppPluginDoc(plugins.findAppPlugin("broken"), false) == nullptr);

        // A plug-in that can't make its main page: a message, an empty window.
        QStringList boxes;
        dialogs::ScopedModalAnswerer answerer(
            [&](QDialog& d) { dialogs::answerIfMessageBox(d, dialogs::IDOK, &boxes); });
        CAppPluginDoc* broken = ui::openAppPluginWindow(plugins.findAppPlugin("broken"));
        QVERIFY(broken != nullptr);
        QCOMPARE(boxes, QStringList{"No application is registered for this file type: .xyz"});
        QVERIFY(broken->getView()->url().isEmpty());
        QCOMPARE(CAppPluginDoc::openDocumentCount(), 2);

        // Closing a window takes it out of the registry.
        QPointer<CAppPluginMdiChildWnd> closed = broken->getFrame();
        closed->close();
        QTRY_VERIFY(closed.isNull());
        QCOMPARE(CAppPluginDoc::openDocumentCount(), 1);
    }

    void stagedPluginOpensFromThePluginsList() {
        // The program's own plug-in manager, as the Plugins list shows it.
        channels::AppPluginManager& program = channels::getAppPluginManager();
        program.setAppPluginDir(testsupport::stageDir() + "/appPlugins/listintake");
        program.loadAppPlugins();
        channels::AppPlugin* listintake = program.findAppPlugin("listintake");
        QVERIFY(listintake != nullptr);
        CWorkspaceBar* bar = frame->getWorkspaceBar();
        bar->getAppPluginsWnd()->loadAppPlugins();
        bar->activateAppPluginsTab();
        bar->getAppPluginsWnd()->selectRow(0);

        // "Open" opens the selected plug-in's window.
        QVERIFY(frame->runCommand(32845));
        CAppPluginDoc* doc = CAppPluginDoc::openAppPluginDoc(listintake, false);
        QVERIFY(doc != nullptr);
        QCOMPARE(doc->getTitle(), std::string("Import OPML"));
        QVERIFY(pageShows(doc->getView(), "Import an OPML subscription list"));
        QCOMPARE(frame->getActiveAppPlugin(false), listintake);

        // A minimised window opened again comes back.
        doc->getFrame()->showMinimized();
        QVERIFY(frame->runCommand(32845));
        QVERIFY(!doc->getFrame()->isMinimized());
        QCOMPARE(CAppPluginDoc::openDocumentCount(), 1);

        // "Properties" opens the plug-in's sheet.
        QStringList titles;
        {
            dialogs::ScopedModalAnswerer answerer([&](QDialog& d) {
                titles << d.windowTitle();
                d.done(dialogs::IDCANCEL);
            });
            QVERIFY(frame->runCommand(32827));
        }
        QCOMPARE(titles, QStringList{"Import OPML Properties"});
    }

    void propertySheetShowsDetailsAndSavesParameters() {
        channels::AppPlugin* plugin = plugins.findAppPlugin("pages");
        dialogs::setHintEnabled("GlobalAppPluginParams", true);
        int hints = 0;
        QStringList boxes;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& d) {
            if (dialogs::answerIfMessageBox(d, dialogs::IDOK, &boxes)) return;
            if (qobject_cast<dialogs::CHintDlg*>(&d) != nullptr) {
                ++hints;
                d.done(dialogs::IDOK);
                return;
            }
            auto* sheet = qobject_cast<dialogs::CAppPluginPropSheet*>(&d);
            QVERIFY(sheet != nullptr);
            QCOMPARE(sheet->windowTitle(), QString("Test Pages Properties"));
            QCOMPARE(sheet->pageCount(), 2);
            auto* details = static_cast<dialogs::CAppPluginDetailsPropPage*>(sheet->page(0));
            QCOMPARE(details->idLabel()->text(), QString("pages"));
            QCOMPARE(details->nameLabel()->text(), QString("Test Pages"));
            QCOMPARE(details->author().author->text(), QString("A. Writer"));
            QVERIFY(details->author().email->isEnabled());
            QCOMPARE(details->author().email->url(), QString("writer@example.com?subject=Orvan%3A%20Test%20Pages"));
            QCOMPARE(details->author().notes->toPlainText(), QString("First line\nSecond line"));
            QVERIFY(sheet->okButton()->hasFocus() || !sheet->isActiveWindow());

            sheet->setActivePage(1);
            QCoreApplication::sendPostedEvents();  // the page's hint
            auto* params = static_cast<dialogs::CAppPluginParamsPropPage*>(sheet->page(1));
            QCOMPARE(params->grid()->valueText(rowOf(params->grid(), "Greeting")), QString("hello"));
            params->grid()->setValue(rowOf(params->grid(), "Greeting"), QString("bonjour"));
            sheet->okButton()->click();
        });
        QCOMPARE(dialogs::openAppPluginSheet(nullptr, plugin, 0), int(dialogs::IDOK));
        QCOMPARE(hints, 1);
        QVERIFY(boxes.isEmpty());
        {
            SharedLockGuard guard(&plugin->getLock(), __FILE__, __LINE__);
            QCOMPARE(plugin->getPluginParamValues().at("Greeting"), std::string("bonjour"));
        }
        QCOMPARE(tools::getIniString(dir.file("config.ini"), plugin->getConfigFilename(), "Greeting", "", false),
                 std::string("bonjour"));
        // The next main page uses the saved value.
        CAppPluginDoc* doc = ui::openAppPluginWindow(plugin);
        QVERIFY(pageShows(doc->getView(), "Main page bonjour"));
    }

    void propertySheetEdgeCases() {
        // No parameters, no author: one page, a disabled mail link.
        int sheets = 0;
        {
            dialogs::ScopedModalAnswerer answerer([&](QDialog& d) {
                auto* sheet = qobject_cast<dialogs::CAppPluginPropSheet*>(&d);
                QVERIFY(sheet != nullptr);
                ++sheets;
                QCOMPARE(sheet->pageCount(), 1);
                QCOMPARE(sheet->activeIndex(), 0);
                auto* details = static_cast<dialogs::CAppPluginDetailsPropPage*>(sheet->page(0));
                QVERIFY(!details->author().email->isEnabled());
                QCOMPARE(details->nameLabel()->text(), QString("broken"));
                sheet->okButton()->click();
            });
            // Asked for the parameters page it has not: the details page.
            QCOMPARE(dialogs::openAppPluginSheet(nullptr, plugins.findAppPlugin("broken"), 1), int(dialogs::IDOK));
        }
        QCOMPARE(sheets, 1);

        // Values that can't be saved: the sheet says so and stays open.
        channels::AppPlugin* plugin = plugins.findAppPlugin("pages");
        testsupport::writeFile(dir.file("plain"), "not a folder");
        channels::getScriptingEngine().setUserConfigFilename(dir.file("plain/config.ini"));
        dialogs::setHintEnabled("GlobalAppPluginParams", false);
        QStringList boxes;
        bool stayedOpen = false;
        {
            dialogs::ScopedModalAnswerer answerer([&](QDialog& d) {
                if (dialogs::answerIfMessageBox(d, dialogs::IDOK, &boxes)) return;
                auto* sheet = qobject_cast<dialogs::CAppPluginPropSheet*>(&d);
                QVERIFY(sheet != nullptr);
                QCOMPARE(sheet->activeIndex(), 1);
                sheet->okButton()->click();
                stayedOpen = sheet->isVisible();
                sheet->cancelButton()->click();
            });
            QVERIFY(dialogs::openAppPluginSheet(nullptr, plugin, 1) != dialogs::IDOK);
        }
        channels::getScriptingEngine().setUserConfigFilename(dir.file("config.ini"));
        QVERIFY(stayedOpen);
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.at(0).startsWith("Can't save the parameter values.\n\n"), qPrintable(boxes.at(0)));
    }

public slots:
    void captureUrl(const QUrl&) {}

private:
    testsupport::TempDir dir;
    std::unique_ptr<CMainFrame> frame;
    DesktopWiring wiring;
    channels::AppPluginManager plugins;
    int pluginPort = 0;
    int appPort = 0;
    std::unique_ptr<listeners::AppPluginServerLocalPortListener> pluginServer;
    std::unique_ptr<listeners::AppServerLocalPortListener> appServer;
};

QTEST_MAIN(PageWindowsTest)
#include "page_windows_qtest.moc"
