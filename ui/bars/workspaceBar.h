#pragma once
// The Control Center bar: a docking bar of tabs (My Channels, Plugins) on the
// left of the main frame. The tabs and their lists are added by the list
// code through tabs(); until then getActiveTab reports the bar's state only.
#include <QDockWidget>
#include <string>

#include "ui/events/uiEvent.h"

class QTabWidget;

class CWorkspaceBar : public QDockWidget, public UiEventHandler {
    Q_OBJECT
public:
    explicit CWorkspaceBar(QWidget* parent);
    QTabWidget* tabs() const { return tabs_; }
    // 0 My Channels, 1 Plugins, -1 when the bar is hidden or has no tab.
    int getActiveTab() const;
    // Make the tab active and visible and give its window the focus.
    void activateMyChannelsTab();
    void activateAppPluginsTab();
    std::string getDescription() const override { return "[CWorkspaceBar]"; }

private:
    QTabWidget* tabs_;
};
