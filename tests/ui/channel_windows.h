#pragma once
// Helpers of the window tests that open channel windows over an
// apptest::DesktopFixture manager.
#include <QApplication>
#include <QPointer>
#include <string>

#include "app/settings/channelDesktopSettings.h"
#include "channels/channelManager.h"
#include "ui/channel/channelFrame.h"

namespace uitest {

// Closes every channel window still open (no window outlives its channel).
inline void deleteChannelWindows() {
    QList<QPointer<CChannelMdiChildWnd>> frames;
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* child = qobject_cast<CChannelMdiChildWnd*>(w)) frames << child;
    }
    for (const auto& child : frames) delete child.data();
}

// Deletes the channel the way the program does: its desktop settings go,
// the manager retires it.
inline void deleteChannel(channels::ChannelManager& manager, channels::Channel* channel) {
    getChannelDesktopSettingsTable().remove(channel);
    std::string report;
    manager.deleteChannel(channel, &report);
}

}  // namespace uitest
