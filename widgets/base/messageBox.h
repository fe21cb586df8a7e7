#pragma once
// Message boxes and modal dialogs. Every window shows its message boxes with
// showMessage and runs its modal dialogs (sheets, hints, file browsers
// included) with runModal, so that one answerer installed by a test sees and
// answers each of them and no test ever waits for a user.
#include <functional>

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace dialogs {

// The standard dialog result codes.
enum Answer : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

enum class MessageButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };

// The program's name as windows show it in their captions: the application
// name set at start-up, else Qt's application display name.
QString applicationTitle();

// Shows a modal message box captioned with the application's title and
// returns the answer code of the button pressed. defaultAnswer names the
// button that Enter presses (0: the first one). Escape answers Cancel where the
// set has one; a box closed without any button answers IDCANCEL.
int showMessage(QWidget* parent, const QString& text, MessageButtons buttons = MessageButtons::Ok,
                MessageIcon icon = MessageIcon::None, int defaultAnswer = 0);

// Runs a dialog modally and returns its result (QDialog::result()). With an
// answerer installed, the dialog is shown without a local event loop, its
// posted events (the post-initialisation step) are delivered, and the
// answerer acts on it; a dialog the answerer leaves open is then rejected.
// Without an answerer on a platform that has no user ("offscreen"), the
// dialog is rejected at once with a warning instead of blocking.
int runModal(QDialog& dialog);

// Acts on one dialog run by runModal: reads it, edits its controls, presses
// its buttons, or closes it with done().
using ModalAnswerer = std::function<void(QDialog& dialog)>;

// Installs an answerer for its lifetime; the previous one comes back after.
// While one is installed, a modal dialog run by QDialog::exec instead of
// runModal (Qt's own warnings, for one) is handed to it as well once shown,
// and rejected if the answerer leaves it open.
class ScopedModalAnswerer {
public:
    explicit ScopedModalAnswerer(ModalAnswerer answerer);
    ~ScopedModalAnswerer();
    ScopedModalAnswerer(const ScopedModalAnswerer&) = delete;
    ScopedModalAnswerer& operator=(const ScopedModalAnswerer&) = delete;

    // How many dialogs this answerer has been handed.
    int count() const { return count_; }

private:
    ModalAnswerer previous_;
    int count_ = 0;
};

// For answerers: whether the dialog is a box of showMessage, its text, and a
// press of the button that gives `answer` (false when the box has none).
bool isMessageBox(const QDialog& dialog);
QString messageText(const QDialog& dialog);
bool pressAnswer(QDialog& messageBox, int answer);
// When `dialog` is a box of showMessage: appends its text to `texts` (when
// given), presses the button of `answer` and returns true.
bool answerIfMessageBox(QDialog& dialog, int answer, QStringList* texts = nullptr);

}  // namespace dialogs
