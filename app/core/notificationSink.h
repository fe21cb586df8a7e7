#pragma once
// Where the application's channel-event callbacks and start-up send balloon
// notifications and new-item alerts. The notification code installs its
// implementation once at start-up; without one, nothing is shown.
//
// The queue operations may be called on any thread (the queue has its own
// lock); alertNewItems and processNotifications run on the user-interface
// thread only.
#include <string>

namespace channels {
class Channel;
}

class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    // One new item of a channel that does not consolidate.
    virtual void queueNewFeedItem(const std::string& channelName, const std::string& text, channels::Channel* channel,
                                  const std::string& itemId, const std::string& itemUrl, const std::string& itemTitle,
                                  int consolidationIndex) {
        (void)channelName, (void)text, (void)channel, (void)itemId, (void)itemUrl, (void)itemTitle,
            (void)consolidationIndex;
    }
    // The new items of one update of a consolidating channel.
    virtual void queueConsolidatedNewFeedItems(const std::string& channelName, const std::string& text,
                                               channels::Channel* channel) {
        (void)channelName, (void)text, (void)channel;
    }
    // An error balloon; channel may be null.
    virtual void queueError(channels::Channel* channel, const std::string& title, const std::string& text) {
        (void)channel, (void)title, (void)text;
    }
    virtual void queueSimple(const std::string& title, const std::string& text, int number) {
        (void)title, (void)text, (void)number;
    }
    // Sound and tray animation for a channel's new items.
    virtual void alertNewItems(channels::Channel* channel) { (void)channel; }
    // Shows what is queued now.
    virtual void processNotifications() {}
};

// Installs the sink (not owned; null restores the one that shows nothing).
void setNotificationSink(NotificationSink* sink);
NotificationSink& getNotificationSink();
