// Every dialog, sheet page and wizard page, opened on a 1024x768 screen and
// shrunk to its minimum size: no mnemonic "&" shown as a character, no label
// or button whose text does not fit, no window outside the work area.
#include <QApplication>
#include <QFile>
#include <QLayout>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/core/programObjects.h"
#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/propertySheet.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/hints/hints.h"
#include "dialogs/options/displayOptionsPage.h"
#include "dialogs/options/optionsSheet.h"
#include "dialogs/organize/channelFilterDlg.h"
#include "dialogs/organize/channelReportConfigDlg.h"
#include "dialogs/organize/organizeDialogs.h"
#include "dialogs/small/aboutSheet.h"
#include "dialogs/small/cantFindChmDlg.h"
#include "dialogs/small/httpAuthDlg.h"
#include "dialogs/small/selectChannelDlg.h"
#include "dialogs/small/timeIntervalsDlg.h"
#include "dialogs/wizard/newChannelWizard.h"
#include "tests/dialogs/channel_dialogs_fixture.h"
#include "tests/dialogs/window_checks.h"
#include "tests/support/httpServer.h"

using namespace dialogtest;
using namespace dialogs;

namespace {

const QRect kWorkArea(0, 0, 1024, 768);

const char* const kFeed =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Walked Feed</title>"
    "<link>http://example.com/</link><description>A feed for the walk</description>"
    "<item><title>One</title><link>http://example.com/1</link><guid>1</guid></item>"
    "</channel></rss>";

// Lays the window out at its minimum size.
void shrink(QWidget& window) {
    // Pending layouts first (a page just switched to), then the smallest size.
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window.resize(window.minimumSize().expandedTo(window.minimumSizeHint()));
    for (int i = 0; i < 3; ++i) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
}

}  // namespace

class WindowWalkTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Environment> env;
    QStringList faults;
    QStringList walked;

    // What the window shows where it opened, and then at its minimum size.
    void look(QWidget& window, const QString& step) {
        walked << windowcheck::windowName(&window) + (step.isEmpty() ? QString() : " / " + step);
        faults << windowcheck::placementFaults(&window, kWorkArea);
        shrink(window);
        for (const QString& fault : windowcheck::controlFaults(&window))
            faults << fault + (step.isEmpty() ? QString() : " [" + step + "]");
    }

    void walkSheet(PropertySheet& sheet) {
        for (int i = 0; i < sheet.pageCount(); ++i) {
            sheet.setActivePage(i);
            QCoreApplication::sendPostedEvents();
            look(sheet, sheet.page(i)->windowTitle());
        }
    }

    void walkWizard(CNewChannelWizard& wizard) {
        look(wizard, "source");
        QSignalSpy fetched(&wizard, &CNewChannelWizard::fetchFinished);
        wizard.nextButton()->click();
        if (fetched.isEmpty() && !fetched.wait(20000)) {
            faults << "wizard: the test fetch did not end";
            return;
        }
        for (int i = 0; i < 6; ++i) {
            QCoreApplication::sendPostedEvents();
            look(wizard, wizard.activePage()->windowTitle());
            if (wizard.activePage() == wizard.confirmPage()) break;
            wizard.nextButton()->click();
        }
    }

    // Every dialog that shows during `open` is looked at (sheets page by
    // page), then answered: message boxes with OK, the rest cancelled.
    void walk(const std::function<void()>& open) {
        const int before = faults.size();
        walkOnce(open);
        for (int i = before; i < faults.size(); ++i) qWarning("%s", qPrintable(faults[i]));
    }

    void walkOnce(const std::function<void()>& open) {
        ScopedModalAnswerer answerer([this](QDialog& dialog) {
            if (isMessageBox(dialog)) {
                faults << windowcheck::placementFaults(&dialog, kWorkArea);
                pressAnswer(dialog, IDOK);
                return;
            }
            if (auto* wizard = qobject_cast<CNewChannelWizard*>(&dialog))
                walkWizard(*wizard);
            else if (auto* sheet = qobject_cast<PropertySheet*>(&dialog))
                walkSheet(*sheet);
            else
                look(dialog, QString());
        });
        open();
    }

private slots:
    void init() {
        env = std::make_unique<Environment>();
        setChannelManager(env->manager.get());
        faults.clear();
        walked.clear();
    }
    void cleanup() {
        dialogs::waitForTestFetches();
        QCoreApplication::processEvents();
        resetProgramObjectsForTests();
        env.reset();
    }

    void screenIsTheWorkArea() { QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), kWorkArea); }

    void everyHint() {
        for (const HintDef* hint = kHintTable; hint->identifier; ++hint) {
            setHintEnabled(hint->identifier, true);
            walk([&] { CHintDlg(hint->identifier).DoModal(); });
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QVERIFY(walked.size() >= 20);
    }

    void optionsSheet() {
        walk([] { COptionsPropSheet().DoModal(); });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QVERIFY2(walked.size() >= 6, qPrintable(walked.join("\n")));
    }

    void channelSheet() {
        channels::RssChannel* channel = env->addRssChannel("walked", "http://127.0.0.1:9/feed.xml");
        walk([&] { CChannelPropSheet(nullptr, channel).DoModal(); });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QVERIFY2(walked.size() >= 5, qPrintable(walked.join("\n")));
    }

    void newChannelWizard() {
        testsupport::HttpServer server;
        server.route("/feed.xml", testsupport::HttpAnswer::text(kFeed));
        walk([&] { startNewChannelWizard(nullptr, server.url("/feed.xml")); });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QVERIFY2(walked.size() >= 5, qPrintable(walked.join("\n")));
    }

    void smallAndOrganizeDialogs() {
        channels::RssChannel* channel = env->addRssChannel("walked", "http://127.0.0.1:9/feed.xml");
        walk([] { CAboutPropSheet().DoModal(); });
        walk([] {
            CCantFindChmDlg dialog;
            runModal(dialog);
        });
        walk([] { CHttpAuthDlg(QStringLiteral("Proxy Authentication"), nullptr).DoModal(); });
        walk([&] {
            CSelectChannelDlg dialog(channel);
            runModal(dialog);
        });
        walk([] {
            CTimeIntervalsDlg(QStringLiteral("Blackout times"), QStringLiteral("Choose the times."), {{3600, 7200}})
                .DoModal();
        });
        walk([] { CGenericDisplayOptionsDlg(QStringLiteral("Item list"), ElementDisplay{}).DoModal(); });
        walk([] {
            COrganizeChannelFavoritesDlg dialog;
            runModal(dialog);
        });
        walk([] {
            COrganizeChannelFiltersDlg dialog;
            runModal(dialog);
        });
        walk([] {
            COrganizeChannelReportsDlg dialog;
            runModal(dialog);
        });
        walk([] {
            CChannelFilterDlg dialog(ChannelFilter{}, {});
            runModal(dialog);
        });
        walk([] {
            CChannelReportConfigDlg dialog(ChannelReportConfig{}, {});
            runModal(dialog);
        });
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        QVERIFY2(walked.size() >= 12, qPrintable(walked.join("\n")));
    }
};

// The offscreen screen is made 1024x768, the smallest work area the
// program's windows must fit.
int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(R"({"screens": [{"name": "walk", "x": 0, "y": 0, "width": 1024, "height": 768,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
    QApplication app(argc, argv);
    WindowWalkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "windowWalk_qtest.moc"
