#pragma once
// The frame shared by the program plug-ins (listintake, groupfetch): the host
// runs the program with one argument, the path of its request file, in the
// program's own folder; the program writes one HTML page on standard output,
// or one message line on standard error and exits with -1.
//
//   int main(int argc, char** argv) {
//       static const ProgramPluginFrame frame{"x.template", "AppServerUrl", "APP_SERVER_URL", &myRequest};
//       return runProgramPlugin(argc, argv, frame, std::cout, std::cerr);
//   }
//
// Every failure below runProgramPlugin is a std::exception whose what() is
// the message.
#include <ostream>
#include <string>

namespace pluginframe {

struct ProgramPluginFrame {
    // Main page template, opened by its bare name (from the current folder).
    const char* mainPageTemplate;
    // [System] key that the main page needs, and the template variable set from it.
    const char* mainPageKey;
    const char* mainPageVariable;
    // Serves "ProcessRequest": writes the answer page to out.
    void (*processRequest)(std::ostream& out);
};

// The entry point's work: 0 on success, -1 on any failure (message on err).
int runProgramPlugin(int argc, char** argv, const ProgramPluginFrame& frame, std::ostream& out, std::ostream& err);

// Path of the request file of this run.
const std::string& requestFilename();

// [System] value of the request file (percent-decoded, trimmed, "" when missing).
std::string getSystemValue(const std::string& key);

// A [System] value that must not be empty; throws "Missing '<key>' parameter." otherwise.
std::string getRequiredSystemValue(const std::string& key);

}  // namespace pluginframe
