#include "channels/rssChannelConfig.h"

#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "lib/misc/stringHelpers.h"
#include "tools/ini.h"

namespace channels {

namespace {
const char* const kConfigSection = "Config";
const char* const kUrlKey = "RssChannelUrl";
const char* const kSuspendedKey = "AutoUpdateSuspendedByMissingFeed";
}  // namespace

RssChannelConfig::RssChannelConfig(Channel* channel) : ChannelConfig(channel) {}

RssChannelConfig::~RssChannelConfig() {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
}

void RssChannelConfig::load(const std::string& channelFile) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    ChannelConfig::load(channelFile);
    rssChannelUrl_ = tools::getIniString(channelFile, kConfigSection, kUrlKey, "", true);
    suspendedByMissingFeed_ = tools::getIniBool(channelFile, kConfigSection, kSuspendedKey, false);
    applyAppPluginFeedInterval();
}

void RssChannelConfig::save(const std::string& channelFile) const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    ChannelConfig::save(channelFile);
    applyAppPluginFeedInterval();
    tools::writeIniString(channelFile, kConfigSection, kUrlKey, rssChannelUrl_);
    if (suspendedByMissingFeed_)
        tools::writeIniBool(channelFile, kConfigSection, kSuspendedKey, true);
    else
        tools::deleteIniKey(channelFile, kConfigSection, kSuspendedKey);
}

std::string RssChannelConfig::getDefaultDisplayName() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return rssChannelUrl_;
}

std::string RssChannelConfig::getRssChannelUrl() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return rssChannelUrl_;
}

void RssChannelConfig::setRssChannelUrl(const std::string& url) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    rssChannelUrl_ = url;
}

bool RssChannelConfig::isAutoUpdateSuspendedByMissingFeed() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return suspendedByMissingFeed_;
}

void RssChannelConfig::setAutoUpdateSuspendedByMissingFeed(bool suspended) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    suspendedByMissingFeed_ = suspended;
}

void RssChannelConfig::applyAppPluginFeedInterval() const {
}

}  // namespace channels
