#pragma once
// The request file through which a channel hook learns about one event or
// command: a temporary INI file (values percent-encoded), deleted when the
// call has returned. Sections and keys, in the order written:
//
//   [GlobalChannelHookParameters]  one key per global parameter (when any)
//   [Config]      ChannelHookConfigFilename, SettingsFilename,
//                 SettingsSectionName ("Settings"), the scripting engine's
//                 standard parameters, Command ("ProcessEvent" or
//                 "ProcessCommand"), EventName or CommandName,
//                 ChannelConfigFile, ChannelDisplayName (the preferred
//                 name, else the feed's title, else the channel's address),
//                 hChannelCookie, hChannelHookCookie
//   [ChannelHookParameters]        one key per channel parameter (when any)
//   the event's own sections       (events only, e.g. [NewFeedItem])
//
// A parameter's value is the stored one, else its definition's default. The
// private settings file (SettingsFilename) lives as long as the attachment;
// what a hook writes into its section "Settings" is stored in the channel
// file at the channel's next save.
#include <memory>
#include <string>

#include "channels/plugin/paramDef.h"

namespace tools {
class TempFile;
}

namespace channels {

class Channel;
class ChannelHook;
class Event;

// Section of the private settings file that the host copies to and from the
// channel file.
constexpr const char* kChannelHookSettingsSection = "Settings";

// Write a complete request for the attachment (owned by the caller; deleted
// with it). Throw channels::Exception when the file can't be written.
std::unique_ptr<tools::TempFile> writeChannelHookEventRequest(ChannelHook& hook, Channel* channel, const Event& event);
std::unique_ptr<tools::TempFile> writeChannelHookCommandRequest(ChannelHook& hook, Channel* channel,
                                                                const std::string& commandName);

// The request file's text for a log, with the values of the password
// parameters of both parameter sections and the passwords of URLs masked.
std::string getLoggableHookRequestText(const std::string& requestFile, const ParamDefs& globalDefs,
                                       const ParamDefs& channelDefs);

}  // namespace channels
