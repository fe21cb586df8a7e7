#pragma once
// One running copy of the program per user, and the program's registered
// message numbers.
//
// The running copy holds an exclusive flock on "<dir>/<app>-<uid>.lock" and
// serves the hand-over endpoint, an AF_UNIX stream socket "<dir>/<app>-<uid>.sock"
// (<dir>: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp). A second start finds the
// lock held, sends the command 32844 ("show the main window") over the socket
// and ends with status 0. The kernel drops the lock of a process that died,
// so a crashed run never blocks the next start; a socket file it left behind
// is replaced. Maintenance tools take the same lock (InstanceLock) while they
// work on the user's files; a lock that is held while nobody answers on the
// socket therefore means "busy", never "stale".
//
//   SingleInstance instance(programPaths().appName);
//   switch (instance.start(getDebugSwitch("AllowMultipleInstances"))) {
//   case SingleInstance::Started: break;               // go on
//   case SingleInstance::HandedOver: return 0;         // the first copy shows itself
//   case SingleInstance::Busy: ...                     // a tool holds the lock
//   case SingleInstance::Failed: ...                   // instance.error() says why
//   }
//   instance.setCommandHandler([](unsigned id) { post WM_COMMAND id to the main window });
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/core/commandIds.h"

// The eight registered window messages, in registration order.
struct AppMessages {
    unsigned postInitDialog = 0;              // "PostInitDialog"
    unsigned endChannelUpdate = 0;            // "EndChannelUpdate"
    unsigned logChannelActivity = 0;          // "LogChannelActivity"
    unsigned logErrorMsg = 0;                 // "LogErrorMsg"
    unsigned startNewChannelWizard = 0;       // "StartNewChannelWizard"
    unsigned addToReadMeList = 0;             // "AddToReadMeList"
    unsigned relayDllChannelHookEvent = 0;    // "RelayDllChannelHookEvent"
    unsigned relayDllChannelHookCommand = 0;  // "RelayDllChannelHookCommand"
};
AppMessages& appMessages();
// Registers the eight names (platform::messages::registerMessage) in order.
void registerAppMessages();

// Folder of the lock and the socket: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp.
std::string instanceRuntimeDir();

// The program's exclusive lock. Not thread-safe; one owner.
class InstanceLock {
public:
    explicit InstanceLock(const std::string& appName, const std::string& dir = instanceRuntimeDir());
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock without waiting; true when this object holds it now.
    // False when another holder has it or the lock file cannot be opened
    // (error() says which).
    bool tryLock();
    void unlock();
    bool isHeld() const { return fd_ >= 0; }
    // True when some process holds the lock right now.
    bool isHeldElsewhere() const;

    const std::string& lockPath() const { return lockPath_; }
    const std::string& socketPath() const { return socketPath_; }
    const std::string& error() const { return error_; }

private:
    std::string lockPath_;
    std::string socketPath_;
    std::string error_;
    int fd_ = -1;
};

// Sends a command to the instance that serves the socket; false when nobody
// accepts the connection within timeoutMs.
bool sendInstanceCommand(const std::string& socketPath, unsigned command, int timeoutMs);

class SingleInstance {
public:
    enum Result {
        Started,     // this copy runs (first copy, or a further one that is allowed)
        HandedOver,  // another copy runs and received kCmdShowMainWindow
        Busy,        // the lock is held but nobody answers (a maintenance tool)
        Failed       // the lock file or the socket could not be made; see error()
    };
    using CommandHandler = std::function<void(unsigned command)>;

    explicit SingleInstance(const std::string& appName, const std::string& dir = instanceRuntimeDir());
    // Stops serving and removes the socket file when it is still this copy's.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The start-up test. A copy that runs binds the socket (replacing the
    // endpoint of an earlier copy, so the last copy started is the one that
    // a later start reaches) and serves it on a thread of its own.
    Result start(bool allowMultipleInstances);
    // Commands received from now on go to the handler, on the serving
    // thread; earlier ones are dropped. A null handler drops them again.
    void setCommandHandler(CommandHandler handler);
    // Ends serving; the socket file is removed when it is still ours.
    void stop();

    const std::string& error() const { return error_; }
    const InstanceLock& lock() const { return lock_; }

private:
    bool bindSocket();
    void serve();
    void handleConnection(int fd);

    InstanceLock lock_;
    std::string error_;
    int listenFd_ = -1;
    int stopFd_ = -1;
    unsigned long long socketDev_ = 0, socketIno_ = 0;
    std::thread thread_;
    std::mutex handlerMutex_;
    CommandHandler handler_;
};
