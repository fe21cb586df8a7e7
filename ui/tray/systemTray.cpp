#include "ui/tray/systemTray.h"

#include <QAction>
#include <QMenu>
#include <QTimerEvent>
#include <QWidget>

#include "app/core/commandIds.h"
#include "app/core/messageGroups.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "channels/hooks/channelHook.h"
#include "lib/log/messageLog.h"
#include "platform/messages.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "ui/tray/trayArea.h"
#include "ui/notify/notificationQueue.h"
#include "widgets/helpers/programIcon.h"
#include "ui/tray/trayMenu.h"

namespace msg = platform::messages;

namespace {

CSystemTray* g_tray = nullptr;
// The channels whose new items started the animation, by cookie.
std::set<std::uintptr_t> g_animatingChannels;

constexpr int kFramesFirst = 159;
constexpr int kFramesLast = 188;

// The fixed items of the tray menu, in order (0: a separator).
const std::pair<int, const char*> kFixedItems[] = {
    {CSystemTray::Open, "&Open"}, {CSystemTray::Options, "&Options"}, {0, nullptr}, {CSystemTray::Exit, "E&xit"}};

void postToMainFrame(int command) {
    if (const msg::Handle handle = getMainWindowHandle()) msg::postMessage(handle, msg::WM_COMMAND, command, 0);
}

// Forgets channels that have gone; true when the animation no longer
// waits for any channel.
bool pruneDeletedChannels() {
    if (g_animatingChannels.empty()) return false;
    for (auto it = g_animatingChannels.begin(); it != g_animatingChannels.end();) {
        it = findLiveChannel(*it) == nullptr ? g_animatingChannels.erase(it) : std::next(it);
    }
    return g_animatingChannels.empty();
}

}  // namespace

CSystemTray::CSystemTray(QObject* parent) : QObject(parent) {
    window_ = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window_->setObjectName(QStringLiteral("systemTrayWindow"));
    window_->setGeometry(0, 0, 10, 10);
    g_tray = this;
}

CSystemTray::~CSystemTray() {
    removeIcon();
    icons_.clear();
    delete menu_;
    delete window_;
    if (g_tray == this) g_tray = nullptr;
    if (registered_ && isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
}

CSystemTray* getSystemTray() { return g_tray; }

bool CSystemTray::create(QWidget*, unsigned, const std::string& tooltip, const QIcon& icon, int iconId) {
    iconId_ = iconId;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        enabled_ = false;
        return false;
    }
    if (!icon_) {
        icon_ = new QSystemTrayIcon(this);
        icon_->setObjectName(QStringLiteral("systemTrayIcon"));
        if (menu_ == nullptr) {
            menu_ = new QMenu;
            menu_->setObjectName(QStringLiteral("trayMenu"));
            connect(menu_, &QMenu::aboutToShow, this, [this] { fillMenu(menu_); });
            fillMenu(menu_);
        }
        icon_->setContextMenu(menu_);
        connect(icon_, &QSystemTrayIcon::activated, this, &CSystemTray::onActivated);
    }
    currentIcon_ = icon;
    icon_->setIcon(icon);
    tooltip_ = tooltip.substr(0, 127);
    icon_->setToolTip(QString::fromStdString(tooltip_));
    icon_->show();
    enabled_ = icon_->isVisible();
    return enabled_;
}

void CSystemTray::removeIcon() {
    if (!enabled_) return;
    if (icon_) icon_->hide();
    enabled_ = false;
}

bool CSystemTray::setIcon(const QIcon& icon) {
    if (!enabled_ || !icon_) return false;
    currentIcon_ = icon;
    icon_->setIcon(icon);
    return true;
}

QIcon CSystemTray::getIcon() const { return enabled_ ? currentIcon_ : QIcon(); }

bool CSystemTray::setTooltipText(const std::string& text) {
    if (!enabled_ || !icon_) return false;
    tooltip_ = text.substr(0, 127);
    icon_->setToolTip(QString::fromStdString(tooltip_));
    return true;
}

std::string CSystemTray::getTooltipText() const { return enabled_ ? tooltip_ : std::string(); }

QRect CSystemTray::getIconGeometry() const {
    if (!enabled_ || !icon_) return {};
    // Until the tray host has taken the icon in, its place is the origin:
    // not known yet.
    const QRect geometry = icon_->geometry();
    return geometry.topLeft() == QPoint(0, 0) ? QRect() : geometry;
}

bool CSystemTray::setIconList(int first, int last) {
    if (first > last) return false;
    icons_.clear();
    const int count = last - first + 1;
    for (int i = 0; i < count; ++i) icons_.push_back(animationFrame(i, count));
    return true;
}

// --- animation

bool CSystemTray::animate(int frameDelayMs, int durationSeconds) {
    stopAnimation(false);
    animationIndex_ = 0;
    animationStart_.start();
    animationDuration_ = durationSeconds;
    stopAtCycleEnd_ = false;
    savedIcon_ = getIcon();
    hasSavedIcon_ = !savedIcon_.isNull();
    animationTimer_ = startTimer(std::max(1, frameDelayMs));
    return animationTimer_ != 0;
}

void CSystemTray::timerEvent(QTimerEvent* event) {
    if (event->timerId() != animationTimer_ || animationTimer_ == 0) {
        QObject::timerEvent(event);
        return;
    }
    const double elapsed = static_cast<double>(animationStart_.elapsed()) / 1000.0;
    if (animationDuration_ > 0 && elapsed > animationDuration_) {
        stopAnimation(false);
    } else {
        stepAnimation();
    }
}

bool CSystemTray::stepAnimation() {
    if (icons_.empty()) return false;
    ++animationIndex_;
    if (animationIndex_ >= static_cast<int>(icons_.size())) {
        // A channel deleted meanwhile does not keep the animation going.
        if (pruneDeletedChannels()) stopAtCycleEnd_ = true;
        if (stopAtCycleEnd_) {
            stopAnimation(false);
            return false;
        }
        animationIndex_ = 0;
    }
    setIcon(icons_[animationIndex_]);
    return true;
}

bool CSystemTray::stopAnimation(bool atCycleEnd) {
    if (atCycleEnd) {
        stopAtCycleEnd_ = true;
        return true;
    }
    if (animationTimer_ != 0) killTimer(animationTimer_);
    animationTimer_ = 0;
    if (hasSavedIcon_) setIcon(savedIcon_);
    savedIcon_ = QIcon();
    hasSavedIcon_ = false;
    return true;
}

void startTrayAnimation(channels::Channel* channel) {
    if (channel != nullptr) g_animatingChannels.insert(channels::getChannelCookie(channel));
    if (GlobalOptions::instance().DisableAllAnimation) return;
    if (g_tray != nullptr) g_tray->animate(100, -1);
}

void stopTrayAnimation() {
    if (g_tray != nullptr) g_tray->stopAnimation(true);
}

std::size_t animatingChannelCount() { return g_animatingChannels.size(); }

void CSystemTray::onChannelViewActivated(ChannelViewActivatedUiEvent& event) {
    if (g_animatingChannels.erase(channels::getChannelCookie(event.getChannel())) == 0) return;
    if (g_animatingChannels.empty()) stopTrayAnimation();
}

void CSystemTray::onChannelDeleted(ChannelDeletedUiEvent& event) {
    if (g_animatingChannels.erase(channels::getChannelCookie(event.getChannel())) == 0) return;
    if (g_animatingChannels.empty()) stopTrayAnimation();
}

// --- menu and commands

bool CSystemTray::setMenuDefaultItem(int item, bool byPosition) {
    defaultMenuItem_ = item;
    defaultByPosition_ = byPosition;
    return true;
}

int CSystemTray::getDefaultCommand() const {
    if (!defaultByPosition_) return defaultMenuItem_;
    const int count = static_cast<int>(std::size(kFixedItems));
    return defaultMenuItem_ >= 0 && defaultMenuItem_ < count ? kFixedItems[defaultMenuItem_].first : 0;
}

void CSystemTray::fillMenu(QMenu* menu) {
    menu->clear();
    const int defaultCommand = getDefaultCommand();
    for (const auto& [id, text] : kFixedItems) {
        if (id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setProperty("commandId", id);
        const int command = id;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        if (id == defaultCommand) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
            menu->setDefaultAction(action);
        }
    }
    ui::buildTrayMenu(menu);
}

void CSystemTray::onActivated(QSystemTrayIcon::ActivationReason reason) {
    // A right click opens the menu (Qt shows it; aboutToShow rebuilds it);
    // a double click runs the default item; other clicks do nothing.
    if (reason != QSystemTrayIcon::DoubleClick) return;
    if (window_ != nullptr) window_->activateWindow();
    if (const int command = getDefaultCommand()) runCommand(command);
}

void CSystemTray::runCommand(int id) {
    switch (id) {
        case Open:
        case Options:
            if (CMainFrame* frame = getMainFrame()) frame->bringToFront();
            postToMainFrame(id);
            return;
        case Exit:
            setExitRequested(true);
            postToMainFrame(kCmdExit);
            return;
        default:
            if (id >= kCmdFirstTrayMenuEntry && id <= kCmdLastTrayMenuEntry) ui::onTrayMenuCommand(id);
            return;
    }
}

void CSystemTray::registerEventHandler() {
    if (registered_ || !isUiHandlerSet()) return;
    getUiHandler()->addEventHandler(this);
    registered_ = true;
}

// --- start-up

namespace ui {

namespace {
QRect trayGeometry() { return g_tray != nullptr ? g_tray->getIconGeometry() : QRect(); }
}  // namespace

void installTrayServices() {
    installNotificationSink();
    setTrayIconGeometryProvider(&trayGeometry);
    MainFrameServices& services = getMainFrameServices();
    services.processNotifications = [] { processNotifications(); };
    services.createTrayIcon = [](CMainFrame& frame) {
        CSystemTray* tray = getSystemTray();
        if (tray == nullptr) {
            tray = new CSystemTray(&frame);
            setBalloonParent(tray->getWindow());
            tray->registerEventHandler();
        }
        if (!tray->create(nullptr, CSystemTray::kCallbackMessage, programPaths().appName, programIcon(),
                          CSystemTray::kIconId)) {
            return false;
        }
        tray->setIconList(kFramesFirst, kFramesLast);
        tray->setMenuDefaultItem(CSystemTray::Open, false);
        frame.setTrayIcon(tray->getTrayIcon());
        ORVAN_LOG(g_startupGroup) << "- System tray icon created OK." << std::endl;
        return true;
    };
}

void registerTrayEventHandler() {
    if (CSystemTray* tray = getSystemTray()) tray->registerEventHandler();
}

}  // namespace ui
