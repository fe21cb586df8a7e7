// Script hooks as child processes: exit codes, standard output in the hook's
// log, the working directory, events and commands told apart by the
// request, and the time-out.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "channels/hooks/channelHook.h"
#include "tests/channels/channel_fixture.h"
#include "tests/hooks/hook_fixture.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace {

using channels::ChannelHook;

class ScriptHookTest : public hooktest::HookTestBase {
protected:
    // A hook running `body` (shell text after a line that saves the request
    // path), wanting BeginChannelUpdate; logOn switches its log on.
    std::unique_ptr<ChannelHook> scriptHook(const std::string& body, bool logOn) {
        hooktest::writeScript(dir.file("hook.sh"), hooktest::recordingScript(recordDir, body));
        const std::string file = dir.file("hook.hook");
        testsupport::writeFile(file, "[Config]\nScriptFilename=hook.sh\n[Events]\nBeginChannelUpdate=1\n");
        if (logOn) tools::writeIniString(channelFile, "ChannelHookConfig-1", "_EnableLogFile", "1");
        return load(file, channelFile);
    }
};

TEST_F(ScriptHookTest, ExitCodeIsIgnoredOnlyStandardErrorFails) {
    std::unique_ptr<ChannelHook> hook = scriptHook("exit 3\n", true);
    bool failed = true;
    hook->executeCommand(&channel, "Run", &failed);
    EXPECT_FALSE(failed);
    hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    EXPECT_EQ(hookLog(*hook).find("STDERR:"), std::string::npos) << hookLog(*hook);
}

TEST_F(ScriptHookTest, OutputIsLoggedAndTheRequestTellsEventFromCommand) {
    std::unique_ptr<ChannelHook> hook =
        scriptHook("echo OK\npwd\ngrep '^Command=' \"$1\"\ngrep '^CommandName=' \"$1\"\n", true);
    hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    hook->executeCommand(&channel, "Refresh", nullptr);

    const std::string log = hookLog(*hook);
    const std::string::size_type event = log.find("Raising the channel event: BeginChannelUpdate");
    const std::string::size_type command = log.find("Executing the channel command: Refresh");
    ASSERT_NE(event, std::string::npos) << log;
    ASSERT_NE(command, std::string::npos) << log;
    const std::string eventPart = log.substr(event, command - event);
    const std::string commandPart = log.substr(command);
    EXPECT_NE(eventPart.find("STDOUT:"), std::string::npos);
    EXPECT_NE(eventPart.find("OK"), std::string::npos);
    // The script runs in its own directory.
    EXPECT_NE(eventPart.find(std::filesystem::canonical(dir.path()).string()), std::string::npos) << eventPart;
    EXPECT_NE(eventPart.find("Command=ProcessEvent"), std::string::npos);
    EXPECT_EQ(eventPart.find("CommandName="), std::string::npos);
    EXPECT_NE(commandPart.find("Command=ProcessCommand"), std::string::npos);
    EXPECT_NE(commandPart.find("CommandName=Refresh"), std::string::npos);
    EXPECT_EQ(log.find("STDERR:"), std::string::npos);
    EXPECT_EQ(log.find("error has occured"), std::string::npos);
}

TEST_F(ScriptHookTest, AScriptPastTheTimeOutIsStoppedAndItsRequestRemoved) {
    channels::getScriptingEngine().setScriptTimeout(1);
    std::unique_ptr<ChannelHook> hook = scriptHook("sleep 20\n", false);
    const auto start = std::chrono::steady_clock::now();
    try {
        hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
        ADD_FAILURE() << "the time-out was not reported";
    } catch (const channels::Exception& e) {
        EXPECT_EQ(e.getMessage(), "The script timed out.");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    const std::string request = testsupport::readFile(recordDir + "/path-0.txt");
    ASSERT_FALSE(request.empty());
    EXPECT_FALSE(std::filesystem::exists(request));
    // A failure of the run itself is no error text of the hook.
    EXPECT_EQ(hookLog(*hook).find("error has occured"), std::string::npos);
}

}  // namespace
