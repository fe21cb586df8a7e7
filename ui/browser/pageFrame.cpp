#include "ui/browser/pageFrame.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QVBoxLayout>

#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/browser/safeWebView.h"
#include "ui/frame/mainFrame.h"

namespace {
constexpr int kShowNavBarCommand = 32912;
}

CPageMdiChildWnd::CPageMdiChildWnd(QWidget* parent)
    : CAppMdiChildWnd(parent), toolbar_(new CBrowserToolbar(this, nullptr)) {
    navBarAction_ = new QAction(tr("Show na&vbar"), this);
    navBarAction_->setProperty("commandId", kShowNavBarCommand);
    navBarAction_->setCheckable(true);
    connect(navBarAction_, &QAction::triggered, this, [this] { runCommand(kShowNavBarCommand); });
    if (QMenu* menu = systemMenu()) {
        menu->addSeparator();
        menu->addAction(navBarAction_);
        connect(menu, &QMenu::aboutToShow, this, [this] { navBarAction_->setChecked(isNavBarVisible()); });
    }
    resize(700, 500);
}

CPageMdiChildWnd::~CPageMdiChildWnd() {
    CMainFrame* main = getMainFrame();
    if (main == nullptr || main->getMdiArea() == nullptr) return;
    QMdiSubWindow* active = main->getMdiArea()->activeSubWindow();
    if (active != nullptr && active != this && active->isVisible()) return;
    for (QMdiSubWindow* other : main->getMdiArea()->subWindowList()) {
        if (other != this && other->isVisible()) return;
    }
    main->setCaptionBarText("");
    if (CWorkspaceBar* bar = main->getWorkspaceBar()) {
        const int tab = bar->getActiveTab();
        if (tab == 0 && bar->getMyChannelsWnd() != nullptr) bar->getMyChannelsWnd()->setFocus();
        if (tab == 1 && bar->getAppPluginsWnd() != nullptr) bar->getAppPluginsWnd()->setFocus();
    }
}

void CPageMdiChildWnd::setView(SafeWebView* view) {
    view_ = view;
    auto* client = new QWidget;
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    toolbar_->setParent(client);
    layout->addWidget(toolbar_);
    layout->addWidget(view, 1);
    setWidget(client);
}

void CPageMdiChildWnd::showNavBar(bool show) {
    toolbar_->setVisible(show);
    navBarAction_->setChecked(show);
}

bool CPageMdiChildWnd::isNavBarVisible() const { return !toolbar_->isHidden(); }

void CPageMdiChildWnd::applyNavBarMode(int navBarMode) {
    if (navBarMode == 1) showNavBar(true);
    if (navBarMode == 2) showNavBar(false);
}

bool CPageMdiChildWnd::runCommand(int id) {
    if (id != kShowNavBarCommand) return false;
    showNavBar(!isNavBarVisible());
    return true;
}

void CPageMdiChildWnd::onBrowserGoBack() {
    if (view_ != nullptr) view_->back();
}

void CPageMdiChildWnd::onBrowserGoForward() {
    if (view_ != nullptr) view_->forward();
}

void CPageMdiChildWnd::onBrowserNavigate(const std::string& url) {
    navigateView(url);
    if (view_ != nullptr) view_->setFocus();
}

void CPageMdiChildWnd::onBrowserEscape() {
    if (view_ != nullptr) view_->setFocus();
}
