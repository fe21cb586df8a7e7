#include "channels/hooks/scriptChannelHook.h"

#include "channels/plugin/scriptingEngine.h"
#include "tools/files.h"
#include "tools/tempFile.h"

namespace channels {

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
    appendFileText(stdoutFile.getFilename(), stdoutText);
    appendFileText(stderrFile.getFilename(), stderrText);
}

}  // namespace channels
