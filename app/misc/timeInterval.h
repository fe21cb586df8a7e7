#pragma once
// Time intervals as the user reads and types them: "90 seconds", "quarter
// hour", "2 hours", "day".
#include <string>

// The text of an interval in seconds: "" for 0, "1 second", "90 seconds",
// "1 minute", "quarter hour", "half hour", "5 minutes", "1 hour", "2 hours",
// "1 day", "3 days". omitOne drops the "1 " of the singular forms.
std::string formatTimeInterval(int seconds, bool omitOne);

// Reads a count and a unit ("2 hours", "quarter hour", "minute"; units
// without regard to case; words after the second are ignored). False, and
// seconds untouched, for anything else: no unit, a count that is not above
// 0, or an interval beyond the range of int.
bool parseTimeInterval(const std::string& text, int& seconds);
