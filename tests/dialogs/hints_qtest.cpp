// Hints: shown until switched off, then answering with their stored answer;
// the Hints page of the options sheet.
#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/propertySheet.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/hints/hints.h"
#include "dialogs/hints/hintsPage.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

using namespace dialogs;

namespace {

QCheckBox* switchOffBox(QDialog& dialog) { return dialog.findChild<QCheckBox*>("dontShowAgainCheck"); }
QPushButton* slotButton(QDialog& dialog, int slot) {
    return dialog.findChild<QPushButton*>(QString("hintButton%1").arg(slot));
}
std::string disabledValue(const std::string& key) {
    return tools::getIniString(programPaths().userConfigFile, "Disabled Hints", key, "(missing)", false);
}

}  // namespace

class HintsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TempDir> dir_;

private slots:
    void init() {
        dir_ = std::make_unique<testsupport::TempDir>();
        programPaths().userConfigFile = dir_->file("config.ini");
        programPaths().globalIniFile = dir_->file("global.ini");
    }
    void cleanup() { dir_.reset(); }

    void shownEveryTimeUntilSwitchedOff() {
        int shown = 0;
        bool tick = false;
        int press = 3;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            ++shown;
            switchOffBox(dialog)->setChecked(tick);
            slotButton(dialog, press)->click();
        });
        QCOMPARE(CHintDlg("ConfirmExit").DoModal(), int(IDCANCEL));
        QCOMPARE(CHintDlg("ConfirmExit").DoModal(), int(IDCANCEL));
        QCOMPARE(shown, 2);
        QVERIFY(isHintEnabled("ConfirmExit"));
        tick = true;
        press = 2;  // OK, with the box ticked
        QCOMPARE(CHintDlg("ConfirmExit").DoModal(), int(IDOK));
        QCOMPARE(disabledValue("ConfirmExit"), std::string("1"));
        // Switched off: no window, the stored answer.
        QCOMPARE(CHintDlg("ConfirmExit").DoModal(), int(IDOK));
        QCOMPARE(shown, 3);
    }

    void switchedOffAnswers_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("answer");
        QTest::newRow("exit off") << "ConfirmExit"
                                  << "1" << false << int(IDOK);
        QTest::newRow("tray app off, negative") << "RunAsSystemTrayApp"
                                                << "-3" << false << int(IDNO);
        QTest::newRow("filters question off") << "ManagingChannels"
                                              << "1" << false << int(IDNO);
        QTest::newRow("other case in the file") << "AltCtrlHotkey"
                                                << "1" << false << int(IDOK);
        QTest::newRow("zero is on") << "ChangeWindowMode"
                                    << "0" << true << int(IDOK);
        QTest::newRow("not a number is on") << "CaptionBar"
                                            << "off" << true << int(IDOK);
    }
    void switchedOffAnswers() {
        QFETCH(QString, identifier);
        QFETCH(QString, stored);
        QFETCH(bool, shown);
        QFETCH(int, answer);
        const std::string key = QTest::currentDataTag() == QByteArray("other case in the file")
                                    ? "altctrlHOTKEY"
                                    : identifier.toStdString();
        tools::writeIniString(programPaths().userConfigFile, "Disabled Hints", key, stored.toStdString());
        ScopedModalAnswerer answerer([&](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Return); });
        QCOMPARE(CHintDlg(identifier.toStdString()).DoModal(), answer);
        QCOMPARE(answerer.count(), shown ? 1 : 0);
    }

    // The hotkey dialog's caller writes a capital K: it finds row 22 and its key.
    void identifiersIgnoreCase() {
        const HintDef* row = findHint("AssigningHotKeys");
        QVERIFY(row);
        QCOMPARE(row - kHintTable, 21);
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            switchOffBox(dialog)->setChecked(true);
            QTest::keyClick(&dialog, Qt::Key_Return);
        });
        QCOMPARE(CHintDlg("AssigningHotKeys").DoModal(), int(IDOK));
        QVERIFY(!isHintEnabled("AssigningHotkeys"));
        QCOMPARE(disabledValue("AssigningHotkeys"), std::string("1"));
        QVERIFY(!findHint("NoSuchHint"));
    }

    // Escape answers Cancel even where there is no Cancel button, and ignores a
    // ticked box; Enter gives the row's default answer and honours the box.
    void keyboard_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("switchedOff");
        QTest::newRow("escape, OK only") << "CaptionBar" << int(Qt::Key_Escape) << int(IDCANCEL) << false;
        QTest::newRow("escape, yes/no") << "ManagingChannels" << int(Qt::Key_Escape) << int(IDCANCEL) << false;
        QTest::newRow("enter, cancel is default") << "ConfirmExit" << int(Qt::Key_Return) << int(IDCANCEL) << true;
        QTest::newRow("enter, no is default") << "RunAsSystemTrayApp" << int(Qt::Key_Return) << int(IDNO) << true;
        QTest::newRow("enter, yes is default") << "GlobalSoundIsDisabled" << int(Qt::Key_Return) << int(IDYES) << true;
    }
    void keyboard() {
        QFETCH(QString, identifier);
        QFETCH(int, key);
        QFETCH(int, answer);
        QFETCH(bool, switchedOff);
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            switchOffBox(dialog)->setChecked(true);
            QTest::keyClick(&dialog, Qt::Key(key));
        });
        QCOMPARE(CHintDlg(identifier.toStdString()).DoModal(), answer);
        QCOMPARE(isHintEnabled(identifier.toStdString()), !switchedOff);
    }

    // What the user sees: the message, the buttons of the row's set
    // (right-aligned, empty slots hidden and disabled), the default button.
    void whatTheDialogShows_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QStringList>("labels");  // slots 1..3, "" for an empty slot
        QTest::addColumn<int>("defaultSlot");
        QTest::addColumn<QString>("message");
        QTest::newRow("ok/cancel, short text gets a leading break")
            << "ConfirmExit" << QStringList{"", "OK", "Cancel"} << 3 << "\nDo you want to exit?\n\n";
        QTest::newRow("ok, long text without a leading break")
            << "ChannelSummaryPage" << QStringList{"", "", "OK"} << 3
            << QString::fromUtf8(findHint("ChannelSummaryPage")->hintText) + "\n\n";
        QTest::newRow("yes/no with a question")
            << "ManagingChannels" << QStringList{"", "Yes", "No"} << 2
            << "Now that your channel subscription list is growing, you can use channel filters to keep them "
               "organized.\n\nDo you want to create a new channel filter?";
        QTest::newRow("yes/no/cancel, no is default")
            << "RunAsSystemTrayApp" << QStringList{"Yes", "No", "Cancel"} << 2
            << QString::fromUtf8(findHint("RunAsSystemTrayApp")->hintText) +
                   "\n\nDo you want to change back to running as a normal Windows application?";
    }
    void whatTheDialogShows() {
        QFETCH(QString, identifier);
        QFETCH(QStringList, labels);
        QFETCH(int, defaultSlot);
        QFETCH(QString, message);
        programPaths().appName = "Orvan";
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QString("Orvan"));
            QCOMPARE(dialog.findChild<QLabel*>("hintText")->text(), message);
            QCOMPARE(switchOffBox(dialog)->text(), QString("&Don't show me this again"));
            for (int slot = 1; slot <= 3; ++slot) {
                QPushButton* button = slotButton(dialog, slot);
                const QString label = labels[slot - 1];
                QCOMPARE(button->isVisible(), !label.isEmpty());
                QCOMPARE(button->isEnabled(), !label.isEmpty());
                if (!label.isEmpty()) QCOMPARE(button->text(), label);
                QCOMPARE(button->isDefault(), slot == defaultSlot);
            }
            QCOMPARE(dialog.focusWidget(), slotButton(dialog, defaultSlot));
            for (int slot = 1; slot < 3; ++slot)
                if (!labels[slot - 1].isEmpty())
                    QVERIFY(slotButton(dialog, slot)->x() < slotButton(dialog, slot + 1)->x());
        });
        CHintDlg(identifier.toStdString()).DoModal();
        QCOMPARE(answerer.count(), 1);
    }

    // Every line of a hint shows, short or long, also with the dialog at the
    // smallest size it can be given.
    void wholeTextShows_data() {
        QTest::addColumn<QString>("identifier");
        QTest::newRow("short") << "ConfirmExit";
        QTest::newRow("long") << "ChannelSummaryPage";
        QTest::newRow("longest") << "ChannelFilters";
    }
    void wholeTextShows() {
        QFETCH(QString, identifier);
        QVERIFY(findHint(identifier.toStdString()) != nullptr);
        QStringList clipped;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            auto* text = dialog.findChild<QLabel*>("hintText");
            for (int pass = 0; pass < 2; ++pass) {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                if (text->heightForWidth(text->width()) > text->height())
                    clipped << QStringLiteral("%1 of %2 pixels shown")
                                   .arg(text->height())
                                   .arg(text->heightForWidth(text->width()));
                dialog.resize(dialog.minimumSize());
            }
        });
        CHintDlg(identifier.toStdString()).DoModal();
        QCOMPARE(answerer.count(), 1);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
    }

    // The page lists every hint ticked while on; OK writes all 27 switches
    // and saves the options without losing them.
    void hintsPageWritesEverySwitch() {
        GlobalOptions::instance().load();
        setHintEnabled("CaptionBar", false);
        CAppPropertySheet sheet("Options", nullptr, 0);
        auto* page = new CHintsPropPage;
        sheet.addPage(page);
        ScopedModalAnswerer answerer([&](QDialog&) {
            QTreeWidget* list = page->list();
            QCOMPARE(list->topLevelItemCount(), 27);
            QCOMPARE(list->headerItem()->text(0), QString("Hint"));
            QCOMPARE(list->headerItem()->text(1), QString("Description"));
            QCOMPARE(list->currentItem(), list->topLevelItem(0));
            for (int i = 0; i < 27; ++i) {
                QTreeWidgetItem* item = list->topLevelItem(i);
                QCOMPARE(item->text(0), QString(kHintTable[i].identifier));
                QCOMPARE(item->checkState(0), item->text(0) == "CaptionBar" ? Qt::Unchecked : Qt::Checked);
            }
            list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);  // ConfirmExit off
            list->topLevelItem(10)->setCheckState(0, Qt::Checked);   // CaptionBar on again
            sheet.okButton()->click();
        });
        QCOMPARE(runModal(sheet), int(QDialog::Accepted));
        for (const HintDef* hint = kHintTable; hint->identifier; ++hint)
            QCOMPARE(disabledValue(hint->identifier), std::string(hint == kHintTable ? "1" : "0"));
        QVERIFY(testsupport::readFile(programPaths().userConfigFile).find("[Disabled Hints]") != std::string::npos);
    }

    void hintsPageSaveFailureKeepsTheSheetOpen() {
        programPaths().userConfigFile = dir_->file("missing-folder/config.ini");
        CAppPropertySheet sheet("Options", nullptr, 0);
        auto* page = new CHintsPropPage;
        sheet.addPage(page);
        QStringList shown;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (answerIfMessageBox(dialog, IDOK, &shown)) return;
            sheet.okButton()->click();
            QVERIFY(sheet.isVisible());
        });
        QCOMPARE(runModal(sheet), int(QDialog::Rejected));
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Couldn't save the global options.\n\n"), qPrintable(shown[0]));
        QVERIFY(shown[0].size() > int(strlen("Couldn't save the global options.\n\n")));
    }
};

QTEST_MAIN(HintsTest)
#include "hints_qtest.moc"
