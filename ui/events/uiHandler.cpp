#include "ui/events/uiHandler.h"

#include <QApplication>
#include <cstdint>
#include <ctime>

#include "app/core/commandIds.h"
#include "app/core/messageGroups.h"
#include "lib/log/messageLog.h"
#include "channels/channel.h"
#include "platform/messages.h"
#include "app/core/messageGroups.h"
#include "lib/log/messageLog.h"
#include "app/core/programObjects.h"
#include "app/core/seams.h"
#include "app/settings/channelDesktopSettings.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/frame/mainFrame.h"

namespace {

constexpr int kEnterKey = 13;
constexpr int kSpaceKey = 32;
constexpr int kCtrl = 2;
constexpr int kAlt = 4;

MdiUiHandler g_mdiUiHandler;
SdiUiHandler g_sdiUiHandler;
UiHandler* g_currentUiHandler = nullptr;

ChannelWindowOps& channelWindowOps() {
    static ChannelWindowOps ops;
    return ops;
}

// Runs after the current message, like every list command.
void postCommand(int id) {
    if (CMainFrame* frame = getMainFrame()) {
        platform::messages::postMessage(frame->getHandle(), platform::messages::WM_COMMAND,
                                        static_cast<std::uintptr_t>(id), 0);
    }
}

void beep() { QApplication::beep(); }

void lockMainFrameUpdates(bool lock) {
    if (CMainFrame* frame = getMainFrame()) frame->setUpdatesEnabled(!lock);
}

const seams::Registration g_channelWindowOpsSeam(
    "ChannelWindowOps",
    [] {
        const ChannelWindowOps& ops = channelWindowOps();
        return ops.openChannelDoc && ops.showFeedItemInChannelWindow && ops.getActiveChildChannel;
    },
    [] { setChannelWindowOps({}); });

// Finds or opens the channel's window; false when none results.
bool openChannelWindow(channels::Channel* channel) {
    if (!channelWindowOps().openChannelDoc) {
        seams::missing("ChannelWindowOps::openChannelDoc");
        return false;
    }
    return channelWindowOps().openChannelDoc(channel);
}

}  // namespace

void setChannelWindowOps(ChannelWindowOps ops) { channelWindowOps() = std::move(ops); }
const ChannelWindowOps& getChannelWindowOps() { return channelWindowOps(); }

UiHandler* getUiHandler() { return g_currentUiHandler; }
bool isUiHandlerSet() { return g_currentUiHandler != nullptr; }

void setUiHandler(bool multipleWindows) {
    UiHandler* next = multipleWindows ? static_cast<UiHandler*>(&g_mdiUiHandler) : &g_sdiUiHandler;
    UiHandler* old = g_currentUiHandler;
    if (next == old) return;
    if (old != nullptr) old->uninstall();
    // Windows closed by the installation unregister from the old handler.
    next->install();
    g_currentUiHandler = next;
    if (old != nullptr) next->handlers_ = old->handlers_;
}

void UiHandler::addEventHandler(UiEventHandler* handler) {
    ORVAN_LOG(g_uiEventsGroup) << "Adding UI event handler: " << handler->getDescription() << std::endl;
    handlers_.insert(handler);
}

void UiHandler::removeEventHandler(UiEventHandler* handler) {
    ORVAN_LOG(g_uiEventsGroup) << "Removing UI event handler: " << handler->getDescription() << std::endl;
    if (handlers_.erase(handler) == 0) {
        ORVAN_LOG_ANY() << "SAFE SHUTDOWN: Tried to remove an un-registered UI event handler: "
                        << handler->getDescription() << std::endl;
    }
}

bool UiHandler::isEventHandler(const UiEventHandler* handler) const {
    return handlers_.count(const_cast<UiEventHandler*>(handler)) != 0;
}

void UiHandler::fireEvent(UiEvent& event) {
    const std::set<UiEventHandler*> handlers = handlers_;
    ORVAN_LOG(g_uiEventsGroup) << "--- BEGIN UI EVENT: " << event << " ---" << std::endl;
    for (UiEventHandler* handler : handlers) {
        if (!UiEventHandler::isAlive(handler)) continue;
        ORVAN_LOG(g_uiEventsGroup) << "- Notifying event handler: " << handler->getDescription() << std::endl;
        handler->onUiEvent(event);
    }
    ORVAN_LOG(g_uiEventsGroup) << "--- END UI EVENT: " << event << " ---" << std::endl;
    if (auto* channelEvent = dynamic_cast<channels::Event*>(&event)) {
        if (event.getChannel() != nullptr) event.getChannel()->checkChannelHooks(*channelEvent);
    }
}

// ---------------------------------------------------------------------------
// Fire operations

void UiHandler::fireGlobalOptionsChanged() {
    GlobalOptionsChangedUiEvent event;
    fireEvent(event);
}

void UiHandler::fireChannelCreated(channels::Channel* channel) {
    openChannelWindow(channel);
    ChannelCreatedUiEvent event(channel);
    fireEvent(event);
}

void UiHandler::fireChannelDeleted(channels::Channel* channel) {
    ChannelDeletedUiEvent event(channel);
    fireEvent(event);
}

void UiHandler::fireChannelConfigChanged(channels::Channel* channel) {
    ChannelConfigChangedUiEvent event(channel);
    fireEvent(event);
}

void UiHandler::fireChannelFeedUpdated(channels::Channel* channel, bool isRequestedUpdate) {
    if (isRequestedUpdate && !openChannelWindow(channel)) {
        beep();
        return;
    }
    ChannelFeedUpdatedUiEvent event(channel, isRequestedUpdate);
    fireEvent(event);
}

void UiHandler::fireChannelViewActivated(channels::Channel* channel, QWidget* frame, bool fromMainFrameFocus) {
    if (channel == nullptr) return;
    // The user has looked at the channel: its new content is no longer new.
    if (ChannelDesktopSettings* settings = getChannelDesktopSettings(channel)) {
        const bool wasNew = settings->hasNewContent();
        settings->setLastViewTime(static_cast<std::int32_t>(std::time(nullptr)));
        CWorkspaceBar* bar = getWorkspaceBar();
        if (wasNew && !settings->hasNewContent() && bar != nullptr) bar->getMyChannelsWnd()->updateChannel(channel);
    }
    ChannelViewActivatedUiEvent event(channel, frame, fromMainFrameFocus);
    fireEvent(event);
}

void UiHandler::fireChannelViewDeactivated(channels::Channel*, QWidget*) {}

void UiHandler::fireAppPluginViewActivated(channels::AppPlugin* appPlugin, QWidget* frame, bool fromMainFrameFocus) {
    if (appPlugin == nullptr) return;
    AppPluginViewActivatedUiEvent event(appPlugin, frame, fromMainFrameFocus);
    fireEvent(event);
}

void UiHandler::fireAppPluginViewDeactivated(channels::AppPlugin*, QWidget*) {}

void UiHandler::fireSimpleBrowserViewActivated(QWidget* frame, bool fromMainFrameFocus) {
    SimpleBrowserViewActivatedUiEvent event(frame, fromMainFrameFocus);
    fireEvent(event);
}

void UiHandler::fireSimpleBrowserViewDeactivated(QWidget*) {}

// ---------------------------------------------------------------------------
// List policy

bool UiHandler::onMyChannelsItemActivated(channels::Channel*) { return true; }

bool UiHandler::onMyChannelsItemOpened(channels::Channel* channel) {
    if (channel == nullptr) {
        beep();
        return true;
    }
    const int modifiers = getModifierKeyState();
    if (modifiers == 0) {
        bool shown = false;
        if (channelWindowOps().getActiveChildChannel) {
            shown = channelWindowOps().getActiveChildChannel() == channel;
        } else {
            seams::missing("ChannelWindowOps::getActiveChildChannel");
        }
        postCommand(shown ? kCmdShowSummary : kCmdOpen);
    } else if (modifiers == kCtrl || modifiers == kAlt) {
        postCommand(kCmdProperties);
    } else {
        postCommand(kCmdUpdateNow);
    }
    return true;
}

bool UiHandler::onMyChannelsKeyPressed(channels::Channel* channel, int virtualKey, int modifiers) {
    if (channel == nullptr || (virtualKey != kEnterKey && virtualKey != kSpaceKey)) return false;
    if (modifiers == 0) {
        postCommand(kCmdOpen);
    } else if (modifiers == kCtrl || modifiers == kAlt) {
        postCommand(kCmdProperties);
    } else {
        postCommand(kCmdUpdateNow);
    }
    return true;
}

bool UiHandler::onFeedItemActivated(QWidget*, channels::Channel*, int) { return true; }

bool UiHandler::onFeedItemOpened(QWidget*, channels::Channel* channel, int feedItem) {
    if (channelWindowOps().showFeedItemInChannelWindow) {
        channelWindowOps().showFeedItemInChannelWindow(channel, feedItem);
    } else {
        seams::missing("ChannelWindowOps::showFeedItemInChannelWindow");
    }
    return true;
}

bool UiHandler::onFeedItemKeyPressed(QWidget* sourceWnd, channels::Channel* channel, int feedItem, int virtualKey,
                                     int modifiers) {
    if ((virtualKey == kEnterKey || virtualKey == kSpaceKey) && (modifiers & kAlt) == 0) {
        onFeedItemOpened(sourceWnd, channel, feedItem);
    }
    return false;
}

bool UiHandler::onAppPluginItemActivated(channels::AppPlugin*) { return true; }

bool UiHandler::onAppPluginItemOpened(channels::AppPlugin* appPlugin) {
    if (appPlugin == nullptr) {
        beep();
    } else {
        postCommand(kCmdOpen);
    }
    return true;
}

bool UiHandler::onAppPluginKeyPressed(channels::AppPlugin* appPlugin, int virtualKey, int modifiers) {
    if (appPlugin == nullptr || (virtualKey != kEnterKey && virtualKey != kSpaceKey)) return false;
    postCommand(modifiers == 0 ? kCmdOpen : kCmdProperties);
    return true;
}

// ---------------------------------------------------------------------------
// Layouts

void UiHandler::beginLayoutChange() {
    inLayoutChange_ = true;
    lockMainFrameUpdates(true);
}

void UiHandler::onChildFrameSized(QWidget*, int) {}

bool UiHandler::openChildFramesMaximized() { return isSdi(); }

void MdiUiHandler::install() {
    if (CMainFrame* frame = getMainFrame()) frame->closeAllWindows();
}

void MdiUiHandler::endLayoutChange(QObject*, QWidget*) {
    inLayoutChange_ = false;
    lockMainFrameUpdates(false);
}

void SdiUiHandler::install() {
    if (CMainFrame* frame = getMainFrame()) frame->closeAllWindows();
}

void SdiUiHandler::endLayoutChange(QObject*, QWidget* frame) {
    inLayoutChange_ = false;
    if (CMainFrame* mainFrame = getMainFrame()) mainFrame->closeOtherWindows(frame);
    lockMainFrameUpdates(false);
}
