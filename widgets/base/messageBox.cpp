#include "widgets/base/messageBox.h"

#include "app/core/programPaths.h"

#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QPushButton>
#include <QtDebug>

namespace dialogs {

namespace {

ModalAnswerer& installedAnswerer() {
    static ModalAnswerer answerer;
    return answerer;
}

struct ButtonAnswer {
    QMessageBox::StandardButton button;
    int answer;
};

const std::vector<ButtonAnswer>& buttonAnswers() {
    static const std::vector<ButtonAnswer> table = {
        {QMessageBox::Ok, IDOK},       {QMessageBox::Cancel, IDCANCEL}, {QMessageBox::Abort, IDABORT},
        {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}, {QMessageBox::Yes, IDYES},
        {QMessageBox::No, IDNO},
    };
    return table;
}

QMessageBox::StandardButton buttonFor(int answer) {
    for (const ButtonAnswer& entry : buttonAnswers())
        if (entry.answer == answer) return entry.button;
    return QMessageBox::NoButton;
}

int answerFor(QMessageBox::StandardButton button) {
    for (const ButtonAnswer& entry : buttonAnswers())
        if (entry.button == button) return entry.answer;
    return IDCANCEL;
}

std::vector<int> answersOf(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return {IDOK};
        case MessageButtons::OkCancel:
            return {IDOK, IDCANCEL};
        case MessageButtons::AbortRetryIgnore:
            return {IDABORT, IDRETRY, IDIGNORE};
        case MessageButtons::YesNoCancel:
            return {IDYES, IDNO, IDCANCEL};
        case MessageButtons::YesNo:
            return {IDYES, IDNO};
        case MessageButtons::RetryCancel:
            return {IDRETRY, IDCANCEL};
    }
    return {IDOK};
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return QMessageBox::NoIcon;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// The dialogs runModal is running now.
QSet<const QDialog*>& runningDialogs() {
    static QSet<const QDialog*> dialogs;
    return dialogs;
}

void answerAndClose(QDialog& dialog) {
    const ModalAnswerer answerer = installedAnswerer();  // the answerer may swap itself out meanwhile
    if (answerer) answerer(dialog);
    if (dialog.isVisible()) dialog.reject();
}

// While an answerer is installed, a modal dialog started some other way
// (QDialog::exec by Qt itself, such as a file dialog's warning, or by a
// caller) is handed to it too, once its own event loop runs.
class StrayModalWatcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !installedAnswerer()) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || !dialog->isWindow() || dialog->windowModality() == Qt::NonModal ||
            runningDialogs().contains(dialog))
            return false;
        QPointer<QDialog> guard(dialog);
        QMetaObject::invokeMethod(
            dialog,
            [guard] {
                if (guard && guard->isVisible() && !runningDialogs().contains(guard.data())) answerAndClose(*guard);
            },
            Qt::QueuedConnection);
        return false;
    }
};

void watchStrayModals() {
    static StrayModalWatcher* watcher = nullptr;
    if (watcher || !QCoreApplication::instance()) return;
    watcher = new StrayModalWatcher;
    watcher->moveToThread(QCoreApplication::instance()->thread());
    QCoreApplication::instance()->installEventFilter(watcher);
}

bool platformHasNoUser() { return QGuiApplication::platformName() == QLatin1String("offscreen"); }

}  // namespace

QString applicationTitle() {
    const std::string& name = programPaths().appName;
    return name.empty() ? QGuiApplication::applicationDisplayName() : QString::fromStdString(name);
}

int showMessage(QWidget* parent, const QString& text, MessageButtons buttons, MessageIcon icon, int defaultAnswer) {
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setWindowTitle(applicationTitle());
    box.setText(text);
    box.setIcon(qtIcon(icon));
    const std::vector<int> answers = answersOf(buttons);
    QAbstractButton* defaultButton = nullptr;
    for (int answer : answers) {
        QAbstractButton* button = box.addButton(buttonFor(answer));
        if (answer == defaultAnswer || !defaultButton) defaultButton = button;
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(defaultButton));
    if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
        box.setEscapeButton(cancel);
    else if (answers.size() == 1)
        box.setEscapeButton(defaultButton);

    runModal(box);
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return IDCANCEL;
    return answerFor(box.standardButton(clicked));
}

int runModal(QDialog& dialog) {
    if (!installedAnswerer()) {
        if (!platformHasNoUser()) return dialog.exec();
        qWarning("runModal: no answerer on a platform without a user; \"%s\" is cancelled",
                 qPrintable(dialog.windowTitle().isEmpty() ? dialog.objectName() : dialog.windowTitle()));
        dialog.reject();
        return dialog.result();
    }
    runningDialogs().insert(&dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    // What the dialog posted to itself while it was being shown (its
    // post-initialisation step, pending layouts) runs before the answer.
    QCoreApplication::sendPostedEvents();
    answerAndClose(dialog);
    runningDialogs().remove(&dialog);
    return dialog.result();
}

ScopedModalAnswerer::ScopedModalAnswerer(ModalAnswerer answerer) : previous_(installedAnswerer()) {
    watchStrayModals();
    installedAnswerer() = [this, answerer = std::move(answerer)](QDialog& dialog) {
        ++count_;
        answerer(dialog);
    };
}

ScopedModalAnswerer::~ScopedModalAnswerer() { installedAnswerer() = std::move(previous_); }

bool isMessageBox(const QDialog& dialog) { return qobject_cast<const QMessageBox*>(&dialog) != nullptr; }

QString messageText(const QDialog& dialog) {
    const auto* box = qobject_cast<const QMessageBox*>(&dialog);
    return box ? box->text() : QString();
}

bool pressAnswer(QDialog& messageBox, int answer) {
    auto* box = qobject_cast<QMessageBox*>(&messageBox);
    if (!box) return false;
    QAbstractButton* button = box->button(buttonFor(answer));
    if (!button) return false;
    button->click();
    return true;
}

bool answerIfMessageBox(QDialog& dialog, int answer, QStringList* texts) {
    if (!isMessageBox(dialog)) return false;
    if (texts) texts->append(messageText(dialog));
    pressAnswer(dialog, answer);
    return true;
}

}  // namespace dialogs
