#include "ui/bars/controlCenterPanes.h"

#include <algorithm>
#include <vector>

#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/appPlugins/appPlugin.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "app/core/messageGroups.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"
#include "ui/bars/listImages.h"
#include "widgets/helpers/windowUpdateLock.h"

namespace {

QColor colorOf(int bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QFont makeFont(const std::string& face, int height, bool underline, int weight) {
    QFont font;
    if (!face.empty()) font.setFamily(QString::fromStdString(face));
    if (height > 0) font.setPixelSize(height);
    font.setUnderline(underline);
    font.setWeight(weight >= 700 ? QFont::Bold : QFont::Normal);
    return font;
}

const ChannelFilter& defaultFilter() {
    static const ChannelFilter filter;
    return filter;
}

// A row of My Channels: its channel, and the channel's display name in a
// form that byte order sorts the way compareNoCase does (ASCII letters
// folded to upper case, the sign bit flipped so that bytes compare as
// signed chars). The name is taken when the row is made and on each update
// of its channel, so a sort reads no channel's name.
//
// Its rank is its place in the last computed order: the model sorts the
// rows by rank, so a new order reaches the view as one layout change that
// keeps the selection, the current row and the scroll position on their
// items.
class ChannelRowItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;
    ChannelRowItem(channels::Channel* channel, const std::string& name)
        : QTreeWidgetItem(QStringList{QString::fromStdString(name)}, kType), channel(channel) {
        setData(0, kRowObjectRole, QVariant::fromValue(static_cast<void*>(channel)));
        setSortName(name);
    }
    bool operator<(const QTreeWidgetItem& other) const override {
        if (other.type() != kType) return QTreeWidgetItem::operator<(other);
        return rank < static_cast<const ChannelRowItem&>(other).rank;
    }
    void setSortName(const std::string& name) {
        sortName.resize(name.size());
        for (std::size_t i = 0; i < name.size(); ++i)
            sortName[i] = static_cast<char>(static_cast<unsigned char>(toUpperByte(name[i])) ^ 0x80u);
    }
    channels::Channel* const channel;
    std::string sortName;
    int rank = 0;
};

ChannelRowItem* channelRow(QTreeWidgetItem* item) { return static_cast<ChannelRowItem*>(item); }

// What a channel is sorted by, read once per sort.
struct SortKey {
    ChannelRowItem* item = nullptr;
    int row = 0;
    bool hasSettings = false;
    long long key = 0;
};

SortKey readSortKey(ChannelRowItem* item, int row, int order) {
    SortKey k;
    k.item = item;
    k.row = row;
    channels::Channel* channel = item->channel;
    ChannelDesktopSettings* s = getChannelDesktopSettings(channel);
    if (s == nullptr) return k;
    k.hasSettings = true;
    switch (order) {
        case ChannelFilter::NewItems:
            k.key = static_cast<unsigned>(s->getNewFeedItemCount());
            break;
        case ChannelFilter::UnreadItems:
            k.key = static_cast<unsigned>(s->getUnreadFeedItemCount());
            break;
        case ChannelFilter::LastFeedUpdateTime:
            k.key = channel->getChannelState().getLastFetchTime();
            break;
        case ChannelFilter::LastNewItemTime:
            k.key = s->getLastNewItemTime();
            break;
        default:
            break;
    }
    return k;
}

// How long the list's picture may lag behind a channel update.
constexpr int kRepaintHoldMs = 40;

}  // namespace

CControlCenterMyChannelsWnd::CControlCenterMyChannelsWnd(CAppListCtrlParent* owner, QWidget* parent)
    : CAppListCtrl(owner, parent) {
    setObjectName(QStringLiteral("myChannelsList"));
    restyle();
    repaintHold_.setSingleShot(true);
    repaintHold_.setInterval(kRepaintHoldMs);
    connect(&repaintHold_, &QTimer::timeout, this, [this] { setUpdatesEnabled(true); });
}

void CControlCenterMyChannelsWnd::holdRepaint() {
    // The rows, their order and the selection change at once; only their
    // picture waits, at most kRepaintHoldMs.
    if (repaintHold_.isActive() || !isVisible()) return;
    setUpdatesEnabled(false);
    repaintHold_.start();
}

channels::Channel* CControlCenterMyChannelsWnd::channelAt(int row) const {
    QTreeWidgetItem* item = rowItem(row);
    return item != nullptr ? static_cast<channels::Channel*>(item->data(0, kRowObjectRole).value<void*>()) : nullptr;
}

int CControlCenterMyChannelsWnd::rowImage(int row) const {
    QTreeWidgetItem* item = rowItem(row);
    return item != nullptr ? item->data(0, kRowImageRole).toInt() : -1;
}

int CControlCenterMyChannelsWnd::channelImage(channels::Channel* channel) {
    ChannelDesktopSettings* s = getChannelDesktopSettings(channel);
    if (s == nullptr) return 0;
    if (s->hasNewContent()) return 1;
    if (!GlobalOptions::instance().ShowUnreadItemsInMyChannels) return 0;
    const int n = s->getUnreadFeedItemCount();
    if (n <= 0) return 0;
    return n > 19 ? 21 : n + 1;
}

void CControlCenterMyChannelsWnd::styleRow(QTreeWidgetItem* item) {
    auto* channel = static_cast<channels::Channel*>(item->data(0, kRowObjectRole).value<void*>());
    ChannelDesktopSettings* s = getChannelDesktopSettings(channel);
    if (s == nullptr) return;
    const GlobalOptions& o = GlobalOptions::instance();
    const bool autoUpdate = channel->getChannelSettings().isAutoUpdateEnabled();
    const int kind = (autoUpdate ? 0 : 2) + (s->hasNewContent() ? 1 : 0);
    item->setFont(0, fonts_[kind][0]);
    item->setForeground(
        0, colorOf(autoUpdate ? o.ControlCenterAutoUpdateChannelFgdCol : o.ControlCenterNonAutoUpdateChannelFgdCol));
    // An unchanged row is not repainted: setData passes over equal values,
    // the icon is set again only for another image.
    const int image = channelImage(channel);
    const QVariant shown = item->data(0, kRowImageRole);
    if (shown.isValid() && shown.toInt() == image) return;
    item->setData(0, kRowImageRole, image);
    item->setIcon(0, listImage(kMyChannelsImages, image));
}

void CControlCenterMyChannelsWnd::restyle() {
    const GlobalOptions& o = GlobalOptions::instance();
    applyListStyle();
    for (int underline = 0; underline < 2; ++underline) {
        const int bold = o.EnableMyChannelsBoldFonts ? 700 : 400;
        for (int autoKind : {0, 2}) {
            fonts_[autoKind][underline] =
                makeFont(o.ControlCenterMyChannelsFontName, o.ControlCenterMyChannelsFontSize, underline != 0, 400);
            fonts_[autoKind + 1][underline] =
                makeFont(o.ControlCenterMyChannelsFontName, o.ControlCenterMyChannelsFontSize, underline != 0, bold);
        }
    }
    setFont(fonts_[0][0]);
    for (int row = 0; row < rowCount(); ++row) styleRow(rowItem(row));
    QPalette p = palette();
    p.setColor(QPalette::Base, colorOf(o.ControlCenterMyChannelsBgdCol));
    setPalette(p);
    viewport()->update();
}

void CControlCenterMyChannelsWnd::rebuildRowIndex() {
    rowIndex_.clear();
    for (int row = 0; row < rowCount(); ++row) rowIndex_[channelAt(row)] = row;
}

int CControlCenterMyChannelsWnd::findRow(channels::Channel* channel) const {
    auto it = rowIndex_.find(channel);
    return it == rowIndex_.end() ? -1 : it->second;
}

int CControlCenterMyChannelsWnd::addChannelRow(channels::Channel* channel, bool select) {
    auto* item = new ChannelRowItem(channel, channels::getChannelDisplayName(channel));
    addTopLevelItem(item);
    styleRow(item);
    const int row = rowOf(item);
    rowIndex_[channel] = row;
    if (select || selectedRow() < 0) selectRow(row);
    emit contentsChanged();
    return row;
}

void CControlCenterMyChannelsWnd::removeRow(int row) {
    QTreeWidgetItem* item = rowItem(row);
    if (item == nullptr) return;
    delete item;
    rebuildRowIndex();
    if (rowCount() > 0) selectRow(std::min(row, rowCount() - 1));
    emit contentsChanged();
}

void CControlCenterMyChannelsWnd::onChannelDeleted(ChannelDeletedUiEvent& e) {
    const int row = findRow(e.getChannel());
    if (row >= 0) removeRow(row);
}

void CControlCenterMyChannelsWnd::loadChannels() {
    std::vector<channels::Channel*> matching;
    filter_.generateMatchingChannels(matching);
    const int oldRow = selectedRow();
    channels::Channel* oldChannel = channelAt(oldRow);
    {
        WindowUpdateLock lock(this);
        clear();
        rowIndex_.clear();
        for (channels::Channel* channel : matching) {
            auto* item = new ChannelRowItem(channel, channels::getChannelDisplayName(channel));
            addTopLevelItem(item);
            styleRow(item);
        }
        sortChannels();
        rebuildRowIndex();
    }
    int row = findRow(oldChannel);
    if (oldChannel == nullptr || row < 0) row = oldRow;
    if (row < 0 || row >= rowCount()) row = 0;
    selectRow(row);
    emit contentsChanged();
}

void CControlCenterMyChannelsWnd::updateChannel(channels::Channel* channel) {
    ChannelDesktopSettings* s = getChannelDesktopSettings(channel);
    if (s == nullptr) return;
    holdRepaint();
    ORVAN_LOG(g_channelFiltersGroup) << "Updating channel: " << channels::getChannelDisplayName(channel) << std::endl;
    int row = findRow(channel);
    const bool passes = s->matchesFilter(filter_);
    if (row < 0 && passes) {
        ORVAN_LOG(g_channelFiltersGroup) << "The channel passes the current filter - adding it." << std::endl;
        row = addChannelRow(channel, false);
    } else if (row >= 0 && !passes) {
        ORVAN_LOG(g_channelFiltersGroup) << "The channel no longer passes the current filter - removing it."
                                         << std::endl;
        removeRow(row);
        return;
    }
    if (row >= 0) {
        QTreeWidgetItem* item = rowItem(row);
        styleRow(item);
        const std::string name = channels::getChannelDisplayName(channel);
        if (compareNoCase(item->text(0).toStdString(), name) != 0) item->setText(0, QString::fromStdString(name));
        channelRow(item)->setSortName(name);
    }
    sortChannels();
}

void CControlCenterMyChannelsWnd::sortChannels() {
    const int order = filter_.getSortOrder();
    ORVAN_LOG(g_myChannelsSortingGroup) << "Sorting the My Channels channel list: sortOrder="
                                        << ChannelFilter::sortOrderName(order) << std::endl;
    const int rows = rowCount();
    std::vector<SortKey> keys;
    keys.reserve(rows);
    for (int row = 0; row < rows; ++row) keys.push_back(readSortKey(channelRow(rowItem(row)), row, order));
    auto compare = [](const SortKey& a, const SortKey& b) {
        // Channels with desktop settings first; the keys only among those.
        if (a.hasSettings != b.hasSettings) return a.hasSettings;
        if (a.hasSettings && a.key != b.key) return a.key > b.key;
        return a.item->sortName < b.item->sortName;
    };
    // Between two updates at most the updated channel is out of place: most
    // updates find the list in order and move nothing.
    if (std::is_sorted(keys.begin(), keys.end(), compare)) return;
    std::stable_sort(keys.begin(), keys.end(), compare);
    for (int row = 0; row < rows; ++row) keys[row].item->rank = row;
    // One layout change; the rows keep their selection and the view its
    // scroll position.
    invisibleRootItem()->sortChildren(0, Qt::AscendingOrder);
    // The row index changes for the rows that moved only.
    for (int row = 0; row < rows; ++row) {
        if (keys[row].row != row) rowIndex_[keys[row].item->channel] = row;
    }
}

void CControlCenterMyChannelsWnd::setChannelFilter(const ChannelFilter& filter) {
    filter_ = filter;
    setProperty("tabTitle", filter_.isEqual(defaultFilter(), false) ? QStringLiteral("My Channels")
                                                                    : QStringLiteral("(My Channels)"));
    emit contentsChanged();
    loadChannels();
}

// ---------------------------------------------------------------------------

CControlCenterAppPluginsWnd::CControlCenterAppPluginsWnd(CAppListCtrlParent* owner, QWidget* parent)
    : CAppListCtrl(owner, parent) {
    setObjectName(QStringLiteral("appPluginsList"));
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    restyle();
}

channels::AppPlugin* CControlCenterAppPluginsWnd::pluginAt(int row) const {
    QTreeWidgetItem* item = rowItem(row);
    return item != nullptr ? static_cast<channels::AppPlugin*>(item->data(0, kRowObjectRole).value<void*>()) : nullptr;
}

void CControlCenterAppPluginsWnd::loadAppPlugins() {
    clear();
    channels::AppPluginManager& manager = channels::getAppPluginManager();
    {
        SharedLockGuard guard(&manager.getLock(), __FILE__, __LINE__);
        for (const auto& [id, plugin] : manager.getAppPlugins()) {
            auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(plugin->getDisplayName())});
            item->setData(0, kRowObjectRole, QVariant::fromValue(static_cast<void*>(plugin.get())));
            addTopLevelItem(item);
        }
    }
    if (rowCount() > 0) selectRow(0);
}

void CControlCenterAppPluginsWnd::restyle() {
    const GlobalOptions& o = GlobalOptions::instance();
    applyListStyle();
    setFont(makeFont(o.ControlCenterAppPluginsFontName, o.ControlCenterAppPluginsFontSize, false, 400));
    QPalette p = palette();
    p.setColor(QPalette::Base, colorOf(o.ControlCenterAppPluginsBgdCol));
    p.setColor(QPalette::Text, colorOf(o.ControlCenterAppPluginsFgdCol));
    setPalette(p);
    viewport()->update();
}
