#include "widgets/controls/timeIntervalsCtrl.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTime>

#include "widgets/controls/bubble.h"

namespace ui {

namespace {

constexpr qint64 kDay = 86400;
constexpr qint64 kStep = 15 * 60;  // keyboard and pointer steps
constexpr int kMergeDelayMs = 500;
constexpr int kHoverDelayMs = 1000;

void drawFrame(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

}  // namespace

CBCGTimeIntervalsCtrl::CBCGTimeIntervalsCtrl(QWidget* parent) : QWidget(parent), referenceDate_(QDate::currentDate()) {
    const QPalette& colours = palette();
    intervalTextColor_ = colours.color(QPalette::ButtonText);
    backgroundColor_ = colours.color(QPalette::Button);
    foregroundColor_ = colours.color(QPalette::ButtonText);
    labelFont_ = QFont(QStringLiteral("Arial"));
    labelFont_.setPixelSize(13);
    barFont_ = QFont(QStringLiteral("Arial"));
    barFont_.setPixelSize(12);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    bubble_ = std::make_unique<CBcgBubble>();
    bubble_->create(this, true);
    bubble_->hide();
    buildFormats();
    layoutGrid();
}

CBCGTimeIntervalsCtrl::~CBCGTimeIntervalsCtrl() = default;

// --- time texts

void CBCGTimeIntervalsCtrl::buildFormats() {
    const QString localeFormat = QLocale::system().timeFormat(QLocale::ShortFormat);
    twentyFourHours_ = !localeFormat.contains(QLatin1Char('a'), Qt::CaseInsensitive);
    QString separator;
    for (const QChar c : localeFormat)
        if (!c.isLetter() && !c.isSpace()) {
            separator = c;
            break;
        }
    const bool leadingZero =
        localeFormat.startsWith(QStringLiteral("HH")) || localeFormat.startsWith(QStringLiteral("hh"));
    if (twentyFourHours_) {
        hourFormat_ = leadingZero ? QStringLiteral("HH") : QStringLiteral("H");
        timeFormat_ = hourFormat_ + separator + QStringLiteral("mm");
        fullTimeFormat_ = timeFormat_;
    } else {
        hourFormat_ = QStringLiteral("h AP");
        timeFormat_ = QStringLiteral("h") + separator + QStringLiteral("mm");
        fullTimeFormat_ = timeFormat_ + QStringLiteral(" AP");
    }
}

QString CBCGTimeIntervalsCtrl::formatTime(qint64 seconds, const QString& format) const {
    if (seconds >= kDay && twentyFourHours_) {
        // The end of the day reads 24:00, not 00:00.
        QString text = QTime(0, 0).toString(format);
        const int hourLength = format.startsWith(QStringLiteral("HH")) ? 2 : 1;
        return QStringLiteral("24") + text.mid(hourLength);
    }
    return QTime(0, 0).addSecs(static_cast<int>(seconds % kDay)).toString(format);
}

QString CBCGTimeIntervalsCtrl::intervalText(const CTimeInterval& period, bool withTimes) const {
    QString text;
    if (withTimes)
        text = formatTime(period.start, fullTimeFormat_) + QStringLiteral(" - ") +
               formatTime(period.end, fullTimeFormat_) + QLatin1Char('\n');
    qint64 span = period.end - period.start;
    if (span % 60 > 30) span += 60;
    qint64 hours = span / 3600;
    const qint64 minutes = (span % 3600) / 60;
    QString length;
    if (hours != 0) length = QStringLiteral("%1 h").arg(hours);
    if (minutes != 0)
        length += (length.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("%1 m").arg(minutes);
    return text + length;
}

// --- geometry

QRect CBCGTimeIntervalsCtrl::innerRect() const { return rect().adjusted(12, 12, -12, -12); }

void CBCGTimeIntervalsCtrl::layoutGrid() {
    const int cy = height();
    hourHeight_ = std::max(0, (cy - 30) / 24);
    const QFontMetrics metrics(labelFont_);
    int widest = 0;
    for (int hour = 0; hour <= 24; ++hour)
        widest = std::max(widest, metrics.horizontalAdvance(formatTime(hour * 3600, hourFormat_)));
    headerWidth_ = widest + 5;
    labelStep_ = 0;
    for (const int step : {1, 2, 3, 4, 6, 8, 12})
        if ((cy - 20) * step / 25 > metrics.height() * 3 / 2) {
            labelStep_ = step;
            break;
        }
    textHeightThreshold_ = 2 * metrics.height() + 4;
}

int CBCGTimeIntervalsCtrl::timeToY(qint64 seconds) const {
    const qint64 clamped = std::clamp<qint64>(seconds, 0, kDay);
    const int hour = static_cast<int>(clamped / 3600);
    const int minute = static_cast<int>((clamped % 3600) / 60);
    return innerRect().top() + hourHeight_ * hour + minute * hourHeight_ / 60 + hourHeight_ / 2;
}

QRect CBCGTimeIntervalsCtrl::barRect(const CTimeInterval& period) const {
    const QRect inner = innerRect();
    return QRect(QPoint(inner.left() + headerWidth_, timeToY(period.start)),
                 QPoint(inner.right(), timeToY(period.end)));
}

QRect CBCGTimeIntervalsCtrl::intervalRect(int index) const {
    if (index < 0 || index >= getIntervalCount()) return {};
    return barRect(*periods_[static_cast<size_t>(index)]);
}

bool CBCGTimeIntervalsCtrl::timeAt(int y, int x, bool strict, qint64& seconds) const {
    const QRect inner = innerRect();
    if (hourHeight_ <= 0) return false;
    if (strict && (x < inner.left() + headerWidth_ || x > inner.right() || y < inner.top() || y > inner.bottom()))
        return false;
    const int offset = std::max(0, y - inner.top() - hourHeight_ / 2);
    int hour = offset / hourHeight_;
    int minute = (offset % hourHeight_) * 60 / hourHeight_;
    minute -= minute % 15;
    if (hour > 24 || (hour == 24 && minute != 0)) {
        if (strict) return false;
        hour = 24;
        minute = 0;
    }
    seconds = hour * 3600 + minute * 60;
    return true;
}

int CBCGTimeIntervalsCtrl::hitTest(const QPoint& point, CTimeInterval** period) const {
    *period = nullptr;
    if (multiplySelection_ && (point.x() < 0 || point.x() >= width())) return Outside;
    for (const auto& each : periods_) {
        const QRect bar = barRect(*each);
        if (point.x() < bar.left() || point.x() > bar.right()) continue;
        *period = each.get();
        if (std::abs(bar.top() - point.y()) < 2) return StartEdge;
        if (std::abs(bar.bottom() - point.y() - 1) < 2) return EndEdge;
        if (point.y() > bar.top() && point.y() < bar.bottom()) return WholePeriod;
        *period = nullptr;
    }
    return Idle;
}

// --- the list

int CBCGTimeIntervalsCtrl::collision(const CTimeInterval& x, const CTimeInterval* skip, CTimeInterval** other) const {
    for (const auto& each : periods_) {
        const CTimeInterval& o = *each;
        if (&o == skip || &o == &x) continue;
        *other = each.get();
        if (x.end <= o.start || o.end <= x.start) continue;
        if ((x.start > o.start && x.end < o.end) || (o.start > x.start && o.end < x.end)) return 1;
        if (x.end > o.start && x.start < o.start) return 2;
        if (x.start < o.end && x.end > o.end) return 3;
        // Equal periods, or a shared start or end with one inside the other.
        return 1;
    }
    *other = nullptr;
    return 0;
}

int CBCGTimeIntervalsCtrl::indexOf(const CTimeInterval* period) const {
    for (size_t i = 0; i < periods_.size(); ++i)
        if (periods_[i].get() == period) return static_cast<int>(i);
    return -1;
}

void CBCGTimeIntervalsCtrl::insertSorted(std::unique_ptr<CTimeInterval> period) {
    auto at = std::find_if(periods_.begin(), periods_.end(),
                           [&](const std::unique_ptr<CTimeInterval>& each) { return each->start >= period->start; });
    periods_.insert(at, std::move(period));
}

void CBCGTimeIntervalsCtrl::resort(CTimeInterval* period) {
    const int index = indexOf(period);
    if (index < 0) return;
    std::unique_ptr<CTimeInterval> owned = std::move(periods_[static_cast<size_t>(index)]);
    periods_.erase(periods_.begin() + index);
    insertSorted(std::move(owned));
}

void CBCGTimeIntervalsCtrl::forget(const CTimeInterval* period) {
    if (!period) return;
    if (selected_ == period) selected_ = nullptr;
    if (hover_ == period) {
        hover_ = nullptr;
        hoverRect_ = QRect();
        hoverTimer_.stop();
    }
    if (dragged_ == period) {
        dragged_ = nullptr;
        dragMode_ = Idle;
    }
    if (mergeFirst_ == period || mergeSecond_ == period) stopMergeTimer();
}

std::unique_ptr<CTimeInterval> CBCGTimeIntervalsCtrl::takePeriod(CTimeInterval* period) {
    forget(period);
    const int index = indexOf(period);
    if (index < 0) return nullptr;
    std::unique_ptr<CTimeInterval> owned = std::move(periods_[static_cast<size_t>(index)]);
    periods_.erase(periods_.begin() + index);
    update();
    return owned;
}

void CBCGTimeIntervalsCtrl::stopMergeTimer() {
    mergeTimer_.stop();
    mergeFirst_ = mergeSecond_ = nullptr;
}

bool CBCGTimeIntervalsCtrl::getInterval(int index, QDateTime& start, QDateTime& end, int& status) const {
    if (index < 0 || index >= getIntervalCount()) return false;
    const CTimeInterval& period = *periods_[static_cast<size_t>(index)];
    const QDateTime midnight(referenceDate_, QTime(0, 0), Qt::UTC);
    start = midnight.addSecs(period.start);
    end = midnight.addSecs(period.end);
    status = period.status;
    return true;
}

bool CBCGTimeIntervalsCtrl::addInterval(const QDateTime& start, const QDateTime& end, int status) {
    if (!multiplySelection_ || !start.isValid() || !end.isValid()) return false;
    auto period = std::make_unique<CTimeInterval>();
    period->start = start.time().hour() * 3600 + start.time().minute() * 60;
    period->end = period->start + start.secsTo(end);
    period->status = status;
    CTimeInterval* other = nullptr;
    if (period->end <= period->start || period->end > kDay || collision(*period, nullptr, &other) != 0) return false;
    CTimeInterval* added = period.get();
    insertSorted(std::move(period));
    update(barRect(*added).adjusted(-2, -2, 2, 2));
    return true;
}

bool CBCGTimeIntervalsCtrl::changeInterval(int index, const QDateTime& start, const QDateTime& end, int status) {
    if (!multiplySelection_ || index < 0 || index >= getIntervalCount()) return false;
    std::unique_ptr<CTimeInterval> old = takePeriod(periods_[static_cast<size_t>(index)].get());
    if (addInterval(start, end, status)) return true;
    insertSorted(std::move(old));
    return false;
}

bool CBCGTimeIntervalsCtrl::removeInterval(int index) {
    if (!multiplySelection_ || index < 0 || index >= getIntervalCount()) return false;
    takePeriod(periods_[static_cast<size_t>(index)].get());
    return true;
}

void CBCGTimeIntervalsCtrl::removeAllIntervals() {
    if (!multiplySelection_) return;
    cancelDrag();
    while (!periods_.empty()) takePeriod(periods_.back().get());
    update();
}

int CBCGTimeIntervalsCtrl::getCurSel() const { return indexOf(selected_); }

bool CBCGTimeIntervalsCtrl::setCurSel(int index) {
    if (index < 0 || index >= getIntervalCount()) return false;
    if (multiplySelection_) selected_ = periods_[static_cast<size_t>(index)].get();
    update();
    return true;
}

bool CBCGTimeIntervalsCtrl::setIntervalStatus(int index, int status) {
    if (index < 0 || index >= getIntervalCount()) return false;
    periods_[static_cast<size_t>(index)]->status = status;
    update();
    return true;
}

void CBCGTimeIntervalsCtrl::setStatusColor(int status, const QColor& colour) {
    statusColours_[static_cast<qint16>(status)] = colour;
    update();
}

void CBCGTimeIntervalsCtrl::setMultiplySelection(bool multiple) {
    multiplySelection_ = multiple;
    if (!multiple && getIntervalCount() != 1) {
        cancelDrag();
        multiplySelection_ = true;
        removeAllIntervals();
        const QDateTime midnight(referenceDate_, QTime(0, 0), Qt::UTC);
        addInterval(midnight.addSecs(8 * 3600), midnight.addSecs(17 * 3600), -1);
        multiplySelection_ = false;
        selected_ = nullptr;
        update();
    }
}

void CBCGTimeIntervalsCtrl::setIntervalColor(const QColor& colour) {
    intervalColor_ = colour;
    update();
}
void CBCGTimeIntervalsCtrl::setIntervalTextColor(const QColor& colour) {
    intervalTextColor_ = colour;
    update();
}
void CBCGTimeIntervalsCtrl::setBackgroundColor(const QColor& colour) {
    backgroundColor_ = colour;
    update();
}
void CBCGTimeIntervalsCtrl::setForegroundColor(const QColor& colour) {
    foregroundColor_ = colour;
    update();
}

// --- events

void CBCGTimeIntervalsCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutGrid();
}

void CBCGTimeIntervalsCtrl::focusInEvent(QFocusEvent* event) {
    focused_ = true;
    QWidget::focusInEvent(event);
    update();
}

void CBCGTimeIntervalsCtrl::focusOutEvent(QFocusEvent* event) {
    cancelDrag();
    focused_ = false;
    QWidget::focusOutEvent(event);
    update();
}

void CBCGTimeIntervalsCtrl::hideBubble() {
    bubble_->hide();
    hoverRect_ = QRect();
    hoverTimer_.stop();
}

void CBCGTimeIntervalsCtrl::leaveEvent(QEvent* event) {
    if (dragMode_ == Idle) {
        hideBubble();
        hover_ = nullptr;
    }
    QWidget::leaveEvent(event);
}

void CBCGTimeIntervalsCtrl::cancelDrag() {
    bubble_->hide();
    hover_ = nullptr;
    hoverRect_ = QRect();
    hoverTimer_.stop();
    newPeriod_.reset();
    dragged_ = nullptr;
    stopMergeTimer();
    dragMode_ = Idle;
    freshlyCreated_ = false;
    unsetCursor();
    update();
}

void CBCGTimeIntervalsCtrl::showDragBubble() {
    if (!dragged_) return;
    const QRect screenRect(mapToGlobal(QPoint(0, 0)), size());
    bubble_->show(screenRect.right() + 5, screenRect.top() + screenRect.height() / 2, intervalText(*dragged_, true));
}

void CBCGTimeIntervalsCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    hideBubble();
    const QPoint point = event->position().toPoint();
    buttonDownY_ = point.y();
    qint64 time = 0;
    if (timeAt(point.y(), point.x(), true, time)) {
        CTimeInterval* hit = nullptr;
        const int kind = hitTest(point, &hit);
        if (kind == Idle && multiplySelection_) {
            newPeriod_ = std::make_unique<CTimeInterval>();
            newPeriod_->start = newPeriod_->end = time;
            dragged_ = newPeriod_.get();
            freshlyCreated_ = true;
            dragMode_ = EndEdge;
        } else {
            selected_ = hit;
            dragged_ = hit;
            dragMode_ = hit ? static_cast<DragMode>(kind) : Idle;
        }
        dragAnchor_ = time;
    } else {
        selected_ = nullptr;
    }
    if (dragged_) {
        saved_ = *dragged_;
        showDragBubble();
    }
    update();
}

void CBCGTimeIntervalsCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (!dragged_) {
        CTimeInterval* hit = nullptr;
        const int kind = hitTest(point, &hit);
        setCursor(kind == StartEdge || kind == EndEdge ? Qt::SizeVerCursor
                  : kind == Outside                    ? Qt::ForbiddenCursor
                                                       : Qt::ArrowCursor);
        if (!hoverRect_.contains(point)) {
            hover_ = hit;
            hoverRect_ = hit ? barRect(*hit) : QRect();
            if (hit) {
                hoverTimer_.start(kHoverDelayMs, this);
            } else {
                bubble_->hide();
                hoverTimer_.stop();
            }
        }
        return;
    }
    if (dragMode_ == WholePeriod && multiplySelection_ && (point.x() < 0 || point.x() >= width())) {
        bubble_->hide();
        setCursor(Qt::ForbiddenCursor);
        return;
    }
    if (freshlyCreated_) {
        if (point.y() == buttonDownY_) return;
        dragMode_ = point.y() > buttonDownY_ ? EndEdge : StartEdge;
        freshlyCreated_ = false;
    }
    qint64 time = 0;
    timeAt(point.y(), point.x(), false, time);
    const CTimeInterval before = *dragged_;
    CTimeInterval& period = *dragged_;
    const qint64 length = saved_.end - saved_.start;
    switch (dragMode_) {
        case StartEdge:
            if (time < period.end) period.start = time;
            break;
        case EndEdge:
            if (time > period.start) period.end = time;
            break;
        case WholePeriod:
            period.start = std::clamp<qint64>(saved_.start + (time - dragAnchor_), 0, kDay - length);
            period.end = period.start + length;
            break;
        default:
            return;
    }
    CTimeInterval* other = nullptr;
    const int kind = collision(period, dragged_, &other);
    if (kind == 1) {
        period = before;
        return;
    }
    if (kind == 2) {
        period.end = other->start;
        if (dragMode_ == WholePeriod) period.start = period.end - length;
    } else if (kind == 3) {
        period.start = other->end;
        if (dragMode_ == WholePeriod) period.end = period.start + length;
    }
    if ((kind == 2 || kind == 3) && mergingIsAllowed_ && !newPeriod_) {
        mergeFirst_ = kind == 2 ? dragged_ : other;
        mergeSecond_ = kind == 2 ? other : dragged_;
        mergeTimer_.start(kMergeDelayMs, this);
    } else {
        stopMergeTimer();
    }
    if (!(period == before)) {
        update();
        showDragBubble();
    }
}

void CBCGTimeIntervalsCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    setFocus(Qt::MouseFocusReason);
    bubble_->hide();
    unsetCursor();
    if (mergingIsAllowed_) stopMergeTimer();
    const QPoint point = event->position().toPoint();
    if (dragged_) {
        if (rect().contains(point) && std::abs(point.y() - buttonDownY_) <= 2 && !newPeriod_) {
            *dragged_ = saved_;  // a click changes nothing
        } else if (dragMode_ == WholePeriod && multiplySelection_ && (point.x() < 0 || point.x() >= width())) {
            takePeriod(dragged_);
        } else if (newPeriod_) {
            if (newPeriod_->end > newPeriod_->start) {
                CTimeInterval* added = newPeriod_.get();
                insertSorted(std::move(newPeriod_));
                selected_ = added;
            }
            newPeriod_.reset();
        } else {
            resort(dragged_);
        }
    }
    newPeriod_.reset();
    dragged_ = nullptr;
    dragMode_ = Idle;
    freshlyCreated_ = false;
    update();
}

CTimeInterval* CBCGTimeIntervalsCtrl::keyTarget() const {
    if (multiplySelection_) return selected_;
    return periods_.size() == 1 ? periods_.front().get() : nullptr;
}

void CBCGTimeIntervalsCtrl::moveKey(int key, bool shift) {
    CTimeInterval* period = keyTarget();
    if (!period) return;
    const CTimeInterval before = *period;
    const qint64 length = period->end - period->start;
    switch (key) {
        case Qt::Key_Home:
            period->start = 0;
            if (!shift) period->end = length;
            break;
        case Qt::Key_End:
            period->end = kDay;
            if (!shift) period->start = kDay - length;
            break;
        case Qt::Key_Up:
            period->end -= kStep;
            if (!shift) period->start -= kStep;
            break;
        case Qt::Key_Down:
            period->end += kStep;
            if (!shift) period->start += kStep;
            break;
        default:
            return;
    }
    CTimeInterval* other = nullptr;
    if (period->start >= period->end || period->start < 0 || period->start >= kDay || period->end > kDay ||
        collision(*period, period, &other) != 0) {
        *period = before;
        return;
    }
    resort(period);
    update();
}

bool CBCGTimeIntervalsCtrl::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Keys the control handles itself: the dialog must not take them.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape || key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Up ||
                key == Qt::Key_Down) {
                event->accept();
                return true;
            }
            break;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::NonClientAreaMouseButtonPress:
            if (dragMode_ == Idle) hideBubble();
            break;
        default:
            break;
    }
    return QWidget::event(event);
}

void CBCGTimeIntervalsCtrl::keyPressEvent(QKeyEvent* event) {
    bubble_->hide();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
        case Qt::Key_Escape:
            cancelDrag();
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Up:
        case Qt::Key_Down:
            moveKey(event->key(), shift);
            break;
        case Qt::Key_Delete:
            if (CTimeInterval* period = keyTarget(); period && multiplySelection_) takePeriod(period);
            break;
        default:
            return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void CBCGTimeIntervalsCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == mergeTimer_.timerId()) {
        CTimeInterval* first = mergeFirst_;
        CTimeInterval* second = mergeSecond_;
        stopMergeTimer();
        if (first && second) {
            first->end = std::max(first->end, second->end);
            takePeriod(second);
            // The drag ends with the merge: the merged period is the result.
            dragged_ = nullptr;
            dragMode_ = Idle;
            freshlyCreated_ = false;
            bubble_->hide();
            resort(first);
            update();
        }
        return;
    }
    if (event->timerId() == hoverTimer_.timerId()) {
        hoverTimer_.stop();
        if (!hover_) {
            bubble_->hide();
            return;
        }
        const QRect bar = barRect(*hover_);
        const QPoint at = QCursor::pos() + QPoint(16, 16);
        bubble_->show(at.x(), at.y(), intervalText(*hover_, bar.height() < textHeightThreshold_));
        return;
    }
    QWidget::timerEvent(event);
}

// --- painting

void CBCGTimeIntervalsCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    QRect area = rect();
    painter.fillRect(area, backgroundColor_);
    if (focused_)
        drawFrame(painter, area.adjusted(0, 0, -1, -1), colours.color(QPalette::Mid), colours.color(QPalette::Shadow));
    drawFrame(painter, area.adjusted(1, 1, -2, -2), colours.color(QPalette::Midlight), colours.color(QPalette::Shadow));
    drawFrame(painter, area.adjusted(2, 2, -3, -3), colours.color(QPalette::Light), colours.color(QPalette::Mid));

    const QRect inner = innerRect();
    painter.setFont(labelFont_);
    for (int hour = 0; hour <= 24; ++hour) {
        const int y = timeToY(hour * 3600);
        if (labelStep_ > 0 && hour % labelStep_ == 0) {
            painter.setPen(foregroundColor_);
            const QRect label(inner.left(), y - hourHeight_, headerWidth_ - 5, 2 * hourHeight_);
            painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                             formatTime(hour * 3600, hourFormat_));
        }
        painter.setPen(colours.color(QPalette::Mid));
        painter.drawLine(inner.left() + headerWidth_, y, inner.right(), y);
        painter.setPen(colours.color(QPalette::Midlight));
        painter.drawLine(inner.left() + headerWidth_, y + 1, inner.right(), y + 1);
    }
    const QRect track(QPoint(inner.left() + headerWidth_ + 10, inner.top() + 10),
                      QPoint(inner.right() - 10, inner.bottom() - 10));
    const int grooveWidth = track.width() % 2 ? 3 : 2;
    const QRect groove(track.center().x() - grooveWidth / 2, track.top(), grooveWidth, track.height());
    painter.fillRect(groove, colours.color(QPalette::Button));
    drawFrame(painter, groove, colours.color(QPalette::Mid), colours.color(QPalette::Midlight));

    const QFontMetrics barMetrics(barFont_);
    painter.setFont(barFont_);
    const auto drawPeriod = [&](const CTimeInterval& period, bool selected) {
        QRect bar = barRect(period);
        if (selected) {
            drawFrame(painter, bar, colours.color(QPalette::Shadow), colours.color(QPalette::Shadow));
            bar.adjust(1, 1, -1, -1);
        }
        const auto colour = statusColours_.find(static_cast<qint16>(period.status));
        painter.fillRect(bar, colour != statusColours_.end() ? colour->second : intervalColor_);
        drawFrame(painter, bar, colours.color(QPalette::Light), colours.color(QPalette::Mid));
        if (bar.height() >= barMetrics.height() + 4) {
            painter.setPen(intervalTextColor_);
            const int strip = barMetrics.height() + 2;
            painter.drawText(QRect(bar.left(), bar.top(), bar.width(), strip), Qt::AlignCenter | Qt::TextSingleLine,
                             formatTime(period.start, timeFormat_));
            painter.drawText(QRect(bar.left(), bar.bottom() - strip, bar.width(), strip),
                             Qt::AlignCenter | Qt::TextSingleLine, formatTime(period.end, timeFormat_));
        }
    };
    for (const auto& period : periods_) drawPeriod(*period, multiplySelection_ && period.get() == selected_);
    if (newPeriod_) drawPeriod(*newPeriod_, true);
}

}  // namespace ui
