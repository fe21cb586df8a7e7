#include "ui/notify/notificationQueue.h"

#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QPointer>
#include <QRect>
#include <deque>
#include <mutex>
#include <sstream>

#include "app/core/messageGroups.h"
#include "app/core/notificationSink.h"
#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/hooks/channelHook.h"
#include "lib/log/messageLog.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/frame/mainFrame.h"
#include "ui/tray/trayArea.h"
#include "widgets/helpers/sound.h"
#include "ui/notify/balloonHelp.h"
#include "widgets/helpers/programIcon.h"
#include "ui/tray/systemTray.h"

#define QUEUE_LOG ORVAN_LOG(g_notificationRequestQueueGroup)

namespace ui {

namespace {

struct Queue {
    std::mutex lock;
    std::deque<std::unique_ptr<ErrorNotificationRequest>> errors;
    std::deque<std::unique_ptr<NotificationRequest>> requests;
};

Queue& queue() {
    static Queue q;
    return q;
}

// User-interface thread only.
QPointer<CBalloonHelp> g_balloon;
QPointer<QWidget> g_balloonParent;

std::string describe(const NotificationRequest& request) {
    std::ostringstream text;
    request.describe(text);
    return text.str();
}

// Marks My Channels for repainting (its error marks changed).
void invalidateMyChannels() {
    CMainFrame* frame = getMainFrame();
    CWorkspaceBar* bar = frame != nullptr ? frame->getWorkspaceBar() : nullptr;
    if (bar != nullptr && bar->getMyChannelsWnd() != nullptr) bar->getMyChannelsWnd()->viewport()->update();
}

// Takes the next request to show; null when a balloon is up or nothing
// waits. Requests that are not to be shown any more are dropped here.
std::unique_ptr<NotificationRequest> takeNext(bool& isError) {
    for (;;) {
        std::unique_ptr<NotificationRequest> request;
        {
            std::lock_guard guard(queue().lock);
            Queue& q = queue();
            if (!q.errors.empty()) {
                request = std::move(q.errors.front());
                q.errors.pop_front();
                QUEUE_LOG << "Processing error notification request: " << describe(*request) << std::endl;
                isError = true;
                return request;
            }
            if (q.requests.empty()) return nullptr;
            request = std::move(q.requests.front());
            q.requests.pop_front();
            QUEUE_LOG << "Processing notification request: " << describe(*request) << std::endl;
        }
        isError = false;
        auto* item = dynamic_cast<NewFeedItemNotificationRequest*>(request.get());
        if (item == nullptr) return request;
        // A new item is shown only while its channel and settings exist and
        // the item is still unread.
        channels::Channel* channel = item->getChannel();
        ChannelDesktopSettings* settings = channel != nullptr ? getChannelDesktopSettings(channel) : nullptr;
        if (settings == nullptr) {
            QUEUE_LOG << "The channel or its desktop settings no longer exist - abandoning processing." << std::endl;
            continue;
        }
        if (!settings->getNotifyOnNewItem()) {
            QUEUE_LOG << "Notification balloons have been disabled - abandoning processing." << std::endl;
            continue;
        }
        if (settings->isFeedItemViewed(item->getFeedItemId())) {
            QUEUE_LOG << "Feed item has already been viewed - abandoning processing: feedItemId="
                      << item->getFeedItemId() << std::endl;
            continue;
        }
        return request;
    }
}

}  // namespace

void queueNotification(std::unique_ptr<NotificationRequest> request) {
    if (!request) return;
    bool invalidate = false;
    {
        std::lock_guard guard(queue().lock);
        if (auto* error = dynamic_cast<ErrorNotificationRequest*>(request.get())) {
            QUEUE_LOG << "Queuing error notification request: " << describe(*request) << std::endl;
            request.release();
            queue().errors.emplace_back(error);
            invalidate = true;
        } else {
            QUEUE_LOG << "Queuing notification request: " << describe(*request) << std::endl;
            const int limit = GlobalOptions::instance().MaxNotificationQueueLength;
            if (limit > 0 && queue().requests.size() >= static_cast<std::size_t>(limit)) return;
            queue().requests.push_back(std::move(request));
        }
    }
    // Windows belong to the user-interface thread, whichever thread queues.
    if (invalidate && qApp != nullptr) QMetaObject::invokeMethod(qApp, &invalidateMyChannels, Qt::QueuedConnection);
}

QPoint balloonAnchor(int position, const QRect& trayArea) {
    const int x = trayArea.x() + trayArea.width();
    const int y = trayArea.y();
    switch (position) {
        case 0:
            return {0, 0};
        case 1:
            return {x, 0};
        case 2:
            return {0, y};
        case 3:
            return {x, y};
        case 4:
            return {x / 2, 0};
        case 5:
            return {x, y / 2};
        case 6:
            return {x / 2, y};
        case 7:
            return {0, y / 2};
        default:
            return {x, y};
    }
}

void processNotifications() {
    for (;;) {
        // One balloon at a time.
        if (g_balloon && g_balloon->hasWindow()) return;
        bool isError = false;
        std::unique_ptr<NotificationRequest> request = takeNext(isError);
        if (!request) return;

        const GlobalOptions& options = GlobalOptions::instance();
        const int mode = options.NotificationBalloonMode;
        if (mode == 0 || (mode == 2 && !isError)) return;  // one discarded per call

        QRect tray;
        getTrayWindowRect(tray);
        const QPoint anchor = balloonAnchor(options.NotificationBalloonPosition, tray);

        if (isError) {
            if (options.PlaySoundOnError) {
                if (options.DefaultErrorSoundFilename.empty()) {
                    playSoundResource("Error.wav");
                } else {
                    playSoundFile(options.DefaultErrorSoundFilename);
                }
            }
        } else if (auto* item = dynamic_cast<NewFeedItemNotificationRequest*>(request.get())) {
            if (item->getConsolidationIndex() == 0) alertNewItems(item->getChannel());
        }

        int seconds = request->getDisplayTime();
        if (seconds < 1) seconds = options.NotificationBalloonDisplayTime;

        delete g_balloon.data();
        auto* balloon = new CBalloonHelp;
        g_balloon = balloon;
        const QIcon icon = programIcon();
        unsigned flags = CBalloonHelp::Topmost;
        if (options.ShowNotificationBalloonCloseIcon) flags |= CBalloonHelp::ShowCloseButton;
        if (isError) balloon->setTitleColour(QColor(255, 0, 0));
        const bool clickable = request->isClickable();
        const std::string title = request->getTitle();
        const std::string text = request->getText();
        balloon->setNotification(std::move(request));
        balloon->create(title, text, anchor, flags, g_balloonParent.data(), static_cast<unsigned>(seconds) * 1000u,
                        &icon);
        balloon->setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
        return;
    }
}

void alertNewItems(channels::Channel* channel) {
    ChannelDesktopSettings* settings = channel != nullptr ? getChannelDesktopSettings(channel) : nullptr;
    if (settings == nullptr) return;
    if (settings->getPlaySoundOnNewItem()) {
        std::string file = settings->getNewItemSoundFile();
        if (file.empty()) {
            if (const ChannelDesktopSettings* defaults = getChannelDesktopSettingsTemplate()) {
                file = defaults->getNewItemSoundFile();
            }
        }
        if (file.empty()) {
            playSoundResource("NewItem.wav");
        } else {
            playSoundFile(file);
        }
    }
    CMainFrame* frame = getMainFrame();
    if (settings->getAnimateOnNewItem() && (frame == nullptr || QApplication::activeWindow() != frame)) {
        startTrayAnimation(channel);
    }
}

CBalloonHelp* currentBalloon() { return g_balloon.data(); }

std::size_t queuedErrorCount() {
    std::lock_guard guard(queue().lock);
    return queue().errors.size();
}

std::size_t queuedRequestCount() {
    std::lock_guard guard(queue().lock);
    return queue().requests.size();
}

void clearNotifications() {
    {
        std::lock_guard guard(queue().lock);
        queue().errors.clear();
        queue().requests.clear();
    }
    delete g_balloon.data();
}

void setBalloonParent(QWidget* parent) { g_balloonParent = parent; }
QWidget* getBalloonParent() { return g_balloonParent.data(); }
namespace {
const ProgramObjectReset g_balloonParentReset("BalloonParent", [] { setBalloonParent(nullptr); });
}  // namespace

namespace {

// The application's balloons, into the queue. The channel callbacks run on
// the worker thread while their channel exists: the requests keep its
// cookie from here on.
class QueueSink : public NotificationSink {
public:
    void queueNewFeedItem(const std::string& channelName, const std::string& text, channels::Channel* channel,
                          const std::string& itemId, const std::string& itemUrl, const std::string& itemTitle,
                          int consolidationIndex) override {
        queueNotification(std::make_unique<NewFeedItemNotificationRequest>(channelName, text, channel, itemId, itemUrl,
                                                                           itemTitle, consolidationIndex));
    }
    void queueConsolidatedNewFeedItems(const std::string& channelName, const std::string& text,
                                       channels::Channel* channel) override {
        queueNotification(std::make_unique<ConsolidatedNewFeedItemsNotificationRequest>(channelName, text, channel));
    }
    void queueError(channels::Channel* channel, const std::string& title, const std::string& text) override {
        queueNotification(std::make_unique<ErrorNotificationRequest>(channel, title, text, -1));
    }
    void queueSimple(const std::string& title, const std::string& text, int seconds) override {
        queueNotification(std::make_unique<SimpleNotificationRequest>(title, text, seconds));
    }
    // Posted from an event callback: the channel may have been deleted
    // since, so it is found again by its cookie.
    void alertNewItems(channels::Channel* channel) override {
        if (channel != nullptr && findLiveChannel(channels::getChannelCookie(channel)) == channel) {
            ui::alertNewItems(channel);
        }
    }
    void processNotifications() override { ui::processNotifications(); }
};

}  // namespace

void installNotificationSink() {
    static QueueSink sink;
    setNotificationSink(&sink);
}

}  // namespace ui
