// Program and user directories, global.ini's keys and the debugging switches.
#include <gtest/gtest.h>

#include "app/core/constants.h"
#include "app/core/programPaths.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

class ProgramPathsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = programPaths();
        programPaths() = ProgramPaths();
        programPaths().programDir = dir_.str() + "/";
    }
    void TearDown() override { programPaths() = saved_; }

    testsupport::TempDir dir_;
    ProgramPaths saved_;
};

TEST_F(ProgramPathsTest, UserNameComesFromTheOverrideElseTheLoggedOnUser)
{
    EXPECT_EQ(chooseUserName(programPaths().programDir),
              getLoggedOnUserName().empty() ? "default" : getLoggedOnUserName());

    testsupport::writeFile(dir_.file("debug.ini"), "[Debug]\nUserName=  tester two  \n");
    const std::string name = chooseUserName(programPaths().programDir);
    EXPECT_EQ(name, "tester two");

    // A name with no such account gets its own directory under Users.
    initProgramPaths(name);
    EXPECT_TRUE(isNewUser());
    createUsersDirectory();
    std::filesystem::create_directory(programPaths().userDir);
    createUserDirectories();
    EXPECT_FALSE(isNewUser());
    const ProgramPaths& p = programPaths();
    EXPECT_EQ(p.userDir, dir_.str() + "/Users/tester two");
    EXPECT_EQ(p.userConfigFile, p.userDir + "/config.ini");
    EXPECT_EQ(p.userDebugIniFile, p.userDir + "/debug.ini");
    EXPECT_EQ(p.globalIniFile, dir_.str() + "/global.ini");
    EXPECT_EQ(p.appPluginsDir, dir_.str() + "/appPlugins");
    for (const auto& sub : {p.channelsDir, p.logsDir, p.reportsDir})
        EXPECT_TRUE(std::filesystem::is_directory(sub)) << sub;
    EXPECT_EQ(p.httpUserAgent, p.appName + "/" + p.versionString);
}

TEST_F(ProgramPathsTest, GlobalIniWithoutConfigGivesDefaultsAndGetsBuildInfo)
{
    initProgramPaths("u");
    readGlobalConfig();
    const ProgramPaths& p = programPaths();
    EXPECT_EQ(p.appHomeUrl, kDefaultAppHomeUrl);
    EXPECT_EQ(p.forumsUrl, kDefaultAppHomeUrl + "/forums/");
    EXPECT_EQ(p.chmDownloadUrl, kDefaultAppHomeUrl + "/help/1.1/orvan.chm");
    EXPECT_EQ(p.supportEmailAddress, kDefaultSupportEmailAddress);

    writeBuildInfo();
    EXPECT_EQ(tools::getIniString(p.globalIniFile, "BuildInfo", "Version", "", true), p.versionString);
    EXPECT_EQ(tools::getIniString(p.globalIniFile, "BuildInfo", "HttpUserAgent", "", true), p.httpUserAgent);
    EXPECT_FALSE(tools::getIniString(p.globalIniFile, "BuildInfo", "BuildDateTime", "", true).empty());
}

TEST_F(ProgramPathsTest, ConfigValuesAreDecodedAndTrimmedAndBuildInfoIsReplaced)
{
    initProgramPaths("u");
    testsupport::writeFile(programPaths().globalIniFile,
                           "[Config]\nFaqUrl=  http://faq.test/a%20b  \n[BuildInfo]\nStale=1\nVersion=0.0\n");
    readGlobalConfig();
    EXPECT_EQ(programPaths().faqUrl, "http://faq.test/a b");
    EXPECT_EQ(programPaths().welcomeUrl, kDefaultWelcomeUrl);

    writeBuildInfo();
    const auto keys = tools::getIniKeyNames(programPaths().globalIniFile, "BuildInfo");
    EXPECT_EQ(keys, (std::vector<std::string>{"Version", "HttpUserAgent", "BuildDateTime", "BuildOptions"}));
    EXPECT_EQ(tools::getIniString(programPaths().globalIniFile, "Config", "FaqUrl", "", true), "http://faq.test/a b");
}

TEST_F(ProgramPathsTest, DebugSwitches)
{
    // Before start-up sets the path: defaults.
    EXPECT_FALSE(getDebugSwitch("AllowMultipleInstances"));
    EXPECT_EQ(getDebugSwitchValue("ThreadSafetyDebuggingTimeout"), 0);

    initProgramPaths("u");
    // No debug.ini: every switch off.
    EXPECT_FALSE(getDebugSwitch("SaveAllOnExit"));

    testsupport::writeFile(programPaths().userDebugIniFile,
                           "[Debug]\nAllowMultipleInstances=1\nSaveAllOnExit=0\nDisableInternet=no\n"
                           "ThreadSafetyDebuggingTimeout=12\nDisabledAppPlugins=a.plugin b.plugin\n");
    EXPECT_TRUE(getDebugSwitch("AllowMultipleInstances"));
    EXPECT_FALSE(getDebugSwitch("SaveAllOnExit"));
    EXPECT_FALSE(getDebugSwitch("DisableInternet"));  // not a number: off
    EXPECT_EQ(getDebugSwitchValue("ThreadSafetyDebuggingTimeout"), 12);
    EXPECT_EQ(getDebugSwitchText("DisabledAppPlugins"), "a.plugin b.plugin");

    // Read at each call.
    testsupport::writeFile(programPaths().userDebugIniFile, "[Debug]\nAllowMultipleInstances=0\n");
    EXPECT_FALSE(getDebugSwitch("AllowMultipleInstances"));
}

TEST(ProgramPaths, JoinPathPutsOneSlashBetween)
{
    EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(joinPath("", "b"), "b");
}

}  // namespace
