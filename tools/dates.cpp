#include "tools/dates.h"

#include <cctype>
#include <cstdio>

namespace tools {

namespace {

const char* const kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::tm localTime(std::time_t time) {
    std::tm tm{};
    localtime_r(&time, &tm);
    return tm;
}

// The classic fixed layout "Www Mmm dd hh:mm:ss yyyy" (day blank-padded),
// independent of the locale.
std::string fixedLayout(const std::tm& tm) {
    char buf[64];
    const int wday = tm.tm_wday >= 0 && tm.tm_wday < 7 ? tm.tm_wday : 0;
    const int mon = tm.tm_mon >= 0 && tm.tm_mon < 12 ? tm.tm_mon : 0;
    std::snprintf(buf, sizeof buf, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDayNames[wday], kMonthAbbrev[mon], tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, 1900 + tm.tm_year);
    return buf;
}

// Days from 1 Jan 1970 to 1 Jan of the given year (proleptic Gregorian).
long long daysBeforeYear(long long year) {
    const long long y = year - 1;
    return 365 * (y - 1969) + (y / 4 - 1969 / 4) - (y / 100 - 1969 / 100) + (y / 400 - 1969 / 400);
}

}  // namespace

std::string formatTime(std::time_t time) { return fixedLayout(localTime(time)).substr(11, 8); }

std::string formatDate(std::time_t time) {
    const std::string text = fixedLayout(localTime(time));
    std::string month = text.substr(4, 3);
    for (char& c : month) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.substr(8, 2) + month + text.substr(text.size() - 2);
}

std::string formatDateTime(std::time_t time) { return formatDate(time) + " " + formatTime(time); }

int getDayDifference(const std::tm& a, const std::tm& b) {
    // Real calendar days, so that 31 December of a leap year is one day
    // before 1 January.
    const long long dayA = daysBeforeYear(1900LL + a.tm_year) + a.tm_yday;
    const long long dayB = daysBeforeYear(1900LL + b.tm_year) + b.tm_yday;
    return static_cast<int>(dayA - dayB);
}

std::string formatRelativeTime(std::time_t time, bool capitalise) {
    const std::tm now = localTime(std::time(nullptr));
    const std::tm then = localTime(time);
    const std::string text = fixedLayout(then);
    const std::string hhmm = text.substr(11, 5);
    const int d = getDayDifference(then, now);
    if (d == 0) return hhmm;
    if (d == -1) return std::string(capitalise ? "Yesterday " : "yesterday ") + hhmm;
    if (d == 1) return std::string(capitalise ? "Tomorrow " : "tomorrow ") + hhmm;
    std::string result = text.substr(0, 16);
    if (then.tm_year != now.tm_year) result += " " + std::to_string(1900 + then.tm_year);
    return result;
}

std::string getDayOfWeekName(int dayOfWeek) {
    if (dayOfWeek >= 0 && dayOfWeek < 7) return kDayNames[dayOfWeek];
    return "<InvalidDayOfWeek:" + std::to_string(static_cast<unsigned>(dayOfWeek)) + ">";
}

int getDayOfWeekIndex(const std::string& name) {
    for (int i = 0; i < 7; ++i) {
        const std::string day = kDayNames[i];
        if (day.size() != name.size()) continue;
        bool equal = true;
        for (std::size_t k = 0; k < day.size() && equal; ++k)
            equal =
                std::tolower(static_cast<unsigned char>(day[k])) == std::tolower(static_cast<unsigned char>(name[k]));
        if (equal) return i;
    }
    return -1;
}

}  // namespace tools
