// groupfetch: a program plug-in that serves one page, its main page, for an
// outside groups service; the page's content is all in its template.
#include <iostream>
#include <stdexcept>

#include "appPlugins/pluginFrame/programPluginFrame.h"

namespace {

void processRequest(std::ostream&) { throw std::runtime_error("Unexpected plugin call."); }

}  // namespace

int main(int argc, char** argv) {
    static const pluginframe::ProgramPluginFrame frame{"groupfetch.template", "AppServerUrl", "APP_SERVER_URL",
                                                       &processRequest};
    return pluginframe::runProgramPlugin(argc, argv, frame, std::cout, std::cerr);
}
