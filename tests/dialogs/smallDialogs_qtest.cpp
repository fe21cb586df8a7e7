// The channel picker, the shutting-down window, the missing-help-file dialog
// and the file browsers, each driven through the modal runner's answerer.
#include <filesystem>
#include <memory>

#include <QDesktopServices>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/files/fileBrowser.h"
#include "dialogs/small/cantFindChmDlg.h"
#include "dialogs/small/selectChannelDlg.h"
#include "dialogs/small/shuttingDownDlg.h"
#include "tests/channels/rsschannel_fixture.h"
#include "tests/support/test_support.h"

using namespace dialogs;
namespace fs = std::filesystem;

// Receives what the program would open in the user's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QStringList opened;
public slots:
    void open(const QUrl& url) { opened << url.toString(); }
};

namespace {

QStringList entries(const QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
}

QFileDialog& fileDialog(QDialog& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    if (!files) qFatal("expected a file dialog, got %s", dialog.metaObject()->className());
    return *files;
}

}  // namespace

class SmallDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDir> dir_;
    UrlCatcher catcher_;

    std::string makeFile(const std::string& relative) {
        const std::string path = dir_->file(relative);
        testsupport::writeFile(path, "x");
        return path;
    }

private slots:
    void initTestCase() {
        QDesktopServices::setUrlHandler("http", &catcher_, "open");
        QDesktopServices::setUrlHandler("https", &catcher_, "open");
        programPaths().appName = "Orvan";
    }
    void cleanupTestCase() {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("https");
    }
    void init() {
        dir_ = std::make_unique<testsupport::TempDir>();
        programPaths().programDir = dir_->file("program") + "/";
        fs::create_directories(programPaths().programDir);
        catcher_.opened.clear();
        CSelectChannelDlg::placement = SaveWindowPlacement();
    }
    void cleanup() {
        resetProgramObjectsForTests();
        dir_.reset();
    }

    // Alphabetical whatever the manager's order; the given channel selected;
    // OK or a double click chooses.
    void pickerListsAlphabeticallyAndChooses() {
        nettest::Engine engine;
        for (const char* name : {"gamma", "beta", "Alpha"})
            engine.addChannel(name, std::string("http://example.test/") + name)
                ->getChannelConfig()
                .setPreferredDisplayName(name);
        setChannelManager(engine.manager.get());
        channels::Channel* beta = engine.manager->findChannel("http://example.test/beta");
        channels::Channel* gamma = engine.manager->findChannel("http://example.test/gamma");

        CSelectChannelDlg picker(beta);
        ScopedModalAnswerer answerer([&](QDialog&) {
            QCOMPARE(picker.windowTitle(), QString("Select channel"));
            QCOMPARE(entries(picker.channelList()), (QStringList{"Alpha", "beta", "gamma"}));
            QCOMPARE(picker.channelList()->currentItem()->text(), QString("beta"));
            picker.okButton()->click();
        });
        QCOMPARE(runModal(picker), int(QDialog::Accepted));
        QCOMPARE(picker.getChannel(), beta);

        CSelectChannelDlg byDoubleClick(nullptr);
        ScopedModalAnswerer doubleClicker([&](QDialog&) {
            QCOMPARE(byDoubleClick.channelList()->currentRow(), 0);
            QListWidgetItem* item = byDoubleClick.channelList()->item(2);
            byDoubleClick.channelList()->setCurrentItem(item);
            emit byDoubleClick.channelList()->itemDoubleClicked(item);
            QTRY_VERIFY_WITH_TIMEOUT(!byDoubleClick.isVisible(), 5000);
        });
        QCOMPARE(runModal(byDoubleClick), int(QDialog::Accepted));
        QCOMPARE(byDoubleClick.getChannel(), gamma);
    }

    // A placement remembered on a larger screen, or off its edges, opens
    // inside the work area (frame included), shrunk to it when too large.
    void rememberedPlacementStaysInTheWorkArea_data() {
        QTest::addColumn<QRect>("saved");  // relative to the work area's size
        QTest::newRow("past the bottom right") << QRect(900, 900, 400, 300);
        QTest::newRow("past the top left") << QRect(-500, -400, 400, 300);
        QTest::newRow("larger than the screen") << QRect(0, 0, 3000, 2500);
    }
    void rememberedPlacementStaysInTheWorkArea() {
        QFETCH(QRect, saved);
        nettest::Engine engine;
        setChannelManager(engine.manager.get());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        CSelectChannelDlg::placement.placement.normalGeometry =
            QRect(area.left() + saved.x() * area.width() / 1000, area.top() + saved.y() * area.height() / 1000,
                  saved.width(), saved.height());
        CSelectChannelDlg::placement.saved = true;
        CSelectChannelDlg picker(nullptr);
        QRect shown;
        ScopedModalAnswerer answerer([&](QDialog& dialog) { shown = dialog.geometry(); });
        runModal(picker);
        // Offscreen windows have no frame: what a title bar and borders take.
        const QRect frame = shown.marginsAdded(QMargins(4, 30, 4, 4));
        QVERIFY2(
            area.contains(frame),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
    }

    void pickerEdgeCases() {
        nettest::Engine engine;
        setChannelManager(engine.manager.get());
        {
            CSelectChannelDlg empty(nullptr);
            ScopedModalAnswerer answerer([&](QDialog&) { empty.okButton()->click(); });
            QCOMPARE(runModal(empty), int(QDialog::Accepted));
            QCOMPARE(empty.getChannel(), nullptr);
        }
        channels::Channel* one = engine.addChannel("one", "http://example.test/one");
        channels::Channel* two = engine.addChannel("two", "http://example.test/two");
        engine.manager->deleteChannel(one, nullptr);
        {
            // Opened with a channel deleted meanwhile: the first entry.
            CSelectChannelDlg picker(one);
            ScopedModalAnswerer answerer([&](QDialog&) {
                QCOMPARE(picker.channelList()->count(), 1);
                QCOMPARE(picker.channelList()->currentRow(), 0);
                picker.okButton()->click();
            });
            runModal(picker);
            QCOMPARE(picker.getChannel(), two);
        }
        {
            // Deleted while the picker is open: OK gives no channel.
            CSelectChannelDlg picker(two);
            ScopedModalAnswerer answerer([&](QDialog&) {
                engine.manager->deleteChannel(two, nullptr);
                picker.okButton()->click();
            });
            QCOMPARE(runModal(picker), int(QDialog::Accepted));
            QCOMPARE(picker.getChannel(), nullptr);
        }
    }

    // Controls inside the window at its minimum size, the list growing with
    // it, and the placement kept for the next opening.
    void pickerResizesAndRemembersItsPlacement() {
        nettest::Engine engine;
        setChannelManager(engine.manager.get());
        QRect left;
        {
            CSelectChannelDlg picker(nullptr);
            ScopedModalAnswerer answerer([&](QDialog&) {
                QCOMPARE(picker.minimumSize(), picker.size());
                const QRect inner = picker.rect().adjusted(15, 15, -15, -15);
                for (auto* control : picker.findChildren<QWidget*>())
                    if (controlId(control) != 0) QVERIFY(inner.contains(control->geometry()));
                const QSize list = picker.channelList()->size();
                picker.resize(picker.size() + QSize(40, 60));
                QCOMPARE(picker.channelList()->size(), list + QSize(40, 60));
                QCOMPARE(picker.findChild<QPushButton*>("cancelButton")->geometry().bottomRight(),
                         QPoint(picker.width() - 16, picker.height() - 16));
                left = picker.geometry();
                picker.reject();
            });
            runModal(picker);
        }
        CSelectChannelDlg again(nullptr);
        ScopedModalAnswerer answerer([&](QDialog&) { QCOMPARE(again.geometry(), left); });
        runModal(again);
    }

    void shuttingDownWindow() {
        CShuttingDownDlg window;
        QVERIFY(window.isVisible());
        QCOMPARE(window.text(), QString("Orvan is shutting down..."));
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(window.geometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(window.geometry().center().y() - area.center().y()) <= 1);
    }

    void missingHelpFile_data() {
        QTest::addColumn<bool>("online");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("opened");
        QTest::newRow("download") << false << false
                              << QStringList{"You are about to download the Orvan help file.\n\nYou should save it to "
                                             "the same directory that Orvan is installed in: PROGRAM"}
                              << QStringList{"https://help.example.test/orvan.chm"};
        QTest::newRow("online help") << true << false << QStringList{}
                                     << QStringList{"https://help.example.test/online"};
        QTest::newRow("cancel") << false << true << QStringList{} << QStringList{};
    }
    void missingHelpFile() {
        QFETCH(bool, online);
        QFETCH(bool, cancel);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, opened);
        programPaths().chmDownloadUrl = "https://help.example.test/orvan.chm";
        programPaths().onlineHelpUrl = "https://help.example.test/online";
        messages.replaceInStrings("PROGRAM", QString::fromStdString(dir_->file("program")));
        CCantFindChmDlg dialog;
        QStringList shown;
        ScopedModalAnswerer answerer([&](QDialog& seen) {
            if (isMessageBox(seen)) {
                QVERIFY(!dialog.isVisible());  // the dialog has closed first
                QVERIFY(catcher_.opened.isEmpty());
                shown << messageText(seen);
                pressAnswer(seen, IDOK);
                return;
            }
            QCOMPARE(dialog.windowTitle(), QString("Orvan Help"));
            QVERIFY(dialog.downloadButton()->isChecked());
            if (online) dialog.onlineHelpButton()->setChecked(true);
            if (cancel)
                dialog.reject();
            else
                dialog.okButton()->click();
        });
        QCOMPARE(runModal(dialog), cancel ? int(QDialog::Rejected) : int(QDialog::Accepted));
        QCOMPARE(shown, messages);
        QCOMPARE(catcher_.opened, opened);
    }

    void addressThatCannotOpen_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "Can't open the requested item (rc=2).";
        QTest::newRow("not a web address") << "javascript:alert(1)"
                                           << "Can't open the requested item (rc=2).";
    }
    void addressThatCannotOpen() {
        QFETCH(QString, address);
        QFETCH(QString, message);
        programPaths().onlineHelpUrl = address.toStdString();
        CCantFindChmDlg dialog;
        QStringList shown;
        ScopedModalAnswerer answerer([&](QDialog& seen) {
            if (answerIfMessageBox(seen, IDOK, &shown)) return;
            dialog.onlineHelpButton()->setChecked(true);
            dialog.okButton()->click();
        });
        runModal(dialog);
        QCOMPARE(shown, QStringList{message});
        QVERIFY(catcher_.opened.isEmpty());
    }

    // The first browse of a use opens in the program directory, later ones in
    // the directory chosen last; Cancel changes nothing.
    void openBrowserRemembersItsDirectory() {
        const std::string sound = makeFile("sounds/new item.wav");
        std::string remembered;
        OpenFileBrowserDlg browser(nullptr, "New item sound", {{"Wave files (*.wav)", "*.wav"}, {"All files", "*.*"}},
                                   &remembered);
        browser.setDefaultExtension("wav");
        QStringList seenDirs;
        bool choose = true;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            QFileDialog& files = fileDialog(dialog);
            QVERIFY(files.testOption(QFileDialog::DontUseNativeDialog));
            QCOMPARE(files.windowTitle(), QString("New item sound"));
            QCOMPARE(files.nameFilters(), (QStringList{"Wave files (*.wav)", "All files (*)"}));
            QCOMPARE(files.acceptMode(), QFileDialog::AcceptOpen);
            seenDirs << files.directory().absolutePath();
            if (!choose) return;
            files.selectFile(QString::fromStdString(sound));
            static_cast<QDialog&>(files).accept();  // the dialog's Open or Save button
        });
        std::string path;
        QVERIFY(browser.browse(path));
        QCOMPARE(path, sound);
        QCOMPARE(remembered, dir_->file("sounds"));
        path.clear();
        choose = false;
        QVERIFY(!browser.browse(path));
        QCOMPARE(path, std::string());
        QCOMPARE(remembered, dir_->file("sounds"));
        QCOMPARE(seenDirs, (QStringList{QString::fromStdString(dir_->file("program")),
                                        QString::fromStdString(dir_->file("sounds"))}));
    }

    // Typing a file that does not exist: Qt's warning is answered, the
    // browser stays open and ends without a choice.
    void openBrowserRefusesAMissingFile() {
        std::string remembered;
        OpenFileBrowserDlg browser(nullptr, "Template", {{"Templates", "*.template"}}, &remembered);
        QStringList warnings;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (answerIfMessageBox(dialog, IDOK, &warnings)) return;
            QFileDialog& files = fileDialog(dialog);
            files.selectFile(QString::fromStdString(dir_->file("program/missing.template")));
            static_cast<QDialog&>(files).accept();
            QVERIFY(files.isVisible());
        });
        std::string path = "unchanged";
        QVERIFY(!browser.browse(path));
        QCOMPARE(path, std::string("unchanged"));
        QCOMPARE(remembered, std::string());
        QCOMPARE(warnings.size(), 1);
    }

    // From a field: an existing file opens its folder with the file selected; a
    // path that does not exist opens the remembered folder empty. The choice
    // goes into the field, which gets the focus.
    void browseForControl_data() {
        QTest::addColumn<QString>("fieldText");
        QTest::addColumn<QString>("expectedDir");
        QTest::addColumn<QString>("expectedFile");
        QTest::newRow("existing file") << "images/logo.png"
                                       << "images"
                                       << "logo.png";
        QTest::newRow("missing path") << "nowhere/logo.png"
                                      << "remembered"
                                      << "";
    }
    void browseForControl() {
        QFETCH(QString, fieldText);
        QFETCH(QString, expectedDir);
        QFETCH(QString, expectedFile);
        makeFile("images/logo.png");
        fs::create_directories(dir_->file("remembered"));
        const std::string chosen = makeFile("images/other.png");
        QWidget page;
        auto* field = new QLineEdit(QString::fromStdString(dir_->file(fieldText.toStdString())), &page);
        setControlId(field, 1016);
        auto* other = new QLineEdit(&page);
        page.show();
        other->setFocus();
        std::string remembered = dir_->file("remembered");
        OpenFileBrowserDlg browser(&page, "Channel image", {{"Images", "*.png;*.gif"}}, &remembered);
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            QFileDialog& files = fileDialog(dialog);
            QCOMPARE(files.directory().absolutePath(), QString::fromStdString(dir_->file(expectedDir.toStdString())));
            const QStringList selected = files.selectedFiles();
            if (expectedFile.isEmpty())
                QVERIFY(selected.isEmpty() || QFileInfo(selected.first()).isDir());
            else
                QCOMPARE(QFileInfo(selected.value(0)).fileName(), expectedFile);
            files.selectFile(QString::fromStdString(chosen));
            static_cast<QDialog&>(files).accept();  // the dialog's Open or Save button
        });
        QVERIFY(browser.browseForControl(1016));
        QCOMPARE(field->text(), QString::fromStdString(chosen));
        QCOMPARE(page.focusWidget(), field);
        QCOMPARE(remembered, dir_->file("images"));
    }

    // The save browser takes an existing file without asking, adds the default
    // extension, keeps "/" and takes paths far longer than 260 characters.
    void saveBrowser() {
        // Should the dialog ask anything, close it so that the test fails instead of hanging.
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        watchdog.start(3000);
        std::string deep = "reports";
        for (int i = 0; i < 6; ++i) deep += "/" + std::string(50, char('a' + i));
        const std::string existing = makeFile(deep + "/report.html");
        std::string remembered;
        SaveFileBrowserDlg browser(nullptr, "Report output", {{"HTML files", "*.html;*.htm"}}, &remembered);
        browser.setDefaultExtension("html");
        QString typed;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            QFileDialog& files = fileDialog(dialog);
            QCOMPARE(files.acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(files.nameFilters(), QStringList{"HTML files (*.html *.htm)"});
            files.selectFile(typed);
            static_cast<QDialog&>(files).accept();  // the dialog's Open or Save button
        });
        typed = QString::fromStdString(existing);
        std::string path = existing;
        QVERIFY(browser.browse(path));
        QVERIFY(existing.size() > 300);
        QCOMPARE(path, existing);
        QCOMPARE(remembered, dir_->file(deep));
        QCOMPARE(path.find('\\'), std::string::npos);

        typed = QString::fromStdString(dir_->file(deep + "/new report"));
        QVERIFY(browser.browse(path));
        QCOMPARE(path, dir_->file(deep + "/new report.html"));
    }
};

QTEST_MAIN(SmallDialogsTest)
#include "smallDialogs_qtest.moc"
