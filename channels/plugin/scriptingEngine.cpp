#include "channels/plugin/scriptingEngine.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "channels/exception.h"
#include "channels/feed/summaryPage.h"
#include "lib/log/messageLog.h"
#include "platform/process.h"
#include "tools/files.h"
#include "tools/registry.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

// How often a running program's output files are measured.
constexpr int kPollMilliseconds = 10;

SharedExclusiveLock& fileTypeLock() {
    static SharedExclusiveLock lock;
    return lock;
}

FileTypeCommandMap& fileTypeTable() {
    static FileTypeCommandMap table;
    return table;
}

std::atomic<std::uintptr_t> g_hookWindow{0};
std::atomic<int> g_hookEventMessage{-1};
std::atomic<int> g_hookCommandMessage{-1};

std::uint64_t fileSize(const std::string& path) {
    std::uint64_t size = 0;
    return tools::getFileSize(path, size) ? size : 0;
}

// Creates (or truncates) an output file so that a failure is reported before
// anything starts.
bool prepareOutputFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Splits a command template into words at blanks; double quotes group a word
// and are removed ("C:\Program Files\x" "%1" gives two words).
std::vector<std::string> splitTemplate(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

std::string joinWords(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) {
        if (!text.empty()) text += ' ';
        text += w;
    }
    return text;
}

// Expands the inserts of one template word: %1 = the script argument, %2 =
// the request file, %% = '%'. Other inserts expand to nothing, and so does
// a word "%*" left after the first one became %2. A word that is
// exactly "%1" becomes all words of the script argument.
void expandWord(const std::string& word, const std::vector<std::string>& scriptArg, const std::string& request,
                std::vector<std::string>& out) {
    if (word == "%1") {
        out.insert(out.end(), scriptArg.begin(), scriptArg.end());
        return;
    }
    if (word == "%*") return;  // a second "rest of the arguments": there are none
    std::string result;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c != '%' || i + 1 >= word.size()) {
            result.push_back(c);
            continue;
        }
        char next = word[i + 1];
        if (next >= '1' && next <= '9') {
            std::size_t j = i + 1;
            int number = 0;
            while (j < word.size() && j < i + 3 && word[j] >= '0' && word[j] <= '9')
                number = number * 10 + (word[j++] - '0');
            if (number == 1)
                result += joinWords(scriptArg);
            else if (number == 2)
                result += request;
            i = j - 1;
        } else if (next == '%') {
            result.push_back('%');
            ++i;
        } else {
            result.push_back(c);
        }
    }
    out.push_back(result);
}

std::string absoluteScriptPath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}

std::string lookupRegistryTemplate(const std::string& extension) {
    char buffer[261];
    std::uint32_t size = sizeof buffer;
    if (!tools::getRegistry().getValue("HKEY_CLASSES_ROOT\\" + extension, nullptr, buffer, &size) || size == 0)
        throw Exception("No application is registered for this file type: " + extension);
    std::string typeName(buffer, strnlen(buffer, size));
    size = sizeof buffer;
    if (!tools::getRegistry().getValue("HKEY_LOCAL_MACHINE\\Software\\CLASSES\\" + typeName + "\\shell\\open\\command",
                                       nullptr, buffer, &size))
        throw Exception("This file type has no 'shell/open' command specified: " + extension);
    return std::string(buffer, strnlen(buffer, size));
}

}  // namespace

// ---------------------------------------------------------------------------

std::string CommandLine::toString() const {
    std::string text;
    for (const std::string& arg : args) {
        if (!text.empty()) text += ' ';
        bool plain = !arg.empty() && arg.find_first_of(" \t\"\\'") == std::string::npos;
        if (plain) {
            text += arg;
            continue;
        }
        text += '"';
        for (char c : arg) {
            if (c == '"' || c == '\\') text += '\\';
            text += c;
        }
        text += '"';
    }
    return text;
}

// ---------------------------------------------------------------------------
// Engine settings

ScriptingEngine::ScriptingEngine() = default;
ScriptingEngine::~ScriptingEngine() = default;

ScriptingEngine& getScriptingEngine() {
    static ScriptingEngine engine;
    return engine;
}

void ScriptingEngine::setUserConfigFilename(const std::string& filename) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    userConfigFilename_ = filename;
}

std::string ScriptingEngine::getUserConfigFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return userConfigFilename_;
}

void ScriptingEngine::setScriptTimeout(int seconds) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    scriptTimeout_ = seconds;
}

int ScriptingEngine::getScriptTimeout() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return scriptTimeout_;
}

void ScriptingEngine::setMaxScriptOutputSize(std::uint64_t bytes) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    maxOutputSize_ = bytes;
}

std::uint64_t ScriptingEngine::getMaxScriptOutputSize() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return maxOutputSize_;
}

void ScriptingEngine::setStandardParam(const std::string& name, const std::string& value) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    standardParams_[name] = value;
}

std::map<std::string, std::string> ScriptingEngine::getStandardParams() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return standardParams_;
}

// ---------------------------------------------------------------------------
// Running programs

int ScriptingEngine::runScript(const CommandLine& commandLine, const std::string& execDir, tools::TempFile& stdoutFile,
                               tools::TempFile& stderrFile) {
    const std::string& outName = stdoutFile.getFilename();
    const std::string& errName = stderrFile.getFilename();
    if (!prepareOutputFile(outName) || !prepareOutputFile(errName)) throw Exception("Can't open temporary file.");

    ORVAN_LOG(logGroupScriptPlugins()) << "Running script process: execDir=" << execDir << std::endl;

    if (commandLine.empty()) throw Exception("Can't run the script: empty command line");

    platform::process::Options options;
    options.argv = commandLine.args;
    options.workingDirectory = execDir;
    options.stdoutFile = outName;
    options.stderrFile = errName;
    options.outputMode = platform::process::OutputMode::Truncate;

    const int timeoutSeconds = getScriptTimeout();
    const std::uint64_t maxOutput = getMaxScriptOutputSize();

    platform::process::Process process;
    if (!process.start(options)) throw Exception("Can't run the script: " + process.error());

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (!process.wait(kPollMilliseconds)) {
        if (maxOutput > 0 && (fileSize(outName) > maxOutput || fileSize(errName) > maxOutput)) {
            process.killGroup();
            ORVAN_LOG(logGroupScriptPlugins())
                << "Script output over the limit; killed: " << commandLine.toString() << std::endl;
            throw Exception("The script's output exceeds the limit of " + std::to_string(maxOutput) + " bytes.");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            process.killGroup();
            ORVAN_LOG(logGroupScriptPlugins()) << "Script timed out; killed: " << commandLine.toString() << std::endl;
            throw Exception("The script timed out.");
        }
    }

    const platform::process::Result& result = process.result();
    if (result.signaled) {
        ORVAN_LOG(logGroupScriptPlugins()) << "Script ended by signal " << result.signal << std::endl;
        return -1;
    }
    if (maxOutput > 0 && (fileSize(outName) > maxOutput || fileSize(errName) > maxOutput))
        throw Exception("The script's output exceeds the limit of " + std::to_string(maxOutput) + " bytes.");
    // Exit statuses are bytes: a program's exit(-1), the plug-in failure
    // code, arrives as 255.
    return result.exitCode == 255 ? -1 : result.exitCode;
}

int ScriptingEngine::runScriptForPage(const CommandLine& commandLine, const std::string& execDir,
                                      tools::TempFile& stdoutFile) {
    tools::TempFile stderrFile("");
    const int rc = runScript(commandLine, execDir, stdoutFile, stderrFile);

    const std::uint64_t outSize = fileSize(stdoutFile.getFilename());
    const std::uint64_t errSize = fileSize(stderrFile.getFilename());
    if (rc == 0 && outSize > 0 && errSize == 0) return 0;

    std::string errorText;
    if (errSize > 0) {
        std::ifstream in(stderrFile.getFilename(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        errorText = text.str();
    }

    stdoutFile.open();
    if (errSize > 0) {
        stdoutFile << "<HTML><BODY>\n"
                   << "<P>The script caused an error:\n"
                   << "<PRE style='margin-left:30px'>\n"
                   << escapeHtml(errorText) << "\n"
                   << "</PRE>\n"
                   << "</BODY></HTML>\n";
    } else {
        stdoutFile << "<HTML><BODY>\n"
                   << "<P>The script failed: rc=" << rc << "\n"
                   << "</BODY></HTML>\n";
    }
    stdoutFile.close();
    return -1;
}

// ---------------------------------------------------------------------------
// File-type commands

void setFileTypeCommands(const FileTypeCommandMap& commands) {
    ExclusiveLockGuard guard(&fileTypeLock(), __FILE__, __LINE__);
    fileTypeTable() = commands;
}

FileTypeCommandMap getFileTypeCommands() {
    SharedLockGuard guard(&fileTypeLock(), __FILE__, __LINE__);
    return fileTypeTable();
}

CommandLine buildRunCommandLine(const std::string& scriptFilename, const std::string& requestFilename) {
    const std::string extension = tools::getFileExtension(scriptFilename);
    // Programs start in the script's folder: a relative script path is taken
    // from the current folder before the program changes it.
    const std::string script = absoluteScriptPath(scriptFilename);

    bool found = false;
    std::string commandTemplate;
    {
        SharedLockGuard guard(&fileTypeLock(), __FILE__, __LINE__);
        auto it = fileTypeTable().find(extension);
        if (it != fileTypeTable().end()) {
            commandTemplate = it->second;
            found = true;
        }
    }

    CommandLine commandLine;
    if (!found) {
        // A program or a script with its own "#!" line runs directly.
        if (isExecutableFile(script)) {
            commandLine.args = {script, requestFilename};
            return commandLine;
        }
        commandTemplate = lookupRegistryTemplate(extension);
    }

    std::vector<std::string> scriptArg{script};
    if (strcasecmp(extension.c_str(), ".class") == 0)
        scriptArg = {"-cp", tools::getDirectoryOf(script), tools::getFileBaseName(script)};

    if (commandTemplate.find("%1") != std::string::npos) {
        std::size_t star = commandTemplate.find("%*");
        if (star != std::string::npos) commandTemplate.replace(star, 2, "%2");
        for (const std::string& word : splitTemplate(commandTemplate))
            expandWord(word, scriptArg, requestFilename, commandLine.args);
    } else {
        commandLine.args = splitTemplate(commandTemplate);
        commandLine.args.insert(commandLine.args.end(), scriptArg.begin(), scriptArg.end());
        commandLine.args.push_back(requestFilename);
    }
    return commandLine;
}

// ---------------------------------------------------------------------------
// Library hook relay messages

void setDllChannelHookMessages(std::uintptr_t window, int eventMessage, int commandMessage) {
    g_hookWindow = window;
    g_hookEventMessage = eventMessage;
    g_hookCommandMessage = commandMessage;
}

std::uintptr_t getDllChannelHookWindow() { return g_hookWindow; }
int getDllChannelHookEventMessage() { return g_hookEventMessage; }
int getDllChannelHookCommandMessage() { return g_hookCommandMessage; }

}  // namespace channels
