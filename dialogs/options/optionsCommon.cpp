#include "dialogs/options/optionsCommon.h"

#include <QString>

#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"

namespace dialogs {

void saveGlobalOptions() { GlobalOptions::instance().save(); }

void showSaveError(QWidget* parent, const std::exception& error) {
    // An OptionsSaveError already carries the sentence.
    const QString text =
        dynamic_cast<const OptionsSaveError*>(&error)
            ? QString::fromUtf8(error.what())
            : QStringLiteral("Couldn't save the global options.\n\n") + QString::fromUtf8(error.what());
    showMessage(parent, text, MessageButtons::Ok, MessageIcon::Error);
}

}  // namespace dialogs
