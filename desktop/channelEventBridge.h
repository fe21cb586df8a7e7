#pragma once
// The channel engine's events on the desktop. The application registers this
// listener with the channel manager and the plug-in manager; the engine calls
// it on the thread that raised the event (the worker during updates).
//
// Each event is logged in the group "ChannelEvents" and turned into:
//   - lines of the Logs bar's Activity and Errors tabs, posted to the main
//     window as "LogChannelActivity" and "LogErrorMsg" (app/postedText.h);
//   - balloon notifications queued with the notification sink, and new-item
//     alerts run on the user-interface thread;
//   - the channel's desktop settings kept up to date (last new item, viewed
//     items still in the feed, error texts);
//   - at the end of every update, "EndChannelUpdate" sent to the main window
//     with the engine's event; the worker waits until the windows refreshed.
// Nothing here touches a window. Events that arrive while no main window
// exists are logged and dropped. A channel without desktop settings gets
// its log lines and end of update but nothing that needs the settings.
//
// Consecutive update errors are counted per channel (by its cookie, which
// the engine never reuses while it runs) under a lock of their own; the
// count goes back to 0 with a successful update and is forgotten when the
// channel is deleted (forgetChannel).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "channels/channelEvents.h"
#include "platform/messages.h"

class ChannelEventBridge : public channels::EventListener {
public:
    struct Options {
        int maxNotificationBalloonNewFeedItems = 15;
        int maxConsecutiveChannelUpdateErrors = 3;
    };
    // The current option values (read at each event).
    using OptionsReader = std::function<Options()>;
    // The main window, 0 while there is none.
    using WindowReader = std::function<platform::messages::Handle()>;
    // Runs a task on the user-interface thread after the current message.
    using UiPoster = std::function<void(std::function<void()>)>;

    ChannelEventBridge() = default;
    void setOptionsReader(OptionsReader reader) { options_ = std::move(reader); }
    void setWindowReader(WindowReader reader) { window_ = std::move(reader); }
    void setUiPoster(UiPoster poster) { uiPoster_ = std::move(poster); }

    void handleEvent(const channels::Event& event) override;
    void onInfoMsgEvent(const channels::InfoMsgEvent& event) override;
    void onBeginChannelUpdateEvent(const channels::BeginChannelUpdateEvent& event) override;
    void onEndChannelUpdateEvent(const channels::EndChannelUpdateEvent& event) override;
    void onNewFeedItemEvent(const channels::NewFeedItemEvent& event) override;
    void onExpiredFeedItemEvent(const channels::ExpiredFeedItemEvent& event) override;
    void onChannelErrorEvent(const channels::ChannelErrorEvent& event) override;
    void onAppPluginErrorEvent(const channels::AppPluginErrorEvent& event) override;

    // From now on events are dropped; returns once no callback is running
    // (a callback waiting in a send returns when the main window is gone, so
    // destroy the window first).
    void close();
    bool isClosed() const;

    // The channel was deleted: its error count goes.
    void forgetChannel(const channels::Channel* channel);
    int getChannelErrorCount(const channels::Channel* channel) const;

    // "<local time> <text>\r\n".
    static std::string makeActivityLine(const std::string& text);
    // The Errors tab's prefix of an event: "<event time> | ".
    static std::string makeErrorPrefix(const channels::Event& event);

private:
    Options options() const { return options_ ? options_() : Options{}; }
    platform::messages::Handle window() const { return window_ ? window_() : 0; }
    void postActivity(const std::string& text);
    void postError(const std::string& entry);
    void alertNewItems(channels::Channel* channel);

    OptionsReader options_;
    WindowReader window_;
    UiPoster uiPoster_;
    mutable std::mutex callbacksMutex_;
    std::condition_variable callbacksDone_;
    int callbacksRunning_ = 0;
    bool closed_ = false;
    mutable std::mutex errorCountsMutex_;
    std::map<std::uintptr_t, int> channelErrorCounts_;
};
