#include "widgets/helpers/programIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

constexpr int kSide = 32;

void drawTile(QPainter& painter, const QColor& tile) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(1, 1, kSide - 2, kSide - 2), 6, 6);
    drawFeedSymbol(painter, QRectF(0, 0, kSide, kSide), Qt::white);
}

}  // namespace

void drawFeedSymbol(QPainter& painter, const QRectF& box, const QColor& colour) {
    // Drawn on a 32-unit square, scaled to the box.
    const qreal unit = box.width() / kSide;
    auto at = [&](qreal x, qreal y) { return QPointF(box.left() + x * unit, box.top() + y * unit); };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(at(9, 23), 3 * unit, 3 * unit);
    QPen pen(colour, 3.5 * unit);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(at(-3, 11), QSizeF(24 * unit, 24 * unit)), 0 * 16, 90 * 16);
    painter.drawArc(QRectF(at(-11, 3), QSizeF(40 * unit, 40 * unit)), 0 * 16, 90 * 16);
    painter.restore();
}

QIcon programIcon() {
    static const QIcon icon = [] {
        QPixmap pixmap(kSide, kSide);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawTile(painter, QColor(236, 112, 20));
        painter.end();
        return QIcon(pixmap);
    }();
    return icon;
}

QIcon animationFrame(int index, int count) {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    // The tile brightens and darkens once over the cycle, with a spot of
    // light going round it.
    const double phase = count > 0 ? static_cast<double>(index % count) / count : 0.0;
    const double pulse = 0.5 + 0.5 * std::cos(phase * 2 * M_PI);
    drawTile(painter, QColor(236, static_cast<int>(70 + 90 * pulse), static_cast<int>(20 + 40 * pulse)));
    const double angle = phase * 2 * M_PI;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 200));
    painter.drawEllipse(QPointF(16 + 12 * std::sin(angle), 16 - 12 * std::cos(angle)), 3, 3);
    painter.end();
    return QIcon(pixmap);
}
