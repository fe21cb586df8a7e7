#pragma once
// listintake's request: imports the feed addresses of an OPML outline (a
// local file or an http address) as new channel files of the channel folder.
#include <ostream>
#include <set>
#include <string>

namespace listintake {

// Reads ChannelsDir and the OpmlFilename parameter of the request file and
// runs the import; writes the result page to out. Throws std::runtime_error.
void processRequest(std::ostream& out);

// The import itself. `source` is the OpmlFilename value as the form sent it
// (percent-encoded, '+' for blanks).
void importOutlineFeeds(const std::string& channelsDir, const std::string& source, std::ostream& out);

// Every xmlUrl="..." value of the outline text, with backslashes turned into
// slashes and HTML entities decoded (twice, for entities escaped twice).
std::set<std::string> findOutlineAddresses(const std::string& outline);

// The feed addresses of the channel folder's ".rss" files.
std::set<std::string> findExistingAddresses(const std::string& channelsDir);

}  // namespace listintake
