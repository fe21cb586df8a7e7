#pragma once
// What start-up joins together: every hook through which the helpers,
// reports, options, dialogs, item lists, notification area and local port
// listeners reach the windows, and the main window's state in the key store.
//
//   DesktopWiring wiring;
//   wiring.install();   // once, before the global options load and the
//                       // main frame is made
//   ...
//   wiring.remove();    // at shut-down, before the frame goes
//
// install() is the one place the hooks are installed: the window tests call
// it too, so they run with what the program runs with. The hooks that need
// the main frame find it when they are called. Everything installed is
// removed again by remove() (or the destructor), so nothing is left
// pointing at a destroyed window or object. resetProgramObjectsForTests()
// (app/core/programObjects.h) removes every wiring alive the same way.
#include <memory>
#include <string>

#include <QByteArray>

class CMainFrame;
class QMainWindow;
class QWidget;

class DesktopWiring {
public:
    DesktopWiring();
    ~DesktopWiring();
    DesktopWiring(const DesktopWiring&) = delete;
    DesktopWiring& operator=(const DesktopWiring&) = delete;

    // The new-channel desktop settings template that the global options
    // load and save, their error reports and the filters the reports look
    // up; the mouse hook and modifier keys; the notification sink and the
    // tray icon; the channel windows' operations of the user-interface
    // handler; the plug-in sheets, the new-channel wizard's starters and
    // what the dialogs ask of the windows; the openers' window services,
    // the desktop settings' observer, the read-me list for its reports, the
    // channel pictures, the channel page's credentials editor; the main
    // frame's services (notifications, read-me additions, channel
    // properties, a hook's feed item, viewed-URL import, due reports); what
    // the local port listeners hand to the main window.
    void install();
    void remove();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The main window's placement and bar state, and the Control Center's
// active tab, under the key store's Software\<app>\Settings\MainFrame.
struct MainWindowState {
    QByteArray geometry;
    QByteArray state;
    int controlCenterTab = -1;  // -1: none saved

    static std::string key(const std::string& appName);
    // False when nothing was saved.
    bool load(const std::string& appName);
    bool save(const std::string& appName) const;

    void takeFrom(const CMainFrame& frame);
    // Geometry and bar state (before the window is shown).
    void applyTo(QMainWindow& window) const;
};
