#pragma once
// Application plug-in windows: the pages of one plug-in in a child window,
// at most one window per plug-in. Opening the window asks the plug-in for
// its main page (written into the plug-in's output file) and shows it; the
// page's links and forms lead to the plug-in server on 127.0.0.1, so further
// pages are fetched by the view itself.
//
//   ui::openAppPluginWindow(plugin);          // the Plugins list's "open"
//
//   CAppPluginDoc* doc = CAppPluginDoc::openAppPluginDoc(plugin, true);
//   if (doc) doc->activateFrame();
#include <QObject>
#include <string>

#include "app/core/commandIds.h"
#include "ui/browser/pageFrame.h"
#include "ui/events/uiEvent.h"

namespace channels {
class AppPlugin;
}
class CAppPluginMdiChildWnd;

class CAppPluginView : public CPageView {
    Q_OBJECT
public:
    explicit CAppPluginView(CAppPluginMdiChildWnd* frame);
    // Asks the plug-in for a fresh main page and shows it; when the plug-in
    // fails, a message box tells its error and the view keeps its page.
    void onUpdate();

private:
    CAppPluginMdiChildWnd* frame_;
};

class CAppPluginDoc : public QObject {
    Q_OBJECT
public:
    ~CAppPluginDoc() override;

    // The plug-in's document. When it has one and create is set, its view
    // asks for a fresh main page. When it has none: null without create,
    // else a new window (navigation bar shown only with NavBarMode 1).
    static CAppPluginDoc* openAppPluginDoc(channels::AppPlugin* plugin, bool create);
    static int openDocumentCount();

    channels::AppPlugin* getAppPlugin() const { return plugin_; }
    CAppPluginMdiChildWnd* getFrame() const { return frame_; }
    CAppPluginView* getView() const;
    std::string getTitle() const;
    void setTitle(const std::string& title);
    void updateAllViews();
    // Brings the window forward (restored or maximised as the layout says).
    void activateFrame();

private:
    CAppPluginDoc() = default;
    void setAppPlugin(channels::AppPlugin* plugin, CAppPluginMdiChildWnd* frame);
    channels::AppPlugin* plugin_ = nullptr;
    CAppPluginMdiChildWnd* frame_ = nullptr;
};

class CAppPluginMdiChildWnd : public CPageMdiChildWnd, public UiEventHandler {
    Q_OBJECT
public:
    explicit CAppPluginMdiChildWnd(QWidget* parent = nullptr);
    ~CAppPluginMdiChildWnd() override;

    CAppPluginDoc* getDocument() const { return doc_; }
    channels::AppPlugin* getAppPlugin() const;
    CAppPluginView* getHtmlView() const { return view_; }
    // The caption the main frame shows: the plug-in's display name.
    std::string getCaptionText() const;
    int getMdiTabMenuId() const override { return kMenuPluginWindow; }

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override;
    std::string getDescription() const override { return "[CAppPluginBrowserMdiChildWnd]"; }

protected:
    bool navigateView(const std::string& url) override { return view_->navigate(url); }

private:
    friend class CAppPluginDoc;
    CAppPluginView* view_;
    CAppPluginDoc* doc_ = nullptr;
};

namespace ui {

// Opens (or finds, asking for a fresh main page) the plug-in's window and
// brings it forward; null for no plug-in.
CAppPluginDoc* openAppPluginWindow(channels::AppPlugin* plugin);
// The plug-in of the main frame's active child window when it is a plug-in
// window; else null.
channels::AppPlugin* getActiveAppPlugin();
// Makes the plug-in sheet what the channel parameters page opens for an RSS
// channel a plug-in serves.
void installAppPluginWindows();

}  // namespace ui
