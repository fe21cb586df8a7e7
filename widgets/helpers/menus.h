#pragma once
// Context menus and toolbars of the windows, and the one-pixel outline they
// draw. User-interface thread only.
#include <QRect>
#include <QString>

#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QPainter;
class QToolBar;
class QWidget;

// Shows the menu at the screen point with menuId as the active context-menu
// id meanwhile; the chosen action is triggered and returned (or null).
QAction* showContextMenu(QWidget* owner, int x, int y, QMenu* menu, int menuId);
// The id of the context menu up now; false when none is.
bool getActiveContextMenuId(int* id);
// A toolbar of the main window with the actions, named name, its object name
// taken from the program's toolbar id counter (from 59632).
QToolBar* createToolbar(QMainWindow* parent, const QString& name, const std::vector<QAction*>& actions);
// One-pixel outline just inside the rectangle.
void drawRectOutline(QPainter& painter, const QRect& rect);
