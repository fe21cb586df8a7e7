#include "channels/feed/channelHeader.h"

#include <sstream>

#include "tools/dates.h"
#include "tools/ini.h"

namespace channels {

namespace {

constexpr int kMaxImageSize = 500;

// Decimal numbers separated by white space, up to the first token that is
// not one; values outside min..max are dropped.
std::set<int> readIntSet(const std::string& text, int min, int max) {
    std::set<int> values;
    std::istringstream in(text);
    int value = 0;
    while (in >> value) {
        if (value >= min && value <= max) values.insert(value);
    }
    return values;
}

std::string writeIntSet(const std::set<int>& values) {
    std::string text;
    for (int value : values) {
        if (!text.empty()) text += ' ';
        text += std::to_string(value);
    }
    return text;
}

template <class Format>
std::string joinSet(const std::set<int>& values, bool commaSeparated, Format format) {
    std::string text;
    for (int value : values) {
        if (!text.empty()) text += commaSeparated ? ", " : " ";
        text += format(value);
    }
    return text;
}

}  // namespace

void ChannelHeader::clear() { *this = ChannelHeader(); }

void ChannelHeader::load(const std::string& iniFile, const std::string& section) {
    auto str = [&](const char* key) { return tools::getIniString(iniFile, section, key, "", true); };
    ChannelDisplayName = str("ChannelDisplayName");
    ChannelDescription = str("ChannelDescription");
    ChannelHomeUrl = str("ChannelHomeUrl");
    ChannelImageUrl = str("ChannelImageUrl");
    ChannelImageWidth = tools::getIniIntInRange(iniFile, section, "ChannelImageWidth", 0, kMaxImageSize, 0);
    ChannelImageHeight = tools::getIniIntInRange(iniFile, section, "ChannelImageHeight", 0, kMaxImageSize, 0);
    CopyrightString = str("CopyrightString");
    EditorEmailAddress = str("EditorEmailAddress");
    WebMasterEmailAddress = str("WebMasterEmailAddress");
    PubDateString = str("PubDateString");
    LastBuildDateString = str("LastBuildDateString");
    FeedGenerator = str("FeedGenerator");
    SkipHours = readIntSet(str("SkipHours"), 0, 23);
    SkipDays = readIntSet(str("SkipDays"), 0, 6);
}

void ChannelHeader::save(const std::string& iniFile, const std::string& section) const {
    tools::writeIniString(iniFile, section, "ChannelDisplayName", ChannelDisplayName);
    tools::writeIniString(iniFile, section, "ChannelDescription", ChannelDescription);
    tools::writeIniString(iniFile, section, "ChannelHomeUrl", ChannelHomeUrl);
    tools::writeIniString(iniFile, section, "ChannelImageUrl", ChannelImageUrl);
    tools::writeIniInt(iniFile, section, "ChannelImageWidth", ChannelImageWidth);
    tools::writeIniInt(iniFile, section, "ChannelImageHeight", ChannelImageHeight);
    tools::writeIniString(iniFile, section, "CopyrightString", CopyrightString);
    tools::writeIniString(iniFile, section, "EditorEmailAddress", EditorEmailAddress);
    tools::writeIniString(iniFile, section, "WebMasterEmailAddress", WebMasterEmailAddress);
    tools::writeIniString(iniFile, section, "PubDateString", PubDateString);
    tools::writeIniString(iniFile, section, "LastBuildDateString", LastBuildDateString);
    tools::writeIniString(iniFile, section, "FeedGenerator", FeedGenerator);
    tools::writeIniString(iniFile, section, "SkipHours", writeIntSet(SkipHours));
    tools::writeIniString(iniFile, section, "SkipDays", writeIntSet(SkipDays));
}

std::string ChannelHeader::getSkipHoursString(bool commaSeparated) const {
    return joinSet(SkipHours, commaSeparated, [](int hour) { return std::to_string(hour); });
}

std::string ChannelHeader::getSkipDaysString(bool commaSeparated) const {
    return joinSet(SkipDays, commaSeparated, [](int day) { return tools::getDayOfWeekName(day); });
}

}  // namespace channels
