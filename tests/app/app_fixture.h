#pragma once
// Channels with a feed in memory and desktop settings attached, for the
// tests of the desktop settings, the reports and the viewed-URL import.
#include <memory>
#include <string>
#include <vector>

#include "app/settings/channelDesktopSettings.h"
#include "channels/feed/feed.h"
#include "tests/channels/channel_fixture.h"

namespace apptest {

struct ItemSpec {
    std::string id;
    std::string title;
    std::string url;
    std::string description;
};

// n items "id-1".."id-n", titled "Item k", linked to http://example.com/<name>/k.
inline std::vector<ItemSpec> numberedItems(const std::string& name, int n) {
    std::vector<ItemSpec> items;
    for (int k = 1; k <= n; ++k) {
        items.push_back({"id-" + std::to_string(k), "Item " + std::to_string(k),
                         "http://example.com/" + name + "/" + std::to_string(k),
                         "<p>Text " + std::to_string(k) + "</p>"});
    }
    return items;
}

inline void setFeed(channels::Channel& channel, const std::vector<ItemSpec>& items) {
    auto feed = std::make_unique<channels::Feed>();
    for (const ItemSpec& item : items) {
        feed->addFeedItem(channels::FeedItem(item.id, item.title, item.description, item.url, "", "", "", ""));
    }
    channel.getChannelState().setLastFeed(std::move(feed));
}

// A manager whose channels carry desktop settings from the program-wide table.
struct DesktopFixture : channeltest::ManagerFixture {
    ~DesktopFixture() {
        getChannelDesktopSettingsTable().clear();
        manager->stopChannelManager(false);  // frees the channels
    }

    // A channel added to the manager (which owns it), with a feed and settings.
    channeltest::TestChannel* addChannel(const std::string& name, const std::vector<ItemSpec>& items) {
        auto* channel = new channeltest::TestChannel(manager.get(), channelFile(name + ".rss"));
        channel->getChannelConfig().setPreferredDisplayName(name);
        setFeed(*channel, items);
        manager->addChannel(channel);
        getChannelDesktopSettingsTable().add(channel);
        return channel;
    }
    static ChannelDesktopSettings& settings(channels::Channel* channel) { return *getChannelDesktopSettings(channel); }
};

}  // namespace apptest
