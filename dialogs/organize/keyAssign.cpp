#include "dialogs/organize/keyAssign.h"

#include <QKeyEvent>

namespace dialogs {

namespace {

struct KeyCode {
  int qtKey;
  unsigned short code;
};

// Keys with a virtual-key code other than letters, digits and F keys.
constexpr KeyCode kNamedKeys[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Backtab, 9},   {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},   {Qt::Key_Enter, 13},    {Qt::Key_Pause, 19},    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},   {Qt::Key_Space, 32},    {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},      {Qt::Key_Home, 36},     {Qt::Key_Left, 37},     {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},    {Qt::Key_Down, 40},     {Qt::Key_Select, 41},   {Qt::Key_Printer, 42},
    {Qt::Key_Execute, 43},  {Qt::Key_Print, 44},    {Qt::Key_SysReq, 44},   {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},   {Qt::Key_Help, 47},
};

// Keypad keys other than the digits.
constexpr KeyCode kKeypadKeys[] = {
    {Qt::Key_Asterisk, 106}, {Qt::Key_Plus, 107}, {Qt::Key_Comma, 108}, {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},   {Qt::Key_Slash, 111}, {Qt::Key_Enter, 13},
};

// What Shift makes of the digit keys on the common layout.
constexpr KeyCode kShiftedDigits[] = {
    {Qt::Key_Exclam, '1'},     {Qt::Key_At, '2'},       {Qt::Key_NumberSign, '3'}, {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},    {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},  {Qt::Key_ParenRight, '0'},
};

unsigned short lookUp(const KeyCode* begin, const KeyCode* end, int qtKey) {
  for (const KeyCode* k = begin; k != end; ++k)
    if (k->qtKey == qtKey) return k->code;
  return 0;
}

template <std::size_t N>
unsigned short lookUp(const KeyCode (&table)[N], int qtKey) {
  return lookUp(table, table + N, qtKey);
}

}  // namespace

Hotkey hotkeyFromKey(int qtKey, Qt::KeyboardModifiers modifiers) {
  unsigned short code = 0;
  if (modifiers & Qt::KeypadModifier) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
      code = static_cast<unsigned short>(96 + (qtKey - Qt::Key_0));
    else
      code = lookUp(kKeypadKeys, qtKey);
  }
  if (code == 0) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
      code = static_cast<unsigned short>('A' + (qtKey - Qt::Key_A));
    else if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
      code = static_cast<unsigned short>('0' + (qtKey - Qt::Key_0));
    else if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
      code = static_cast<unsigned short>(112 + (qtKey - Qt::Key_F1));
    else if ((modifiers & Qt::ShiftModifier) && (code = lookUp(kShiftedDigits, qtKey)) != 0)
      ;
    else
      code = lookUp(kNamedKeys, qtKey);
  }
  if (code == 0) return Hotkey();
  unsigned char flags = FVIRTKEY;
  if (modifiers & Qt::ControlModifier) flags |= FCONTROL;
  if ((modifiers & Qt::ShiftModifier) || qtKey == Qt::Key_Backtab) flags |= FSHIFT;
  if (modifiers & Qt::AltModifier) flags |= FALT;
  return Hotkey(flags, code, 0);
}

Hotkey hotkeyFromKeyEvent(const QKeyEvent& event) { return hotkeyFromKey(event.key(), event.modifiers()); }

CKeyAssign::CKeyAssign(QWidget* parent) : QLineEdit(parent) {
  setContextMenuPolicy(Qt::NoContextMenu);
}

void CKeyAssign::setHotkey(const Hotkey& hotkey) {
  hotkey_ = hotkey;
  setText(hotkey.isValid() ? QString::fromStdString(hotkey.toString()) : QString());
}

bool CKeyAssign::event(QEvent* event) {
  // Keys that would be shortcuts elsewhere (Ctrl+A, Alt+letters) are ours.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    const bool plainNavigation = mods == Qt::NoModifier && (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab);
    if (!plainNavigation) {
      event->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void CKeyAssign::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  const int key = event->key();
  if (mods == Qt::NoModifier && (key == Qt::Key_Escape || key == Qt::Key_Tab)) {
    event->ignore();
    return;
  }
  if (mods == Qt::NoModifier && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
    setHotkey(Hotkey());
    event->accept();
    return;
  }
  const Hotkey hotkey = hotkeyFromKeyEvent(*event);
  if (hotkey.isValid()) setHotkey(hotkey);
  event->accept();
}

}  // namespace dialogs
