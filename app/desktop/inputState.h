#pragma once
// The mouse hook and the modifier keys of the user-interface thread.
//
//   installMouseHook();            // start-up: an application-wide event filter
//   isLeftButtonDown();            // kept by the filter, read by nobody else
//   if (getModifierKeyState() == 2) ...   // exactly Ctrl
//   uninstallMouseHook();          // shut-down
class QObject;
class QEvent;

// Bit set of the modifier keys held at the time of the event being
// processed: Shift 1, Ctrl 2, Alt 4.
int getModifierKeyState();

// The filter never swallows an event; a left-button press sets the flag and
// a left-button release clears it.
void installMouseHook();
void uninstallMouseHook();
bool isMouseHookInstalled();
bool isLeftButtonDown();
// What the filter does with one event (for the application filter and tests).
void mouseHookProc(QObject* watched, QEvent* event);
