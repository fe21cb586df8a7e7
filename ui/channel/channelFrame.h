#pragma once
// The child frame of a channel window: the item list above, the page below,
// split in two rows. The frame owns the item pane's height (size to fit,
// hide, show again) and the commands that act on the whole window.
//
// Commands reach the window as the main frame's actions (runCommand and
// commandState of the base): the frame's own first, then those of the
// active pane's list (the pane that last had the focus; the item list until
// the page has had it), then the navigation bar's, whatever has the focus.
// Its tab (or title-bar) menu starts with "Show &summary" and "Show na&vbar".
#include <ctime>
#include <string>

#include "ui/channel/mdiChildBase.h"
#include "ui/events/uiEvent.h"

class QSplitter;
class CChannelItemView;
class CChannelBrowserView;

class CChannelMdiChildWnd : public CAppMdiChildWnd, public UiEventHandler {
    Q_OBJECT
public:
    explicit CChannelMdiChildWnd(channels::Channel* channel, QWidget* parent = nullptr);
    ~CChannelMdiChildWnd() override;

    channels::Channel* getChannel() const { return channel_; }
    CChannelItemView* getItemView() const { return itemView_; }
    CChannelBrowserView* getBrowserView() const { return browserView_; }

    int getItemPaneHeight() const;
    void setItemPaneHeight(int height);
    void hideItemPane();
    int getMaxItemPaneHeight() const;
    void sizeToFit(bool limitToMax, bool showHint);
    void setRefreshPending(bool pending) { refreshPending_ = pending; }
    bool isRefreshPending() const { return refreshPending_; }

    // The frame's commands: 32856 next, 32857 previous, 32859 show item
    // pane, 108 size to fit, 32858 show summary, 32896 add to the read-me
    // list, 32912 navigation bar; then the item list's (while it is the
    // active pane) and the navigation bar's 32909 back, 32910 forward and
    // 32915 go to the typed address. False when not handled.
    bool runCommand(int id) override;
    ChildCommandState commandState(int id) const override;
    QString captionText() const override;
    // Whether the item list is the active pane (else the page is).
    bool isItemViewActive() const { return itemViewActive_; }

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override;
    void onChannelDeleted(ChannelDeletedUiEvent& e) override;
    std::string getDescription() const override;

signals:
    void activated();

private:
    channels::Channel* channel_;
    QSplitter* splitter_;
    CChannelItemView* itemView_;
    CChannelBrowserView* browserView_;
    int rememberedHeight_ = 0;
    bool refreshPending_ = false;
    bool itemViewActive_ = true;
    std::time_t lastSizeToFit_ = 0;
};
