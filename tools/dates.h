#pragma once
// Short date and time texts for lists and logs, cut from the fixed layout
// "Www Mmm dd hh:mm:ss yyyy" of the local time, and day-of-week names.
#include <ctime>
#include <string>

namespace tools {

// "hh:mm" for a time today, "Yesterday hh:mm" / "Tomorrow hh:mm" (lower-case
// first letter unless `capitalise`), else "Www Mmm dd hh:mm", followed by
// " yyyy" when the year is not the current one.
std::string formatRelativeTime(std::time_t time, bool capitalise);
// "hh:mm:ss"
std::string formatTime(std::time_t time);
// Day (two characters, blank-padded), lower-case month, two-digit year: " 5jan03".
std::string formatDate(std::time_t time);
// formatDate + " " + formatTime
std::string formatDateTime(std::time_t time);

// Calendar days from b to a (positive when a is later), by year and day of year.
int getDayDifference(const std::tm& a, const std::tm& b);

// "Sunday" .. "Saturday" for 0..6, else "<InvalidDayOfWeek:n>".
std::string getDayOfWeekName(int dayOfWeek);
// 0..6 for a day name (without regard to case), else -1.
int getDayOfWeekIndex(const std::string& name);

}  // namespace tools
