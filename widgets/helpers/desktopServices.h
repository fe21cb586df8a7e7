#pragma once
// What the shared helpers and openers need of windows that other parts of
// the desktop own: the user-interface events and the simple-browser windows.
// Their owners install an implementation at start-up; until then the
// helpers do without (no event, no page window).
#include <string>

namespace channels {
class Channel;
}
class QWidget;

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Fires the UrlOpened user-interface event (channel may be null).
    virtual void urlOpened(const std::string& url, channels::Channel* channel) = 0;
    // Opens the simple-browser window registered under title (made when
    // missing, with its navigation bar as the options say, showNavBar being
    // the default), activates it and shows url in it.
    virtual void showInSimpleBrowser(const std::string& title, const std::string& url, bool showNavBar) = 0;
};
// Installs the services (not owned; null removes them).
void setDesktopServices(DesktopServices* services);
DesktopServices* getDesktopServices();

// A message box with only an OK button, through the program's one
// message-box function.
void showDesktopMessage(QWidget* parent, const std::string& text);
