#pragma once
// The two lists of the Control Center: My Channels (the channels that pass
// the current channel filter, in the filter's sort order) and Plugins.
//
// Sorting reads each channel's keys once, under that channel's own locks,
// into a snapshot, and sorts the snapshot: a key can't change in the middle
// of a sort. The display names come from the rows, taken when a row is made
// and each time its channel is updated. A channel without desktop settings
// gets a defined key: it sorts after every channel that has them, by
// display name. A sort that changes the order moves the rows in one layout
// change of the model, so the selection, the current row and the scroll
// position stay where they were; one that finds the order right touches
// nothing.
#include <QFont>
#include <QTimer>
#include <map>
#include <string>

#include "app/options/channelFilter.h"
#include "ui/events/uiEvent.h"
#include "widgets/controls/appListCtrl.h"

namespace channels {
class Channel;
class AppPlugin;
}  // namespace channels

// The item data roles of the rows.
enum ControlCenterRole { kRowObjectRole = Qt::UserRole, kRowImageRole = Qt::UserRole + 1 };

class CControlCenterMyChannelsWnd : public CAppListCtrl, public UiEventHandler {
    Q_OBJECT
public:
    explicit CControlCenterMyChannelsWnd(CAppListCtrlParent* owner, QWidget* parent = nullptr);

    void loadChannels();
    int addChannelRow(channels::Channel* channel, bool select);
    void removeRow(int row);
    void updateChannel(channels::Channel* channel);
    int findRow(channels::Channel* channel) const;
    bool containsChannel(channels::Channel* channel) const { return findRow(channel) >= 0; }
    void sortChannels();
    void setChannelFilter(const ChannelFilter& filter);
    const ChannelFilter& getChannelFilter() const { return filter_; }
    channels::Channel* channelAt(int row) const;
    channels::Channel* getSelectedChannel() const { return channelAt(selectedRow()); }
    // The row's image: 1 new content, n + 1 for n unread (21 above 19), 0.
    static int channelImage(channels::Channel* channel);
    int rowImage(int row) const;

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override { restyle(); }
    void onChannelCreated(ChannelCreatedUiEvent& e) override { updateChannel(e.getChannel()); }
    void onChannelDeleted(ChannelDeletedUiEvent& e) override;
    void onChannelConfigChanged(ChannelConfigChangedUiEvent& e) override { updateChannel(e.getChannel()); }
    void onChannelFeedUpdated(ChannelFeedUpdatedUiEvent& e) override { updateChannel(e.getChannel()); }
    void onChannelViewActivated(ChannelViewActivatedUiEvent& e) override { updateChannel(e.getChannel()); }
    std::string getDescription() const override { return "[ControlCenter/MyChannels]"; }

signals:
    // The list's contents changed (the bar updates its caption).
    void contentsChanged();

private:
    void restyle();
    void styleRow(QTreeWidgetItem* item);
    void rebuildRowIndex();
    // Channel updates come in bursts (one per channel of a pass): the list
    // is repainted once per burst interval rather than once per update, and
    // the user-interface thread stays free for the next update and the user.
    void holdRepaint();
    QTimer repaintHold_;
    ChannelFilter filter_;
    std::map<channels::Channel*, int> rowIndex_;
    QFont fonts_[4][2];
};

class CControlCenterAppPluginsWnd : public CAppListCtrl, public UiEventHandler {
    Q_OBJECT
public:
    explicit CControlCenterAppPluginsWnd(CAppListCtrlParent* owner, QWidget* parent = nullptr);
    void loadAppPlugins();
    channels::AppPlugin* pluginAt(int row) const;
    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override { restyle(); }
    std::string getDescription() const override { return "[ControlCenter/AppPlugins]"; }

private:
    void restyle();
};
