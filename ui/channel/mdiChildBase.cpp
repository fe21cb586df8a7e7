#include "ui/channel/mdiChildBase.h"

#include <QEvent>
#include <QMdiArea>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>

#include "ui/bars/workspaceBar.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"

namespace {
bool framesOpenMaximized() { return isUiHandlerSet() && getUiHandler()->openChildFramesMaximized(); }
}  // namespace

CAppMdiChildWnd::CAppMdiChildWnd(QWidget* parent) : QMdiSubWindow(parent) { setAttribute(Qt::WA_DeleteOnClose); }

CAppMdiChildWnd::~CAppMdiChildWnd() {
    // Once the last child window has gone, the caption bar is emptied and
    // the Control Center's list gets the focus. Asked after the area has
    // settled on its next active window.
    CMainFrame* main = getMainFrame();
    if (main == nullptr || main->getMdiArea() == nullptr) return;
    QTimer::singleShot(0, main, [main] {
        QMdiArea* area = main->getMdiArea();
        if (area == nullptr || area->activeSubWindow() != nullptr) return;
        main->setCaptionBarText("");
        if (CWorkspaceBar* bar = getWorkspaceBar()) {
            if (QWidget* list = bar->tabs()->currentWidget()) list->setFocus();
        }
    });
}

void CAppMdiChildWnd::showInMainFrame() {
    if (isUiHandlerSet() && getUiHandler()->isSdi()) {
        setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
    }
    CMainFrame* frame = getMainFrame();
    if (frame != nullptr && frame->getMdiArea() != nullptr) frame->getMdiArea()->addSubWindow(this);
    if (framesOpenMaximized()) {
        showMaximized();
    } else {
        show();
    }
}

void CAppMdiChildWnd::restoreIfMinimized() {
    if (!isMinimized()) return;
    if (framesOpenMaximized()) {
        showMaximized();
    } else {
        showNormal();
    }
}

bool CAppMdiChildWnd::runCommand(int) { return false; }

ChildCommandState CAppMdiChildWnd::commandState(int) const { return {}; }

void CAppMdiChildWnd::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isUiHandlerSet() && !isMinimized()) {
        getUiHandler()->onChildFrameSized(this, isMaximized() ? 2 : 0);
    }
}

CAppMdiChildWnd* activeChildWindow(QMdiArea* area) {
    return area != nullptr ? qobject_cast<CAppMdiChildWnd*>(area->activeSubWindow()) : nullptr;
}

bool routeChildWindowCommand(QMdiArea* area, int id) {
    CAppMdiChildWnd* child = activeChildWindow(area);
    if (child == nullptr) return false;
    const ChildCommandState state = child->commandState(id);
    if (!state.handled || !state.enabled) return false;
    return child->runCommand(id);
}

ChildCommandState childWindowCommandState(QMdiArea* area, int id) {
    CAppMdiChildWnd* child = activeChildWindow(area);
    return child != nullptr ? child->commandState(id) : ChildCommandState{};
}
