#pragma once
// The user's hotkeys (channel favourites, filters and reports) bound to the
// program's windows.
//
// A hotkey is stored as an accelerator entry: Win32-style virtual-key codes
// ("Ctrl+F5", "Alt+Num +") or a character ("Ctrl+a"), and kept in that text
// form. Here a Qt key press becomes the two forms a stored hotkey can take,
// through one table from virtual-key codes to Qt keys, and the hotkey tables
// are asked for a command. The hotkey box of the organize dialogs takes its
// hotkeys from the same functions, so what it stores is what fires.
//
// The binding is an application-wide event filter: it sees the
// ShortcutOverride of a key before the focus widget does, so a hotkey wins
// over a widget's own key (a line edit's Ctrl+A, a menu shortcut). The
// command is posted to the command target (the main window) and runs once the
// key event is done. Keys go to hotkeys only while no modal window is up and
// hotkeys are enabled (HotkeyTable::setHotkeysEnabled).
//
//   installHotkeyBinding([frame](unsigned id) { frame->runCommand(id); });
//   ...
//   removeHotkeyBinding();
#include <QKeyCombination>
#include <functional>

#include "app/options/hotkey.h"

class QKeyEvent;

namespace ui {

// The virtual-key code of a Qt key (Qt::KeypadModifier picks the keypad
// codes), 0 when the table has none. scanCode is the native scan code of the
// press, used for shifted digits on layouts the table does not know (0: none).
unsigned short virtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode = 0);

// The forms a key press can match: the virtual-key form (FVIRTKEY and the
// modifiers) and, for a key that types a printable character, the character
// form (the character as typed without Ctrl or Alt, with FCONTROL/FALT).
// False when the press is no hotkey at all (a modifier alone, Meta held, a
// key the table does not know and that types no character).
// Whether the key is a modifier key pressed alone (Shift, Ctrl, Alt, AltGr,
// Meta): no hotkey, and no key of its own for the lists.
bool isModifierKey(int qtKey);

bool hotkeysFromKeyPress(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode, Hotkey& virtualForm,
                         Hotkey& characterForm);
bool hotkeysFromKeyEvent(const QKeyEvent& event, Hotkey& virtualForm, Hotkey& characterForm);

// The Qt key combination that presses a stored hotkey (Qt::Key_unknown when
// it has no key on the keyboard); the reverse of the table above.
QKeyCombination qtKeyFromHotkey(const Hotkey& hotkey);

// The command the hotkey tables give a key press, 0 when none (or hotkeys are
// off). Nothing runs.
unsigned findHotkeyCommand(const QKeyEvent& event);

// Installs the event filter on the application and makes `run` the receiver
// of the tables' commands (posted, on the user-interface thread). A second
// call replaces the receiver.
void installHotkeyBinding(std::function<void(unsigned command)> run);
// Removes the filter and the receiver.
void removeHotkeyBinding();

}  // namespace ui
