#include "ui/channel/channelFrame.h"

#include <QApplication>
#include <QMenu>
#include <QSplitter>

#include "app/core/commandIds.h"
#include "app/options/globalOptions.h"
#include "channels/channel.h"
#include "dialogs/hints/hintDlg.h"
#include "ui/bars/listImages.h"
#include "ui/channel/channelBrowserView.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelItemView.h"
#include "ui/events/uiHandler.h"

CChannelMdiChildWnd::CChannelMdiChildWnd(channels::Channel* channel, QWidget* parent)
    : CAppMdiChildWnd(parent), channel_(channel), splitter_(new QSplitter(Qt::Vertical)) {
    setObjectName(QStringLiteral("channelFrame"));
    setWindowIcon(listImage(kChannelWindowIcon, 0));
    itemView_ = new CChannelItemView(this, channel, splitter_);
    browserView_ = new CChannelBrowserView(this, channel, splitter_);
    splitter_->setChildrenCollapsible(true);
    splitter_->setStretchFactor(1, 1);
    setWidget(splitter_);
    resize(700, 500);
    getUiHandler()->addEventHandler(this);
    // The active pane: the one that last had the focus.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == nullptr) return;
        const bool inItems = now == itemView_ || itemView_->isAncestorOf(now);
        if (!inItems && now != browserView_ && !browserView_->isAncestorOf(now)) return;
        itemViewActive_ = inItems;
        emit commandsChanged();
    });
    connect(itemView_, &CChannelItemView::commandsChanged, this, &CAppMdiChildWnd::commandsChanged);
    connect(splitter_, &QSplitter::splitterMoved, this, &CAppMdiChildWnd::commandsChanged);
    // The tab's menu (the title bar's in the window view): the summary and
    // the navigation bar first.
    QMenu* menu = systemMenu();
    if (menu != nullptr) {
        QAction* first = menu->actions().value(0);
        QAction* summary = new QAction(QStringLiteral("Show &summary"), menu);
        connect(summary, &QAction::triggered, this, [this] { runCommand(kCmdShowSummary); });
        QAction* navBar = new QAction(QStringLiteral("Show na&vbar"), menu);
        navBar->setCheckable(true);
        connect(navBar, &QAction::triggered, this, [this] { runCommand(kCmdShowNavBar); });
        connect(menu, &QMenu::aboutToShow, navBar,
                [this, navBar] { navBar->setChecked(browserView_->isNavBarVisible()); });
        menu->insertAction(first, summary);
        menu->insertAction(first, navBar);
        menu->insertSeparator(first);
    }
    connect(this, &QMdiSubWindow::aboutToActivate, this,
            [this] { getUiHandler()->fireChannelViewActivated(channel_, this, false); });
    connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates old, Qt::WindowStates now) {
        if ((old & Qt::WindowActive) && !(now & Qt::WindowActive)) {
            getUiHandler()->fireChannelViewDeactivated(channel_, this);
            if (refreshPending_) {
                refreshPending_ = false;
                if (CChannelDoc* doc = CChannelDoc::openChannelDoc(channel_, false)) doc->updateAllViews(false);
            }
        }
    });
}

CChannelMdiChildWnd::~CChannelMdiChildWnd() {
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
    // The base's destructor reports the window's deactivation, and the
    // panes go after this destructor, moving the focus as they go: nothing
    // may reach the frame from now on.
    QObject::disconnect(qApp, nullptr, this, nullptr);
    disconnect(this, nullptr, this, nullptr);
    itemView_->disconnect(this);
    splitter_->disconnect(this);
}

std::string CChannelMdiChildWnd::getDescription() const {
    return "[CChannelMdiChildWnd: " + channels::getChannelDisplayName(channel_) + "]";
}

int CChannelMdiChildWnd::getItemPaneHeight() const { return splitter_->sizes().value(0); }

void CChannelMdiChildWnd::setItemPaneHeight(int height) {
    height = std::max(height, 0);
    rememberedHeight_ = height;
    const int total = std::max(splitter_->height(), height + 1);
    splitter_->setSizes({height, total - height});
    if (height == 0) browserView_->setFocus();
    emit commandsChanged();
}

void CChannelMdiChildWnd::hideItemPane() {
    const int before = getItemPaneHeight();
    setItemPaneHeight(0);
    rememberedHeight_ = before;
}

int CChannelMdiChildWnd::getMaxItemPaneHeight() const {
    const int client = height();
    switch (GlobalOptions::instance().MaxItemViewHeight) {
        case 1:
            return client / 4;
        case 2:
            return client / 3;
        case 3:
            return client / 2;
        default:
            return -1;
    }
}

void CChannelMdiChildWnd::sizeToFit(bool limitToMax, bool showHint) {
    const int n = itemView_->rowCount();
    int wanted = n == 0 ? 0 : (n + 1) * itemView_->getItemRowHeight();
    bool limited = false;
    const int max = getMaxItemPaneHeight();
    if (limitToMax && max > 0 && max < wanted) {
        wanted = max;
        limited = true;
    }
    setItemPaneHeight(wanted);
    if (limited && showHint) dialogs::CHintDlg("SizeToFit", this).DoModal();
}

QString CChannelMdiChildWnd::captionText() const {
    return QString::fromStdString(channels::getChannelDisplayName(channel_));
}

ChildCommandState CChannelMdiChildWnd::commandState(int id) const {
    ChildCommandState state;
    state.handled = true;
    switch (id) {
        case kCmdNextItem:
        case kCmdPreviousItem:
            state.enabled = channel_->getFeedItemCount() != 0;
            return state;
        case kCmdShowItemPane:
            state.enabled = true;
            state.text = getItemPaneHeight() < itemView_->getItemRowHeight() ? QStringLiteral("Show &item pane")
                                                                             : QStringLiteral("Hide &item pane");
            return state;
        case kCmdSizeToFit:
        case kCmdShowSummary:
            state.enabled = true;
            return state;
        case kCmdAddToReadMeList:
            state.enabled = itemView_->selectedRow() >= 0;
            return state;
        case kCmdShowNavBar:
            state.enabled = true;
            state.checkable = true;
            state.checked = browserView_->isNavBarVisible();
            return state;
        default:
            break;
    }
    if (CBrowserToolbar::isToolbarCommand(id)) {
        state.enabled = true;
        return state;
    }
    return itemViewActive_ ? itemView_->commandState(id) : ChildCommandState{};
}

bool CChannelMdiChildWnd::runCommand(int id) {
    switch (id) {
        case kCmdNextItem:
            itemView_->selectNext();
            return true;
        case kCmdPreviousItem:
            itemView_->selectPrevious();
            return true;
        case kCmdSizeToFit: {
            const std::time_t now = std::time(nullptr);
            sizeToFit(now - lastSizeToFit_ > 1, true);
            lastSizeToFit_ = now;
            itemView_->setFocus();
            return true;
        }
        case kCmdShowItemPane:
            if (getItemPaneHeight() < itemView_->getItemRowHeight()) {
                if (rememberedHeight_ < 1) {
                    sizeToFit(true, true);
                } else {
                    setItemPaneHeight(rememberedHeight_);
                }
                itemView_->setFocus();
            } else {
                hideItemPane();
            }
            return true;
        case kCmdShowSummary:
            itemView_->reload(true);
            browserView_->showSummary();
            getUiHandler()->fireChannelViewActivated(channel_, this, false);
            return true;
        case kCmdAddToReadMeList:
            return itemView_->runCommand(kCmdAddToReadMeList);
        case kCmdShowNavBar:
            browserView_->showNavBar(!browserView_->isNavBarVisible());
            emit commandsChanged();
            return true;
        default:
            break;
    }
    if (CBrowserToolbar::isToolbarCommand(id)) return browserView_->toolbar()->runCommand(id);
    return itemViewActive_ && itemView_->commandState(id).handled && itemView_->runCommand(id);
}

void CChannelMdiChildWnd::onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) {
    const int mode = GlobalOptions::instance().NavBarMode;
    if (mode == 1) browserView_->showNavBar(true);
    if (mode == 2) browserView_->showNavBar(false);
    emit commandsChanged();
}

void CChannelMdiChildWnd::onChannelDeleted(ChannelDeletedUiEvent& e) {
    if (e.getChannel() != channel_) return;
    // The document goes with the frame; nothing may use the channel after.
    CChannelDoc::forgetChannel(channel_);
    close();
}
