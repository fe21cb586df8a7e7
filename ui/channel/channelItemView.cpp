#include "ui/channel/channelItemView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"
#include "lib/text/htmlStripper.h"
#include "tools/codecs.h"
#include "ui/bars/listImages.h"
#include "ui/bars/readMeList.h"
#include "ui/bars/workPad.h"
#include "ui/channel/channelDoc.h"
#include "ui/channel/channelFrame.h"
#include "ui/events/uiHandler.h"
#include "widgets/helpers/clipboard.h"
#include "widgets/helpers/openers.h"
#include "widgets/hotkeys/hotkeyBinding.h"
#include "widgets/controls/appListCtrl.h"

namespace {
QColor colorOf(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QString plainTitle(const std::string& title) {
    htmlStripper::HtmlStripper stripper;
    stripper.setCollapseBlanks(false);
    stripper.strip(title);
    return QString::fromStdString(tools::decodeHtmlEntities(stripper.getOutput()));
}

}  // namespace

// ---------------------------------------------------------------------------

void ChannelItemModel::reset(channels::Channel* channel, std::vector<channels::FeedItem> items) {
    beginResetModel();
    channel_ = channel;
    items_ = std::move(items);
    titles_.clear();
    titles_.reserve(items_.size());
    for (const channels::FeedItem& item : items_) titles_.push_back(plainTitle(std::string(item.getTitle())));
    endResetModel();
}

int ChannelItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

const channels::FeedItem* ChannelItemModel::item(int row) const {
    return row >= 0 && row < static_cast<int>(items_.size()) ? &items_[row] : nullptr;
}

void ChannelItemModel::rowChanged(int row) {
    const QModelIndex i = index(row);
    emit dataChanged(i, i);
}

QVariant ChannelItemModel::data(const QModelIndex& index, int role) const {
    const channels::FeedItem* it = item(index.row());
    if (it == nullptr) return {};
    auto icon = [&] {
        const ChannelDesktopSettings* s = getChannelDesktopSettings(channel_);
        if (s != nullptr && s->isFeedItemViewed(it->getId())) return 0;
        return channel_->getChannelState().isNewFeedItem(it->getId()) ? 1 : 2;
    };
    const GlobalOptions& o = GlobalOptions::instance();
    switch (role) {
        case Qt::DisplayRole:
            return titles_[index.row()];
        case kIconRole:
            return icon();
        case Qt::DecorationRole:
            return listImage(kItemViewImages, icon());
        case kItemIdRole:
            return QString::fromUtf8(it->getId());
        case kItemUrlRole:
            return QString::fromUtf8(it->getUrl());
        case Qt::FontRole: {
            const int i = icon();
            return i == 0 ? (o.ItalicizeViewedFeedItems ? fonts_[2] : fonts_[0]) : (i == 1 ? fonts_[1] : fonts_[0]);
        }
        case Qt::ForegroundRole:
            return colorOf(icon() == 0 ? o.ChannelItemViewViewedFeedItemFgdCol : o.ChannelItemViewNewFeedItemFgdCol);
        default:
            return {};
    }
}

// ---------------------------------------------------------------------------

CChannelItemView::CChannelItemView(CChannelMdiChildWnd* frame, channels::Channel* channel, QWidget* parent)
    : QTreeView(parent),
      frame_(frame),
      channel_(channel),
      model_(new ChannelItemModel(this)),
      hotRows_(new HotRowDelegate(this)) {
    setObjectName(QStringLiteral("channelItemView"));
    setModel(model_);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(true);
    buildFonts();
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CChannelItemView::commandsChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, &CChannelItemView::commandsChanged);
    connect(model_, &QAbstractItemModel::dataChanged, this, &CChannelItemView::commandsChanged);
    // A click opens the item in one-click mode and only activates it
    // otherwise; there a double-click opens it.
    connect(this, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        const int row = model_->item(index.row()) != nullptr ? index.row() : -1;
        if (CAppListCtrl::oneClickMode()) {
            getUiHandler()->onFeedItemOpened(frame_, channel_, row);
        } else {
            getUiHandler()->onFeedItemActivated(frame_, channel_, row);
        }
    });
    connect(this, &QTreeView::doubleClicked, this, [this](const QModelIndex&) {
        if (!CAppListCtrl::oneClickMode() && selectedRow() >= 0) {
            getUiHandler()->onFeedItemOpened(frame_, channel_, selectedRow());
        }
    });
    getUiHandler()->addEventHandler(this);
}

CChannelItemView::~CChannelItemView() {
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
}

std::string CChannelItemView::getDescription() const {
    return "[CChannelItemView: " + channels::getChannelDisplayName(channel_) + "]";
}

void CChannelItemView::buildFonts() {
    const GlobalOptions& o = GlobalOptions::instance();
    QFont fonts[3];
    for (QFont& f : fonts) {
        if (!o.ChannelItemViewFontName.empty()) f.setFamily(QString::fromStdString(o.ChannelItemViewFontName));
        if (o.ChannelItemViewFontSize > 0) f.setPixelSize(o.ChannelItemViewFontSize);
    }
    fonts[1].setBold(o.EnableItemViewBoldFonts);
    fonts[2].setItalic(true);
    model_->setFonts(fonts);
    setFont(fonts[0]);
    QPalette p = palette();
    p.setColor(QPalette::Base, colorOf(o.ChannelItemViewBgdCol));
    setPalette(p);
    setCursor(o.OneClickMode ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CChannelItemView::reload(bool sizeToFit) {
    std::vector<channels::FeedItem> items;
    {
        channels::ChannelState& state = channel_->getChannelState();
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        if (channels::Feed* feed = state.getLastFeed()) {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            const int max = channel_->getChannelSettings().getMaxFeedItems();
            const auto& all = feed->getFeedItems();
            const std::size_t n = max > 0 ? std::min<std::size_t>(all.size(), max) : all.size();
            items.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    model_->reset(channel_, std::move(items));
    if (rowCount() > 0) selectRow(0);
    if (sizeToFit && frame_ != nullptr) frame_->sizeToFit(true, false);
}

int CChannelItemView::selectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CChannelItemView::selectRow(int row) {
    if (row < 0 || row >= rowCount()) {
        clearSelection();
        return;
    }
    const QModelIndex index = model_->index(row);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

int CChannelItemView::rowIcon(int row) const {
    return model_->data(model_->index(row), ChannelItemModel::kIconRole).toInt();
}
int CChannelItemView::hotRow() const { return hotRows_->hotRow(); }
QFont CChannelItemView::rowFont(int row) const { return hotRows_->rowFont(model_->index(row)); }
QString CChannelItemView::rowText(int row) const {
    return model_->data(model_->index(row), Qt::DisplayRole).toString();
}

int CChannelItemView::findRowByItemId(const std::string& id, int startRow) const {
    for (int row = std::max(startRow, 0); row < rowCount(); ++row) {
        if (compareNoCase(model_->item(row)->getId(), id) == 0) return row;
    }
    return -1;
}

int CChannelItemView::getItemRowHeight() const {
    if (rowCount() == 0) return 15;
    const int h = rowHeight(model_->index(0));
    return h > 0 ? h : sizeHintForRow(0);
}

void CChannelItemView::activateRow(int row) {
    selectRow(row);
    getUiHandler()->onFeedItemOpened(frame_, channel_, row);
}

void CChannelItemView::selectNext() {
    const int n = rowCount();
    if (n == 0) return;
    const int s = selectedRow();
    activateRow(s < 0 ? 0 : (s + 1) % n);
}

void CChannelItemView::selectPrevious() {
    const int n = rowCount();
    if (n == 0) return;
    const int s = selectedRow();
    activateRow(s <= 0 ? n - 1 : s - 1);
}

bool CChannelItemView::markAllDirection() const {
    bool anyViewed = false;
    bool anyUnviewed = false;
    for (int row = 0; row < rowCount(); ++row) (rowIcon(row) == 0 ? anyViewed : anyUnviewed) = true;
    if (!anyViewed) return true;
    if (!anyUnviewed) return false;
    const int s = selectedRow();
    return s < 0 || rowIcon(s) != 0;
}

QString CChannelItemView::commandText(int id) const {
    if (id == kCmdToggleItemRead) {
        const int s = selectedRow();
        return s >= 0 && rowIcon(s) == 0 ? QStringLiteral("&Mark as un-read") : QStringLiteral("&Mark as read");
    }
    if (id == kCmdMarkAllItemsRead)
        return markAllDirection() ? QStringLiteral("Mark &all as read") : QStringLiteral("Mark &all as un-read");
    return {};
}

ChildCommandState CChannelItemView::commandState(int id) const {
    ChildCommandState state;
    switch (id) {
        case kCmdOpenItem:
        case kCmdOpenItemInNewWindow:
        case kCmdCopyUrl:
        case kCmdEmailUrl:
        case kCmdAddToReadMeList:
            state.enabled = selectedRow() >= 0;
            break;
        case kCmdToggleItemRead:
            state.enabled = selectedRow() >= 0;
            state.text = commandText(id);
            break;
        case kCmdMarkAllItemsRead:
            state.enabled = rowCount() > 0;
            if (state.enabled) state.text = commandText(id);
            break;
        default:
            return state;
    }
    state.handled = true;
    return state;
}

bool CChannelItemView::runCommand(int id) {
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel_);
    if (id == kCmdMarkAllItemsRead) {
        if (rowCount() == 0 || settings == nullptr) return false;
        settings->markAllFeedItemsViewed(markAllDirection());
        return true;
    }
    const int row = selectedRow();
    const channels::FeedItem* item = model_->item(row);
    if (item == nullptr) {
        QApplication::beep();
        return false;
    }
    switch (id) {
        case kCmdOpenItem:
            getUiHandler()->onFeedItemOpened(frame_, channel_, row);
            break;
        case kCmdOpenItemInNewWindow:
            openFeedItemInNewWindow(channel_, *item);
            break;
        case kCmdCopyUrl:
            copyToClipboard(this, std::string(item->getUrl()));
            break;
        case kCmdEmailUrl:
            emailUrl(std::string(item->getUrl()));
            break;
        case kCmdToggleItemRead:
            if (settings != nullptr)
                settings->setFeedItemViewed(std::string(item->getId()), rowIcon(row) != 0, true, true);
            break;
        case kCmdAddToReadMeList:
            if (CWorkPad* pad = getWorkPad()) {
                pad->getReadMeList()->addFeedItem(channel_, std::string(item->getId()), std::string(item->getUrl()),
                                                  std::string(item->getTitle()), true);
            }
            break;
        default:
            return false;
    }
    return true;
}

void CChannelItemView::keyPressEvent(QKeyEvent* event) {
    const int row = selectedRow();
    if (row >= 0) {
        const int mods =
            makeModifierKeyState(event->modifiers() & Qt::ShiftModifier, event->modifiers() & Qt::ControlModifier,
                                 event->modifiers() & Qt::AltModifier);
        // A modifier pressed alone is no key of the list.
        const int key = ui::isModifierKey(event->key())
                            ? 0
                            : ui::virtualKeyFromQt(event->key(), event->modifiers(), event->nativeScanCode());
        if (getUiHandler()->onFeedItemKeyPressed(frame_, channel_, row, key, mods)) return;
    }
    QTreeView::keyPressEvent(event);
}

void CChannelItemView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const std::pair<int, QString> items[] = {{kCmdOpenItem, QStringLiteral("&Open item")},
                                             {kCmdOpenItemInNewWindow, QStringLiteral("Open in &new window")},
                                             {kCmdCopyUrl, QStringLiteral("&Copy URL")},
                                             {kCmdEmailUrl, QStringLiteral("&Email URL")},
                                             {kCmdAddToReadMeList, QStringLiteral("Add to &read-me list")},
                                             {kCmdToggleItemRead, commandText(kCmdToggleItemRead)},
                                             {kCmdSizeToFit, QStringLiteral("&Size to fit")},
                                             {kCmdMarkAllItemsRead, commandText(kCmdMarkAllItemsRead)}};
    for (const auto& [id, text] : items) {
        QAction* a = menu.addAction(text);
        a->setEnabled(id == kCmdSizeToFit || commandState(id).enabled);
        if (id == kCmdSizeToFit) {
            connect(a, &QAction::triggered, this, [this] { frame_->runCommand(kCmdSizeToFit); });
        } else {
            connect(a, &QAction::triggered, this, [this, id = id] { runCommand(id); });
        }
    }
    // From the keyboard: beside the selected row.
    QPoint point = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const int row = selectedRow();
        const QRect r = row >= 0 ? visualRect(model_->index(row)) : QRect(0, 0, 20, 20);
        point = viewport()->mapToGlobal(QPoint(r.left() + 20, r.center().y()));
    }
    menu.exec(point);
}

void CChannelItemView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    if (frame_ != nullptr && frame_->isVisible()) {
        if (ChannelDesktopSettings* s = getChannelDesktopSettings(channel_)) {
            s->setChannelItemViewHeight(frame_->getItemPaneHeight());
        }
    }
}

void CChannelItemView::onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) {
    buildFonts();
    viewport()->update();
}

void CChannelItemView::onChannelConfigChanged(ChannelConfigChangedUiEvent& e) {
    if (e.getChannel() != channel_) return;
    if (channel_->getFeedItemCount() != rowCount()) {
        const int s = selectedRow();
        reload(false);
        selectRow(s);
    }
}

void CChannelItemView::onMarkFeedItemAsViewed(MarkFeedItemAsViewedUiEvent& e) {
    if (e.getChannel() != channel_) return;
    for (int row = findRowByItemId(e.getFeedItemId(), 0); row >= 0; row = findRowByItemId(e.getFeedItemId(), row + 1)) {
        model_->rowChanged(row);
    }
}

void CChannelItemView::onUrlOpened(UrlOpenedUiEvent& e) {
    if (e.getChannel() != channel_) return;
    ChannelDesktopSettings* s = getChannelDesktopSettings(channel_);
    if (s == nullptr) return;
    for (int row = 0; row < rowCount(); ++row) {
        const channels::FeedItem* item = model_->item(row);
        if (compareNoCase(item->getUrl(), e.getUrl()) != 0) continue;
        // Saved and counted like every other mark.
        s->setFeedItemViewed(std::string(item->getId()), true, true, true);
        selectRow(row);
        s->addFeedItemsOpened(1);
    }
}
