#include "hooks/watchpane/monitorWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "channels/hooks/dllChannelHookApi.h"
#include "platform/messages.h"

namespace watchpane {

namespace {

const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int kItemIndexRole = Qt::UserRole;

// A colour setting: 0x00BBGGRR, or -1 for the fallback.
QColor settingColor(long value, const QColor& fallback) {
    if (value < 0) return fallback;
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QColor viewedColor() { return settingColor(settings().viewedFeedItemFgdCol, QColor(0xC0, 0xC0, 0xC0)); }

// The time of the last fetch as the C library's asctime shows it, without
// its line end; empty when never fetched or when the time has no local form.
std::string lastUpdatedText(long long seconds) {
    if (seconds <= 0) return "";
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm lt{};
    if (::localtime_r(&when, &lt) == nullptr) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[lt.tm_wday % 7], kMonths[lt.tm_mon % 12],
                  lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec, lt.tm_year + 1900);
    return text;
}

class FeedItemDelegate : public QStyledItemDelegate {
public:
    explicit FeedItemDelegate(CFeedItemListBox* list) : QStyledItemDelegate(list), list_(list) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        list_->drawItem(painter, option, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), option.fontMetrics.height() + 4);
    }

private:
    CFeedItemListBox* list_;
};

}  // namespace

bool LessUpperCase::operator()(const std::string& a, const std::string& b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

// ---------------------------------------------------------------------------
// The item list

CFeedItemListBox::CFeedItemListBox(CMonitorWindow* owner) : QListWidget(owner), owner_(owner) {
    setObjectName("feedItemList");
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setContextMenuPolicy(Qt::NoContextMenu);  // the window shows the menu
    setItemDelegate(new FeedItemDelegate(this));
}

void CFeedItemListBox::drawItem(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    WP_LOG("DrawItem(): itemIndex=" << index.row());
    if (owner_->drawingDisabled()) {
        WP_LOG("Listbox drawing disabled - exiting.");
        return;
    }
    const Settings& s = settings();
    const QPalette& pal = palette();
    const QColor itemText = settingColor(s.feedItemFgdCol, pal.color(QPalette::Text));
    const QColor itemBack = settingColor(s.feedItemBgdCol, pal.color(QPalette::Base));
    const QColor selectedText = settingColor(s.selectedItemFgdCol, pal.color(QPalette::HighlightedText));
    const QColor selectedBack = settingColor(s.selectedItemBgdCol, pal.color(QPalette::Highlight));

    LockGuard guard(owner_->lock(), "DrawItem()");
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool focus = option.state.testFlag(QStyle::State_HasFocus);
    WP_LOG("Item state: isSelected=" << selected << " ; isFocusItem=" << focus);
    painter->save();
    painter->fillRect(option.rect, selected ? selectedBack : itemBack);
    QColor textColor = selected ? selectedText : itemText;
    QFont font = option.font;
    if (index.isValid()) {
        const FeedItemInfo* info = owner_->itemAt(index.data(kItemIndexRole).toInt());
        if (info != nullptr) {
            WP_LOG("- feedItemId=" << info->id);
            const bool viewed = owner_->isViewed(info->id);
            WP_LOG("- isViewedFeedItem=" << viewed);
            if (viewed) {
                textColor = viewedColor();
                font.setItalic(true);
            }
        }
        const QString text = index.data(Qt::DisplayRole).toString();
        WP_LOG("Drawing the feed item: " << text.toStdString());
        painter->setFont(font);
        painter->setPen(textColor);
        painter->drawText(option.rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          text);
    }
    if (focus) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = option.rect;
        frame.state = option.state;
        frame.backgroundColor = selected ? selectedBack : itemBack;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, this);
    }
    painter->restore();
}

void CFeedItemListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        owner_->postCommand(CMonitorWindow::OpenItem);
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// The window

CMonitorWindow::CMonitorWindow(std::uintptr_t channelCookie, std::uintptr_t hookCookie, const std::string& requestFile)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      channelCookie_(channelCookie),
      hookCookie_(hookCookie),
      channelFile_(readIniString(requestFile, "Config", "ChannelConfigFile")) {
    setObjectName("CMonitorWindow");
    setWindowTitle("*** MONITOR WINDOW ***");
    setModal(false);
}

CMonitorWindow::~CMonitorWindow() {
    // A window deleted without destroyWindow (at the end of the program)
    // must not stay in the table.
    if (!destroyed_) removeMonitorWindow(hookCookie_, this);
}

void CMonitorWindow::create() {
    auto* label = new QLabel("Last updated:", this);
    lastUpdated_ = new QLabel("*** LAST UPDATED ***", this);
    lastUpdated_->setObjectName("lastUpdatedLabel");
    list_ = new CFeedItemListBox(this);
    QPalette pal = list_->palette();
    pal.setColor(QPalette::Base, settingColor(settings().feedItemBgdCol, pal.color(QPalette::Base)));
    list_->setPalette(pal);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 2, 4, 2);
    top->addWidget(label);
    top->addWidget(lastUpdated_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    resize(480, 210);
    // The smallest size the window may take.
    setMinimumSize(3 * 112 / 2, 2 * 27);

    auto makeAction = [this](const char* text, const char* name, int command) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setProperty("commandId", command);
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        addAction(action);
        return action;
    };
    openItemAction_ = makeAction("&Open item", "openItemAction", OpenItem);
    updateNowAction_ = makeAction("&Update now", "updateNowAction", UpdateNow);
    propertiesAction_ = makeAction("&Properties", "propertiesAction", Properties);
    closeAction_ = makeAction("&Close", "closeAction", CloseWindow);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { updateCommandStates(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { onDblclkFeedItems(); });
    updateCommandStates();

    WP_LOG("Adding ourself to the window table: mhChannelHookCookie=" << hookCookie_ << " ; this=" << this);
    addMonitorWindow(hookCookie_, this);
}

void CMonitorWindow::configure(const std::string& requestFile) {
    const bool wasHiding = hideReadItems_;
    const std::string hookFile = hookConfigFile();
    hideReadItems_ = readIniInt(requestFile, "ChannelHookParameters", "Hide Read Items",
                                readIniInt(hookFile, "Config", "DefaultHideReadItems", 0)) != 0;
    alwaysOnTop_ = readIniInt(requestFile, "ChannelHookParameters", "Always On Top",
                              readIniInt(hookFile, "Config", "DefaultAlwaysOnTop", 0)) != 0;
    const std::string caption = getChannelDisplayName(channelFile_);
    WP_LOG("Updating the window caption: " << caption);
    setCaption(caption);

    // In or out of the topmost band, where the window stands.
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != alwaysOnTop_) {
        const QRect where = geometry();
        const bool visible = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, alwaysOnTop_);
        if (visible) {
            setGeometry(where);
            show();
        }
    }
    if (hideReadItems_ != wasHiding) {
        WP_LOG("Hide-read-items flag was changed - reloading the feed items.");
        loadFeedItems();
    }
}

void CMonitorWindow::setCaption(const std::string& caption) { setWindowTitle(QString::fromStdString(caption)); }

void CMonitorWindow::bringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void CMonitorWindow::loadFeedItems() {
    WP_LOG("loadFeedItems(): channelConfigFilename=" << channelFile_);
    LockGuard guard(lock_, "loadFeedItems()");
    WP_LOG("Disabling listbox drawing.");
    drawingDisabled_ = true;

    const std::string updated =
        lastUpdatedText(std::strtoll(readIniString(channelFile_, "State", "LastFetchTime").c_str(), nullptr, 10));
    WP_LOG("Updating the last-updated time: " << updated);
    lastUpdated_->setText(QString::fromStdString(updated));

    loadViewedFeedItemIds();

    WP_LOG("Clearing the feed items.");
    items_.clear();
    for (int n = 1;; ++n) {
        const std::string section = "Last Feed (" + std::to_string(n) + ")";
        FeedItemInfo item{readIniString(channelFile_, section, "Id"), "", ""};
        if (item.id.empty()) break;
        WP_LOG("Adding new feed item: id=" << item.id);
        item.url = readIniString(channelFile_, section, "Url");
        item.title = readIniString(channelFile_, section, "Title");
        items_.push_back(std::move(item));
    }

    const int selection = selectedRow();
    WP_LOG("Clearing the feed item listbox.");
    list_->clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (hideReadItems_ && isViewed(items_[i].id)) continue;
        WP_LOG("Adding feed item to listbox: " << items_[i].title);
        auto* entry = new QListWidgetItem(QString::fromStdString(items_[i].title));
        entry->setData(kItemIndexRole, static_cast<int>(i));
        list_->addItem(entry);
    }
    applyViewedLook();
    // The same position, which may now hold another item.
    if (selection >= 0 && selection < list_->count()) list_->setCurrentRow(selection);
    updateCommandStates();

    WP_LOG("Enabling listbox drawing.");
    drawingDisabled_ = false;
    WP_LOG("Invalidating the feed item listbox.");
    list_->viewport()->update();
    WP_LOG("Feed items loaded OK.");
}

void CMonitorWindow::loadViewedFeedItemIds() {
    WP_LOG("loadViewedFeedItemIds()");
    LockGuard guard(lock_, "loadViewedFeedItemIds()");
    WP_LOG("Clearing the viewed feed item ID's.");
    viewedIds_.clear();
    for (int n = 1;; ++n) {
        const std::string id = readIniString(channelFile_, "ViewedFeedItems", "ViewedFeedItemId-" + std::to_string(n));
        if (id.empty()) break;
        WP_LOG("Adding viewed feed item ID: " << id);
        viewedIds_.insert(id);
    }
    applyViewedLook();
    WP_LOG("Invalidating the feed item listbox.");
    list_->viewport()->update();
    WP_LOG("Viewed feed item ID's loaded OK.");
}

// Viewed entries carry the look they are drawn with (light, italic).
void CMonitorWindow::applyViewedLook() {
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* entry = list_->item(row);
        const FeedItemInfo* info = itemAt(entry->data(kItemIndexRole).toInt());
        const bool viewed = info != nullptr && isViewed(info->id);
        QFont font = list_->font();
        font.setItalic(viewed);
        entry->setFont(font);
        entry->setForeground(viewed ? QBrush(viewedColor()) : QBrush());
    }
}

const FeedItemInfo* CMonitorWindow::itemAt(int itemIndex) const {
    return itemIndex >= 0 && itemIndex < static_cast<int>(items_.size()) ? &items_[static_cast<std::size_t>(itemIndex)]
                                                                         : nullptr;
}

int CMonitorWindow::selectedRow() const {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->row(selected.first());
}

void CMonitorWindow::updateCommandStates() { openItemAction_->setEnabled(selectedRow() >= 0); }

void CMonitorWindow::postCommand(int command) {
    QMetaObject::invokeMethod(
        this, [this, command] { runCommand(command); }, Qt::QueuedConnection);
}

void CMonitorWindow::runCommand(int command) {
    switch (command) {
        case OpenItem:
            onOpenItem();
            break;
        case UpdateNow:
            onUpdateNow();
            break;
        case Properties:
            onOpenProperties();
            break;
        case CloseWindow:
            onCloseWindow();
            break;
        default:
            break;
    }
}

void CMonitorWindow::onOpenItem() {
    WP_LOG("OnOpenItem()");
    std::string id;
    std::string url;
    {
        LockGuard guard(lock_, "OnOpenItem()");
        const int row = selectedRow();
        WP_LOG("Current selection: itemIndex=" << row);
        const FeedItemInfo* info = row >= 0 ? itemAt(list_->item(row)->data(kItemIndexRole).toInt()) : nullptr;
        if (info == nullptr) {
            QApplication::beep();
            return;
        }
        id = info->id;
        url = info->url;
    }
    WP_LOG("Sending the request:"
           << " hChannelCookie=" << channelCookie_ << " ; feedItemId=" << id << " ; feedItemUrl=" << url);
    ChannelHookOpenFeedItemArgs args{channelCookie_, id.c_str(), url.c_str()};
    platform::messages::sendMessage(hostWindow(), channels::kOpenFeedItemMsg, 0,
                                    reinterpret_cast<std::intptr_t>(&args));
    WP_LOG("Request processed.");
}

void CMonitorWindow::onUpdateNow() {
    WP_LOG("OnUpdateNow()");
    WP_LOG("Sending the request:"
           << " ; hChannelCookie=" << channelCookie_);
    ChannelHookCallbackCookies cookies{channelCookie_, hookCookie_};
    platform::messages::sendMessage(hostWindow(), channels::kUpdateChannelMsg, 0,
                                    reinterpret_cast<std::intptr_t>(&cookies));
    WP_LOG("Request processed.");
}

void CMonitorWindow::onOpenProperties() {
    WP_LOG("OnOpenProperties() ");
    WP_LOG("Sending the request:"
           << " ; hChannelCookie=" << channelCookie_);
    ChannelHookCallbackCookies cookies{channelCookie_, hookCookie_};
    platform::messages::sendMessage(hostWindow(), channels::kOpenChannelPropertiesMsg, 0,
                                    reinterpret_cast<std::intptr_t>(&cookies));
    WP_LOG("Request processed.");
}

void CMonitorWindow::onCloseWindow() {
    WP_LOG("OnCloseWindow() ");
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void CMonitorWindow::onDblclkFeedItems() {
    WP_LOG("OnDblclkFeedItems()");
    postCommand(OpenItem);
}

void CMonitorWindow::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->globalPos();
    WP_LOG("OnContextMenu(): x=" << at.x() << " ; y=" << at.y());
    bool canOpen = true;
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const int row = selectedRow();
        if (row < 0) {
            const int h = list_->sizeHintForRow(0) > 0 ? list_->sizeHintForRow(0) : fontMetrics().height() + 4;
            at = list_->viewport()->mapToGlobal(QPoint(2 * (h / 2), h / 2));
            canOpen = false;
        } else {
            const QRect r = list_->visualItemRect(list_->item(row));
            const int m = r.height() / 2;
            at = list_->viewport()->mapToGlobal(QPoint(r.left() + 2 * m, r.top() + m));
        }
    } else {
        const QPoint inList = list_->mapFromGlobal(at);
        if (!list_->rect().contains(inList)) {
            WP_LOG("Click was not in the feed item listbox - exiting.");
            return;
        }
        QListWidgetItem* entry = list_->itemAt(list_->viewport()->mapFromGlobal(at));
        if (entry == nullptr) {
            WP_LOG("Click was outside the feed item list - clearing the current selection.");
            list_->clearSelection();
            canOpen = false;
        } else {
            WP_LOG("Click was on itemIndex=" << list_->row(entry) << " - making it the current selection.");
            list_->setCurrentItem(entry);
        }
    }
    QMenu menu("*** FEED ITEMS CONTEXT MENU ***", this);
    menu.addAction(openItemAction_);
    menu.addSeparator();
    menu.addAction(updateNowAction_);
    menu.addAction(propertiesAction_);
    menu.addSeparator();
    menu.addAction(closeAction_);
    openItemAction_->setEnabled(canOpen);
    WP_LOG("Showing the context menu: x=" << at.x() << " ; y=" << at.y());
    menu.exec(at);
    WP_LOG("Context menu returned.");
    updateCommandStates();
}

void CMonitorWindow::reject() {
    WP_LOG("OnCancel()");
    destroyWindow();
}

void CMonitorWindow::closeEvent(QCloseEvent* event) {
    WP_LOG("OnCancel()");
    destroyWindow();
    event->accept();
}

void CMonitorWindow::destroyWindow() {
    WP_LOG("DestroyWindow()");
    if (destroyed_) return;
    destroyed_ = true;
    if (removeMonitorWindow(hookCookie_, this))
        WP_LOG("Removing ourself from the window table.");
    else
        WP_LOG("ERROR: Can't find ourself in the window table.");
    hide();
    deleteLater();
}

}  // namespace watchpane
