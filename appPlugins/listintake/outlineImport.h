#pragma once
// listintake's request: imports the feed addresses of an OPML outline (a
// local file or an http address) as new channel files of the channel folder.
#include <ostream>
#include <set>
#include <string>

namespace listintake {

// Reads ChannelsDir and the OpmlFilename parameter of the request file and
// runs the import; writes the result page to out. Throws std::runtime_error.
// The outline is read from a regular file or over http(s), 16 MB at most.
// Addresses are compared as the channel engine compares them (letter case
// and the kind of slash aside); the page lists the outlines not imported.
void processRequest(std::ostream& out);

// The import itself. `source` is the OpmlFilename value as the form sent it
// (percent-encoded, '+' for blanks).
void importOutlineFeeds(const std::string& channelsDir, const std::string& source, std::ostream& out);

// An outline's address as it is imported: blanks trimmed, a feed: address
// as http or https. Empty, with the reason, for anything else (no address,
// control characters, another scheme or a bare path).
std::string checkOutlineAddress(const std::string& value, std::string& reason);

// Every xmlUrl="..." value of the outline text, with backslashes turned into
// slashes and HTML entities decoded (twice, for entities escaped twice).
std::set<std::string> findOutlineAddresses(const std::string& outline);

// The feed addresses of the channel folder's ".rss" files.
std::set<std::string> findExistingAddresses(const std::string& channelsDir);

}  // namespace listintake
