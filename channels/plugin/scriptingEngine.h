#pragma once
// The one place where the engine starts other programs (plug-in channels,
// script application plug-ins, script channel hooks).
//
//   CommandLine cmd = buildRunCommandLine(scriptPath, request.getFilename());
//   tools::TempFile out("");
//   int rc = getScriptingEngine().runScriptForPage(cmd, tools::getDirectoryOf(scriptPath), out);
//
// A command line is an argument vector; nothing passes through a shell, so
// paths with blanks or quotes are safe. The program runs with standard input
// from /dev/null and standard output/error redirected into the caller's
// files, for at most the script time-out; past it, or when either output file
// grows beyond the output limit, the program and every process it started are
// killed and a channels::Exception is thrown.
//
// buildRunCommandLine picks the program by the script's extension from the
// file-type command table (".py" -> "python3 %1 %*": %1 is the script, %* or
// %2 the request file); a script without a table entry that has its execute
// bit set runs directly; else the associations stored in the key store under
// HKEY_CLASSES_ROOT are consulted.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "channels/plugin/paramDef.h"
#include "lib/misc/threadSafety.h"

namespace tools {
class TempFile;
}

namespace channels {

// A program and its arguments; args[0] is the program (a path, or a bare name
// looked up in PATH).
struct CommandLine {
    std::vector<std::string> args;

    bool empty() const { return args.empty(); }
    // The arguments separated by blanks; an argument that is empty or holds
    // blanks, quotes or backslashes is written in double quotes with '"' and
    // '\' escaped. For logs only: it is never run through a shell.
    std::string toString() const;
};

// Extension with its leading dot -> command template.
using FileTypeCommandMap = std::map<std::string, std::string>;

class ScriptingEngine {
public:
    // Default limit of each output file of a script.
    static constexpr std::uint64_t kDefaultMaxScriptOutputSize = 64ull * 1024 * 1024;

    ScriptingEngine();
    virtual ~ScriptingEngine();
    ScriptingEngine(const ScriptingEngine&) = delete;
    ScriptingEngine& operator=(const ScriptingEngine&) = delete;

    void setUserConfigFilename(const std::string& filename);
    std::string getUserConfigFilename() const;
    // Seconds a program may run (the application keeps it within 5..300).
    void setScriptTimeout(int seconds);
    int getScriptTimeout() const;
    // Bytes each of standard output and standard error may reach.
    void setMaxScriptOutputSize(std::uint64_t bytes);
    std::uint64_t getMaxScriptOutputSize() const;
    // Inserts or replaces a parameter written into every request file.
    void setStandardParam(const std::string& name, const std::string& value);
    // Copy of the standard parameters, taken under the shared lock.
    std::map<std::string, std::string> getStandardParams() const;
    SharedExclusiveLock& getLock() { return lock_; }

    // Runs the program in execDir ("" = the current folder) with standard
    // output and error written into the two files (truncated first). Returns
    // the exit code; a program's exit(-1) (status 255) reads as -1, and so
    // does a program ended by a signal.
    // Throws channels::Exception "Can't open temporary file.", "Can't run the
    // script: " + reason, "The script timed out." or, when an output file
    // passes the limit, "The script's output exceeds the limit of N bytes.".
    virtual int runScript(const CommandLine& commandLine, const std::string& execDir, tools::TempFile& stdoutFile,
                          tools::TempFile& stderrFile);

    // Runs the program for a page: 0 when it exited with 0, wrote something to
    // standard output and nothing to standard error. Otherwise the output
    // file is replaced by an HTML error page (the error text HTML-escaped)
    // and -1 is returned. Exceptions of runScript pass to the caller.
    virtual int runScriptForPage(const CommandLine& commandLine, const std::string& execDir,
                                 tools::TempFile& stdoutFile);

    // Appends the definitions of sections <stem>1, <stem>2, ... of the file.
    // Throws channels::Exception "Missing type for parameter '<name>'",
    // "Invalid type for parameter '<name>': <type>" or "Duplicate parameter
    // name: '<name>'"; definitions appended before the error stay.
    void loadParamDefTable(const std::string& configFilename, ParamDefs& defs, const std::string& sectionNameStem);
    // Reads the value of every definition (default: its default value) into
    // the map; entries already in the map are kept.
    void readParamValues(const std::string& configFilename, const std::string& sectionName, const ParamDefs& defs,
                         ParamValues& values);
    // Writes every entry of the map into the section (other keys stay);
    // false when the file could not be written.
    bool writeParamValues(const std::string& configFilename, const std::string& sectionName, const ParamValues& values);
    // The same on the user configuration file.
    void loadParamValues(const std::string& sectionName, const ParamDefs& defs, ParamValues& values);
    bool saveParamValues(const std::string& sectionName, const ParamValues& values);

private:
    mutable SharedExclusiveLock lock_;
    std::string userConfigFilename_;
    int scriptTimeout_ = 15;
    std::uint64_t maxOutputSize_ = kDefaultMaxScriptOutputSize;
    std::map<std::string, std::string> standardParams_;
};

// The process's one engine, created on first use.
ScriptingEngine& getScriptingEngine();

// Replaces the file-type command table.
void setFileTypeCommands(const FileTypeCommandMap& commands);
FileTypeCommandMap getFileTypeCommands();

// The command line that runs the script with the request file; a relative
// script path is made absolute, since the program starts in the script's
// folder. Throws
// channels::Exception "No application is registered for this file type: "
// + extension, or "This file type has no 'shell/open' command specified: "
// + extension.
CommandLine buildRunCommandLine(const std::string& scriptFilename, const std::string& requestFilename);

// Message numbers with which library channel hooks relay their calls to the
// main window (-1 until set), and that window.
void setDllChannelHookMessages(std::uintptr_t window, int eventMessage, int commandMessage);
std::uintptr_t getDllChannelHookWindow();
int getDllChannelHookEventMessage();
int getDllChannelHookCommandMessage();

}  // namespace channels
