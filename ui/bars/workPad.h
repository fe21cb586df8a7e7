#pragma once
// The Workpad bar: a docking bar at the bottom of the main frame with one
// tab, "Read me", holding the read-me list.
#include <QDockWidget>
#include <string>

#include "ui/events/uiEvent.h"
#include "widgets/controls/appListCtrl.h"

class QTabWidget;
class CReadMeListWnd;

class CWorkPad : public QDockWidget, public CAppListCtrlParent, public UiEventHandler {
    Q_OBJECT
public:
    explicit CWorkPad(QWidget* parent);
    ~CWorkPad() override;
    QTabWidget* tabs() const { return tabs_; }
    CReadMeListWnd* getReadMeList() const { return readMeList_; }
    // The window of the active tab, or null while the bar is hidden.
    QWidget* getActiveTabWnd() const;
    void activateReadMeTab();
    std::string getDescription() const override { return "[CWorkPad]"; }

private:
    QTabWidget* tabs_;
    CReadMeListWnd* readMeList_;
};

// The one Workpad bar, or null.
CWorkPad* getWorkPad();
