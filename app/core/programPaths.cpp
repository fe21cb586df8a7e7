#include "app/core/programPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "app/core/constants.h"
#include "orvan_version.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/files.h"
#include "tools/ini.h"

namespace {

const char kConfigSection[] = "Config";
const char kBuildInfoSection[] = "BuildInfo";
const char kAppName[] = "Orvan";

std::string buildOptions()
{
    std::string options;
#ifdef NDEBUG
    options += "release";
#else
    options += "debug";
#endif
#if defined(__SANITIZE_ADDRESS__)
    options += " asan";
#endif
    return options;
}

void makeDirectory(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::create_directory(path, ignored);
}

}  // namespace

ProgramPaths& programPaths()
{
    static ProgramPaths paths;
    return paths;
}

std::string joinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    if (directory.back() == '/')
        return name.empty() || name.front() != '/' ? directory + name : directory + name.substr(1);
    return name.empty() || name.front() != '/' ? directory + "/" + name : directory + name;
}

std::string findProgramDirectory()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return tools::getDirectoryOf(std::filesystem::current_path().string() + "/");
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string getLoggedOnUserName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    for (const char* var : {"USER", "LOGNAME"}) {
        if (const char* value = std::getenv(var); value && *value)
            return value;
    }
    return std::string();
}

std::string chooseUserName(const std::string& programDir)
{
    std::string name =
        tools::trimString(tools::getIniString(joinPath(programDir, "debug.ini"), "Debug", "UserName", "", true));
    if (name.empty())
        name = getLoggedOnUserName();
    if (name.empty())
        name = "default";
    return name;
}

std::string makeHttpUserAgent(const std::string& appName, const std::string& version, const std::string& clientName)
{
    std::string agent = appName + "/" + version;
    if (!clientName.empty())
        agent += " (" + clientName + ")";
    return agent;
}

void initProgramPaths(const std::string& userName)
{
    ProgramPaths& p = programPaths();
    p.appName = kAppName;
    p.versionString = ORVAN_VERSION_STRING;
    p.httpUserAgent = makeHttpUserAgent(p.appName, p.versionString, "");
    p.usersDir = joinPath(p.programDir, "Users");
    p.userName = userName;
    p.userDir = joinPath(p.usersDir, userName);
    p.globalIniFile = joinPath(p.programDir, "global.ini");
    p.userConfigFile = joinPath(p.userDir, "config.ini");
    p.userDebugIniFile = joinPath(p.userDir, "debug.ini");
    p.channelsDir = joinPath(p.userDir, "Channels");
    p.logsDir = joinPath(p.userDir, "Logs");
    p.reportsDir = joinPath(p.userDir, "Reports");
    p.appPluginsDir = joinPath(p.programDir, "appPlugins");
}

void readGlobalConfig()
{
    ProgramPaths& p = programPaths();
    const auto read = [&](const char* key, const std::string& defaultValue) {
        return tools::getIniString(p.globalIniFile, kConfigSection, key, defaultValue, true);
    };
    p.appHomeUrl = read("AppHomeUrl", kDefaultAppHomeUrl);
    p.forumsUrl = read("ForumsUrl", kDefaultForumsUrl);
    p.welcomeUrl = read("WelcomeUrl", kDefaultWelcomeUrl);
    p.faqUrl = read("FaqUrl", kDefaultFaqUrl);
    p.onlineHelpUrl = read("OnlineHelpUrl", kDefaultOnlineHelpUrl);
    p.chmDownloadUrl = read("ChmDownloadUrl", kDefaultChmDownloadUrl);
    p.feedbackEmailAddress = read("FeedbackEmailAddress", kDefaultFeedbackEmailAddress);
    p.supportEmailAddress = read("SupportEmailAddress", kDefaultSupportEmailAddress);
}

void writeBuildInfo()
{
    const ProgramPaths& p = programPaths();
    platform::profile::WriteBatch batch(p.globalIniFile);
    tools::deleteIniSection(p.globalIniFile, kBuildInfoSection);
    tools::writeIniString(p.globalIniFile, kBuildInfoSection, "Version", p.versionString);
    tools::writeIniString(p.globalIniFile, kBuildInfoSection, "HttpUserAgent",
                          makeHttpUserAgent(p.appName, p.versionString, ""));
    tools::writeIniString(p.globalIniFile, kBuildInfoSection, "BuildDateTime", std::string(__DATE__) + " " + __TIME__);
    tools::writeIniString(p.globalIniFile, kBuildInfoSection, "BuildOptions", buildOptions());
    if (!batch.commit())
        throw std::runtime_error("Can't write " + p.globalIniFile + ": " + platform::files::lastErrorText());
}

bool isNewUser()
{
    return !tools::isDirectory(programPaths().userDir);
}

void createUsersDirectory()
{
    makeDirectory(programPaths().usersDir);
}

void createUserDirectories()
{
    const ProgramPaths& p = programPaths();
    makeDirectory(p.channelsDir);
    makeDirectory(p.logsDir);
    makeDirectory(p.reportsDir);
}

bool getDebugSwitch(const std::string& name)
{
    const std::string& file = programPaths().userDebugIniFile;
    return !file.empty() && tools::getDebugBool(file, name, false);
}

int getDebugSwitchValue(const std::string& name)
{
    const std::string& file = programPaths().userDebugIniFile;
    return file.empty() ? 0 : tools::getDebugInt(file, name, 0);
}

std::string getDebugSwitchText(const std::string& name)
{
    const std::string& file = programPaths().userDebugIniFile;
    return file.empty() ? std::string() : tools::getDebugString(file, name, "");
}
