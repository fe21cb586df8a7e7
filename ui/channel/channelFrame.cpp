#include "ui/channel/channelFrame.h"

#include <QApplication>
#include <QSplitter>

#include "app/options/globalOptions.h"
#include "channels/channel.h"
#include "dialogs/hints/hintDlg.h"
#include "ui/channel/channelBrowserView.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelItemView.h"
#include "ui/events/uiHandler.h"

CChannelMdiChildWnd::CChannelMdiChildWnd(channels::Channel* channel, QWidget* parent)
    : CAppMdiChildWnd(parent), channel_(channel), splitter_(new QSplitter(Qt::Vertical)) {
    setObjectName(QStringLiteral("channelFrame"));
    itemView_ = new CChannelItemView(this, channel, splitter_);
    browserView_ = new CChannelBrowserView(this, channel, splitter_);
    splitter_->setChildrenCollapsible(true);
    splitter_->setStretchFactor(1, 1);
    setWidget(splitter_);
    resize(700, 500);
    getUiHandler()->addEventHandler(this);
    connect(this, &QMdiSubWindow::aboutToActivate, this, [this] {
        getUiHandler()->fireChannelViewActivated(channel_, this, false);
    });
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
    // The base's destructor reports the window's deactivation: not to this part any more.
    disconnect(this, &QMdiSubWindow::windowStateChanged, this, nullptr);
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
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
}

void CChannelMdiChildWnd::hideItemPane() {
    const int before = getItemPaneHeight();
    setItemPaneHeight(0);
    rememberedHeight_ = before;
}

int CChannelMdiChildWnd::getMaxItemPaneHeight() const {
    const int client = height();
    switch (GlobalOptions::instance().MaxItemViewHeight) {
    case 1: return client / 4;
    case 2: return client / 3;
    case 3: return client / 2;
    default: return -1;
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

bool CChannelMdiChildWnd::runCommand(int id) {
    switch (id) {
    case 32856: itemView_->selectNext(); return true;
    case 32857: itemView_->selectPrevious(); return true;
    case 108: {
        const std::time_t now = std::time(nullptr);
        sizeToFit(now - lastSizeToFit_ > 1, true);
        lastSizeToFit_ = now;
        itemView_->setFocus();
        return true;
    }
    case 32859:
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
    case 32858:
        itemView_->reload(true);
        browserView_->showSummary();
        getUiHandler()->fireChannelViewActivated(channel_, this, false);
        return true;
    case 32896: return itemView_->runCommand(32896);
    case 32912: browserView_->showNavBar(!browserView_->isNavBarVisible()); return true;
    default: return false;
    }
}

void CChannelMdiChildWnd::onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) {
    const int mode = GlobalOptions::instance().NavBarMode;
    if (mode == 1) browserView_->showNavBar(true);
    if (mode == 2) browserView_->showNavBar(false);
}

void CChannelMdiChildWnd::onChannelDeleted(ChannelDeletedUiEvent& e) {
    if (e.getChannel() != channel_) return;
    // The document goes with the frame; nothing may use the channel after.
    CChannelDoc::forgetChannel(channel_);
    close();
}
