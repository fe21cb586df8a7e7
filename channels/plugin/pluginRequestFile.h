#pragma once
// The request file through which the host tells a script or program plug-in
// what to do: a temporary INI file (values percent-encoded) whose path is the
// plug-in's last argument.
//
//   [System]            Command, AppServerUrl, AppPluginServerUrl,
//                       ChannelConfigFile (requests for a channel),
//                       the standard parameters of the scripting engine,
//                       then PluginRequest/ParamString or DownloadUrlFile
//   [PluginParameters]  one key per plug-in parameter definition
//   [ChannelParameters] one key per channel parameter definition
//
// A parameter's value is the stored one, else the definition's default.
#include <memory>
#include <string>

#include "channels/plugin/paramDef.h"

namespace tools {
class TempFile;
}

namespace channels {

class Channel;

// Writes a new request file (owned by the caller; deleted with it). channel
// may be null.
std::unique_ptr<tools::TempFile> writePluginRequestFile(const std::string& command, const ParamDefs& pluginParamDefs,
                                                        const ParamValues& pluginParamValues, const Channel* channel);

// The same for a channel, followed by its [ChannelParameters].
std::unique_ptr<tools::TempFile> writePluginChannelRequestFile(
    const std::string& command, const ParamDefs& pluginParamDefs, const ParamValues& pluginParamValues,
    const ParamDefs& channelParamDefs, const ParamValues& channelParamValues, const Channel& channel);

// Writes the scripting engine's standard parameters into the section.
void writeStandardParams(const std::string& iniFile, const std::string& section);

// Copies the request file into the program log between "--- BEGIN CONFIG
// FILE ---" and "--- END CONFIG FILE ---" when message group ScriptPlugins is
// on.
void dumpRequestFile(const std::string& requestFile);

}  // namespace channels
