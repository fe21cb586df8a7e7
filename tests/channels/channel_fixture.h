#pragma once
// A minimal concrete channel for the tests of the channel and its data
// objects: the configuration answers "Default Name" when no other name
// exists, and update() runs whatever the test puts into onUpdate.
#include <functional>
#include <memory>
#include <string>

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "tests/support/test_support.h"

namespace channeltest {

class TestChannelConfig : public channels::ChannelConfig {
public:
    using channels::ChannelConfig::ChannelConfig;
    std::string getDefaultDisplayName() const override { return "Default Name"; }
};

class TestChannel : public channels::Channel {
public:
    TestChannel(channels::ChannelManager* manager, const std::string& file)
        : channels::Channel(manager, file), config_(this), settings_(this), state_(this) {}

    std::string getSourceUrl() const override { return "http://example.com/feed.xml"; }
    channels::ChannelConfig& getChannelConfig() override { return config_; }
    const channels::ChannelConfig& getChannelConfig() const override { return config_; }
    channels::ChannelSettings& getChannelSettings() override { return settings_; }
    const channels::ChannelSettings& getChannelSettings() const override { return settings_; }
    channels::ChannelState& getChannelState() override { return state_; }
    const channels::ChannelState& getChannelState() const override { return state_; }
    void update(std::string& feedText, bool forceDownload, bool& unchanged) override {
        if (onUpdate) onUpdate(feedText, forceDownload, unchanged);
    }
    void changeAppPluginServerPort(int, int) override {}

    std::function<void(std::string&, bool, bool&)> onUpdate;

private:
    TestChannelConfig config_;
    channels::ChannelSettings settings_;
    channels::ChannelState state_;
};

// A manager with channels and logs folders in a temporary directory and
// default settings as a new program has them.
struct ManagerFixture {
    testsupport::TempDir dir;
    std::unique_ptr<channels::ChannelManager> manager;

    ManagerFixture() {
        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(true);
        defaults.setAutoUpdateInterval(86400);
        defaults.setAllowEmptyFeeds(false);
        defaults.setMaxFeedItems(-1);
        testsupport::writeFile(dir.file("Channels/.keep"), "");
        testsupport::writeFile(dir.file("Logs/.keep"), "");
        manager = std::make_unique<channels::ChannelManager>("orvan-test", dir.file("Channels"), dir.file("Logs"),
                                                             defaults, "", "");
        manager->setDebugConfigFilename(dir.file("debug.ini"));
    }
    std::string channelFile(const std::string& name) const { return dir.file("Channels/" + name); }
};

}  // namespace channeltest
