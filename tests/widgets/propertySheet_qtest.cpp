// Property sheets and pages, the post-initialisation step and dialog
// placement, driven through the modal runner's answerer.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>

#include "widgets/base/appDialog.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/propertySheet.h"
#include "widgets/base/windowPlacement.h"

using namespace dialogs;

namespace {

// A page with one required field; it stores the field only in onApply.
class NamePage : public CAppPropertyPage {
public:
    NamePage(const QString& caption, QString* store) : store_(store) {
        setWindowTitle(caption);
        edit = new QLineEdit(this);
        edit->setObjectName("nameEdit");
        other = new QLineEdit(this);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(edit);
        layout->addWidget(other);
    }
    bool onApply() override {
        if (edit->text().isEmpty()) {
            showMessage(this, "Please enter a " + windowTitle() + ".", MessageButtons::Ok, MessageIcon::Warning);
            edit->setFocus();
            return false;
        }
        *store_ = edit->text();
        return true;
    }
    void onCancel() override { ++cancels; }
    void initDialog() override {
        ++inits;
        edit->setText(*store_);
    }
    void onPostInitDialog() override { postInitSawVisible = isVisible(); }

    QLineEdit* edit;
    QLineEdit* other;
    int inits = 0;
    int cancels = 0;
    bool postInitSawVisible = false;

private:
    QString* store_;
};

struct TwoPageSheet : CAppPropertySheet {
    TwoPageSheet(QString* first, QString* second, int firstPage = 0)
        : CAppPropertySheet("Properties", nullptr, firstPage),
          one(new NamePage("name", first)),
          two(new NamePage("title", second)) {
        addPage(one);
        addPage(two);
    }
    NamePage* one;
    NamePage* two;
};

template <int Tag>
class PlacedDialog : public AppDialog {
public:
    explicit PlacedDialog(QWidget* parent) : AppDialog(parent) {
        resize(200, 100);
        rememberPlacement(&placement);
    }
    static SaveWindowPlacement placement;
};
template <int Tag>
SaveWindowPlacement PlacedDialog<Tag>::placement;

// One third into the parent's window rectangle (its frame included).
QPoint oneThird(const QWidget& parent) {
    const QRect frame = parent.frameGeometry();
    return frame.topLeft() + QPoint(frame.width() / 3, frame.height() / 3);
}

}  // namespace

class PropertySheetTest : public QObject {
    Q_OBJECT

private slots:
    void appliesOnlyOnOkAndStopsAtFirstFailingPage() {
        QString name = "orig name", title = "orig title";
        TwoPageSheet sheet(&name, &title);
        QStringList messages;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (answerIfMessageBox(dialog, IDOK, &messages)) return;
            QCOMPARE(sheet.tabWidget()->tabText(1), QString("title"));
            QVERIFY(sheet.one->postInitSawVisible);
            QCOMPARE(sheet.one->edit->text(), QString("orig name"));
            sheet.one->edit->setText("new name");
            sheet.tabWidget()->setCurrentIndex(1);  // the user clicks the second tab
            QCOMPARE(sheet.activePage(), sheet.two);
            sheet.two->edit->clear();
            sheet.two->other->setFocus();
            sheet.tabWidget()->setCurrentIndex(0);
            QCOMPARE(name, QString("orig name"));  // nothing stored before OK
            sheet.okButton()->click();
            // The first page applied; the second refused and is shown, focused on its field.
            QVERIFY(sheet.isVisible());
            QCOMPARE(name, QString("new name"));
            QCOMPARE(title, QString("orig title"));
            QCOMPARE(sheet.activePage(), sheet.two);
            QCOMPARE(sheet.tabWidget()->currentWidget(), sheet.two);
            QCOMPARE(sheet.two->focusWidget(), sheet.two->edit);
            sheet.two->edit->setText("new title");
            sheet.okButton()->click();
            QVERIFY(!sheet.isVisible());
        });
        QCOMPARE(runModal(sheet), int(QDialog::Accepted));
        QCOMPARE(messages, QStringList{"Please enter a title."});
        QCOMPARE(title, QString("new title"));
        QCOMPARE(sheet.one->inits, 1);
        QCOMPARE(sheet.two->inits, 1);
    }

    void pageNeverShownIsNeitherInitialisedNorApplied() {
        QString name = "n", title;  // the second page would refuse its empty title
        TwoPageSheet sheet(&name, &title);
        ScopedModalAnswerer answerer([&](QDialog&) { sheet.okButton()->click(); });
        QCOMPARE(runModal(sheet), int(QDialog::Accepted));
        QCOMPARE(sheet.two->inits, 0);
    }

    void cancelDiscardsEdits() {
        QString name = "n", title = "t";
        TwoPageSheet sheet(&name, &title, 1);
        ScopedModalAnswerer answerer([&](QDialog&) {
            QCOMPARE(sheet.activePage(), sheet.two);  // the first page asked for
            sheet.two->edit->setText("changed");
            QTest::keyClick(&sheet, Qt::Key_Escape);
        });
        QCOMPARE(runModal(sheet), int(QDialog::Rejected));
        QCOMPARE(title, QString("t"));
        QCOMPARE(sheet.two->cancels, 1);
        QCOMPARE(sheet.one->cancels, 0);  // never initialised
    }

    void killActiveKeepsThePage() {
        struct Stubborn : CAppPropertyPage {
            bool onKillActive() override { return false; }
        };
        QString name = "n", title = "t";
        CAppPropertySheet sheet("Properties", nullptr, 0);
        auto* stubborn = new Stubborn;
        auto* next = new NamePage("name", &name);
        sheet.addPage(stubborn);
        sheet.addPage(next);
        ScopedModalAnswerer answerer([&](QDialog&) {
            sheet.tabWidget()->setCurrentIndex(1);
            QCOMPARE(sheet.activePage(), stubborn);
            QCOMPARE(sheet.tabWidget()->currentIndex(), 0);
            sheet.okButton()->click();  // refused too
            QVERIFY(sheet.isVisible());
        });
        QCOMPARE(runModal(sheet), int(QDialog::Rejected));
        QCOMPARE(next->inits, 0);
    }

    // First opening at one third of the parent; later openings where the user
    // left the dialog (also after Cancel), per class.
    void placementRememberedForTheRun() {
        QWidget parent;
        parent.setGeometry(60, 90, 600, 300);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        PlacedDialog<1>::placement = SaveWindowPlacement();
        PlacedDialog<2>::placement = SaveWindowPlacement();
        QRect firstSeen;
        {
            PlacedDialog<1> dialog(&parent);
            ScopedModalAnswerer answerer([&](QDialog& d) {
                firstSeen = d.geometry();
                d.setGeometry(111, 122, 333, 144);  // where the user leaves it
                d.reject();
            });
            runModal(dialog);
        }
        QCOMPARE(firstSeen.topLeft(), oneThird(parent));
        QCOMPARE(firstSeen.size(), QSize(200, 100));
        {
            PlacedDialog<1> dialog(&parent);
            ScopedModalAnswerer answerer([&](QDialog& d) {
                QCOMPARE(d.geometry(), QRect(111, 122, 333, 144));
                d.showMaximized();
                d.accept();
            });
            runModal(dialog);
        }
        QVERIFY(PlacedDialog<1>::placement.placement.state & Qt::WindowMaximized);
        QCOMPARE(PlacedDialog<1>::placement.placement.normalGeometry, QRect(111, 122, 333, 144));
        {
            PlacedDialog<1> dialog(&parent);
            ScopedModalAnswerer answerer([&](QDialog& d) { QVERIFY(d.isMaximized()); });
            runModal(dialog);
        }
        {
            PlacedDialog<2> other(&parent);
            ScopedModalAnswerer answerer([&](QDialog& d) { QCOMPARE(d.geometry().topLeft(), oneThird(parent)); });
            runModal(other);
        }
    }

    void positionKeepsInsideTheWorkArea_data() {
        QTest::addColumn<QRect>("parent");
        QTest::addColumn<QPoint>("expected");  // relative to the work area's top-left
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QTest::newRow("inside") << QRect(area.topLeft() + QPoint(30, 60), QSize(300, 150)) << QPoint(130, 110);
        QTest::newRow("past the right and bottom edges")
            << QRect(area.topLeft() + QPoint(area.width() - 90, area.height() - 60), QSize(120, 90))
            << QPoint(area.width() - 200, area.height() - 100);
        QTest::newRow("parent beyond the left and top edges")
            << QRect(area.topLeft() - QPoint(3 * area.width(), 3 * area.height()), area.size()) << QPoint(0, 0);
    }
    void positionKeepsInsideTheWorkArea() {
        QFETCH(QRect, parent);
        QFETCH(QPoint, expected);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget owner;
        owner.setGeometry(parent);
        QWidget window(&owner, Qt::Dialog);
        window.resize(200, 100);
        positionDialog(&window);
        QCOMPARE(window.geometry().topLeft() - area.topLeft(), expected);
    }

    void tinyWorkAreaNeverPushesPastTheLeftEdge() {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget window(nullptr, Qt::Dialog);
        window.resize(area.width() + 50, 100);
        positionDialog(&window);
        QCOMPARE(window.geometry().left(), area.left());
    }
};

QTEST_MAIN(PropertySheetTest)
#include "propertySheet_qtest.moc"
