#pragma once
// The document of a channel window. There is at most one per channel: a
// process-wide registry maps each channel to its open document, so every
// part of the desktop can find, open and bring forward a channel's window.
//
//   CChannelDoc* doc = CChannelDoc::openChannelDoc(channel, true);
//   if (doc) doc->activateFrame(false);
//
// A window whose channel is deleted closes (ChannelDeleted), and the
// registry forgets the channel before the channel goes.
#include <QObject>
#include <string>

#include "ui/events/uiEvent.h"

namespace channels {
class FeedItem;
}
class CChannelMdiChildWnd;

class CChannelDoc : public QObject, public UiEventHandler {
    Q_OBJECT
public:
    ~CChannelDoc() override;

    // The channel's document; with create, a new window when there is none
    // (null when the channel manager no longer knows the channel).
    static CChannelDoc* openChannelDoc(channels::Channel* channel, bool create);
    // How many channel documents are open.
    static int openDocumentCount();
    // Drops the channel's document from the registry (its window closes).
    static void forgetChannel(channels::Channel* channel);

    channels::Channel* getChannel() const { return channel_; }
    CChannelMdiChildWnd* getFrame() const { return frame_; }
    QString getTitle() const;

    void activateFrame(bool sizeToFit);
    // Refreshes the views: the item list reloads, and the page shows the
    // summary (with the open flag) or refreshes it while a local page is shown.
    void updateAllViews(bool openWindow);
    void showFeedItem(const std::string& itemUrl, const std::string& itemId, bool sizeToFit);
    void showChannelSummary();
    // Shows an address in the window's page pane.
    bool navigate(const std::string& url);

    void onChannelConfigChanged(ChannelConfigChangedUiEvent& e) override;
    void onChannelFeedUpdated(ChannelFeedUpdatedUiEvent& e) override;
    std::string getDescription() const override;

    // Whether the "ChannelSummaryPage" hint was offered in this run; and
    // whether the new-channel wizard is open (the hint waits then).
    static void resetSummaryHintForTest();
    static void setNewChannelWizardOpen(bool open);

private:
    CChannelDoc() = default;
    void setChannel(channels::Channel* channel, CChannelMdiChildWnd* frame);
    channels::Channel* channel_ = nullptr;
    CChannelMdiChildWnd* frame_ = nullptr;
};

// Opens the channel's window and shows the item there; beeps when no
// window results.
void openFeedItemInChannelWindow(channels::Channel* channel, const channels::FeedItem& item);
// Opens the item with the user's browser and counts it as opened.
void openFeedItemInNewWindow(channels::Channel* channel, const channels::FeedItem& item);
// Installs the channel-window operations of the user-interface handler.
void installChannelWindowOps();
