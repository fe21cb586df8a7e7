#include "channels/hooks/hookRequestFile.h"

#include <fstream>
#include <sstream>

#include "channels/channel.h"
#include "channels/channelEvents.h"
#include "channels/hooks/channelHook.h"
#include "channels/exception.h"
#include "channels/plugin/pluginRequestFile.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

const char kConfig[] = "Config";
const char kGlobalParams[] = "GlobalChannelHookParameters";
const char kChannelParams[] = "ChannelHookParameters";

// Rows common to events and commands after the parameters: the standard
// parameters, the call's keys and both handles.
void writeCallKeys(const std::string& file, ChannelHook& hook, Channel* channel, const char* command,
                   const char* nameKey, const std::string& name) {
    writeStandardParams(file, kConfig);
    tools::writeIniString(file, kConfig, "Command", command);
    tools::writeIniString(file, kConfig, nameKey, name);
    tools::writeIniString(file, kConfig, "ChannelConfigFile",
                          channel != nullptr ? channel->getConfigFilename() : std::string());
    // The name as the program shows it: the channel file may not hold it yet
    // (a channel's first update raises its events before the file is saved).
    tools::writeIniString(file, kConfig, "ChannelDisplayName",
                          channel != nullptr ? channel->getDisplayName() : std::string());
    // Full pointer-sized values in decimal: nothing is cut to 32 bits.
    tools::writeIniString(file, kConfig, "hChannelCookie", std::to_string(getChannelCookie(channel)));
    tools::writeIniString(file, kConfig, "hChannelHookCookie", std::to_string(hook.getCookie()));
}

// Hands the written file on: one rewrite for the whole request, and a failure
// is an error rather than a hook that finds no request.
void commitRequest(platform::profile::WriteBatch& batch, const std::string& file) {
    if (!batch.commit())
        throw Exception("Can't write the channel hook request file " + file + ": " + platform::files::lastErrorText());
}

bool isSecretKey(const std::string& key, const ParamDefs& defs) {
    for (const ParamDef& def : defs)
        if (isPasswordParam(def) && mbsCompareNoCase(def.name, key.c_str()) == 0) return true;
    return false;
}

}  // namespace

void ChannelHook::writeParams(const std::string& requestFile) {
    ParamDefs globalDefs;
    ParamValues globalValues;
    getGlobalParams(globalDefs, globalValues);
    for (const ParamDef& def : globalDefs)
        tools::writeIniString(requestFile, kGlobalParams, def.name, paramValueOrDefault(def, globalValues));

    tools::writeIniString(requestFile, kConfig, "ChannelHookConfigFilename", getConfigFilename());
    tools::writeIniString(requestFile, kConfig, "SettingsFilename", getSettingsFilename());
    tools::writeIniString(requestFile, kConfig, "SettingsSectionName", kChannelHookSettingsSection);

    ParamDefs channelDefs;
    ParamValues channelValues;
    getChannelParams(channelDefs, channelValues);
    for (const ParamDef& def : channelDefs)
        tools::writeIniString(requestFile, kChannelParams, def.name, paramValueOrDefault(def, channelValues));
}

std::unique_ptr<tools::TempFile> writeChannelHookEventRequest(ChannelHook& hook, Channel* channel, const Event& event) {
    auto request = std::make_unique<tools::TempFile>();
    const std::string& file = request->getFilename();
    platform::profile::WriteBatch batch(file);
    hook.writeParams(file);
    writeCallKeys(file, hook, channel, "ProcessEvent", "EventName", event.getEventName());
    event.writeParams(file, kConfig);
    commitRequest(batch, file);
    return request;
}

std::unique_ptr<tools::TempFile> writeChannelHookCommandRequest(ChannelHook& hook, Channel* channel,
                                                                const std::string& commandName) {
    auto request = std::make_unique<tools::TempFile>();
    const std::string& file = request->getFilename();
    platform::profile::WriteBatch batch(file);
    hook.writeParams(file);
    writeCallKeys(file, hook, channel, "ProcessCommand", "CommandName", commandName);
    commitRequest(batch, file);
    return request;
}

std::string getLoggableHookRequestText(const std::string& requestFile, const ParamDefs& globalDefs,
                                       const ParamDefs& channelDefs) {
    std::ifstream in(requestFile, std::ios::binary);
    std::ostringstream out;
    const ParamDefs* sectionDefs = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        const bool hadNewline = !in.eof();
        const std::string trimmed = trimmedCopy(line);
        if (!trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']') {
            const std::string section = trimmedCopy(trimmed.substr(1, trimmed.size() - 2));
            sectionDefs = mbsCompareNoCase(section, kGlobalParams) == 0    ? &globalDefs
                          : mbsCompareNoCase(section, kChannelParams) == 0 ? &channelDefs
                                                                           : nullptr;
        } else if (sectionDefs != nullptr) {
            const std::string::size_type eq = line.find('=');
            if (eq != std::string::npos && isSecretKey(trimmedCopy(line.substr(0, eq)), *sectionDefs)) {
                std::string value = trimmedCopy(line.substr(eq + 1));
                if (!value.empty() && value.back() == '\r') value.pop_back();
                line = line.substr(0, eq + 1) + maskSecret(value);
            }
        }
        // Like every log line, a URL's password stays out of the copy.
        out << maskUrlPasswords(line);
        if (hadNewline) out << '\n';
    }
    return out.str();
}

}  // namespace channels
