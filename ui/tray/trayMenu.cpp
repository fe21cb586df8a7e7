#include "ui/tray/trayMenu.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <map>
#include <vector>

#include "app/core/programObjects.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelState.h"
#include "channels/hooks/channelHook.h"
#include "lib/log/messageLog.h"
#include "ui/channel/channelDoc.h"
#include "widgets/helpers/channelImage.h"
#include "ui/notify/notificationRequest.h"

namespace {

CMessageGroup& measureGroup() {
    static CMessageGroup group("SystemTrayMenu_MeasureItem", "");
    return group;
}

struct TrayMenuState {
    std::map<int, std::unique_ptr<ui::MenuItemHandler>> handlers;
    std::vector<std::shared_ptr<const channels::Feed>> snapshots;
    std::vector<QPointer<QMenu>> subMenus;
};

TrayMenuState& state() {
    static TrayMenuState s;
    return s;
}

// A menu shows "&" as a mnemonic; entry texts are shown as they are.
QString menuText(const std::string& text) { return QString::fromStdString(text).replace('&', QStringLiteral("&&")); }

// The marker of an item: the menu's own colour for a viewed item, else dark
// red on a light menu and white on a dark one.
QIcon itemMarker(const QColor& menu, bool viewed, int side) {
    QColor colour = menu;
    if (!viewed) {
        colour =
            menu.red() >= 192 && menu.green() >= 192 && menu.blue() >= 192 ? QColor(224, 0, 0) : QColor(255, 255, 255);
    }
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(menu.lightness() >= 128 ? Qt::black : Qt::white);
    const int w = side * 3 / 4;
    const int top = side / 3;
    painter.drawEllipse(QRect((side - w) / 2, top, w, side * 3 / 4 - top));
    return QIcon(pixmap);
}

QIcon channelPicture(channels::Channel* channel, int height) {
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
    std::shared_ptr<ChannelImage> image = settings != nullptr ? settings->getChannelImage() : nullptr;
    if (!image || image->getImage().isNull()) return {};
    return QIcon(QPixmap::fromImage(image->getImage().scaledToHeight(height, Qt::SmoothTransformation)));
}

class Builder {
public:
    explicit Builder(QMenu* menu) : menu_(menu) {
        const QFontMetrics metrics(menu->font());
        textHeight_ = metrics.height();
        check_ = menu->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, menu);
        QScreen* screen = QGuiApplication::primaryScreen();
        maxTextWidth_ = screen != nullptr ? screen->geometry().width() / 3 : 400;
        menuColour_ = menu->palette().color(QPalette::Window);
    }

    ui::TrayMenuBuild result;

    int takeId() {
        if (nextId_ > kCmdLastTrayMenuEntry) {
            ++result.leftOut;
            return 0;
        }
        ++result.entries;
        return nextId_++;
    }

    void addChannel(channels::Channel* channel, ChannelDesktopSettings& settings) {
        const std::uintptr_t cookie = channels::getChannelCookie(channel);
        const std::string name = channel->getDisplayName();
        std::shared_ptr<channels::Feed> snapshot;
        {
            const channels::ChannelState& channelState = channel->getChannelState();
            SharedLockGuard stateGuard(&channelState.getLock(), __FILE__, __LINE__);
            const channels::Feed* last = channelState.getLastFeed();
            snapshot = last != nullptr ? std::make_shared<channels::Feed>(*last) : std::make_shared<channels::Feed>();
        }
        state().snapshots.push_back(snapshot);
        const std::vector<channels::FeedItem>& items = snapshot->getFeedItems();
        const auto viewed = settings.copyViewedFeedItems();

        // Each channel's block goes above the blocks made before it.
        QAction* separator = menu_->insertSeparator(menu_->actions().value(0));
        const QIcon picture = channelPicture(channel, textHeight_);
        if (settings.getUseQuickAccessSubMenus() && !items.empty()) {
            auto* sub = new QMenu(menu_);
            state().subMenus.emplace_back(sub);
            addEntry(sub, nullptr, std::make_unique<ui::ChannelMenuItemHandler>(name, cookie, snapshot), picture,
                     false);
            int unread = 0;
            for (const channels::FeedItem& item : items) {
                const bool isViewed = viewed.count(std::string(item.getId())) != 0;
                if (!isViewed) ++unread;
                addEntry(sub, nullptr, std::make_unique<ui::FeedItemMenuItemHandler>(cookie, item),
                         itemMarker(menuColour_, isViewed, check_), isViewed);
            }
            std::string label = name;
            if (unread == 1) {
                label += " (1 new item)";
            } else if (unread > 1) {
                label += " (" + std::to_string(unread) + " new items)";
            }
            sub->setTitle(menuText(label));
            sub->setIcon(picture);
            QAction* entry = menu_->insertMenu(separator, sub);
            if (sub->isEmpty()) {
                // Every entry of it fell past the range; so does its label.
                menu_->removeAction(entry);
                takeId();
                return;
            }
            const int id = takeId();
            log("channel", id, label);
            if (id != 0) {
                entry->setProperty("commandId", id);
                state().handlers[id] = std::make_unique<ui::ChannelMenuItemHandler>(label, cookie, nullptr);
            }
            return;
        }
        addEntry(menu_, separator, std::make_unique<ui::ChannelMenuItemHandler>(name, cookie, snapshot), picture,
                 false);
        for (const channels::FeedItem& item : items) {
            const bool isViewed = viewed.count(std::string(item.getId())) != 0;
            addEntry(menu_, separator, std::make_unique<ui::FeedItemMenuItemHandler>(cookie, item),
                     itemMarker(menuColour_, isViewed, check_), isViewed);
        }
    }

    // The last entry when some were left out.
    void addLeftOutEntry() {
        if (result.leftOut == 0) return;
        QAction* separator = menu_->insertSeparator(menu_->actions().value(0));
        auto* more = new QAction(QStringLiteral("%1 more").arg(result.leftOut), menu_);
        more->setObjectName(QStringLiteral("trayMenuMore"));
        more->setEnabled(false);
        menu_->insertAction(separator, more);
    }

private:
    void addEntry(QMenu* menu, QAction* before, std::unique_ptr<ui::MenuItemHandler> handler, const QIcon& icon,
                  bool italic) {
        const int id = takeId();
        const bool isChannel = dynamic_cast<ui::ChannelMenuItemHandler*>(handler.get()) != nullptr;
        if (id == 0) return;
        QFont font = menu->font();
        font.setItalic(italic);
        const QFontMetrics metrics(font);
        const QString text =
            metrics.elidedText(QString::fromStdString(handler->getText()), Qt::ElideRight, maxTextWidth_);
        auto* action = new QAction(icon, QString(text).replace('&', QStringLiteral("&&")), menu);
        action->setFont(font);
        action->setProperty("commandId", id);
        action->setToolTip(QString::fromStdString(handler->getText()));
        QObject::connect(action, &QAction::triggered, action, [id] { ui::onTrayMenuCommand(id); });
        menu->insertAction(before, action);
        log(isChannel ? "channel" : "feed item", id, text.toStdString(), metrics.horizontalAdvance(text), isChannel);
        state().handlers[id] = std::move(handler);
    }

    void log(const char* kind, int id, const std::string& text, int textWidth = -1, bool isChannel = true) {
        if (!measureGroup().isEnabled()) return;
        if (textWidth < 0) textWidth = QFontMetrics(menu_->font()).horizontalAdvance(QString::fromStdString(text));
        const int width = isChannel ? textWidth + check_ + textHeight_ : textWidth + check_ * 5 / 2;
        const int height = isChannel ? textHeight_ * 5 / 4 : textHeight_;
        ORVAN_LOG(measureGroup()) << "MEASURE ITEM (" << kind << "):" << std::endl;
        ORVAN_LOG(measureGroup()) << "- ctlType=1 ; ctlID=0 ; itemID=" << id << std::endl;
        ORVAN_LOG(measureGroup()) << "- itemWidth=" << width << " ; itemHeight=" << height << std::endl;
        ORVAN_LOG(measureGroup()) << "- text=" << text << std::endl;
    }

    QMenu* menu_;
    int nextId_ = kCmdFirstTrayMenuEntry;
    int textHeight_ = 16;
    int check_ = 16;
    int maxTextWidth_ = 400;
    QColor menuColour_;
};

}  // namespace

namespace ui {

void clearTrayMenu() {
    TrayMenuState& s = state();
    for (QPointer<QMenu>& sub : s.subMenus) delete sub.data();
    s.subMenus.clear();
    s.handlers.clear();
    s.snapshots.clear();
}

TrayMenuBuild buildTrayMenu(QMenu* trayMenu) {
    clearTrayMenu();
    Builder builder(trayMenu);
    channels::ChannelManager* manager = getChannelManager();
    if (manager == nullptr) return builder.result;
    SharedLockGuard managerGuard(&manager->getLock(), __FILE__, __LINE__);
    for (channels::Channel* channel : manager->getChannels()) {
        ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
        if (settings == nullptr || !settings->getUseQuickAccessMenu()) continue;
        SharedLockGuard channelGuard(&channel->getLock(), __FILE__, __LINE__);
        builder.addChannel(channel, *settings);
    }
    builder.addLeftOutEntry();
    return builder.result;
}

void onTrayMenuCommand(int id) {
    auto it = state().handlers.find(id);
    if (it != state().handlers.end()) it->second->onSelected();
}

const MenuItemHandler* findTrayMenuHandler(int id) {
    auto it = state().handlers.find(id);
    return it == state().handlers.end() ? nullptr : it->second.get();
}

void FeedItemMenuItemHandler::onSelected() {
    channels::Channel* channel = findLiveChannel(channel_);
    if (channel == nullptr) return;  // deleted since the menu was built
    openFeedItemInChannelWindow(channel, item_);
}

void ChannelMenuItemHandler::onSelected() {
    channels::Channel* channel = findLiveChannel(channel_);
    if (channel == nullptr) return;  // deleted since the menu was built
    CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
    if (doc == nullptr) {
        QApplication::beep();
        return;
    }
    doc->activateFrame(false);
    doc->showChannelSummary();
}

}  // namespace ui
