#pragma once
// The program's and the user's directories and files, the program-wide
// identity values, the keys of global.ini and the debugging switches.
//
// Layout (paths joined with "/"; the program directory ends in "/"). The
// program directory is only read: it may be read-only, and a rebuild or a
// reinstall replaces it. The users' folders live in the data directory
// ($XDG_DATA_HOME/orvan, platform::files::dataDirectory):
//   <data>/Users/<user>/            the user's directory (new-user set-up makes it)
//   <data>/Users/<user>/Channels, Logs, Reports   made at every start
//   <data>/Users/<user>/config.ini, debug.ini
//   <data>/global.ini               the sections written at start-up (BuildInfo, Branding)
//   <program>/global.ini, debug.ini, appPlugins/, Resources/, branding.dat
//
// Start-up sets the values once, in this order:
//   ProgramPaths& p = programPaths();
//   p.programDir = findProgramDirectory();
//   initProgramPaths(chooseUserName(p.programDir));   // names and paths
//   readGlobalConfig();                               // web addresses
//   createUsersDirectory(); moveOldUserDirectory(); ... createUserDirectories();
//   writeBuildInfo();
// and everything else reads them.
#include <string>
#include <vector>

struct ProgramPaths {
    std::string programDir;     // ends in "/"
    std::string dataDir;        // platform::files::dataDirectory()
    std::string usersDir;       // dataDir + "/Users"
    std::string appName;        // "Orvan"
    std::string versionString;  // the build's version
    std::string httpUserAgent;  // appName "/" version [" (" client ")"]
    std::string appHomeUrl, forumsUrl, welcomeUrl, faqUrl, onlineHelpUrl, chmDownloadUrl;
    std::string feedbackEmailAddress, supportEmailAddress;
    std::string userName;
    std::string userDir;                           // usersDir + "/" + userName
    std::string globalIniFile;                     // programDir + "global.ini", read only
    std::string globalStateFile;                   // dataDir + "/global.ini": what start-up writes
    std::string userConfigFile;                    // userDir + "/config.ini"
    std::string userDebugIniFile;                  // userDir + "/debug.ini"
    std::string channelsDir, logsDir, reportsDir;  // in userDir
    std::string appPluginsDir;                     // programDir + "appPlugins"
};

// The program-wide values; empty until start-up sets them.
ProgramPaths& programPaths();

// Joins a directory and a name with exactly one "/" between them.
std::string joinPath(const std::string& directory, const std::string& name);

// The directory of the running program file, ending in "/".
std::string findProgramDirectory();

// The name of the logged-on user ("" when the system knows none).
std::string getLoggedOnUserName();

// True when the name can stand as one folder below Users: not empty, not
// "." or "..", no "/", "\\" or control character.
bool isPlainUserName(const std::string& name);

// Key "UserName" of section "Debug" of the program directory's debug.ini
// (trimmed); when empty the logged-on user's name; when that is empty too
// "default". A name that is no plain folder name is passed over; each one
// passed over adds a line for the log to *refused.
std::string chooseUserName(const std::string& programDir, std::vector<std::string>* refused = nullptr);

// Sets the identity values (application name, version, user agent) and every
// path from programPaths().programDir, the data directory and the user name.
void initProgramPaths(const std::string& userName);

// The user's folder as an earlier orvan left it, inside the program
// directory (<program>/Users/<user>), moves to the user's directory when
// that does not exist yet. Returns the line for the log ("" when there was
// nothing to move).
std::string moveOldUserDirectory();

// Reads the web and mail addresses of section "Config" of global.ini (each
// trimmed, with its built-in default).
void readGlobalConfig();

// Rewrites section "BuildInfo" of globalStateFile: "Version",
// "HttpUserAgent", "BuildDateTime", "BuildOptions". Throws
// std::runtime_error when the file cannot be written.
void writeBuildInfo();

// The user agent for a version and an optional branding client name.
std::string makeHttpUserAgent(const std::string& appName, const std::string& version, const std::string& clientName);

// True when the user's directory does not exist yet.
bool isNewUser();

// Creates the data directory's Users directory (failures ignored).
void createUsersDirectory();
// Creates the user's Channels, Logs and Reports directories (failures ignored).
void createUserDirectories();

// Section "Debug" of the user's debug.ini, read at each call. Before the
// path is set they return their defaults (false, 0, "").
bool getDebugSwitch(const std::string& name);
int getDebugSwitchValue(const std::string& name);
std::string getDebugSwitchText(const std::string& name);
