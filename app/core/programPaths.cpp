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

std::string buildOptions() {
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

void makeDirectory(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directory(path, ignored);
}

}  // namespace

ProgramPaths& programPaths() {
    static ProgramPaths paths;
    return paths;
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/')
        return name.empty() || name.front() != '/' ? directory + name : directory + name.substr(1);
    return name.empty() || name.front() != '/' ? directory + "/" + name : directory + name;
}

std::string findProgramDirectory() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return tools::getDirectoryOf(std::filesystem::current_path().string() + "/");
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string getLoggedOnUserName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name) return pw->pw_name;
    for (const char* var : {"USER", "LOGNAME"}) {
        if (const char* value = std::getenv(var); value && *value) return value;
    }
    return std::string();
}

bool isPlainUserName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::string chooseUserName(const std::string& programDir, std::vector<std::string>* refused) {
    const std::string debugIni = joinPath(programDir, "debug.ini");
    const auto plain = [&](const std::string& name, const std::string& where) {
        if (name.empty() || isPlainUserName(name)) return name;
        if (refused)
            refused->push_back("Refused the user name \"" + name + "\" of " + where +
                               ": a user name must be one plain folder name.");
        return std::string();
    };
    std::string name = plain(tools::trimString(tools::getIniString(debugIni, "Debug", "UserName", "", true)), debugIni);
    if (name.empty()) name = plain(getLoggedOnUserName(), "the logged-on user");
    if (name.empty()) name = "default";
    return name;
}

std::string makeHttpUserAgent(const std::string& appName, const std::string& version, const std::string& clientName) {
    std::string agent = appName + "/" + version;
    if (!clientName.empty()) agent += " (" + clientName + ")";
    return agent;
}

void initProgramPaths(const std::string& userName) {
    ProgramPaths& p = programPaths();
    p.appName = kAppName;
    p.versionString = ORVAN_VERSION_STRING;
    p.httpUserAgent = makeHttpUserAgent(p.appName, p.versionString, "");
    p.dataDir = platform::files::dataDirectory();
    p.usersDir = joinPath(p.dataDir, "Users");
    p.userName = userName;
    p.userDir = joinPath(p.usersDir, userName);
    p.globalIniFile = joinPath(p.programDir, "global.ini");
    p.globalStateFile = joinPath(p.dataDir, "global.ini");
    p.userConfigFile = joinPath(p.userDir, "config.ini");
    p.userDebugIniFile = joinPath(p.userDir, "debug.ini");
    p.channelsDir = joinPath(p.userDir, "Channels");
    p.logsDir = joinPath(p.userDir, "Logs");
    p.reportsDir = joinPath(p.userDir, "Reports");
    p.appPluginsDir = joinPath(p.programDir, "appPlugins");
}

void readGlobalConfig() {
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

std::string moveOldUserDirectory() {
    namespace fs = std::filesystem;
    const ProgramPaths& p = programPaths();
    const std::string oldUsers = joinPath(p.programDir, "Users");
    const std::string old = joinPath(oldUsers, p.userName);
    std::error_code error;
    if (!fs::is_directory(old, error) || fs::exists(p.userDir, error)) return std::string();
    fs::create_directories(p.usersDir, error);
    const std::string moved = "Moved the user's folder " + old + " to " + p.userDir + ".";
    std::error_code ignored;
    fs::rename(old, p.userDir, error);
    if (!error) {
        fs::remove(oldUsers, ignored);  // only when no other user's folder is left there
        return moved;
    }
    // Another file system, or a program directory that can't be changed:
    // copied under a temporary name first, so that a copy cut short is no
    // user's folder.
    const std::string partial = p.userDir + ".moving";
    fs::remove_all(partial, ignored);
    error.clear();
    fs::copy(old, partial, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (!error) fs::rename(partial, p.userDir, error);
    if (error) {
        fs::remove_all(partial, ignored);
        return "ERROR: Can't copy the user's folder " + old + " to " + p.userDir + ": " + error.message();
    }
    fs::remove_all(old, error);
    if (error)
        return "Copied the user's folder " + old + " to " + p.userDir + "; the old folder stays: " + error.message();
    fs::remove(oldUsers, ignored);
    return moved;
}

void writeBuildInfo() {
    const ProgramPaths& p = programPaths();
    const std::string& file = p.globalStateFile;
    {
        std::error_code ignored;
        std::filesystem::create_directories(p.dataDir, ignored);
    }
    platform::profile::WriteBatch batch(file);
    tools::deleteIniSection(file, kBuildInfoSection);
    tools::writeIniString(file, kBuildInfoSection, "Version", p.versionString);
    tools::writeIniString(file, kBuildInfoSection, "HttpUserAgent", makeHttpUserAgent(p.appName, p.versionString, ""));
    tools::writeIniString(file, kBuildInfoSection, "BuildDateTime", std::string(__DATE__) + " " + __TIME__);
    tools::writeIniString(file, kBuildInfoSection, "BuildOptions", buildOptions());
    if (!batch.commit()) throw std::runtime_error("Can't write " + file + ": " + platform::files::lastErrorText());
}

bool isNewUser() { return !tools::isDirectory(programPaths().userDir); }

void createUsersDirectory() {
    std::error_code ignored;
    std::filesystem::create_directories(programPaths().usersDir, ignored);
}

void createUserDirectories() {
    const ProgramPaths& p = programPaths();
    makeDirectory(p.channelsDir);
    makeDirectory(p.logsDir);
    makeDirectory(p.reportsDir);
}

bool getDebugSwitch(const std::string& name) {
    const std::string& file = programPaths().userDebugIniFile;
    return !file.empty() && tools::getDebugBool(file, name, false);
}

int getDebugSwitchValue(const std::string& name) {
    const std::string& file = programPaths().userDebugIniFile;
    return file.empty() ? 0 : tools::getDebugInt(file, name, 0);
}

std::string getDebugSwitchText(const std::string& name) {
    const std::string& file = programPaths().userDebugIniFile;
    return file.empty() ? std::string() : tools::getDebugString(file, name, "");
}
