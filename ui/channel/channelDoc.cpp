#include "ui/channel/channelDoc.h"

#include <QApplication>
#include <QMdiArea>
#include <map>

#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "dialogs/hints/hintDlg.h"
#include "lib/misc/threadSafety.h"
#include "ui/channel/channelBrowserView.h"
#include "ui/channel/channelFrame.h"
#include "ui/channel/channelItemView.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/openers.h"

namespace {
struct Registry {
    SharedExclusiveLock lock;
    std::map<channels::Channel*, CChannelDoc*> docs;
};
Registry& registry() {
    static Registry r;
    return r;
}
bool summaryHintShown = false;
bool newChannelWizardOpen = false;

CChannelDoc* findDoc(channels::Channel* channel) {
    SharedLockGuard guard(&registry().lock, __FILE__, __LINE__);
    auto it = registry().docs.find(channel);
    return it == registry().docs.end() ? nullptr : it->second;
}
}  // namespace

void CChannelDoc::resetSummaryHintForTest() { summaryHintShown = false; }
void CChannelDoc::setNewChannelWizardOpen(bool open) { newChannelWizardOpen = open; }

int CChannelDoc::openDocumentCount() {
    SharedLockGuard guard(&registry().lock, __FILE__, __LINE__);
    return static_cast<int>(registry().docs.size());
}

void CChannelDoc::forgetChannel(channels::Channel* channel) {
    ExclusiveLockGuard guard(&registry().lock, __FILE__, __LINE__);
    registry().docs.erase(channel);
}

CChannelDoc* CChannelDoc::openChannelDoc(channels::Channel* channel, bool create) {
    if (channel == nullptr) return nullptr;
    if (CChannelDoc* doc = findDoc(channel)) return doc;
    if (!create) return nullptr;
    if (findChannel(channel->getConfigFilename()) != channel) return nullptr;

    UiHandler* handler = getUiHandler();
    handler->beginLayoutChange();
    auto* frame = new CChannelMdiChildWnd(channel);
    auto* doc = new CChannelDoc;
    doc->setParent(frame);
    doc->setChannel(channel, frame);

    const int navBarMode = GlobalOptions::instance().NavBarMode;
    if (navBarMode == 0 || navBarMode == 1) frame->getBrowserView()->showNavBar(true);
    if (navBarMode == 2) frame->getBrowserView()->showNavBar(false);

    frame->showInMainFrame();
    // The item list's first update: the stored pane height, then the rows.
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
    bool fit = false;
    if (GlobalOptions::instance().SaveItemViewHeights && settings != nullptr) {
        const int stored = settings->getChannelItemViewHeight();
        if (stored < 0) {
            fit = true;
        } else if (stored > 0) {
            frame->setItemPaneHeight(stored);
        }
    }
    frame->getItemView()->reload(fit);
    frame->getBrowserView()->showSummary();
    doc->activateFrame(false);
    handler->endLayoutChange(doc, frame);
    if (settings != nullptr) settings->addChannelOpens(1);

    if (!summaryHintShown && !newChannelWizardOpen) {
        summaryHintShown = true;
        dialogs::CHintDlg("ChannelSummaryPage", getMainFrame()).DoModal();
    }
    return doc;
}

void CChannelDoc::setChannel(channels::Channel* channel, CChannelMdiChildWnd* frame) {
    channel_ = channel;
    frame_ = frame;
    frame_->setWindowTitle(getTitle());
    {
        ExclusiveLockGuard guard(&registry().lock, __FILE__, __LINE__);
        registry().docs[channel] = this;
    }
    getUiHandler()->addEventHandler(this);
}

CChannelDoc::~CChannelDoc() {
    {
        ExclusiveLockGuard guard(&registry().lock, __FILE__, __LINE__);
        auto it = registry().docs.find(channel_);
        if (it != registry().docs.end() && it->second == this) registry().docs.erase(it);
    }
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
}

QString CChannelDoc::getTitle() const { return QString::fromStdString(channels::getChannelDisplayName(channel_)); }

std::string CChannelDoc::getDescription() const {
    return "[CChannelDoc: " + channels::getChannelDisplayName(channel_) + "]";
}

void CChannelDoc::activateFrame(bool sizeToFit) {
    frame_->restoreIfMinimized();
    if (QMdiArea* area = frame_->mdiArea()) {
        area->setActiveSubWindow(frame_);
    } else {
        frame_->show();
        frame_->activateWindow();
    }
    getUiHandler()->fireChannelViewActivated(channel_, frame_, false);
    if (sizeToFit) {
        frame_->getItemView()->reload(false);
        frame_->sizeToFit(true, false);
    }
    if (frame_->getItemPaneHeight() == 0) {
        frame_->getBrowserView()->setFocus();
    } else {
        frame_->getItemView()->setFocus();
    }
}

void CChannelDoc::updateAllViews(bool openWindow) {
    frame_->getItemView()->reload(openWindow);
    if (openWindow) {
        frame_->getBrowserView()->showSummary();
    } else {
        frame_->getBrowserView()->refreshSummaryIfShown();
    }
}

void CChannelDoc::showFeedItem(const std::string& itemUrl, const std::string& itemId, bool sizeToFit) {
    if (CMainFrame* main = getMainFrame()) main->bringToFront();
    activateFrame(sizeToFit);
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel_);
    if (settings != nullptr) settings->setFeedItemViewed(itemId, true, true, true);
    frame_->getBrowserView()->navigateToItem(itemUrl, true);
    if (GlobalOptions::instance().AutoHideFeedItems) frame_->hideItemPane();
    if (settings != nullptr) settings->addFeedItemsOpened(1);
}

void CChannelDoc::showChannelSummary() { frame_->getBrowserView()->showSummary(); }

bool CChannelDoc::navigate(const std::string& url) { return frame_->getBrowserView()->navigateToItem(url, true); }

void CChannelDoc::onChannelConfigChanged(ChannelConfigChangedUiEvent& e) {
    if (e.getChannel() == channel_) frame_->setWindowTitle(getTitle());
}

void CChannelDoc::onChannelFeedUpdated(ChannelFeedUpdatedUiEvent& e) {
    if (e.getChannel() != channel_) return;
    const bool open = e.isRequestedUpdate();
    QMdiArea* area = frame_->mdiArea();
    const bool active = area != nullptr && area->activeSubWindow() == frame_;
    if (active && !open) {
        frame_->setRefreshPending(true);
        return;
    }
    updateAllViews(open);
    if (open && area != nullptr) area->setActiveSubWindow(frame_);
}

void openFeedItemInChannelWindow(channels::Channel* channel, const channels::FeedItem& item) {
    CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
    if (doc == nullptr) {
        QApplication::beep();
        return;
    }
    doc->showFeedItem(std::string(item.getUrl()), std::string(item.getId()), false);
}

void openFeedItemInNewWindow(channels::Channel* channel, const channels::FeedItem& item) {
    openFeedItem(std::string(item.getUrl()), channel, std::string(item.getId()));
    if (ChannelDesktopSettings* s = getChannelDesktopSettings(channel)) s->addFeedItemsOpened(1);
}

void installChannelWindowOps() {
    ChannelWindowOps ops;
    ops.openChannelDoc = [](channels::Channel* channel) {
        CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
        if (doc != nullptr) doc->activateFrame(false);
        return doc != nullptr;
    };
    ops.showFeedItemInChannelWindow = [](channels::Channel* channel, int index) {
        // The position counts the rows of the channel's item list: with a
        // window open, its row is the item (the worker may have replaced
        // the feed since, while the window's refresh waits).
        channels::FeedItem item("", "", "", "", "", "", "", "");
        if (CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, false)) {
            const channels::FeedItem* row = doc->getFrame()->getItemView()->itemModel()->item(index);
            if (row == nullptr) return;
            item = *row;  // a copy: opening it may reload the rows
            openFeedItemInChannelWindow(channel, item);
            return;
        }
        {
            // A copy of the item, taken under the channel's locks.
            channels::ChannelState& state = channel->getChannelState();
            SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
            channels::Feed* feed = state.getLastFeed();
            if (feed == nullptr) return;
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            if (index < 0 || index >= static_cast<int>(feed->getFeedItems().size())) return;
            item = feed->getFeedItems()[index];
        }
        openFeedItemInChannelWindow(channel, item);
    };
    ops.getActiveChildChannel = []() -> channels::Channel* {
        CMainFrame* main = getMainFrame();
        QMdiArea* area = main != nullptr ? main->getMdiArea() : nullptr;
        auto* frame = area != nullptr ? qobject_cast<CChannelMdiChildWnd*>(area->activeSubWindow()) : nullptr;
        return frame != nullptr ? frame->getChannel() : nullptr;
    };
    setChannelWindowOps(std::move(ops));
}
