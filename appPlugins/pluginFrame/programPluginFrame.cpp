#include "appPlugins/pluginFrame/programPluginFrame.h"

#include <exception>
#include <fstream>
#include <stdexcept>

#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/text/templateProcessor.h"
#include "tools/ini.h"

namespace pluginframe {

namespace {

std::string g_requestFilename;

void generateMainPage(const ProgramPluginFrame& frame, std::ostream& out) {
    const std::string value = getRequiredSystemValue(frame.mainPageKey);
    std::ifstream in(frame.mainPageTemplate, std::ios::binary);
    if (!in) throw std::runtime_error("Can't open the main page template.");
    templateProcessor::TemplateProcessor processor;
    processor.setValue(frame.mainPageVariable, value);
    processor.run(in, out);
}

void runCommand(const ProgramPluginFrame& frame, std::ostream& out) {
    const std::string command = getSystemValue("Command");
    if (mbsCompareNoCase(command, "GenerateMainPage") == 0)
        generateMainPage(frame, out);
    else if (mbsCompareNoCase(command, "ProcessRequest") == 0)
        frame.processRequest(out);
    else
        throw std::runtime_error("Unknown script command: " + command);
}

}  // namespace

const std::string& requestFilename() { return g_requestFilename; }

std::string getSystemValue(const std::string& key) {
    return tools::getIniString(g_requestFilename, "System", key, "", true);
}

std::string getRequiredSystemValue(const std::string& key) {
    std::string value = getSystemValue(key);
    if (value.empty()) throw std::runtime_error("Missing '" + key + "' parameter.");
    return value;
}

int runProgramPlugin(int argc, char** argv, const ProgramPluginFrame& frame, std::ostream& out, std::ostream& err) {
    if (argc != 2) {
        err << "Invalid plugin call." << std::endl;
        return -1;
    }
    g_requestFilename = argv[1];
    // Standard error carries the one failure message and nothing else: the
    // support library's diagnostic log (on standard error by default) stays off.
    getMessageLog().setEnabled(false);
    try {
        runCommand(frame, out);
        out.flush();
        if (!out) throw std::runtime_error("Can't write the page to the standard output.");
        return 0;
    } catch (const std::exception& e) {
        err << e.what() << std::endl;
        return -1;
    }
}

}  // namespace pluginframe
