#pragma once
// The lower pane of a channel window: the channel's summary page or an
// item's page, with the navigation bar above it.
//
// Pages run with JavaScript off and may not read other local files. Only
// http, https, mailto and the program's own pages are navigated to; any
// other link (javascript:, file: elsewhere, data:) is refused. With the
// debugging switch "DisableInternet" on, a web address is not fetched: a
// local page in the temporary folder names it instead (removed at exit).
#include <QWidget>
#include <memory>
#include <string>

#include "ui/channel/browserToolbar.h"
#include "ui/events/uiEvent.h"

class QWebEngineView;
class CChannelMdiChildWnd;
namespace tools {
class TempFile;
}

class CChannelBrowserView : public QWidget, public UiEventHandler, public CBrowserToolbarParent {
    Q_OBJECT
public:
    CChannelBrowserView(CChannelMdiChildWnd* frame, channels::Channel* channel, QWidget* parent);
    ~CChannelBrowserView() override;

    // False when the address was refused.
    bool navigateToItem(const std::string& url, bool setFocus);
    void showSummary();
    void refreshSummary();
    void refreshSummaryIfShown();
    void showNavBar(bool show);
    bool isNavBarVisible() const;
    bool navigate(const std::string& url);
    bool isLocalPageShown() const;

    QWebEngineView* webView() const { return web_; }
    CBrowserToolbar* toolbar() const { return toolbar_; }

    void onGlobalOptionsChanged(GlobalOptionsChangedUiEvent&) override { refreshSummaryIfShown(); }
    void onChannelConfigChanged(ChannelConfigChangedUiEvent& e) override;
    void onMarkFeedItemAsViewed(MarkFeedItemAsViewedUiEvent& e) override;
    std::string getDescription() const override;

    void onBrowserGoBack() override;
    void onBrowserGoForward() override;
    void onBrowserNavigate(const std::string& url) override;
    void onBrowserEscape() override;

    // A link the page asks to follow: tells the desktop (UrlOpened) and
    // says whether it may be followed.
    bool linkRequested(const QUrl& url);

private:
    // False (and a page saying why) when the summary page can't be made.
    bool generateSummaryPage();
    CChannelMdiChildWnd* frame_;
    channels::Channel* channel_;
    CBrowserToolbar* toolbar_;
    QWebEngineView* web_;
    std::unique_ptr<tools::TempFile> offlinePage_;
    // A followed link is on its way: the page shown is about to go, so it
    // is not refreshed meanwhile (a refresh would cancel the link).
    bool leavingPage_ = false;
};
