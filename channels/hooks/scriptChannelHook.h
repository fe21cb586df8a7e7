#pragma once
// A channel hook whose code is a script or program: every event it wants and
// every command runs it once as a child process (channels/scriptingEngine.h)
// with the request file as its argument, in the script's directory, on the
// calling thread. The request's Config keys Command ("ProcessEvent" or
// "ProcessCommand"), EventName and CommandName tell the script what to do.
// Text on standard error is the hook's error; the exit code is not looked at.
#include <string>

#include "channels/hooks/channelHook.h"

namespace channels {

class ScriptChannelHook : public ChannelHook {
public:
    void invokeEvent(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                     std::string& stderrText) override;
    void invokeCommand(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                       std::string& stderrText) override;
    // Runs the script; errors of the run (time-out, no program for the file
    // type) are thrown by the scripting engine.
    virtual void runHookScript(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                               std::string& stderrText);
};

}  // namespace channels
