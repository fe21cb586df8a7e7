#include "widgets/hotkeys/hotkeyBinding.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace ui {

namespace {

// Virtual-key code <-> Qt key, the one table of both the hotkey box of the
// organize dialogs and this binding. `keypad`: the key is on the numeric
// keypad (Qt marks it with Qt::KeypadModifier). The keypad's comma key (the
// separator sign) is 108 "Separator", its period key 110 "Decimal".
struct KeyRow {
    unsigned short vk;
    Qt::Key key;
    bool keypad;
};

constexpr KeyRow kKeyTable[] = {
    {8, Qt::Key_Backspace, false}, {9, Qt::Key_Tab, false},     {12, Qt::Key_Clear, false},
    {13, Qt::Key_Return, false},   {16, Qt::Key_Shift, false},  {17, Qt::Key_Control, false},
    {18, Qt::Key_Alt, false},      {19, Qt::Key_Pause, false},  {20, Qt::Key_CapsLock, false},
    {27, Qt::Key_Escape, false},   {32, Qt::Key_Space, false},  {33, Qt::Key_PageUp, false},
    {34, Qt::Key_PageDown, false}, {35, Qt::Key_End, false},    {36, Qt::Key_Home, false},
    {37, Qt::Key_Left, false},     {38, Qt::Key_Up, false},     {39, Qt::Key_Right, false},
    {40, Qt::Key_Down, false},     {41, Qt::Key_Select, false}, {42, Qt::Key_Printer, false},
    {43, Qt::Key_Execute, false},  {44, Qt::Key_Print, false},  {45, Qt::Key_Insert, false},
    {46, Qt::Key_Delete, false},   {47, Qt::Key_Help, false},   {96, Qt::Key_0, true},
    {97, Qt::Key_1, true},         {98, Qt::Key_2, true},       {99, Qt::Key_3, true},
    {100, Qt::Key_4, true},        {101, Qt::Key_5, true},      {102, Qt::Key_6, true},
    {103, Qt::Key_7, true},        {104, Qt::Key_8, true},      {105, Qt::Key_9, true},
    {106, Qt::Key_Asterisk, true}, {107, Qt::Key_Plus, true},   {108, Qt::Key_Comma, true},
    {109, Qt::Key_Minus, true},    {110, Qt::Key_Period, true}, {111, Qt::Key_Slash, true},
};

// Keys Qt reports under another name than the table's: the keypad's Enter,
// Shift+Tab, Alt+Print Screen, AltGr.
struct KeyAlias {
    Qt::Key key;
    bool keypad;
    unsigned short vk;
};
constexpr KeyAlias kKeyAliases[] = {
    {Qt::Key_Enter, true, 13},   {Qt::Key_Enter, false, 13}, {Qt::Key_Backtab, false, 9},
    {Qt::Key_SysReq, false, 44}, {Qt::Key_AltGr, false, 18}, {Qt::Key_Meta, false, 0},
};

// What Shift makes of the digit keys on the usual layout; other layouts are
// recognised by the scan code (X11 key codes 10 to 19 are the digit row).
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

unsigned short digitFromScanCode(quint32 scanCode) {
    if (scanCode >= 10 && scanCode <= 18) return static_cast<unsigned short>('1' + (scanCode - 10));
    if (scanCode == 19) return '0';
    return 0;
}

struct Binding {
    std::function<void(unsigned)> run;
    // Set while a key press is only being looked up.
    unsigned* probe = nullptr;
};

Binding& binding() {
    static Binding b;
    return b;
}

class HotkeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // The receiver is not looked at: it may be an object of a library
        // whose types the program does not know (a web view's inner widget).
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
        // The key reaches the filter first for its window, then for the focus
        // widget and its parents as long as nobody takes it: taken here, it
        // goes no further.
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const unsigned command = findHotkeyCommand(*keyEvent);
        if (command == 0) return false;
        if (type == QEvent::ShortcutOverride) {
            // Claims the key: no shortcut takes it, and the key press that
            // follows comes here before the focus widget sees it.
            keyEvent->accept();
            return true;
        }
        QMetaObject::invokeMethod(
            this,
            [command] {
                if (binding().run) binding().run(command);
            },
            Qt::QueuedConnection);
        return true;
    }
};

QPointer<HotkeyFilter>& filterInstance() {
    static QPointer<HotkeyFilter> filter;
    return filter;
}

}  // namespace

unsigned short virtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<unsigned short>(qtKey);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9 && !keypad) return static_cast<unsigned short>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<unsigned short>(112 + (qtKey - Qt::Key_F1));
    for (const KeyRow& row : kKeyTable) {
        if (row.key == qtKey && row.keypad == keypad) return row.vk;
    }
    for (const KeyAlias& alias : kKeyAliases) {
        if (alias.key == qtKey && alias.keypad == keypad) return alias.vk;
    }
    // The keypad's navigation keys (Num Lock off) and the other keys Qt marks
    // as keypad keys count as the keys they stand for.
    if (keypad) return virtualKeyFromQt(qtKey, modifiers & ~Qt::KeypadModifier, scanCode);
    if (modifiers.testFlag(Qt::ShiftModifier) && qtKey > 0 && qtKey < 0x80) {
        for (int digit = 0; digit < 10; ++digit) {
            if (kShiftedDigits[digit] == qtKey) return static_cast<unsigned short>('0' + digit);
        }
        if (const unsigned short digit = digitFromScanCode(scanCode)) return digit;
    }
    return 0;
}

bool isModifierKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
            return true;
        default:
            return false;
    }
}

bool hotkeysFromKeyPress(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode, Hotkey& virtualForm,
                         Hotkey& characterForm) {
    virtualForm.clear();
    characterForm.clear();
    if (modifiers.testFlag(Qt::MetaModifier)) return false;
    if (isModifierKey(qtKey) || qtKey == Qt::Key_unknown || qtKey == 0) return false;
    unsigned char flags = 0;
    if (modifiers.testFlag(Qt::ControlModifier)) flags |= FCONTROL;
    if (modifiers.testFlag(Qt::AltModifier)) flags |= FALT;
    const bool shift = modifiers.testFlag(Qt::ShiftModifier) || qtKey == Qt::Key_Backtab;
    if (const unsigned short vk = virtualKeyFromQt(qtKey, modifiers, scanCode)) {
        virtualForm = Hotkey(static_cast<unsigned char>(flags | FVIRTKEY | (shift ? FSHIFT : 0)), vk, 0);
    }
    // The character the key types (Shift already in it), for hotkeys stored
    // as a character: small letters and the printable signs. Capital letters
    // and digits are always stored as virtual keys.
    if (!modifiers.testFlag(Qt::KeypadModifier) && qtKey >= 0x20 && qtKey < 0x7F) {
        if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
            if (!shift) characterForm = Hotkey(flags, static_cast<unsigned short>(qtKey - 'A' + 'a'), 0);
        } else if (!(qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
            characterForm = Hotkey(flags, static_cast<unsigned short>(qtKey), 0);
        }
    }
    return virtualForm.isValid() || characterForm.isValid();
}

bool hotkeysFromKeyEvent(const QKeyEvent& event, Hotkey& virtualForm, Hotkey& characterForm) {
    return hotkeysFromKeyPress(event.key(), event.modifiers(), event.nativeScanCode(), virtualForm, characterForm);
}

QKeyCombination qtKeyFromHotkey(const Hotkey& hotkey) {
    const Accel& accel = hotkey.getAccel();
    Qt::KeyboardModifiers modifiers;
    if (hotkey.isCtrl()) modifiers |= Qt::ControlModifier;
    if (hotkey.isAlt()) modifiers |= Qt::AltModifier;
    if (!hotkey.isValid()) return QKeyCombination(Qt::Key_unknown);
    if ((accel.fVirt & FVIRTKEY) == 0) {
        // A character: its key, with Shift for the signs Shift types on the
        // usual layout.
        int key = accel.key;
        if (key >= 'a' && key <= 'z') return QKeyCombination(modifiers, static_cast<Qt::Key>(key - 'a' + 'A'));
        if (key < 0x20 || key >= 0x7F) return QKeyCombination(Qt::Key_unknown);
        return QKeyCombination(modifiers, static_cast<Qt::Key>(key));
    }
    if (hotkey.isShift()) modifiers |= Qt::ShiftModifier;
    const unsigned short vk = accel.key;
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return QKeyCombination(modifiers, static_cast<Qt::Key>(vk));
    if (vk >= 112 && vk <= 135) return QKeyCombination(modifiers, static_cast<Qt::Key>(Qt::Key_F1 + (vk - 112)));
    for (const KeyRow& row : kKeyTable) {
        if (row.vk == vk) {
            if (row.keypad) modifiers |= Qt::KeypadModifier;
            return QKeyCombination(modifiers, row.key);
        }
    }
    return QKeyCombination(Qt::Key_unknown);
}

unsigned findHotkeyCommand(const QKeyEvent& event) {
    if (!HotkeyTable::getHotkeysEnabled()) return 0;
    // Modal windows (dialogs, message boxes) keep their keys.
    if (QApplication::activeModalWidget() != nullptr) return 0;
    Hotkey virtualForm;
    Hotkey characterForm;
    if (!hotkeysFromKeyEvent(event, virtualForm, characterForm)) return 0;
    unsigned command = 0;
    Binding& b = binding();
    unsigned* previous = b.probe;
    b.probe = &command;
    const bool found = (virtualForm.isValid() && HotkeyTable::translateAccelerator(virtualForm)) ||
                       (characterForm.isValid() && HotkeyTable::translateAccelerator(characterForm));
    b.probe = previous;
    return found ? command : 0;
}

void installHotkeyBinding(std::function<void(unsigned)> run) {
    binding().run = std::move(run);
    HotkeyTable::setCommandTarget([](unsigned command) {
        Binding& b = binding();
        if (b.probe != nullptr) {
            *b.probe = command;
        } else if (b.run) {
            b.run(command);
        }
    });
    QPointer<HotkeyFilter>& filter = filterInstance();
    if (filter.isNull() && qApp != nullptr) {
        filter = new HotkeyFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

void removeHotkeyBinding() {
    QPointer<HotkeyFilter>& filter = filterInstance();
    if (!filter.isNull()) {
        if (qApp != nullptr) qApp->removeEventFilter(filter);
        delete filter.data();
    }
    HotkeyTable::setCommandTarget(nullptr);
    binding().run = nullptr;
}

}  // namespace ui
