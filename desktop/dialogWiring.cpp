#include "desktop/dialogWiring.h"

#include <cstdint>
#include <string>
#include <utility>

#include "app/listeners/localPortListener.h"
#include "app/postedText.h"
#include "dialogs/wizard/newChannelWizard.h"
#include "platform/messages.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/channel/channelDoc.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/dialogWindowOps.h"

void installDialogWindowOps() {
    DialogWindowOps ops;
    ops.fireGlobalOptionsChanged = [] {
        if (UiHandler* handler = getUiHandler()) handler->fireGlobalOptionsChanged();
    };
    ops.fireChannelCreated = [](channels::Channel* channel) {
        if (UiHandler* handler = getUiHandler()) handler->fireChannelCreated(channel);
    };
    ops.fireChannelConfigChanged = [](channels::Channel* channel) {
        if (UiHandler* handler = getUiHandler()) handler->fireChannelConfigChanged(channel);
    };
    ops.postMainFrameCommand = [](unsigned command) {
        if (const platform::messages::Handle window = getMainWindowHandle())
            platform::messages::postMessage(window, platform::messages::WM_COMMAND, command, 0);
    };
    ops.setNewChannelWizardOpen = [](bool open) { CChannelDoc::setNewChannelWizardOpen(open); };
    ops.getMyChannelsFilter = [] {
        CWorkspaceBar* bar = getWorkspaceBar();
        return bar && bar->getMyChannelsWnd() ? bar->getMyChannelsWnd()->getChannelFilter() : ChannelFilter();
    };
    ops.applyMyChannelsFilter = [](const ChannelFilter& filter) {
        CWorkspaceBar* bar = getWorkspaceBar();
        if (!bar || !bar->getMyChannelsWnd()) return;
        bar->getMyChannelsWnd()->setChannelFilter(filter);
        bar->activateMyChannelsTab();
    };
    setDialogWindowOps(std::move(ops));
}

void removeDialogWindowOps() { setDialogWindowOps({}); }

void installNewChannelWizardStarters() {
    getMainFrameServices().runNewChannelWizard = [](const std::string& url) {
        dialogs::startNewChannelWizard(getMainFrame(), url);
    };
    listeners::ListenerHooks hooks = listeners::listenerHooks();
    hooks.startNewChannelWizard = [](const std::string& address) {
        postText(getMainWindowHandle(), startNewChannelWizardMsg(), address);
    };
    listeners::setListenerHooks(std::move(hooks));
}
