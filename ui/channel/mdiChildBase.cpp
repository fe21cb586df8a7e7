#include "ui/channel/mdiChildBase.h"

#include <QEvent>
#include <QMdiArea>

#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"

CAppMdiChildWnd::CAppMdiChildWnd(QWidget* parent) : QMdiSubWindow(parent) { setAttribute(Qt::WA_DeleteOnClose); }

void CAppMdiChildWnd::showInMainFrame() {
    CMainFrame* frame = getMainFrame();
    if (frame != nullptr && frame->getMdiArea() != nullptr) frame->getMdiArea()->addSubWindow(this);
    const bool maximized = isUiHandlerSet() && getUiHandler()->openChildFramesMaximized();
    if (maximized) {
        showMaximized();
    } else {
        show();
    }
}

void CAppMdiChildWnd::restoreIfMinimized() {
    if (isMinimized()) showNormal();
}

void CAppMdiChildWnd::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isUiHandlerSet() && !isMinimized()) {
        getUiHandler()->onChildFrameSized(this, isMaximized() ? 2 : 0);
    }
}
