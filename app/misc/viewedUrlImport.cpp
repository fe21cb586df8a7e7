#include "app/misc/viewedUrlImport.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <vector>

#include "app/settings/channelDesktopSettings.h"
#include "app/core/messageGroups.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"

namespace {

bool isCommentLine(const std::string& line) {
    return line[0] == '\'' || line[0] == '#' || (line.size() >= 2 && line[0] == '/' && line[1] == '/');
}

}  // namespace

void importViewedUrls(channels::ChannelManager& manager, const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw std::runtime_error("Can't open the URL file: " + path);
    std::ifstream in(path);
    if (!in) throw std::runtime_error("Can't open the URL file: " + path);
    CMessageGroup& group = g_importViewedUrlsGroup;
    ORVAN_LOG(group) << "Found viewed URL's import file: " << path << std::endl;

    std::set<std::string> urls;
    std::string line;
    while (std::getline(in, line)) {
        trimWhitespace(line);
        if (line.empty() || isCommentLine(line)) continue;
        ORVAN_LOG(group) << "- Importing URL: " << line << std::endl;
        urls.insert(line);
    }
    if (urls.empty()) return;

    SharedLockGuard managerGuard(&manager.getLock(), __FILE__, __LINE__);
    for (channels::Channel* channel : manager.getChannels()) {
        ORVAN_LOG(group) << "Checking channel: " << channel->getDisplayName() << std::endl;
        std::set<std::string> ids;
        {
            const channels::ChannelState& state = channel->getChannelState();
            SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
            const channels::Feed* feed = state.getLastFeed();
            if (feed == nullptr) continue;
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            for (const channels::FeedItem& item : feed->getFeedItems()) {
                if (urls.count(std::string(item.getUrl())) == 0) continue;
                ORVAN_LOG(group) << "- Marking item as viewed: " << item.getTitle() << " (" << item.getUrl() << ")"
                                 << std::endl;
                ids.emplace(item.getId());
            }
        }
        // Marked with the state's lock released: the desktop settings are
        // always locked before the channel's state.
        ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
        if (settings == nullptr) continue;
        std::size_t n = 0;
        for (const std::string& id : ids) {
            ++n;
            settings->setFeedItemViewed(id, true, n == ids.size(), true);
        }
    }
}

ViewedUrlImportPoller::Result ViewedUrlImportPoller::poll(channels::ChannelManager& manager, const std::string& path) {
    Result result;
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec)) return result;
    const auto written = std::filesystem::last_write_time(path, ec);
    const std::int64_t stamp = ec ? 0 : static_cast<std::int64_t>(written.time_since_epoch().count());
    try {
        importViewedUrls(manager, path);
    } catch (const std::exception& e) {
        if (path != failedPath_ || stamp != failedStamp_) result.error = e.what();
        failedPath_ = path;
        failedStamp_ = stamp;
        return result;
    }
    failedPath_.clear();
    failedStamp_ = 0;
    std::filesystem::remove(path, ec);
    result.imported = true;
    return result;
}
