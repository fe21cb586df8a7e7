// listintake: a program plug-in that imports an OPML subscription list into
// new channel files.
#include <iostream>

#include "appPlugins/listintake/outlineImport.h"
#include "appPlugins/pluginFrame/programPluginFrame.h"

int main(int argc, char** argv) {
    static const pluginframe::ProgramPluginFrame frame{"listintake.template", "AppPluginServerUrl",
                                                       "APP_PLUGIN_SERVER_URL", &listintake::processRequest};
    return pluginframe::runProgramPlugin(argc, argv, frame, std::cout, std::cerr);
}
