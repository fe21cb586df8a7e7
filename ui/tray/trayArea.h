#pragma once
// The notification area and windows minimised to it. User-interface thread
// only.
#include <QRect>

class QWidget;

// The tray icon's geometry when the tray knows it, else the bottom-right
// corner (150 x 30) of the primary screen's work area.
void getTrayWindowRect(QRect& rect);
// Where the tray icon is, for getTrayWindowRect (the tray icon installs it).
void setTrayIconGeometryProvider(QRect (*provider)());
bool isMinimizeAnimationEnabled();
// Hides the window (after a short fade when animations are on).
void minimizeToTray(QWidget* window);
// Shows, raises and activates the window.
void restoreFromTray(QWidget* window);
bool isWindowMinimized(const QWidget* window);
