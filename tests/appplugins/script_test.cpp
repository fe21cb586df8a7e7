#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/exception.h"
#include "channels/rss/rssChannel.h"
#include "channels/appPlugins/scriptAppPlugin.h"
#include "channels/plugin/scriptingEngine.h"
#include "tests/support/test_support.h"

using namespace channels;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// A script plug-in whose script lies in a sub-folder of its definition and
// echoes its request file.
class ScriptPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TMP", dir_.str().c_str(), 1);
        setFileTypeCommands({{".py", "python3 %1 %*"}});
        getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
        getScriptingEngine().setStandardParam("AppName", "orvan");
        getAppPluginManager().setServerPorts(2604, 2605);

        std::filesystem::create_directories(dir_.path() / "scripts");
        std::filesystem::copy_file(testsupport::sourceDir() + "/appplugins/data/echo_request.py",
                                   dir_.path() / "scripts" / "echo.py");
        definition_ = dir_.file("echo.plugin");
        writeFile(definition_,
                  "[Config]\nPlugin=scripts/echo.py\n"
                  "[PluginParameterDefinition-1]\nName=Greeting\nType=string\nDefaultValue=hello\n"
                  "[ChannelParameterDefinition-1]\nName=Topic\nType=string\nDefaultValue=general\n");
        plugin_ = std::make_unique<ScriptAppPlugin>(&getAppPluginManager());
        plugin_->loadAppPlugin(definition_);
    }
    void TearDown() override {
        plugin_.reset();
        setFileTypeCommands({});
        ::unsetenv("TMP");
    }

    std::string request(const std::string& name, const std::string& params, Channel* channel = nullptr) {
        std::string page;
        plugin_->processRequest(name, params, page, channel);
        return page;
    }

    testsupport::TempDir dir_;
    std::string definition_;
    std::unique_ptr<ScriptAppPlugin> plugin_;
};

TEST_F(ScriptPluginTest, MainPageComesFromTheScriptInItsSubFolder) {
    EXPECT_EQ(plugin_->getScriptFilename(), dir_.str() + "/scripts/echo.py");
    plugin_->generateMainPage();
    const std::string page = readFile(plugin_->getOutputFilename());
    EXPECT_THAT(page, HasSubstr("System.Command=GenerateMainPage\n"));
    EXPECT_THAT(page, HasSubstr("System.AppServerUrl=http://127.0.0.1:2604\n"));
    EXPECT_THAT(page, HasSubstr("System.AppPluginServerUrl=http://127.0.0.1:2605\n"));
    EXPECT_THAT(page, HasSubstr("System.AppName=orvan\n"));
    EXPECT_THAT(page, HasSubstr("PluginParameters.Greeting=hello\n"));
    EXPECT_THAT(page, Not(HasSubstr("PluginRequest")));
    EXPECT_THAT(page, Not(HasSubstr("ChannelConfigFile")));
}

TEST_F(ScriptPluginTest, RequestsCarryTheirNameAndParametersAsReceived) {
    plugin_->setPluginParamValues({{"Greeting", "hi there"}});
    const std::string page = request("items", "a=1&b=%41?x= y");
    EXPECT_THAT(page, HasSubstr("System.Command=ProcessRequest\n"));
    EXPECT_THAT(page, HasSubstr("System.PluginRequest=items\n"));
    EXPECT_THAT(page, HasSubstr("System.ParamString=a=1&b=%41?x= y\n"));
    EXPECT_THAT(page, HasSubstr("PluginParameters.Greeting=hi there\n"));
    EXPECT_THAT(page, Not(HasSubstr("ChannelConfigFile")));
    EXPECT_THAT(page, Not(HasSubstr("ChannelParameters.")));

    EXPECT_THAT(request("items", ""), HasSubstr("System.ParamString=\n"));
}

TEST_F(ScriptPluginTest, RequestsForAChannelCarryItsFileAndParameters) {
    RssChannel channel(nullptr, dir_.file("channel.rss"));
    channel.getRssChannelConfig().getChannelParameters()["Topic"] = "sports";
    const std::string page = request("feed", "", &channel);
    EXPECT_THAT(page, HasSubstr("System.ChannelConfigFile=" + dir_.file("channel.rss") + "\n"));
    EXPECT_THAT(page, HasSubstr("ChannelParameters.Topic=sports\n"));

    RssChannel fresh(nullptr, dir_.file("fresh.rss"));
    EXPECT_THAT(request("feed", "", &fresh), HasSubstr("ChannelParameters.Topic=general\n"));
}

TEST_F(ScriptPluginTest, OutputIsReadAsTextAndErrorsBecomeTheErrorPage) {
    const std::string crlf = request("items", "crlf");
    EXPECT_THAT(crlf, HasSubstr("System.PluginRequest=items\n"));
    EXPECT_EQ(crlf.find('\r'), std::string::npos);

    // A page with a warning on standard error is replaced by the error page.
    const std::string warned = request("items", "warn");
    EXPECT_THAT(warned, HasSubstr("The script caused an error:"));
    EXPECT_THAT(warned, HasSubstr("deprecated option"));
    EXPECT_THAT(warned, Not(HasSubstr("System.PluginRequest")));
}

}  // namespace
