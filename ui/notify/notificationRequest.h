#pragma once
// One balloon notification: a plain message, an error, one new feed item or
// the summary of a channel's new items. Any thread makes a request and hands
// it to ui::queueNotification (ui/notify/notificationQueue.h); the balloon
// that shows it (CBalloonHelp) owns it and calls back into it when it is
// shown, closed, clicked or given a context-menu command, on the
// user-interface thread.
//
//   ui::queueNotification(std::make_unique<NewFeedItemNotificationRequest>(
//       "My channel", "Item title", channel, id, url, title, 0));
//
// A request never keeps a channel's address: it keeps the channel's cookie
// and finds the channel again when it acts, so a channel deleted meanwhile
// is simply not found (getChannel() is then null and the click does
// nothing but beep).
#include <cstdint>
#include <ostream>
#include <string>

#include "app/core/commandIds.h"

namespace channels {
class Channel;
}

// The live channel with that cookie in the program's channel manager, or
// null (deleted, unknown, or no manager).
channels::Channel* findLiveChannel(std::uintptr_t cookie);

class NotificationRequest {
public:
    NotificationRequest(std::string title, std::string text, int displayTime);
    virtual ~NotificationRequest();
    NotificationRequest(const NotificationRequest&) = delete;
    NotificationRequest& operator=(const NotificationRequest&) = delete;

    // The channel the request concerns, looked up now; null in the base.
    virtual channels::Channel* getChannel() const { return nullptr; }
    // Decides the balloon's cursor and whether a left click calls onClick.
    virtual bool isClickable() const { return false; }
    // The balloon's right-click menu; -1 for none.
    virtual int getContextMenuId() const { return -1; }
    // "[title: text]" with non-printable characters as <%02x>.
    virtual void describe(std::ostream& os) const;
    virtual void onShow() {}
    virtual void onClose() {}
    virtual void onClick() {}
    virtual void onContextMenuCommand(int commandId, bool& closeBalloon) { (void)commandId, (void)closeBalloon; }

    const std::string& getTitle() const { return title_; }
    const std::string& getText() const { return text_; }
    // Seconds; below 1 means the option NotificationBalloonDisplayTime.
    int getDisplayTime() const { return displayTime_; }

protected:
    // Writes "[" parts "]" through the printable dump.
    static void writeBracketed(std::ostream& os, const std::string& inside);

private:
    std::string title_;
    std::string text_;
    int displayTime_;
};

std::ostream& operator<<(std::ostream& os, const NotificationRequest& request);

class SimpleNotificationRequest : public NotificationRequest {
public:
    SimpleNotificationRequest(std::string title, std::string text, int displayTime)
        : NotificationRequest(std::move(title), std::move(text), displayTime) {}
};

class ErrorNotificationRequest : public NotificationRequest {
public:
    ErrorNotificationRequest(std::string title, std::string text, int displayTime);
    ErrorNotificationRequest(channels::Channel* errorSource, std::string title, std::string text, int displayTime);

    bool isClickable() const override { return true; }
    // Brings the main window forward and shows the channel's last raw feed;
    // nothing without a source or when the source is gone.
    void onClick() override;

    // The cookie of the channel in error; 0 for none.
    std::uintptr_t getErrorSourceCookie() const { return errorSource_; }
    channels::Channel* getErrorSource() const;

private:
    std::uintptr_t errorSource_ = 0;
};

class NewFeedItemNotificationRequest : public NotificationRequest {
public:
    // The new-item menu: Open, Open in new window, Copy URL, Email URL, Add
    // to read-me list.
    enum Command {
        Open = kCmdOpenItem,
        OpenInNewWindow = kCmdOpenItemInNewWindow,
        CopyUrl = kCmdCopyUrl,
        EmailUrl = kCmdEmailUrl,
        AddToReadMeList = kCmdAddToReadMeList
    };

    NewFeedItemNotificationRequest(std::string title, std::string text, channels::Channel* channel,
                                   std::string feedItemId, std::string feedItemUrl, std::string feedItemTitle,
                                   int consolidationIndex);

    channels::Channel* getChannel() const override;
    bool isClickable() const override { return true; }
    int getContextMenuId() const override { return kMenuNewItemNotification; }
    // "[title: url: text]".
    void describe(std::ostream& os) const override;
    // Opens the item in its channel's window; beeps when there is none.
    void onClick() override;
    void onContextMenuCommand(int commandId, bool& closeBalloon) override;

    std::uintptr_t getChannelCookie() const { return channel_; }
    const std::string& getFeedItemId() const { return feedItemId_; }
    const std::string& getFeedItemUrl() const { return feedItemUrl_; }
    const std::string& getFeedItemTitle() const { return feedItemTitle_; }
    int getConsolidationIndex() const { return consolidationIndex_; }

private:
    std::uintptr_t channel_;
    std::string feedItemId_;
    std::string feedItemUrl_;
    std::string feedItemTitle_;
    int consolidationIndex_;
};

class ConsolidatedNewFeedItemsNotificationRequest : public NotificationRequest {
public:
    ConsolidatedNewFeedItemsNotificationRequest(std::string title, std::string text, channels::Channel* channel);

    channels::Channel* getChannel() const override;
    bool isClickable() const override { return true; }
    // Opens and activates the channel's window; beeps when there is none.
    void onClick() override;

    std::uintptr_t getChannelCookie() const { return channel_; }

private:
    std::uintptr_t channel_;
};
