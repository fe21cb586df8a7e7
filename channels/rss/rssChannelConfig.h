#pragma once
// The configuration of an RSS channel: the common channel configuration plus
// the feed URL (key RssChannelUrl of section "Config") and, when the URL
// names one of the program's application plug-ins, the values of that
// plug-in's channel parameters (section "ChannelParameters").
//
// Also remembers whether automatic updates were switched off because the
// feed went missing (key AutoUpdateSuspendedByMissingFeed), so that the feed's
// return switches them back on only in that case.
#include <map>
#include <string>

#include "channels/channelConfig.h"

namespace channels {

class RssChannelConfig : public ChannelConfig {
public:
    explicit RssChannelConfig(Channel* channel);
    ~RssChannelConfig() override;

    void load(const std::string& channelFile) override;
    void save(const std::string& channelFile) const override;
    // The feed URL.
    std::string getDefaultDisplayName() const override;

    std::string getRssChannelUrl() const;
    void setRssChannelUrl(const std::string& url);

    // Channel parameter values of the serving plug-in; no lock taken.
    std::map<std::string, std::string>& getChannelParameters() { return channelParameters_; }
    const std::map<std::string, std::string>& getChannelParameters() const { return channelParameters_; }

    bool isAutoUpdateSuspendedByMissingFeed() const;
    void setAutoUpdateSuspendedByMissingFeed(bool suspended);

private:
    // Raises the owner's minimum update interval to what a local plug-in
    // asked for the feed the URL names.
    void applyAppPluginFeedInterval() const;

    std::string rssChannelUrl_;
    std::map<std::string, std::string> channelParameters_;
    bool suspendedByMissingFeed_ = false;
};

}  // namespace channels
