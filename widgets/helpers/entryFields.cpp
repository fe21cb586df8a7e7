#include "widgets/helpers/entryFields.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/misc/fieldValues.h"
#include "widgets/helpers/desktopServices.h"

namespace {

void refuse(QWidget* field, const std::string& message) {
    showDesktopMessage(field != nullptr ? field->window() : nullptr, message);
    if (field != nullptr) field->setFocus();
}

}  // namespace

bool validateNumberField(QLineEdit* field, const std::string& fieldName, int& value, bool* present, bool required,
                         int minimum, int maximum, const std::string& extraText) {
    const FieldCheck check =
        checkNumberField(field->text().toStdString(), fieldName, required, minimum, maximum, extraText);
    if (!check.ok) {
        refuse(field, check.message);
        return false;
    }
    if (present != nullptr) *present = check.present;
    if (check.present) value = check.value;
    return true;
}

bool validateFileField(QLineEdit* field, const std::string& fieldName, std::string& text, bool* present, bool required,
                       bool mustExist) {
    const FieldCheck check = checkFileField(field->text().toStdString(), fieldName, required, mustExist);
    if (!check.ok) {
        refuse(field, check.message);
        return false;
    }
    if (present != nullptr) *present = check.present;
    if (check.present) text = check.text;
    return true;
}

void fillFontSizeCombo(QComboBox* combo, int size) {
    combo->clear();
    for (const FontSizeName& entry : kFontSizeNames) combo->addItem(entry.name);
    combo->setEditable(true);
    combo->setEditText(QString::fromStdString(fontSizeText(size)));
}

bool validateFontSizeField(QComboBox* combo, int& size) {
    const FieldCheck check = checkFontSizeField(combo->currentText().toStdString());
    if (!check.ok) {
        refuse(combo, check.message);
        return false;
    }
    size = check.value;
    return true;
}
