#pragma once
// The base of every child window of the main frame (channel, plug-in and
// simple-browser windows): an MDI sub-window that opens maximised when the
// user-interface handler says so, tells the handler when the user maximises
// or restores it, and can be brought back from a minimised state.
#include <QMdiSubWindow>

class CAppMdiChildWnd : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CAppMdiChildWnd(QWidget* parent = nullptr);
    // Shows the window in the main frame's MDI area (or on its own when
    // there is no main frame), maximised when the handler wants that.
    void showInMainFrame();
    // Restores the window when it is minimised.
    void restoreIfMinimized();

protected:
    void changeEvent(QEvent* event) override;
};
