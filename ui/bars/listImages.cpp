#include "ui/bars/listImages.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <map>

namespace {
constexpr int S = kListImageSize;

const QColor kFeedOrange(0xF0, 0x8A, 0x24);
const QColor kGrey(0x9A, 0x9A, 0x9A);
const QColor kBlue(0x2A, 0x6F, 0xD6);
const QColor kGold(0xF5, 0xC2, 0x1B);

// The feed sign: a dot in the lower left corner and two arcs around it.
void drawFeedSign(QPainter& p, const QRect& r, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
    p.setBrush(Qt::white);
    const QPointF origin(r.left() + 4.5, r.bottom() - 3.5);
    p.drawEllipse(origin, 1.6, 1.6);
    QPen arc(Qt::white, 1.6);
    arc.setCapStyle(Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    for (double radius : {5.0, 8.5}) {
        p.drawArc(QRectF(origin.x() - radius, origin.y() - radius, 2 * radius, 2 * radius), 0, 90 * 16);
    }
}

// A five-pointed star, for "new".
void drawStar(QPainter& p, const QPointF& centre, double radius, const QColor& colour) {
    QPainterPath path;
    for (int k = 0; k < 10; ++k) {
        const double angle = -M_PI / 2 + k * M_PI / 5;
        const double d = k % 2 == 0 ? radius : radius * 0.45;
        const QPointF point(centre.x() + d * std::cos(angle), centre.y() + d * std::sin(angle));
        if (k == 0) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    path.closeSubpath();
    p.setPen(QPen(colour.darker(160), 0.8));
    p.setBrush(colour);
    p.drawPath(path);
}

// A round badge holding a number (or "19+").
void drawCount(QPainter& p, const QRect& r, const QString& text) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 2.5, -0.5, -2.5), 5, 5);
    QFont font = p.font();
    font.setPixelSize(text.size() > 2 ? 7 : 9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
}

// A page with lines of text, for the read-me list.
void drawPage(QPainter& p, const QRect& r) {
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r).adjusted(2.5, 0.5, -3.5, -0.5));
    p.setPen(QPen(kBlue, 1));
    for (int y = 4; y <= 12; y += 3) p.drawLine(r.left() + 5, r.top() + y, r.right() - 6, r.top() + y);
}

// Two joined pieces, for the plug-ins.
void drawPieces(QPainter& p, const QRect& r) {
    p.setPen(QPen(QColor(0x2E, 0x7D, 0x32), 1));
    p.setBrush(QColor(0x66, 0xBB, 0x6A));
    p.drawRect(QRectF(r).adjusted(1.5, 5.5, -8.5, -1.5));
    p.setBrush(QColor(0x42, 0xA5, 0xF5));
    p.setPen(QPen(QColor(0x15, 0x65, 0xC0), 1));
    p.drawRect(QRectF(r).adjusted(7.5, 1.5, -1.5, -6.5));
    p.drawEllipse(QPointF(r.left() + 8, r.top() + 9), 2, 2);
}

void drawImage(QPainter& p, int listId, int index, const QRect& r) {
    switch (listId) {
        case kControlCenterTabImages:
            if (index == 0) drawFeedSign(p, r, kFeedOrange);
            if (index == 1) drawPieces(p, r);
            break;
        case kItemViewImages:
            if (index == 0) drawFeedSign(p, r.adjusted(2, 2, -2, -2), kGrey);
            if (index == 1) {
                drawFeedSign(p, r.adjusted(2, 2, -2, -2), kFeedOrange);
                drawStar(p, QPointF(r.right() - 3.5, r.top() + 3.5), 3.5, kGold);
            }
            if (index == 2) drawFeedSign(p, r.adjusted(2, 2, -2, -2), kFeedOrange);
            break;
        case kMyChannelsImages:
            if (index == 0) drawFeedSign(p, r, kGrey);
            if (index == 1) {
                drawFeedSign(p, r, kFeedOrange);
                drawStar(p, QPointF(r.right() - 3.5, r.top() + 3.5), 4, kGold);
            }
            if (index >= 2 && index <= 20) drawCount(p, r, QString::number(index - 1));
            if (index == 21) drawCount(p, r, QStringLiteral("19+"));
            break;
        case kWorkPadTabImages:
            drawPage(p, r);
            break;
        case kChannelWindowIcon:
            drawFeedSign(p, r, kFeedOrange);
            break;
        default:
            break;
    }
}

QPixmap makeStrip(int listId) {
    const int n = listImageCount(listId);
    if (n == 0) return {};
    QPixmap strip(n * S, S);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int index = 0; index < n; ++index) {
        p.save();
        drawImage(p, listId, index, QRect(index * S, 0, S, S));
        p.restore();
    }
    return strip;
}

// The images drawn so far; emptied when the application object goes, so no
// pixmap outlives it.
struct Cache {
    std::map<int, QPixmap> strips;
    std::map<std::pair<int, int>, QIcon> icons;
};
Cache& cache() {
    static Cache* c = [] {
        qAddPostRoutine([] {
            cache().strips.clear();
            cache().icons.clear();
        });
        return new Cache;
    }();
    return *c;
}
}  // namespace

int listImageCount(int listId) {
    switch (listId) {
        case kControlCenterTabImages:
            return 2;
        case kItemViewImages:
            return 3;
        case kMyChannelsImages:
            return 22;
        case kWorkPadTabImages:
            return 1;
        case kChannelWindowIcon:
            return 1;
        default:
            return 0;
    }
}

const QPixmap& listImageStrip(int listId) {
    auto& strips = cache().strips;
    auto it = strips.find(listId);
    if (it == strips.end()) it = strips.emplace(listId, makeStrip(listId)).first;
    return it->second;
}

QIcon listImage(int listId, int index) {
    auto& icons = cache().icons;
    if (index < 0 || index >= listImageCount(listId)) return {};
    auto key = std::make_pair(listId, index);
    auto it = icons.find(key);
    if (it == icons.end()) it = icons.emplace(key, QIcon(listImageStrip(listId).copy(index * S, 0, S, S))).first;
    return it->second;
}
