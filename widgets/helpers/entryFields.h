#pragma once
// Entry fields checked at OK with the standard messages: on failure the
// message is shown, the field gets the focus and the result is false. The
// checks themselves are plain (app/misc/fieldValues.h). User-interface
// thread only.
#include <string>

class QComboBox;
class QLineEdit;

bool validateNumberField(QLineEdit* field, const std::string& fieldName, int& value, bool* present, bool required,
                         int minimum, int maximum, const std::string& extraText = std::string());
bool validateFileField(QLineEdit* field, const std::string& fieldName, std::string& text, bool* present, bool required,
                       bool mustExist);
void fillFontSizeCombo(QComboBox* combo, int size);
bool validateFontSizeField(QComboBox* combo, int& size);
