#include "ui/bars/workspaceBar.h"

#include <QTabWidget>

CWorkspaceBar::CWorkspaceBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Control Center"), parent), tabs_(new QTabWidget(this)) {
    setObjectName(QStringLiteral("workspaceBar"));
    tabs_->setObjectName(QStringLiteral("controlCenterTabs"));
    setWidget(tabs_);
}

int CWorkspaceBar::getActiveTab() const { return isHidden() ? -1 : tabs_->currentIndex(); }
