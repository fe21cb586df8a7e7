#include "app/core/notificationSink.h"
#include "app/core/seams.h"

#include <atomic>

namespace {
NotificationSink g_silentSink;
std::atomic<NotificationSink*> g_sink{&g_silentSink};
}  // namespace

void setNotificationSink(NotificationSink* sink) { g_sink.store(sink != nullptr ? sink : &g_silentSink); }
NotificationSink& getNotificationSink() { return *g_sink.load(); }
const seams::Registration g_notificationSinkSeam(
    "NotificationSink", [] { return g_sink.load() != &g_silentSink; }, [] { setNotificationSink(nullptr); });
