// Message boxes and the modal runner, answered by a test answerer.
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"

using namespace dialogs;

Q_DECLARE_METATYPE(dialogs::MessageButtons)

namespace {

// A dialog that does work once shown (a queued call to itself) and shows a
// message box when its OK is pressed with an empty field.
class FormDialog : public QDialog {
public:
    FormDialog() {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        edit->setObjectName("nameEdit");
        layout->addWidget(edit);
        ok = new QPushButton("OK", this);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, this, &FormDialog::onOk);
    }
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        QMetaObject::invokeMethod(
            this, [this] { postInitRan = true; }, Qt::QueuedConnection);
    }
    void onOk() {
        if (edit->text().isEmpty()) {
            showMessage(this, "Please enter a name.", MessageButtons::Ok, MessageIcon::Warning);
            edit->setFocus();
            return;
        }
        accept();
    }
    QLineEdit* edit;
    QPushButton* ok;
    bool postInitRan = false;
};

}  // namespace

class MessageBoxTest : public QObject {
    Q_OBJECT

private slots:
    void answersByButton_data() {
        QTest::addColumn<MessageButtons>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("expected");
        QTest::newRow("ok") << MessageButtons::Ok << int(IDOK) << int(IDOK);
        QTest::newRow("ok/cancel: cancel") << MessageButtons::OkCancel << int(IDCANCEL) << int(IDCANCEL);
        QTest::newRow("yes/no: no") << MessageButtons::YesNo << int(IDNO) << int(IDNO);
        QTest::newRow("yes/no/cancel: yes") << MessageButtons::YesNoCancel << int(IDYES) << int(IDYES);
        QTest::newRow("retry/cancel: retry") << MessageButtons::RetryCancel << int(IDRETRY) << int(IDRETRY);
        QTest::newRow("abort/retry/ignore: ignore")
            << MessageButtons::AbortRetryIgnore << int(IDIGNORE) << int(IDIGNORE);
    }
    void answersByButton() {
        QFETCH(MessageButtons, buttons);
        QFETCH(int, press);
        QFETCH(int, expected);
        programPaths().appName = "Orvan";
        QString seenText, seenTitle;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            QVERIFY(isMessageBox(dialog));
            QVERIFY(dialog.isVisible());
            seenText = messageText(dialog);
            seenTitle = dialog.windowTitle();
            seenIcon = static_cast<QMessageBox&>(dialog).icon();
            QVERIFY(pressAnswer(dialog, press));
        });
        QCOMPARE(showMessage(nullptr, "Can't save the file.\n\nDisk full", buttons, MessageIcon::Error), expected);
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(seenText, QString("Can't save the file.\n\nDisk full"));
        QCOMPARE(seenTitle, QString("Orvan"));
        QCOMPARE(seenIcon, QMessageBox::Critical);
    }

    void pressingAButtonTheBoxLacksFails() {
        bool pressed = true;
        ScopedModalAnswerer answerer([&](QDialog& dialog) { pressed = pressAnswer(dialog, IDYES); });
        // The box left open is cancelled by the runner.
        QCOMPARE(showMessage(nullptr, "Saved.", MessageButtons::OkCancel), int(IDCANCEL));
        QVERIFY(!pressed);
    }

    // Enter presses the default button (the first unless named), Escape the Cancel button.
    void keyboardAnswers_data() {
        QTest::addColumn<MessageButtons>("buttons");
        QTest::addColumn<int>("defaultAnswer");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");
        QTest::newRow("enter, first button") << MessageButtons::OkCancel << 0 << int(Qt::Key_Return) << int(IDOK);
        QTest::newRow("enter, cancel default")
            << MessageButtons::OkCancel << int(IDCANCEL) << int(Qt::Key_Return) << int(IDCANCEL);
        QTest::newRow("enter, no default")
            << MessageButtons::YesNoCancel << int(IDNO) << int(Qt::Key_Return) << int(IDNO);
        QTest::newRow("escape, yes/no/cancel")
            << MessageButtons::YesNoCancel << int(IDYES) << int(Qt::Key_Escape) << int(IDCANCEL);
        QTest::newRow("escape, ok only") << MessageButtons::Ok << 0 << int(Qt::Key_Escape) << int(IDOK);
    }
    void keyboardAnswers() {
        QFETCH(MessageButtons, buttons);
        QFETCH(int, defaultAnswer);
        QFETCH(int, key);
        QFETCH(int, expected);
        ScopedModalAnswerer answerer([&](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key(key)); });
        QCOMPARE(showMessage(nullptr, "Do you want to exit?", buttons, MessageIcon::Question, defaultAnswer), expected);
    }

    // A dialog run through the runner: its post-initialisation work has run
    // when the answerer sees it, a box it shows meanwhile reaches the same
    // answerer, and it stays open after a failed OK.
    void dialogAndNestedBox() {
        FormDialog form;
        QStringList seen;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (answerIfMessageBox(dialog, IDOK, &seen)) return;
            seen << "form";
            QVERIFY(form.postInitRan);
            form.ok->click();
            QVERIFY(form.isVisible());
            form.edit->setText("news");
            form.ok->click();
            QVERIFY(!form.isVisible());
        });
        QCOMPARE(runModal(form), int(QDialog::Accepted));
        QCOMPARE(seen, (QStringList{"form", "Please enter a name."}));
        QCOMPARE(answerer.count(), 2);
    }

    void dialogLeftOpenIsRejectedAndCustomResultsPassThrough() {
        {
            ScopedModalAnswerer answerer([](QDialog&) {});
            QDialog dialog;
            QCOMPARE(runModal(dialog), int(QDialog::Rejected));
            QVERIFY(!dialog.isVisible());
        }
        ScopedModalAnswerer answerer([](QDialog& dialog) { dialog.done(IDYES); });
        QDialog dialog;
        QCOMPARE(runModal(dialog), int(IDYES));
    }

    void answerersNestAndRestore() {
        ScopedModalAnswerer outer([](QDialog& dialog) { pressAnswer(dialog, IDNO); });
        {
            ScopedModalAnswerer inner([](QDialog& dialog) { pressAnswer(dialog, IDYES); });
            QCOMPARE(showMessage(nullptr, "?", MessageButtons::YesNo), int(IDYES));
            QCOMPARE(outer.count(), 0);
        }
        QCOMPARE(showMessage(nullptr, "?", MessageButtons::YesNo), int(IDNO));
        QCOMPARE(outer.count(), 1);
    }

    // Dialogs run by exec() rather than runModal (Qt's own boxes, for one)
    // reach the answerer too; one it leaves open is rejected.
    void execOutsideTheRunnerIsAnswered() {
        QStringList seen;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (answerIfMessageBox(dialog, IDNO, &seen)) return;
            seen << "plain";
        });
        QCOMPARE(QMessageBox::question(nullptr, "Orvan", "Replace it?", QMessageBox::Yes | QMessageBox::No),
                 QMessageBox::No);
        QDialog plain;
        QCOMPARE(plain.exec(), int(QDialog::Rejected));
        QCOMPARE(seen, (QStringList{"Replace it?", "plain"}));
        QCOMPARE(answerer.count(), 2);
    }

    // Without an answerer nothing blocks on the offscreen platform.
    void noAnswererOffscreenCancels() {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no answerer"));
        QCOMPARE(showMessage(nullptr, "Saved.", MessageButtons::OkCancel), int(IDCANCEL));
    }
};

QTEST_MAIN(MessageBoxTest)
#include "messageBox_qtest.moc"
