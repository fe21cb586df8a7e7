#include "channels/hooks/channelHook.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "channels/channel.h"
#include "channels/channelEvents.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/exception.h"
#include "channels/hooks/hookRequestFile.h"
#include "channels/hooks/scriptChannelHook.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

// Process-wide tables, keyed by the definition file path exactly as given.
// The global-parameter lock guards two tables. The three locks are never
// held together, and never inside a hook's own lock.
struct HookTables {
    SharedExclusiveLock globalParamLock;
    std::map<std::string, ParamDefs> globalParamDefs;
    std::map<std::string, ParamValues> globalParamValues;
    SharedExclusiveLock channelParamLock;
    std::map<std::string, ParamDefs> channelParamDefs;
    SharedExclusiveLock commandLock;
    std::map<std::string, CommandDefs> commandDefs;
};

HookTables& tables() {
    static HookTables* t = new HookTables;  // lives until the process ends
    return *t;
}

std::atomic<std::uintptr_t> g_nextHookCookie{1};

const char* const kConfig = "Config";
const char* const kEvents = "Events";

std::ostream& openLogFile(tools::TempFile& file) {
    file.open();
    return file;
}

// The hook code as seen by the channel settings.
class HookHost : public ChannelHookHost {
public:
    ChannelHook* createChannelHook(const std::string& hookFile) override {
        return channels::createChannelHook(hookFile).release();
    }
    void loadSettings(ChannelHook& hook, const std::string& hookFile, const std::string& channelFile,
                      const std::string& configSection, const std::string& settingsSection) override {
        hook.loadSettings(hookFile, channelFile, configSection, settingsSection);
    }
    void saveSettings(ChannelHook& hook, const std::string& channelFile, const std::string& configSection,
                      const std::string& settingsSection) override {
        hook.saveSettings(channelFile, configSection, settingsSection);
    }
    void raiseEvent(ChannelHook& hook, Channel* channel, const Event& event) override {
        hook.raiseEvent(channel, event);
    }
    std::string getConfigFilename(const ChannelHook& hook) override { return hook.getConfigFilename(); }
    std::string getDisplayName(const ChannelHook& hook) override { return hook.getDisplayName(); }
    void destroyChannelHook(ChannelHook* hook) override { ChannelHook::releaseReference(hook); }
    void retainChannelHook(ChannelHook& hook) override { hook.addReference(); }
    void releaseChannelHook(ChannelHook* hook) override { ChannelHook::releaseReference(hook); }
};

}  // namespace

// ---------------------------------------------------------------------------
// Construction and lifetime

ChannelHook::ChannelHook()
    : settingsFile_(std::make_unique<tools::TempFile>()),
      logFile_(std::make_unique<tools::TempFile>(".log")),
      hookLog_(openLogFile(*logFile_)),
      cookie_(g_nextHookCookie.fetch_add(1)) {
    hookLog_.setThreadSafetyLock(&logLock_);
    hookLog_.showDate(true);
    hookLog_.showTime(true);
    hookLog_.setEnabled(false);
}

ChannelHook::~ChannelHook() {
    // Let operations that still hold the lock finish first.
    { ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__); }
}

void ChannelHook::addReference() { references_.fetch_add(1); }

void ChannelHook::releaseReference(ChannelHook* hook) {
    if (hook != nullptr && hook->references_.fetch_sub(1) == 1) delete hook;
}

std::unique_ptr<ChannelHook> createChannelHook(const std::string& hookFile) {
    const std::string scriptFile = tools::getIniString(hookFile, kConfig, "ScriptFilename", "", true);
    if (scriptFile.empty()) throw Exception("Missing ScriptFilename parameter: " + hookFile);
    if (mbsCompareNoCase(tools::getFileExtension(scriptFile), ".dll") == 0) return std::make_unique<DllChannelHook>();
    return std::make_unique<ScriptChannelHook>();
}

void installChannelHookHost() {
    static HookHost host;
    setChannelHookHost(&host);
}

// ---------------------------------------------------------------------------
// Loading and saving

void ChannelHook::loadConfig(const std::string& hookFile) {
    // Read everything first; the hook lock is then taken only around the
    // members, and never while a table lock is held.
    std::string scriptFile = tools::getIniString(hookFile, kConfig, "ScriptFilename", "", true);
    if (!scriptFile.empty() && tools::getDirectoryOf(scriptFile).empty())
        scriptFile = tools::getDirectoryOf(hookFile) + scriptFile;
    std::string displayName = tools::getIniString(hookFile, kConfig, "DisplayName", "", true);
    if (displayName.empty()) displayName = tools::getFileName(hookFile);
    const std::string authorName = tools::getIniString(hookFile, kConfig, "AuthorName", "", true);
    const std::string authorEmail = tools::getIniString(hookFile, kConfig, "AuthorEmailAddress", "", true);
    const std::string notes = tools::getIniString(hookFile, kConfig, "Notes", "", true);
    std::set<std::string> wanted;
    for (const std::string& key : tools::getIniKeyNames(hookFile, kEvents))
        if (tools::getIniBool(hookFile, kEvents, key, false)) wanted.insert(key);

    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        configFilename_ = hookFile;
        scriptFilename_ = scriptFile;
        displayName_ = displayName;
        authorName_ = authorName;
        authorEmailAddress_ = authorEmail;
        notes_ = notes;
        wantedEvents_ = std::move(wanted);
    }

    // The entry is made before the definitions are read: definitions read
    // before an error stay, and later attachments load without the error.
    HookTables& t = tables();
    ScriptingEngine& engine = getScriptingEngine();
    {
        ExclusiveLockGuard guard(&t.globalParamLock, __FILE__, __LINE__);
        if (t.globalParamDefs.find(hookFile) == t.globalParamDefs.end()) {
            ParamDefs& defs = t.globalParamDefs[hookFile];
            engine.loadParamDefTable(hookFile, defs, "GlobalChannelHookParameterDefinition-");
            engine.loadParamValues(hookFile, defs, t.globalParamValues[hookFile]);
        }
    }
    {
        ExclusiveLockGuard guard(&t.channelParamLock, __FILE__, __LINE__);
        if (t.channelParamDefs.find(hookFile) == t.channelParamDefs.end())
            engine.loadParamDefTable(hookFile, t.channelParamDefs[hookFile], "ChannelHookParameterDefinition-");
    }
    {
        ExclusiveLockGuard guard(&t.commandLock, __FILE__, __LINE__);
        if (t.commandDefs.find(hookFile) == t.commandDefs.end()) {
            CommandDefs& commands = t.commandDefs[hookFile];
            for (int n = 1;; ++n) {
                const std::string section = "ChannelHookCommandDefinition-" + std::to_string(n);
                const std::string name = tools::getIniString(hookFile, section, "Name", "", true);
                if (name.empty()) break;
                commands.push_back({name, tools::getIniString(hookFile, section, "DisplayName", "", true)});
            }
        }
    }

    loadDll(hookFile);
}

void ChannelHook::loadSettings(const std::string& hookFile, const std::string& channelFile,
                               const std::string& configSection, const std::string& settingsSection) {
    loadConfig(hookFile);

    const std::string displayName = tools::getIniString(channelFile, configSection, "_DisplayName", "", true);
    const bool logOn = tools::getIniBool(channelFile, configSection, "_EnableLogFile", false);
    ParamValues values;
    {
        HookTables& t = tables();
        SharedLockGuard guard(&t.channelParamLock, __FILE__, __LINE__);
        auto defs = t.channelParamDefs.find(hookFile);
        if (defs != t.channelParamDefs.end())
            getScriptingEngine().readParamValues(channelFile, configSection, defs->second, values);
    }
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        if (!displayName.empty()) displayName_ = displayName;
        hookLog_.setEnabled(logOn);
        channelParamValues_ = std::move(values);
    }
    // The hook reads its private settings from this file: without them it
    // would run as if it had none.
    if (!tools::copyIniSection(channelFile, settingsSection, settingsFile_->getFilename(), kChannelHookSettingsSection))
        throw Exception("Can't write the channel hook settings file: " + settingsFile_->getFilename());
}

void ChannelHook::saveSettings(const std::string& channelFile, const std::string& configSection,
                               const std::string& settingsSection) {
    const std::string definitionFile = getConfigFilename();
    HookTables& t = tables();
    bool globalsSaved = true;
    {
        SharedLockGuard guard(&t.globalParamLock, __FILE__, __LINE__);
        auto it = t.globalParamValues.find(definitionFile);
        if (it != t.globalParamValues.end())
            globalsSaved = getScriptingEngine().saveParamValues(definitionFile, it->second);
    }

    std::string displayName;
    bool logOn = false;
    ParamValues values;
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        displayName = displayName_;
        logOn = hookLog_.isEnabled();
        values = channelParamValues_;
    }
    // Inside a channel save these join its batch, whose commit reports.
    bool ok = tools::deleteIniSection(channelFile, configSection);
    ok = tools::writeIniString(channelFile, configSection, "_DisplayName", displayName) && ok;
    ok = tools::writeIniBool(channelFile, configSection, "_EnableLogFile", logOn) && ok;
    ok = getScriptingEngine().writeParamValues(channelFile, configSection, values) && ok;
    ok = tools::copyIniSection(settingsFile_->getFilename(), kChannelHookSettingsSection, channelFile,
                               settingsSection) &&
         ok;
    if (!ok) throw Exception("Can't write the channel file " + channelFile + ": " + platform::files::lastErrorText());
    if (!globalsSaved)
        throw Exception("Can't save the channel hook parameter values to " +
                        getScriptingEngine().getUserConfigFilename());
}

void ChannelHook::loadDll(const std::string&) {}

void ChannelHook::appendFileText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    text += content.str();
}

// ---------------------------------------------------------------------------
// Events and commands

void ChannelHook::raiseEvent(Channel* channel, const Event& event) {
    const std::string eventName = event.getEventName();
    if (!wantsEvent(eventName)) return;

    ORVAN_LOG(logGroupChannelHooks()) << "Raising " << getDisplayName() << " channel hook event for channel "
                                      << getChannelDisplayName(channel) << ":" << std::endl;
    ORVAN_LOG(logGroupChannelHooks()) << "- event: " << event << std::endl;

    std::unique_ptr<tools::TempFile> request = writeChannelHookEventRequest(*this, channel, event);
    const std::string message = "Raising the channel event: " + eventName;
    logToHook(message);
    ORVAN_LOG(logGroupChannelHooks()) << message << std::endl;
    dumpRequest(request->getFilename());

    std::string stdoutText;
    std::string stderrText;
    invokeEvent(channel, request->getFilename(), stdoutText, stderrText);
    reportError(stdoutText, stderrText);
}

void ChannelHook::executeCommand(Channel* channel, const std::string& commandName, bool* failedOut) {
    ORVAN_LOG(logGroupChannelHooks()) << "Executing " << getDisplayName() << " channel hook command " << commandName
                                      << " for channel " << getChannelDisplayName(channel) << ":" << std::endl;

    std::unique_ptr<tools::TempFile> request = writeChannelHookCommandRequest(*this, channel, commandName);
    const std::string message = "Executing the channel command: " + commandName;
    logToHook(message);
    ORVAN_LOG(logGroupChannelHooks()) << message << std::endl;
    dumpRequest(request->getFilename());

    std::string stdoutText;
    std::string stderrText;
    invokeCommand(channel, request->getFilename(), stdoutText, stderrText);
    reportError(stdoutText, stderrText);
    if (failedOut != nullptr) *failedOut = !stderrText.empty();
}

void ChannelHook::reportError(const std::string& stdoutText, const std::string& stderrText) {
    CMessageGroup& group = logGroupChannelHooks();
    if (!stdoutText.empty()) {
        if (isLogEnabled()) logSection(hookLog_, nullptr, "STDOUT:", stdoutText);
        if (group.isEnabled()) logSection(getMessageLog(), &group, "STDOUT:", stdoutText);
    }
    if (!stderrText.empty()) {
        {
            // The hook's errors always reach its log: switched on for them
            // when it is off. The hook lock keeps enableLog out meanwhile.
            ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
            if (hookLog_.isEnabled()) {
                logSection(hookLog_, nullptr, "STDERR:", stderrText);
            } else {
                hookLog_.setEnabled(true);
                logSection(hookLog_, nullptr, "A channel hook error has occured:", stderrText);
                hookLog_.setEnabled(false);
            }
        }
        if (group.isEnabled()) logSection(getMessageLog(), &group, "STDERR:", stderrText);
    }
}

void ChannelHook::logToHook(const std::string& text) {
    if (!isLogEnabled()) return;
    BufferedLogStatement(hookLog_, nullptr, __FILE__, __LINE__).stream() << text << std::endl;
}

void ChannelHook::logSection(CMessageLog& log, CMessageGroup* group, const std::string& title,
                             const std::string& text) {
    LogStatement statement(log, group, __FILE__, __LINE__);
    statement.log() << title << std::endl;
    statement.log().indent();
    // The hook's output may name a URL with its password: masked as in every
    // other log line.
    statement.log() << maskUrlPasswords(text);
    statement.log().outdent();
    // The log file only flushes at line ends; the hook's last text may have
    // none and must still be readable now.
    if (&log == &hookLog_) logFile_->flush();
}

void ChannelHook::dumpRequest(const std::string& requestFile) {
    CMessageGroup& group = logGroupChannelHooks();
    if (!group.isEnabled()) return;
    ParamDefs globalDefs;
    ParamDefs channelDefs;
    ParamValues unused;
    getGlobalParams(globalDefs, unused);
    getChannelParams(channelDefs, unused);
    const std::string text = getLoggableHookRequestText(requestFile, globalDefs, channelDefs);

    LogStatement statement(getMessageLog(), &group, __FILE__, __LINE__);
    statement.log() << "--- BEGIN CONFIG FILE ---" << std::endl;
    statement.log().indent();
    statement.log() << text;
    statement.log().outdent();
    statement.log() << "--- END CONFIG FILE ---" << std::endl;
}

// ---------------------------------------------------------------------------
// Accessors

std::string ChannelHook::getScriptFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return scriptFilename_;
}

std::string ChannelHook::getConfigFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return configFilename_;
}

std::string ChannelHook::getDisplayName() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return displayName_;
}

std::string ChannelHook::getAuthorName() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return authorName_;
}

std::string ChannelHook::getAuthorEmailAddress() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return authorEmailAddress_;
}

std::string ChannelHook::getNotes() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return notes_;
}

bool ChannelHook::isLogEnabled() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return hookLog_.isEnabled();
}

void ChannelHook::setDisplayName(const std::string& name) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    displayName_ = name;
}

void ChannelHook::enableLog(bool enable) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    hookLog_.setEnabled(enable);
}

bool ChannelHook::wantsEvent(const std::string& eventName) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return wantedEvents_.count(eventName) != 0;
}

std::string ChannelHook::getSettingsFilename() const { return settingsFile_->getFilename(); }

void ChannelHook::getGlobalParams(ParamDefs& defsOut, ParamValues& valuesOut) const {
    const std::string definitionFile = getConfigFilename();
    HookTables& t = tables();
    SharedLockGuard guard(&t.globalParamLock, __FILE__, __LINE__);
    auto defs = t.globalParamDefs.find(definitionFile);
    defsOut = defs != t.globalParamDefs.end() ? defs->second : ParamDefs();
    auto values = t.globalParamValues.find(definitionFile);
    valuesOut = values != t.globalParamValues.end() ? values->second : ParamValues();
}

void ChannelHook::setGlobalParamValues(const ParamValues& values) {
    const std::string definitionFile = getConfigFilename();
    HookTables& t = tables();
    ExclusiveLockGuard guard(&t.globalParamLock, __FILE__, __LINE__);
    t.globalParamValues[definitionFile] = values;
}

void ChannelHook::getChannelParams(ParamDefs& defsOut, ParamValues& valuesOut) const {
    const std::string definitionFile = getConfigFilename();
    HookTables& t = tables();
    SharedLockGuard guard(&t.channelParamLock, __FILE__, __LINE__);
    auto defs = t.channelParamDefs.find(definitionFile);
    defsOut = defs != t.channelParamDefs.end() ? defs->second : ParamDefs();
    SharedLockGuard hookGuard(&lock_, __FILE__, __LINE__);
    valuesOut = channelParamValues_;
}

void ChannelHook::setChannelParamValues(const ParamValues& values) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    channelParamValues_ = values;
}

void ChannelHook::getCommandDefs(CommandDefs& out) const {
    const std::string definitionFile = getConfigFilename();
    HookTables& t = tables();
    ExclusiveLockGuard guard(&t.commandLock, __FILE__, __LINE__);
    auto it = t.commandDefs.find(definitionFile);
    out = it != t.commandDefs.end() ? it->second : CommandDefs();
}

// ---------------------------------------------------------------------------
// Cookies

std::uintptr_t getChannelCookie(const Channel* channel) { return reinterpret_cast<std::uintptr_t>(channel); }

Channel* findChannelByCookie(const ChannelManager& manager, std::uintptr_t cookie) {
    if (cookie == 0) return nullptr;
    SharedLockGuard guard(&manager.getLock(), __FILE__, __LINE__);
    for (Channel* channel : manager.getChannels())
        if (getChannelCookie(channel) == cookie) return channel;
    return nullptr;
}

ChannelHookRef findChannelHookByCookie(const Channel& channel, std::uintptr_t cookie) {
    if (cookie == 0) return ChannelHookRef();
    const ChannelSettings& settings = channel.getChannelSettings();
    // Retained under the lock: once it is released, another thread may
    // detach the hook and drop the list's reference.
    SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
    for (ChannelHook* hook : settings.getChannelHooks())
        if (hook->getCookie() == cookie) return ChannelHookRef(hook);
    return ChannelHookRef();
}

}  // namespace channels
