#pragma once
// Local plug-in URLs: addresses on the program's own loopback server through
// which web pages, HTML views and RSS channels reach an application plug-in.
//
//   http://127.0.0.1:<port>/<plug-in id>/<request>?<parameters>
//
//   std::string id;
//   if (isAppPluginUrl(url, id)) { ... }            // id = "<plug-in id>"
//   parsePluginUri("/news/feed?x=1&y=2", id, request, params);
//                                                   // "news", "feed", "x=1&y=2"
//
// The parameters are everything after the first "?" behind the request and
// are handed to the plug-in unchanged; the host does not split them.
//
// The feed-name table lets a library plug-in state, when it is loaded, the
// shortest automatic-update interval (seconds) it wants for some of its
// feeds; RSS channels whose local URL names such a feed apply it. Names are
// compared without regard to case. The table is safe to use from any thread.
#include <cstdint>
#include <string>

namespace channels {

// "http://127.0.0.1:" followed by the port in decimal: the address prefix of
// the local servers, as request files and plug-in pages carry it.
std::string makeLocalServerUrl(int port);

// True when the URL begins with "http://127.0.0.1:" (without regard to case)
// and has a "/" after the port; appPluginId then receives the text after that
// "/" up to the next "/" (or the end). Neither the port nor the id is checked.
bool isAppPluginUrl(const std::string& url, std::string& appPluginId);

// Splits the path of a local plug-in URL (from the "/" after the port on).
// Throws channels::Exception "Invalid plugin URI: " + path when the path does
// not begin with "/".
void parsePluginUri(const std::string& path, std::string& appPluginId, std::string& request, std::string& paramString);

// True and the value when the name is in the feed-name table.
bool lookUpAppPluginFeedName(const std::string& name, std::int32_t& value);
// Adds or replaces a name.
void setAppPluginFeedName(const std::string& name, std::int32_t value);
// Empties the table.
void clearAppPluginFeedNames();

}  // namespace channels
