#pragma once
// The window side of the mouse hook and the modifier keys: an
// application-wide event filter that tells the program-wide left-button flag
// about presses and releases of the left button (it never swallows an
// event), and the reader of the modifier keys held for the event being
// handled (app/core/programObjects.h: isLeftButtonDown, getModifierKeyState).
//
//   installMouseHook();      // start-up: the filter and the key reader
//   uninstallMouseHook();    // shut-down
class QObject;
class QEvent;

void installMouseHook();
void uninstallMouseHook();
bool isMouseHookInstalled();
// What the filter does with one event.
void mouseHookProc(QObject* watched, QEvent* event);
// Shift 1, Ctrl 2, Alt 4: the modifier keys held now, asked of the window system.
int readQtModifierKeyState();
