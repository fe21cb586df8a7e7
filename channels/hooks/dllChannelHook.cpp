#include "channels/hooks/dllChannelHook.h"

#include <atomic>

#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "platform/messages.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

std::atomic<std::uintptr_t> g_hostWindow{0};

const char* const kEntryPointNames[4] = {"process_event()", "process_command()", "channel_hook_malloc()",
                                         "channel_hook_free()"};

}  // namespace

void DllChannelHook::setHostWindow(std::uintptr_t window) { g_hostWindow = window; }
std::uintptr_t DllChannelHook::getHostWindow() { return g_hostWindow; }

DllChannelHook::~DllChannelHook() {
    { ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__); }
    library_.close();
    info_.reset();
}

void DllChannelHook::loadDll(const std::string& hookFile) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    info_.reset();
    if (!library_.open(getScriptFilename())) throw Exception(library_.error());
    auto getInfo = library_.function<GetChannelHookInfoFunc>("get_channel_hook_info");
    if (getInfo == nullptr) throw Exception("Missing get_channel_hook_info() entry point.");

    // Every word is set before the call: the host window in word 0, zero in
    // the others, so that a library which leaves a word alone is caught below.
    info_ = std::make_unique<ChannelHookInfo>();
    info_->words[0] = g_hostWindow.load();
    for (int i = 1; i < 4; ++i) info_->words[i] = 0;
    if (!getInfo(kChannelHookInfoVersion, info_.get(), hookFile.c_str()))
        throw Exception("Can't get the channel hook DLL's info.");
    for (int i = 0; i < 4; ++i)
        if (info_->words[i] == 0) throw Exception(std::string("Missing entry point: ") + kEntryPointNames[i]);
}

ProcessChannelHookCallFunc DllChannelHook::entryPoint(int word) const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    if (!info_) return nullptr;
    return reinterpret_cast<ProcessChannelHookCallFunc>(info_->words[word]);
}

bool DllChannelHook::callProcessEvent(const HookCallArgs& args) {
    ProcessChannelHookCallFunc f = entryPoint(0);
    return f != nullptr && f(args.requestFile, args.stdoutFile, args.stderrFile);
}

bool DllChannelHook::callProcessCommand(const HookCallArgs& args) {
    ProcessChannelHookCallFunc f = entryPoint(1);
    return f != nullptr && f(args.requestFile, args.stdoutFile, args.stderrFile);
}

void DllChannelHook::invokeEvent(Channel*, const std::string& requestFile, std::string& stdoutText,
                                 std::string& stderrText) {
    relay(getDllChannelHookEventMessage(), "The channel hook event invocation failed.", requestFile, stdoutText,
          stderrText);
}

void DllChannelHook::invokeCommand(Channel*, const std::string& requestFile, std::string& stdoutText,
                                   std::string& stderrText) {
    relay(getDllChannelHookCommandMessage(), "The channel hook command invocation failed.", requestFile, stdoutText,
          stderrText);
}

void DllChannelHook::relay(int message, const char* failureText, const std::string& requestFile,
                           std::string& stdoutText, std::string& stderrText) {
    tools::TempFile stdoutFile;
    tools::TempFile stderrFile;
    const HookCallArgs args{requestFile.c_str(), stdoutFile.getFilename().c_str(), stderrFile.getFilename().c_str()};
    // No lock of this hook is held while the user-interface thread runs the
    // call; an unset message number names no message and fails the call.
    std::intptr_t result = 0;
    if (message >= 0)
        result = platform::messages::sendMessage(getDllChannelHookWindow(), static_cast<unsigned>(message),
                                                 reinterpret_cast<std::uintptr_t>(this),
                                                 reinterpret_cast<std::intptr_t>(&args));
    appendFileText(stdoutFile.getFilename(), stdoutText);
    appendFileText(stderrFile.getFilename(), stderrText);
    if (result == 0 && stderrText.empty()) stderrText += std::string(failureText) + "\n";
}

}  // namespace channels
