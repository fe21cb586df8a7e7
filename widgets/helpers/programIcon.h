#pragma once
// The program's icon and the frames of the tray icon's animation, drawn in
// code (the program ships no icon files). User-interface thread only.
#include <QIcon>
#include <vector>

class QColor;
class QPainter;
class QRectF;

// The feed symbol (a dot and two arcs from the lower left corner) in a
// square box.
void drawFeedSymbol(QPainter& painter, const QRectF& box, const QColor& colour);
// The program's icon (a feed symbol on an orange tile).
QIcon programIcon();
// Frame `index` of `count`: the same symbol with a ring of light turning
// once around the tile over the frames.
QIcon animationFrame(int index, int count);
