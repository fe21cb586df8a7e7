#pragma once
// The navigation bar above a page view: Back, Forward and an address box.
// Enter in the box asks the owner to navigate to the trimmed text (an empty
// text does nothing); Escape gives the focus back to the owner.
#include <QToolBar>
#include <string>

class QLineEdit;

class CBrowserToolbarParent {
public:
    virtual ~CBrowserToolbarParent() = default;
    virtual void onBrowserGoBack() = 0;
    virtual void onBrowserGoForward() = 0;
    virtual void onBrowserNavigate(const std::string& url) = 0;
    virtual void onBrowserEscape() = 0;
};

class CBrowserToolbar : public QToolBar {
    Q_OBJECT
public:
    CBrowserToolbar(CBrowserToolbarParent* owner, QWidget* parent);
    void setUrl(const std::string& url);
    std::string getUrl() const;
    QLineEdit* urlEdit() const { return urlEdit_; }
    QAction* backAction() const { return back_; }
    QAction* forwardAction() const { return forward_; }

private:
    CBrowserToolbarParent* owner_;
    QLineEdit* urlEdit_;
    QAction* back_;
    QAction* forward_;
};
