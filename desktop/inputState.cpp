#include "desktop/inputState.h"

#include <QApplication>
#include <QMouseEvent>

#include "app/core/programObjects.h"

namespace {

class MouseHook : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        mouseHookProc(watched, event);
        return false;
    }
};

MouseHook* g_hook = nullptr;

}  // namespace

int readQtModifierKeyState() {
    // The keys held now, as the window system has them: the state Qt keeps
    // from past input events can still hold a modifier whose release went to
    // another window, and a click must not choose its command from that.
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    return makeModifierKeyState(held & Qt::ShiftModifier, held & Qt::ControlModifier, held & Qt::AltModifier);
}

void mouseHookProc(QObject*, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    const bool left = (press || release) && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    noteMouseButton(0, !left ? MouseButtonEvent::Other : press ? MouseButtonEvent::LeftDown : MouseButtonEvent::LeftUp);
}

void installMouseHook() {
    if (g_hook != nullptr || qApp == nullptr) return;
    g_hook = new MouseHook;
    qApp->installEventFilter(g_hook);
    setModifierKeyReader(readQtModifierKeyState);
}

void uninstallMouseHook() {
    if (g_hook == nullptr) return;
    if (qApp != nullptr) qApp->removeEventFilter(g_hook);
    delete g_hook;
    g_hook = nullptr;
}

bool isMouseHookInstalled() { return g_hook != nullptr; }

namespace {
const ProgramObjectReset g_mouseHookReset("MouseHook", [] { uninstallMouseHook(); });
}  // namespace
