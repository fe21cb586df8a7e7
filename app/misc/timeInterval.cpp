#include "app/misc/timeInterval.h"

#include <climits>
#include <cstdlib>
#include <sstream>

#include "app/misc/fieldValues.h"
#include "lib/misc/stringHelpers.h"

namespace {

std::string plural(long long n, const char* singular, const char* many, bool omitOne) {
    if (n == 1) return omitOne ? std::string(singular) : "1 " + std::string(singular);
    return std::to_string(n) + " " + many;
}

bool isUnit(const std::string& word, const char* singular) {
    const std::string one(singular);
    return mbsCompareNoCase(word, one.c_str()) == 0 || mbsCompareNoCase(word, (one + "s").c_str()) == 0;
}

}  // namespace

std::string formatTimeInterval(int seconds, bool omitOne) {
    const long long s = seconds;
    if (s == 0) return std::string();
    if (s % 60 != 0) return plural(s, "second", "seconds", omitOne);
    if (s == 900) return "quarter hour";
    if (s == 1800) return "half hour";
    if (s % 3600 != 0) return plural(s / 60, "minute", "minutes", omitOne);
    if (s % 86400 != 0) return plural(s / 3600, "hour", "hours", omitOne);
    return plural(s / 86400, "day", "days", omitOne);
}

bool parseTimeInterval(const std::string& text, int& seconds) {
    std::istringstream words(text);
    std::string first;
    std::string second;
    words >> first >> second;
    if (first.empty()) return false;
    if (second.empty()) {
        static const struct {
            const char* name;
            int seconds;
        } kBare[] = {{"second", 1}, {"minute", 60}, {"hour", 3600}, {"day", 86400}};
        for (const auto& unit : kBare) {
            if (mbsCompareNoCase(first, unit.name) == 0) {
                seconds = unit.seconds;
                return true;
            }
        }
        return false;
    }

    long long count = 0;
    const bool counted = readLeadingInteger(first, count) == NumberRead::Ok && count > 0;
    long long unitSeconds = 0;
    if (isUnit(second, "second")) {
        unitSeconds = 1;
    } else if (isUnit(second, "minute")) {
        unitSeconds = 60;
    } else if (isUnit(second, "hour")) {
        unitSeconds = 3600;
        if (!counted) {
            if (mbsCompareNoCase(first, "quarter") == 0) {
                seconds = 900;
                return true;
            }
            if (mbsCompareNoCase(first, "half") == 0) {
                seconds = 1800;
                return true;
            }
        }
    } else if (isUnit(second, "day")) {
        unitSeconds = 86400;
    } else {
        return false;
    }
    if (!counted || count > INT_MAX / unitSeconds) return false;
    seconds = static_cast<int>(count * unitSeconds);
    return true;
}
