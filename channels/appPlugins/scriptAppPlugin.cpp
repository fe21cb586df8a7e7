#include "channels/appPlugins/scriptAppPlugin.h"

#include <fstream>
#include <iterator>
#include <memory>

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/exception.h"
#include "channels/plugin/pluginRequestFile.h"
#include "channels/rss/rssChannelConfig.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "platform/profile.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

// The values a request file needs, copied under the plug-in's shared lock.
struct PluginValues {
    std::string script;
    ParamDefs pluginDefs;
    ParamValues pluginValues;
    ParamDefs channelDefs;
};

PluginValues copyValues(const ScriptAppPlugin& plugin) {
    SharedLockGuard guard(&plugin.getLock(), __FILE__, __LINE__);
    return {plugin.getScriptFilename(), plugin.getPluginParamDefs(), plugin.getPluginParamValues(),
            plugin.getChannelParamDefs()};
}

// The channel parameter values an RSS channel keeps (none for other kinds).
ParamValues copyChannelParameters(Channel& channel) {
    const auto* config = dynamic_cast<const RssChannelConfig*>(&channel.getChannelConfig());
    if (!config) return {};
    SharedLockGuard guard(&config->getLock(), __FILE__, __LINE__);
    return config->getChannelParameters();
}

void logRun(const CommandLine& commandLine, const std::string& requestFile) {
    const std::string text = commandLine.toString();
    ORVAN_LOG(logGroupScriptPlugins()) << "Running plugin script: " << text << std::endl;
    dumpRequestFile(requestFile);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string page;
    page.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) page += text[i];
    return page;
}

}  // namespace

ScriptAppPlugin::ScriptAppPlugin(AppPluginManager* owner) : AppPlugin(owner) {}

ScriptAppPlugin::~ScriptAppPlugin() = default;

std::string ScriptAppPlugin::getScriptFilename() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return scriptFilename_;
}

void ScriptAppPlugin::load(const std::string& configFilename) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    const std::string pluginFile = tools::getIniString(configFilename, "Config", "Plugin", "", true);
    if (pluginFile.empty()) throw Exception("Missing 'Plugin' parameter: " + configFilename);
    scriptFilename_ = tools::getDirectoryOf(configFilename) + pluginFile;
}

void ScriptAppPlugin::generateMainPage() {
    const PluginValues values = copyValues(*this);
    const std::unique_ptr<tools::TempFile> request =
        writePluginRequestFile("GenerateMainPage", values.pluginDefs, values.pluginValues, nullptr);
    const CommandLine commandLine = buildRunCommandLine(values.script, request->getFilename());
    logRun(commandLine, request->getFilename());

    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    getScriptingEngine().runScriptForPage(commandLine, tools::getDirectoryOf(values.script), getOutputFile());
}

void ScriptAppPlugin::processRequest(const std::string& request, const std::string& paramString, std::string& page,
                                     Channel* channel) {
    const PluginValues values = copyValues(*this);
    tools::TempFile output("");
    std::unique_ptr<tools::TempFile> requestFile;
    if (channel) {
        const ParamValues channelValues = copyChannelParameters(*channel);
        requestFile = writePluginChannelRequestFile("ProcessRequest", values.pluginDefs, values.pluginValues,
                                                    values.channelDefs, channelValues, *channel);
    } else {
        requestFile = writePluginRequestFile("ProcessRequest", values.pluginDefs, values.pluginValues, nullptr);
    }
    {
        platform::profile::WriteBatch batch(requestFile->getFilename());
        tools::writeIniString(requestFile->getFilename(), "System", "PluginRequest", request);
        tools::writeIniString(requestFile->getFilename(), "System", "ParamString", paramString);
        if (!batch.commit()) throw Exception("Can't write the plugin request file: " + requestFile->getFilename());
    }

    const CommandLine commandLine = buildRunCommandLine(values.script, requestFile->getFilename());
    logRun(commandLine, requestFile->getFilename());
    {
        ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
        getScriptingEngine().runScriptForPage(commandLine, tools::getDirectoryOf(values.script), output);
    }
    page = readText(output.getFilename());
}

}  // namespace channels
