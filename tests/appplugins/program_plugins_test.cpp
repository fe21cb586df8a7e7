// The frame shared by the program plug-ins listintake and groupfetch, and
// groupfetch as a whole, run as the staged programs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/appPlugins/scriptAppPlugin.h"
#include "channels/plugin/scriptingEngine.h"
#include "tests/appplugins/helper/programPluginRun.h"
#include "tests/support/test_support.h"

using programplugintest::runPlugin;
using programplugintest::writeRequest;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// The two programs differ in the key and variable of their main page.
struct Program {
    std::string name;
    std::string key;       // [System] key the main page needs
    std::string variable;  // variable of the template set from it
};
const std::vector<Program> kPrograms = {
    {"listintake", "AppPluginServerUrl", "APP_PLUGIN_SERVER_URL"},
    {"groupfetch", "AppServerUrl", "APP_SERVER_URL"},
};

class ProgramPluginFrameTest : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
};

TEST_F(ProgramPluginFrameTest, AnythingButOneArgumentIsRefusedWithoutReadingARequest) {
    for (const Program& p : kPrograms) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{}, std::vector<std::string>{dir_.file("a.ini"), dir_.file("b.ini")}}) {
            SCOPED_TRACE(p.name + " with " + std::to_string(args.size()) + " arguments");
            const auto run = runPlugin(p.name, args, dir_.str());
            EXPECT_EQ(run.exitCode, 255);
            EXPECT_EQ(run.err, "Invalid plugin call.\n");
            EXPECT_EQ(run.out, "");
        }
    }
}

TEST_F(ProgramPluginFrameTest, MainPageInAnyLetterCaseExpandsTheProgramsOneVariable) {
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        const std::string request =
            writeRequest(dir_.file("r.ini"), {"Command=generatemainpage", p.key + "=http://127.0.0.1:4711"});
        const auto run = runPlugin(p.name, {request}, dir_.str());
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        const std::string templateText =
            testsupport::readFile(programplugintest::pluginDir(p.name) + "/" + p.name + ".template");
        ASSERT_THAT(templateText, HasSubstr("{%" + p.variable + "%}"));
        std::string expected = templateText;
        const std::string directive = "{%" + p.variable + "%}";
        for (auto pos = expected.find(directive); pos != std::string::npos; pos = expected.find(directive))
            expected.replace(pos, directive.size(), "http://127.0.0.1:4711");
        EXPECT_EQ(run.out, expected);
    }
}

TEST_F(ProgramPluginFrameTest, FailuresGiveOneMessageLineAndExitMinusOne) {
    struct Case {
        std::string program;
        std::vector<std::string> lines;
        std::string message;
        bool fromOtherFolder = false;
    };
    const std::vector<Case> cases = {
        {"listintake", {"AppPluginServerUrl=http://127.0.0.1:1"}, "Unknown script command: "},
        {"groupfetch", {"Command=Refresh", "AppServerUrl=x"}, "Unknown script command: Refresh"},
        {"listintake",
         {"Command=GenerateMainPage", "AppPluginServerUrl=   "},
         "Missing 'AppPluginServerUrl' parameter."},
        {"listintake",
         {"Command=GenerateMainPage", "AppServerUrl=http://127.0.0.1:1"},
         "Missing 'AppPluginServerUrl' parameter."},
        {"groupfetch",
         {"Command=GenerateMainPage", "AppPluginServerUrl=http://127.0.0.1:1"},
         "Missing 'AppServerUrl' parameter."},
        {"groupfetch",
         {"Command=GenerateMainPage", "AppServerUrl=http://127.0.0.1:1"},
         "Can't open the main page template.",
         true},
        {"listintake",
         {"Command=GenerateMainPage", "AppPluginServerUrl=http://127.0.0.1:1"},
         "Can't open the main page template.",
         true},
        {"groupfetch",
         {"Command=ProcessRequest", "AppServerUrl=http://127.0.0.1:1", "ParamString=a=1"},
         "Unexpected plugin call."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + ": " + c.message);
        const std::string request = writeRequest(dir_.file("r.ini"), c.lines);
        const auto run = runPlugin(c.program, {request}, dir_.str(), c.fromOtherFolder ? dir_.str() : "");
        EXPECT_EQ(run.exitCode, 255);
        EXPECT_EQ(run.err, c.message + "\n");
    }
}

TEST_F(ProgramPluginFrameTest, ATemplateWithoutTheVariableIsCopiedThrough) {
    // The frame reads the template from its working folder: a folder of our
    // own with a copy of the program and a template of our own.
    const std::string text = "<p>{%OTHER%} stays, 100% as written</p>\n{%REPEAT%x}once{%/REPEAT%}\n";
    testsupport::writeFile(dir_.file("groupfetch.template"), text);
    const std::string request = writeRequest(dir_.file("r.ini"), {"Command=GenerateMainPage", "AppServerUrl=u"});
    const auto run = runPlugin("groupfetch", {request}, dir_.str(), dir_.str());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "<p>{%OTHER%} stays, 100% as written</p>\nonce\n");
}

// The staged definitions load in the engine and their main pages come back
// through the host with the local server addresses filled in.
TEST_F(ProgramPluginFrameTest, StagedDefinitionsServeTheirMainPagesThroughTheHost) {
    ::setenv("TMP", dir_.str().c_str(), 1);
    channels::getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
    channels::getAppPluginManager().setServerPorts(2604, 2605);
    for (const Program& p : kPrograms) {
        SCOPED_TRACE(p.name);
        channels::ScriptAppPlugin plugin(&channels::getAppPluginManager());
        plugin.loadAppPlugin(programplugintest::pluginDir(p.name) + "/" + p.name + ".plugin");
        EXPECT_EQ(plugin.getAppPluginId(), p.name);
        plugin.generateMainPage();
        const std::string page = testsupport::readFile(plugin.getOutputFilename());
        EXPECT_THAT(page, HasSubstr(p.key == "AppServerUrl" ? "http://127.0.0.1:2604/" : "http://127.0.0.1:2605/"));
        EXPECT_THAT(page, Not(HasSubstr("{%")));
        EXPECT_THAT(page, Not(HasSubstr("The script")));
    }
    ::unsetenv("TMP");
}

}  // namespace
