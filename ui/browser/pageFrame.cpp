#include "ui/browser/pageFrame.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QVBoxLayout>

#include "app/core/commandIds.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/browser/safeWebView.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"

namespace {
constexpr int kMaxTitle = 260;
}

CPageView::CPageView(CPageMdiChildWnd* frame) : SafeWebView(nullptr), frame_(frame) {
    connect(this, &QWebEngineView::titleChanged, this,
            [this](const QString& title) { pageTitle_ = title.toStdString(); });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) { onLoadFinished(); });
}

bool CPageView::navigate(const std::string& url) {
    if (!isViewable(url)) return SafeWebView::navigate(url);  // tells why
    frame_->toolbar()->setUrl(url);
    pageTitle_.clear();
    return SafeWebView::navigate(url);
}

void CPageView::onLoadFinished() {
    frame_->toolbar()->setUrl(url().toString().toStdString());
    if (pageTitle_.empty() || frame_->windowTitle().left(7).compare("http://", Qt::CaseInsensitive) != 0) return;
    frame_->takePageTitle(pageTitle_);
}

CPageMdiChildWnd::CPageMdiChildWnd(QWidget* parent)
    : CAppMdiChildWnd(parent), toolbar_(new CBrowserToolbar(this, nullptr)) {
    navBarAction_ = new QAction(tr("Show na&vbar"), this);
    navBarAction_->setProperty("commandId", kCmdShowNavBar);
    navBarAction_->setCheckable(true);
    connect(navBarAction_, &QAction::triggered, this, [this] { runCommand(kCmdShowNavBar); });
    if (QMenu* menu = systemMenu()) {
        menu->addSeparator();
        menu->addAction(navBarAction_);
        connect(menu, &QMenu::aboutToShow, this, [this] { navBarAction_->setChecked(isNavBarVisible()); });
    }
    // In the single-window layout a window is neither minimised nor maximised
    // by the user.
    if (isUiHandlerSet() && getUiHandler()->isSdi()) {
        setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
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

void CPageMdiChildWnd::activateInMainFrame() {
    restoreIfMinimized();
    if (isUiHandlerSet() && getUiHandler()->openChildFramesMaximized() && !isMaximized()) showMaximized();
    if (QMdiArea* area = mdiArea()) {
        area->setActiveSubWindow(this);
    } else {
        show();
        activateWindow();
    }
}

void CPageMdiChildWnd::takePageTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title).left(kMaxTitle));
    if (CMainFrame* main = getMainFrame()) main->setCaptionBarText(windowTitle().toStdString());
}

bool CPageMdiChildWnd::runCommand(int id) {
    if (id != kCmdShowNavBar) return false;
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
