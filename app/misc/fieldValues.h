#pragma once
// What the desktop's entry fields accept, without the windows: whole numbers
// in a range, file names, font sizes. Each check gives the value or the
// message the dialog shows before it puts the focus back on the field.
#include <string>

#include "app/core/constants.h"

enum class NumberRead { Ok, NoNumber, OutOfRange };

// The whole number at the start of the text (blanks before it skipped, an
// optional sign, what follows the digits ignored). OutOfRange for a number
// beyond the range of long long; value untouched unless Ok.
NumberRead readLeadingInteger(const std::string& text, long long& value);

struct FieldCheck {
    bool ok = false;       // the dialog may go on
    bool present = false;  // the field holds a value
    int value = 0;         // number and font-size checks
    std::string text;      // file check: the trimmed name
    std::string message;   // when !ok: what to tell the user
};

// A number field (its text trimmed): empty and optional is fine and not
// present; otherwise a whole number within [minimum, maximum].
FieldCheck checkNumberField(const std::string& text, const std::string& fieldName, bool required, int minimum,
                            int maximum, const std::string& extraText);
// A file name field; mustExist asks for an existing file (not a directory).
FieldCheck checkFileField(const std::string& text, const std::string& fieldName, bool required, bool mustExist);

// Font sizes: a number from kMinFontSize to kMaxFontSize, or one of the
// names of the size table ("very small" 8 ... "very large" 24).
struct FontSizeName {
    const char* name;
    int size;
};
constexpr FontSizeName kFontSizeNames[] = {
    {"very small", 8}, {"small", 12}, {"normal", 16}, {"large", 20}, {"very large", 24}};
// The name of a size from the table, else the size in decimal.
std::string fontSizeText(int size);
FieldCheck checkFontSizeField(const std::string& text);
