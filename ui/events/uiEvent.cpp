#include "ui/events/uiEvent.h"

#include <QWidget>
#include <unordered_set>

#include "channels/appPlugins/appPlugin.h"
#include "channels/channel.h"
#include "tools/ini.h"

namespace {

std::unordered_set<const UiEventHandler*>& liveHandlers() {
    static std::unordered_set<const UiEventHandler*> handlers;
    return handlers;
}

std::string channelName(const channels::Channel* channel) { return channels::getChannelDisplayName(channel); }

}  // namespace

std::ostream& operator<<(std::ostream& os, const UiEvent& event) { return os << event.getDescription(); }

UiEventHandler::UiEventHandler() { liveHandlers().insert(this); }
UiEventHandler::~UiEventHandler() { liveHandlers().erase(this); }
bool UiEventHandler::isAlive(const UiEventHandler* handler) { return liveHandlers().count(handler) != 0; }

void GlobalOptionsChangedUiEvent::dispatch(UiEventHandler& h) { h.onGlobalOptionsChanged(*this); }

void ChannelCreatedUiEvent::dispatch(UiEventHandler& h) { h.onChannelCreated(*this); }
std::string ChannelCreatedUiEvent::getDescription() const {
    return "[ChannelCreated: " + channelName(getChannel()) + "]";
}

void ChannelDeletedUiEvent::dispatch(UiEventHandler& h) { h.onChannelDeleted(*this); }
std::string ChannelDeletedUiEvent::getDescription() const {
    return "[ChannelDeleted: " + channelName(getChannel()) + "]";
}

void ChannelConfigChangedUiEvent::dispatch(UiEventHandler& h) { h.onChannelConfigChanged(*this); }
std::string ChannelConfigChangedUiEvent::getDescription() const {
    return "[ChannelConfigChanged: " + channelName(getChannel()) + "]";
}
void ChannelConfigChangedUiEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    if (getChannel() == nullptr) return;
    tools::writeIniString(iniFile, section, "ChannelConfigFile", getChannel()->getConfigFilename());
}

void ChannelFeedUpdatedUiEvent::dispatch(UiEventHandler& h) { h.onChannelFeedUpdated(*this); }
std::string ChannelFeedUpdatedUiEvent::getDescription() const {
    return "[ChannelFeedUpdated: " + channelName(getChannel()) +
           ":isRequestedUpdated=" + (isRequestedUpdate_ ? "1" : "0") + "]";
}

void ChannelViewActivatedUiEvent::dispatch(UiEventHandler& h) { h.onChannelViewActivated(*this); }
std::string ChannelViewActivatedUiEvent::getDescription() const {
    return "[ChannelViewActivated: " + channelName(getChannel()) + "]";
}

void ChannelViewDeactivatedUiEvent::dispatch(UiEventHandler& h) { h.onChannelViewDeactivated(*this); }
std::string ChannelViewDeactivatedUiEvent::getDescription() const {
    return "[ChannelViewDeactivated: " + channelName(getChannel()) + "]";
}

void AppPluginViewActivatedUiEvent::dispatch(UiEventHandler& h) { h.onAppPluginViewActivated(*this); }
std::string AppPluginViewActivatedUiEvent::getDescription() const {
    return "[AppPluginViewActivated: " + (appPlugin_ != nullptr ? appPlugin_->getDisplayName() : std::string()) + "]";
}

void SimpleBrowserViewActivatedUiEvent::dispatch(UiEventHandler& h) { h.onSimpleBrowserViewActivated(*this); }
std::string SimpleBrowserViewActivatedUiEvent::getDescription() const {
    return "[SimpleBrowserViewActivated: " + (frame_ != nullptr ? frame_->windowTitle().toStdString() : std::string()) +
           "]";
}

void MarkFeedItemAsViewedUiEvent::dispatch(UiEventHandler& h) { h.onMarkFeedItemAsViewed(*this); }
std::string MarkFeedItemAsViewedUiEvent::getDescription() const {
    const std::string name = getChannel() != nullptr ? getChannel()->getDisplayName() : channelName(nullptr);
    return "[MarkFeedItemAsViewedUiEvent:" + name + ":" + feedItemId_ + ":" + (isViewed_ ? "viewed" : "not-viewed") +
           "]";
}
void MarkFeedItemAsViewedUiEvent::doWriteParams(const std::string& iniFile, const std::string& section) const {
    if (getChannel() != nullptr) {
        tools::writeIniString(iniFile, section, "ChannelConfigFile", getChannel()->getConfigFilename());
    }
    tools::writeIniString(iniFile, section, "FeedItemId", feedItemId_);
    tools::writeIniBool(iniFile, section, "IsViewed", isViewed_);
    tools::writeIniBool(iniFile, section, "UpdateChannelSummaryPage", updateChannelSummaryPage_);
    tools::writeIniBool(iniFile, section, "EndMarkAll", endMarkAll_);
}

void UrlOpenedUiEvent::dispatch(UiEventHandler& h) { h.onUrlOpened(*this); }
std::string UrlOpenedUiEvent::getDescription() const { return "[UrlOpenedUiEvent:" + url_ + "]"; }
