// Hook definitions and attachments: the factory, the definition file, the
// events a hook asked for, per-channel configuration and private settings,
// shared global values, commands and the hook's own log.
#include <gtest/gtest.h>

#include <filesystem>

#include "channels/hooks/channelHook.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/hooks/scriptChannelHook.h"
#include "tests/channels/channel_fixture.h"
#include "tests/hooks/hook_fixture.h"
#include "tools/tempFile.h"
#include "tools/ini.h"

namespace {

using channels::ChannelHook;

class ChannelHookTest : public hooktest::HookTestBase {
protected:
    std::string writeHook(const std::string& name, const std::string& text) {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, text);
        return path;
    }
    // A recording script hook that wants the given [Events] lines.
    std::string recordingHook(const std::string& name, const std::string& events, const std::string& more = "",
                              const std::string& scriptTail = "") {
        hooktest::writeScript(dir.file(name + ".sh"), hooktest::recordingScript(recordDir, scriptTail));
        return writeHook(name + ".hook", "[Config]\nScriptFilename=" + name + ".sh\n[Events]\n" + events + more);
    }
};

TEST_F(ChannelHookTest, FactoryChoosesTheKindByTheCodesExtension) {
    struct Case {
        const char* scriptFilename;
        bool library;
    } cases[] = {
        {"Hook.DLL", true}, {"hook.dll", true}, {"hook.dll.txt", false}, {"hook", false}, {"notify.sh", false}};
    for (const Case& c : cases) {
        const std::string file = writeHook("kind.hook", std::string("[Config]\nScriptFilename=") + c.scriptFilename);
        std::unique_ptr<ChannelHook> hook = channels::createChannelHook(file);
        EXPECT_EQ(dynamic_cast<channels::DllChannelHook*>(hook.get()) != nullptr, c.library) << c.scriptFilename;
        EXPECT_EQ(dynamic_cast<channels::ScriptChannelHook*>(hook.get()) != nullptr, !c.library) << c.scriptFilename;
    }

    for (const std::string& text : {std::string("[Config]\nScriptFilename=  \n"), std::string("[Config]\n")}) {
        const std::string file = writeHook("empty.hook", text);
        try {
            channels::createChannelHook(file);
            ADD_FAILURE() << "no exception for " << text;
        } catch (const channels::Exception& e) {
            EXPECT_EQ(e.getMessage(), "Missing ScriptFilename parameter: " + file);
        }
    }
    const std::string missing = dir.file("missing.hook");
    EXPECT_THROW(channels::createChannelHook(missing), channels::Exception);
}

TEST_F(ChannelHookTest, DefinitionFileGivesCodePathAndTexts) {
    const std::string bare = writeHook("notify.hook",
                                       "[Config]\nScriptFilename=notify.sh\nAuthorName=Ann\n"
                                       "AuthorEmailAddress=ann@example.test\nNotes=Sends%20notes\n");
    std::unique_ptr<ChannelHook> hook = load(bare, channelFile);
    EXPECT_EQ(hook->getScriptFilename(), dir.str() + "/notify.sh");
    EXPECT_EQ(hook->getDisplayName(), "notify.hook");
    EXPECT_EQ(hook->getConfigFilename(), bare);
    EXPECT_EQ(hook->getAuthorName(), "Ann");
    EXPECT_EQ(hook->getAuthorEmailAddress(), "ann@example.test");
    EXPECT_EQ(hook->getNotes(), "Sends notes");
    EXPECT_FALSE(hook->isLogEnabled());

    const std::string relative =
        writeHook("sub.hook", "[Config]\nScriptFilename=sub/notify.sh\nDisplayName=Notifier\n");
    hook = load(relative, channelFile);
    EXPECT_EQ(hook->getScriptFilename(), "sub/notify.sh");
    EXPECT_EQ(hook->getDisplayName(), "Notifier");
}

TEST_F(ChannelHookTest, OnlyWantedEventsReachTheHookAndLeaveTraces) {
    const std::string file = recordingHook("events", "BeginChannelUpdate=1\nEndChannelUpdate=0\nchannelhookloaded=1\n");
    std::unique_ptr<ChannelHook> hook = load(file, channelFile);

    EXPECT_TRUE(hook->wantsEvent("BeginChannelUpdate"));
    EXPECT_FALSE(hook->wantsEvent("EndChannelUpdate"));
    EXPECT_FALSE(hook->wantsEvent("ChannelHookLoaded"));
    EXPECT_FALSE(hook->wantsEvent("NewFeedItem"));

    hooktest::LogCapture log;
    hook->raiseEvent(&channel, channels::EndChannelUpdateEvent(1, &channel, true, false));
    hook->raiseEvent(&channel, channels::ChannelHookLoadedEvent(1, &channel, hook.get()));
    EXPECT_TRUE(hooktest::recordedRequests(recordDir, "req-").empty());
    EXPECT_EQ(log.text(), "");

    hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    const auto requests = hooktest::recordedRequests(recordDir, "req-");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(tools::getIniString(requests[0], "Config", "EventName", "", false), "BeginChannelUpdate");
    EXPECT_NE(log.text().find("Raising the channel event: BeginChannelUpdate"), std::string::npos);
}

TEST_F(ChannelHookTest, AttachmentConfigurationAndPrivateSettingsRoundTrip) {
    const std::string file = recordingHook("attach", "",
                                           "[ChannelHookParameterDefinition-1]\nName=Target\nType=string\n"
                                           "DefaultValue=nowhere\n"
                                           "[ChannelHookParameterDefinition-2]\nName=Count\nType=int\n"
                                           "DefaultValue=3\n");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "_EnableLogFile", "1");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Target", "inbox");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Stray", "not a parameter");
    tools::writeIniString(channelFile, "ChannelHookSettings-1", "Token", "abc");
    std::unique_ptr<ChannelHook> hook = load(file, channelFile);

    channels::ParamDefs defs;
    channels::ParamValues values;
    hook->getChannelParams(defs, values);
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(values, (channels::ParamValues{{"Count", "3"}, {"Target", "inbox"}}));
    EXPECT_TRUE(hook->isLogEnabled());
    EXPECT_EQ(tools::getIniString(hook->getSettingsFilename(), "Settings", "Token", "", false), "abc");

    // What the hook stores in its private file goes into the channel file.
    tools::writeIniString(hook->getSettingsFilename(), "Settings", "Written", "by the hook");
    const std::string saved = dir.file("saved.rss");
    hook->saveSettings(saved, "ChannelHookConfig-2", "ChannelHookSettings-2");
    EXPECT_EQ(tools::getIniKeyNames(saved, "ChannelHookConfig-2"),
              (std::vector<std::string>{"_DisplayName", "_EnableLogFile", "Count", "Target"}));
    EXPECT_EQ(tools::getIniString(saved, "ChannelHookConfig-2", "_DisplayName", "", false), "attach.hook");
    EXPECT_EQ(tools::getIniString(saved, "ChannelHookConfig-2", "_EnableLogFile", "", false), "1");
    EXPECT_EQ(tools::getIniString(saved, "ChannelHookSettings-2", "Token", "", false), "abc");
    EXPECT_EQ(tools::getIniString(saved, "ChannelHookSettings-2", "Written", "", false), "by the hook");

    // Once saved, the attachment keeps its name when the definition changes.
    testsupport::writeFile(file, "[Config]\nScriptFilename=attach.sh\nDisplayName=Renamed\n");
    std::unique_ptr<ChannelHook> again = channels::createChannelHook(file);
    again->loadSettings(file, saved, "ChannelHookConfig-2", "ChannelHookSettings-2");
    EXPECT_EQ(again->getDisplayName(), "attach.hook");
    EXPECT_EQ(tools::getIniString(again->getSettingsFilename(), "Settings", "Written", "", false), "by the hook");
    EXPECT_NE(again->getSettingsFilename(), hook->getSettingsFilename());
}

TEST_F(ChannelHookTest, GlobalValuesAreSharedByEveryAttachmentOfADefinition) {
    const std::string file = recordingHook("global", "BeginChannelUpdate=1\n",
                                           "[GlobalChannelHookParameterDefinition-1]\nName=Server\nType=string\n"
                                           "DefaultValue=smtp.local\n");
    std::unique_ptr<ChannelHook> first = load(file, channelFile);
    std::unique_ptr<ChannelHook> second = load(file, dir.file("other.rss"));

    first->setGlobalParamValues({{"Server", "mail.example.test"}});
    second->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    const auto requests = hooktest::recordedRequests(recordDir, "req-");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(tools::getIniString(requests[0], "GlobalChannelHookParameters", "Server", "", false),
              "mail.example.test");

    second->saveSettings(channelFile, "ChannelHookConfig-1", "ChannelHookSettings-1");
    EXPECT_EQ(tools::getIniString(dir.file("config.ini"), file, "Server", "", false), "mail.example.test");
}

// Password parameters are stored enciphered (global ones in config.ini, the
// attachment's in the channel file); values stored plain earlier still read,
// and the hook gets the plain values in a request file only its owner reads.
TEST_F(ChannelHookTest, PasswordParametersAreStoredEncipheredAndPlainOnesStillRead) {
    const std::string file = recordingHook("secret", "BeginChannelUpdate=1\n",
                                           "[GlobalChannelHookParameterDefinition-1]\nName=Mail Server Password\n"
                                           "Type=string\n[GlobalChannelHookParameterDefinition-2]\nName=Server\n"
                                           "Type=string\n[ChannelHookParameterDefinition-1]\nName=Relay Passwd\n"
                                           "Type=string\n",
                                           "stat -c %a \"$1\" >> '" + recordDir + "'/modes.txt\n");
    // Stored plain, as before.
    tools::writeIniString(dir.file("config.ini"), file, "Mail Server Password", " old 50%pw");
    tools::writeIniString(dir.file("config.ini"), file, "Server", "mail.example.test");
    tools::writeIniString(channelFile, "ChannelHookConfig-1", "Relay Passwd", "hunter2");
    const auto requestValues = [&](std::size_t n) {
        const auto requests = hooktest::recordedRequests(recordDir, "req-");
        EXPECT_GT(requests.size(), n);
        if (requests.size() <= n) return std::make_pair(std::string(), std::string());
        return std::make_pair(
            tools::getIniString(requests[n], "GlobalChannelHookParameters", "Mail Server Password", "", false),
            tools::getIniString(requests[n], "ChannelHookParameters", "Relay Passwd", "", false));
    };

    std::unique_ptr<ChannelHook> hook = load(file, channelFile);
    hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    EXPECT_EQ(requestValues(0), std::make_pair(std::string("old 50%pw"), std::string("hunter2")));

    // Saved: enciphered, the other values plain as ever.
    hook->setGlobalParamValues({{"Mail Server Password", "s3cret% x"}, {"Server", "mail.example.test"}});
    hook->saveSettings(channelFile, "ChannelHookConfig-1", "ChannelHookSettings-1");
    const std::string config = testsupport::readFile(dir.file("config.ini"));
    const std::string channelText = testsupport::readFile(channelFile);
    EXPECT_EQ(config.find("s3cret"), std::string::npos) << config;
    EXPECT_EQ(config.find("old"), std::string::npos) << config;
    EXPECT_NE(config.find("Mail Server Password=%~"), std::string::npos) << config;
    EXPECT_NE(config.find("Server=mail.example.test"), std::string::npos) << config;
    EXPECT_EQ(channelText.find("hunter2"), std::string::npos) << channelText;
    EXPECT_NE(channelText.find("Relay Passwd=%~"), std::string::npos) << channelText;

    std::unique_ptr<ChannelHook> again = load(file, channelFile);
    again->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    EXPECT_EQ(requestValues(1), std::make_pair(std::string("s3cret% x"), std::string("hunter2")));
    EXPECT_EQ(testsupport::readFile(recordDir + "/modes.txt"), "600\n600\n");
}

TEST_F(ChannelHookTest, CommandsAreReadInOrderAndAlwaysPassedOn) {
    const std::string file = recordingHook("commands", "",
                                           "[ChannelHookCommandDefinition-1]\nName=Resend\nDisplayName=Send again\n"
                                           "[ChannelHookCommandDefinition-2]\nName=Clear\n"
                                           "[ChannelHookCommandDefinition-4]\nName=Hidden\n",
                                           "[ \"$(grep -c 'CommandName=Clear' \"$1\")\" = 1 ] && echo refused >&2\n"
                                           "exit 0\n");
    std::unique_ptr<ChannelHook> hook = load(file, channelFile);
    channels::CommandDefs commands;
    hook->getCommandDefs(commands);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].name, "Resend");
    EXPECT_EQ(commands[0].displayName, "Send again");
    EXPECT_EQ(commands[1].name, "Clear");
    EXPECT_EQ(commands[1].displayName, "");

    bool failed = true;
    hook->executeCommand(&channel, "Resend", &failed);
    EXPECT_FALSE(failed);
    hook->executeCommand(&channel, "Clear", &failed);
    EXPECT_TRUE(failed);
    hook->executeCommand(&channel, "Clear", nullptr);
    EXPECT_EQ(hooktest::recordedRequests(recordDir, "req-").size(), 3u);
}

TEST_F(ChannelHookTest, ErrorsReachTheHookLogEvenWhenItIsOff) {
    const std::string file = recordingHook("errors", "BeginChannelUpdate=1\n", "", "echo 'it broke' >&2\n");
    std::unique_ptr<ChannelHook> hook = load(file, channelFile);
    ASSERT_FALSE(hook->isLogEnabled());

    hooktest::LogCapture log;
    hook->raiseEvent(&channel, channels::BeginChannelUpdateEvent(1, &channel));
    const std::string hookLog = testsupport::readFile(hook->getLogFile().getFilename());
    EXPECT_NE(hookLog.find("A channel hook error has occured:"), std::string::npos) << hookLog;
    EXPECT_NE(hookLog.find("it broke"), std::string::npos);
    EXPECT_EQ(hookLog.find("Raising the channel event"), std::string::npos) << "the log was off";
    EXPECT_FALSE(hook->isLogEnabled());
    EXPECT_NE(log.text().find("STDERR:"), std::string::npos);
    EXPECT_NE(log.text().find("it broke"), std::string::npos);
}

}  // namespace
