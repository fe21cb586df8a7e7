#include "dialogs/organize/keyAssign.h"

#include <QKeyEvent>

#include "widgets/hotkeys/hotkeyBinding.h"

namespace dialogs {

Hotkey hotkeyFromKey(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode) {
    // The binding's own reading of the key, so that the box stores exactly
    // what the binding answers to.
    Hotkey virtualForm;
    Hotkey characterForm;
    ui::hotkeysFromKeyPress(qtKey, modifiers, scanCode, virtualForm, characterForm);
    return virtualForm;
}

Hotkey hotkeyFromKeyEvent(const QKeyEvent& event) {
    return hotkeyFromKey(event.key(), event.modifiers(), event.nativeScanCode());
}

CKeyAssign::CKeyAssign(QWidget* parent) : QLineEdit(parent) { setContextMenuPolicy(Qt::NoContextMenu); }

void CKeyAssign::setHotkey(const Hotkey& hotkey) {
    hotkey_ = hotkey;
    setText(hotkey.isValid() ? QString::fromStdString(hotkey.toString()) : QString());
}

bool CKeyAssign::event(QEvent* event) {
    // Keys that would be shortcuts elsewhere (Ctrl+A, Alt+letters) are ours.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
        const bool plainNavigation =
            mods == Qt::NoModifier && (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab);
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
