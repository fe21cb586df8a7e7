#include "channels/channelEvents.h"

#include <atomic>

#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "tools/ini.h"

namespace channels {

namespace {

std::atomic<AppPluginIdReader> g_appPluginIdReader{nullptr};

// Lets the item at `index` of the channel's last feed write itself into
// `section`; positions outside the feed write nothing.
void writeLastFeedItem(const Channel& channel, int index, const std::string& iniFile, const std::string& section) {
    const ChannelState& state = channel.getChannelState();
    SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
    const Feed* feed = state.getLastFeed();
    SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
    const std::vector<FeedItem>& items = feed->getFeedItems();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return;
    items[static_cast<std::size_t>(index)].save(iniFile, section);
}

std::string hookDisplayName(const ChannelHook* hook) {
    ChannelHookHost* host = getChannelHookHost();
    if (hook == nullptr || host == nullptr) return std::string();
    return host->getDisplayName(*hook);
}

}  // namespace

void setAppPluginIdReader(AppPluginIdReader reader) { g_appPluginIdReader = reader; }

// ---------------------------------------------------------------------------
// Event

void Event::writeParams(const std::string& iniFile, const std::string& section) const {
    doWriteParams(iniFile, section);
}

void Event::doWriteParams(const std::string&, const std::string&) const {}

std::ostream& operator<<(std::ostream& os, const Event& event) {
    event.dumpEvent(os);
    return os;
}

void ChannelEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    if (channel_ == nullptr) return;
    tools::writeIniString(iniFile, section, "ChannelConfigFile", channel_->getConfigFilename());
}

// ---------------------------------------------------------------------------
// Dispatch

void EventListener::handleEvent(const Event& event) { event.dispatch(*this); }

void InfoMsgEvent::dispatch(EventListener& l) const { l.onInfoMsgEvent(*this); }
void BeginChannelUpdateEvent::dispatch(EventListener& l) const { l.onBeginChannelUpdateEvent(*this); }
void EndChannelUpdateEvent::dispatch(EventListener& l) const { l.onEndChannelUpdateEvent(*this); }
void NewFeedItemEvent::dispatch(EventListener& l) const { l.onNewFeedItemEvent(*this); }
void ConsolidatedNewFeedItemsEvent::dispatch(EventListener& l) const { l.onConsolidatedNewFeedItemsEvent(*this); }
void ExpiredFeedItemEvent::dispatch(EventListener& l) const { l.onExpiredFeedItemEvent(*this); }
void ChannelErrorEvent::dispatch(EventListener& l) const { l.onChannelErrorEvent(*this); }
void AppPluginErrorEvent::dispatch(EventListener& l) const { l.onAppPluginErrorEvent(*this); }
void ChannelHookLoadedEvent::dispatch(EventListener& l) const { l.onChannelHookLoadedEvent(*this); }
void ChannelHookAttachedEvent::dispatch(EventListener& l) const { l.onChannelHookAttachedEvent(*this); }
void ChannelHookDetachedEvent::dispatch(EventListener& l) const { l.onChannelHookDetachedEvent(*this); }

// ---------------------------------------------------------------------------
// Dumps

void InfoMsgEvent::dumpEvent(std::ostream& os) const { os << "[InfoMsg:" << msg_ << "]"; }

void BeginChannelUpdateEvent::dumpEvent(std::ostream& os) const {
    os << "[BeginChannelUpdate:" << getChannelDisplayName(getChannel()) << "]";
}

void EndChannelUpdateEvent::dumpEvent(std::ostream& os) const {
    os << "[EndChannelUpdate:" << getChannelDisplayName(getChannel()) << "]";
}

void NewFeedItemEvent::dumpEvent(std::ostream& os) const {
    if (getChannel() == nullptr) {
        os << "[NewFeedItem:<unknown>]";
        return;
    }
    os << "[NewFeedItem:" << getChannel()->getDisplayName() << ":" << feedItemIndex_ << "]";
}

void ConsolidatedNewFeedItemsEvent::dumpEvent(std::ostream& os) const {
    if (getChannel() == nullptr) {
        os << "[ConsolidatedNewFeedItems:<unknown>]";
        return;
    }
    os << "[ConsolidatedNewFeedItems:" << getChannel()->getDisplayName() << ":";
    for (std::size_t i = 0; i < feedItemIndexes_.size(); ++i) {
        if (i > 0) os << ",";
        os << feedItemIndexes_[i];
    }
    os << "]";
}

void ExpiredFeedItemEvent::dumpEvent(std::ostream& os) const {
    if (getChannel() == nullptr) {
        os << "[ExpiredFeedItem:<unknown>]";
        return;
    }
    os << "[ExpiredFeedItem:" << getChannel()->getDisplayName() << ":" << feedItemIndex_ << "]";
}

void ChannelErrorEvent::dumpEvent(std::ostream& os) const {
    if (getChannel() == nullptr) {
        os << "[ChannelError:<unknown>]";
        return;
    }
    os << "[ChannelError:" << getChannel()->getDisplayName() << ":" << errorMsg_ << "]";
}

void AppPluginErrorEvent::dumpEvent(std::ostream& os) const {
    AppPluginIdReader reader = g_appPluginIdReader;
    if (appPlugin_ == nullptr || reader == nullptr) {
        os << "[AppPluginError:<unknown>]";
        return;
    }
    os << "[AppPluginError:" << reader(*appPlugin_) << "]";
}

void ChannelHookEvent::dumpEvent(std::ostream& os) const {
    os << "[" << getEventName() << ":" << getChannelDisplayName(getChannel()) << ":" << hookDisplayName(hook_) << "]";
}

// ---------------------------------------------------------------------------
// Parameters

void EndChannelUpdateEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    ChannelEvent::doWriteParams(iniFile, section);
    tools::writeIniBool(iniFile, section, "UpdatedOk", updatedOk_);
    tools::writeIniBool(iniFile, section, "IsRequestedUpdate", isRequestedUpdate_);
}

void NewFeedItemEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    ChannelEvent::doWriteParams(iniFile, section);
    tools::writeIniInt(iniFile, section, "ConsolidationIndex", consolidationIndex_);
    tools::writeIniBool(iniFile, section, "IsRequestedUpdate", isRequestedUpdate_);
    if (getChannel() != nullptr) writeLastFeedItem(*getChannel(), feedItemIndex_, iniFile, "NewFeedItem");
}

void ConsolidatedNewFeedItemsEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    ChannelEvent::doWriteParams(iniFile, section);
    tools::writeIniBool(iniFile, section, "IsRequestedUpdate", isRequestedUpdate_);
    if (getChannel() == nullptr) return;
    for (std::size_t i = 0; i < feedItemIndexes_.size(); ++i) {
        writeLastFeedItem(*getChannel(), feedItemIndexes_[i], iniFile, "NewFeedItem-" + std::to_string(i + 1));
    }
}

void ExpiredFeedItemEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    ChannelEvent::doWriteParams(iniFile, section);
    if (getChannel() != nullptr) writeLastFeedItem(*getChannel(), feedItemIndex_, iniFile, "ExpiredFeedItem");
}

void ChannelErrorEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    ChannelEvent::doWriteParams(iniFile, section);
    tools::writeIniString(iniFile, section, "ErrorMsg", errorMsg_);
    tools::writeIniString(iniFile, section, "AdditionalInfo", additionalInfo_);
}

}  // namespace channels
