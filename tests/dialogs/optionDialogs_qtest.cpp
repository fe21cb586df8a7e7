// The time intervals dialog, the HTTP authentication dialog and the about
// sheet, run modally through the answerer.
#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "dialogs/small/aboutSheet.h"
#include "dialogs/small/httpAuthDlg.h"
#include "dialogs/small/timeIntervalsDlg.h"
#include "tools/httpAuth.h"
#include "widgets/controls/timeIntervalsCtrl.h"

using namespace dialogs;
using Intervals = CTimeIntervalsDlg::Intervals;

Q_DECLARE_METATYPE(Intervals)

class OptionDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void intervalsRoundTrip_data() {
        QTest::addColumn<Intervals>("given");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<Intervals>("read");
        QTest::newRow("empty") << Intervals{} << QStringList{} << Intervals{};
        QTest::newRow("midnight end as 0")
            << Intervals{{79200, 0}} << QStringList{"22:00-24:00"} << Intervals{{79200, 0}};
        QTest::newRow("midnight end as 86400")
            << Intervals{{79200, 86400}} << QStringList{"22:00-24:00"} << Intervals{{79200, 0}};
        QTest::newRow("seconds dropped") << Intervals{{3630, 7200}} << QStringList{"01:00-02:00"}
                                         << Intervals{{3600, 7200}};
        QTest::newRow("colliding one dropped")
            << Intervals{{3600, 7200}, {5400, 9000}, {0, 1800}} << QStringList{"00:00-00:30", "01:00-02:00"}
            << Intervals{{0, 1800}, {3600, 7200}};
        QTest::newRow("whole day") << Intervals{{0, 0}} << QStringList{"00:00-24:00"} << Intervals{{0, 0}};
        QTest::newRow("nonsense dropped")
            << Intervals{{-60, 600}, {90000, 0}, {600, 1200}} << QStringList{"00:10-00:20"} << Intervals{{600, 1200}};
    }
    void intervalsRoundTrip() {
        QFETCH(Intervals, given);
        QFETCH(QStringList, shown);
        QFETCH(Intervals, read);
        CTimeIntervalsDlg dialog("Blackout times", "Orvan will not update any channels in the times you set here.",
                                 given);
        QStringList seen;
        QString caption, message;
        ScopedModalAnswerer answerer([&](QDialog& open) {
            caption = open.windowTitle();
            message = open.findChild<QLabel*>("messageLabel")->text();
            auto* grid = open.findChild<ui::CBCGTimeIntervalsCtrl*>("intervalsGrid");
            for (int i = 0; i < grid->getIntervalCount(); ++i) {
                QDateTime start, end;
                int status = 0;
                grid->getInterval(i, start, end, status);
                const QString to = end.date() > start.date() && end.time() == QTime(0, 0)
                                       ? QStringLiteral("24:00")
                                       : end.time().toString("HH:mm");
                seen << start.time().toString("HH:mm") + "-" + to;
            }
            open.findChild<QPushButton*>("okButton")->click();
        });
        QCOMPARE(dialog.DoModal(), int(IDOK));
        QCOMPARE(caption, QString("Blackout times"));
        QVERIFY(message.startsWith("Orvan will not"));
        QCOMPARE(seen, shown);
        Intervals out{{1, 2}};
        QVERIFY(dialog.getIntervals(out));
        QCOMPARE(out, read);
    }

    void intervalsCancelled() {
        Intervals mine{{3600, 7200}};
        CTimeIntervalsDlg dialog("Blackout times", "", mine);
        ScopedModalAnswerer answerer([](QDialog& open) {
            auto* grid = open.findChild<ui::CBCGTimeIntervalsCtrl*>("intervalsGrid");
            grid->removeAllIntervals();
            open.findChild<QPushButton*>("cancelButton")->click();
        });
        QCOMPARE(dialog.DoModal(), int(IDCANCEL));
        QCOMPARE(mine, (Intervals{{3600, 7200}}));
    }

    void httpAuthEditsACopy() {
        tools::HttpBasicAuth mine;
        mine.set("ann", "secret");
        // Shown, trimmed on OK, handed over; the caller's object is untouched.
        {
            CHttpAuthDlg dialog("Proxy Authentication", &mine);
            QString shownUser, shownPassword;
            ScopedModalAnswerer answerer([&](QDialog& open) {
                QCOMPARE(open.windowTitle(), QString("Proxy Authentication"));
                auto* user = open.findChild<QLineEdit*>("userNameEdit");
                auto* password = open.findChild<QLineEdit*>("passwordEdit");
                shownUser = user->text();
                shownPassword = password->text();
                QCOMPARE(password->echoMode(), QLineEdit::Password);
                user->setText("  bob ");
                password->setText(" pass word  ");
                open.findChild<QPushButton*>("okButton")->click();
            });
            QCOMPARE(dialog.DoModal(), int(IDOK));
            QCOMPARE(shownUser, QString("ann"));
            QCOMPARE(shownPassword, QString("secret"));
            std::unique_ptr<tools::HttpAuth> edited(dialog.detachHttpAuth());
            auto* basic = dynamic_cast<tools::HttpBasicAuth*>(edited.get());
            QVERIFY(basic);
            QCOMPARE(basic->getUserName(), std::string("bob"));
            QCOMPARE(basic->getPassword(), std::string("pass word"));
            QVERIFY(!dialog.detachHttpAuth());
        }
        QCOMPARE(mine.getUserName(), std::string("ann"));
        // Cancel (Escape) leaves it all alone.
        {
            CHttpAuthDlg dialog("Proxy Authentication", &mine);
            ScopedModalAnswerer answerer([](QDialog& open) {
                open.findChild<QLineEdit*>("userNameEdit")->setText("eve");
                QTest::keyClick(&open, Qt::Key_Escape);
            });
            QCOMPARE(dialog.DoModal(), int(IDCANCEL));
            QCOMPARE(mine.getUserName(), std::string("ann"));
        }
        // None given: an empty basic credential, whose header value is empty.
        {
            CHttpAuthDlg dialog("Proxy Authentication", nullptr);
            ScopedModalAnswerer answerer([](QDialog& open) { open.findChild<QPushButton*>("okButton")->click(); });
            QCOMPARE(dialog.DoModal(), int(IDOK));
            std::unique_ptr<tools::HttpAuth> edited(dialog.detachHttpAuth());
            QVERIFY(dynamic_cast<tools::HttpBasicAuth*>(edited.get()));
            QCOMPARE(edited->getHeaderValue(), std::string());
        }
    }

    void aboutSheetHasOneButton_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("the button") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("Escape") << 2;
    }
    void aboutSheetHasOneButton() {
        QFETCH(int, how);
        programPaths().appHomeUrl = "https://orvan.example/";
        programPaths().forumsUrl = "https://orvan.example/forums";
        programPaths().versionString = "1.2.3";
        CAboutPropSheet sheet(nullptr, 0);
        bool closedByAnswerer = false;
        ScopedModalAnswerer answerer([&](QDialog& open) {
            QCoreApplication::processEvents();
            auto* ok = open.findChild<QPushButton*>("okButton");
            auto* cancel = open.findChild<QPushButton*>("cancelButton");
            QVERIFY(!ok->isVisible());
            QCOMPARE(cancel->text(), QString("OK"));
            QVERIFY(cancel->isDefault());
            QCOMPARE(open.findChild<QTabWidget*>("tabs")->count(), 2);
            QVERIFY(open.findChild<QLabel*>("homeLink")->text().contains("https://orvan.example/"));
            QVERIFY(open.findChild<QLabel*>("forumsLink")->text().contains("https://orvan.example/forums"));
            QCOMPARE(open.findChild<QLabel*>("versionLabel")->text(), QString("1.2.3"));
            auto* title = open.findChild<QLabel*>("titleLabel");
            QCOMPARE(title->text(), applicationTitle());
            QCOMPARE(title->font().pointSize(), 20);
            const QFont entry = open.findChild<QLabel*>("headwordLabel")->font();
            QVERIFY(entry.italic());
            QCOMPARE(entry.family(), QString("Times New Roman"));
            QCOMPARE(entry.pointSize(), open.font().pointSize() * 5 / 4);
            if (how == 0)
                cancel->click();
            else
                QTest::keyClick(&open, how == 1 ? Qt::Key_Return : Qt::Key_Escape);
            closedByAnswerer = !open.isVisible();
        });
        sheet.DoModal();
        QVERIFY(closedByAnswerer);
    }
};

QTEST_MAIN(OptionDialogsTest)
#include "optionDialogs_qtest.moc"
