#include "ui/notify/notificationRequest.h"

#include <QApplication>
#include <sstream>

#include "app/core/messageGroups.h"
#include "app/core/programObjects.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/feed/feed.h"
#include "channels/hooks/channelHook.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/channel/channelDoc.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/clipboard.h"
#include "widgets/helpers/openers.h"

#define QUEUE_LOG ORVAN_LOG(g_notificationRequestQueueGroup)

channels::Channel* findLiveChannel(std::uintptr_t cookie) {
    if (cookie == 0) return nullptr;
    channels::ChannelManager* manager = getChannelManager();
    return manager != nullptr ? channels::findChannelByCookie(*manager, cookie) : nullptr;
}

namespace {

std::string describeText(const NotificationRequest& request) {
    std::ostringstream text;
    request.describe(text);
    return text.str();
}

}  // namespace

NotificationRequest::NotificationRequest(std::string title, std::string text, int displayTime)
    : title_(std::move(title)), text_(std::move(text)), displayTime_(displayTime) {}

NotificationRequest::~NotificationRequest() = default;

void NotificationRequest::writeBracketed(std::ostream& os, const std::string& inside) {
    printableDump(os, ("[" + inside + "]").c_str());
}

void NotificationRequest::describe(std::ostream& os) const { writeBracketed(os, title_ + ": " + text_); }

std::ostream& operator<<(std::ostream& os, const NotificationRequest& request) {
    request.describe(os);
    return os;
}

// --- errors

ErrorNotificationRequest::ErrorNotificationRequest(std::string title, std::string text, int displayTime)
    : NotificationRequest(std::move(title), std::move(text), displayTime) {}

ErrorNotificationRequest::ErrorNotificationRequest(channels::Channel* errorSource, std::string title, std::string text,
                                                   int displayTime)
    : NotificationRequest(std::move(title), std::move(text), displayTime),
      errorSource_(channels::getChannelCookie(errorSource)) {}

channels::Channel* ErrorNotificationRequest::getErrorSource() const { return findLiveChannel(errorSource_); }

void ErrorNotificationRequest::onClick() {
    if (errorSource_ == 0) return;
    QUEUE_LOG << "User clicked on an error notification: " << describeText(*this) << std::endl;
    channels::Channel* channel = getErrorSource();
    if (channel == nullptr) {
        QUEUE_LOG << "- The channel no longer exists." << std::endl;
        return;
    }
    if (CMainFrame* frame = getMainFrame()) frame->bringToFront();
    showLastFeed(channel);
}

// --- one new item

NewFeedItemNotificationRequest::NewFeedItemNotificationRequest(std::string title, std::string text,
                                                               channels::Channel* channel, std::string feedItemId,
                                                               std::string feedItemUrl, std::string feedItemTitle,
                                                               int consolidationIndex)
    : NotificationRequest(std::move(title), std::move(text), -1),
      channel_(channels::getChannelCookie(channel)),
      feedItemId_(std::move(feedItemId)),
      feedItemUrl_(std::move(feedItemUrl)),
      feedItemTitle_(std::move(feedItemTitle)),
      consolidationIndex_(consolidationIndex) {}

channels::Channel* NewFeedItemNotificationRequest::getChannel() const { return findLiveChannel(channel_); }

void NewFeedItemNotificationRequest::describe(std::ostream& os) const {
    writeBracketed(os, getTitle() + ": " + feedItemUrl_ + ": " + getText());
}

void NewFeedItemNotificationRequest::onClick() {
    QUEUE_LOG << "User clicked on a new feed item notification: " << describeText(*this) << std::endl;
    channels::Channel* channel = getChannel();
    if (channel == nullptr) {
        QApplication::beep();
        return;
    }
    openFeedItemInChannelWindow(channel,
                                channels::FeedItem(feedItemId_, feedItemTitle_, "", feedItemUrl_, "", "", "", ""));
}

void NewFeedItemNotificationRequest::onContextMenuCommand(int commandId, bool& closeBalloon) {
    switch (commandId) {
        case Open:
            onClick();
            closeBalloon = true;
            break;
        case OpenInNewWindow:
            if (channels::Channel* channel = getChannel()) {
                openFeedItem(feedItemUrl_, channel, feedItemId_);
                if (ChannelDesktopSettings* settings = getChannelDesktopSettings(channel))
                    settings->addFeedItemsOpened(1);
            } else {
                QApplication::beep();
            }
            closeBalloon = true;
            break;
        case CopyUrl:
            copyToClipboard(nullptr, feedItemUrl_);
            break;
        case EmailUrl:
            emailUrl(feedItemUrl_);
            closeBalloon = true;
            break;
        case AddToReadMeList: {
            channels::Channel* channel = getChannel();
            CMainFrame* frame = getMainFrame();
            CWorkPad* pad = frame != nullptr ? frame->getWorkPad() : nullptr;
            CReadMeListWnd* list = pad != nullptr ? pad->getReadMeList() : nullptr;
            if (channel == nullptr || list == nullptr ||
                !list->addFeedItem(channel, feedItemId_, feedItemUrl_, feedItemTitle_, true)) {
                QApplication::beep();
            }
            closeBalloon = true;
            break;
        }
        default:
            break;
    }
}

// --- the new items of one update

ConsolidatedNewFeedItemsNotificationRequest::ConsolidatedNewFeedItemsNotificationRequest(std::string title,
                                                                                         std::string text,
                                                                                         channels::Channel* channel)
    : NotificationRequest(std::move(title), std::move(text), -1), channel_(channels::getChannelCookie(channel)) {}

channels::Channel* ConsolidatedNewFeedItemsNotificationRequest::getChannel() const { return findLiveChannel(channel_); }

void ConsolidatedNewFeedItemsNotificationRequest::onClick() {
    QUEUE_LOG << "User clicked on a consolidated new feed items request: " << describeText(*this) << std::endl;
    channels::Channel* channel = getChannel();
    CChannelDoc* doc = channel != nullptr ? CChannelDoc::openChannelDoc(channel, true) : nullptr;
    if (doc == nullptr) {
        QApplication::beep();
        return;
    }
    if (CMainFrame* frame = getMainFrame()) frame->bringToFront();
    doc->activateFrame(false);
}
