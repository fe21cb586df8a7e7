// The custom controls: the time-intervals grid and its bubble, the colour
// picker with its pop-up, and the font preview combo.
#include <QColorDialog>
#include <QFontDatabase>
#include <QSignalSpy>
#include <QtTest>

#include "widgets/base/messageBox.h"
#include "widgets/controls/bubble.h"
#include "widgets/controls/colourPicker.h"
#include "widgets/controls/fontPreviewCombo.h"
#include "widgets/controls/timeIntervalsCtrl.h"

using namespace ui;

namespace {

QDateTime at(const QDate& day, int hour, int minute, int second = 0) {
    return QDateTime(day, QTime(0, 0), Qt::UTC).addSecs(hour * 3600 + minute * 60 + second);
}

// The periods as "hh:mm-hh:mm" texts (24:00 for the end of the day).
QStringList periods(const CBCGTimeIntervalsCtrl& grid) {
    QStringList out;
    for (int i = 0; i < grid.getIntervalCount(); ++i) {
        QDateTime start, end;
        int status = 0;
        grid.getInterval(i, start, end, status);
        const auto text = [&](const QDateTime& t) {
            return t.date() > grid.referenceDate() ? QStringLiteral("24:00") : t.time().toString("HH:mm");
        };
        out << text(start) + "-" + text(end);
    }
    return out;
}

// The point in the middle of the bars' column at a time of day.
QPoint pointAt(const CBCGTimeIntervalsCtrl& grid, int hour, int minute) {
    const QRect inner = grid.innerRect();
    return QPoint((inner.left() + grid.headerWidth() + inner.right()) / 2, grid.timeToY(hour * 3600 + minute * 60));
}

void drag(CBCGTimeIntervalsCtrl& grid, const QPoint& from, const QPoint& to, bool release = true) {
    QTest::mousePress(&grid, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&grid, QPoint(from.x(), (from.y() + to.y()) / 2));
    QTest::mouseMove(&grid, to);
    if (release) QTest::mouseRelease(&grid, Qt::LeftButton, Qt::NoModifier, to);
}

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CBCGTimeIntervalsCtrl> grid_;

    CBCGTimeIntervalsCtrl& makeGrid() {
        grid_ = std::make_unique<CBCGTimeIntervalsCtrl>();
        grid_->resize(300, 24 * 20 + 30);
        grid_->show();
        (void)QTest::qWaitForWindowExposed(grid_.get());
        return *grid_;
    }

private slots:
    void cleanup() { grid_.reset(); }

    void addingRefusesOverlapsAndKeepsMinutes_data() {
        QTest::addColumn<int>("startSecs");
        QTest::addColumn<int>("endSecs");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("shown");
        // Held: 08:00-10:00.
        QTest::newRow("inside") << 8 * 3600 + 1800 << 9 * 3600 << false << "";
        QTest::newRow("around") << 7 * 3600 << 11 * 3600 << false << "";
        QTest::newRow("into its start") << 7 * 3600 << 8 * 3600 + 1800 << false << "";
        QTest::newRow("into its end") << 9 * 3600 << 11 * 3600 << false << "";
        QTest::newRow("equal") << 8 * 3600 << 10 * 3600 << false << "";
        QTest::newRow("same start, inside") << 8 * 3600 << 9 * 3600 << false << "";
        QTest::newRow("same end, around") << 6 * 3600 << 10 * 3600 << false << "";
        QTest::newRow("no length") << 12 * 3600 << 12 * 3600 << false << "";
        QTest::newRow("touching before") << 6 * 3600 << 8 * 3600 << true << "06:00-08:00";
        QTest::newRow("touching after") << 10 * 3600 << 12 * 3600 << true << "10:00-12:00";
        QTest::newRow("seconds dropped") << 3630 << 7200 << true << "01:00-01:59";
        QTest::newRow("to midnight") << 22 * 3600 << 24 * 3600 << true << "22:00-24:00";
        QTest::newRow("past midnight") << 23 * 3600 << 25 * 3600 << false << "";
    }
    void addingRefusesOverlapsAndKeepsMinutes() {
        QFETCH(int, startSecs);
        QFETCH(int, endSecs);
        QFETCH(bool, added);
        QFETCH(QString, shown);
        CBCGTimeIntervalsCtrl& grid = makeGrid();
        const QDate day(2000, 1, 1);
        QVERIFY(grid.addInterval(at(day, 8, 0), at(day, 10, 0), 0));
        const QDateTime start = QDateTime(day, QTime(0, 0), Qt::UTC).addSecs(startSecs);
        QCOMPARE(grid.addInterval(start, QDateTime(day, QTime(0, 0), Qt::UTC).addSecs(endSecs), 0), added);
        QStringList expected{"08:00-10:00"};
        if (added) {
            expected << shown;
            expected.sort();
        }
        QCOMPARE(periods(grid), expected);
    }

    void midnightEndIsTheLastLine() {
        CBCGTimeIntervalsCtrl& grid = makeGrid();
        QVERIFY(grid.addInterval(at(grid.referenceDate(), 22, 0), at(grid.referenceDate().addDays(1), 0, 0), 0));
        QDateTime start, end;
        int status = -1;
        QVERIFY(grid.getInterval(0, start, end, status));
        QCOMPARE(end, QDateTime(grid.referenceDate().addDays(1), QTime(0, 0), Qt::UTC));
        QCOMPARE(grid.intervalRect(0).bottom(), grid.timeToY(86400));
        QCOMPARE(status, 0);
        QVERIFY(!grid.getInterval(1, start, end, status));
    }

    void bubbleTextsGiveTheLength_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("text");
        QTest::newRow("90 min, 20 s") << 3600 << 3600 + 90 * 60 + 20 << "1 h 30 m";
        QTest::newRow("90 min, 40 s") << 3600 << 3600 + 90 * 60 + 40 << "1 h 31 m";
        QTest::newRow("whole day") << 0 << 86400 << "24 h";
        QTest::newRow("hours only") << 3600 << 3 * 3600 << "2 h";
        QTest::newRow("minutes only") << 3600 << 3600 + 45 * 60 << "45 m";
    }
    void bubbleTextsGiveTheLength() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, text);
        CBCGTimeIntervalsCtrl grid;
        QCOMPARE(grid.intervalText(CTimeInterval{start, end, 0}, false), text);
        QVERIFY(grid.intervalText(CTimeInterval{start, end, 0}, true).endsWith("\n" + text));
    }

    void mouseDrawsMovesAndDeletes() {
        CBCGTimeIntervalsCtrl& grid = makeGrid();
        // A fresh drag on empty space draws a period in 15-minute steps.
        drag(grid, pointAt(grid, 8, 0), pointAt(grid, 10, 0));
        QCOMPARE(periods(grid), QStringList{"08:00-10:00"});
        QCOMPARE(grid.getCurSel(), 0);
        // A click on it changes nothing; a click on empty space makes nothing.
        QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, pointAt(grid, 9, 0));
        QTest::mouseClick(&grid, Qt::LeftButton, Qt::NoModifier, pointAt(grid, 14, 0));
        QCOMPARE(periods(grid), QStringList{"08:00-10:00"});
        // Dragging its middle moves it, length kept.
        drag(grid, pointAt(grid, 9, 0), pointAt(grid, 12, 0));
        QCOMPARE(periods(grid), QStringList{"11:00-13:00"});
        QVERIFY(!grid.bubble()->isVisible());
        // Dragged sideways out of the control and released there: deleted.
        const QPoint middle = pointAt(grid, 12, 0);
        QTest::mousePress(&grid, Qt::LeftButton, Qt::NoModifier, middle);
        QTest::mouseMove(&grid, middle + QPoint(0, 1));
        QTest::mouseMove(&grid, QPoint(grid.width() + 40, middle.y()));
        QTest::mouseRelease(&grid, Qt::LeftButton, Qt::NoModifier, QPoint(grid.width() + 40, middle.y()));
        QCOMPARE(grid.getIntervalCount(), 0);
        QCOMPARE(grid.getCurSel(), -1);
        // The freed period is not acted on by the keys that follow.
        QTest::keyClick(&grid, Qt::Key_Down);
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(grid.getIntervalCount(), 0);
    }

    void keysMoveResizeAndDelete() {
        CBCGTimeIntervalsCtrl& grid = makeGrid();
        const QDate day = grid.referenceDate();
        QVERIFY(grid.addInterval(at(day, 8, 0), at(day, 9, 0), 0));
        QVERIFY(grid.addInterval(at(day, 10, 0), at(day, 11, 0), 0));
        QVERIFY(grid.setCurSel(0));
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(periods(grid), (QStringList{"08:15-09:15", "10:00-11:00"}));
        QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(periods(grid), (QStringList{"08:15-09:30", "10:00-11:00"}));
        QTest::keyClick(&grid, Qt::Key_End);
        QCOMPARE(periods(grid), (QStringList{"10:00-11:00", "22:45-24:00"}));
        QTest::keyClick(&grid, Qt::Key_Home, Qt::ShiftModifier);  // would run over the other: refused
        QCOMPARE(periods(grid), (QStringList{"10:00-11:00", "22:45-24:00"}));
        QTest::keyClick(&grid, Qt::Key_Home);
        QCOMPARE(periods(grid), (QStringList{"00:00-01:15", "10:00-11:00"}));
        QTest::keyClick(&grid, Qt::Key_Up);  // before 00:00: refused
        QCOMPARE(periods(grid), (QStringList{"00:00-01:15", "10:00-11:00"}));
        QTest::keyClick(&grid, Qt::Key_Delete);
        QCOMPARE(periods(grid), QStringList{"10:00-11:00"});
        QCOMPARE(grid.getCurSel(), -1);
        QTest::keyClick(&grid, Qt::Key_Down);
        QTest::keyClick(&grid, Qt::Key_Delete);
        QCOMPARE(periods(grid), QStringList{"10:00-11:00"});
        // The last period can run to 24:00.
        QVERIFY(grid.setCurSel(0));
        QTest::keyClick(&grid, Qt::Key_End);
        QCOMPARE(periods(grid), QStringList{"23:00-24:00"});
    }

    void mergingForgetsTheMergedPeriod() {
        CBCGTimeIntervalsCtrl& grid = makeGrid();
        const QDate day = grid.referenceDate();
        QVERIFY(grid.addInterval(at(day, 8, 0), at(day, 9, 0), 0));
        QVERIFY(grid.addInterval(at(day, 10, 0), at(day, 11, 0), 0));
        // Drag the later one up against the earlier one and hold still: the
        // dragged, selected period is merged into the other and goes away.
        drag(grid, pointAt(grid, 10, 30), pointAt(grid, 9, 0), false);
        QCOMPARE(grid.getCurSel(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(grid.getIntervalCount(), 1, 5000);
        QCOMPARE(periods(grid), QStringList{"08:00-10:00"});
        QCOMPARE(grid.getCurSel(), -1);
        QVERIFY(!grid.isDragging());
        QTest::mouseMove(&grid, pointAt(grid, 12, 0));
        QTest::mouseRelease(&grid, Qt::LeftButton, Qt::NoModifier, pointAt(grid, 12, 0));
        QTest::keyClick(&grid, Qt::Key_Down);
        QTest::keyClick(&grid, Qt::Key_Delete);
        QCOMPARE(periods(grid), QStringList{"08:00-10:00"});
    }

    void singlePeriodMode() {
        CBCGTimeIntervalsCtrl& grid = makeGrid();
        const QDate day = grid.referenceDate();
        QVERIFY(grid.addInterval(at(day, 1, 0), at(day, 2, 0), 0));
        QVERIFY(grid.addInterval(at(day, 3, 0), at(day, 4, 0), 0));
        grid.setMultiplySelection(false);
        QCOMPARE(periods(grid), QStringList{"08:00-17:00"});
        QVERIFY(!grid.addInterval(at(day, 20, 0), at(day, 21, 0), 0));
        QVERIFY(!grid.removeInterval(0));
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_Down);
        QCOMPARE(periods(grid), QStringList{"08:15-17:15"});
    }

    void bubbleShowsLinesAndStaysOnScreen() {
        CBcgBubble bubble;
        QVERIFY(bubble.create(nullptr, true));
        bubble.show(10, 10, "1 h 30 m");
        QVERIFY(bubble.isCentred());
        QCOMPARE(bubble.lines(), QStringList{"1 h 30 m"});
        bubble.show(10, 10, "1 h 30 m");
        QCOMPARE(bubble.showCount(), 1);  // same text, same place: not redrawn
        bubble.show(10, 10, "08:00 - 09:30\n1 h 30 m");
        QVERIFY(!bubble.isCentred());
        QCOMPARE(bubble.lines().size(), 2);
        bubble.show(10, 10, "");
        QCOMPARE(bubble.lines(), QStringList{" "});
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        bubble.show(screen.right() - 2, screen.bottom() - 2, "near the corner");
        QVERIFY(bubble.geometry().right() <= screen.right());
        QCOMPARE(bubble.geometry().bottom(), screen.bottom() - 20);
        bubble.hide();
        QVERIFY(bubble.currentText().isEmpty());
    }

    void colourPickerChoosesAndCancels() {
        QWidget window;
        auto* picker = new CColourPicker(&window);
        picker->setColour(0x000000FF);  // red
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy ended(picker, &CColourPicker::selectionEnded);
        QSignalSpy cancelled(picker, &CColourPicker::selectionCancelled);

        // A colour of the table: its cell is the initial one; a click chooses.
        picker->click();
        QVERIFY(picker->popup());
        QCOMPARE(picker->popup()->initialCell(), 16);
        QTest::mouseMove(picker->popup(), picker->popup()->cellRect(13).center());
        QTest::mouseClick(picker->popup(), Qt::LeftButton, Qt::NoModifier, picker->popup()->cellRect(13).center());
        QTRY_VERIFY(!picker->popup());
        QCOMPARE(picker->getColour(), ColourRef(0x00FF0000));  // blue
        QCOMPARE(ended.size(), 1);

        // A release outside the pop-up cancels; Escape too.
        picker->click();
        QTest::mouseClick(picker->popup(), Qt::LeftButton, Qt::NoModifier, QPoint(-30, -30));
        QTRY_VERIFY(!picker->popup());
        picker->click();
        QTest::keyClick(picker->popup(), Qt::Key_Right);
        QTest::keyClick(picker->popup(), Qt::Key_Escape);
        QTRY_VERIFY(!picker->popup());
        QCOMPARE(picker->getColour(), ColourRef(0x00FF0000));
        QCOMPARE(cancelled.size(), 2);

        // Keys move and Enter chooses.
        picker->click();
        QTest::keyClick(picker->popup(), Qt::Key_Down);
        QTest::keyClick(picker->popup(), Qt::Key_Return);
        QTRY_VERIFY(!picker->popup());
        QCOMPARE(picker->getColour(), kPopupColours[21].colour);
    }

    void colourPopupInitialCells_data() {
        QTest::addColumn<QString>("defaultText");
        QTest::addColumn<QString>("customText");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<int>("cell");
        QTest::newRow("automatic") << "Automatic"
                                   << "More Colours..." << quint32(kColourDefault) << int(CColourPopup::DefaultCell);
        QTest::newRow("other colour, custom button")
            << ""
            << "More Colours..." << quint32(0x123456) << int(CColourPopup::CustomCell);
        QTest::newRow("other colour, no buttons") << ""
                                                  << "" << quint32(0x123456) << int(CColourPopup::NoCell);
        QTest::newRow("white") << ""
                               << "" << quint32(0xFFFFFF) << 39;
    }
    void colourPopupInitialCells() {
        QFETCH(QString, defaultText);
        QFETCH(QString, customText);
        QFETCH(quint32, colour);
        QFETCH(int, cell);
        CColourPicker picker;
        picker.setDefaultText(defaultText);
        picker.setCustomText(customText);
        picker.setColour(colour);
        picker.show();
        picker.click();
        QVERIFY(picker.popup());
        QCOMPARE(picker.popup()->initialCell(), cell);
        picker.popup()->endSelection(false);
    }

    void moreColoursUsesTheColourDialog() {
        CColourPicker picker;
        picker.setColour(0x123456);
        picker.show();
        for (const bool accept : {false, true}) {
            dialogs::ScopedModalAnswerer answerer([&](QDialog& dialog) {
                auto* colours = qobject_cast<QColorDialog*>(&dialog);
                QVERIFY(colours);
                colours->setCurrentColor(QColor(1, 2, 3));
                if (accept)
                    dialog.accept();
                else
                    dialog.reject();
            });
            picker.click();
            QCOMPARE(picker.popup()->initialCell(), int(CColourPopup::CustomCell));
            QTest::keyClick(picker.popup(), Qt::Key_Return);
            QTRY_VERIFY(!picker.popup());
            QCOMPARE(answerer.count(), 1);
            QCOMPARE(picker.getColour(), accept ? ColourRef(0x030201) : ColourRef(0x123456));
        }
    }

    void fontComboKeepsAMissingFont() {
        CFontPreviewCombo combo;
        combo.setSampleText("My Channels");
        combo.fillFontList();
        const QStringList installed = QFontDatabase::families();
        QVERIFY(!installed.isEmpty());
        QCOMPARE(combo.currentIndex(), 0);

        // An installed family, in other letter case, selects that family.
        const QString family = combo.itemText(combo.count() - 1);
        combo.selectFontName(family.toUpper());
        QCOMPARE(combo.fontName(), family);
        QVERIFY(combo.isInstalled(combo.currentIndex()));

        // A missing one, even a prefix of an installed one, stays as stored.
        const int before = combo.count();
        const QString prefix = family.left(2);
        combo.selectFontName(prefix);
        QCOMPARE(combo.fontName(), prefix);
        QVERIFY(!combo.isInstalled(combo.currentIndex()));
        combo.selectFontName("No Such Font Here");
        QCOMPARE(combo.fontName(), QString("No Such Font Here"));
        QCOMPARE(combo.count(), before + 2);
        // Picking another one gives that one.
        combo.setCurrentIndex(combo.findText(family));
        QCOMPARE(combo.fontName(), family);
    }
};

QTEST_MAIN(WidgetsTest)
#include "controls_qtest.moc"
