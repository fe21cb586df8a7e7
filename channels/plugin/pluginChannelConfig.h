#pragma once
// The configuration of a plug-in channel: the common channel configuration
// plus the script that writes the feed (key ScriptFilename of section
// "Config") and the channel's parameter values (section "ChannelParameters").
//
// Beside the script lies its definition file (the script's path with the
// extension ".plugin"): [Config] AuthorName, AuthorEmailAddress, PluginNotes,
// and the parameter definitions of the stems "ChannelParameterDefinition-"
// (values per channel, in the channel file) and "PluginParameterDefinition-"
// (values per script, shared by every channel of that script, stored in the
// user configuration file in a section named by the script's path and kept
// in process-wide tables).
#include <string>

#include "channels/channelConfig.h"
#include "channels/plugin/paramDef.h"

namespace channels {

class PluginChannelConfig : public ChannelConfig {
public:
    explicit PluginChannelConfig(Channel* channel);
    ~PluginChannelConfig() override;

    void load(const std::string& channelFile) override;
    void save(const std::string& channelFile) const override;
    // The script file name.
    std::string getDefaultDisplayName() const override;

    // Takes the script and reads its definition file (when there is one), the
    // channel's parameter values, and the script's shared definitions and
    // values. Parameter table errors (channels::Exception) pass on.
    void loadPluginDefinition(const std::string& scriptFilename);

    // Replaces the values shared by every channel of this script and stores
    // them in the user configuration file.
    void setPluginParamValues(const ParamValues& values);
    // Copies the shared definitions and values of this script into the
    // outputs that are given (cleared when there are none).
    void getPluginParams(ParamDefs* defs, ParamValues* values) const;

    std::string getScriptFilename() const;
    std::string getAuthorName() const;
    std::string getAuthorEmailAddress() const;
    std::string getPluginNotes() const;

    // Channel parameters; callers hold getLock() (shared to read, exclusive
    // to change values).
    const ParamDefs& getChannelParamDefs() const { return channelParamDefs_; }
    int getChannelParamDefCount() const;
    ParamValues& getChannelParamValues() { return channelParamValues_; }
    const ParamValues& getChannelParamValues() const { return channelParamValues_; }

    // The definition file of a script: its path with the extension ".plugin".
    static std::string getDefinitionFilename(const std::string& scriptFilename);
    // Forgets the section of the script's shared values in the user
    // configuration file (the process-wide table keeps them).
    static void deleteStoredPluginParamValues(const std::string& scriptFilename);

private:
    std::string scriptFilename_;
    std::string authorName_;
    std::string authorEmailAddress_;
    std::string pluginNotes_;
    ParamDefs channelParamDefs_;
    ParamValues channelParamValues_;
};

}  // namespace channels
