#pragma once
// The user-interface handler: the registry of UiEventHandlers, synchronous
// delivery of UiEvents on the user-interface thread, and what depends on the
// window layout. Two layouts, one object each for the life of the program:
// MdiUiHandler (every channel, plug-in and browser page in its own child
// window) and SdiUiHandler (one child window; a new one replaces the rest).
//
//   setUiHandler(options.getUiHandlerType() != 0);   // at start-up
//   getUiHandler()->addEventHandler(&myList);         // and remove it when gone
//   getUiHandler()->fireChannelConfigChanged(channel);
//
// Delivery copies the registry first: a handler added during a delivery hears
// the next event; one destroyed during it (UiEventHandler::isAlive) is
// skipped. The handlers are visited in the order of their addresses, so none
// may rely on being called before another. ChannelConfigChanged and
// MarkFeedItemAsViewed go on to the channel's hooks afterwards. An exception
// of a handler leaves fireEvent.
//
// The list policy turns clicks and keys in the Control Center lists and the
// item lists into main-frame commands, posted as WM_COMMAND: 32845 open,
// 32858 show summary, 32827 properties, 32828 update now. Modifiers are the
// bits of getModifierKeyState: Shift 1, Ctrl 2, Alt 4.
#include <functional>
#include <set>

#include "ui/events/uiEvent.h"

class QObject;
class QWidget;

// What the channel windows provide to the handler, installed by the
// program's start-up wiring. One called while missing is logged as a wiring
// fault (an assertion in debug builds) and the step is skipped.
struct ChannelWindowOps {
    // Finds or opens the channel's window; false when no window results.
    std::function<bool(channels::Channel* channel)> openChannelDoc;
    // Opens the channel's window and shows the item (its position in the feed).
    std::function<void(channels::Channel* channel, int feedItem)> showFeedItemInChannelWindow;
    // The channel of the active child window when it is a channel window.
    std::function<channels::Channel*()> getActiveChildChannel;
};
void setChannelWindowOps(ChannelWindowOps ops);
const ChannelWindowOps& getChannelWindowOps();

class UiHandler {
public:
    UiHandler() = default;
    virtual ~UiHandler() = default;
    UiHandler(const UiHandler&) = delete;
    UiHandler& operator=(const UiHandler&) = delete;

    virtual void install() {}
    virtual void uninstall() {}

    virtual bool onMyChannelsItemActivated(channels::Channel* channel);
    virtual bool onMyChannelsItemOpened(channels::Channel* channel);
    virtual bool onMyChannelsKeyPressed(channels::Channel* channel, int virtualKey, int modifiers);
    virtual bool onFeedItemActivated(QWidget* sourceWnd, channels::Channel* channel, int feedItem);
    virtual bool onFeedItemOpened(QWidget* sourceWnd, channels::Channel* channel, int feedItem);
    virtual bool onFeedItemKeyPressed(QWidget* sourceWnd, channels::Channel* channel, int feedItem, int virtualKey,
                                      int modifiers);
    virtual bool onAppPluginItemActivated(channels::AppPlugin* appPlugin);
    virtual bool onAppPluginItemOpened(channels::AppPlugin* appPlugin);
    virtual bool onAppPluginKeyPressed(channels::AppPlugin* appPlugin, int virtualKey, int modifiers);

    virtual void fireGlobalOptionsChanged();
    virtual void fireChannelCreated(channels::Channel* channel);
    virtual void fireChannelDeleted(channels::Channel* channel);
    virtual void fireChannelConfigChanged(channels::Channel* channel);
    virtual void fireChannelFeedUpdated(channels::Channel* channel, bool isRequestedUpdate);
    virtual void fireChannelViewActivated(channels::Channel* channel, QWidget* frame, bool fromMainFrameFocus);
    // The deactivations deliver nothing: no window reacts to them.
    virtual void fireChannelViewDeactivated(channels::Channel* channel, QWidget* frame);
    virtual void fireAppPluginViewActivated(channels::AppPlugin* appPlugin, QWidget* frame, bool fromMainFrameFocus);
    virtual void fireAppPluginViewDeactivated(channels::AppPlugin* appPlugin, QWidget* frame);
    virtual void fireSimpleBrowserViewActivated(QWidget* frame, bool fromMainFrameFocus);
    virtual void fireSimpleBrowserViewDeactivated(QWidget* frame);

    // Bracket the creation of a child window.
    virtual void beginLayoutChange();
    virtual void endLayoutChange(QObject* document, QWidget* frame) = 0;
    // From a child frame's resize: records the user's maximise preference.
    // sizeType: 0 restored, 2 maximised.
    virtual void onChildFrameSized(QWidget* frame, int sizeType);
    virtual bool openChildFramesMaximized();
    virtual bool isSdi() const { return false; }

    void addEventHandler(UiEventHandler* handler);
    void removeEventHandler(UiEventHandler* handler);
    void fireEvent(UiEvent& event);
    bool isEventHandler(const UiEventHandler* handler) const;

    bool isInLayoutChange() const { return inLayoutChange_; }

protected:
    friend void setUiHandler(bool multipleWindows);
    std::set<UiEventHandler*> handlers_;
    bool inLayoutChange_ = false;
};

class MdiUiHandler : public UiHandler {
public:
    void install() override;
    void endLayoutChange(QObject* document, QWidget* frame) override;
};

class SdiUiHandler : public UiHandler {
public:
    void install() override;
    // Destroys every child frame other than `frame`.
    void endLayoutChange(QObject* document, QWidget* frame) override;
    bool isSdi() const override { return true; }
};

// The current handler; null until the first setUiHandler.
UiHandler* getUiHandler();
bool isUiHandlerSet();
// Makes the multiple- or single-window handler current: the new one is
// installed (closing every child window) while the old one is current, then
// takes over the old one's registry. Nothing happens when it is current.
void setUiHandler(bool multipleWindows);
