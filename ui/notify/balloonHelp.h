#pragma once
// The pop-up window of a notification balloon: a rounded rectangle placed
// beside an anchor point, with an optional icon, a bold title, an optional
// close button and a word-wrapped content. It closes itself on its time-out
// (checked once a second, never while its context menu is open), on its
// close button, on a click, on a context-menu command that asks for it, and
// on the user actions its options name.
//
//   auto* balloon = new CBalloonHelp;
//   balloon->setNotification(std::move(request));      // owned from now on
//   balloon->create("Title", "Text", QPoint(x, y), CBalloonHelp::Topmost | CBalloonHelp::ShowCloseButton,
//                   parent, 5000, icon);
//
// The attached request hears onShow, onClose, onClick (left click inside,
// when it is clickable) and onContextMenuCommand (right click, when it has
// a menu). The object outlives its window: hasWindow() turns false when the
// balloon closes, and the owner deletes the object later (or, with
// DeleteThisOnClose, it deletes itself).
//
// User-interface thread only.
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "ui/notify/notificationRequest.h"

class QMenu;
class QPropertyAnimation;
class QTimer;

class CBalloonHelp : public QWidget {
    Q_OBJECT
public:
    enum Option : unsigned {
        CloseOnLButtonUp = 0x0001,
        CloseOnMButtonUp = 0x0002,
        CloseOnRButtonUp = 0x0004,
        CloseOnLButtonDown = 0x0008,
        CloseOnMButtonDown = 0x0010,
        CloseOnRButtonDown = 0x0020,
        CloseOnMouseMove = 0x0040,
        CloseOnKeyPress = 0x0080,
        DelayClose = 0x0100,
        DeleteThisOnClose = 0x0200,
        ShowCloseButton = 0x0400,
        ShowInnerShadow = 0x0800,
        Topmost = 0x1000,
        DisableDropShadow = 0x2000,
        DisableFadeIn = 0x4000,
        DisableFadeOut = 0x8000,
    };
    static constexpr int kMargin = 8;
    static constexpr int kCornerEllipse = 24;

    CBalloonHelp();
    ~CBalloonHelp() override;

    // Creates and shows the balloon; false when nothing could be shown. The
    // parent (may be null) owns the window; the anchor is in screen
    // coordinates. timeoutMs 0: no automatic close.
    bool create(const std::string& title, const std::string& content, const QPoint& anchor, unsigned options,
                QWidget* parent, unsigned timeoutMs, const QIcon* icon = nullptr);

    // Attaches the request shown (owned from now on); before create.
    void setNotification(std::unique_ptr<NotificationRequest> request);
    NotificationRequest* getNotification() const { return notification_.get(); }

    void setTitleColour(const QColor& colour);
    void setBackgroundColour(const QColor& colour);
    void setBorderColour(const QColor& colour);
    void setContentColour(const QColor& colour);
    // A copy of the icon at its own size; a null icon removes it.
    void setIcon(const QIcon& icon);
    // The icon drawn at the given size.
    void setIconScaled(const QIcon& icon, const QSize& size);
    void setTitle(const std::string& title);
    void setContent(const std::string& content);
    void setTitleFont(const QFont& font);
    void setContentFont(const QFont& font);
    void setMouseMoveTolerance(int pixels) { mouseMoveTolerance_ = pixels; }
    // Starts (ms > 0) or stops (0) the close countdown.
    void setTimeout(unsigned ms);
    // The anchor, in the client coordinates of anchorWindow when one is
    // given (the balloon then follows that window when it moves).
    void setAnchorPoint(const QPoint& point, QWidget* anchorWindow = nullptr);

    // Closes the balloon (or, with DelayClose, starts the countdown instead).
    void hideBalloon();

    bool hasWindow() const { return hasWindow_; }
    std::string getTitle() const { return title_; }
    const std::string& getContent() const { return content_; }
    unsigned getOptions() const { return options_; }
    unsigned getTimeout() const { return timeout_; }
    QColor getTitleColour() const { return titleColour_; }
    bool isMenuOpen() const { return menuOpen_; }
    // The close button's rectangle in widget coordinates (empty without one).
    QRect closeButtonRect() const;
    QPoint anchorOnScreen() const;

    // The size parts, for placement and painting.
    QSize headerSize() const;
    QSize contentSize() const;
    // Places the balloon beside its anchor inside the anchor screen's work
    // area.
    void positionWindow();
    // The top-left corner for a window of size `size` anchored at `anchor`
    // within `workArea` (what positionWindow uses).
    static QPoint placeWindow(const QSize& size, const QPoint& anchor, const QRect& workArea);
    // `balloon` moved off `avoid` (a modal dialog's frame) inside `workArea`:
    // beside the dialog on its nearest side with room, else to the work
    // area's corner the dialog covers least; unchanged when they don't meet.
    static QRect clearOf(const QRect& balloon, const QRect& avoid, const QRect& workArea);

    // The menus of the balloons by id (null for an unknown id).
    static QMenu* createContextMenu(int menuId, QWidget* parent);

signals:
    // The window has gone (after onClose).
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSize closeButtonSize() const;
    QRect workArea() const;
    // The frame of the modal dialog now active (empty when there is none).
    QRect modalWindowToAvoid() const;
    void showBalloon();
    void destroyWindow();
    void updateCloseButton(const QPoint& pos);
    void showContextMenu(const QPoint& globalPos);
    void installInputFilter();
    void removeInputFilter();
    void relayout();

    unsigned options_ = 0;
    unsigned timeout_ = 0;
    int closeTimer_ = 0;
    qint64 closeDeadline_ = 0;
    QElapsedTimer clock_;
    std::string title_;
    std::string content_;
    QPointer<QWidget> anchorWindow_;
    QPoint anchor_;
    // The modal dialog's frame the balloon was last placed clear of; a
    // watch moves the balloon when a modal dialog comes up or moves.
    QRect avoided_;
    QTimer* modalWatch_ = nullptr;
    QPixmap icon_;
    QFont titleFont_;
    QFont contentFont_;
    QColor backgroundColour_;
    QColor borderColour_;
    QColor titleColour_;
    QColor contentColour_;
    QPoint mouseOrigin_;
    bool inputFilter_ = false;
    // Close button: hot, pushed.
    bool closeHot_ = false;
    bool closePushed_ = false;
    int mouseMoveTolerance_ = 3;
    std::unique_ptr<NotificationRequest> notification_;
    bool menuOpen_ = false;
    bool hasWindow_ = false;
    bool hiding_ = false;
    QPointer<QPropertyAnimation> fade_;
};
