#pragma once
// The channel engine's exception and message groups.
//
//   throw channels::Exception("Can't create the stop event.");
//   catch (const std::exception& e) { ... e.what() ... }
//   ORVAN_LOG(channels::logGroupChannelManager()) << "..." << std::endl;
//
// The engine's seven message groups are process-wide objects registered by
// name; all of them start disabled unless the debug configuration's
// "MessageLog" section switches them on.
#include <exception>
#include <string>

#include "lib/log/downloadGroups.h"
#include "lib/log/messageGroup.h"

namespace channels {

class Exception : public std::exception {
public:
    explicit Exception(const std::string& message) : message_(message) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& getMessage() const { return message_; }

private:
    std::string message_;
};

// The engine's message groups. They are registered during static
// initialisation and may also be used from other files' static initialisers.
using ::logGroupHttpHeaders;                      // "HttpHeaders"
using ::logGroupInternetDownloads;                // "InternetDownloads"
CMessageGroup& logGroupChannelManager();          // "ChannelManager"
CMessageGroup& logGroupChannelManagerActivity();  // "ChannelManagerActivity"
CMessageGroup& logGroupScriptPlugins();           // "ScriptPlugins"
CMessageGroup& logGroupChannelHooks();            // "ChannelHooks"
CMessageGroup& logGroupPluginLoad();              // "PluginLoad"

}  // namespace channels
