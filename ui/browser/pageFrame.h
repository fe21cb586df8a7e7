#pragma once
// What the page windows (simple-browser and plug-in windows) share: a child
// frame holding the navigation bar above one web view, the "Show navbar"
// command (32912, also in the window's system menu, checked while the bar is
// shown), the navigation bar's requests turned into the view's history and
// address, and the clean-up when the window goes: with no other child
// window left active, the main window's caption bar is cleared and the
// Control Center's list gets the focus.
#include <string>

#include "ui/browser/safeWebView.h"
#include "ui/channel/browserToolbar.h"
#include "ui/channel/mdiChildBase.h"

class QAction;
class CPageMdiChildWnd;

// The view of a page window: navigate shows the address in the navigation
// bar and forgets the page's title; once a page is loaded the bar shows its
// address, and a window whose title is an http address takes the page's
// title (a page without one leaves the title as it is).
class CPageView : public SafeWebView {
    Q_OBJECT
public:
    explicit CPageView(CPageMdiChildWnd* frame);
    // False when the address is refused.
    bool navigate(const std::string& url);
    const std::string& getPageTitle() const { return pageTitle_; }

private:
    void onLoadFinished();
    CPageMdiChildWnd* frame_;
    std::string pageTitle_;
};

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
    // Restores (or maximises, as the layout says) and activates the window.
    void activateInMainFrame();
    // The window's title (at most 260 characters), also on the main
    // window's caption bar.
    void takePageTitle(const std::string& title);
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
