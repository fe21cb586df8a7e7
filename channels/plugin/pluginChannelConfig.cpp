#include "channels/plugin/pluginChannelConfig.h"

#include <map>

#include "channels/channel.h"
#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "platform/files.h"
#include "tools/files.h"
#include "tools/ini.h"

namespace channels {

namespace {

const char kConfigSection[] = "Config";
const char kScriptKey[] = "ScriptFilename";
const char kChannelParamsSection[] = "ChannelParameters";
const char kChannelParamStem[] = "ChannelParameterDefinition-";
const char kPluginParamStem[] = "PluginParameterDefinition-";

// Definitions and values of plug-in parameters, per script, shared by every
// channel that uses the script.
struct PluginTables {
    SharedExclusiveLock lock;
    std::map<std::string, ParamDefs> defs;
    std::map<std::string, ParamValues> values;
};

PluginTables& pluginTables() {
    static PluginTables tables;
    return tables;
}

}  // namespace

PluginChannelConfig::PluginChannelConfig(Channel* channel) : ChannelConfig(channel) {}

PluginChannelConfig::~PluginChannelConfig() = default;

std::string PluginChannelConfig::getDefinitionFilename(const std::string& scriptFilename) {
    return tools::replaceFileExtension(scriptFilename, ".plugin");
}

void PluginChannelConfig::load(const std::string& channelFile) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    ORVAN_LOG(logGroupPluginLoad()) << "Loading channel config: " << channelFile << std::endl;
    ChannelConfig::load(channelFile);
    loadPluginDefinition(tools::getIniString(channelFile, kConfigSection, kScriptKey, "", true));
}

void PluginChannelConfig::save(const std::string& channelFile) const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    ChannelConfig::save(channelFile);
    tools::writeIniString(channelFile, kConfigSection, kScriptKey, scriptFilename_);
    getScriptingEngine().writeParamValues(channelFile, kChannelParamsSection, channelParamValues_);
}

std::string PluginChannelConfig::getDefaultDisplayName() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return scriptFilename_;
}

void PluginChannelConfig::loadPluginDefinition(const std::string& scriptFilename) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    scriptFilename_ = scriptFilename;
    const std::string definitionFile = getDefinitionFilename(scriptFilename);
    ORVAN_LOG(logGroupPluginLoad()) << "Checking for .plugin file: " << definitionFile << std::endl;
    if (scriptFilename.empty() || !tools::isFile(definitionFile)) return;

    authorName_ = tools::getIniString(definitionFile, kConfigSection, "AuthorName", "", true);
    authorEmailAddress_ = tools::getIniString(definitionFile, kConfigSection, "AuthorEmailAddress", "", true);
    pluginNotes_ = tools::getIniString(definitionFile, kConfigSection, "PluginNotes", "", true);

    // Loading again (another script, or the same one re-read) starts from a
    // clean table, so no parameter is listed twice.
    channelParamDefs_.clear();
    channelParamValues_.clear();
    ScriptingEngine& engine = getScriptingEngine();
    engine.loadParamDefTable(definitionFile, channelParamDefs_, kChannelParamStem);
    if (Channel* channel = getChannel()) {
        engine.readParamValues(channel->getConfigFilename(), kChannelParamsSection, channelParamDefs_,
                               channelParamValues_);
    } else {
        for (const ParamDef& def : channelParamDefs_) channelParamValues_.emplace(def.name, def.defaultValue);
    }

    PluginTables& tables = pluginTables();
    ExclusiveLockGuard tablesGuard(&tables.lock, __FILE__, __LINE__);
    ParamDefs& defs = tables.defs[scriptFilename];
    defs.clear();
    engine.loadParamDefTable(definitionFile, defs, kPluginParamStem);
    engine.loadParamValues(scriptFilename, defs, tables.values[scriptFilename]);
}

void PluginChannelConfig::setPluginParamValues(const ParamValues& values) {
    const std::string script = getScriptFilename();
    PluginTables& tables = pluginTables();
    ExclusiveLockGuard guard(&tables.lock, __FILE__, __LINE__);
    tables.values[script] = values;
    if (!getScriptingEngine().saveParamValues(script, values))
        throw Exception("Can't save the plugin parameter values to " + getScriptingEngine().getUserConfigFilename() +
                        ": " + platform::files::lastErrorText());
}

void PluginChannelConfig::getPluginParams(ParamDefs* defs, ParamValues* values) const {
    const std::string script = getScriptFilename();
    PluginTables& tables = pluginTables();
    ExclusiveLockGuard guard(&tables.lock, __FILE__, __LINE__);
    if (defs) {
        auto it = tables.defs.find(script);
        if (it != tables.defs.end())
            *defs = it->second;
        else
            defs->clear();
    }
    if (values) {
        auto it = tables.values.find(script);
        if (it != tables.values.end())
            *values = it->second;
        else
            values->clear();
    }
}

void PluginChannelConfig::deleteStoredPluginParamValues(const std::string& scriptFilename) {
    const std::string userConfig = getScriptingEngine().getUserConfigFilename();
    if (userConfig.empty() || scriptFilename.empty()) return;
    tools::deleteIniSection(userConfig, scriptFilename);
}

std::string PluginChannelConfig::getScriptFilename() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return scriptFilename_;
}

std::string PluginChannelConfig::getAuthorName() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return authorName_;
}

std::string PluginChannelConfig::getAuthorEmailAddress() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return authorEmailAddress_;
}

std::string PluginChannelConfig::getPluginNotes() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return pluginNotes_;
}

int PluginChannelConfig::getChannelParamDefCount() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return static_cast<int>(channelParamDefs_.size());
}

}  // namespace channels
