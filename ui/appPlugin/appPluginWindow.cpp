#include "ui/appPlugin/appPluginWindow.h"

#include <QMdiArea>
#include <QUrl>
#include <exception>
#include <map>

#include "app/options/globalOptions.h"
#include "channels/appPlugins/appPlugin.h"
#include "dialogs/channel/channelParamsPage.h"
#include "ui/appPlugin/appPluginPropSheet.h"
#include "lib/misc/threadSafety.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/helpers/desktopServices.h"

namespace {

struct Registry {
    SharedExclusiveLock lock;
    std::map<channels::AppPlugin*, CAppPluginDoc*> docs;
};
Registry& registry() {
    static Registry r;
    return r;
}

CAppPluginDoc* findDoc(channels::AppPlugin* plugin) {
    SharedLockGuard guard(&registry().lock, __FILE__, __LINE__);
    auto it = registry().docs.find(plugin);
    return it == registry().docs.end() ? nullptr : it->second;
}

}  // namespace

// ---------------------------------------------------------------------------
// View

CAppPluginView::CAppPluginView(CAppPluginMdiChildWnd* frame) : CPageView(frame), frame_(frame) {
    setObjectName(QStringLiteral("appPluginView"));
}

void CAppPluginView::onUpdate() {
    channels::AppPlugin* plugin = frame_->getAppPlugin();
    if (plugin == nullptr) return;
    try {
        plugin->generateMainPage();
    } catch (const std::exception& e) {
        showDesktopMessage(this, e.what());
        return;
    }
    const QString file = QString::fromStdString(plugin->getOutputFilename());
    // The page is rewritten in place under the same name: load it afresh.
    navigate(QUrl::fromLocalFile(file).toString().toStdString());
}

// ---------------------------------------------------------------------------
// Document

int CAppPluginDoc::openDocumentCount() {
    SharedLockGuard guard(&registry().lock, __FILE__, __LINE__);
    return static_cast<int>(registry().docs.size());
}

CAppPluginDoc* CAppPluginDoc::openAppPluginDoc(channels::AppPlugin* plugin, bool create) {
    if (plugin == nullptr) return nullptr;
    if (CAppPluginDoc* doc = findDoc(plugin)) {
        if (create) doc->updateAllViews();
        return doc;
    }
    if (!create) return nullptr;

    UiHandler* handler = getUiHandler();
    handler->beginLayoutChange();
    auto* frame = new CAppPluginMdiChildWnd;
    auto* doc = new CAppPluginDoc;
    doc->setParent(frame);
    doc->setAppPlugin(plugin, frame);
    frame->showNavBar(GlobalOptions::instance().NavBarMode == 1);
    frame->showInMainFrame();
    doc->updateAllViews();
    doc->activateFrame();
    handler->endLayoutChange(doc, frame);
    return doc;
}

void CAppPluginDoc::setAppPlugin(channels::AppPlugin* plugin, CAppPluginMdiChildWnd* frame) {
    plugin_ = plugin;
    frame_ = frame;
    frame_->doc_ = this;
    // What the main frame reads to find the active child's plug-in.
    frame_->setProperty("appPlugin", QVariant::fromValue<void*>(plugin));
    setTitle(plugin->getDisplayName());
    ExclusiveLockGuard guard(&registry().lock, __FILE__, __LINE__);
    registry().docs[plugin] = this;
}

CAppPluginDoc::~CAppPluginDoc() {
    ExclusiveLockGuard guard(&registry().lock, __FILE__, __LINE__);
    auto it = registry().docs.find(plugin_);
    if (it != registry().docs.end() && it->second == this) registry().docs.erase(it);
}

CAppPluginView* CAppPluginDoc::getView() const { return frame_->getHtmlView(); }
std::string CAppPluginDoc::getTitle() const { return frame_->windowTitle().toStdString(); }
void CAppPluginDoc::setTitle(const std::string& title) { frame_->setWindowTitle(QString::fromStdString(title)); }
void CAppPluginDoc::updateAllViews() { frame_->getHtmlView()->onUpdate(); }

void CAppPluginDoc::activateFrame() {
    frame_->activateInMainFrame();
    getUiHandler()->fireAppPluginViewActivated(plugin_, frame_, false);
}

// ---------------------------------------------------------------------------
// Frame

CAppPluginMdiChildWnd::CAppPluginMdiChildWnd(QWidget* parent)
    : CPageMdiChildWnd(parent), view_(new CAppPluginView(this)) {
    setObjectName(QStringLiteral("appPluginFrame"));
    setView(view_);
    getUiHandler()->addEventHandler(this);
    connect(this, &QMdiSubWindow::aboutToActivate, this, [this] {
        if (channels::AppPlugin* plugin = getAppPlugin())
            getUiHandler()->fireAppPluginViewActivated(plugin, this, false);
    });
    connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates old, Qt::WindowStates now) {
        channels::AppPlugin* plugin = getAppPlugin();
        if (plugin != nullptr && (old & Qt::WindowActive) && !(now & Qt::WindowActive)) {
            getUiHandler()->fireAppPluginViewDeactivated(plugin, this);
        }
    });
}

CAppPluginMdiChildWnd::~CAppPluginMdiChildWnd() {
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
}

channels::AppPlugin* CAppPluginMdiChildWnd::getAppPlugin() const {
    return doc_ != nullptr ? doc_->getAppPlugin() : nullptr;
}

std::string CAppPluginMdiChildWnd::getCaptionText() const {
    channels::AppPlugin* plugin = getAppPlugin();
    return plugin != nullptr ? plugin->getDisplayName() : std::string();
}

void CAppPluginMdiChildWnd::onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) {
    applyNavBarMode(GlobalOptions::instance().NavBarMode);
}

// ---------------------------------------------------------------------------

namespace ui {

CAppPluginDoc* openAppPluginWindow(channels::AppPlugin* plugin) {
    CAppPluginDoc* doc = CAppPluginDoc::openAppPluginDoc(plugin, true);
    if (doc != nullptr) doc->activateFrame();
    return doc;
}

channels::AppPlugin* getActiveAppPlugin() {
    CMainFrame* main = getMainFrame();
    QMdiArea* area = main != nullptr ? main->getMdiArea() : nullptr;
    auto* frame = area != nullptr ? qobject_cast<CAppPluginMdiChildWnd*>(area->activeSubWindow()) : nullptr;
    return frame != nullptr ? frame->getAppPlugin() : nullptr;
}

void installAppPluginWindows() {
    dialogs::CChannelParamsPropPage::setAppPluginSheetOpener(
        [](QWidget* parent, channels::AppPlugin* plugin, int firstPage) {
            dialogs::openAppPluginSheet(parent, plugin, firstPage);
        });
}

}  // namespace ui
