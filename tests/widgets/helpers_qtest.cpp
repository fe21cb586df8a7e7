// The shared window helpers: the window-update lock and its switches, field
// validation with its messages, dialog placement, group boxes, list chores
// and the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/windowPlacement.h"
#include "tests/support/test_support.h"
#include "widgets/helpers/clipboard.h"
#include "widgets/helpers/entryFields.h"
#include "widgets/helpers/listControls.h"
#include "widgets/helpers/windowUpdateLock.h"

class HelpersTest : public QObject {
    Q_OBJECT
private:
    testsupport::TempDir dir;
    void setSwitches(const std::string& lines) {
        testsupport::writeFile(programPaths().userDebugIniFile, "[Debug]\n" + lines);
    }

private slots:
    void initTestCase() { programPaths().userDebugIniFile = dir.file("debug.ini"); }

    void updateLockGuardsDoNotNest() {
        setSwitches("");
        QWidget a, b;
        a.show();
        b.show();
        {
            WindowUpdateLock outer(&a);
            QVERIFY(!a.updatesEnabled() && !b.updatesEnabled());
            {
                WindowUpdateLock inner(&b);  // nothing more is locked
                QVERIFY(WindowUpdateLock::isLocked());
            }
            // The inner guard's end released the one lock.
            QVERIFY(a.updatesEnabled() && b.updatesEnabled());
            QVERIFY(!WindowUpdateLock::isLocked());
        }
        QVERIFY(a.updatesEnabled() && b.updatesEnabled());
    }

    void updateLockSwitches() {
        QWidget other;
        other.show();
        QMainWindow frame;
        frame.show();

        setSwitches("DisableLockWindowUpdates=1\n");
        {
            WindowUpdateLock lock(&frame);
            QVERIFY(frame.updatesEnabled() && !WindowUpdateLock::isLocked());
        }

        // Main frame only, and none before it exists.
        setSwitches("DisableDesktopUpdateLocks=1\n");
        {
            WindowUpdateLock lock(&frame);
            QVERIFY(!WindowUpdateLock::isLocked());
        }
        WindowUpdateLock::setMainFrame(&frame);
        {
            WindowUpdateLock lock(&frame);
            QVERIFY(!frame.updatesEnabled());
            QVERIFY(other.updatesEnabled());
            // A switch changed meanwhile counts at the end.
            setSwitches("DisableDesktopUpdateLocks=1\nDisableLockWindowUpdates=1\n");
        }
        QVERIFY(!frame.updatesEnabled());
        setSwitches("DisableDesktopUpdateLocks=1\n");
        WindowUpdateLock::unlock(&frame);
        QVERIFY(frame.updatesEnabled());
        WindowUpdateLock::setMainFrame(nullptr);
        setSwitches("");
    }

    void numberFieldValidation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("required");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("digits then letters") << "15min" << true << true << 15 << "";
        QTest::newRow("optional empty") << "  " << false << true << -1 << "";
        QTest::newRow("required empty") << "" << true << false << -1 << "Please enter a valid interval.";
        QTest::newRow("too large") << "1441" << true << false << -1
                                   << "Please enter a valid interval (1-1440 minutes).";
        QTest::newRow("optional too small")
            << "0" << false << false << -1
            << "Please enter a valid interval (1-1440 minutes).\n\nThis field is optional.";
        QTest::newRow("past the range of int")
            << "4294967311" << true << false << -1 << "Please enter a valid interval (1-1440 minutes).";
    }
    void numberFieldValidation() {
        QFETCH(QString, text);
        QFETCH(bool, required);
        QFETCH(bool, ok);
        QFETCH(int, value);
        QFETCH(QString, message);
        QWidget dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* other = new QLineEdit(&dialog);
        auto* field = new QLineEdit(text, &dialog);
        layout->addWidget(other);
        layout->addWidget(field);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        other->setFocus();
        QStringList shown;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& box) {
            shown << dialogs::messageText(box);
            dialogs::pressAnswer(box, dialogs::IDOK);
        });
        int result = -1;
        bool present = true;
        QCOMPARE(validateNumberField(field, "interval", result, &present, required, 1, 1440, "minutes"), ok);
        QCOMPARE(result, value);
        QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList{message});
        if (!ok) QTRY_VERIFY_WITH_TIMEOUT(field->hasFocus(), 2000);
        if (ok) QCOMPARE(present, value != -1);
    }

    void fontSizeCombo() {
        QComboBox combo;
        fillFontSizeCombo(&combo, 10);
        QCOMPARE(combo.count(), 5);
        QCOMPARE(combo.currentText(), QString("10"));
        fillFontSizeCombo(&combo, 16);
        QCOMPARE(combo.currentText(), QString("normal"));
        combo.setEditText("VERY LARGE");
        int size = 0;
        QVERIFY(validateFontSizeField(&combo, size));
        QCOMPARE(size, 24);
        combo.setEditText("51");
        dialogs::ScopedModalAnswerer answerer([](QDialog& box) {
            QVERIFY(dialogs::messageText(box).contains("(8-50)"));
            dialogs::pressAnswer(box, dialogs::IDOK);
        });
        QVERIFY(!validateFontSizeField(&combo, size));
        QCOMPARE(answerer.count(), 1);
    }

    void dialogPlacementStaysInTheWorkArea() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget parent;
        parent.setGeometry(area.left() + 10, area.top() + 10, 300, 300);
        parent.show();
        QWidget dialog(&parent, Qt::Dialog);
        dialog.resize(120, 80);
        dialogs::positionDialog(&dialog);
        QCOMPARE(dialog.pos(), QPoint(parent.frameGeometry().left() + parent.frameGeometry().width() / 3,
                                      parent.frameGeometry().top() + parent.frameGeometry().height() / 3));
        // Near the right and bottom edges: kept inside them.
        parent.setGeometry(area.right() - 100, area.bottom() - 100, 300, 300);
        dialog.resize(200, 150);
        dialogs::positionDialog(&dialog);
        QVERIFY(dialog.frameGeometry().right() <= area.right());
        QVERIFY(dialog.frameGeometry().bottom() <= area.bottom());
        QVERIFY(dialog.x() >= area.left() && dialog.y() >= area.top());
    }

    void groupBoxControls() {
        QWidget dialog;
        dialog.resize(400, 300);
        auto* box = new QGroupBox("Sound", &dialog);
        box->setGeometry(10, 10, 200, 100);
        auto* inside = new QLineEdit(box);
        inside->setGeometry(10, 20, 100, 20);
        auto* placedOver = new QLineEdit(&dialog);  // a sibling lying over the box
        placedOver->setGeometry(20, 40, 50, 20);
        auto* outside = new QLineEdit(&dialog);
        outside->setGeometry(250, 20, 100, 20);
        auto* straddling = new QLineEdit(&dialog);
        straddling->setGeometry(180, 20, 100, 20);
        enableGroupBoxControls(&dialog, box, false);
        QVERIFY(!inside->isEnabled());
        QVERIFY(!placedOver->isEnabled());
        QVERIFY(outside->isEnabled() && straddling->isEnabled() && box->isEnabled());
        enableGroupBoxControls(&dialog, box, true);
        QVERIFY(inside->isEnabled() && placedOver->isEnabled());
    }

    void listChores() {
        QTreeWidget list;
        list.setColumnCount(2);
        for (int i = 0; i < 5; ++i) {
            auto* item = new QTreeWidgetItem(QStringList{QString("row %1").arg(i), "x"});
            item->setData(0, Qt::UserRole, i % 2 == 0 ? 100 : 200 + i);
            list.addTopLevelItem(item);
        }
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(findListItemByData(&list, 203), 3);
        QCOMPARE(findListItemByData(&list, 999), -1);
        list.setSelectionMode(QAbstractItemView::ExtendedSelection);
        QVERIFY(selectListItemsByData(&list, 100, true, false));
        QCOMPARE(list.selectedItems().size(), 3);
        QVERIFY(selectListItemsByData(&list, 100, false, false));
        QCOMPARE(list.selectedItems().size(), 1);
        selectListItem(&list, -1, false);
        QVERIFY(list.selectedItems().isEmpty());

        // Keyboard invocation with nothing selected: 10,10 of the list.
        QPoint point;
        getListContextMenuPoint(&list, -1, -1, point);
        QCOMPARE(point, list.viewport()->mapToGlobal(QPoint(10, 10)));
        // A mouse invocation selects the row under the point.
        const QRect row2 = list.visualItemRect(list.topLevelItem(2));
        const QPoint global = list.viewport()->mapToGlobal(row2.center());
        getListContextMenuPoint(&list, global.x(), global.y(), point);
        QCOMPARE(point, global);
        QCOMPARE(list.selectedItems(), QList<QTreeWidgetItem*>{list.topLevelItem(2)});
        getListContextMenuPoint(&list, -1, -1, point);
        QCOMPARE(point, list.viewport()->mapToGlobal(QPoint(row2.left() + 20, row2.center().y())));

        fitListColumnsToWidth(&list, 1);
        QCOMPARE(list.columnWidth(0) + list.columnWidth(1), list.viewport()->width());

        setListCtrlExtendedStyle(&list, true);
        QSignalSpy activated(&list, &QTreeWidget::itemActivated);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row2.center());
        QCOMPARE(activated.size(), 1);
        setListCtrlExtendedStyle(&list, false);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row2.center());
        QCOMPARE(activated.size(), 1);
    }

    void clipboardKeepsUtf8() {
        const std::string text = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB0";
        copyToClipboard(nullptr, text);
        std::string back = "untouched";
        QVERIFY(getClipboardText(back));
        QCOMPARE(back, text);
        QGuiApplication::clipboard()->clear();
        back = "untouched";
        QVERIFY(!getClipboardText(back));
        QCOMPARE(back, std::string("untouched"));
    }
};

QTEST_MAIN(HelpersTest)
#include "helpers_qtest.moc"
