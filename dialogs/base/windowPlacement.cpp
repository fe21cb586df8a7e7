#include "dialogs/base/windowPlacement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace dialogs {

namespace {

QRect workAreaFor(const QWidget* window, const QWidget* parent) {
  const QScreen* screen = parent ? parent->screen() : window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

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
    if (x + size.width() > workArea.left() + workArea.width()) x = workArea.left() + workArea.width() - size.width();
    if (y + size.height() > workArea.top() + workArea.height()) y = workArea.top() + workArea.height() - size.height();
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
