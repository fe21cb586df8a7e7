// The program's message boxes around resetUiKey.
#include <QApplication>
#include <QString>

#include "widgets/base/messageBox.h"
#include "utilities/uireset/uiReset.h"

namespace uireset {

int run() {
    QApplication::setApplicationDisplayName(kCaption);
    using dialogs::MessageButtons;
    using dialogs::MessageIcon;
    if (dialogs::showMessage(nullptr, kQuestion, MessageButtons::OkCancel, MessageIcon::Question, dialogs::IDCANCEL) !=
        dialogs::IDOK)
        return 0;
    const long rc = resetUiKey();
    if (rc != 0) {
        dialogs::showMessage(nullptr, QString::fromStdString(errorText(rc)), MessageButtons::Ok, MessageIcon::Error);
        return -1;
    }
    dialogs::showMessage(nullptr, kSuccess, MessageButtons::Ok, MessageIcon::Information);
    return 0;
}

}  // namespace uireset
