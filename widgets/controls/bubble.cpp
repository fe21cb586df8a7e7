#include "widgets/controls/bubble.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace ui {

namespace {

constexpr int kShadow = 5;
constexpr int kBorder = 1;  // the system border width

// An 8 by 8 checkerboard: rows alternate 0xAA and 0x55.
QBrush checkerBrush() {
    QImage image(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int bits = (y % 2 == 0) ? 0xAA : 0x55;
            const bool set = bits & (0x80 >> x);
            image.setPixel(x, y, set ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255));
        }
    return QBrush(image);
}

}  // namespace

CBcgBubble::CBcgBubble() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(QApplication::font("QToolTip"));
}

CBcgBubble::~CBcgBubble() = default;

bool CBcgBubble::create(QWidget* owner, bool shadow) {
    shadow_ = shadow;
    if (owner) {
        setParent(owner, windowFlags());
    }
    setGeometry(QRect());
    return true;
}

void CBcgBubble::layoutText(const QString& text) {
    centred_ = true;
    lines_.clear();
    const QFontMetrics metrics(font());
    lineHeight_ = metrics.height() + metrics.leading();
    int height = 6 * kBorder;
    height += 5 * static_cast<int>(text.count(QChar('\r')));
    int widest = 0;
    const QStringList pieces = text.split(QChar('\n'));
    if (pieces.size() > 1) centred_ = false;
    for (QString piece : pieces) {
        if (piece.isEmpty()) piece = QStringLiteral(" ");
        QString shown = piece;
        shown.remove(QChar('\r'));
        widest = std::max(widest, metrics.horizontalAdvance(shown));
        lines_ << piece;
        height += lineHeight_;
    }
    int width = widest + 6 * kBorder + 10;
    if (shadow_) {
        width += kShadow;
        height += kShadow;
    }
    resize(width, height);
}

void CBcgBubble::show(int x, int y, const QString& text) {
    if (isVisible() && text == currentText_ && QPoint(x, y) == currentPosition_) return;
    layoutText(text);
    QRect area(0, 0, 1 << 20, 1 << 20);
    if (QScreen* screen = QGuiApplication::screenAt(QPoint(x, y)) ? QGuiApplication::screenAt(QPoint(x, y))
                                                                  : QGuiApplication::primaryScreen())
        area = screen->geometry();
    if (x + width() > area.right() + 1) x = area.right() + 1 - width();
    if (y + height() > area.bottom() + 1 - 20) y = area.bottom() + 1 - 20 - height();
    move(x, y);
    QWidget::show();
    update();
    ++showCount_;
    currentText_ = text;
    currentPosition_ = pos();
}

void CBcgBubble::hide() {
    QWidget::hide();
    currentText_.clear();
}

void CBcgBubble::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = QApplication::palette("QToolTip");
    QRect box = rect();
    if (shadow_) box.adjust(0, 0, -kShadow, -kShadow);
    painter.fillRect(box, colours.color(QPalette::ToolTipBase));
    painter.setPen(colours.color(QPalette::Mid));
    painter.drawLine(box.topLeft(), box.topRight());
    painter.drawLine(box.topLeft(), box.bottomLeft());
    painter.setPen(colours.color(QPalette::Shadow));
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomRight());

    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int x = 5;
    int y = box.top() + 3 * kBorder;
    for (QString line : lines_) {
        if (line.startsWith(QChar('\r'))) {
            painter.setPen(Qt::white);
            painter.drawLine(x, y, box.right() - x, y);
            painter.setPen(Qt::black);
            painter.drawLine(x, y + 1, box.right() - 5, y + 1);
            line.remove(0, 1);
            y += 5;
        }
        painter.setPen(colours.color(QPalette::ToolTipText));
        const QRect lineRect(x, y, box.right() - x, metrics.height() + metrics.leading());
        painter.drawText(lineRect,
                         (centred_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += lineHeight_;
    }
    if (shadow_) {
        static const QBrush pattern = checkerBrush();
        painter.fillRect(QRect(box.left() + kShadow, box.bottom() + 1, box.width(), kShadow), pattern);
        painter.fillRect(QRect(box.right() + 1, box.top() + kShadow, kShadow, box.height()), pattern);
    }
}

}  // namespace ui
