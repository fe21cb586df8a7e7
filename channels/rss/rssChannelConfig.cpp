#include "channels/rss/rssChannelConfig.h"

#include "channels/appPlugins/appPlugin.h"
#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/appPlugins/localPluginUrl.h"
#include "channels/rss/rssChannel.h"
#include "channels/plugin/scriptingEngine.h"

#include <cstdint>
#include "lib/misc/stringHelpers.h"
#include "tools/ini.h"

namespace channels {

namespace {
const char* const kConfigSection = "Config";
const char* const kUrlKey = "RssChannelUrl";
const char* const kSuspendedKey = "AutoUpdateSuspendedByMissingFeed";
const char* const kChannelParameters = "ChannelParameters";

// The application plug-in serving the owner channel, or null.
AppPlugin* servingAppPlugin(Channel* owner) {
    auto* rss = dynamic_cast<RssChannel*>(owner);
    return rss ? rss->getAppPlugin() : nullptr;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && compareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}
}  // namespace

RssChannelConfig::RssChannelConfig(Channel* channel) : ChannelConfig(channel) {}

RssChannelConfig::~RssChannelConfig() { ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__); }

void RssChannelConfig::load(const std::string& channelFile) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    ChannelConfig::load(channelFile);
    rssChannelUrl_ = tools::getIniString(channelFile, kConfigSection, kUrlKey, "", true);
    suspendedByMissingFeed_ = tools::getIniBool(channelFile, kConfigSection, kSuspendedKey, false);
    applyAppPluginFeedInterval();
    if (AppPlugin* plugin = servingAppPlugin(getChannel())) {
        SharedLockGuard pluginGuard(&plugin->getLock(), __FILE__, __LINE__);
        channelParameters_.clear();
        getScriptingEngine().readParamValues(channelFile, kChannelParameters, plugin->getChannelParamDefs(),
                                             channelParameters_);
    }
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
    if (servingAppPlugin(getChannel()))
        getScriptingEngine().writeParamValues(channelFile, kChannelParameters, channelParameters_);
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
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    static const std::string kLocalPrefix = "http://127.0.0.1:";
    static const std::string kMarker = "/CodeProject/";
    if (!startsWithNoCase(rssChannelUrl_, kLocalPrefix)) return;
    const std::size_t marker = rssChannelUrl_.find(kMarker);
    if (marker == std::string::npos) return;
    const std::string name = rssChannelUrl_.substr(marker + kMarker.size());
    if (compareNoCase(name, "TheLounge") != 0 && compareNoCase(name, "MessageBoards") != 0 &&
        compareNoCase(name, "Articles") != 0)
        return;
    std::int32_t seconds = 0;
    if (!lookUpAppPluginFeedName(name, seconds)) return;
    if (Channel* owner = getChannel()) owner->getChannelSettings().setMinAutoUpdateInterval(seconds);
}

}  // namespace channels
