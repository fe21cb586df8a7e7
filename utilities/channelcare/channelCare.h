#pragma once
// channelcare's work without its window: the settings file, the inventory of
// every user's channel files, display names, and writing one setting into
// many channel files.
//
// Settings file (the program's path with the extension ".ini"):
//   [Config]              ConfirmChanges, NotifyChanges, DefaultSelectAllChannels (0/1, default 1)
//   [<any other name>]    one setting: SectionName, KeyName, Description (all required;
//                         the two characters "\n" in a description stand for a line break)
#include <map>
#include <string>
#include <vector>

namespace channelcare {

inline const char kProgramName[] = "channelcare";
// The main program's name: the name of the lock both programs take, and the
// first word of the "still running" message.
inline const char kProductWord[] = "Orvan";

struct SettingEntry {
    std::string name;         // the settings file's section, shown in the setting list
    std::string sectionName;  // section written in each channel file
    std::string keyName;      // key written
    std::string description;
};

struct Settings {
    bool confirmChanges = true;
    bool notifyChanges = true;
    bool defaultSelectAllChannels = true;
    std::vector<SettingEntry> entries;  // in file order
};

// User name -> full paths of the user's channel files (".rss" files first,
// then ".plugin" files, each group by name).
using ChannelInventory = std::map<std::string, std::vector<std::string>>;

// The settings file beside the program.
std::string settingsFileFor(const std::string& programPath);

// Throws std::runtime_error "Invalid settings file entry: Missing KeyName
// parameter in [<section>]." (likewise SectionName, Description).
Settings loadSettingsFile(const std::string& settingsFile);

// Every user directory of the "Users" folder in dataDir (the main program's
// data directory, platform::files::dataDirectory) with its channel files. Folder names are matched as they are on disk,
// without regard to case. Throws "Can't find any user home directories." when there is no user.
ChannelInventory findUserChannels(const std::string& dataDir);

// [Config] PreferredChannelDisplayName, else [Cache] ChannelDisplayName, else
// "(" + the file's name + ")".
std::string getChannelDisplayName(const std::string& channelFile);

// The description with each "\n" (backslash, n) turned into a line feed.
std::string descriptionText(const std::string& description);

// Writes KeyName = value (percent-encoded) into SectionName of each file,
// each file replaced atomically. A file that cannot be written does not stop
// the others; its path and the reason are listed.
struct ApplyResult {
    int written = 0;
    std::vector<std::string> failures;  // "<path>: <reason>"
};
ApplyResult applySetting(const SettingEntry& entry, const std::string& value, const std::vector<std::string>& files);

// The texts shown after a change.
std::string appliedMessage(int count);
std::string failedMessage(const ApplyResult& result, int selected);

}  // namespace channelcare
