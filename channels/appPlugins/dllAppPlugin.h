#pragma once
// An application plug-in that is a shared library loaded into the program
// (contract in channels/appPluginInterface.h). The definition's Plugin value
// names the library relative to the definition's folder; a name ending in
// ".dll" is looked up with ".so" in its place.
//
// Pages come back in the library's memory; the host copies them, expands
// {%APP_SERVER_URL%} and {%APP_PLUGIN_SERVER_URL%} (main page) or
// {%APP_SERVER_URL%} and {%PLUGIN_SERVER_URL%} (request answers) to the
// local servers' addresses, and hands every block back to plugin_free.
//
// The library's page entry points are called without any lock of the host;
// only writing the main page into the output file holds the plug-in's lock.
//
// The plug-in with the id "CodeProject" (any case) reports, through the
// first three 32-bit little-endian words of load_app_plugin's buffer, the
// shortest update intervals of its feeds "TheLounge", "MessageBoards" and
// "Articles" (channels/localPluginUrl.h).
#include <memory>
#include <string>

#include "channels/appPlugins/appPlugin.h"
#include "channels/appPlugins/appPluginInterface.h"

namespace platform::library {
class Library;
}

namespace channels {

class DllAppPlugin : public AppPlugin {
public:
    explicit DllAppPlugin(AppPluginManager* owner);
    // Calls unload_app_plugin when load_app_plugin had succeeded, then
    // releases the library.
    ~DllAppPlugin() override;

    // Throws channels::Exception "The plugin returned an empty main page.",
    // "Can't open the plugin's HTML output file: " + path, or the library's
    // own message.
    void generateMainPage() override;
    // channel is not used. Throws the library's message.
    void processRequest(const std::string& request, const std::string& paramString, std::string& page,
                        Channel* channel) override;
    // Loads and binds the library. Throws channels::Exception "Missing
    // 'Plugin' parameter: ", "Can't load the plugin DLL: ", "Can't find the
    // DLL's get_app_plugin_info() entry point.", "Missing entry point: " +
    // name, or "DllAppPlugin initialization error: " + the library's message.
    void load(const std::string& configFilename) override;

private:
    std::unique_ptr<platform::library::Library> library_;
    std::unique_ptr<AppPluginInfo> info_;
};

}  // namespace channels
