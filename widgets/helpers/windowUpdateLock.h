#pragma once
// Locks window updates around a large rearrangement (closing every child
// window, refilling a long list, switching layouts) so the screen doesn't
// flicker meanwhile.
//
//   { WindowUpdateLock lock(this); ...create, move, destroy windows... }
//
// One window is locked at a time, program-wide: a lock taken while another
// is held does nothing, and any unlock releases the one held (guards do not
// count nesting). The lock covers every top-level window, or, with the
// debugging switch "DisableDesktopUpdateLocks", the main frame only (none
// before the main frame exists); "DisableLockWindowUpdates" turns both
// operations off. The switches are read at every lock and unlock.
// User-interface thread only.
class QWidget;

class WindowUpdateLock {
public:
    explicit WindowUpdateLock(QWidget* window);
    ~WindowUpdateLock();
    WindowUpdateLock(const WindowUpdateLock&) = delete;
    WindowUpdateLock& operator=(const WindowUpdateLock&) = delete;

    static void lock(QWidget* window);
    static void unlock(QWidget* window);
    // Whether any window's updates are locked now.
    static bool isLocked();

    // The main frame, once it exists (the main frame sets it, and clears it
    // when it goes).
    static void setMainFrame(QWidget* mainFrame);
    static QWidget* getMainFrame();

private:
    QWidget* window_;
};
