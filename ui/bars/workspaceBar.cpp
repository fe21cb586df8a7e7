#include "ui/bars/workspaceBar.h"

#include <QApplication>
#include <QMenu>
#include <QTabWidget>

#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "channels/channelManager.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/listImages.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"

namespace {
CWorkspaceBar* theBar = nullptr;
const QString kBaseCaption = QStringLiteral("Control Center");
}  // namespace

CWorkspaceBar* getWorkspaceBar() { return theBar; }

CWorkspaceBar::CWorkspaceBar(QWidget* parent)
    : QDockWidget(kBaseCaption, parent),
      tabs_(new QTabWidget(this)),
      myChannels_(new CControlCenterMyChannelsWnd(this, tabs_)),
      appPlugins_(new CControlCenterAppPluginsWnd(this, tabs_)) {
    theBar = this;
    setObjectName(QStringLiteral("workspaceBar"));
    tabs_->setObjectName(QStringLiteral("controlCenterTabs"));
    tabs_->setTabPosition(QTabWidget::South);
    tabs_->addTab(myChannels_, listImage(kControlCenterTabImages, 0), QStringLiteral("My Channels"));
    tabs_->addTab(appPlugins_, listImage(kControlCenterTabImages, 1), QStringLiteral("Plugins"));
    setWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { updateCaption(); });
    connect(myChannels_, &CControlCenterMyChannelsWnd::contentsChanged, this, [this] {
        const QVariant title = myChannels_->property("tabTitle");
        if (title.isValid()) setTabLabel(0, title.toString());
        updateCaption();
    });
}

CWorkspaceBar::~CWorkspaceBar() {
    if (theBar == this) theBar = nullptr;
}

int CWorkspaceBar::getActiveTab() const { return isHidden() ? -1 : tabs_->currentIndex(); }

bool CWorkspaceBar::hasFocus(int tabIndex) const {
    if (getActiveTab() != tabIndex) return false;
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus == tabs_->currentWidget();
}

channels::Channel* CWorkspaceBar::getSelectedChannel() const {
    return getActiveTab() == 0 ? myChannels_->getSelectedChannel() : nullptr;
}

channels::AppPlugin* CWorkspaceBar::getSelectedAppPlugin() const {
    return getActiveTab() == 1 ? appPlugins_->pluginAt(appPlugins_->selectedRow()) : nullptr;
}

void CWorkspaceBar::activateMyChannelsTab() {
    tabs_->setCurrentIndex(0);
    myChannels_->setFocus();
    updateCaption();
}

void CWorkspaceBar::activateAppPluginsTab() {
    tabs_->setCurrentIndex(1);
    appPlugins_->setFocus();
    updateCaption();
}

void CWorkspaceBar::setTabLabel(int tabIndex, const QString& text) { tabs_->setTabText(tabIndex, text); }

void CWorkspaceBar::updateCaption() {
    QString caption = kBaseCaption;
    channels::ChannelManager* manager = getChannelManager();
    if (getActiveTab() == 0 && manager != nullptr) {
        const int total = manager->getChannelCount();
        const int shown = myChannels_->rowCount();
        if (shown != total) caption += QStringLiteral(" (%1/%2)").arg(shown).arg(total);
    }
    setWindowTitle(caption);
}

bool CWorkspaceBar::onListItemActivated(CAppListCtrl* list, int row) {
    if (list == myChannels_) return getUiHandler()->onMyChannelsItemActivated(myChannels_->channelAt(row));
    if (list == appPlugins_) return getUiHandler()->onAppPluginItemActivated(appPlugins_->pluginAt(row));
    return false;
}

bool CWorkspaceBar::onListItemOpened(CAppListCtrl* list, int row) {
    if (list == myChannels_) return getUiHandler()->onMyChannelsItemOpened(myChannels_->channelAt(row));
    if (list == appPlugins_) return getUiHandler()->onAppPluginItemOpened(appPlugins_->pluginAt(row));
    return false;
}

bool CWorkspaceBar::onListKeyPressed(CAppListCtrl* list, int row, int key, int modifiers) {
    if (list == myChannels_) return getUiHandler()->onMyChannelsKeyPressed(myChannels_->channelAt(row), key, modifiers);
    if (list == appPlugins_) return getUiHandler()->onAppPluginKeyPressed(appPlugins_->pluginAt(row), key, modifiers);
    return false;
}

bool CWorkspaceBar::onListContextMenu(CAppListCtrl*, const QPoint& point) {
    const int tab = getActiveTab();
    if (tab < 0) return false;
    CMainFrame* frame = getMainFrame();
    QMenu menu(this);
    auto add = [&](int id, const char* text) {
        QAction* action = frame != nullptr ? frame->getCommand(id) : nullptr;
        if (action != nullptr) {
            menu.addAction(action);
        } else {
            menu.addAction(QString::fromUtf8(text))->setEnabled(false);
        }
    };
    if (tab == 0) {
        add(kCmdOpen, "&Open channel");
        add(kCmdUpdateNow, "&Update now");
        add(kCmdProperties, "&Properties");
        add(kCmdViewLastFeed, "View last &feed");
        add(kCmdHasNewContent, "Has &new content");
        add(kCmdMarkSelectedChannelRead, "Mark &all as read");
        // The places of the category and hook-command sub-menus, which the
        // main frame fills when the menu opens.
        for (int placeholder : {kCmdCategoriesPlaceholder, kCmdHookCommandsPlaceholder}) {
            if (QAction* action = frame != nullptr ? frame->getCommand(placeholder) : nullptr) menu.addAction(action);
        }
        menu.addSeparator();
        add(kCmdDeleteChannel, "&Delete channel");
        menu.addSeparator();
        add(kCmdNewChannel, "Ne&w channel");
        add(kCmdOrganizeFilters, "Channel &filters");
    } else {
        add(kCmdOpen, "&Open plugin");
        add(kCmdProperties, "&Properties");
    }
    if (frame != nullptr) frame->onShowPopupMenu(&menu);
    menu.exec(point);
    return true;
}
