#include "channels/appPlugins/appPlugin.h"

#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "platform/files.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

const char kConfig[] = "Config";

bool isAsciiLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

AppPlugin::AppPlugin(AppPluginManager* owner)
    : owner_(owner), outputFile_(std::make_unique<tools::TempFile>(".html")) {}

AppPlugin::~AppPlugin() {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    outputFile_.reset();
}

void AppPlugin::loadAppPlugin(const std::string& configFilename) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    ORVAN_LOG(logGroupPluginLoad()) << "AppPlugin::loadAppPlugin(): configFilename=" << configFilename << std::endl;

    configFilename_ = configFilename;
    std::string id = tools::getIniString(configFilename, kConfig, "AppPluginId", "", true);
    if (id.empty()) id = tools::getFileBaseName(tools::getIniString(configFilename, kConfig, "Plugin", "", true));
    appPluginId_ = id;

    std::string defaultName = id;
    for (char& c : defaultName)
        if (!isAsciiLetterOrDigit(c)) c = '_';
    displayName_ = tools::getIniString(configFilename, kConfig, "AppPluginDisplayName", defaultName, true);
    authorName_ = tools::getIniString(configFilename, kConfig, "AuthorName", "", true);
    authorEmailAddress_ = tools::getIniString(configFilename, kConfig, "AuthorEmailAddress", "", true);
    pluginNotes_ = tools::getIniString(configFilename, kConfig, "PluginNotes", "", true);

    ScriptingEngine& engine = getScriptingEngine();
    engine.loadParamDefTable(configFilename, pluginParamDefs_, "PluginParameterDefinition-");
    engine.loadParamValues(configFilename, pluginParamDefs_, pluginParamValues_);
    engine.loadParamDefTable(configFilename, channelParamDefs_, "ChannelParameterDefinition-");

    load(configFilename);
}

AppPluginManager* AppPlugin::getAppPluginManager() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return owner_;
}

std::string AppPlugin::getConfigFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return configFilename_;
}

std::string AppPlugin::getAppPluginId() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return appPluginId_;
}

std::string AppPlugin::getDisplayName() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return displayName_;
}

std::string AppPlugin::getAuthorName() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return authorName_;
}

std::string AppPlugin::getAuthorEmailAddress() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return authorEmailAddress_;
}

std::string AppPlugin::getPluginNotes() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return pluginNotes_;
}

std::string AppPlugin::getOutputFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return outputFile_->getFilename();
}

int AppPlugin::getPluginParamDefCount() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return static_cast<int>(pluginParamDefs_.size());
}

int AppPlugin::getChannelParamDefCount() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return static_cast<int>(channelParamDefs_.size());
}

void AppPlugin::setPluginParamValues(const ParamValues& values) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    pluginParamValues_ = values;
    if (!getScriptingEngine().saveParamValues(configFilename_, values))
        throw Exception("Can't save the plugin parameter values to " + getScriptingEngine().getUserConfigFilename() +
                        ": " + platform::files::lastErrorText());
}

}  // namespace channels
