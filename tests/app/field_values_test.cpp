// Time-interval text in both directions and the entry-field checks.
#include <climits>

#include <gtest/gtest.h>

#include "app/misc/fieldValues.h"
#include "app/misc/timeInterval.h"
#include "tests/support/test_support.h"

namespace {

TEST(TimeInterval, Format) {
    const struct {
        int seconds;
        bool omitOne;
        const char* text;
    } cases[] = {
        {0, false, ""},
        {1, false, "1 second"},
        {1, true, "second"},
        {90, false, "90 seconds"},
        {60, false, "1 minute"},
        {60, true, "minute"},
        {900, false, "quarter hour"},
        {1800, true, "half hour"},
        {5400, false, "90 minutes"},
        {3600, false, "1 hour"},
        {3600, true, "hour"},
        {7200, false, "2 hours"},
        {86400, false, "1 day"},
        {172800, false, "2 days"},
        {INT_MAX, false, "2147483647 seconds"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatTimeInterval(c.seconds, c.omitOne), c.text) << c.seconds;
}

TEST(TimeInterval, Parse) {
    const struct {
        const char* text;
        int seconds;  // -1: refused
    } cases[] = {
        {"quarter HOURS", 900},
        {"Half hour", 1800},
        {"2 hours", 7200},
        {"day", 86400},
        {"SECOND", 1},
        {"90 seconds", 90},
        {"5 minute", 300},
        {"3 days and more", 259200},
        {"12abc minutes", 720},
        {"0 minutes", -1},
        {"-2 hours", -1},
        {"15", -1},
        {"quarter", -1},
        {"2 weeks", -1},
        {"", -1},
        // beyond int: refused rather than wrapped
        {"24856 days", -1},
        {"2147483648 seconds", -1},
        {"99999999999999999999999 hours", -1},
        {"24855 days", 24855 * 86400},
        {"2147483647 seconds", INT_MAX},
    };
    for (const auto& c : cases) {
        int seconds = -7;
        const bool ok = parseTimeInterval(c.text, seconds);
        EXPECT_EQ(ok, c.seconds != -1) << c.text;
        EXPECT_EQ(seconds, ok ? c.seconds : -7) << c.text;
    }
}

TEST(FieldValues, NumberField) {
    const struct {
        const char* text;
        bool required;
        bool ok;
        bool present;
        int value;
        const char* message;
    } cases[] = {
        {" 42abc ", true, true, true, 42, ""},
        {"", false, true, false, 0, ""},
        {"  ", true, false, false, 0, "Please enter a valid port."},
        {"abc", false, false, false, 0, "Please enter a valid port."},
        {"70000", true, false, false, 0, "Please enter a valid port (1-65535 on this machine)."},
        {"0", false, false, false, 0,
         "Please enter a valid port (1-65535 on this machine).\n\nThis field is optional."},
        {"99999999999999999999", true, false, false, 0, "Please enter a valid port (1-65535 on this machine)."},
        {"4294967297", true, false, false, 0, "Please enter a valid port (1-65535 on this machine)."},
    };
    for (const auto& c : cases) {
        const FieldCheck r = checkNumberField(c.text, "port", c.required, 1, 65535, "on this machine");
        EXPECT_EQ(r.ok, c.ok) << c.text;
        EXPECT_EQ(r.present, c.present) << c.text;
        EXPECT_EQ(r.value, c.value) << c.text;
        EXPECT_EQ(r.message, c.message) << c.text;
    }
}

TEST(FieldValues, FileAndFontSizeFields) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("a.wav"), "x");
    EXPECT_TRUE(checkFileField(" " + dir.file("a.wav") + " ", "sound", true, true).ok);
    EXPECT_EQ(checkFileField(" " + dir.file("a.wav") + " ", "sound", true, true).text, dir.file("a.wav"));
    EXPECT_EQ(checkFileField(dir.str(), "sound", false, true).message,
              "Please enter a valid sound filename.\n\nThis field is optional.");
    EXPECT_FALSE(checkFileField("", "sound", false, true).present);
    EXPECT_TRUE(checkFileField("nowhere.wav", "sound", true, false).ok);

    EXPECT_EQ(checkFontSizeField("LARGE").value, 20);
    EXPECT_EQ(checkFontSizeField("10").value, 10);
    EXPECT_EQ(checkFontSizeField("51").message,
              "Please enter a valid font size.\n\nChoose one from the list or type in a specific font size (8-50).");
    EXPECT_FALSE(checkFontSizeField("huge").ok);
    EXPECT_EQ(fontSizeText(10), "10");
    EXPECT_EQ(fontSizeText(16), "normal");
}

}  // namespace
