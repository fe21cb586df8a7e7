// A channel hook library for the tests, built in four variants:
//   HOOKTEST_GOOD      fills the record and handles calls;
//   HOOKTEST_NOINFO    exports no get_channel_hook_info;
//   HOOKTEST_REFUSE    refuses the record;
//   HOOKTEST_NOMALLOC  leaves word 2 (channel_hook_malloc) zero.
//
// What a call does is chosen by the request's channel parameter "Mode":
//   ok      writes "handled <name>" to standard output, returns true
//   fail    writes nothing, returns false
//   unknown writes "Unknown event: <name>" to standard error, returns true
//   save    stores LastCall=<name> in the private settings file and asks the
//           host to save the attachment's settings (SaveChannelHookSettings)
//   update  asks the host to update the channel (UpdateChannel)
//   open    asks the host to open the item of the channel parameters
//           OpenItemId and OpenItemUrl (OpenFeedItem)
// With the channel parameter "RecordDir" every request is copied there as
// lib-<n>.ini, n counted from 0. The hooktest_* exports let the tests see what happened.
#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "channels/hooks/dllChannelHookApi.h"
#include "platform/messages.h"
#include "platform/profile.h"

namespace {

std::atomic<std::uintptr_t> g_hostWindow{0};
std::atomic<int> g_infoVersion{0};
std::atomic<bool> g_wordsWereZero{false};
std::mutex g_mutex;
std::vector<std::uintptr_t> g_callThreads;
int g_recorded = 0;

void writeText(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << text;
}

bool handle(const char* requestFile, const char* stdoutFile, const char* stderrFile, const char* nameKey) {
    const std::string request = requestFile;
    const std::string mode = platform::profile::getString(request, "ChannelHookParameters", "Mode", "ok");
    const std::string recordDir = platform::profile::getString(request, "ChannelHookParameters", "RecordDir", "");
    const std::string name = platform::profile::getString(request, "Config", nameKey, "");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_callThreads.push_back(static_cast<std::uintptr_t>(pthread_self()));
        if (!recordDir.empty()) {
            // Written under another name first: a copy appears complete.
            const std::string name = recordDir + "/lib-" + std::to_string(g_recorded++);
            {
                std::ifstream in(request, std::ios::binary);
                std::ofstream out(name + ".tmp", std::ios::binary);
                out << in.rdbuf();
            }
            std::rename((name + ".tmp").c_str(), (name + ".ini").c_str());
        }
    }
    if (mode == "fail") return false;
    if (mode == "unknown") {
        writeText(stderrFile, "Unknown event: " + name);
        return true;
    }
    if (mode == "save") {
        const std::string settingsFile = platform::profile::getString(request, "Config", "SettingsFilename", "");
        const std::string section = platform::profile::getString(request, "Config", "SettingsSectionName", "");
        platform::profile::writeString(settingsFile, section, "LastCall", name);
        ChannelHookCallbackCookies cookies{
            std::strtoull(platform::profile::getString(request, "Config", "hChannelCookie", "0").c_str(), nullptr, 10),
            std::strtoull(platform::profile::getString(request, "Config", "hChannelHookCookie", "0").c_str(), nullptr,
                          10)};
        platform::messages::sendMessage(g_hostWindow.load(), channels::kSaveChannelHookSettingsMsg, 0,
                                        reinterpret_cast<std::intptr_t>(&cookies));
    }
    if (mode == "update") {
        ChannelHookCallbackCookies cookies{
            std::strtoull(platform::profile::getString(request, "Config", "hChannelCookie", "0").c_str(), nullptr, 10),
            0};
        platform::messages::sendMessage(g_hostWindow.load(), channels::kUpdateChannelMsg, 0,
                                        reinterpret_cast<std::intptr_t>(&cookies));
    }
    if (mode == "open") {
        const std::string id = platform::profile::getString(request, "ChannelHookParameters", "OpenItemId", "");
        const std::string url = platform::profile::getString(request, "ChannelHookParameters", "OpenItemUrl", "");
        ChannelHookOpenFeedItemArgs args{
            std::strtoull(platform::profile::getString(request, "Config", "hChannelCookie", "0").c_str(), nullptr, 10),
            id.c_str(), url.c_str()};
        platform::messages::sendMessage(g_hostWindow.load(), channels::kOpenFeedItemMsg, 0,
                                        reinterpret_cast<std::intptr_t>(&args));
    }
    writeText(stdoutFile, "handled " + name);
    return true;
}

}  // namespace

extern "C" {

bool process_event(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    return handle(requestFile, stdoutFile, stderrFile, "EventName");
}

bool process_command(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    return handle(requestFile, stdoutFile, stderrFile, "CommandName");
}

void* channel_hook_malloc(std::size_t size) { return std::malloc(size); }
void channel_hook_free(void* p) { std::free(p); }

#ifndef HOOKTEST_NOINFO
bool get_channel_hook_info(int version, ChannelHookInfo* info, const char*) {
    g_infoVersion = version;
    g_hostWindow = info->words[0];
    g_wordsWereZero = info->words[1] == 0 && info->words[2] == 0 && info->words[3] == 0;
#ifdef HOOKTEST_REFUSE
    return false;
#else
    info->words[0] = reinterpret_cast<std::uintptr_t>(&process_event);
    info->words[1] = reinterpret_cast<std::uintptr_t>(&process_command);
#ifdef HOOKTEST_NOMALLOC
    info->words[2] = 0;
#else
    info->words[2] = reinterpret_cast<std::uintptr_t>(&channel_hook_malloc);
#endif
    info->words[3] = reinterpret_cast<std::uintptr_t>(&channel_hook_free);
    return true;
#endif
}
#endif

std::uintptr_t hooktest_host_window() { return g_hostWindow.load(); }
int hooktest_info_version() { return g_infoVersion.load(); }
bool hooktest_info_words_were_zero() { return g_wordsWereZero.load(); }
int hooktest_call_count() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_callThreads.size());
}
std::uintptr_t hooktest_call_thread(int i) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return i >= 0 && i < static_cast<int>(g_callThreads.size()) ? g_callThreads[static_cast<std::size_t>(i)] : 0;
}

}  // extern "C"
