#pragma once
// The base of every child window of the main frame (channel, plug-in and
// simple-browser windows): an MDI sub-window that opens maximised when the
// user-interface handler says so, tells the handler when the user maximises
// or restores it, and can be brought back from a minimised state.
//
// A child window carries commands of its own (next item, show summary, the
// navigation bar's Back and Forward ...). The main frame's action of such a
// command asks the active child window: runCommand carries it out,
// commandState says whether it is enabled (and checked, and its text) right
// now. A window emits commandsChanged when that state may have changed, so
// the main frame's actions follow it.
//
//   class MyFrame : public CAppMdiChildWnd {
//       bool runCommand(int id) override;                     // false: not mine
//       ChildCommandState commandState(int id) const override;
//   };
#include <QMdiSubWindow>
#include <QString>

// What a child window says about one of its commands.
struct ChildCommandState {
    bool handled = false;  // the window carries this command
    bool enabled = false;
    bool checkable = false;
    bool checked = false;
    QString text;  // empty: the action keeps its text
};

class CAppMdiChildWnd : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CAppMdiChildWnd(QWidget* parent = nullptr);
    ~CAppMdiChildWnd() override;
    // Shows the window in the main frame's MDI area (or on its own when
    // there is no main frame), maximised when the handler wants that. In the
    // single-window layout the window has no minimise and maximise buttons.
    void showInMainFrame();
    // Shows a minimised window again: maximised when child windows open
    // maximised, else restored.
    void restoreIfMinimized();

    // The window's own commands; false and an unhandled state for commands
    // that are not the window's.
    virtual bool runCommand(int id);
    virtual ChildCommandState commandState(int id) const;
    // The text of the main window's caption bar while this window is active.
    virtual QString captionText() const { return {}; }

signals:
    void commandsChanged();

protected:
    void changeEvent(QEvent* event) override;
};

class QMdiArea;
// The active child window of the area, or null.
CAppMdiChildWnd* activeChildWindow(QMdiArea* area);
// Carries out a command of the active child window; false when there is no
// active child window, it does not carry the command, or the command is
// disabled now.
bool routeChildWindowCommand(QMdiArea* area, int id);
// The state of a command of the active child window (unhandled when none).
ChildCommandState childWindowCommandState(QMdiArea* area, int id);
