#include "channels/scriptChannelHook.h"

#include <fstream>
#include <sstream>

#include "channels/scriptingEngine.h"
#include "tools/files.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

void appendFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    text += content.str();
}

}  // namespace

void ScriptChannelHook::invokeEvent(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                                    std::string& stderrText) {
    runHookScript(channel, requestFile, stdoutText, stderrText);
}

void ScriptChannelHook::invokeCommand(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                                      std::string& stderrText) {
    runHookScript(channel, requestFile, stdoutText, stderrText);
}

void ScriptChannelHook::runHookScript(Channel*, const std::string& requestFile, std::string& stdoutText,
                                      std::string& stderrText) {
    const std::string script = getScriptFilename();
    const CommandLine commandLine = buildRunCommandLine(script, requestFile);
    tools::TempFile stdoutFile;
    tools::TempFile stderrFile;
    getScriptingEngine().runScript(commandLine, tools::getDirectoryOf(script), stdoutFile, stderrFile);
    appendFile(stdoutFile.getFilename(), stdoutText);
    appendFile(stderrFile.getFilename(), stderrText);
}

}  // namespace channels
