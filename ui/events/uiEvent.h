#pragma once
// User-interface events: what more than one window shows has changed (the
// global options, the set of channels, a channel's configuration or feed,
// the active child window, an item's viewed state, an opened URL).
//
//   ChannelFeedUpdatedUiEvent event(channel, false);   // on the stack
//   getUiHandler()->fireEvent(event);                  // ui/events/uiHandler.h
//
//   class MyList : public QWidget, public UiEventHandler {
//       void onChannelDeleted(ChannelDeletedUiEvent& e) override;
//       std::string getDescription() const override { return "[MyList]"; }
//   };
//
// Delivery is a double dispatch: the handler's onUiEvent asks the event to
// dispatch itself, and the event calls the one operation of its kind.
// ChannelConfigChangedUiEvent and MarkFeedItemAsViewedUiEvent are channel
// events too, so that the channel's hooks hear of them after the windows.
//
// Every UiEventHandler is in a process-wide set of live handlers from its
// construction to its destruction (user-interface thread only, no lock);
// delivery asks isAlive before each call, so a handler destroyed by another
// handler's reaction is skipped.
#include <ostream>
#include <string>

#include "channels/channelEvents.h"

class QWidget;

namespace channels {
class Channel;
class AppPlugin;
}  // namespace channels

class UiEventHandler;

class UiEvent {
public:
    explicit UiEvent(channels::Channel* channel) : channel_(channel) {}
    virtual ~UiEvent() = default;
    virtual void dispatch(UiEventHandler& handler) = 0;
    virtual std::string getDescription() const = 0;
    channels::Channel* getChannel() const { return channel_; }

private:
    channels::Channel* channel_;
};

std::ostream& operator<<(std::ostream& os, const UiEvent& event);

class GlobalOptionsChangedUiEvent : public UiEvent {
public:
    GlobalOptionsChangedUiEvent() : UiEvent(nullptr) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override { return "[GlobalOptionsChanged]"; }
};

class ChannelCreatedUiEvent : public UiEvent {
public:
    explicit ChannelCreatedUiEvent(channels::Channel* channel) : UiEvent(channel) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
};

class ChannelDeletedUiEvent : public UiEvent {
public:
    explicit ChannelDeletedUiEvent(channels::Channel* channel) : UiEvent(channel) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
};

// Also a channel event named "ChannelConfigChanged" for the channel's hooks.
class ChannelConfigChangedUiEvent : public UiEvent, public channels::Event {
public:
    explicit ChannelConfigChangedUiEvent(channels::Channel* channel) : UiEvent(channel) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    const char* getEventName() const override { return "ChannelConfigChanged"; }
    // No engine listener reacts to this event.
    void dispatch(channels::EventListener&) const override {}
    void dumpEvent(std::ostream& os) const override { os << getDescription(); }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;
};

class ChannelFeedUpdatedUiEvent : public UiEvent {
public:
    ChannelFeedUpdatedUiEvent(channels::Channel* channel, bool isRequestedUpdate)
        : UiEvent(channel), isRequestedUpdate_(isRequestedUpdate) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    bool isRequestedUpdate() const { return isRequestedUpdate_; }

private:
    bool isRequestedUpdate_;
};

class ChannelViewActivatedUiEvent : public UiEvent {
public:
    ChannelViewActivatedUiEvent(channels::Channel* channel, QWidget* frame, bool fromMainFrameFocus)
        : UiEvent(channel), frame_(frame), fromMainFrameFocus_(fromMainFrameFocus) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    QWidget* getFrame() const { return frame_; }
    bool isFromMainFrameFocus() const { return fromMainFrameFocus_; }

private:
    QWidget* frame_;
    bool fromMainFrameFocus_;
};

class ChannelViewDeactivatedUiEvent : public UiEvent {
public:
    ChannelViewDeactivatedUiEvent(channels::Channel* channel, QWidget* frame) : UiEvent(channel), frame_(frame) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    QWidget* getFrame() const { return frame_; }

private:
    QWidget* frame_;
};

class AppPluginViewActivatedUiEvent : public UiEvent {
public:
    AppPluginViewActivatedUiEvent(channels::AppPlugin* appPlugin, QWidget* frame, bool fromMainFrameFocus)
        : UiEvent(nullptr), appPlugin_(appPlugin), frame_(frame), fromMainFrameFocus_(fromMainFrameFocus) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    channels::AppPlugin* getAppPlugin() const { return appPlugin_; }
    QWidget* getFrame() const { return frame_; }
    bool isFromMainFrameFocus() const { return fromMainFrameFocus_; }

private:
    channels::AppPlugin* appPlugin_;
    QWidget* frame_;
    bool fromMainFrameFocus_;
};

// The frame's window title is the title of its document.
class SimpleBrowserViewActivatedUiEvent : public UiEvent {
public:
    SimpleBrowserViewActivatedUiEvent(QWidget* frame, bool fromMainFrameFocus)
        : UiEvent(nullptr), frame_(frame), fromMainFrameFocus_(fromMainFrameFocus) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    QWidget* getFrame() const { return frame_; }
    bool isFromMainFrameFocus() const { return fromMainFrameFocus_; }

private:
    QWidget* frame_;
    bool fromMainFrameFocus_;
};

// Also a channel event named "MarkFeedItemAsViewed" for the channel's hooks.
// The channel is never null.
class MarkFeedItemAsViewedUiEvent : public UiEvent, public channels::Event {
public:
    MarkFeedItemAsViewedUiEvent(channels::Channel* channel, const std::string& feedItemId, bool isViewed,
                                bool updateChannelSummaryPage, bool endMarkAll)
        : UiEvent(channel),
          feedItemId_(feedItemId),
          isViewed_(isViewed),
          updateChannelSummaryPage_(updateChannelSummaryPage),
          endMarkAll_(endMarkAll) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    const char* getEventName() const override { return "MarkFeedItemAsViewed"; }
    void dispatch(channels::EventListener&) const override {}
    void dumpEvent(std::ostream& os) const override { os << getDescription(); }

    const std::string& getFeedItemId() const { return feedItemId_; }
    bool isViewed() const { return isViewed_; }
    bool getUpdateChannelSummaryPage() const { return updateChannelSummaryPage_; }
    bool isEndMarkAll() const { return endMarkAll_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    std::string feedItemId_;
    bool isViewed_;
    bool updateChannelSummaryPage_;
    bool endMarkAll_;
};

class UrlOpenedUiEvent : public UiEvent {
public:
    UrlOpenedUiEvent(const std::string& url, channels::Channel* channel) : UiEvent(channel), url_(url) {}
    void dispatch(UiEventHandler& handler) override;
    std::string getDescription() const override;
    const std::string& getUrl() const { return url_; }

private:
    std::string url_;
};

class UiEventHandler {
public:
    UiEventHandler();
    virtual ~UiEventHandler();
    UiEventHandler(const UiEventHandler&) = delete;
    UiEventHandler& operator=(const UiEventHandler&) = delete;

    virtual void onUiEvent(UiEvent& event) { event.dispatch(*this); }
    virtual void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) {}
    virtual void onChannelCreated(ChannelCreatedUiEvent&) {}
    virtual void onChannelDeleted(ChannelDeletedUiEvent&) {}
    virtual void onChannelConfigChanged(ChannelConfigChangedUiEvent&) {}
    virtual void onChannelFeedUpdated(ChannelFeedUpdatedUiEvent&) {}
    virtual void onChannelViewActivated(ChannelViewActivatedUiEvent&) {}
    virtual void onChannelViewDeactivated(ChannelViewDeactivatedUiEvent&) {}
    virtual void onAppPluginViewActivated(AppPluginViewActivatedUiEvent&) {}
    virtual void onSimpleBrowserViewActivated(SimpleBrowserViewActivatedUiEvent&) {}
    virtual void onMarkFeedItemAsViewed(MarkFeedItemAsViewedUiEvent&) {}
    virtual void onUrlOpened(UrlOpenedUiEvent&) {}
    // The handler's name in the message log, "[CMainFrame]".
    virtual std::string getDescription() const = 0;

    // Whether the pointer still denotes a living handler.
    static bool isAlive(const UiEventHandler* handler);
};
