// The new-channel wizard and the feed error dialog, driven through their
// pages by the answerer against the project's HTTP test server: the whole
// subscription road from a "/subscribe" request to the Control Center, the
// kinds of addresses, duplicates and file names, plug-in parameters, a
// failing feed, a page that refuses at Finish, and Cancel while the test
// fetch runs.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtTest>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/core/programObjects.h"
#include "desktop/desktopWiring.h"
#include "app/listeners/localPortListener.h"
#include "channels/channelFile.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/channel/channelDetailsPage.h"
#include "dialogs/channel/channelParamsPage.h"
#include "dialogs/channel/channelSearchPage.h"
#include "dialogs/wizard/newChannelWizard.h"
#include "dialogs/wizard/rssFeedErrorDlg.h"
#include "tests/dialogs/channel_dialogs_fixture.h"
#include "tests/support/httpServer.h"
#include "tools/codecs.h"
#include "tools/http.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"
#include "widgets/controls/paramsGrid.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "tests/ui/channel_windows.h"
#include "ui/channel/channelDoc.h"
#include "ui/frame/mainFrame.h"

using namespace dialogtest;
using dialogs::CNewChannelWizard;
using dialogs::CRssFeedErrorDlg;

namespace {

const char* const kFeed =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Test Feed</title>"
    "<link>http://example.com/</link><description>d</description>"
    "<item><title>One</title><link>http://example.com/1</link><guid>1</guid></item>"
    "<item><title>Two</title><link>http://example.com/2</link><guid>2</guid></item>"
    "</channel></rss>";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

// Files of a directory, by name.
QStringList filesIn(const std::string& directory) {
    QStringList names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().filename() != ".keep") names << QString::fromStdString(entry.path().filename().string());
    names.sort();
    return names;
}

// Counts what would reach the user's browser.
class UrlCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
public slots:
    void open(const QUrl&) { ++count; }
};

// Presses Next and waits for the test fetch it starts; its result.
bool nextAndFetch(CNewChannelWizard& wizard) {
    QSignalSpy spy(&wizard, &CNewChannelWizard::fetchFinished);
    wizard.nextButton()->click();
    if (!wizard.isFetching() && spy.isEmpty()) return false;
    if (spy.isEmpty() && !spy.wait(20000)) return false;
    return spy.at(0).at(0).toBool();
}

// Next through the channel's pages up to the confirm page.
void walkToConfirm(CNewChannelWizard& wizard) {
    for (int i = 0; i < 6 && wizard.activePage() != wizard.confirmPage(); ++i) wizard.nextButton()->click();
}

// Answers what the wizard shows: the wizard itself goes to `wizardScript`,
// message boxes get the next queued answer (else OK) and are recorded, hints
// the answer given for them (else they are closed), the feed error dialog is
// recorded (and handed to `errorScript`).
struct Driver {
    std::function<void(CNewChannelWizard&)> wizardScript;
    std::function<void(CRssFeedErrorDlg&)> errorScript;
    std::function<void(QDialog&)> other;
    std::deque<int> messageAnswers;
    std::map<QString, int> hintAnswers;
    QStringList messages;
    QStringList hints;
    struct ErrorSeen {
        QString url, error, shownText;
    };
    std::vector<ErrorSeen> errors;

    dialogs::ModalAnswerer answerer() {
        return [this](QDialog& dialog) {
            if (auto* wizard = qobject_cast<CNewChannelWizard*>(&dialog)) {
                if (wizardScript) wizardScript(*wizard);
            } else if (dialogs::isMessageBox(dialog)) {
                messages << dialogs::messageText(dialog);
                int answer = dialogs::IDOK;
                if (!messageAnswers.empty()) {
                    answer = messageAnswers.front();
                    messageAnswers.pop_front();
                }
                dialogs::pressAnswer(dialog, answer);
            } else if (auto* error = qobject_cast<CRssFeedErrorDlg*>(&dialog)) {
                errors.push_back({child<QLineEdit>(dialog, "urlEdit")->text(),
                                  child<QLineEdit>(dialog, "errorEdit")->text(),
                                  child<QPlainTextEdit>(dialog, "feedTextEdit")->toPlainText()});
                if (errorScript) errorScript(*error);
            } else if (!hintIdentifier(dialog).isEmpty()) {
                hints << hintIdentifier(dialog);
                const auto it = hintAnswers.find(hintIdentifier(dialog));
                if (it != hintAnswers.end()) pressHint(dialog, it->second);
            } else if (other) {
                other(dialog);
            }
        };
    }
};

}  // namespace

class NewChannelWizardTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Environment> env;
    std::unique_ptr<testsupport::HttpServer> server;

    std::string channelsDir() const { return env->dir.file("Channels"); }
    std::string logsDir() const { return env->dir.file("Logs"); }
    int managedChannels() const { return env->manager->getChannelCount(); }

    // The main window, as start-up makes it; null when its creation fails.
    std::unique_ptr<CMainFrame> makeMainFrame() const {
        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = logsDir();
        setup.trayAttempts = 1;
        setup.trayRetryMs = 10;
        auto frame = std::make_unique<CMainFrame>();
        if (!frame->create(setup)) frame.reset();
        return frame;
    }

private slots:
    void init() {
        env = std::make_unique<Environment>();
        setChannelManager(env->manager.get());
        server = std::make_unique<testsupport::HttpServer>();
        server->route("/feed.xml", testsupport::HttpAnswer::text(kFeed));
    }

    void cleanup() {
        dialogs::waitForTestFetches();
        QCoreApplication::processEvents();
        // A channel made by the wizard has its window open: no window
        // outlives its channel.
        uitest::deleteChannelWindows();
        resetProgramObjectsForTests();
        server.reset();
        env.reset();
    }

    // The road of one subscription: a web page's request reaches the
    // application server, the main frame starts the wizard, the wizard tests
    // the feed, Finish writes and adds the channel, the worker updates it and
    // the Control Center lists it.
    void subscriptionFromAWebPage() {
        auto frame = makeMainFrame();
        QVERIFY(frame);
        CControlCenterMyChannelsWnd* myChannels = frame->getWorkspaceBar()->getMyChannelsWnd();
        getUiHandler()->addEventHandler(myChannels);
        listeners::AppServerLocalPortListener appServer(static_cast<unsigned>(testsupport::freeLoopbackPort()));
        appServer.start();
        QVERIFY(appServer.isListening());
        env->manager->startChannelManager();

        // The test fetch gets the feed, the update queued at Finish a newer
        // one: served in that order, however soon the worker asks.
        std::string newer = kFeed;
        newer.insert(newer.find("</channel>"), "<item><title>Three</title><guid>3</guid></item>");
        server->routeSequence("/feed.xml",
                              {testsupport::HttpAnswer::text(kFeed), testsupport::HttpAnswer::text(newer)});
        const std::string feedUrl = server->url("/feed.xml");
        Driver driver;
        QString shownAddress, confirmedAddress, confirmedName, confirmedUpdate;
        bool fetched = false;
        driver.hintAnswers["NewChannelMayBeFiltered"] = dialogs::IDOK;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            shownAddress = wizard.sourcePage()->addressEdit()->text();
            QVERIFY(!wizard.backButton()->isEnabled());
            fetched = nextAndFetch(wizard);
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.detailsPage()));
            QVERIFY(!wizard.backButton()->isEnabled());
            child<QLineEdit>(*wizard.detailsPage(), "nameEdit")->setText("My test feed");
            walkToConfirm(wizard);
            QVERIFY(wizard.finishButton()->isVisible());
            QVERIFY(!wizard.nextButton()->isVisible());
            confirmedAddress = wizard.confirmPage()->addressField()->text();
            confirmedName = wizard.confirmPage()->nameField()->text();
            confirmedUpdate = wizard.confirmPage()->updateField()->text();
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());

        // A real client asks the application server, as a web page's link does.
        tools::InternetSession client("test-browser");
        std::string reply;
        tools::readUrl(client,
                       "http://127.0.0.1:" + std::to_string(appServer.getPort()) +
                           "/subscribe?url=" + tools::urlEncode(feedUrl, ":/?&="),
                       reply);
        QVERIFY(reply.empty());  // 204 No Content: the web page stays where it is

        QTRY_VERIFY_WITH_TIMEOUT(myChannels->rowCount() == 1, 20000);
        QCOMPARE(shownAddress, QString::fromStdString(feedUrl));
        QVERIFY(fetched);
        QCOMPARE(confirmedAddress, QString::fromStdString(feedUrl));
        QCOMPARE(confirmedName, QString("My test feed"));
        QCOMPARE(confirmedUpdate, QString("This channel must be updated manually."));
        QVERIFY2(driver.hints.contains("NewChannelMayBeFiltered"), qPrintable(driver.hints.join(",")));
        QVERIFY2(!driver.hints.contains("ManagingChannels"), qPrintable(driver.hints.join(",")));
        QCOMPARE(myChannels->rowItem(0)->text(0), QString("My test feed"));

        QCOMPARE(managedChannels(), 1);
        channels::Channel* channel = env->manager->findChannel(feedUrl);
        QVERIFY(channel != nullptr);
        // The new channel's window is open.
        QTRY_VERIFY(CChannelDoc::openChannelDoc(channel, false) != nullptr);
        QVERIFY(getChannelDesktopSettingsTable().find(channel) != nullptr);
        const std::string file = channelsDir() + "/" + channels::makeChannelFileName(feedUrl) + ".rss";
        QCOMPARE(channel->getConfigFilename(), file);
        const std::string text = readFile(file);
        for (const char* section : {"[Config]", "[Settings]", "[State]", "[Desktop Settings]"})
            QVERIFY2(text.find(section) != std::string::npos, section);
        QVERIFY(text.find("RssChannelUrl=" + feedUrl) != std::string::npos);

        // The test fetch's items are in the file; the queued update then brings
        // the server's newer feed.
        QVERIFY(text.find("[Last Feed (2)]") != std::string::npos);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(file).find("[Last Feed (3)]") != std::string::npos, 20000);
        QCOMPARE(server->requests("/feed.xml").size(), size_t(2));
        QCOMPARE(env->manager->updateRequests, 1);

        appServer.stop();
        getUiHandler()->removeEventHandler(myChannels);
        frame.reset();
    }

    // Which channel an address makes, and what the source page refuses.
    void addressKinds_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("extension");  // empty: refused
        QTest::addColumn<QString>("message");
        QTest::newRow("http in capitals") << "HTTP://{server}/feed.xml"
                                          << ".rss"
                                          << "";
        QTest::newRow("https") << "https://{tls}/feed.xml"
                               << ".rss"
                               << "";
        QTest::newRow("file") << "file://{dir}/local.xml"
                              << ".rss"
                              << "";
        QTest::newRow("script") << "{dir}/feed.sh"
                                << ".plugin"
                                << "";
        QTest::newRow("empty") << "   "
                               << ""
                               << "Please specify where the RSS feed will come from.";
        QTest::newRow("no such script") << "{dir}/missing.sh"
                                        << ""
                                        << "Please enter a valid script or plugin filename";
        QTest::newRow("a directory") << "{dir}"
                                     << ""
                                     << "Please enter a valid script or plugin filename";
        QTest::newRow("ftp") << "ftp://{server}/feed.xml"
                             << ""
                             << "Please enter a valid script or plugin filename";
    }
    void addressKinds() {
        QFETCH(QString, address);
        QFETCH(QString, extension);
        QFETCH(QString, message);
        testsupport::HttpServer tls(testsupport::HttpServer::Scheme::Https);
        tls.route("/feed.xml", testsupport::HttpAnswer::text(kFeed));
        env->manager->getInternetSession().setCaBundle(tls.caFile());
        testsupport::writeFile(env->dir.file("local.xml"), kFeed);
        writeExecutable(env->dir.file("feed.sh"), std::string("#!/bin/sh\nprintf '%s' '") + kFeed + "'\n");
        address.replace("{server}", QString::fromStdString(server->baseUrl().substr(7)));
        address.replace("{tls}", QString::fromStdString(tls.baseUrl().substr(8)));
        address.replace("{dir}", QString::fromStdString(env->dir.str()));

        Driver driver;
        bool fetched = false;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            if (extension.isEmpty()) {
                wizard.nextButton()->click();
                QVERIFY(!wizard.isFetching());
                QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.sourcePage()));
                return;
            }
            fetched = nextAndFetch(wizard);
            walkToConfirm(wizard);
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const int result = dialogs::startNewChannelWizard(nullptr, address.toStdString());

        if (extension.isEmpty()) {
            QCOMPARE(result, int(dialogs::IDCANCEL));
            QCOMPARE(driver.messages, QStringList{message});
            QCOMPARE(managedChannels(), 0);
            QCOMPARE(filesIn(channelsDir()), QStringList());
            return;
        }
        QCOMPARE(driver.messages, QStringList());
        QVERIFY(driver.errors.empty());
        QVERIFY(fetched);
        QCOMPARE(result, dialogs::ID_WIZFINISH);
        QCOMPARE(managedChannels(), 1);
        channels::Channel* channel = env->manager->findChannel(address.trimmed().toStdString());
        QVERIFY(channel != nullptr);
        QVERIFY(QString::fromStdString(channel->getConfigFilename()).endsWith(extension));
        QCOMPARE(filesIn(channelsDir()).size(), qsizetype(1));
        // The test fetch filled the channel's last feed.
        QCOMPARE(channel->getFeedItemCount(), 2);
    }

    // An address that a channel has already: OK makes a second channel in a
    // file of its own ("-n" before the extension, past the names taken),
    // Cancel ends the wizard.
    void duplicateAddress_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("extraFiles");
        QTest::addColumn<QString>("newFile");  // empty: cancelled
        QTest::newRow("cancel") << int(dialogs::IDCANCEL) << QStringList() << "";
        QTest::newRow("ok") << int(dialogs::IDOK) << QStringList() << "-1";
        QTest::newRow("ok, -1 taken") << int(dialogs::IDOK) << QStringList{"-1"} << "-2";
    }
    void duplicateAddress() {
        QFETCH(int, answer);
        QFETCH(QStringList, extraFiles);
        QFETCH(QString, newFile);
        const std::string url = server->url("/feed.xml");
        const std::string base = channelsDir() + "/" + channels::makeChannelFileName(url);
        env->addRssChannel(channels::makeChannelFileName(url), url);
        for (const QString& suffix : extraFiles) testsupport::writeFile(base + suffix.toStdString() + ".rss", "");
        const QStringList before = filesIn(channelsDir());

        Driver driver;
        driver.messageAnswers = {answer};
        bool finished = false;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            if (!nextAndFetch(wizard)) return;
            walkToConfirm(wizard);
            wizard.finishButton()->click();
            finished = true;
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const int result = dialogs::startNewChannelWizard(nullptr, url);

        QCOMPARE(driver.messages,
                 QStringList{"This channel is already defined.\n\nDo you want to continue creating a new channel?"});
        if (newFile.isEmpty()) {
            QCOMPARE(result, int(dialogs::IDCANCEL));
            QVERIFY(!finished);
            QCOMPARE(managedChannels(), 1);
            QCOMPARE(filesIn(channelsDir()), before);
            return;
        }
        QCOMPARE(result, dialogs::ID_WIZFINISH);
        QCOMPARE(managedChannels(), 2);
        QVERIFY(exists(base + newFile.toStdString() + ".rss"));
        const std::string text = readFile(base + newFile.toStdString() + ".rss");
        QVERIFY(text.find("RssChannelUrl=" + url) != std::string::npos);
    }

    // A feed that can't be used: the error dialog shows the downloaded text
    // as text, the wizard stays on the source page with the channel's
    // settings as they were; "View as HTML" renders it without scripts or
    // local files and writes no file.
    void failingFeed() {
        const std::string page = "<html><body><script>document.title='ran'</script><b>Not a feed</b></body></html>";
        server->route("/page.html", testsupport::HttpAnswer::text(page));
        const std::string tmp = env->dir.file("tmp");
        std::filesystem::create_directories(tmp);
        const QByteArray savedTmpdir = qgetenv("TMPDIR"), savedTmp = qgetenv("TMP");
        qputenv("TMPDIR", QByteArray::fromStdString(tmp));
        qputenv("TMP", QByteArray::fromStdString(tmp));

        Driver driver;
        bool fetched = true;
        bool allowEmptyAfter = true;
        QUrl viewUrl;
        bool windowShown = false;
        driver.errorScript = [&](CRssFeedErrorDlg& dialog) {
            child<QPushButton>(dialog, "viewAsHtmlButton")->click();
            QVERIFY(dialog.htmlView() != nullptr);
            windowShown = dialog.htmlWindow()->isVisible();
            QSignalSpy done(dialog.htmlView(), &QWebEngineView::loadFinished);
            QVERIFY(done.wait(20000));
            QWebEngineSettings* s = dialog.htmlView()->page()->settings();
            QVERIFY(!s->testAttribute(QWebEngineSettings::JavascriptEnabled));
            QVERIFY(!s->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));
            viewUrl = dialog.htmlView()->page()->url();
            // No script ran in it.
            QVERIFY(dialog.htmlView()->page()->title() != QString("ran"));
            // Pressed again: the same window shows the text again.
            QWidget* window = dialog.htmlWindow();
            QSignalSpy again(dialog.htmlView(), &QWebEngineView::loadFinished);
            child<QPushButton>(dialog, "viewAsHtmlButton")->click();
            QVERIFY(again.wait(20000));
            QCOMPARE(dialog.htmlWindow(), window);
            QCOMPARE(dialog.findChildren<QWebEngineView*>().size(), qsizetype(1));
        };
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            fetched = nextAndFetch(wizard);
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.sourcePage()));
            QVERIFY(wizard.nextButton()->isEnabled());
            allowEmptyAfter = wizard.channel()->getChannelSettings().getAllowEmptyFeeds();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const std::string url = server->url("/page.html");
        QCOMPARE(dialogs::startNewChannelWizard(nullptr, url), int(dialogs::IDCANCEL));
        for (const auto& [name, value] : {std::pair{"TMPDIR", savedTmpdir}, std::pair{"TMP", savedTmp}}) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }

        QVERIFY(!fetched);
        QVERIFY(!allowEmptyAfter);
        QCOMPARE(driver.errors.size(), size_t(1));
        QCOMPARE(driver.errors[0].url, QString::fromStdString(url));
        QVERIFY(!driver.errors[0].error.isEmpty());
        QCOMPARE(driver.errors[0].shownText, QString::fromStdString(page));
        QVERIFY(windowShown);
        QVERIFY(viewUrl.scheme() != "file");
        QCOMPARE(filesIn(tmp), QStringList());
        // The cancelled wizard left neither a channel file nor the feed log.
        QCOMPARE(filesIn(channelsDir()), QStringList());
        QCOMPARE(filesIn(logsDir()), QStringList());
    }

    // The error dialog on its own: a feed file that isn't there.
    void errorDialogWithoutFeedFile() {
        Driver driver;
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const std::string missing = env->dir.file("Logs/none.rss");
        CRssFeedErrorDlg dialog("http://example.com/f", "HTTP 500 Internal Server Error", missing);
        dialog.show();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(driver.messages, QStringList{"Can't open the RSS feed file: " + QString::fromStdString(missing)});
        QCOMPARE(child<QPlainTextEdit>(dialog, "feedTextEdit")->toPlainText(), QString());
        QCOMPARE(child<QLineEdit>(dialog, "errorEdit")->text(), QString("HTTP 500 Internal Server Error"));
        dialog.reject();
    }

    // A page that refuses at Finish (a Cancel on its question) comes up and
    // nothing is created; Cancel afterwards leaves no channel file, though the
    // pages before it had begun to write one.
    void pageRefusesAtFinish() {
        GlobalOptions& options = GlobalOptions::instance();
        const bool savedSound = options.DisableAllSound;
        options.DisableAllSound = true;
        Driver driver;
        driver.hintAnswers["GlobalSoundIsDisabled"] = dialogs::IDCANCEL;
        bool stayed = false;
        int managedAfterFinish = -1;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            QVERIFY(nextAndFetch(wizard));
            wizard.nextButton()->click();  // details -> channel
            child<QCheckBox>(*wizard.configPage(), "autoUpdateCheck")->setChecked(true);
            child<QCheckBox>(*wizard.configPage(), "soundCheck")->setChecked(true);
            walkToConfirm(wizard);
            QVERIFY(wizard.confirmPage()->updateField()->text().startsWith(
                "This channel will update automatically every "));
            wizard.finishButton()->click();
            stayed =
                wizard.isVisible() && wizard.activePage() == wizard.configPage() && !wizard.finishButton()->isVisible();
            managedAfterFinish = managedChannels();
            wizard.cancelButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const int result = dialogs::startNewChannelWizard(nullptr, server->url("/feed.xml"));
        options.DisableAllSound = savedSound;

        QVERIFY2(driver.hints.contains("GlobalSoundIsDisabled"), qPrintable(driver.hints.join(",")));
        QVERIFY(stayed);
        QCOMPARE(managedAfterFinish, 0);
        QCOMPARE(result, int(dialogs::IDCANCEL));
        QCOMPARE(managedChannels(), 0);
        QCOMPARE(filesIn(channelsDir()), QStringList());
        QCOMPARE(filesIn(logsDir()), QStringList());
    }

    // Enter goes on to the next page (Finish on the last) whatever control of
    // the page has the focus: the channel picture's button, Browse, a check
    // box, the interval box. Multi-line text keeps its Enter. Nothing is opened
    // in the user's browser on the way.
    void enterGoesOnFromEveryControl() {
        UrlCounter opened;
        QDesktopServices::setUrlHandler("http", &opened, "open");
        Driver driver;
        QStringList stuck;
        int pressed = 0;
        bool finished = false;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            QVERIFY(nextAndFetch(wizard));
            const std::vector<dialogs::PropertyPage*> pages = {wizard.detailsPage(), wizard.configPage(),
                                                               wizard.searchPage()};
            // Each page is reached as the user does, with Next and Back.
            for (size_t i = 0; i < pages.size(); ++i) {
                dialogs::PropertyPage* next = i + 1 < pages.size() ? pages[i + 1] : wizard.confirmPage();
                QCOMPARE(wizard.activePage(), pages[i]);
                QCoreApplication::sendPostedEvents();  // the page's first-time hint
                QList<QWidget*> controls;
                for (QWidget* control : pages[i]->findChildren<QWidget*>())
                    if (control->isVisibleTo(pages[i]) && control->isEnabled() &&
                        (control->focusPolicy() & Qt::TabFocus) && !qobject_cast<QPlainTextEdit*>(control) &&
                        !qobject_cast<QAbstractScrollArea*>(control->parentWidget()))
                        controls << control;
                QVERIFY2(!controls.isEmpty(), qPrintable(pages[i]->windowTitle()));
                for (QWidget* control : controls) {
                    control->setFocus(Qt::TabFocusReason);
                    QTest::keyClick(control, Qt::Key_Return);
                    ++pressed;
                    if (wizard.activePage() != next) {
                        stuck << pages[i]->windowTitle() + ": " + control->objectName() + " (" +
                                     control->metaObject()->className() + ")";
                        continue;
                    }
                    wizard.backButton()->click();
                    QCOMPARE(wizard.activePage(), pages[i]);
                }
                wizard.nextButton()->click();
            }
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.confirmPage()));
            QTest::keyClick(wizard.cancelButton(), Qt::Key_Return);
            finished = !wizard.isVisible();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const int result = dialogs::startNewChannelWizard(nullptr, server->url("/feed.xml"));
        QDesktopServices::unsetUrlHandler("http");
        QVERIFY2(stuck.isEmpty(), qPrintable(stuck.join("\n")));
        QVERIFY(pressed >= 10);
        QCOMPARE(opened.count, 0);
        QVERIFY(finished);
        QCOMPARE(result, dialogs::ID_WIZFINISH);
        QCOMPARE(managedChannels(), 1);
    }

    // An interval shorter than the channel's minimum is refused with a
    // message naming the minimum; one at the minimum is confirmed and stored
    // as it was confirmed.
    void intervalBelowTheMinimum_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<int>("stored");
        QTest::newRow("a minute") << "1 minute"
                                  << "This channel cannot be updated more often than every hour.\n\nPlease choose "
                                     "an interval of at least 1 hour."
                                  << 0;
        QTest::newRow("59 minutes") << "59 minutes"
                                    << "This channel cannot be updated more often than every hour.\n\nPlease choose "
                                       "an interval of at least 1 hour."
                                    << 0;
        QTest::newRow("an hour") << "hour"
                                 << "" << 3600;
        QTest::newRow("90 minutes") << "90 minutes"
                                    << "" << 5400;
    }
    void intervalBelowTheMinimum() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, stored);
        Driver driver;
        QString confirmed;
        bool keptPage = false;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            QVERIFY(nextAndFetch(wizard));
            wizard.nextButton()->click();  // details -> channel
            child<QCheckBox>(*wizard.configPage(), "autoUpdateCheck")->setChecked(true);
            child<QComboBox>(*wizard.configPage(), "intervalCombo")->setEditText(typed);
            wizard.nextButton()->click();
            if (!message.isEmpty()) {
                keptPage = wizard.activePage() == wizard.configPage();
                wizard.cancelButton()->click();
                return;
            }
            walkToConfirm(wizard);
            confirmed = wizard.confirmPage()->updateField()->text();
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        dialogs::startNewChannelWizard(nullptr, server->url("/feed.xml"));
        if (!message.isEmpty()) {
            QCOMPARE(driver.messages, QStringList{message});
            QVERIFY(keptPage);
            QCOMPARE(managedChannels(), 0);
            return;
        }
        QCOMPARE(driver.messages, QStringList());
        QCOMPARE(confirmed, "This channel will update automatically every " + typed + ".");
        channels::Channel* channel = env->manager->findChannel(server->url("/feed.xml"));
        QVERIFY(channel != nullptr);
        const std::string file = readFile(channel->getConfigFilename());
        QVERIFY2(file.find("AutoUpdateInterval=" + std::to_string(stored)) != std::string::npos, file.c_str());
    }

    // Cancel while the test fetch waits for a slow server: the window answers
    // at once, the wizard closes without waiting, and once the fetch ends its
    // feed log is gone too; the manager's downloads were not touched.
    void cancelDuringTestFetch() {
        testsupport::HttpAnswer slow = testsupport::HttpAnswer::text(kFeed);
        slow.stallSeconds = 2;
        server->route("/slow.xml", slow);
        const std::string url = server->url("/slow.xml");
        Driver driver;
        bool fetchingWhenCancelled = false;
        bool buttonsWhileFetching = true;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            wizard.nextButton()->click();
            fetchingWhenCancelled = wizard.isFetching();
            buttonsWhileFetching = wizard.nextButton()->isEnabled() || wizard.backButton()->isEnabled();
            QTRY_VERIFY_WITH_TIMEOUT(server->requests("/slow.xml").size() == 1, 10000);
            wizard.cancelButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(dialogs::startNewChannelWizard(nullptr, url), int(dialogs::IDCANCEL));
        QVERIFY(fetchingWhenCancelled);
        QVERIFY(!buttonsWhileFetching);
        QVERIFY(driver.errors.empty());
        QCOMPARE(filesIn(channelsDir()), QStringList());

        const std::string feedLog = logsDir() + "/" + channels::makeChannelFileName(url) + ".rss";
        QTRY_VERIFY_WITH_TIMEOUT(!exists(feedLog) && server->requests("/slow.xml").size() == 1, 20000);
        dialogs::waitForTestFetches();
        QVERIFY(!exists(feedLog));
        QCOMPARE(filesIn(logsDir()), QStringList());
        QVERIFY(!env->manager->isStopRequested());
        std::string body;
        env->manager->downloadUrl(server->url("/feed.xml"), body);
        QCOMPARE(body, std::string(kFeed));
        QCOMPARE(managedChannels(), 0);
    }

    // A script whose definition declares channel parameters: its page comes
    // after the source page and its Next runs the test fetch; a value that
    // makes the script fail shows the error and keeps the page and the values;
    // Finish stores the values in the channel file.
    void pluginParametersPage() {
        const std::string script = env->dir.file("city.sh");
        writeExecutable(script, std::string("#!/bin/sh\ncity=$(sed -n 's/^City=//p' \"$1\")\n"
                                            "[ \"$city\" = Fail ] && { echo broken >&2; exit 1; }\n"
                                            "printf '<rss version=\"2.0\"><channel><title>%s</title></channel></rss>' "
                                            "\"$city\"\n"));
        testsupport::writeFile(env->dir.file("city.plugin"),
                               "[ChannelParameterDefinition-1]\nName=City\nType=string\nDefaultValue=Oslo\n");
        Driver driver;
        QString keptValue;
        bool failed = false, passed = false;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            wizard.nextButton()->click();
            QVERIFY(!wizard.isFetching());
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.paramsPage()));
            QVERIFY(wizard.backButton()->isEnabled());
            ParamsGrid* grid = wizard.paramsPage()->grid();
            QCOMPARE(grid->valueText(0), QString("Oslo"));
            grid->setValue(0, "Fail");
            failed = !nextAndFetch(wizard);
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.paramsPage()));
            keptValue = grid->valueText(0);
            grid->setValue(0, "Bergen");
            passed = nextAndFetch(wizard);
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.detailsPage()));
            QCOMPARE(child<QLineEdit>(*wizard.detailsPage(), "nameEdit")->text(), QString("Bergen"));
            walkToConfirm(wizard);
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        QCOMPARE(dialogs::startNewChannelWizard(nullptr, script), dialogs::ID_WIZFINISH);
        QVERIFY(failed);
        QCOMPARE(driver.errors.size(), size_t(1));
        QCOMPARE(keptValue, QString("Fail"));
        QVERIFY(passed);
        const std::string file = channelsDir() + "/" + channels::makeChannelFileName(script) + ".plugin";
        QVERIFY(exists(file));
        QCOMPARE(tools::getIniString(file, "ChannelParameters", "City", "", false), std::string("Bergen"));
        QCOMPARE(managedChannels(), 1);
    }

    // Back from the parameters page to the source page and on with a feed
    // address: a new channel is built and fetched, the parameters page is no
    // longer among the wizard's pages, and no plug-in channel is made.
    void backToSourceDropsParamsPage() {
        const std::string script = env->dir.file("city.sh");
        writeExecutable(script, "#!/bin/sh\nprintf '<rss version=\"2.0\"><channel><title>c</title></channel></rss>'\n");
        testsupport::writeFile(env->dir.file("city.plugin"),
                               "[ChannelParameterDefinition-1]\nName=City\nType=string\nDefaultValue=Oslo\n");
        const std::string url = server->url("/feed.xml");
        Driver driver;
        bool paramsAfter = true;
        QStringList walk;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            wizard.nextButton()->click();
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.paramsPage()));
            wizard.backButton()->click();
            QCOMPARE(wizard.activePage(), static_cast<dialogs::PropertyPage*>(wizard.sourcePage()));
            wizard.sourcePage()->addressEdit()->setText(QString::fromStdString(url));
            QVERIFY(nextAndFetch(wizard));
            paramsAfter = wizard.hasParamsPage();
            walkToConfirm(wizard);
            // Back walks the channel's pages down to the details page, and no further.
            for (int i = 0; i < 5 && wizard.backButton()->isEnabled(); ++i) {
                wizard.backButton()->click();
                walk << wizard.activePage()->objectName();
            }
            walkToConfirm(wizard);
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        QCOMPARE(dialogs::startNewChannelWizard(nullptr, script), dialogs::ID_WIZFINISH);
        QVERIFY(!paramsAfter);
        QCOMPARE(walk, (QStringList{"channelSearchPage", "channelConfigPage", "channelDetailsPage"}));
        QCOMPARE(filesIn(channelsDir()),
                 QStringList{QString::fromStdString(channels::makeChannelFileName(url)) + ".rss"});
        QVERIFY(env->manager->findChannel(url) != nullptr);
        QCOMPARE(managedChannels(), 1);
    }

    // Finish with nineteen channels before: the channel manager holds twenty,
    // both hints are offered, and Yes to the second posts "Organize channel
    // filters" to the main window.
    void twentiethChannelOffersFilters() {
        auto frame = makeMainFrame();
        QVERIFY(frame);
        QAction* organize = frame->addCommand(32962, "Organize channel filters");
        QSignalSpy triggered(organize, &QAction::triggered);
        for (int i = 0; i < 19; ++i)
            env->addRssChannel("c" + std::to_string(i), "http://example.com/" + std::to_string(i));
        Driver driver;
        driver.hintAnswers["ManagingChannels"] = dialogs::IDYES;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            if (!nextAndFetch(wizard)) return;
            walkToConfirm(wizard);
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        QCOMPARE(dialogs::startNewChannelWizard(frame.get(), server->url("/feed.xml")), dialogs::ID_WIZFINISH);
        QCOMPARE(managedChannels(), 20);
        QVERIFY(driver.hints.indexOf("NewChannelMayBeFiltered") >= 0);
        QVERIFY(driver.hints.indexOf("ManagingChannels") > driver.hints.indexOf("NewChannelMayBeFiltered"));
        QTRY_COMPARE_WITH_TIMEOUT(triggered.size(), 1, 5000);
    }

    // Started without an address, the source page takes a feed address or an
    // existing file from the clipboard.
    void addressFromTheClipboard_data() {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("shown");
        QTest::newRow("feed address in capitals") << "HTTP://Example.COM/Feed.xml"
                                                  << "HTTP://Example.COM/Feed.xml";
        QTest::newRow("local file") << "{dir}/local.xml"
                                    << "file://{dir}/local.xml";
        QTest::newRow("other text") << "just some words"
                                    << "";
    }
    void addressFromTheClipboard() {
        QFETCH(QString, clipboard);
        QFETCH(QString, shown);
        testsupport::writeFile(env->dir.file("local.xml"), kFeed);
        const QString dir = QString::fromStdString(env->dir.str());
        QGuiApplication::clipboard()->setText(clipboard.replace("{dir}", dir));
        Driver driver;
        QString address;
        driver.wizardScript = [&](CNewChannelWizard& wizard) { address = wizard.sourcePage()->addressEdit()->text(); };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        dialogs::startNewChannelWizard(nullptr, "");
        QCOMPARE(address, shown.replace("{dir}", dir));
        QGuiApplication::clipboard()->clear();
    }

    // "Server authentication" on the source page: the credential goes with
    // the channel and its test fetch.
    void siteCredentials() {
        testsupport::HttpAnswer guarded = testsupport::HttpAnswer::text(kFeed);
        guarded.auth = std::make_pair(std::string("ann"), std::string("pw"));
        server->route("/private.xml", guarded);
        Driver driver;
        bool fetched = false;
        driver.other = [](QDialog& dialog) {
            if (dialog.objectName() != "httpAuthDialog") return;
            child<QLineEdit>(dialog, "userNameEdit")->setText("ann");
            child<QLineEdit>(dialog, "passwordEdit")->setText("pw");
            child<QPushButton>(dialog, "okButton")->click();
        };
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            child<QPushButton>(*wizard.sourcePage(), "serverAuthButton")->click();
            fetched = nextAndFetch(wizard);
            walkToConfirm(wizard);
            wizard.finishButton()->click();
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        const std::string url = server->url("/private.xml");
        dialogs::startNewChannelWizard(nullptr, url);
        QVERIFY(fetched);
        QVERIFY(driver.errors.empty());
        // "ann:pw", sent once the server asked for it.
        const QString sent = QString::fromStdString(server->requests("/private.xml").back().header("Authorization"));
        QCOMPARE(sent.toLower(), QString("basic yw5uonb3"));

        // The channel file keeps it, enciphered: a channel loaded from the file
        // (as at the next start) has it.
        QVERIFY(env->manager->findChannel(url) != nullptr);
        const std::string file = env->manager->findChannel(url)->getConfigFilename();
        QCOMPARE(tools::getIniString(file, "Config", "SiteAuthType", "", false), std::string("BASIC"));
        const std::string storedUser = tools::getIniString(file, "Config", "SiteAuthUserName", "", false);
        const std::string storedPassword = tools::getIniString(file, "Config", "SiteAuthPassword", "", false);
        QVERIFY(!storedUser.empty() && storedUser != "ann");
        QVERIFY(!storedPassword.empty() && storedPassword != "pw");
        channels::RssChannel reloaded(env->manager.get(), file);
        reloaded.load();
        const auto* auth = dynamic_cast<const tools::HttpBasicAuth*>(reloaded.getChannelConfig().getHttpAuth());
        QVERIFY(auth != nullptr);
        QCOMPARE(auth->getUserName(), std::string("ann"));
        QCOMPARE(auth->getPassword(), std::string("pw"));
    }

    // One wizard at a time.
    void secondWizardIsRefused() {
        Driver driver;
        int second = -1;
        driver.wizardScript = [&](CNewChannelWizard& wizard) {
            QCOMPARE(CNewChannelWizard::getRunningWizard(), &wizard);
            second = dialogs::startNewChannelWizard(nullptr, "http://example.com/other.xml");
            QCOMPARE(CNewChannelWizard::getExistingWizard(), &wizard);
        };
        dialogs::ScopedModalAnswerer answers(driver.answerer());
        QCOMPARE(dialogs::startNewChannelWizard(nullptr, server->url("/feed.xml")), int(dialogs::IDCANCEL));
        QCOMPARE(second, int(dialogs::IDCANCEL));
        QCOMPARE(driver.messages, QStringList{"Please finish or close the other Channel Wizard first."});
        QVERIFY(CNewChannelWizard::getRunningWizard() == nullptr);
        QVERIFY(CNewChannelWizard::getExistingWizard() == nullptr);
    }
};

QTEST_MAIN(NewChannelWizardTest)
#include "new_channel_wizard_qtest.moc"
