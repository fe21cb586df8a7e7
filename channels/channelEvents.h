#pragma once
// What the channel engine tells the rest of the program.
//
//   channels::NewFeedItemEvent event(time(nullptr), channel, index, 0, false);
//   manager.raiseEvent(event);            // every handler gets handleEvent(event)
//
//   class App : public channels::EventListener {
//       void onNewFeedItemEvent(const channels::NewFeedItemEvent& e) override;
//   };                                     // handleEvent() dispatches by kind
//
// An event holds channels, hooks and plug-ins by pointer and owns none of
// them; raisers build it on the stack, so receivers use it only during the
// call. Every event can name itself (getEventName), dump a one-line
// description (dumpEvent, no line end) and write its parameters into a
// request file (writeParams), which is how hooks learn about it.
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "lib/widgets/eventSource.h"

namespace channels {

class Channel;
class ChannelHook;
class AppPlugin;
class EventListener;

class Event {
public:
    Event() = default;
    explicit Event(std::time_t eventTime) : eventTime_(eventTime) {}
    virtual ~Event() = default;

    virtual const char* getEventName() const = 0;
    // Calls the listener's handler for this kind of event.
    virtual void dispatch(EventListener& listener) const = 0;
    // One line describing the event, without a line end.
    virtual void dumpEvent(std::ostream& os) const = 0;
    // Writes the event's parameters into `section` of an INI file (and, for
    // item events, further sections holding the items).
    virtual void writeParams(const std::string& iniFile, const std::string& section) const;

    std::time_t getEventTime() const { return eventTime_; }

protected:
    virtual void doWriteParams(const std::string& iniFile, const std::string& section) const;

private:
    std::time_t eventTime_ = 0;
};

std::ostream& operator<<(std::ostream& os, const Event& event);

class InfoMsgEvent : public Event {
public:
    InfoMsgEvent(std::time_t eventTime, const std::string& msg) : Event(eventTime), msg_(msg) {}
    const char* getEventName() const override { return "InfoMsg"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    const std::string& getMsg() const { return msg_; }

private:
    std::string msg_;
};

// Base of the events that concern one channel (which may be null where a
// raiser says so); writes ChannelConfigFile.
class ChannelEvent : public Event {
public:
    ChannelEvent(std::time_t eventTime, Channel* channel) : Event(eventTime), channel_(channel) {}
    Channel* getChannel() const { return channel_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    Channel* channel_;
};

class BeginChannelUpdateEvent : public ChannelEvent {
public:
    BeginChannelUpdateEvent(std::time_t eventTime, Channel* channel) : ChannelEvent(eventTime, channel) {}
    const char* getEventName() const override { return "BeginChannelUpdate"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
};

class EndChannelUpdateEvent : public ChannelEvent {
public:
    EndChannelUpdateEvent(std::time_t eventTime, Channel* channel, bool updatedOk, bool isRequestedUpdate)
        : ChannelEvent(eventTime, channel), updatedOk_(updatedOk), isRequestedUpdate_(isRequestedUpdate) {}
    const char* getEventName() const override { return "EndChannelUpdate"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    bool getUpdatedOk() const { return updatedOk_; }
    bool isRequestedUpdate() const { return isRequestedUpdate_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    bool updatedOk_;
    bool isRequestedUpdate_;
};

class NewFeedItemEvent : public ChannelEvent {
public:
    // feedItemIndex: position in the channel's last feed; consolidationIndex:
    // 0 for the first new item of an update, then 1, 2, ...
    NewFeedItemEvent(std::time_t eventTime, Channel* channel, int feedItemIndex, int consolidationIndex,
                     bool isRequestedUpdate)
        : ChannelEvent(eventTime, channel),
          feedItemIndex_(feedItemIndex),
          consolidationIndex_(consolidationIndex),
          isRequestedUpdate_(isRequestedUpdate) {}
    const char* getEventName() const override { return "NewFeedItem"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    int getFeedItemIndex() const { return feedItemIndex_; }
    int getConsolidationIndex() const { return consolidationIndex_; }
    bool isRequestedUpdate() const { return isRequestedUpdate_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    int feedItemIndex_;
    int consolidationIndex_;
    bool isRequestedUpdate_;
};

class ConsolidatedNewFeedItemsEvent : public ChannelEvent {
public:
    ConsolidatedNewFeedItemsEvent(std::time_t eventTime, Channel* channel, const std::vector<int>& feedItemIndexes,
                                  bool isRequestedUpdate)
        : ChannelEvent(eventTime, channel), feedItemIndexes_(feedItemIndexes), isRequestedUpdate_(isRequestedUpdate) {}
    const char* getEventName() const override { return "ConsolidatedNewFeedItems"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    const std::vector<int>& getFeedItemIndexes() const { return feedItemIndexes_; }
    bool isRequestedUpdate() const { return isRequestedUpdate_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    std::vector<int> feedItemIndexes_;
    bool isRequestedUpdate_;
};

class ExpiredFeedItemEvent : public ChannelEvent {
public:
    // feedItemIndex: position in the channel's last feed before it is replaced.
    ExpiredFeedItemEvent(std::time_t eventTime, Channel* channel, int feedItemIndex)
        : ChannelEvent(eventTime, channel), feedItemIndex_(feedItemIndex) {}
    const char* getEventName() const override { return "ExpiredFeedItem"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    int getFeedItemIndex() const { return feedItemIndex_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    int feedItemIndex_;
};

class ChannelErrorEvent : public ChannelEvent {
public:
    // channel may be null (errors that concern no channel, raised on the
    // manager only).
    ChannelErrorEvent(std::time_t eventTime, Channel* channel, const std::string& errorMsg,
                      const std::string& additionalInfo)
        : ChannelEvent(eventTime, channel), errorMsg_(errorMsg), additionalInfo_(additionalInfo) {}
    const char* getEventName() const override { return "ChannelError"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    const std::string& getErrorMsg() const { return errorMsg_; }
    const std::string& getAdditionalInfo() const { return additionalInfo_; }

protected:
    void doWriteParams(const std::string& iniFile, const std::string& section) const override;

private:
    std::string errorMsg_;
    std::string additionalInfo_;
};

class AppPluginErrorEvent : public Event {
public:
    AppPluginErrorEvent(std::time_t eventTime, AppPlugin* appPlugin, const std::string& errorMsg)
        : Event(eventTime), appPlugin_(appPlugin), errorMsg_(errorMsg) {}
    const char* getEventName() const override { return "AppPluginError"; }
    void dispatch(EventListener& listener) const override;
    void dumpEvent(std::ostream& os) const override;
    AppPlugin* getAppPlugin() const { return appPlugin_; }
    const std::string& getErrorMsg() const { return errorMsg_; }

private:
    AppPlugin* appPlugin_;
    std::string errorMsg_;
};

// Hook loaded / attached / detached: sent to the one hook concerned only.
class ChannelHookEvent : public ChannelEvent {
public:
    ChannelHookEvent(std::time_t eventTime, Channel* channel, ChannelHook* hook)
        : ChannelEvent(eventTime, channel), hook_(hook) {}
    void dumpEvent(std::ostream& os) const override;
    ChannelHook* getChannelHook() const { return hook_; }

private:
    ChannelHook* hook_;
};

class ChannelHookLoadedEvent : public ChannelHookEvent {
public:
    using ChannelHookEvent::ChannelHookEvent;
    const char* getEventName() const override { return "ChannelHookLoaded"; }
    void dispatch(EventListener& listener) const override;
};

class ChannelHookAttachedEvent : public ChannelHookEvent {
public:
    using ChannelHookEvent::ChannelHookEvent;
    const char* getEventName() const override { return "ChannelHookAttached"; }
    void dispatch(EventListener& listener) const override;
};

class ChannelHookDetachedEvent : public ChannelHookEvent {
public:
    using ChannelHookEvent::ChannelHookEvent;
    const char* getEventName() const override { return "ChannelHookDetached"; }
    void dispatch(EventListener& listener) const override;
};

// Receives channel events, one handler per kind; every handler of the base
// does nothing, so a listener overrides only what it needs.
class EventListener : public TEventHandler<Event> {
public:
    EventListener() = default;
    virtual ~EventListener() = default;

    // Calls event.dispatch(*this).
    void handleEvent(const Event& event) override;

    virtual void onInfoMsgEvent(const InfoMsgEvent&) {}
    virtual void onBeginChannelUpdateEvent(const BeginChannelUpdateEvent&) {}
    virtual void onEndChannelUpdateEvent(const EndChannelUpdateEvent&) {}
    virtual void onNewFeedItemEvent(const NewFeedItemEvent&) {}
    virtual void onConsolidatedNewFeedItemsEvent(const ConsolidatedNewFeedItemsEvent&) {}
    virtual void onExpiredFeedItemEvent(const ExpiredFeedItemEvent&) {}
    virtual void onChannelErrorEvent(const ChannelErrorEvent&) {}
    virtual void onAppPluginErrorEvent(const AppPluginErrorEvent&) {}
    virtual void onChannelHookLoadedEvent(const ChannelHookLoadedEvent&) {}
    virtual void onChannelHookAttachedEvent(const ChannelHookAttachedEvent&) {}
    virtual void onChannelHookDetachedEvent(const ChannelHookDetachedEvent&) {}
};

// How an AppPluginError dump names its plug-in: the application plug-in code
// installs a reader of the plug-in's id once at start-up. Without one, the
// dump writes "<unknown>" in place of the id.
using AppPluginIdReader = std::string (*)(const AppPlugin& plugin);
void setAppPluginIdReader(AppPluginIdReader reader);

}  // namespace channels
