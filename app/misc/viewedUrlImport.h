#pragma once
// Import of the addresses another program reports as read: a text file of
// one address per line (lines trimmed; empty lines and lines beginning with
// "'", "#" or "//" skipped). Every feed item of every channel whose link is
// in the file, exactly, is marked viewed.
#include <cstdint>
#include <string>

namespace channels {
class ChannelManager;
}

// Reads the file and marks the matching items through each channel's
// desktop settings (one save of each channel file, at its last item).
// Throws std::runtime_error "Can't open the URL file: <path>" when the file
// can't be opened; nothing is marked then.
void importViewedUrls(channels::ChannelManager& manager, const std::string& path);

// The import as the main window's one-second timer runs it: when the file
// exists it is imported and then deleted. A file that can't be read stays
// where it is and is tried again at each tick, but its failure is reported
// only once (until the file changes or an import succeeds).
class ViewedUrlImportPoller {
public:
    struct Result {
        bool imported = false;  // a file was imported and deleted
        std::string error;      // a failure to report now ("" for none)
    };
    Result poll(channels::ChannelManager& manager, const std::string& path);

private:
    std::string failedPath_;
    std::int64_t failedStamp_ = 0;
};
