#pragma once
// What a feed says about its channel as a whole. A plain record without a
// lock of its own: the object that holds it guards it.
//
// Stored as 14 keys of one INI section (the channel file's "Cache" and
// "Last Feed" sections): strings percent-encoded, image size as integers,
// skip lists as blank-separated decimal numbers in ascending order.
#include <set>
#include <string>

namespace channels {

class ChannelHeader {
public:
    // Every string empty, image size -1 (not given), both skip lists empty.
    void clear();

    // Strings are trimmed; an image width or height outside 0..500 (or
    // missing) loads as 0; skip lists are read as decimal numbers up to the
    // first token that is not one, values out of range dropped.
    void load(const std::string& iniFile, const std::string& section);
    void save(const std::string& iniFile, const std::string& section) const;

    // "1, 5, 7" (commaSeparated) or "1 5 7"; days by name ("Sunday, Saturday").
    std::string getSkipHoursString(bool commaSeparated) const;
    std::string getSkipDaysString(bool commaSeparated) const;

    std::string ChannelDisplayName;
    std::string ChannelDescription;
    std::string ChannelHomeUrl;
    std::string ChannelImageUrl;
    int ChannelImageWidth = -1;
    int ChannelImageHeight = -1;
    std::string CopyrightString;
    std::string EditorEmailAddress;
    std::string WebMasterEmailAddress;
    std::string PubDateString;
    std::string LastBuildDateString;
    std::string FeedGenerator;
    std::set<int> SkipHours;  // 0..23
    std::set<int> SkipDays;   // 0 = Sunday .. 6 = Saturday
};

}  // namespace channels
