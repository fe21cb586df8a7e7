#pragma once
// A minimal concrete channel for the tests of the channel and its data
// objects: the configuration answers "Default Name" when no other name
// exists, and update() runs whatever the test puts into onUpdate.
#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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

// A stand-in for the hook code: hooks are plain records handed to the
// settings as opaque channels::ChannelHook pointers. Each hook records the
// events it receives as "<event name>" and can be told to fail.
struct TestHook {
    std::string file;
    std::string displayName;
    std::vector<std::string> events;
    bool failOnLoad = false;
    bool failOnEvent = false;
    int saves = 0;
};

class TestHookHost : public channels::ChannelHookHost {
public:
    TestHookHost() { channels::setChannelHookHost(this); }
    ~TestHookHost() override {
        channels::setChannelHookHost(nullptr);
        for (TestHook* hook : created) delete hook;
    }

    static channels::ChannelHook* handle(TestHook* hook) { return reinterpret_cast<channels::ChannelHook*>(hook); }
    static TestHook& hook(const channels::ChannelHook& h) {
        return *reinterpret_cast<TestHook*>(const_cast<channels::ChannelHook*>(&h));
    }
    // A hook owned by the host (freed with it unless destroyed before).
    TestHook* make(const std::string& name) {
        auto* hook = new TestHook;
        hook->file = "/hooks/" + name + ".hook";
        hook->displayName = name;
        created.push_back(hook);
        return hook;
    }

    channels::ChannelHook* createChannelHook(const std::string& hookFile) override {
        TestHook* h = make(hookFile);
        h->file = hookFile;
        h->displayName = "hook " + std::to_string(created.size());
        h->failOnLoad = hookFile.find("bad") != std::string::npos;
        return handle(h);
    }
    void loadSettings(channels::ChannelHook& h, const std::string&, const std::string&, const std::string&,
                      const std::string&) override {
        if (hook(h).failOnLoad) throw std::runtime_error("broken hook");
    }
    void saveSettings(channels::ChannelHook& h, const std::string& channelFile, const std::string& configSection,
                      const std::string&) override {
        ++hook(h).saves;
        lastConfigSections.push_back(configSection);
        (void)channelFile;
    }
    void raiseEvent(channels::ChannelHook& h, channels::Channel*, const channels::Event& event) override {
        hook(h).events.push_back(event.getEventName());
        if (hook(h).failOnEvent) throw std::runtime_error("event refused");
    }
    std::string getConfigFilename(const channels::ChannelHook& h) override { return hook(h).file; }
    std::string getDisplayName(const channels::ChannelHook& h) override { return hook(h).displayName; }
    void destroyChannelHook(channels::ChannelHook* h) override {
        TestHook* p = &hook(*h);
        destroyed.push_back(p->displayName);
        created.erase(std::remove(created.begin(), created.end(), p), created.end());
        delete p;
    }

    std::vector<TestHook*> created;
    std::vector<std::string> destroyed;
    std::vector<std::string> lastConfigSections;
};

}  // namespace channeltest
