#pragma once
// The hotkey box of the organize dialogs: a line that shows the key
// combination last pressed in it in the hotkey text form ("Ctrl+Shift+F5")
// instead of taking the keys as text. Backspace or Delete without a modifier
// empties it; Tab and Escape without a modifier keep their usual meaning.
#include <QLineEdit>

#include "app/options/hotkey.h"

class QKeyEvent;

namespace dialogs {

// The hotkey of a key press: Ctrl, Shift and Alt as flags, the key as its
// virtual-key code (letters, digits, keypad keys, F1 to F24 and the named
// keys; a digit typed with Shift counts as that digit), read with the
// hotkey binding's key table (widgets/hotkeys/hotkeyBinding.h). An invalid hotkey
// for a lone modifier, a key held with Meta or a key without a code.
Hotkey hotkeyFromKey(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode = 0);
Hotkey hotkeyFromKeyEvent(const QKeyEvent& event);

class CKeyAssign : public QLineEdit {
    Q_OBJECT

public:
    explicit CKeyAssign(QWidget* parent = nullptr);

    // The combination shown (invalid when the box is empty).
    const Hotkey& getHotkey() const { return hotkey_; }
    // Shows the hotkey (an invalid one empties the box).
    void setHotkey(const Hotkey& hotkey);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Hotkey hotkey_;
};

}  // namespace dialogs
