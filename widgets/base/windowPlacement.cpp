#include "widgets/base/windowPlacement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace dialogs {

namespace {

QRect workAreaFor(const QWidget* window, const QWidget* parent) {
    const QScreen* screen = parent ? parent->screen() : window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// The window frame's thickness on each side: the real one once the window
// system has framed the window, else what a title bar and thin borders take.
QMargins frameMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    if (window->testAttribute(Qt::WA_WState_Created) && frame != client && frame.contains(client))
        return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                frame.bottom() - client.bottom()};
    return {4, 30, 4, 4};
}

}  // namespace

QRect workAreaOf(const QWidget* window) {
    const QWidget* parent = window ? window->parentWidget() : nullptr;
    return workAreaFor(window, parent ? parent->window() : nullptr);
}

void fitIntoWorkArea(QWidget* window) {
    if (!window) return;
    const QRect workArea = workAreaOf(window);
    if (!workArea.isValid()) return;
    const QMargins frame = frameMargins(window);
    const QRect room = workArea.marginsRemoved(frame);
    QRect client = window->geometry();
    // Shrunk as far as its minimum lets it; a window that cannot get smaller
    // than the work area keeps its top-left corner in sight.
    const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
    QSize size = client.size().boundedTo(room.size()).expandedTo(least);
    if (size != client.size()) client.setSize(size);
    int x = std::min(client.left(), room.right() + 1 - client.width());
    int y = std::min(client.top(), room.bottom() + 1 - client.height());
    x = std::max(x, room.left());
    y = std::max(y, room.top());
    client.moveTopLeft(QPoint(x, y));
    if (client != window->geometry()) window->setGeometry(client);
}

void keepRoomForWrappedText(QWidget* window) {
    QLayout* layout = window ? window->layout() : nullptr;
    if (!layout) return;
    layout->activate();
    if (!layout->hasHeightForWidth()) return;
    // A window's minimum size ignores how tall word-wrapped text gets at that
    // width: at its narrowest, the window keeps the height its text needs (a
    // wider window needs no more).
    const int narrowest = std::max(window->minimumWidth(), layout->totalMinimumSize().width());
    const int height = layout->totalHeightForWidth(narrowest);
    if (height > window->minimumHeight()) window->setMinimumHeight(height);
    if (window->height() < window->minimumHeight()) window->resize(window->width(), window->minimumHeight());
}

void positionDialog(QWidget* window, QWidget* parent) {
    if (!window) return;
    if (!parent) parent = window->parentWidget();
    if (parent) parent = parent->window();
    const QRect workArea = workAreaFor(window, parent);
    const QRect around = parent ? parent->frameGeometry() : workArea;
    const QSize size = window->size();
    int x = around.left() + around.width() / 3;
    int y = around.top() + around.height() / 3;
    if (workArea.isValid()) {
        // Back from the work area's right and bottom edges, but never past its
        // left and top edges (the work area need not start at 0 on a second screen).
        if (x + size.width() > workArea.left() + workArea.width())
            x = workArea.left() + workArea.width() - size.width();
        if (y + size.height() > workArea.top() + workArea.height())
            y = workArea.top() + workArea.height() - size.height();
        x = std::max(x, workArea.left());
        y = std::max(y, workArea.top());
    }
    // The client area is placed: a window's frame is not known before it is shown.
    window->setGeometry(QRect(QPoint(x, y), size));
}

void SaveWindowPlacement::restore(QWidget* window, QWidget* parent) const {
    if (!window) return;
    if (!saved) {
        positionDialog(window, parent);
        return;
    }
    window->setGeometry(placement.normalGeometry);
    window->setWindowState(placement.state);
}

void SaveWindowPlacement::save(const QWidget* window) {
    if (!window) return;
    placement.state = window->windowState() & ~Qt::WindowActive;
    placement.normalGeometry = (placement.state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
                                   ? window->normalGeometry()
                                   : window->geometry();
    saved = true;
}

}  // namespace dialogs
