#pragma once
// Runs a staged program plug-in (stage/appPlugins/<name>/<name>.exe) as the
// host does: one argument, the request file, and a working folder (the
// program's own one unless told otherwise); collects what it printed.
#include <string>
#include <utility>
#include <vector>

#include "platform/process.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace programplugintest {

struct Run {
    int exitCode = 0;
    std::string out;
    std::string err;
};

inline std::string pluginDir(const std::string& name) { return testsupport::stageDir() + "/appPlugins/" + name; }

inline Run runPlugin(const std::string& name, const std::vector<std::string>& args, const std::string& scratchDir,
                     const std::string& workingDir = "") {
    platform::process::Options options;
    options.argv.push_back(pluginDir(name) + "/" + name + ".exe");
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.workingDirectory = workingDir.empty() ? pluginDir(name) : workingDir;
    options.stdoutFile = scratchDir + "/plugin.out";
    options.stderrFile = scratchDir + "/plugin.err";
    const platform::process::Result result = platform::process::run(options, 60000);
    Run run;
    run.exitCode = result.started && !result.timedOut ? result.exitCode : -2;
    run.out = testsupport::readFile(options.stdoutFile);
    run.err = testsupport::readFile(options.stderrFile);
    return run;
}

// Writes a request file of [System] lines ("Key=value" each, as stored).
inline std::string writeRequest(const std::string& path, const std::vector<std::string>& systemLines) {
    std::string text = "[System]\n";
    for (const std::string& line : systemLines) text += line + "\n";
    testsupport::writeFile(path, text);
    return path;
}

// Writes a request file of [System] values, stored as the host stores them.
inline std::string writeRequestValues(const std::string& path,
                                      const std::vector<std::pair<std::string, std::string>>& values) {
    testsupport::writeFile(path, "");
    for (const auto& [key, value] : values) tools::writeIniString(path, "System", key, value);
    return path;
}

}  // namespace programplugintest
