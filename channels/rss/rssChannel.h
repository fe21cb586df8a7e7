#pragma once
// A channel whose feed lives at a URL (its ".rss" channel file names it).
//
// update() fetches the feed text through the channel manager as a
// conditional GET with the validators kept in the channel state:
//   - 304: nothing changed (unchanged = true);
//   - 301: follows the new address and stores it as the channel's URL;
//   - 302, 303, 307, 308: follows the address for this update only;
//     at most MaxHttpRedirects (debug switch, default 5) redirects;
//   - 404: counted; the third in a row switches automatic updates off (and
//     the next good answer switches them on again if that was the cause);
//   - anything but 200 is an error "HTTP <code> <text>".
// A URL "http://127.0.0.1:<port>/<plug-in id>/..." of a loaded application
// plug-in is answered by that plug-in directly, without a download.
#include <memory>
#include <string>

#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/rss/rssChannelConfig.h"

namespace channels {

class AppPlugin;

class RssChannel : public Channel {
public:
    RssChannel(ChannelManager* manager, const std::string& channelFile);
    ~RssChannel() override;

    std::string getSourceUrl() const override;
    ChannelConfig& getChannelConfig() override;
    const ChannelConfig& getChannelConfig() const override;
    ChannelSettings& getChannelSettings() override;
    const ChannelSettings& getChannelSettings() const override;
    ChannelState& getChannelState() override;
    const ChannelState& getChannelState() const override;
    void update(std::string& feedText, bool forceDownload, bool& unchanged) override;
    // Moves a local plug-in URL on 127.0.0.1 or localhost whose port is
    // exactly oldPort to newPort, then saves the channel.
    void changeAppPluginServerPort(int oldPort, int newPort) override;

    RssChannelConfig& getRssChannelConfig();
    const RssChannelConfig& getRssChannelConfig() const;

    // The loaded application plug-in that the URL names, or null.
    AppPlugin* getAppPlugin() const;

    // The redirect target `location` resolved against the URL that was
    // asked for.
    static std::string makeAbsoluteRedirectUrl(const std::string& currentUrl, const std::string& location);

private:
    RssChannelConfig config_;
    ChannelSettings settings_;
    ChannelState state_;
};

}  // namespace channels
