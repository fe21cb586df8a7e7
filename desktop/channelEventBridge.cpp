#include "desktop/channelEventBridge.h"

#include <ctime>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

#include "app/core/messageGroups.h"
#include "app/core/notificationSink.h"
#include "app/postedText.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/appPlugins/appPlugin.h"
#include "channels/channel.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "channels/hooks/channelHook.h"
#include "lib/log/messageLog.h"
#include "tools/dates.h"

namespace msg = platform::messages;

namespace {

unsigned logChannelActivityMessage() { return msg::registerMessage("LogChannelActivity"); }
unsigned logErrorMsgMessage() { return msg::registerMessage("LogErrorMsg"); }
unsigned endChannelUpdateMessage() { return msg::registerMessage("EndChannelUpdate"); }

struct ItemText {
    std::string id, url, title;
    bool found = false;
};

// The item at a position of the channel's last feed, read under the state's
// and the feed's locks (in that order), which are released on return.
ItemText readItem(channels::Channel& channel, int index) {
    ItemText item;
    const channels::ChannelState& state = channel.getChannelState();
    SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
    const channels::Feed* feed = state.getLastFeed();
    if (feed == nullptr) return item;
    SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
    const auto& items = feed->getFeedItems();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return item;
    const channels::FeedItem& feedItem = items[static_cast<std::size_t>(index)];
    item.id = feedItem.getId();
    item.url = feedItem.getUrl();
    item.title = feedItem.getTitle();
    item.found = true;
    return item;
}

void logItem(const std::string& heading, const ItemText& item) {
    ORVAN_LOG(g_channelEventsGroup) << heading << std::endl;
    if (item.id != item.url) {
        ORVAN_LOG(g_channelEventsGroup) << "- ID:  " << item.id << std::endl;
        ORVAN_LOG(g_channelEventsGroup) << "- URL: " << item.url << std::endl;
    } else {
        ORVAN_LOG(g_channelEventsGroup) << "- " << item.url << std::endl;
    }
}

}  // namespace

std::string ChannelEventBridge::makeActivityLine(const std::string& text) {
    return tools::formatDateTime(std::time(nullptr)) + " " + text + "\r\n";
}

std::string ChannelEventBridge::makeErrorPrefix(const channels::Event& event) {
    return tools::formatDateTime(event.getEventTime()) + " | ";
}

void ChannelEventBridge::postActivity(const std::string& text) {
    postText(window(), logChannelActivityMessage(), makeActivityLine(text));
}

void ChannelEventBridge::postError(const std::string& entry) { postText(window(), logErrorMsgMessage(), entry); }

void ChannelEventBridge::alertNewItems(channels::Channel* channel) {
    // Sounds and the tray animation belong to the user-interface thread; the
    // channel stays a valid object while the engine runs.
    if (!uiPoster_) return;
    WindowReader window = window_;
    uiPoster_([channel, window] {
        if (window && window() != 0) getNotificationSink().alertNewItems(channel);
    });
}

void ChannelEventBridge::handleEvent(const channels::Event& event) {
    if (g_channelEventsGroup.isEnabled()) {
        std::ostringstream dump;
        event.dumpEvent(dump);
        ORVAN_LOG(g_channelEventsGroup) << "Channel event received: " << dump.str() << std::endl;
    }
    {
        std::lock_guard lock(callbacksMutex_);
        if (closed_ || window() == 0) {
            ORVAN_LOG(g_channelEventsGroup) << "- Main window is not present - ignoring the event!" << std::endl;
            return;
        }
        ++callbacksRunning_;
    }
    struct Done {
        ChannelEventBridge& bridge;
        ~Done() {
            std::lock_guard lock(bridge.callbacksMutex_);
            if (--bridge.callbacksRunning_ == 0) bridge.callbacksDone_.notify_all();
        }
    } done{*this};
    channels::EventListener::handleEvent(event);
}

void ChannelEventBridge::close() {
    std::unique_lock lock(callbacksMutex_);
    closed_ = true;
    callbacksDone_.wait(lock, [this] { return callbacksRunning_ == 0; });
}

bool ChannelEventBridge::isClosed() const {
    std::lock_guard lock(callbacksMutex_);
    return closed_;
}

void ChannelEventBridge::onInfoMsgEvent(const channels::InfoMsgEvent& event) {
    ORVAN_LOG(g_channelEventsGroup) << event.getMsg() << std::endl;
    postActivity(event.getMsg());
}

void ChannelEventBridge::onBeginChannelUpdateEvent(const channels::BeginChannelUpdateEvent& event) {
    const std::string text = "Getting the latest feed from " + channels::getChannelDisplayName(event.getChannel());
    ORVAN_LOG(g_channelEventsGroup) << text << std::endl;
    postActivity(text);
}

void ChannelEventBridge::onEndChannelUpdateEvent(const channels::EndChannelUpdateEvent& event) {
    channels::Channel* channel = event.getChannel();
    if (event.getUpdatedOk() && channel != nullptr) {
        const std::string name = channel->getDisplayName();
        const std::string text = "Updated channel " + name + " OK.";
        ORVAN_LOG(g_channelEventsGroup) << text << std::endl;
        postActivity(text);
        {
            std::lock_guard lock(errorCountsMutex_);
            channelErrorCounts_[channels::getChannelCookie(channel)] = 0;
        }
        if (ChannelDesktopSettings* settings = getChannelDesktopSettings(channel)) {
            const int maxTitles = options().maxNotificationBalloonNewFeedItems;
            // The viewed set is copied first: the settings' lock is never
            // taken inside the state's.
            const auto viewed = settings->copyViewedFeedItems();
            int newCount = 0;
            std::string titles;
            {
                const channels::ChannelState& state = channel->getChannelState();
                SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
                if (const channels::Feed* feed = state.getLastFeed()) {
                    SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
                    for (const channels::FeedItem& item : feed->getFeedItems()) {
                        const std::string_view id = item.getId();
                        if (viewed.count(std::string(id)) != 0 || !state.isNewFeedItem(id)) continue;
                        ++newCount;
                        if (maxTitles <= 0 || newCount <= maxTitles) {
                            titles += item.getTitle();
                            titles += '\n';
                        }
                    }
                }
            }
            if (maxTitles > 0 && newCount > maxTitles) {
                titles += "More...\n\n(" + std::to_string(newCount) + " new items in total)";
            }
            // Viewed items that left the feed are forgotten; a mark made
            // meanwhile on another thread is kept.
            settings->pruneViewedFeedItems();
            if (!event.isRequestedUpdate() && settings->getConsolidateMultipleItems() && !titles.empty()) {
                if (settings->getNotifyOnNewItem()) {
                    getNotificationSink().queueConsolidatedNewFeedItems(name, titles, channel);
                } else {
                    alertNewItems(channel);
                }
            }
        }
    }
    msg::sendMessage(window(), endChannelUpdateMessage(), 0, reinterpret_cast<std::intptr_t>(&event));
}

void ChannelEventBridge::onNewFeedItemEvent(const channels::NewFeedItemEvent& event) {
    channels::Channel* channel = event.getChannel();
    if (channel == nullptr) return;
    const std::string name = channel->getDisplayName();
    const ItemText item = readItem(*channel, event.getFeedItemIndex());
    if (!item.found) return;
    logItem("New feed item from " + name + ":", item);
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
    if (settings == nullptr) return;
    settings->setLastNewItemTime(static_cast<std::int32_t>(std::time(nullptr)));
    if (event.isRequestedUpdate() || settings->getConsolidateMultipleItems()) return;
    if (settings->getNotifyOnNewItem()) {
        getNotificationSink().queueNewFeedItem(name, item.title, channel, item.id, item.url, item.title,
                                               event.getConsolidationIndex());
    } else if (event.getConsolidationIndex() == 0) {
        alertNewItems(channel);
    }
}

void ChannelEventBridge::onExpiredFeedItemEvent(const channels::ExpiredFeedItemEvent& event) {
    if (!g_channelEventsGroup.isEnabled() || event.getChannel() == nullptr) return;
    const ItemText item = readItem(*event.getChannel(), event.getFeedItemIndex());
    if (item.found) logItem("Expired feed item for " + event.getChannel()->getDisplayName() + ":", item);
}

void ChannelEventBridge::onChannelErrorEvent(const channels::ChannelErrorEvent& event) {
    channels::Channel* channel = event.getChannel();
    const std::string source = channel != nullptr ? channel->getDisplayName() : std::string("Channel");
    const std::string& error = event.getErrorMsg();
    const std::string& info = event.getAdditionalInfo();

    ORVAN_LOG(g_channelEventsGroup) << source << " error: " << error << std::endl;
    postActivity(source + " error: " + error);
    if (!info.empty()) {
        ORVAN_LOG(g_channelEventsGroup) << "- " << info << std::endl;
        postActivity("- " + info);
    }

    const std::string prefix = makeErrorPrefix(event);
    const std::string indent(prefix.size() + 2, ' ');
    std::string entry = prefix + source + ": " + error + "\r\n";
    if (!info.empty()) entry += indent + info + "\r\n";
    postError(entry);

    if (channel == nullptr) {
        getNotificationSink().queueError(nullptr, source + " error.", info.empty() ? error : error + "\n" + info);
        return;
    }
    if (ChannelDesktopSettings* settings = getChannelDesktopSettings(channel)) {
        settings->setChannelErrorText(prefix + error);
        if (!info.empty()) settings->setChannelErrorText(indent + info);
    }
    int count;
    {
        std::lock_guard lock(errorCountsMutex_);
        count = ++channelErrorCounts_[channels::getChannelCookie(channel)];
    }
    if (count > options().maxConsecutiveChannelUpdateErrors) return;
    getNotificationSink().queueError(channel, source + " error.", info.empty() ? error : error + "\n" + info);
}

void ChannelEventBridge::onAppPluginErrorEvent(const channels::AppPluginErrorEvent& event) {
    const std::string source =
        event.getAppPlugin() != nullptr ? event.getAppPlugin()->getDisplayName() : std::string("Plugin");
    const std::string& error = event.getErrorMsg();
    ORVAN_LOG(g_channelEventsGroup) << source << " error: " << error << std::endl;
    postActivity(source + " error: " + error);
    postError(makeErrorPrefix(event) + source + ": " + error + "\r\n");
    getNotificationSink().queueError(nullptr, source + " error.", error);
}

void ChannelEventBridge::forgetChannel(const channels::Channel* channel) {
    std::lock_guard lock(errorCountsMutex_);
    channelErrorCounts_.erase(channels::getChannelCookie(channel));
}

int ChannelEventBridge::getChannelErrorCount(const channels::Channel* channel) const {
    std::lock_guard lock(errorCountsMutex_);
    auto it = channelErrorCounts_.find(channels::getChannelCookie(channel));
    return it == channelErrorCounts_.end() ? 0 : it->second;
}
