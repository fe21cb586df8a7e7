#pragma once
// Naming of channel files. Every channel lives in one INI file in the
// channels directory: ".rss" for a channel fetched from a URL, ".plugin" for
// one whose feed a plug-in script writes.
//
//   makeChannelFileName("http://example.com/a/feed.xml")  -> "example.com_a_feed.xml"
//   makeChannelFilePath(dir, url, ".rss")  -> dir/<name>.rss, or dir/<name>-1.rss, -2, ...
//                                             when that file exists already
#include <string>

namespace channels {

// The base name for a source: a leading "http://" (any case) removed, every
// "/", "\", ":", "?" and "*" replaced by "_", and the port of a local
// plug-in URL ("127.0.0.1_<digits>") masked with "X".
std::string makeChannelFileName(const std::string& sourceUrl);

// directory / base name + extension; when that file exists, the base name
// with "-1", "-2", ... appended, whichever is free first.
std::string makeChannelFilePath(const std::string& channelsDir, const std::string& sourceUrl,
                                const std::string& extension);

}  // namespace channels
