#pragma once
// What the page windows (simple-browser and plug-in windows) share: a child
// frame holding the navigation bar above one web view, the "Show navbar"
// command (32912, also in the window's system menu, checked while the bar is
// shown), the navigation bar's requests turned into the view's history and
// address, and the clean-up when the window goes: with no other child
// window left active, the main window's caption bar is cleared and the
// Control Center's list gets the focus.
#include <string>

#include "ui/channel/browserToolbar.h"
#include "ui/channel/mdiChildBase.h"

class QAction;
class SafeWebView;

class CPageMdiChildWnd : public CAppMdiChildWnd, public CBrowserToolbarParent {
    Q_OBJECT
public:
    explicit CPageMdiChildWnd(QWidget* parent = nullptr);
    ~CPageMdiChildWnd() override;

    CBrowserToolbar* toolbar() const { return toolbar_; }
    void showNavBar(bool show);
    bool isNavBarVisible() const;
    // Applies the option NavBarMode: 1 shows the bar, 2 hides it, other
    // values leave it as it is.
    void applyNavBarMode(int navBarMode);
    // 32912 toggles the navigation bar; false for other commands.
    bool runCommand(int id);
    // The menu of the window's tab in the main frame's tab bar.
    virtual int getMdiTabMenuId() const = 0;

    void onBrowserGoBack() override;
    void onBrowserGoForward() override;
    void onBrowserNavigate(const std::string& url) override;
    void onBrowserEscape() override;

protected:
    // Puts the view under the navigation bar (once, from the constructor of
    // the derived frame).
    void setView(SafeWebView* view);
    virtual bool navigateView(const std::string& url) = 0;
    SafeWebView* webView() const { return view_; }

private:
    CBrowserToolbar* toolbar_;
    SafeWebView* view_ = nullptr;
    QAction* navBarAction_;
};
