#include "ui/notify/balloonHelp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <QToolTip>
#include <algorithm>
#include <climits>

#include "app/core/commandIds.h"
#include "app/options/globalOptions.h"

namespace {

constexpr unsigned kCloseActions = CBalloonHelp::CloseOnLButtonUp | CBalloonHelp::CloseOnMButtonUp |
                                   CBalloonHelp::CloseOnRButtonUp | CBalloonHelp::CloseOnLButtonDown |
                                   CBalloonHelp::CloseOnMButtonDown | CBalloonHelp::CloseOnRButtonDown |
                                   CBalloonHelp::CloseOnMouseMove;

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Whether a mouse button message closes the balloon under its options.
bool closesOn(unsigned options, QEvent::Type type, Qt::MouseButton button) {
    const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                      type == QEvent::NonClientAreaMouseButtonPress;
    const bool up = type == QEvent::MouseButtonRelease || type == QEvent::NonClientAreaMouseButtonRelease;
    if (!down && !up) return false;
    unsigned wanted = 0;
    switch (button) {
        case Qt::LeftButton:
            wanted = down ? CBalloonHelp::CloseOnLButtonDown : CBalloonHelp::CloseOnLButtonUp;
            break;
        case Qt::MiddleButton:
            wanted = down ? CBalloonHelp::CloseOnMButtonDown : CBalloonHelp::CloseOnMButtonUp;
            break;
        case Qt::RightButton:
            wanted = down ? CBalloonHelp::CloseOnRButtonDown : CBalloonHelp::CloseOnRButtonUp;
            break;
        default:
            return false;
    }
    return (options & wanted) != 0;
}

}  // namespace

CBalloonHelp::CBalloonHelp() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("balloonHelp"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    const QPalette tips = QToolTip::palette();
    backgroundColour_ = tips.color(QPalette::ToolTipBase);
    borderColour_ = tips.color(QPalette::ToolTipText);
    titleColour_ = borderColour_;
    contentColour_ = borderColour_;
    contentFont_ = QApplication::font();
    titleFont_ = contentFont_;
    titleFont_.setBold(true);
    clock_.start();
}

CBalloonHelp::~CBalloonHelp() {
    removeInputFilter();
    if (anchorWindow_) anchorWindow_->removeEventFilter(this);
}

QMenu* CBalloonHelp::createContextMenu(int menuId, QWidget* parent) {
    if (menuId != kMenuNewItemNotification) return nullptr;
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("newFeedItemBalloonMenu"));
    using R = NewFeedItemNotificationRequest;
    const std::pair<int, const char*> items[] = {{R::Open, "&Open"},
                                                 {R::OpenInNewWindow, "Open in &new window"},
                                                 {R::CopyUrl, "&Copy URL"},
                                                 {R::EmailUrl, "&Email URL"},
                                                 {R::AddToReadMeList, "Add to &read-me list"}};
    for (const auto& [id, text] : items) menu->addAction(QString::fromUtf8(text))->setProperty("commandId", id);
    return menu;
}

void CBalloonHelp::setNotification(std::unique_ptr<NotificationRequest> request) { notification_ = std::move(request); }

bool CBalloonHelp::create(const std::string& title, const std::string& content, const QPoint& anchor, unsigned options,
                          QWidget* parent, unsigned timeoutMs, const QIcon* icon) {
    content_ = content;
    title_ = title;
    options_ = options;
    timeout_ = timeoutMs;
    setAnchorPoint(anchor, nullptr);
    if (icon != nullptr) setIcon(*icon);
    // The parent owns the window (it closes with it); a tool window with a
    // parent stays a window of its own.
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
    if ((options_ & Topmost) != 0) flags |= Qt::WindowStaysOnTopHint;
    setParent(parent, flags);
    setWindowTitle(qs(title));
    // Fading follows the desktop's own setting for tool tips.
    if (!QApplication::isEffectEnabled(Qt::UI_FadeTooltip)) options_ |= DisableFadeIn | DisableFadeOut;
    hasWindow_ = true;
    hiding_ = false;
    positionWindow();
    if ((options_ & (kCloseActions | CloseOnKeyPress)) != 0) {
        mouseOrigin_ = QCursor::pos();
        installInputFilter();
    }
    showBalloon();
    return true;
}

// --- setters

void CBalloonHelp::setTitleColour(const QColor& colour) {
    titleColour_ = colour;
    update();
}
void CBalloonHelp::setBackgroundColour(const QColor& colour) {
    backgroundColour_ = colour;
    update();
}
void CBalloonHelp::setBorderColour(const QColor& colour) {
    borderColour_ = colour;
    update();
}
void CBalloonHelp::setContentColour(const QColor& colour) {
    contentColour_ = colour;
    update();
}
void CBalloonHelp::setIcon(const QIcon& icon) {
    if (icon.isNull()) {
        icon_ = QPixmap();
    } else {
        const QList<QSize> sizes = icon.availableSizes();
        icon_ = icon.pixmap(sizes.isEmpty() ? QSize(32, 32) : sizes.first());
    }
    relayout();
}
void CBalloonHelp::setIconScaled(const QIcon& icon, const QSize& size) {
    icon_ = icon.isNull() ? QPixmap() : icon.pixmap(size).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    relayout();
}
void CBalloonHelp::setTitle(const std::string& title) {
    title_ = title;
    setWindowTitle(qs(title));
    relayout();
}
void CBalloonHelp::setContent(const std::string& content) {
    content_ = content;
    relayout();
}
void CBalloonHelp::setTitleFont(const QFont& font) {
    titleFont_ = font;
    relayout();
}
void CBalloonHelp::setContentFont(const QFont& font) {
    contentFont_ = font;
    relayout();
}

void CBalloonHelp::relayout() {
    if (hasWindow_) positionWindow();
}

void CBalloonHelp::setTimeout(unsigned ms) {
    timeout_ = ms;
    if (closeTimer_ != 0) {
        killTimer(closeTimer_);
        closeTimer_ = 0;
    }
    if (hasWindow_ && ms != 0) {
        closeDeadline_ = clock_.elapsed() + ms;
        closeTimer_ = startTimer(1000);
    }
}

void CBalloonHelp::setAnchorPoint(const QPoint& point, QWidget* anchorWindow) {
    if (anchorWindow_ && anchorWindow_ != anchorWindow) anchorWindow_->removeEventFilter(this);
    anchor_ = point;
    anchorWindow_ = anchorWindow;
    if (anchorWindow != nullptr) anchorWindow->installEventFilter(this);
    relayout();
}

QPoint CBalloonHelp::anchorOnScreen() const { return anchorWindow_ ? anchorWindow_->mapToGlobal(anchor_) : anchor_; }

// --- sizes and placement

QRect CBalloonHelp::workArea() const {
    QScreen* screen = QGuiApplication::screenAt(anchorOnScreen());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QSize CBalloonHelp::closeButtonSize() const {
    int side = 18;
    if (GlobalOptions::instance().SmallNotificationBalloonCloseIcon) side = side * 2 / 3;
    return {side, side};
}

QRect CBalloonHelp::closeButtonRect() const {
    if ((options_ & ShowCloseButton) == 0) return {};
    const QSize button = closeButtonSize();
    const int clientRight = width() - kMargin;
    return {clientRight - button.width(), kMargin, button.width(), button.height()};
}

QSize CBalloonHelp::headerSize() const {
    int w = 0;
    int h = 0;
    if (!icon_.isNull()) {
        w += icon_.width();
        h = std::max(h, icon_.height());
    }
    if ((options_ & ShowCloseButton) != 0) {
        if (w > 0) w += kMargin;
        const QSize button = closeButtonSize();
        w += button.width();
        h = std::max(h, button.height());
    }
    if (!title_.empty()) {
        const QFontMetrics metrics(titleFont_);
        if (w > 0) w += kMargin;
        const QRect text = metrics.boundingRect(QRect(0, 0, INT_MAX / 2, INT_MAX / 2),
                                                Qt::TextSingleLine | Qt::TextExpandTabs, qs(title_));
        w += text.width();
        h = std::max(h, text.height());
    }
    return {w, h};
}

QSize CBalloonHelp::contentSize() const {
    if (content_.empty()) return {0, 0};
    const int wrap = std::max(1, workArea().width() / 2);
    const QFontMetrics metrics(contentFont_);
    const QRect text =
        metrics.boundingRect(QRect(0, 0, wrap, INT_MAX / 2), Qt::TextWordWrap | Qt::TextExpandTabs, qs(content_));
    return {std::min(text.width(), wrap), text.height()};
}

QPoint CBalloonHelp::placeWindow(const QSize& size, const QPoint& anchor, const QRect& work) {
    const int cx = size.width();
    const int cy = size.height();
    const bool lower = anchor.y() >= work.top() + work.height() / 2;
    const bool left = anchor.x() < work.left() + work.width() / 2;
    int refX = left ? cx / 4 : cx / 4 * 3;
    refX = std::max(refX, kMargin);
    refX = std::min(refX, cx - kMargin);
    const int refY = lower ? cy - 2 : 1;
    int x = anchor.x() - refX;
    int y = anchor.y() - refY;
    const int workRight = work.x() + work.width();
    const int workBottom = work.y() + work.height();
    if (x < work.left()) {
        x = work.left();
    } else if (x + cx >= workRight) {
        x -= x + cx - workRight;
    }
    if (y < work.top()) {
        y = work.top();
    } else if (y + cy >= workBottom) {
        y -= y + cy - workBottom;
    }
    return {x, y};
}

QRect CBalloonHelp::clearOf(const QRect& balloon, const QRect& avoid, const QRect& work) {
    if (!avoid.isValid() || !balloon.intersects(avoid)) return balloon;
    // Beside the window on each of its four sides, as close as possible to
    // where the balloon was (its corner of the work area); a side that does
    // not leave room inside the work area is no choice.
    const QRect candidates[] = {
        balloon.translated(0, avoid.top() - balloon.bottom() - 1),  // above
        balloon.translated(0, avoid.bottom() + 1 - balloon.top()),  // below
        balloon.translated(avoid.left() - balloon.right() - 1, 0),  // to the left
        balloon.translated(avoid.right() + 1 - balloon.left(), 0),  // to the right
    };
    QRect best = balloon;
    int bestDistance = -1;
    for (const QRect& candidate : candidates) {
        if (!work.contains(candidate)) continue;
        const int distance = (candidate.topLeft() - balloon.topLeft()).manhattanLength();
        if (bestDistance < 0 || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    if (bestDistance >= 0) return best;
    // No side has room: the work area's corner on the balloon's side that the
    // window covers least.
    const QRect corners[] = {
        QRect(QPoint(work.right() + 1 - balloon.width(), work.bottom() + 1 - balloon.height()), balloon.size()),
        QRect(QPoint(work.right() + 1 - balloon.width(), work.top()), balloon.size()),
        QRect(QPoint(work.left(), work.bottom() + 1 - balloon.height()), balloon.size()),
        QRect(work.topLeft(), balloon.size()),
    };
    auto covered = [&](const QRect& r) {
        const QRect both = r.intersected(avoid);
        return both.isValid() ? both.width() * both.height() : 0;
    };
    best = balloon;
    for (const QRect& corner : corners)
        if (covered(corner) < covered(best)) best = corner;
    return best;
}

QRect CBalloonHelp::modalWindowToAvoid() const {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == this || !modal->isVisible()) return {};
    return modal->frameGeometry();
}

void CBalloonHelp::positionWindow() {
    const QSize header = headerSize();
    const QSize content = contentSize();
    const QSize client(std::max(header.width(), content.width()), header.height() + content.height() + kMargin);
    const QSize size(client.width() + 2 * kMargin, client.height() + 2 * kMargin);
    const QRect work = workArea();
    const QPoint topLeft = placeWindow(size, anchorOnScreen(), work);
    // A balloon never covers a modal dialog (its buttons above all).
    avoided_ = modalWindowToAvoid();
    setGeometry(clearOf(QRect(topLeft, size), avoided_, work));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, size.width(), size.height()), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
    update();
}

// --- painting

void CBalloonHelp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(backgroundColour_);
    painter.drawRect(rect());
    if ((options_ & ShowInnerShadow) != 0) {
        const QColor light(backgroundColour_.red() / 3 + 170, backgroundColour_.green() / 3 + 170,
                           backgroundColour_.blue() / 3 + 170);
        const QColor dark(borderColour_.red() / 3 + backgroundColour_.red() / 3 * 2,
                          borderColour_.green() / 3 + backgroundColour_.green() / 3 * 2,
                          borderColour_.blue() / 3 + backgroundColour_.blue() / 3 * 2);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(light, 2));
        painter.drawRoundedRect(outline.adjusted(2, 2, -1, -1), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
        painter.setPen(QPen(dark, 2));
        painter.drawRoundedRect(outline.adjusted(1, 1, -2, -2), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(borderColour_, 1));
    painter.drawRoundedRect(outline, kCornerEllipse / 2.0, kCornerEllipse / 2.0);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The header: icon, close button, centred title.
    QRect header = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const int headerHeight = headerSize().height();
    header.setHeight(headerHeight);
    if (!icon_.isNull()) {
        painter.drawPixmap(header.topLeft(), icon_);
        header.setLeft(header.left() + icon_.width());
    }
    if ((options_ & ShowCloseButton) != 0) {
        const QRect button = closeButtonRect();
        if (closeHot_) painter.fillRect(button, palette().color(QPalette::Highlight).lighter(170));
        painter.setPen(QPen(contentColour_, 1));
        painter.drawRect(button.adjusted(0, 0, -1, -1));
        const QRect cross = button.adjusted(3, 3, -4, -4).translated(closePushed_ ? 1 : 0, closePushed_ ? 1 : 0);
        painter.setPen(QPen(contentColour_, 2));
        painter.drawLine(cross.topLeft(), cross.bottomRight());
        painter.drawLine(cross.topRight(), cross.bottomLeft());
        header.setRight(header.right() - button.width());
    }
    if (!title_.empty()) {
        painter.setFont(titleFont_);
        painter.setPen(titleColour_);
        painter.drawText(header, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextExpandTabs,
                         qs(title_));
    }
    if (!content_.empty()) {
        const QSize content = contentSize();
        const QRect area(kMargin, kMargin + headerHeight + kMargin, content.width(), content.height());
        painter.setFont(contentFont_);
        painter.setPen(contentColour_);
        painter.drawText(area, Qt::TextWordWrap | Qt::TextExpandTabs, qs(content_));
    }
}

// --- showing and closing

void CBalloonHelp::showBalloon() {
    if (notification_) notification_->onShow();
    if (modalWatch_ == nullptr) {
        modalWatch_ = new QTimer(this);
        modalWatch_->setInterval(250);
        connect(modalWatch_, &QTimer::timeout, this, [this] {
            if (hasWindow_ && modalWindowToAvoid() != avoided_) positionWindow();
        });
    }
    modalWatch_->start();
    if ((options_ & DisableFadeIn) == 0) {
        setWindowOpacity(0.0);
        show();
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(std::max(0, GlobalOptions::instance().NotificationBalloonAnimationTime));
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
        fade_ = fade;
    } else {
        show();
    }
    if ((options_ & DelayClose) == 0) setTimeout(timeout_);
}

void CBalloonHelp::hideBalloon() {
    if (!hasWindow_ || hiding_) return;
    if ((options_ & DelayClose) != 0) {
        options_ &= ~(DelayClose | kCloseActions);
        setTimeout(timeout_);
        return;
    }
    hiding_ = true;
    if (notification_) notification_->onClose();
    destroyWindow();
}

void CBalloonHelp::destroyWindow() {
    hasWindow_ = false;
    if (modalWatch_ != nullptr) modalWatch_->stop();
    if (closeTimer_ != 0) {
        killTimer(closeTimer_);
        closeTimer_ = 0;
    }
    removeInputFilter();
    if (fade_) fade_->stop();
    auto finish = [this] {
        hide();
        emit closed();
        if ((options_ & DeleteThisOnClose) != 0) deleteLater();
    };
    if ((options_ & DisableFadeOut) == 0 && isVisible()) {
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(std::max(0, GlobalOptions::instance().NotificationBalloonAnimationTime));
        fade->setStartValue(windowOpacity());
        fade->setEndValue(0.0);
        connect(fade, &QPropertyAnimation::finished, this, finish);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
        fade_ = fade;
    } else {
        finish();
    }
}

void CBalloonHelp::timerEvent(QTimerEvent* event) {
    if (event->timerId() != closeTimer_) {
        QWidget::timerEvent(event);
        return;
    }
    const qint64 now = clock_.elapsed();
    if (menuOpen_) closeDeadline_ = now + 2000;
    if (now >= closeDeadline_) {
        killTimer(closeTimer_);
        closeTimer_ = 0;
        hideBalloon();
    }
}

void CBalloonHelp::closeEvent(QCloseEvent* event) {
    // The program closing its windows (on quit): the balloon goes at once,
    // whatever its options, so that it never holds the program up.
    if (!event->spontaneous()) {
        options_ &= ~(DelayClose | kCloseActions);
        options_ |= DisableFadeOut;
        hideBalloon();
        event->accept();
        return;
    }
    event->ignore();
    hideBalloon();
}

// --- mouse

void CBalloonHelp::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && closeButtonRect().contains(event->position().toPoint())) {
        closePushed_ = true;
        updateCloseButton(event->position().toPoint());
    }
}

void CBalloonHelp::mouseMoveEvent(QMouseEvent* event) { updateCloseButton(event->position().toPoint()); }

void CBalloonHelp::updateCloseButton(const QPoint& pos) {
    const bool hot = closeButtonRect().contains(pos);
    if (hot != closeHot_) {
        closeHot_ = hot;
        update(closeButtonRect());
    }
}

void CBalloonHelp::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (closePushed_) {
            closePushed_ = false;
            update(closeButtonRect());
            if (closeButtonRect().contains(pos)) hideBalloon();
            return;
        }
        if (!rect().adjusted(kMargin, kMargin, -kMargin, -kMargin).contains(pos)) return;
        QPointer<CBalloonHelp> self(this);
        if (notification_ && notification_->isClickable()) notification_->onClick();
        if (self) hideBalloon();
    } else if (event->button() == Qt::RightButton) {
        showContextMenu(event->globalPosition().toPoint());
    }
}

void CBalloonHelp::showContextMenu(const QPoint& globalPos) {
    if (!notification_ || notification_->getContextMenuId() < 1) return;
    QMenu* menu = createContextMenu(notification_->getContextMenuId(), this);
    if (menu == nullptr) return;
    QPointer<CBalloonHelp> self(this);
    menuOpen_ = true;
    QAction* chosen = menu->exec(globalPos);
    const int command = chosen != nullptr ? chosen->property("commandId").toInt() : 0;
    if (!self) return;
    menuOpen_ = false;
    menu->deleteLater();
    if (command <= 0 || !notification_) return;
    bool close = false;
    notification_->onContextMenuCommand(command, close);
    if (self && close) hideBalloon();
}

// --- closing on the user's actions, following the anchor window

void CBalloonHelp::installInputFilter() {
    if (inputFilter_) return;
    qApp->installEventFilter(this);
    inputFilter_ = true;
}

void CBalloonHelp::removeInputFilter() {
    if (!inputFilter_) return;
    if (qApp != nullptr) qApp->removeEventFilter(this);
    inputFilter_ = false;
}

bool CBalloonHelp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == anchorWindow_ && event->type() == QEvent::Move && hasWindow_) positionWindow();
    // Only the events as they reach a window: each user action counts once.
    if (inputFilter_ && hasWindow_ && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) {
        bool close = false;
        switch (event->type()) {
            case QEvent::KeyPress:
                close = (options_ & CloseOnKeyPress) != 0;
                break;
            case QEvent::MouseMove:
            case QEvent::NonClientAreaMouseMove:
                if ((options_ & CloseOnMouseMove) != 0) {
                    const QPoint pos = QCursor::pos();
                    close = std::abs(pos.x() - mouseOrigin_.x()) > mouseMoveTolerance_ ||
                            std::abs(pos.y() - mouseOrigin_.y()) > mouseMoveTolerance_;
                }
                break;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::NonClientAreaMouseButtonPress:
            case QEvent::NonClientAreaMouseButtonRelease:
                close = closesOn(options_, event->type(), static_cast<QMouseEvent*>(event)->button());
                break;
            default:
                break;
        }
        if (close)
            QMetaObject::invokeMethod(
                this, [this] { hideBalloon(); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}
