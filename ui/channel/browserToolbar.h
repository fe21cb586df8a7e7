#pragma once
// The navigation bar above a page view: Back (32909), Forward (32910), the
// address box (in the place of 32913) and the go button (32915). It does not
// navigate itself: each request goes to its owner, a CBrowserToolbarParent.
// Enter in the address box asks the owner to navigate to the trimmed text
// (blanks only: nothing); Escape gives the focus back to the owner.
//
// The address box is put in place when the bar is reset (reset(), which the
// constructor does once, as a freshly loaded bar is); until then setUrl is
// ignored. The program's own temporary pages (a channel's summary page, the
// plug-in pages) leave the box empty; any other address is shown as given.
//
// Layout: the go button's right edge is a quarter of the bar's height from
// the bar's right edge, and the address box stretches up to half of that
// distance before the go button.
#include <QWidget>
#include <string>

class QAction;
class QFrame;
class QLineEdit;
class QToolButton;

class CBrowserToolbarParent {
public:
    virtual ~CBrowserToolbarParent() = default;
    virtual void onBrowserGoBack() = 0;
    virtual void onBrowserGoForward() = 0;
    virtual void onBrowserNavigate(const std::string& url) = 0;
    virtual void onBrowserEscape() {}
};

class CBrowserToolbar : public QWidget {
    Q_OBJECT
public:
    CBrowserToolbar(CBrowserToolbarParent* owner, QWidget* parent);

    // Puts the bar back as it was loaded (the address box's place empty),
    // then onReset.
    void reset();
    // Puts the address box in its place and lays the bar out again.
    void onReset();
    bool isUrlBoxCreated() const { return urlEdit_ != nullptr; }

    void setUrl(const std::string& url);
    std::string getUrl() const;
    void layoutUrlBox();

    // 32909 back, 32910 forward, 32915 go to the typed address; false for
    // other commands.
    static bool isToolbarCommand(int id);
    bool runCommand(int id);

    // Null until the first reset.
    QLineEdit* urlEdit() const { return urlEdit_; }
    QAction* backAction() const { return back_; }
    QAction* forwardAction() const { return forward_; }
    QAction* goAction() const { return go_; }
    QToolButton* goButton() const { return goButton_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void goToUrl();
    CBrowserToolbarParent* owner_;
    QAction* back_;
    QAction* forward_;
    QAction* go_;
    QToolButton* backButton_;
    QToolButton* forwardButton_;
    QFrame* separator_;
    QToolButton* goButton_;
    QLineEdit* urlEdit_ = nullptr;
};
