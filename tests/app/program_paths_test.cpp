// Program and user directories, global.ini's keys and the debugging switches.
#include <gtest/gtest.h>

#include "app/core/constants.h"
#include "app/core/programPaths.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

// Sets an environment variable (or removes it for nullptr) until it goes.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class ProgramPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = programPaths();
        programPaths() = ProgramPaths();
        programPaths().programDir = dir_.file("program") + "/";
        std::filesystem::create_directories(programPaths().programDir);
    }
    void TearDown() override { programPaths() = saved_; }

    testsupport::TempDir dir_;
    ScopedEnv dataHome_{"XDG_DATA_HOME", dir_.file("data").c_str()};
    ProgramPaths saved_;
};

TEST_F(ProgramPathsTest, UserNameComesFromTheOverrideElseTheLoggedOnUser) {
    EXPECT_EQ(chooseUserName(programPaths().programDir),
              getLoggedOnUserName().empty() ? "default" : getLoggedOnUserName());

    testsupport::writeFile(dir_.file("program/debug.ini"), "[Debug]\nUserName=  tester two  \n");
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
    // The user's folders live in the data directory, the program's files
    // in the program directory.
    EXPECT_EQ(p.userDir, dir_.str() + "/data/orvan/Users/tester two");
    EXPECT_EQ(p.userConfigFile, p.userDir + "/config.ini");
    EXPECT_EQ(p.userDebugIniFile, p.userDir + "/debug.ini");
    EXPECT_EQ(p.globalIniFile, dir_.str() + "/program/global.ini");
    EXPECT_EQ(p.globalStateFile, dir_.str() + "/data/orvan/global.ini");
    EXPECT_EQ(p.appPluginsDir, dir_.str() + "/program/appPlugins");
    for (const auto& sub : {p.channelsDir, p.logsDir, p.reportsDir})
        EXPECT_TRUE(std::filesystem::is_directory(sub)) << sub;
    EXPECT_EQ(p.httpUserAgent, p.appName + "/" + p.versionString);
}

TEST_F(ProgramPathsTest, GlobalIniWithoutConfigGivesDefaultsAndGetsBuildInfo) {
    initProgramPaths("u");
    readGlobalConfig();
    const ProgramPaths& p = programPaths();
    EXPECT_EQ(p.appHomeUrl, kDefaultAppHomeUrl);
    EXPECT_EQ(p.forumsUrl, kDefaultAppHomeUrl + "/forums/");
    EXPECT_EQ(p.chmDownloadUrl, kDefaultAppHomeUrl + "/help/1.1/orvan.chm");
    EXPECT_EQ(p.supportEmailAddress, kDefaultSupportEmailAddress);

    // Written where the user's data lives, even before the folder exists.
    writeBuildInfo();
    EXPECT_EQ(tools::getIniString(p.globalStateFile, "BuildInfo", "Version", "", true), p.versionString);
    EXPECT_EQ(tools::getIniString(p.globalStateFile, "BuildInfo", "HttpUserAgent", "", true), p.httpUserAgent);
    EXPECT_FALSE(tools::getIniString(p.globalStateFile, "BuildInfo", "BuildDateTime", "", true).empty());
    EXPECT_FALSE(std::filesystem::exists(p.globalIniFile));
}

TEST_F(ProgramPathsTest, ConfigValuesAreDecodedAndTrimmedAndBuildInfoIsReplaced) {
    initProgramPaths("u");
    const std::string programIni = "[Config]\nFaqUrl=  http://faq.test/a%20b  \n";
    testsupport::writeFile(programPaths().globalIniFile, programIni);
    testsupport::writeFile(programPaths().globalStateFile, "[BuildInfo]\nStale=1\nVersion=0.0\n");
    readGlobalConfig();
    EXPECT_EQ(programPaths().faqUrl, "http://faq.test/a b");
    EXPECT_EQ(programPaths().welcomeUrl, kDefaultWelcomeUrl);

    writeBuildInfo();
    const auto keys = tools::getIniKeyNames(programPaths().globalStateFile, "BuildInfo");
    EXPECT_EQ(keys, (std::vector<std::string>{"Version", "HttpUserAgent", "BuildDateTime", "BuildOptions"}));
    EXPECT_EQ(testsupport::readFile(programPaths().globalIniFile), programIni);
}

TEST_F(ProgramPathsTest, DebugSwitches) {
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

// A name from debug.ini that is not one plain folder name would put the
// user's folder outside Users: it is refused with a line for the log.
TEST_F(ProgramPathsTest, UserNameThatIsNoPlainFolderNameIsRefused) {
    const std::string loggedOn = getLoggedOnUserName().empty() ? "default" : getLoggedOnUserName();
    const struct {
        const char* value;
        bool plain;
    } cases[] = {{"../x", false}, {"..", false},     {".", false},        {"a/b", false},
                 {"/etc", false}, {"a\\b", false},   {"tab%09in", false}, {"x/..", false},
                 {"..x", true},   {"Ann Lee", true}, {"K%C3%A4the", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        testsupport::writeFile(dir_.file("program/debug.ini"), std::string("[Debug]\nUserName=") + c.value + "\n");
        std::vector<std::string> refused;
        const std::string name = chooseUserName(programPaths().programDir, &refused);
        if (c.plain) {
            EXPECT_EQ(name, tools::getIniString(dir_.file("program/debug.ini"), "Debug", "UserName", "", true));
            EXPECT_TRUE(refused.empty());
        } else {
            EXPECT_EQ(name, loggedOn);
            ASSERT_EQ(refused.size(), 1u);
            EXPECT_NE(refused[0].find("Refused the user name"), std::string::npos) << refused[0];
        }
    }
}

// A user's folder that an earlier orvan kept in the program directory moves
// to the data directory once, with everything in it; a folder already in
// the data directory is never replaced.
TEST_F(ProgramPathsTest, OldUserFolderInTheProgramDirectoryMovesOnce) {
    initProgramPaths("tester");
    const ProgramPaths& p = programPaths();
    const std::string old = p.programDir + "Users/tester";
    testsupport::writeFile(old + "/Channels/a.rss", "[Config]\nRssChannelUrl=http://example.com/a\n");
    testsupport::writeFile(old + "/config.ini", "[Global Options]\nMaxErrorLogMsgs=7\n");
    EXPECT_EQ(moveOldUserDirectory(), "Moved the user's folder " + old + " to " + p.userDir + ".");
    EXPECT_FALSE(std::filesystem::exists(p.programDir + "Users"));  // it held no other user
    EXPECT_EQ(testsupport::readFile(p.channelsDir + "/a.rss"), "[Config]\nRssChannelUrl=http://example.com/a\n");
    EXPECT_EQ(testsupport::readFile(p.userConfigFile), "[Global Options]\nMaxErrorLogMsgs=7\n");
    EXPECT_FALSE(isNewUser());

    // Once there, a folder left in the program directory stays where it is.
    testsupport::writeFile(old + "/config.ini", "[Global Options]\nMaxErrorLogMsgs=1\n");
    EXPECT_EQ(moveOldUserDirectory(), "");
    EXPECT_EQ(testsupport::readFile(p.userConfigFile), "[Global Options]\nMaxErrorLogMsgs=7\n");
    EXPECT_TRUE(std::filesystem::exists(old + "/config.ini"));

    // Nothing to move: nothing happens.
    initProgramPaths("nobody");
    EXPECT_EQ(moveOldUserDirectory(), "");
    EXPECT_TRUE(isNewUser());
}

TEST(ProgramPaths, DataDirectoryFollowsXdgDataHome) {
    const ScopedEnv home("HOME", "/home/someone");
    {
        const ScopedEnv data("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(platform::files::dataDirectory(), "/srv/data/orvan");
    }
    // Unset, empty or relative: the default below the home folder.
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/data"}) {
        const ScopedEnv data("XDG_DATA_HOME", value);
        EXPECT_EQ(platform::files::dataDirectory(), "/home/someone/.local/share/orvan");
    }
}

TEST(ProgramPaths, JoinPathPutsOneSlashBetween) {
    EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(joinPath("", "b"), "b");
}

}  // namespace
