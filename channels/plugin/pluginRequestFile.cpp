#include "channels/plugin/pluginRequestFile.h"

#include <fstream>
#include <sstream>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/channel.h"
#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "platform/profile.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

const char kSystem[] = "System";

// Ports of the local application server and plug-in server; 0 until the
// application has given them to the plug-in manager.
int appServerPort() { return getAppPluginManager().getAppServerPort(); }
int appPluginServerPort() { return getAppPluginManager().getAppPluginServerPort(); }

void writeParams(const std::string& file, const std::string& section, const ParamDefs& defs,
                 const ParamValues& values) {
    for (const ParamDef& def : defs) tools::writeIniString(file, section, def.name, paramValueOrDefault(def, values));
}

}  // namespace

void writeStandardParams(const std::string& iniFile, const std::string& section) {
    // A copy taken under the engine's shared lock, in the map's order.
    for (const auto& [name, value] : getScriptingEngine().getStandardParams())
        tools::writeIniString(iniFile, section, name, value);
}

std::unique_ptr<tools::TempFile> writePluginRequestFile(const std::string& command, const ParamDefs& pluginParamDefs,
                                                        const ParamValues& pluginParamValues, const Channel* channel) {
    auto request = std::make_unique<tools::TempFile>("");
    const std::string& file = request->getFilename();
    platform::profile::WriteBatch batch(file);
    tools::writeIniString(file, kSystem, "Command", command);
    tools::writeIniString(file, kSystem, "AppServerUrl", "http://127.0.0.1:" + std::to_string(appServerPort()));
    tools::writeIniString(file, kSystem, "AppPluginServerUrl",
                          "http://127.0.0.1:" + std::to_string(appPluginServerPort()));
    if (channel) tools::writeIniString(file, kSystem, "ChannelConfigFile", channel->getConfigFilename());
    writeStandardParams(file, kSystem);
    writeParams(file, "PluginParameters", pluginParamDefs, pluginParamValues);
    if (!batch.commit()) throw Exception("Can't write the plugin request file: " + file);
    return request;
}

std::unique_ptr<tools::TempFile> writePluginChannelRequestFile(
    const std::string& command, const ParamDefs& pluginParamDefs, const ParamValues& pluginParamValues,
    const ParamDefs& channelParamDefs, const ParamValues& channelParamValues, const Channel& channel) {
    auto request = writePluginRequestFile(command, pluginParamDefs, pluginParamValues, &channel);
    const std::string& file = request->getFilename();
    platform::profile::WriteBatch batch(file);
    writeParams(file, "ChannelParameters", channelParamDefs, channelParamValues);
    if (!batch.commit()) throw Exception("Can't write the plugin request file: " + file);
    return request;
}

void dumpRequestFile(const std::string& requestFile) {
    CMessageGroup& group = logGroupScriptPlugins();
    if (!group.isEnabled()) return;
    std::ifstream in(requestFile);
    std::ostringstream text;
    text << in.rdbuf();
    std::string contents = text.str();
    if (!contents.empty() && contents.back() != '\n') contents += '\n';

    LogStatement statement(&group, __FILE__, __LINE__);
    statement.stream() << "--- BEGIN CONFIG FILE ---" << std::endl;
    statement.log().indent();
    statement.stream() << contents << std::flush;
    statement.log().outdent();
    statement.stream() << "--- END CONFIG FILE ---" << std::endl;
}

}  // namespace channels
