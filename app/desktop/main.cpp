// The orvan program.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/desktop/mendrelApp.h"
#include "app/desktop/webEngineSandbox.h"
#include "ui/frame/mainFrame.h"

namespace {

// Qt ends the process when it finds no display; say so first, plainly.
bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') return true;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "orvan needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set.\n"
                     "Start it from a desktop session (or set QT_QPA_PLATFORM=offscreen to run it without "
                     "one).\n");
        return 1;
    }
    // Before Qt WebEngine can start.
    prepareWebEngineSandbox();
    QApplication qt(argc, argv);
    CMendrelApp& app = getApp();
    if (!app.InitInstance()) return app.getExitCode();
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(app.getMainFrame(), &CMainFrame::closing, &qt, &QCoreApplication::quit, Qt::QueuedConnection);
    qt.exec();
    return app.ExitInstance();
}
