#pragma once
// A channel whose feed a script or program on this machine writes to its
// standard output (channel files with the extension ".plugin").
//
// update() writes a request file (channels/pluginRequestFile.h), downloads
// the parameter DownloadUrl on the plug-in's behalf when it is set (a
// conditional GET; 304 leaves the channel unchanged without running the
// plug-in; the data is stored byte for byte and named by [System]
// DownloadUrlFile), runs the plug-in through the scripting engine and returns
// its standard output as the feed text. A failing plug-in yields the engine's
// HTML error page, which the feed parser then rejects.
//
// The channel manager loads ".plugin" channel files with createPluginChannel.
#include <memory>
#include <ostream>
#include <string>

#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/plugin/pluginChannelConfig.h"

namespace channels {

class PluginChannel : public Channel {
public:
    PluginChannel(ChannelManager* manager, const std::string& channelFile);
    ~PluginChannel() override;

    // The script file name.
    std::string getSourceUrl() const override;
    ChannelConfig& getChannelConfig() override;
    const ChannelConfig& getChannelConfig() const override;
    ChannelSettings& getChannelSettings() override;
    const ChannelSettings& getChannelSettings() const override;
    ChannelState& getChannelState() override;
    const ChannelState& getChannelState() const override;

    void update(std::string& feedText, bool forceDownload, bool& unchanged) override;
    // Plug-in channels hold no local plug-in URLs.
    void changeAppPluginServerPort(int oldPort, int newPort) override;
    // Removes the script's stored plug-in parameter values from the user
    // configuration file, unless another channel of the manager uses the same
    // script.
    void onChannelDeleted(std::ostream& report) override;

    PluginChannelConfig& getPluginChannelConfig();
    const PluginChannelConfig& getPluginChannelConfig() const;

private:
    PluginChannelConfig config_;
    ChannelSettings settings_;
    ChannelState state_;
};

// The factory of ".plugin" channel files.
std::unique_ptr<Channel> createPluginChannel(ChannelManager& manager, const std::string& channelFile);

}  // namespace channels
