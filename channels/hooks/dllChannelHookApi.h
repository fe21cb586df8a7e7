#pragma once
// The binary contract between the host and a channel hook library. A hook
// library needs this header and the platform library (messages, profile
// files) only, nothing else of the engine. It exports, with C linkage:
//
//   extern "C" bool get_channel_hook_info(int version, ChannelHookInfo* info, const char* hookFile);
//
// The host passes version 1 and a record whose word 0 holds the host window
// (a platform::messages handle) and whose other words are zero. A library
// that accepts fills all four words with its entry points, in this order:
//
//   bool  process_event(const char* requestFile, const char* stdoutFile, const char* stderrFile);
//   bool  process_command(const char* requestFile, const char* stdoutFile, const char* stderrFile);
//   void* channel_hook_malloc(size_t size);
//   void  channel_hook_free(void* p);
//
// Every call reaches the library on the host's user-interface thread. The
// library reports failure by writing text into the standard-error file
// (whatever it returns); its standard-output text is recorded as
// information.
//
// A library asks the host for actions by sending one of the callback
// messages below to the host window (platform::messages::sendMessage), with
// the address of the record as the second message parameter. The cookies are
// the values of hChannelCookie and hChannelHookCookie in the request file,
// passed back unchanged; a cookie of a channel or attachment that no longer
// exists is ignored.
#include <cstddef>
#include <cstdint>

#include "platform/messages.h"

extern "C" {

// Four pointer-sized words: the host window on the call of
// get_channel_hook_info, the four entry points after it.
struct ChannelHookInfo {
    std::uintptr_t words[4];
};

typedef bool (*GetChannelHookInfoFunc)(int version, ChannelHookInfo* info, const char* hookFile);
typedef bool (*ProcessChannelHookCallFunc)(const char* requestFile, const char* stdoutFile, const char* stderrFile);
typedef void* (*ChannelHookMallocFunc)(std::size_t size);
typedef void (*ChannelHookFreeFunc)(void* p);

// Record of SaveChannelHookSettings, OpenChannelProperties (hook cookie 0:
// no particular hook) and UpdateChannel (hook cookie unused).
struct ChannelHookCallbackCookies {
    std::uintptr_t hChannelCookie;
    std::uintptr_t hChannelHookCookie;
};

// Record of OpenFeedItem.
struct ChannelHookOpenFeedItemArgs {
    std::uintptr_t hChannelCookie;
    const char* feedItemId;
    const char* feedItemUrl;
};

}  // extern "C"

namespace channels {

constexpr int kChannelHookInfoVersion = 1;

// Callback messages.
constexpr unsigned kSaveChannelHookSettingsMsg = platform::messages::WM_APP + 100;
constexpr unsigned kOpenChannelPropertiesMsg = platform::messages::WM_APP + 101;
constexpr unsigned kUpdateChannelMsg = platform::messages::WM_APP + 102;
constexpr unsigned kOpenFeedItemMsg = platform::messages::WM_APP + 103;

}  // namespace channels
