#pragma once
// The clipboard, in UTF-8 texts. User-interface thread only.
#include <string>

class QWidget;

// Tells the user in a message box when there is no clipboard.
void copyToClipboard(QWidget* owner, const std::string& text);
// False, text untouched, when the clipboard holds no text.
bool getClipboardText(std::string& text, QWidget* owner = nullptr);
