#include "app/desktop/inputState.h"

#include <QApplication>
#include <QMouseEvent>

namespace {

bool g_leftButtonDown = false;

class MouseHook : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        mouseHookProc(watched, event);
        return false;
    }
};

MouseHook* g_hook = nullptr;

}  // namespace

int getModifierKeyState() {
    const Qt::KeyboardModifiers held = QGuiApplication::keyboardModifiers();
    int state = 0;
    if (held & Qt::ShiftModifier) state |= 1;
    if (held & Qt::ControlModifier) state |= 2;
    if (held & Qt::AltModifier) state |= 4;
    return state;
}

void mouseHookProc(QObject*, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease) return;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return;
    g_leftButtonDown = event->type() == QEvent::MouseButtonPress;
}

void installMouseHook() {
    if (g_hook != nullptr || qApp == nullptr) return;
    g_hook = new MouseHook;
    qApp->installEventFilter(g_hook);
}

void uninstallMouseHook() {
    if (g_hook == nullptr) return;
    if (qApp != nullptr) qApp->removeEventFilter(g_hook);
    delete g_hook;
    g_hook = nullptr;
}

bool isMouseHookInstalled() { return g_hook != nullptr; }
bool isLeftButtonDown() { return g_leftButtonDown; }
