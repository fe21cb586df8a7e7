#pragma once
// The Workpad bar: a docking bar at the bottom of the main frame that holds
// the read-me list (added by the read-me list code through tabs()).
#include <QDockWidget>
#include <string>

#include "ui/events/uiEvent.h"

class QTabWidget;

class CWorkPad : public QDockWidget, public UiEventHandler {
    Q_OBJECT
public:
    explicit CWorkPad(QWidget* parent);
    QTabWidget* tabs() const { return tabs_; }
    std::string getDescription() const override { return "[CWorkPad]"; }

private:
    QTabWidget* tabs_;
};
