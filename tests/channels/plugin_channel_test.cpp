#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "channels/exception.h"
#include "channels/plugin/pluginChannel.h"
#include "channels/plugin/pluginChannelConfig.h"
#include "channels/plugin/pluginRequestFile.h"
#include "channels/plugin/scriptingEngine.h"
#include "tests/channels/rsschannel_fixture.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

using namespace channels;
using ::testing::HasSubstr;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

std::string fixture(const std::string& name) { return testsupport::sourceDir() + "/channels/data/plugin/" + name; }

class PluginChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptingEngine& engine = getScriptingEngine();
        engine.setUserConfigFilename(dir_.file("config.ini"));
        engine.setScriptTimeout(15);
        engine.setMaxScriptOutputSize(ScriptingEngine::kDefaultMaxScriptOutputSize);
        engine.setStandardParam("AppName", "orvan");
        engine.setStandardParam("UserName", "J. Doe 100%");
        engine.setStandardParam("VersionString", "1.0");
        setFileTypeCommands({{".sh", "/bin/sh %1 %*"}, {".py", "python3 %1 %*"}});
    }
    void TearDown() override {
        getScriptingEngine().setScriptTimeout(15);
        getScriptingEngine().setMaxScriptOutputSize(ScriptingEngine::kDefaultMaxScriptOutputSize);
    }

    // Copies a fixture script and its definition file into `folder` (below
    // the test's folder) as `name` + the script's extension.
    std::string installScript(const std::string& fixtureStem, const std::string& extension, const std::string& folder,
                              const std::string& name) {
        const std::string target = dir_.file(folder);
        std::filesystem::create_directories(target);
        writeFile(target + "/" + name + extension, readFile(fixture(fixtureStem + extension)));
        writeFile(target + "/" + name + ".plugin", readFile(fixture(fixtureStem + ".plugin")));
        return target + "/" + name + extension;
    }

    // A channel file naming the script, with channel parameter values, loaded.
    std::unique_ptr<PluginChannel> makeChannel(ChannelManager* manager, const std::string& channelFile,
                                               const std::string& script, const ParamValues& channelValues = {}) {
        tools::writeIniString(channelFile, "Config", "ScriptFilename", script);
        for (const auto& [name, value] : channelValues)
            tools::writeIniString(channelFile, "ChannelParameters", name, value);
        auto channel = std::make_unique<PluginChannel>(manager, channelFile);
        channel->load();
        return channel;
    }

    static std::string update(PluginChannel& channel, bool* unchangedOut = nullptr) {
        std::string feed;
        bool unchanged = true;
        channel.update(feed, false, unchanged);
        if (unchangedOut) *unchangedOut = unchanged;
        return feed;
    }

    testsupport::TempDir dir_;
};

TEST_F(PluginChannelTest, ConfigurationFromChannelAndDefinitionFiles) {
    const std::string script = installScript("feed", ".sh", "scripts", "feed");
    auto channel = makeChannel(nullptr, dir_.file("one.plugin"), script, {{"Title", "mine"}});
    const PluginChannelConfig& config = channel->getPluginChannelConfig();
    EXPECT_EQ(channel->getSourceUrl(), script);
    EXPECT_EQ(config.getDefaultDisplayName(), script);
    EXPECT_EQ(config.getAuthorName(), "Test Author");
    EXPECT_EQ(config.getAuthorEmailAddress(), "author@example.test");
    EXPECT_EQ(config.getPluginNotes(), "Writes a feed chosen by its channel parameters.");
    ASSERT_EQ(config.getChannelParamDefCount(), 3);
    EXPECT_EQ(config.getChannelParamValues(), (ParamValues{{"Mode", "ok"}, {"Title", "mine"}, {"DownloadUrl", ""}}));
    ParamDefs defs;
    ParamValues values;
    config.getPluginParams(&defs, &values);
    ASSERT_EQ(defs.size(), 1u);
    EXPECT_EQ(defs[0].name, "Greeting");
    EXPECT_EQ(values, (ParamValues{{"Greeting", "Hello"}}));

    // Loading again lists every parameter once.
    channel->getPluginChannelConfig().loadPluginDefinition(script);
    EXPECT_EQ(config.getChannelParamDefCount(), 3);

    // Saving writes the script and every channel value back.
    channel->getPluginChannelConfig().getChannelParamValues()["Mode"] = "error";
    channel->save();
    EXPECT_EQ(tools::getIniString(dir_.file("one.plugin"), "Config", "ScriptFilename", "", false), script);
    EXPECT_EQ(tools::getIniString(dir_.file("one.plugin"), "ChannelParameters", "Mode", "", false), "error");

    // A script without a definition file still has a configuration.
    // It still runs; its request has no parameter sections.
    writeFile(dir_.file("bare.sh"), "grep '^\\[' \"$1\" | tr -d '\\n'\n");
    auto bare = makeChannel(nullptr, dir_.file("bare.plugin"), dir_.file("bare.sh"));
    EXPECT_EQ(bare->getPluginChannelConfig().getChannelParamDefCount(), 0);
    EXPECT_EQ(bare->getPluginChannelConfig().getAuthorName(), "");
    EXPECT_EQ(update(*bare), "[System]");
}

TEST_F(PluginChannelTest, RequestFileSectionsOrderAndEncoding) {
    const std::string script = installScript("feed", ".sh", "scripts", "feed");
    auto channel = makeChannel(nullptr, dir_.file("req.plugin"), script);
    const ParamDefs pluginDefs = {{"B", ParamTypeString, "defB", "", "", ""},
                                  {"A", ParamTypeString, "defA", "", "", ""}};
    const ParamDefs channelDefs = {{"Lines", ParamTypeString, "", "", "", ""}, {"Gone", ParamTypeInt, "7", "", "", ""}};

    auto request = writePluginChannelRequestFile("ProcessRequest", pluginDefs, {{"B", ""}}, channelDefs,
                                                 {{"Lines", "one\r\ntwo 50%"}}, *channel);
    const std::string file = request->getFilename();
    EXPECT_EQ(tools::getIniKeyNames(file, "System"),
              (std::vector<std::string>{"Command", "AppServerUrl", "AppPluginServerUrl", "ChannelConfigFile", "AppName",
                                        "UserName", "VersionString"}));
    EXPECT_EQ(tools::getIniString(file, "System", "ChannelConfigFile", "", false), dir_.file("req.plugin"));
    EXPECT_EQ(tools::getIniString(file, "System", "UserName", "", false), "J. Doe 100%");
    // Present-but-empty values stay empty; missing ones take the default.
    EXPECT_EQ(tools::getIniKeyNames(file, "PluginParameters"), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(tools::getIniString(file, "PluginParameters", "B", "x", false), "");
    EXPECT_EQ(tools::getIniString(file, "PluginParameters", "A", "", false), "defA");
    EXPECT_EQ(tools::getIniString(file, "ChannelParameters", "Gone", "", false), "7");
    const std::string raw = readFile(file);
    EXPECT_THAT(raw, HasSubstr("Lines=one%0D%0Atwo 50%25\n"));
    EXPECT_THAT(raw, HasSubstr("UserName=J. Doe 100%25\n"));

    // Without definitions and without a channel there are no parameter
    // sections and no channel file.
    auto plain = writePluginRequestFile("GenerateMainPage", {}, {}, nullptr);
    EXPECT_EQ(tools::getIniSectionNames(plain->getFilename()), (std::vector<std::string>{"System"}));
    EXPECT_EQ(tools::getIniString(plain->getFilename(), "System", "Command", "", false), "GenerateMainPage");
    EXPECT_EQ(tools::getIniString(plain->getFilename(), "System", "ChannelConfigFile", "none", false), "none");
    const std::string gone = plain->getFilename();
    plain.reset();
    EXPECT_FALSE(std::filesystem::exists(gone));
}

TEST_F(PluginChannelTest, PythonPluginChecksItsOwnRequest) {
    const std::string script = installScript("check_request", ".py", "py", "check_request");
    auto channel = makeChannel(nullptr, dir_.file("checked.plugin"), script, {{"Note", "x y"}});
    channel->getPluginChannelConfig().setPluginParamValues({{"Token", "a\r\nb 100%"}, {"Empty", ""}});
    bool unchanged = true;
    const std::string feed = update(*channel, &unchanged);
    EXPECT_FALSE(unchanged);
    EXPECT_THAT(feed, HasSubstr("<guid>request-ok</guid>")) << feed;
    // The values went to the user configuration file, in the script's section.
    EXPECT_EQ(tools::getIniString(dir_.file("config.ini"), script, "Token", "", false), "a\r\nb 100%");
}

TEST_F(PluginChannelTest, ShellPluginOutcomes) {
    struct Case {
        const char* mode;
        const char* expected;  // a piece of the feed text
    };
    const Case cases[] = {
        {"ok", "<item><guid>first</guid><title>first</title>"},
        {"error", "<P>The script caused an error:\n<PRE style='margin-left:30px'>\nwent &lt;wrong&gt; &amp; stopped\n"},
        {"fail", "<P>The script failed: rc=-1\n"},
        {"silent", "<P>The script failed: rc=0\n"},
    };
    // The script lies in a folder and has a name with blanks.
    const std::string script = installScript("feed", ".sh", "my plug-ins", "feed script");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        auto channel = makeChannel(nullptr, dir_.file(std::string(c.mode) + ".plugin"), script, {{"Mode", c.mode}});
        const std::string feed = update(*channel);
        EXPECT_THAT(feed, HasSubstr(c.expected)) << feed;
        if (std::string(c.mode) == "ok") {
            EXPECT_THAT(feed, HasSubstr("<title>Hello</title>"));
        }
    }
}

TEST_F(PluginChannelTest, HangingAndFloodingPluginsAreStopped) {
    const std::string script = installScript("feed", ".sh", "scripts", "feed");
    getScriptingEngine().setScriptTimeout(1);
    auto hang = makeChannel(nullptr, dir_.file("hang.plugin"), script, {{"Mode", "hang"}});
    std::string feed = "previous";
    bool unchanged = false;
    try {
        hang->update(feed, false, unchanged);
        FAIL() << "no time-out";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "The script timed out.");
    }
    EXPECT_EQ(feed, "previous");

    getScriptingEngine().setScriptTimeout(15);
    getScriptingEngine().setMaxScriptOutputSize(256 * 1024);
    auto flood = makeChannel(nullptr, dir_.file("flood.plugin"), script, {{"Mode", "flood"}});
    try {
        flood->update(feed, false, unchanged);
        FAIL() << "no output limit";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "The script's output exceeds the limit of 262144 bytes.");
    }
}

TEST_F(PluginChannelTest, HostDownloadIsStoredByteForByteWithValidators) {
    testsupport::HttpServer server;
    const std::string body("line1\r\nline2\nbinary\0\xff\rend", 25);
    writeFile(dir_.file("download.bin"), body);
    testsupport::HttpAnswer answer;
    answer.bodyFile = dir_.file("download.bin");
    answer.etag = "\"v1\"";
    server.route("/data", answer);
    server.route("/broken", testsupport::HttpAnswer::text("no", 500));

    nettest::Engine engine;
    const std::string script = installScript("check_request", ".py", "py", "check_request");
    getScriptingEngine().saveParamValues(script, {});
    auto channel = makeChannel(engine.manager.get(), dir_.file("dl.plugin"), script,
                               {{"Note", "x y"}, {"DownloadUrl", server.url("/data")}});
    channel->getPluginChannelConfig().setPluginParamValues({{"Token", "a\r\nb 100%"}, {"Empty", ""}});

    std::string feed = update(*channel);
    EXPECT_THAT(feed, HasSubstr("<guid>download-ok</guid>")) << feed;

    // The second update sends the stored validators; 304 runs nothing and
    // leaves the feed text alone.
    std::string again = "previous";
    bool unchanged = false;
    channel->update(again, false, unchanged);
    EXPECT_TRUE(unchanged);
    EXPECT_EQ(again, "previous");
    auto requests = server.requests("/data");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[0].hasHeader("If-None-Match"));
    EXPECT_EQ(requests[1].header("If-None-Match"), "\"v1\"");

    auto broken = makeChannel(engine.manager.get(), dir_.file("broken.plugin"), script,
                              {{"Note", "x y"}, {"DownloadUrl", server.url("/broken")}});
    try {
        update(*broken);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), ::testing::StartsWith("Feed update error: HTTP 500 "));
    }
}

TEST_F(PluginChannelTest, ChannelDownloadUrlWinsOverThePluginOne) {
    testsupport::HttpServer server;
    server.route("/feed", testsupport::HttpAnswer::text(nettest::rssFeed({"downloaded"})));
    nettest::Engine engine;
    const std::string script = installScript("feed", ".sh", "scripts", "feed");
    // The script has a plug-in parameter DownloadUrl in this copy.
    tools::writeIniString(tools::replaceFileExtension(script, ".plugin"), "PluginParameterDefinition-2", "Name",
                          "DownloadUrl");
    tools::writeIniString(tools::replaceFileExtension(script, ".plugin"), "PluginParameterDefinition-2", "Type",
                          "string");
    auto channel = makeChannel(engine.manager.get(), dir_.file("dl.plugin"), script, {{"Mode", "download"}});
    channel->getPluginChannelConfig().setPluginParamValues({{"DownloadUrl", server.url("/feed")}});

    // The channel's own (empty) value means: no download.
    std::string feed = update(*channel);
    EXPECT_THAT(feed, HasSubstr("The script")) << feed;
    EXPECT_TRUE(server.requests("/feed").empty());

    // With the channel value gone, the plug-in's value is used.
    channel->getPluginChannelConfig().getChannelParamValues().erase("DownloadUrl");
    feed = update(*channel);
    EXPECT_THAT(feed, HasSubstr("<guid>downloaded</guid>")) << feed;
    EXPECT_EQ(server.requests("/feed").size(), 1u);
}

TEST_F(PluginChannelTest, DeletingAChannelKeepsValuesOtherChannelsOfTheScriptUse) {
    nettest::Engine engine;
    const std::string script = installScript("feed", ".sh", "scripts", "feed");
    auto first = makeChannel(engine.manager.get(), engine.channelsDir + "/first.plugin", script);
    auto second = makeChannel(engine.manager.get(), engine.channelsDir + "/second.plugin", script);
    first->getPluginChannelConfig().setPluginParamValues({{"Greeting", "Shared"}});
    PluginChannel* one = first.release();
    PluginChannel* two = second.release();
    engine.manager->addChannel(one);
    engine.manager->addChannel(two);
    const std::string userConfig = dir_.file("config.ini");

    engine.manager->deleteChannel(one, nullptr);
    EXPECT_FALSE(std::filesystem::exists(engine.channelsDir + "/first.plugin"));
    EXPECT_EQ(tools::getIniString(userConfig, script, "Greeting", "", false), "Shared");
    EXPECT_THAT(update(*two), HasSubstr("<title>Shared</title>"));

    engine.manager->deleteChannel(two, nullptr);
    EXPECT_EQ(tools::getIniString(userConfig, script, "Greeting", "gone", false), "gone");
}

TEST_F(PluginChannelTest, WorkerUpdatesPluginChannelsWithEvents) {
    // The manager knows ".plugin" channel files without being told.
    nettest::Engine engine;
    const std::string script = installScript("feed", ".sh", "scripts", "feed");
    tools::writeIniString(engine.channelsDir + "/good.plugin", "Config", "ScriptFilename", script);
    tools::writeIniString(engine.channelsDir + "/bad.plugin", "Config", "ScriptFilename", script);
    tools::writeIniString(engine.channelsDir + "/bad.plugin", "ChannelParameters", "Mode", "error");
    engine.manager->loadChannels();
    ASSERT_EQ(engine.manager->getChannelCount(), 2);
    Channel* good = engine.manager->findChannel(script);
    ASSERT_NE(good, nullptr);
    ASSERT_NE(dynamic_cast<PluginChannel*>(good), nullptr);

    {
        SharedLockGuard guard(&engine.manager->getLock(), __FILE__, __LINE__);
        for (Channel* channel : engine.manager->getChannels()) engine.manager->requestChannelUpdate(channel);
    }
    engine.manager->startChannelManager();
    ASSERT_TRUE(engine.recorder.waitFor("End:", 2, 20000));
    engine.manager->stopChannelManager(true);

    const auto events = engine.recorder.events();
    auto has = [&](const std::string& text) { return std::find(events.begin(), events.end(), text) != events.end(); };
    EXPECT_TRUE(has("Begin:good"));
    EXPECT_TRUE(has("End:good:ok:requested")) << ::testing::PrintToString(events);
    EXPECT_TRUE(has("End:bad:failed:requested")) << ::testing::PrintToString(events);
    auto count = [&](const std::string& prefix) {
        return std::count_if(events.begin(), events.end(),
                             [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    };
    EXPECT_EQ(count("New:good:"), 1) << ::testing::PrintToString(events);
    EXPECT_EQ(count("New:bad:"), 0);
    EXPECT_EQ(count("Error:bad:"), 1) << ::testing::PrintToString(events);
    // The fetched feed is stored in the channel file.
    EXPECT_THAT(readFile(engine.channelsDir + "/good.plugin"), HasSubstr("[Last Feed (1)]"));
}

}  // namespace
