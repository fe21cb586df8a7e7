#pragma once
// A channel hook whose code is a shared library (see
// channels/dllChannelHookApi.h for the library's side).
//
// Every call into the library runs on the user-interface thread: the calling
// thread sends the relay message "RelayDllChannelHookEvent" or
// "RelayDllChannelHookCommand" (numbers and window given with
// setDllChannelHookMessages, channels/scriptingEngine.h) and waits; the main
// window's handler answers with
//
//   auto* hook = reinterpret_cast<channels::DllChannelHook*>(wParam);
//   auto* args = reinterpret_cast<const channels::HookCallArgs*>(lParam);
//   return hook->callProcessEvent(*args) ? 1 : 0;     // or callProcessCommand
//
// A send to a window that is gone returns 0: the call counts as failed.
#include <cstdint>
#include <memory>
#include <string>

#include "channels/hooks/channelHook.h"
#include "channels/hooks/dllChannelHookApi.h"
#include "platform/library.h"

namespace channels {

// The three paths of one call, valid until the relay send returns.
struct HookCallArgs {
    const char* requestFile;
    const char* stdoutFile;
    const char* stderrFile;
};

class DllChannelHook : public ChannelHook {
public:
    DllChannelHook() = default;
    // Releases the library before the base part goes.
    ~DllChannelHook() override;

    // Loads the library named by ScriptFilename and takes its entry points.
    // Throws channels::Exception with the loader's text, "Missing
    // get_channel_hook_info() entry point.", "Can't get the channel hook
    // DLL's info." or "Missing entry point: " + the entry point's name.
    void loadDll(const std::string& hookFile) override;
    void invokeEvent(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                     std::string& stderrText) override;
    void invokeCommand(Channel* channel, const std::string& requestFile, std::string& stdoutText,
                       std::string& stderrText) override;
    // On the user-interface thread only (the relay handlers); false when no
    // library is loaded.
    virtual bool callProcessEvent(const HookCallArgs& args);
    virtual bool callProcessCommand(const HookCallArgs& args);

    // The window handed to every library in word 0 of its ChannelHookInfo.
    static void setHostWindow(std::uintptr_t window);
    static std::uintptr_t getHostWindow();

private:
    void relay(int message, const char* failureText, const std::string& requestFile, std::string& stdoutText,
               std::string& stderrText);
    ProcessChannelHookCallFunc entryPoint(int word) const;

    platform::library::Library library_;
    std::unique_ptr<ChannelHookInfo> info_;
};

}  // namespace channels
