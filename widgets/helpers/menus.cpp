#include "widgets/helpers/menus.h"

#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QToolBar>

namespace {

int g_activeContextMenuId = -1;
unsigned g_nextToolbarId = 59632;  // 0xE8F0

}  // namespace

QAction* showContextMenu(QWidget* owner, int x, int y, QMenu* menu, int menuId) {
    if (menu == nullptr) return nullptr;
    g_activeContextMenuId = menuId;
    QAction* chosen = menu->exec(QPoint(x, y));
    g_activeContextMenuId = -1;
    (void)owner;
    return chosen;
}

bool getActiveContextMenuId(int* id) {
    if (id != nullptr) *id = g_activeContextMenuId;
    return g_activeContextMenuId != -1;
}

QToolBar* createToolbar(QMainWindow* parent, const QString& name, const std::vector<QAction*>& actions) {
    auto* bar = new QToolBar(name, parent);
    bar->setObjectName(QString("toolbar-%1").arg(g_nextToolbarId++));
    bar->setMovable(true);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (QAction* action : actions) {
        if (action == nullptr) {
            bar->addSeparator();
        } else {
            bar->addAction(action);
        }
    }
    if (parent != nullptr) parent->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

void drawRectOutline(QPainter& painter, const QRect& rect) {
    const QPoint corners[] = {rect.topLeft(), QPoint(rect.right(), rect.top()), rect.bottomRight(),
                              QPoint(rect.left(), rect.bottom()), rect.topLeft()};
    painter.drawPolyline(corners, 5);
}
