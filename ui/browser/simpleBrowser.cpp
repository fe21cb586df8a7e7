#include "ui/browser/simpleBrowser.h"

#include <QMdiArea>
#include <map>

#include "app/options/globalOptions.h"
#include "lib/misc/threadSafety.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/desktopServices.h"

namespace {

constexpr int kMaxTitle = 260;

struct KeyMap {
    SharedExclusiveLock lock;
    std::map<std::string, CSimpleBrowserDoc*> docs;
};
KeyMap& keyMap() {
    static KeyMap m;
    return m;
}

CSimpleBrowserDoc* findDoc(const std::string& key) {
    SharedLockGuard guard(&keyMap().lock, __FILE__, __LINE__);
    auto it = keyMap().docs.find(key);
    return it == keyMap().docs.end() ? nullptr : it->second;
}

}  // namespace

// ---------------------------------------------------------------------------
// View

CSimpleBrowserView::CSimpleBrowserView(CSimpleBrowserMdiChildWnd* frame) : CPageView(frame) {
    setObjectName(QStringLiteral("simpleBrowserView"));
}

// ---------------------------------------------------------------------------
// Document

int CSimpleBrowserDoc::openDocumentCount() {
    SharedLockGuard guard(&keyMap().lock, __FILE__, __LINE__);
    return static_cast<int>(keyMap().docs.size());
}

CSimpleBrowserDoc* CSimpleBrowserDoc::openSimpleBrowserDoc(const std::string& key, bool create, bool showNavBar) {
    if (CSimpleBrowserDoc* doc = findDoc(key)) return doc;
    if (!create) return nullptr;

    UiHandler* handler = getUiHandler();
    handler->beginLayoutChange();
    auto* frame = new CSimpleBrowserMdiChildWnd;
    auto* doc = new CSimpleBrowserDoc;
    doc->setParent(frame);
    doc->setKey(key, frame);

    const int navBarMode = GlobalOptions::instance().NavBarMode;
    frame->showNavBar(navBarMode == 1 || (navBarMode != 2 && showNavBar));
    frame->showInMainFrame();
    doc->activateFrame();
    handler->endLayoutChange(doc, frame);
    return doc;
}

void CSimpleBrowserDoc::setKey(const std::string& key, CSimpleBrowserMdiChildWnd* frame) {
    key_ = key;
    frame_ = frame;
    frame_->doc_ = this;
    setTitle(key);
    ExclusiveLockGuard guard(&keyMap().lock, __FILE__, __LINE__);
    keyMap().docs[key] = this;
}

CSimpleBrowserDoc::~CSimpleBrowserDoc() {
    ExclusiveLockGuard guard(&keyMap().lock, __FILE__, __LINE__);
    auto it = keyMap().docs.find(key_);
    if (it != keyMap().docs.end() && it->second == this) keyMap().docs.erase(it);
}

std::string CSimpleBrowserDoc::getTitle() const { return frame_->windowTitle().toStdString(); }

void CSimpleBrowserDoc::setTitle(const std::string& title) {
    frame_->setWindowTitle(QString::fromStdString(title).left(kMaxTitle));
}

CSimpleBrowserView* CSimpleBrowserDoc::getView() const { return frame_->getBrowserView(); }

void CSimpleBrowserDoc::activateFrame() {
    frame_->activateInMainFrame();
    getUiHandler()->fireSimpleBrowserViewActivated(frame_, false);
}

// ---------------------------------------------------------------------------
// Frame

CSimpleBrowserMdiChildWnd::CSimpleBrowserMdiChildWnd(QWidget* parent)
    : CPageMdiChildWnd(parent), view_(new CSimpleBrowserView(this)) {
    setObjectName(QStringLiteral("simpleBrowserFrame"));
    setView(view_);
    getUiHandler()->addEventHandler(this);
    connect(this, &QMdiSubWindow::aboutToActivate, this,
            [this] { getUiHandler()->fireSimpleBrowserViewActivated(this, false); });
    connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates old, Qt::WindowStates now) {
        if ((old & Qt::WindowActive) && !(now & Qt::WindowActive))
            getUiHandler()->fireSimpleBrowserViewDeactivated(this);
    });
}

CSimpleBrowserMdiChildWnd::~CSimpleBrowserMdiChildWnd() {
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
}

std::string CSimpleBrowserMdiChildWnd::getTitle() const { return windowTitle().toStdString(); }

void CSimpleBrowserMdiChildWnd::onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) {
    applyNavBarMode(GlobalOptions::instance().NavBarMode);
}

// ---------------------------------------------------------------------------

namespace ui {

CSimpleBrowserDoc* openSimpleBrowserWindow(const std::string& url, const std::string& key, bool showNavBar) {
    const std::string windowKey = key.empty() ? url : key;
    // A refused address opens no empty window.
    if (!SafeWebView::isViewable(url)) {
        showDesktopMessage(getMainFrame(), "This link can't be opened: " + url);
        return nullptr;
    }
    CSimpleBrowserDoc* doc = CSimpleBrowserDoc::openSimpleBrowserDoc(windowKey, true, showNavBar);
    if (doc == nullptr) return nullptr;
    doc->activateFrame();
    doc->getView()->navigate(url);
    return doc;
}

}  // namespace ui
