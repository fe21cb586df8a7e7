#pragma once
// The program's notification queue: any thread queues requests; the main
// frame's one-second timer shows them one balloon at a time, error requests
// first.
//
//   ui::queueNotification(std::make_unique<SimpleNotificationRequest>("Hello", "Started.", 5));
//   ui::processNotifications();          // user-interface thread: shows at most one
//
// Error requests wait in a queue of their own without a limit; the others
// are limited by the option MaxNotificationQueueLength (0 or less: none).
// Log lines go to the message group "NotificationRequestQueue".
#include <cstddef>
#include <memory>

#include "ui/notify/notificationRequest.h"

class CBalloonHelp;
class QPoint;
class QRect;
class QWidget;

namespace ui {

// Any thread; takes ownership (a request refused by a full queue is
// deleted at once).
void queueNotification(std::unique_ptr<NotificationRequest> request);
inline void queueNotification(NotificationRequest* request) {
    queueNotification(std::unique_ptr<NotificationRequest>(request));
}

// User-interface thread: shows the next request unless a balloon is up.
void processNotifications();

// User-interface thread: the new-item sound and the tray animation for the
// channel (nothing for a channel without desktop settings).
void alertNewItems(channels::Channel* channel);

// Where a balloon goes for the option NotificationBalloonPosition (0..7),
// given the notification area's rectangle.
QPoint balloonAnchor(int position, const QRect& trayArea);

// The balloon shown last (null before the first; it may have closed).
CBalloonHelp* currentBalloon();
// Queued requests: errors, others.
std::size_t queuedErrorCount();
std::size_t queuedRequestCount();
// Drops every queued request and deletes the current balloon (shut-down).
void clearNotifications();

// The window that owns the balloons (the tray icon's); may be null.
void setBalloonParent(QWidget* parent);
QWidget* getBalloonParent();

// Connects the application's channel-event callbacks and start-up
// (NotificationSink) to this queue.
void installNotificationSink();

}  // namespace ui
