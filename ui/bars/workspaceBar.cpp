#include "ui/bars/workspaceBar.h"

#include <QTabWidget>

CWorkspaceBar::CWorkspaceBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Control Center"), parent), tabs_(new QTabWidget(this)) {
    setObjectName(QStringLiteral("workspaceBar"));
    tabs_->setObjectName(QStringLiteral("controlCenterTabs"));
    setWidget(tabs_);
}

int CWorkspaceBar::getActiveTab() const { return isHidden() ? -1 : tabs_->currentIndex(); }

namespace {
void activate(QDockWidget& bar, QTabWidget& tabs, int index) {
    if (index >= tabs.count()) return;
    bar.show();
    tabs.setCurrentIndex(index);
    if (QWidget* page = tabs.widget(index)) page->setFocus();
}
}  // namespace

void CWorkspaceBar::activateMyChannelsTab() { activate(*this, *tabs_, 0); }
void CWorkspaceBar::activateAppPluginsTab() { activate(*this, *tabs_, 1); }
