#pragma once
// Simple-browser windows: a child window showing one web page or local page
// (the welcome page, reports, read-me entries, a channel's last feed). Each
// window has a key, which is also its first title; asking for a key that
// has a window gives that window. A window opened under an http address
// takes the page's title once the page is loaded; one opened under a
// descriptive key keeps it.
//
//   ui::openSimpleBrowserWindow("http://example.com/", "Orvan forums");
//
//   CSimpleBrowserDoc* doc = CSimpleBrowserDoc::openSimpleBrowserDoc(key, true, true);
//   doc->activateFrame();
//   doc->getView()->navigate(url);
#include <QObject>
#include <string>

#include "app/core/commandIds.h"
#include "ui/browser/pageFrame.h"
#include "ui/events/uiEvent.h"

class CSimpleBrowserMdiChildWnd;

class CSimpleBrowserView : public CPageView {
    Q_OBJECT
public:
    explicit CSimpleBrowserView(CSimpleBrowserMdiChildWnd* frame);
};

class CSimpleBrowserDoc : public QObject {
    Q_OBJECT
public:
    ~CSimpleBrowserDoc() override;

    // The window of `key`; with create, a new one when there is none, its
    // navigation bar as the option NavBarMode says (1 shown, 2 hidden,
    // otherwise showNavBar decides). Null when there is none and create is
    // false.
    static CSimpleBrowserDoc* openSimpleBrowserDoc(const std::string& key, bool create, bool showNavBar);
    static int openDocumentCount();

    const std::string& getKey() const { return key_; }
    // The window's title: the key (at most 260 characters), or the page's
    // title once an http page has loaded.
    std::string getTitle() const;
    void setTitle(const std::string& title);
    CSimpleBrowserMdiChildWnd* getFrame() const { return frame_; }
    CSimpleBrowserView* getView() const;
    // Brings the window forward (restored or maximised as the layout says).
    void activateFrame();

private:
    CSimpleBrowserDoc() = default;
    void setKey(const std::string& key, CSimpleBrowserMdiChildWnd* frame);
    std::string key_;
    CSimpleBrowserMdiChildWnd* frame_ = nullptr;
};

class CSimpleBrowserMdiChildWnd : public CPageMdiChildWnd, public UiEventHandler {
    Q_OBJECT
public:
    explicit CSimpleBrowserMdiChildWnd(QWidget* parent = nullptr);
    ~CSimpleBrowserMdiChildWnd() override;

    CSimpleBrowserDoc* getDocument() const { return doc_; }
    CSimpleBrowserView* getBrowserView() const { return view_; }
    std::string getTitle() const;
    int getMdiTabMenuId() const override { return kMenuSimpleBrowserWindow; }

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override;
    std::string getDescription() const override { return "[CSimpleBrowserMdiChildWnd]"; }

protected:
    bool navigateView(const std::string& url) override { return view_->navigate(url); }

private:
    friend class CSimpleBrowserDoc;
    CSimpleBrowserView* view_;
    CSimpleBrowserDoc* doc_ = nullptr;
};

namespace ui {

// Shows `url` in the window of `key` (the address itself when key is
// empty), made when missing, and brings it forward. Null when the address
// is refused or no window results.
CSimpleBrowserDoc* openSimpleBrowserWindow(const std::string& url, const std::string& key = std::string(),
                                           bool showNavBar = true);

}  // namespace ui
