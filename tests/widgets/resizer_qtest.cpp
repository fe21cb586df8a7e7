// The control layout table, resizable dialogs and resizable sheets.
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "widgets/base/appDialog.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizableSheet.h"
#include "widgets/base/resizer.h"

using namespace dialogs;
using R = CResizer;

Q_DECLARE_METATYPE(dialogs::CResizer::Row)

namespace {

constexpr int kControl = 100;
constexpr int kRef = 200;
constexpr R::Row kEndRow = R::endRow();

// A 430 x 330 parent whose layout rectangle (15-pixel margins) is 400 x 300;
// the reference control spans 100..200 across and 50..100 down in it, the
// control under test 30..90 and 30..50.
struct Fixture {
    QWidget parent;
    QWidget* control;
    QWidget* ref;
    Fixture() {
        parent.resize(430, 330);
        control = new QWidget(&parent);
        control->setGeometry(45, 45, 60, 20);
        setControlId(control, kControl);
        ref = new QWidget(&parent);
        ref->setGeometry(115, 65, 100, 50);
        setControlId(ref, kRef);
    }
    void run(const std::vector<R::Row>& rows, bool clamp = true) {
        std::vector<R::Row> table = rows;
        table.push_back(kEndRow);
        CResizer resizer;
        resizer.resize(&parent, table.data(), 15, 15, QRect(15, 15, 400, 300), clamp);
    }
};

R::Row horizontal(R::Slot left, R::Slot right, R::Slot width) {
    return R::row(kControl, left, right, width, R::keep(), R::keep(), R::none());
}

}  // namespace

class ResizerTest : public QObject {
    Q_OBJECT

private slots:
    // Expected geometries are in the parent's coordinates: the layout
    // rectangle starts at (15, 15).
    void rules_data() {
        QTest::addColumn<R::Row>("row");
        QTest::addColumn<bool>("clamp");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("absolute 0 fills")
            << horizontal(R::absolute(0), R::absolute(0), R::none()) << true << QRect(15, 45, 400, 20);
        QTest::newRow("absolute positive and negative")
            << horizontal(R::absolute(10), R::absolute(-10), R::none()) << true << QRect(25, 45, 380, 20);
        QTest::newRow("right edge, width kept")
            << horizontal(R::none(), R::absolute(0), R::keep()) << true << QRect(355, 45, 60, 20);
        QTest::newRow("align with half margins (7, -7)")
            << horizontal(R::align(kRef, R::kHalfMargin), R::align(kRef, R::kMinusHalfMargin), R::none()) << true
            << QRect(15 + 107, 45, 86, 20);
        QTest::newRow("align to the layout rectangle")
            << horizontal(R::align(R::kLayoutRect, R::kMargin), R::align(R::kLayoutRect, R::kMinusTwoMargins),
                          R::none())
            << true << QRect(30, 45, 400 - 15 - 30, 20);
        QTest::newRow("left abuts the reference")
            << horizontal(R::abut(kRef, R::kMargin), R::none(), R::keep()) << true << QRect(15 + 215, 45, 60, 20);
        QTest::newRow("right abuts the reference")
            << horizontal(R::none(), R::abut(kRef, R::kTwoMargins), R::keep()) << true << QRect(15 + 10, 45, 60, 20);
        QTest::newRow("abut needs a control")
            << horizontal(R::abut(R::kLayoutRect, 0), R::none(), R::none()) << true << QRect(45, 45, 60, 20);
        QTest::newRow("centre in the layout rectangle")
            << horizontal(R::centre(R::kLayoutRect, 0), R::none(), R::absolute(100)) << true
            << QRect(15 + 150, 45, 100, 20);
        QTest::newRow("centre on the reference, offset")
            << horizontal(R::centre(kRef, 5), R::none(), R::keep()) << true << QRect(15 + 125, 45, 60, 20);
        QTest::newRow("right rule after centre wins")
            << horizontal(R::centre(kRef, 0), R::absolute(0), R::keep()) << true << QRect(15 + 120, 45, 280, 20);
        QTest::newRow("percent of the layout")
            << horizontal(R::percent(R::kLayoutRect, 25), R::percent(R::kLayoutRect, 75), R::none()) << true
            << QRect(115, 45, 200, 20);
        QTest::newRow("percent of the reference's edges and width")
            << horizontal(R::percent(kRef, 50), R::none(), R::percent(kRef, 30)) << true << QRect(15 + 50, 45, 30, 20);
        QTest::newRow("width of the reference plus value, from the left")
            << horizontal(R::keep(), R::none(), R::align(kRef, 10)) << true << QRect(45, 45, 110, 20);
        QTest::newRow("width of the reference plus value, from the right")
            << horizontal(R::none(), R::absolute(0), R::align(kRef, 10)) << true << QRect(15 + 290, 45, 110, 20);
        QTest::newRow("clamped at the right")
            << horizontal(R::keep(), R::absolute(500), R::none()) << true << QRect(45, 45, 370, 20);
        QTest::newRow("not clamped") << horizontal(R::keep(), R::absolute(500), R::none()) << false
                                     << QRect(45, 45, 470, 20);
        QTest::newRow("clamped at the left")
            << horizontal(R::absolute(-500), R::keep(), R::none()) << true << QRect(15, 45, 90, 20);
        QTest::newRow("bottom edge, height from top")
            << R::row(kControl, R::keep(), R::keep(), R::none(), R::keep(), R::absolute(0), R::none()) << true
            << QRect(45, 45, 60, 270);
        QTest::newRow("height percent under the top")
            << R::row(kControl, R::keep(), R::keep(), R::none(), R::absolute(0), R::none(),
                      R::percent(R::kLayoutRect, 50))
            << true << QRect(45, 15, 60, 150);
        QTest::newRow("vertical centre") << R::row(kControl, R::keep(), R::keep(), R::none(), R::centre(kRef, 0),
                                                   R::none(), R::keep())
                                         << true << QRect(45, 15 + 65, 60, 20);
    }
    void rules() {
        QFETCH(R::Row, row);
        QFETCH(bool, clamp);
        QFETCH(QRect, expected);
        Fixture f;
        f.run({row}, clamp);
        QCOMPARE(f.control->geometry(), expected);
        QCOMPARE(f.ref->geometry(), QRect(115, 65, 100, 50));
    }

    void missingControlIsSkippedAndLaterRowsRun() {
        Fixture f;
        f.run({R::row(999, R::absolute(0), R::absolute(0), R::none(), R::absolute(0), R::absolute(0), R::none()),
               horizontal(R::absolute(0), R::absolute(0), R::none())});
        QCOMPARE(f.control->geometry(), QRect(15, 45, 400, 20));
    }

    void endRowAloneMovesNothing() {
        Fixture f;
        f.run({});
        QCOMPARE(f.control->geometry(), QRect(45, 45, 60, 20));
        QCOMPARE(f.ref->geometry(), QRect(115, 65, 100, 50));
    }

    // A row reads where an earlier row of the same table put its reference.
    void laterRowsSeeEarlierMoves() {
        Fixture f;
        f.run({R::row(kRef, R::none(), R::absolute(0), R::keep(), R::keep(), R::keep(), R::none()),
               horizontal(R::none(), R::abut(kRef, R::kHalfMargin), R::keep())});
        QCOMPARE(f.ref->geometry(), QRect(315, 65, 100, 50));
        QCOMPARE(f.control->geometry(), QRect(15 + 300 - 7 - 60, 45, 60, 20));
    }

    // A resizable dialog laid out by a table: a list above OK and Cancel in
    // the bottom-right corner. It cannot shrink below its first size, every
    // control stays inside it there, and the list takes the room it gains.
    void resizableDialogFollowsItsEdges() {
        static const R::Row table[] = {
            R::row(2, R::none(), R::absolute(0), R::keep(), R::none(), R::absolute(0), R::keep()),
            R::row(1, R::none(), R::abut(2, R::kHalfMargin), R::keep(), R::none(), R::absolute(0), R::keep()),
            R::row(1131, R::absolute(0), R::absolute(0), R::none(), R::absolute(0), R::abut(1, R::kMargin), R::none()),
            R::endRow(),
        };
        struct Dialog : AppDialog {
            Dialog() {
                list = new QListWidget(this);
                setControlId(list, 1131);
                list->setGeometry(15, 15, 200, 150);
                ok = new QPushButton("OK", this);
                setControlId(ok, 1);
                ok->setGeometry(60, 180, 75, 25);
                cancel = new QPushButton("Cancel", this);
                setControlId(cancel, 2);
                cancel->setGeometry(140, 180, 75, 25);
                new ResizerLayout(this, table);
                makeResizable();
            }
            QListWidget* list;
            QPushButton *ok, *cancel;
        } dialog;
        QSize minimum, listAtMinimum;
        ScopedModalAnswerer answerer([&](QDialog&) {
            minimum = dialog.minimumSize();
            QCOMPARE(dialog.size(), QSize(230, 220));  // the controls' extent with the margins
            for (QWidget* control : {static_cast<QWidget*>(dialog.list), static_cast<QWidget*>(dialog.ok),
                                     static_cast<QWidget*>(dialog.cancel)})
                QVERIFY(dialog.rect().adjusted(15, 15, -15, -15).contains(control->geometry()));
            listAtMinimum = dialog.list->size();
            dialog.resize(dialog.width() + 100, dialog.height() + 80);
            QCOMPARE(dialog.cancel->geometry(), QRect(dialog.width() - 15 - 75, dialog.height() - 15 - 25, 75, 25));
            QCOMPARE(dialog.ok->geometry().right() + 1, dialog.cancel->x() - 7);
            QCOMPARE(dialog.list->size(), listAtMinimum + QSize(100, 80));
            QCOMPARE(dialog.list->geometry().bottom() + 1, dialog.ok->y() - 15);
        });
        runModal(dialog);
        QCOMPARE(minimum, QSize(230, 220));
    }

    void resizableSheetGrowsItsTabsAndKeepsButtonsRight() {
        static const R::Row pageTable[] = {
            R::row(1145, R::keep(), R::absolute(0), R::none(), R::keep(), R::absolute(0), R::none()),
            R::endRow(),
        };
        struct Page : CResizablePropertyPage {
            explicit Page(const QString& caption) {
                setWindowTitle(caption);
                box = new QListWidget(this);
                setControlId(box, 1145);
                box->setGeometry(15, 15, 150, 100);
                setLayoutTable(pageTable);
            }
            QListWidget* box;
        };
        CResizablePropertySheet sheet("Hook", nullptr, 0);
        auto* details = new Page("Details");
        auto* log = new Page("Log");
        sheet.addPage(details);
        sheet.addPage(log);
        sheet.cancelButton()->hide();  // a hidden button takes no room
        ScopedModalAnswerer answerer([&](QDialog&) {
            const QSize first = sheet.size();
            QCOMPARE(sheet.minimumSize(), first);
            const QRect tabs = sheet.tabWidget()->geometry();
            const int okGap = sheet.width() - sheet.okButton()->geometry().right();
            sheet.resize(first + QSize(120, 90));
            QCoreApplication::sendPostedEvents();
            QCOMPARE(sheet.tabWidget()->size(), tabs.size() + QSize(120, 90));
            QCOMPARE(sheet.width() - sheet.okButton()->geometry().right(), okGap);
            QCOMPARE(details->box->geometry().right() + 1, details->width() - 15);
            QCOMPARE(details->box->geometry().bottom() + 1, details->height() - 15);
            // The page that was hidden during the resize fits once shown.
            sheet.tabWidget()->setCurrentIndex(1);
            QCOMPARE(sheet.activePage(), log);
            QCOMPARE(log->box->geometry().right() + 1, log->width() - 15);
            QCOMPARE(log->box->geometry().bottom() + 1, log->height() - 15);
        });
        runModal(sheet);
    }
};

QTEST_MAIN(ResizerTest)
#include "resizer_qtest.moc"
