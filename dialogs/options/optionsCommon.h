#pragma once
// What the options pages share: saving the global options, and the message
// of a failed save.
#include <exception>

class QWidget;

namespace dialogs {

// GlobalOptions::save; throws what it throws.
void saveGlobalOptions();
// "Couldn't save the global options.\n\n" and the reason.
void showSaveError(QWidget* parent, const std::exception& error);

}  // namespace dialogs
