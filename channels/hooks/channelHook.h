#pragma once
// Channel hooks: outside code (a library or a script) attached to one channel
// that is told about the channel's events and runs the user's commands.
//
// A hook definition file (".hook", INI) names the code and what it wants:
//
//   [Config]
//   ScriptFilename=notify.sh        ; ".dll" = library hook, else a script
//   DisplayName=Notifier            ; default: the definition file's name
//   AuthorName=... AuthorEmailAddress=... Notes=...
//   [Events]
//   NewFeedItem=1                   ; event names, exact case; false = absent
//   [GlobalChannelHookParameterDefinition-1]   ; one value per definition file
//   [ChannelHookParameterDefinition-1]         ; one value per attachment
//   [ChannelHookCommandDefinition-1]
//   Name=Resend
//   DisplayName=Send the last mail again
//
// Every attachment is one ChannelHook owned by the channel's settings, which
// create it with createChannelHook and call loadSettings. For each event the
// hook wants and for every command it writes a request file
// (channels/hookRequestFile.h), runs the code (DllChannelHook on the
// user-interface thread, ScriptChannelHook as a child process) and records
// the output in its own log and the program log. A hook fails only through
// its standard-error text.
//
// Parameter and command definitions are read once per definition file and
// process; Config and Events again at every load.
//
// Lifetime: the owner holds one reference from creation; a caller that uses a
// hook outside the lock of the list that holds it takes one more
// (addReference) and drops it with releaseReference. The object is deleted
// when the last reference goes, so a hook removed from a channel while a call
// is still running stays valid until that call has returned.
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "channels/plugin/paramDef.h"
#include "lib/log/messageLog.h"
#include "lib/misc/threadSafety.h"

namespace tools {
class TempFile;
}

namespace channels {

class Channel;
class ChannelManager;
class Event;

struct CommandDef {
    std::string name;
    std::string displayName;
};
using CommandDefs = std::vector<CommandDef>;

class ChannelHook {
public:
    // Creates the private settings file and the log file (both empty); the
    // hook log starts switched off.
    ChannelHook();
    // Waits for operations that hold the hook's lock; deletes both files.
    virtual ~ChannelHook();
    ChannelHook(const ChannelHook&) = delete;
    ChannelHook& operator=(const ChannelHook&) = delete;

    // Loads the definition file, then this attachment's configuration
    // (configSection: _DisplayName, _EnableLogFile, channel parameter values)
    // and private settings (settingsSection) from the channel file.
    virtual void loadSettings(const std::string& hookFile, const std::string& channelFile,
                              const std::string& configSection, const std::string& settingsSection);
    // Reads the definition file and loads the code (loadDll).
    virtual void loadConfig(const std::string& hookFile);
    // Writes the global values into the user configuration file and this
    // attachment's configuration and private settings into the channel file.
    virtual void saveSettings(const std::string& channelFile, const std::string& configSection,
                              const std::string& settingsSection);
    // Runs the hook for the event when it wants it; errors of the run itself
    // (a script that timed out) are thrown, errors the hook reports are logged.
    virtual void raiseEvent(Channel* channel, const Event& event);
    // Runs a command; *failedOut (when given) tells whether the hook wrote
    // an error.
    virtual void executeCommand(Channel* channel, const std::string& commandName, bool* failedOut);
    // Loads the hook's code; nothing for scripts.
    virtual void loadDll(const std::string& hookFile);
    // Run the hook for an event / a command with the request file; append
    // its standard output and standard error to the two texts.
    virtual void invokeEvent(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                             std::string& stderrText) = 0;
    virtual void invokeCommand(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                               std::string& stderrText) = 0;
    // Writes the parameter sections and the settings-file keys of a request.
    virtual void writeParams(const std::string& requestFile);
    // Records the hook's output and errors in the hook log and program log.
    virtual void reportError(const std::string& stdoutText, const std::string& stderrText);

    std::string getScriptFilename() const;
    // The definition file.
    std::string getConfigFilename() const;
    std::string getDisplayName() const;
    std::string getAuthorName() const;
    std::string getAuthorEmailAddress() const;
    std::string getNotes() const;
    bool isLogEnabled() const;
    void setDisplayName(const std::string& name);
    void enableLog(bool enable);
    bool wantsEvent(const std::string& eventName) const;

    // Values shared by every attachment of the same definition file.
    void getGlobalParams(ParamDefs& defsOut, ParamValues& valuesOut) const;
    void setGlobalParamValues(const ParamValues& values);
    // This attachment's values.
    void getChannelParams(ParamDefs& defsOut, ParamValues& valuesOut) const;
    void setChannelParamValues(const ParamValues& values);
    void getCommandDefs(CommandDefs& out) const;

    SharedExclusiveLock& getLock() const { return lock_; }
    tools::TempFile& getLogFile() const { return *logFile_; }
    // The private settings file (section "Settings").
    std::string getSettingsFilename() const;
    // The attachment's handle in request files (hChannelHookCookie): unique
    // among all hooks of the process, never reused.
    std::uintptr_t getCookie() const { return cookie_; }

    void addReference();
    // Drops one reference; deletes the hook with the last one.
    static void releaseReference(ChannelHook* hook);

protected:
    // Appends the whole content of a file (the hook's output files).
    static void appendFileText(const std::string& path, std::string& text);

private:
    void logToHook(const std::string& text);
    void logSection(CMessageLog& log, CMessageGroup* group, const std::string& title, const std::string& text);
    // Request dump for the program log, passwords masked.
    void dumpRequest(const std::string& requestFile);

    mutable SharedExclusiveLock lock_;
    std::string configFilename_;
    std::string scriptFilename_;
    std::string displayName_;
    std::string authorName_;
    std::string authorEmailAddress_;
    std::string notes_;
    std::set<std::string> wantedEvents_;
    ParamValues channelParamValues_;
    std::unique_ptr<tools::TempFile> settingsFile_;
    std::unique_ptr<tools::TempFile> logFile_;
    // Events and commands of one attachment may run at the same time: the
    // hook log keeps whole lines with a lock of its own.
    SharedExclusiveLock logLock_;
    CMessageLog hookLog_;
    const std::uintptr_t cookie_;
    std::atomic<int> references_{1};
};

// A new, not yet loaded hook for the definition file: a DllChannelHook when
// ScriptFilename ends in ".dll" (any case), else a ScriptChannelHook. Throws
// channels::Exception "Missing ScriptFilename parameter: " + hookFile.
std::unique_ptr<ChannelHook> createChannelHook(const std::string& hookFile);

// Connects the channel settings to the hook code (see ChannelHookHost in
// channels/channelSettings.h). Called once at start-up, before channels load.
void installChannelHookHost();

// hChannelCookie of request files: the channel object's identity as a full
// pointer-sized value. Channels stay valid objects until the manager stops
// (deleted ones are retired, not freed), so a cookie never names another
// channel.
std::uintptr_t getChannelCookie(const Channel* channel);
// The live channel of the manager with that cookie, or null (deleted or
// unknown channels).
Channel* findChannelByCookie(const ChannelManager& manager, std::uintptr_t cookie);
// A counted reference to a hook: the hook stays a valid object while any
// reference to it lives, even when another thread detaches it meanwhile.
class ChannelHookRef {
public:
    ChannelHookRef() = default;
    // Takes one more reference to the hook (null gives an empty reference).
    explicit ChannelHookRef(ChannelHook* hook) : hook_(hook) {
        if (hook_ != nullptr) hook_->addReference();
    }
    ~ChannelHookRef() { ChannelHook::releaseReference(hook_); }
    ChannelHookRef(const ChannelHookRef& other) : ChannelHookRef(other.hook_) {}
    ChannelHookRef(ChannelHookRef&& other) noexcept : hook_(other.hook_) { other.hook_ = nullptr; }
    ChannelHookRef& operator=(ChannelHookRef other) noexcept {
        std::swap(hook_, other.hook_);
        return *this;
    }

    ChannelHook* get() const { return hook_; }
    ChannelHook* operator->() const { return hook_; }
    ChannelHook& operator*() const { return *hook_; }
    explicit operator bool() const { return hook_ != nullptr; }

private:
    ChannelHook* hook_ = nullptr;
};

// The hook attached to the channel with that cookie, retained for the
// caller, or an empty reference.
ChannelHookRef findChannelHookByCookie(const Channel& channel, std::uintptr_t cookie);

}  // namespace channels
