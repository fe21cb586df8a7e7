#pragma once
// The Control Center bar: a docking bar of two tabs, My Channels and
// Plugins, on the left of the main frame. It owns both lists and turns their
// clicks and keys into calls of the current UiHandler's list policy.
//
// The caption is "Control Center", followed by " (shown/total)" while the My
// Channels tab is active and a filter hides some channels.
#include <QDockWidget>
#include <string>

#include "ui/events/uiEvent.h"
#include "widgets/controls/appListCtrl.h"

class QTabWidget;
class CControlCenterMyChannelsWnd;
class CControlCenterAppPluginsWnd;

class CWorkspaceBar : public QDockWidget, public CAppListCtrlParent, public UiEventHandler {
    Q_OBJECT
public:
    explicit CWorkspaceBar(QWidget* parent);
    ~CWorkspaceBar() override;
    QTabWidget* tabs() const { return tabs_; }
    CControlCenterMyChannelsWnd* getMyChannelsWnd() const { return myChannels_; }
    CControlCenterAppPluginsWnd* getAppPluginsWnd() const { return appPlugins_; }
    // 0 My Channels, 1 Plugins, -1 when the bar is hidden.
    int getActiveTab() const;
    bool hasFocus(int tabIndex) const;
    channels::Channel* getSelectedChannel() const;
    channels::AppPlugin* getSelectedAppPlugin() const;
    void activateMyChannelsTab();
    void activateAppPluginsTab();
    void setTabLabel(int tabIndex, const QString& text);
    void updateCaption();
    std::string getDescription() const override { return "[CWorkspaceBar]"; }

    bool onListItemActivated(CAppListCtrl* list, int row) override;
    bool onListItemOpened(CAppListCtrl* list, int row) override;
    bool onListKeyPressed(CAppListCtrl* list, int row, int key, int modifiers) override;
    bool onListContextMenu(CAppListCtrl* list, const QPoint& point) override;

private:
    QTabWidget* tabs_;
    CControlCenterMyChannelsWnd* myChannels_;
    CControlCenterAppPluginsWnd* appPlugins_;
};

// The one Control Center bar, or null.
CWorkspaceBar* getWorkspaceBar();
