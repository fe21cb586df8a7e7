// A channel hook library whose command "OpenProperties" asks the host to open
// the channel's property sheet for this hook (OpenChannelProperties) and,
// once the host's answer is back, appends "returned" to the file named by its
// channel parameter "Trace": code and data of the library still in use after
// the sheet has closed. Events are answered with "handled <name>".
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "channels/hooks/dllChannelHookApi.h"
#include "platform/messages.h"
#include "platform/profile.h"

namespace {

std::uintptr_t g_hostWindow = 0;
std::string g_lastTrace;

std::uintptr_t cookie(const std::string& request, const char* key) {
    return std::strtoull(platform::profile::getString(request, "Config", key, "0").c_str(), nullptr, 10);
}

}  // namespace

extern "C" {

bool process_event(const char* requestFile, const char* stdoutFile, const char*) {
    std::ofstream(stdoutFile, std::ios::app)
        << "handled " << platform::profile::getString(requestFile, "Config", "EventName", "");
    return true;
}

bool process_command(const char* requestFile, const char* stdoutFile, const char*) {
    const std::string request = requestFile;
    g_lastTrace = platform::profile::getString(request, "ChannelHookParameters", "Trace", "");
    ChannelHookCallbackCookies cookies{cookie(request, "hChannelCookie"), cookie(request, "hChannelHookCookie")};
    platform::messages::sendMessage(g_hostWindow, channels::kOpenChannelPropertiesMsg, 0,
                                    reinterpret_cast<std::intptr_t>(&cookies));
    if (!g_lastTrace.empty()) std::ofstream(g_lastTrace, std::ios::app) << "returned\n";
    std::ofstream(stdoutFile, std::ios::app) << "sheet closed";
    return true;
}

void* channel_hook_malloc(std::size_t size) { return std::malloc(size); }
void channel_hook_free(void* p) { std::free(p); }

bool get_channel_hook_info(int, ChannelHookInfo* info, const char*) {
    g_hostWindow = info->words[0];
    info->words[0] = reinterpret_cast<std::uintptr_t>(&process_event);
    info->words[1] = reinterpret_cast<std::uintptr_t>(&process_command);
    info->words[2] = reinterpret_cast<std::uintptr_t>(&channel_hook_malloc);
    info->words[3] = reinterpret_cast<std::uintptr_t>(&channel_hook_free);
    return true;
}

}  // extern "C"
