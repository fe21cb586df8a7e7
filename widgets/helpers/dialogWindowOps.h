#pragma once
// What the dialogs ask of the program's windows: the user-interface events
// they fire, the main frame's commands, and the My Channels list's filter.
// The dialogs sit below the windows and do not include them; the program's
// start-up wiring installs these.
//
//   if (const auto& fire = dialogWindowOps().fireChannelConfigChanged) fire(channel);
//   else seams::missing("DialogWindowOps::fireChannelConfigChanged");
//
// Each operation does nothing when its window is not there (no handler, no
// main frame, no bar).
// User-interface thread only.
#include <functional>

#include "app/options/channelFilter.h"

namespace channels {
class Channel;
}

struct DialogWindowOps {
    // The GlobalOptionsChanged, ChannelCreated and ChannelConfigChanged
    // user-interface events.
    std::function<void()> fireGlobalOptionsChanged;
    std::function<void(channels::Channel* channel)> fireChannelCreated;
    std::function<void(channels::Channel* channel)> fireChannelConfigChanged;
    // Posts the command to the main window.
    std::function<void(unsigned command)> postMainFrameCommand;
    // Whether the new-channel wizard is open, for the channel windows.
    std::function<void(bool open)> setNewChannelWizardOpen;
    // The My Channels list's filter (no filter without the list), and a
    // filter applied to it with its tab brought forward.
    std::function<ChannelFilter()> getMyChannelsFilter;
    std::function<void(const ChannelFilter& filter)> applyMyChannelsFilter;
};

// Installs the operations (empty ones remove them).
void setDialogWindowOps(DialogWindowOps ops);
const DialogWindowOps& dialogWindowOps();
