#include "widgets/controls/colourPicker.h"

#include <algorithm>

#include <QApplication>
#include <QColorDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>
#include <qdrawutil.h>

#include "widgets/base/messageBox.h"

namespace ui {

namespace {

constexpr ColourRef rgb(int r, int g, int b) {
    return static_cast<ColourRef>(r) | (static_cast<ColourRef>(g) << 8) | (static_cast<ColourRef>(b) << 16);
}

}  // namespace

const NamedColour kPopupColours[40] = {
    {"Black", rgb(0, 0, 0)},
    {"Brown", rgb(165, 42, 0)},
    {"Dark Olive Green", rgb(0, 64, 64)},
    {"Dark Green", rgb(0, 85, 0)},
    {"Dark Teal", rgb(0, 0, 94)},
    {"Dark blue", rgb(0, 0, 139)},
    {"Indigo", rgb(75, 0, 130)},
    {"Dark grey", rgb(40, 40, 40)},
    {"Dark red", rgb(139, 0, 0)},
    {"Orange", rgb(255, 104, 32)},
    {"Dark yellow", rgb(139, 139, 0)},
    {"Green", rgb(0, 147, 0)},
    {"Teal", rgb(56, 142, 142)},
    {"Blue", rgb(0, 0, 255)},
    {"Blue-grey", rgb(123, 123, 192)},
    {"Grey - 40", rgb(102, 102, 102)},
    {"Red", rgb(255, 0, 0)},
    {"Light orange", rgb(255, 173, 91)},
    {"Lime", rgb(50, 205, 50)},
    {"Sea green", rgb(60, 179, 113)},
    {"Aqua", rgb(127, 255, 212)},
    {"Light blue", rgb(125, 158, 192)},
    {"Violet", rgb(128, 0, 128)},
    {"Grey - 50", rgb(127, 127, 127)},
    {"Pink", rgb(255, 192, 203)},
    {"Gold", rgb(255, 215, 0)},
    {"Yellow", rgb(255, 255, 0)},
    {"Bright green", rgb(0, 255, 0)},
    {"Turquoise", rgb(64, 224, 208)},
    {"Skyblue", rgb(192, 255, 255)},
    {"Plum", rgb(72, 0, 72)},
    {"Light grey", rgb(192, 192, 192)},
    {"Rose", rgb(255, 228, 225)},
    {"Tan", rgb(210, 180, 140)},
    {"Light yellow", rgb(255, 255, 224)},
    {"Pale green ", rgb(152, 251, 152)},
    {"Pale turquoise", rgb(175, 238, 238)},
    {"Pale blue", rgb(104, 131, 139)},
    {"Lavender", rgb(230, 230, 250)},
    {"White", rgb(255, 255, 255)},
};

QColor colourFromRef(ColourRef colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

ColourRef refFromColour(const QColor& colour) { return rgb(colour.red(), colour.green(), colour.blue()); }

// --- the picker

CColourPicker::CColourPicker(QWidget* parent) : QPushButton(parent) {
    background_ = refFromColour(palette().color(QPalette::Button));
    text_ = refFromColour(palette().color(QPalette::ButtonText));
    connect(this, &QPushButton::clicked, this, &CColourPicker::openPopup);
}

CColourPicker::~CColourPicker() {
    if (popup_) delete popup_.data();
}

ColourRef CColourPicker::getColour() const { return selectionMode_ == 1 ? text_ : background_; }

void CColourPicker::setColour(ColourRef colour) {
    (selectionMode_ == 1 ? text_ : background_) = colour;
    update();
}

QSize CColourPicker::sizeHint() const {
    const int arrow = std::max(16, style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    return QSize(std::max(QPushButton::sizeHint().width(), 2 * 2 + 2 * arrow + 30), arrow + 2 * 2 + 4);
}

void CColourPicker::openPopup() {
    if (popup_) return;
    popupOpen_ = true;
    update();
    popup_ = new CColourPopup(mapToGlobal(rect().bottomLeft()), getColour(), this, defaultText_, customText_);
    emit droppedDown(getColour());
}

void CColourPicker::onPopupTracked(ColourRef colour) {
    if (trackSelection_) setColour(colour);
    emit selectionChanged(colour);
}

void CColourPicker::onPopupEnded(ColourRef colour, bool chosen) {
    popupOpen_ = false;
    setColour(colour);
    emit closedUp(colour);
    if (chosen)
        emit selectionEnded(colour);
    else
        emit selectionCancelled(colour);
}

void CColourPicker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QRect area = rect();
    const int edge = 2;
    const int arrow =
        std::min(area.height() - 2 * edge, std::max(16, style()->pixelMetric(QStyle::PM_ScrollBarExtent)));
    qDrawShadePanel(&painter, area, colours, true, edge);
    const QRect arrowRect(area.right() - arrow - edge + 1, area.top() + edge, arrow, area.height() - 2 * edge);
    QStyleOption arrowOption;
    arrowOption.initFrom(this);
    arrowOption.rect = arrowRect;
    if (popupOpen_ || isDown()) arrowOption.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrowOption, &painter, this);
    QRect colourArea = area.adjusted(edge + 1, edge + 1, -edge - 1 - arrow, -edge - 1);
    const bool plain = !isEnabled() || background_ == kColourDefault;
    painter.fillRect(colourArea, plain ? colours.color(QPalette::Button) : colourFromRef(background_));
    if (!text().isEmpty()) {
        if (!isEnabled()) {
            painter.setPen(colours.color(QPalette::Light));
            painter.drawText(colourArea.translated(1, 1), Qt::AlignCenter | Qt::TextSingleLine, text());
            painter.setPen(colours.color(QPalette::Mid));
        } else {
            painter.setPen(text_ == kColourDefault ? QColor(Qt::black) : colourFromRef(text_));
        }
        painter.drawText(colourArea, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = colourArea.adjusted(-1, -1, 1, 1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

// --- the pop-up

CColourPopup::CColourPopup(const QPoint& position, ColourRef initial, CColourPicker* picker, const QString& defaultText,
                           const QString& customText)
    : QWidget(picker, Qt::Popup),
      defaultText_(defaultText),
      customText_(customText),
      initialColour_(initial),
      chosen_(initial),
      picker_(picker) {
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    margin_ = std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    if (18 - 2 * margin_ - 2 < 5) box_ = 2 * margin_ + 7;
    move(position);
    layoutCells();
    for (int i = 0; i < kCount; ++i)
        if (kPopupColours[i].colour == initial) {
            initial_ = i;
            break;
        }
    if (initial == kColourDefault && !defaultText_.isEmpty())
        initial_ = DefaultCell;
    else if (initial_ == NoCell && !customText_.isEmpty())
        initial_ = CustomCell;
    current_ = initial_;

    // Keep it on the screen; open above the picker when there is no room below.
    QRect area = QGuiApplication::primaryScreen()->geometry();
    if (QScreen* screen = QGuiApplication::screenAt(position)) area = screen->geometry();
    QRect frame = geometry();
    if (frame.right() > area.right()) frame.moveRight(area.right());
    if (frame.left() < area.left()) frame.moveLeft(area.left());
    if (frame.bottom() > area.bottom() && picker) frame.moveTop(frame.top() - picker->height() - frame.height());
    setGeometry(frame);
    show();
    setFocus(Qt::PopupFocusReason);
}

CColourPopup::~CColourPopup() = default;

void CColourPopup::layoutCells() {
    const QFontMetrics metrics(font());
    QSize textArea;
    if (!defaultText_.isEmpty() || !customText_.isEmpty()) {
        textArea = QSize(std::max(metrics.horizontalAdvance(defaultText_), metrics.horizontalAdvance(customText_)),
                         metrics.height());
        textArea.setHeight(textArea.height() + 2 * margin_ + 2);
    }
    int width = kColumns * box_ + 2 * margin_;
    int height = kRows * box_ + 2 * margin_;
    if (!defaultText_.isEmpty()) {
        width = std::max(width, textArea.width() + 4 * margin_);
        defaultRect_ = QRect(margin_, margin_, width - 2 * margin_, textArea.height());
        height += textArea.height() + 2 * margin_;
    }
    if (!customText_.isEmpty()) {
        width = std::max(width, textArea.width() + 4 * margin_);
        customRect_ = QRect(margin_, height, width - 2 * margin_, textArea.height());
        height += textArea.height() + 2 * margin_;
    }
    if (!defaultText_.isEmpty()) defaultRect_.setWidth(width - 2 * margin_);
    resize(width, height);
}

QRect CColourPopup::cellRect(int cell) const {
    if (cell == DefaultCell) return defaultRect_;
    if (cell == CustomCell) return customRect_;
    if (cell < 0 || cell >= kCount) return {};
    const int top = margin_ + (defaultText_.isEmpty() ? 0 : defaultRect_.height() + margin_);
    return QRect((cell % kColumns) * box_ + margin_, (cell / kColumns) * box_ + top, box_, box_);
}

int CColourPopup::cellAt(const QPoint& point) const {
    if (!customText_.isEmpty() && customRect_.contains(point)) return CustomCell;
    if (!defaultText_.isEmpty() && defaultRect_.contains(point)) return DefaultCell;
    for (int i = 0; i < kCount; ++i)
        if (cellRect(i).contains(point)) return i;
    return NoCell;
}

void CColourPopup::select(int cell) {
    if (cell == current_) return;
    current_ = cell;
    update();
    if (cell == CustomCell) {
        if (picker_) picker_->onPopupTracked(initialColour_);
        return;
    }
    chosen_ = cell == DefaultCell ? kColourDefault : cell >= 0 ? kPopupColours[cell].colour : chosen_;
    if (picker_) picker_->onPopupTracked(chosen_);
}

int CColourPopup::firstExtra(bool customFirst) const {
    const bool hasDefault = !defaultText_.isEmpty();
    const bool hasCustom = !customText_.isEmpty();
    if (customFirst) return hasCustom ? CustomCell : hasDefault ? DefaultCell : 0;
    return hasDefault ? DefaultCell : hasCustom ? CustomCell : lastColour();
}

void CColourPopup::keyPressEvent(QKeyEvent* event) {
    const bool hasDefault = !defaultText_.isEmpty();
    const bool hasCustom = !customText_.isEmpty();
    int cell = current_;
    switch (event->key()) {
        case Qt::Key_Down:
            if (cell == DefaultCell)
                cell = 0;
            else if (cell == CustomCell)
                cell = hasDefault ? DefaultCell : 0;
            else if (cell < 0)
                cell = 0;
            else if (cell + kColumns < kCount)
                cell += kColumns;
            else
                cell = firstExtra(true);
            break;
        case Qt::Key_Up:
            if (cell == DefaultCell)
                cell = hasCustom ? CustomCell : lastColour();
            else if (cell == CustomCell)
                cell = lastColour();
            else if (cell < 0)
                cell = lastColour();
            else if (cell >= kColumns)
                cell -= kColumns;
            else
                cell = firstExtra(false);
            break;
        case Qt::Key_Right:
            if (cell == DefaultCell)
                cell = 0;
            else if (cell == CustomCell)
                cell = hasDefault ? DefaultCell : 0;
            else if (cell < 0)
                cell = 0;
            else if (cell + 1 < kCount)
                cell += 1;
            else
                cell = firstExtra(true);
            break;
        case Qt::Key_Left:
            if (cell == DefaultCell)
                cell = hasCustom ? CustomCell : lastColour();
            else if (cell == CustomCell)
                cell = lastColour();
            else if (cell <= 0)
                cell = firstExtra(false);
            else
                cell -= 1;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            endSelection(true);
            return;
        case Qt::Key_Escape:
            chosen_ = initialColour_;
            endSelection(false);
            return;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    select(cell);
}

void CColourPopup::mouseMoveEvent(QMouseEvent* event) {
    const int cell = cellAt(event->position().toPoint());
    if (cell != NoCell) select(cell);
}

void CColourPopup::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (rect().contains(point)) {
        const int cell = cellAt(point);
        if (cell != NoCell) select(cell);
        endSelection(true);
    } else {
        endSelection(false);
    }
}

bool CColourPopup::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int cell = cellAt(help->pos());
        if (cell >= 0)
            QToolTip::showText(help->globalPos(), QString::fromUtf8(kPopupColours[cell].name), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void CColourPopup::closeEvent(QCloseEvent* event) {
    // Closed from outside (a click elsewhere, another application): a cancel.
    if (!ended_ && !inColourDialog_) {
        ended_ = true;
        chosen_ = initialColour_;
        if (picker_) picker_->onPopupEnded(chosen_, false);
    }
    QWidget::closeEvent(event);
}

void CColourPopup::endSelection(bool choose) {
    if (ended_ || inColourDialog_) return;
    if (choose && current_ == CustomCell) {
        inColourDialog_ = true;
        hide();
        QColorDialog dialog(colourFromRef(initialColour_ == kColourDefault ? 0 : initialColour_), picker_);
        const bool accepted = dialogs::runModal(dialog) == QDialog::Accepted;
        inColourDialog_ = false;
        if (accepted)
            chosen_ = refFromColour(dialog.currentColor());
        else
            choose = false;
    }
    if (!choose) chosen_ = initialColour_;
    ended_ = true;
    if (picker_) picker_->onPopupEnded(chosen_, choose);
    close();
}

void CColourPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Button));
    const auto drawEdges = [&](const QRect& cell, int index) {
        if (index == current_) qDrawShadePanel(&painter, cell, colours, false, 1);
        if (index == initial_) qDrawShadePanel(&painter, cell, colours, true, 1);
    };
    const auto drawButton = [&](const QRect& area, int index, const QString& caption) {
        painter.fillRect(area, index == initial_ && index != current_ ? colours.color(QPalette::Midlight)
                                                                      : colours.color(QPalette::Button));
        drawEdges(area, index);
        painter.setPen(colours.color(QPalette::ButtonText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, caption);
    };
    if (!defaultText_.isEmpty()) drawButton(defaultRect_, DefaultCell, defaultText_);
    for (int i = 0; i < kCount; ++i) {
        const QRect cell = cellRect(i);
        painter.fillRect(
            cell, i == initial_ && i != current_ ? colours.color(QPalette::Light) : colours.color(QPalette::Button));
        drawEdges(cell, i);
        const QRect swatch = cell.adjusted(margin_ + 1, margin_ + 1, -margin_ - 1, -margin_ - 1);
        painter.fillRect(swatch, colourFromRef(kPopupColours[i].colour));
        painter.setPen(colours.color(QPalette::Mid));
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    }
    if (!customText_.isEmpty()) {
        const int y = customRect_.top() - margin_;
        painter.setPen(colours.color(QPalette::Mid));
        painter.drawLine(2 * margin_, y, width() - 2 * margin_, y);
        painter.setPen(colours.color(QPalette::Light));
        painter.drawLine(2 * margin_, y + 1, width() - 2 * margin_, y + 1);
        drawButton(customRect_, CustomCell, customText_);
    }
    qDrawShadePanel(&painter, rect(), colours, false, 1);
}

}  // namespace ui
