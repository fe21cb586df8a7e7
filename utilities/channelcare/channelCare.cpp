#include "utilities/channelcare/channelCare.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "lib/misc/stringHelpers.h"
#include "platform/profile.h"
#include "tools/codecs.h"
#include "tools/files.h"
#include "tools/ini.h"

namespace channelcare {

namespace {

namespace fs = std::filesystem;

// The entry of the folder named `name` without regard to case, the entry
// written exactly so first; "" when there is none.
std::string findFolderNoCase(std::string parent, const std::string& name) {
    while (parent.size() > 1 && (parent.back() == '/' || parent.back() == '\\')) parent.pop_back();
    if (tools::isDirectory(parent + "/" + name)) return parent + "/" + name;
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (compareNoCase(entry, name) == 0 && it->is_directory(ec)) return it->path().string();
    }
    return {};
}

// Files of the folder with the extension (any letter case), by name.
std::vector<std::string> filesWithExtension(const std::string& folder, const std::string& extension) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (it->is_regular_file(typeError) && compareNoCase(tools::getFileExtension(name), extension) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(folder + "/" + name);
    return paths;
}

std::string requiredEntryValue(const std::string& file, const std::string& section, const std::string& key) {
    std::string value = tools::getIniString(file, section, key, "", true);
    if (value.empty())
        throw std::runtime_error("Invalid settings file entry: Missing " + key + " parameter in [" + section + "].");
    return value;
}

}  // namespace

std::string settingsFileFor(const std::string& programPath) { return tools::replaceFileExtension(programPath, ".ini"); }

Settings loadSettingsFile(const std::string& settingsFile) {
    Settings settings;
    settings.confirmChanges = tools::getIniBool(settingsFile, "Config", "ConfirmChanges", true);
    settings.notifyChanges = tools::getIniBool(settingsFile, "Config", "NotifyChanges", true);
    settings.defaultSelectAllChannels = tools::getIniBool(settingsFile, "Config", "DefaultSelectAllChannels", true);
    for (const std::string& section : tools::getIniSectionNames(settingsFile)) {
        if (compareNoCase(section, "Config") == 0) continue;
        SettingEntry entry;
        entry.name = section;
        entry.sectionName = requiredEntryValue(settingsFile, section, "SectionName");
        entry.keyName = requiredEntryValue(settingsFile, section, "KeyName");
        entry.description = requiredEntryValue(settingsFile, section, "Description");
        settings.entries.push_back(std::move(entry));
    }
    return settings;
}

ChannelInventory findUserChannels(const std::string& dataDir) {
    const std::string usersDir = findFolderNoCase(dataDir.empty() ? "." : dataDir, "Users");
    ChannelInventory inventory;
    std::error_code ec;
    if (!usersDir.empty()) {
        for (fs::directory_iterator it(usersDir, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (!it->is_directory(typeError)) continue;
            std::vector<std::string>& files = inventory[it->path().filename().string()];
            const std::string channelsDir = findFolderNoCase(it->path().string(), "Channels");
            if (channelsDir.empty()) continue;
            for (const char* extension : {".rss", ".plugin"}) {
                const auto found = filesWithExtension(channelsDir, extension);
                files.insert(files.end(), found.begin(), found.end());
            }
        }
    }
    if (inventory.empty()) throw std::runtime_error("Can't find any user home directories.");
    return inventory;
}

std::string getChannelDisplayName(const std::string& channelFile) {
    std::string name = tools::getIniString(channelFile, "Config", "PreferredChannelDisplayName", "", true);
    if (name.empty()) name = tools::getIniString(channelFile, "Cache", "ChannelDisplayName", "", true);
    if (name.empty()) name = "(" + tools::getFileName(channelFile) + ")";
    return name;
}

std::string descriptionText(const std::string& description) {
    std::string text;
    text.reserve(description.size());
    for (std::size_t i = 0; i < description.size(); ++i) {
        if (description[i] == '\\' && i + 1 < description.size() && description[i + 1] == 'n') {
            text += '\n';
            ++i;
        } else {
            text += description[i];
        }
    }
    return text;
}

ApplyResult applySetting(const SettingEntry& entry, const std::string& value, const std::vector<std::string>& files) {
    ApplyResult result;
    const std::string stored = tools::urlEncode(value);
    for (const std::string& file : files) {
        // A file that vanished is not made again from nothing.
        if (!tools::isFile(file)) {
            result.failures.push_back(file + ": " + std::strerror(tools::isDirectory(file) ? EISDIR : ENOENT));
            continue;
        }
        errno = 0;
        if (platform::profile::writeString(file, entry.sectionName, entry.keyName, stored))
            ++result.written;
        else
            result.failures.push_back(file + ": " + std::strerror(errno != 0 ? errno : EIO));
    }
    return result;
}

std::string appliedMessage(int count) {
    if (count == 1) return "The new setting has been applied to the selected channel.";
    return "The new setting has been applied to the " + std::to_string(count) + " selected channels.";
}

std::string failedMessage(const ApplyResult& result, int selected) {
    std::string text = "The new setting could not be applied to " + std::to_string(result.failures.size()) +
                       " of the " + std::to_string(selected) + " selected channels.\n";
    for (const std::string& failure : result.failures) text += "\n" + failure;
    return text;
}

}  // namespace channelcare
