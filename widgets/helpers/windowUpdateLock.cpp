#include "widgets/helpers/windowUpdateLock.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"

namespace {

QPointer<QWidget> g_mainFrame;
// The windows whose updates this lock switched off; empty while unlocked.
QList<QPointer<QWidget>> g_locked;
bool g_isLocked = false;

}  // namespace

WindowUpdateLock::WindowUpdateLock(QWidget* window) : window_(window) { lock(window_); }

WindowUpdateLock::~WindowUpdateLock() { unlock(window_); }

void WindowUpdateLock::setMainFrame(QWidget* mainFrame) { g_mainFrame = mainFrame; }
QWidget* WindowUpdateLock::getMainFrame() { return g_mainFrame.data(); }
namespace {
const ProgramObjectReset g_mainFrameReset("WindowUpdateLock::MainFrame",
                                          [] { WindowUpdateLock::setMainFrame(nullptr); });
}  // namespace

bool WindowUpdateLock::isLocked() { return g_isLocked; }

void WindowUpdateLock::lock(QWidget*) {
    if (getDebugSwitch("DisableLockWindowUpdates")) return;
    if (g_isLocked) return;  // one lock at a time
    QList<QWidget*> targets;
    if (!getDebugSwitch("DisableDesktopUpdateLocks")) {
        targets = QApplication::topLevelWidgets();
    } else if (g_mainFrame) {
        targets.append(g_mainFrame.data());
    } else {
        return;
    }
    g_isLocked = true;
    for (QWidget* widget : targets) {
        // Windows already frozen by their owner stay the owner's.
        if (!widget->updatesEnabled()) continue;
        widget->setUpdatesEnabled(false);
        g_locked.append(widget);
    }
}

void WindowUpdateLock::unlock(QWidget*) {
    if (getDebugSwitch("DisableLockWindowUpdates")) return;
    if (getDebugSwitch("DisableDesktopUpdateLocks") && !g_mainFrame) return;
    const QList<QPointer<QWidget>> locked = std::exchange(g_locked, {});
    g_isLocked = false;
    for (const QPointer<QWidget>& widget : locked) {
        if (widget) widget->setUpdatesEnabled(true);
    }
}
