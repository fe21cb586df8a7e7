#pragma once
// An application plug-in that is a script or program run as a child process
// for every page. The definition's Plugin value names the script relative to
// the definition's folder; the file-type command table decides how it runs
// (channels/scriptingEngine.h).
//
// Each page gets a fresh request file (channels/pluginRequestFile.h) with
// Command "GenerateMainPage" or "ProcessRequest"; requests also carry
// PluginRequest and ParamString in [System], and, when made for a channel,
// ChannelConfigFile and the channel's [ChannelParameters]. The script runs in
// its own folder and writes the page to standard output; the page is passed
// on unchanged. A failed run yields the scripting engine's HTML error page as
// the page.
//
// One plug-in serves one page at a time: the run holds the plug-in's lock.
// The channel's values are copied before it is taken.
#include <string>

#include "channels/appPlugins/appPlugin.h"

namespace channels {

class ScriptAppPlugin : public AppPlugin {
public:
    explicit ScriptAppPlugin(AppPluginManager* owner);
    ~ScriptAppPlugin() override;

    // The page goes into the output file (getOutputFile).
    void generateMainPage() override;
    // page receives the script's standard output (CR LF read as LF).
    void processRequest(const std::string& request, const std::string& paramString, std::string& page,
                        Channel* channel) override;
    // Throws channels::Exception "Missing 'Plugin' parameter: " + path.
    void load(const std::string& configFilename) override;

    std::string getScriptFilename() const;

private:
    std::string scriptFilename_;
};

}  // namespace channels
