#include "app/misc/fieldValues.h"

#include <cctype>
#include <climits>
#include <filesystem>

#include "lib/misc/stringHelpers.h"

NumberRead readLeadingInteger(const std::string& text, long long& value) {
    std::size_t i = 0;
    while (i < text.size() && isWhitespaceByte(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return NumberRead::NoNumber;
    // Accumulated as a negative number, whose range is the larger one.
    long long n = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        if (n < (LLONG_MIN + digit) / 10) return NumberRead::OutOfRange;
        n = n * 10 - digit;
    }
    if (!negative && n == LLONG_MIN) return NumberRead::OutOfRange;
    value = negative ? n : -n;
    return NumberRead::Ok;
}

FieldCheck checkNumberField(const std::string& text, const std::string& fieldName, bool required, int minimum,
                            int maximum, const std::string& extraText) {
    FieldCheck result;
    const std::string trimmed = trimmedCopy(text);
    if (trimmed.empty() && !required) {
        result.ok = true;
        return result;
    }
    long long number = 0;
    const NumberRead read = readLeadingInteger(trimmed, number);
    if (read == NumberRead::NoNumber) {
        result.message = "Please enter a valid " + fieldName + ".";
        return result;
    }
    // A number past the range of long long is out of every field's range.
    if (read == NumberRead::Ok && number >= minimum && number <= maximum) {
        result.ok = true;
        result.present = true;
        result.value = static_cast<int>(number);
        return result;
    }
    result.message =
        "Please enter a valid " + fieldName + " (" + std::to_string(minimum) + "-" + std::to_string(maximum);
    if (!extraText.empty()) result.message += " " + extraText;
    result.message += ").";
    if (!required) result.message += "\n\nThis field is optional.";
    return result;
}

FieldCheck checkFileField(const std::string& text, const std::string& fieldName, bool required, bool mustExist) {
    FieldCheck result;
    const std::string trimmed = trimmedCopy(text);
    if (trimmed.empty() && !required) {
        result.ok = true;
        return result;
    }
    std::error_code ec;
    if (mustExist && !std::filesystem::is_regular_file(trimmed, ec)) {
        result.message = "Please enter a valid " + fieldName + " filename.";
        if (!required) result.message += "\n\nThis field is optional.";
        return result;
    }
    result.ok = true;
    result.present = true;
    result.text = trimmed;
    return result;
}

std::string fontSizeText(int size) {
    for (const FontSizeName& entry : kFontSizeNames) {
        if (entry.size == size) return entry.name;
    }
    return std::to_string(size);
}

FieldCheck checkFontSizeField(const std::string& text) {
    FieldCheck result;
    long long number = 0;
    if (readLeadingInteger(text, number) == NumberRead::Ok && number >= kMinFontSize && number <= kMaxFontSize) {
        result.ok = result.present = true;
        result.value = static_cast<int>(number);
        return result;
    }
    const std::string trimmed = trimmedCopy(text);
    for (const FontSizeName& entry : kFontSizeNames) {
        if (mbsCompareNoCase(trimmed, entry.name) == 0) {
            result.ok = result.present = true;
            result.value = entry.size;
            return result;
        }
    }
    result.message = "Please enter a valid font size.\n\nChoose one from the list or type in a specific font size (" +
                     std::to_string(kMinFontSize) + "-" + std::to_string(kMaxFontSize) + ").";
    return result;
}
