#include "tools/dates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// Local time of the tests is UTC, so fixed instants give fixed texts.
class Dates : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        hadTz_ = tz != nullptr;
        if (hadTz_) oldTz_ = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            setenv("TZ", oldTz_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    static std::time_t at(int year, int month, int day, int hour, int minute, int second) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        return timegm(&tm);
    }
    static std::tm broken(std::time_t t) {
        std::tm tm{};
        gmtime_r(&t, &tm);
        return tm;
    }

private:
    bool hadTz_ = false;
    std::string oldTz_;
};

TEST_F(Dates, FixedTexts) {
    EXPECT_EQ(tools::formatTime(at(2003, 1, 5, 7, 8, 9)), "07:08:09");
    EXPECT_EQ(tools::formatDate(at(2003, 1, 5, 7, 8, 9)), " 5jan03");
    EXPECT_EQ(tools::formatDate(at(2002, 12, 17, 0, 0, 0)), "17dec02");
    EXPECT_EQ(tools::formatDateTime(at(2002, 12, 17, 23, 59, 58)), "17dec02 23:59:58");
}

TEST_F(Dates, DayDifferenceCountsCalendarDays) {
    struct Case {
        std::time_t a, b;
        int days;
    } cases[] = {
        {at(2025, 3, 2, 0, 0, 1), at(2025, 3, 1, 23, 59, 59), 1},
        {at(2025, 1, 1, 0, 0, 0), at(2024, 12, 31, 12, 0, 0), 1},  // after the last day of a leap year
        {at(2024, 12, 31, 0, 0, 0), at(2025, 1, 1, 0, 0, 0), -1},
        {at(2024, 3, 1, 0, 0, 0), at(2024, 2, 28, 0, 0, 0), 2},
        {at(2026, 1, 1, 0, 0, 0), at(2023, 1, 1, 0, 0, 0), 365 * 3 + 1},
        {at(2025, 6, 1, 1, 0, 0), at(2025, 6, 1, 23, 0, 0), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        EXPECT_EQ(tools::getDayDifference(broken(c.a), broken(c.b)), c.days);
    }
}

TEST_F(Dates, RelativeTime) {
    const std::time_t now = std::time(nullptr);
    const std::tm today = broken(now);
    const std::time_t midnight = now - (today.tm_hour * 3600 + today.tm_min * 60 + today.tm_sec);
    const std::time_t earlierToday = midnight + 1;  // 00:00:01, on the current day
    EXPECT_EQ(tools::formatRelativeTime(earlierToday, true), "00:00");

    const std::time_t yesterday = midnight - 3600 + 5 * 60;  // 23:05 of the previous day
    const std::time_t tomorrow = midnight + 86400 + 9 * 3600 + 30 * 60;
    EXPECT_EQ(tools::formatRelativeTime(yesterday, true), "Yesterday 23:05");
    EXPECT_EQ(tools::formatRelativeTime(yesterday, false), "yesterday 23:05");
    EXPECT_EQ(tools::formatRelativeTime(tomorrow, true), "Tomorrow 09:30");
    EXPECT_EQ(tools::formatRelativeTime(tomorrow, false), "tomorrow 09:30");

    // Another year: the first 16 characters of the fixed layout plus the year.
    EXPECT_EQ(tools::formatRelativeTime(at(2003, 1, 5, 7, 8, 9), true), "Sun Jan  5 07:08 2003");
    // Same year, days away: no year.
    const std::tm farDay = broken(midnight + 3 * 86400);
    if (farDay.tm_year == today.tm_year) {
        const std::string text = tools::formatRelativeTime(midnight + 3 * 86400 + 60, true);
        EXPECT_EQ(text.size(), 16u);
        EXPECT_EQ(text.substr(11), "00:01");
    }
}

TEST_F(Dates, DayOfWeekNames) {
    EXPECT_EQ(tools::getDayOfWeekName(0), "Sunday");
    EXPECT_EQ(tools::getDayOfWeekName(6), "Saturday");
    EXPECT_EQ(tools::getDayOfWeekName(7), "<InvalidDayOfWeek:7>");
    EXPECT_EQ(tools::getDayOfWeekName(-1), "<InvalidDayOfWeek:4294967295>");
    EXPECT_EQ(tools::getDayOfWeekIndex("monday"), 1);
    EXPECT_EQ(tools::getDayOfWeekIndex("SATURDAY"), 6);
    EXPECT_EQ(tools::getDayOfWeekIndex("Mon"), -1);
    EXPECT_EQ(tools::getDayOfWeekIndex(""), -1);
}

}  // namespace
