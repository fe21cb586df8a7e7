#include "ui/channel/channelBrowserView.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "channels/channel.h"
#include "tools/tempFile.h"
#include "ui/browser/pageGuard.h"
#include "ui/browser/pluginServerAccess.h"
#include "ui/channel/channelFrame.h"
#include "ui/events/uiHandler.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/openers.h"

namespace {
bool startsWithFileScheme(const std::string& url) {
    return url.size() >= 7 && QString::fromStdString(url.substr(0, 7)).compare("file://", Qt::CaseInsensitive) == 0;
}

// Asks the view before following a link.
class ChannelPage : public QWebEnginePage {
public:
    ChannelPage(CChannelBrowserView* view) : QWebEnginePage(view), view_(view) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (!isMainFrame) return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        if (type == NavigationTypeTyped) return true;  // checked by navigate
        return view_->linkRequested(url);
    }

private:
    CChannelBrowserView* view_;
};
}  // namespace

CChannelBrowserView::CChannelBrowserView(CChannelMdiChildWnd* frame, channels::Channel* channel, QWidget* parent)
    : QWidget(parent),
      frame_(frame),
      channel_(channel),
      toolbar_(new CBrowserToolbar(this, this)),
      web_(new QWebEngineView(this)) {
    setObjectName(QStringLiteral("channelBrowserView"));
    ui::installPluginServerAccess();
    auto* page = new ChannelPage(this);
    QWebEngineSettings* s = page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // Summary pages are local files that show local pictures (the items'
    // read, new and unread marks) and the pictures of item descriptions,
    // which are on the web; PageGuard limits both.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    page->setUrlRequestInterceptor(new PageGuard(page));
    web_->setPage(page);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(toolbar_);
    layout->addWidget(web_, 1);
    connect(web_, &QWebEngineView::loadFinished, this, [this](bool) {
        leavingPage_ = false;
        toolbar_->setUrl(web_->url().toString().toStdString());
    });
    connect(web_, &QWebEngineView::urlChanged, this, [this](const QUrl&) { leavingPage_ = false; });
    getUiHandler()->addEventHandler(this);
}

CChannelBrowserView::~CChannelBrowserView() {
    if (isUiHandlerSet()) getUiHandler()->removeEventHandler(this);
}

std::string CChannelBrowserView::getDescription() const {
    return "[CChannelBrowserView: " + channels::getChannelDisplayName(channel_) + "]";
}

bool CChannelBrowserView::linkRequested(const QUrl& url) {
    const std::string text = url.toString().toStdString();
    if (!isOpenableUrl(url)) {
        showDesktopMessage(this, "This link can't be opened: " + text);
        return false;
    }
    leavingPage_ = url != web_->url();
    UrlOpenedUiEvent event(text, channel_);
    getUiHandler()->fireEvent(event);
    if (GlobalOptions::instance().AutoHideFeedItems && frame_ != nullptr) frame_->hideItemPane();
    toolbar_->setUrl(text);
    return true;
}

bool CChannelBrowserView::navigate(const std::string& url) {
    const QUrl target = startsWithFileScheme(url) ? QUrl(QString::fromStdString(url))
                                                  : QUrl::fromUserInput(QString::fromStdString(url));
    if (!isOpenableUrl(target)) {
        showDesktopMessage(this, "This link can't be opened: " + url);
        return false;
    }
    toolbar_->setUrl(url);
    web_->load(target);
    return true;
}

bool CChannelBrowserView::navigateToItem(const std::string& url, bool setFocus) {
    if (!startsWithFileScheme(url) && getDebugSwitch("DisableInternet")) {
        if (!isOpenableUrl(QUrl(QString::fromStdString(url)))) {
            showDesktopMessage(this, "This link can't be opened: " + url);
            return false;
        }
        offlinePage_ = std::make_unique<tools::TempFile>(".html");
        offlinePage_->open();
        *offlinePage_ << "<HTML>\n<BODY>\n"
                      << QString::fromStdString(url).toHtmlEscaped().toStdString() << "\n</BODY>\n</HTML>\n";
        offlinePage_->close();
        return navigate("file://" + offlinePage_->getFilename());
    }
    if (!navigate(url)) return false;
    if (setFocus) web_->setFocus();
    return true;
}

bool CChannelBrowserView::generateSummaryPage() {
    try {
        generateChannelSummaryPage(channel_);
        return true;
    } catch (const std::exception& e) {
        // The page can't be made (no template, a full disk): say so in the pane.
        web_->setHtml(QStringLiteral("<html><body><p>%1</p></body></html>")
                          .arg(QString::fromStdString(e.what()).toHtmlEscaped()));
        return false;
    }
}

void CChannelBrowserView::showSummary() {
    if (generateSummaryPage()) navigate("file://" + channel_->getSummaryPageFilename());
}

void CChannelBrowserView::refreshSummary() {
    if (generateSummaryPage()) web_->reload();
}

bool CChannelBrowserView::isLocalPageShown() const { return web_->url().isLocalFile(); }

void CChannelBrowserView::refreshSummaryIfShown() {
    if (isLocalPageShown() && !leavingPage_) refreshSummary();
}

void CChannelBrowserView::showNavBar(bool show) { toolbar_->setVisible(show); }

bool CChannelBrowserView::isNavBarVisible() const { return !toolbar_->isHidden(); }

void CChannelBrowserView::onChannelConfigChanged(ChannelConfigChangedUiEvent& e) {
    if (e.getChannel() == channel_) refreshSummaryIfShown();
}

void CChannelBrowserView::onMarkFeedItemAsViewed(MarkFeedItemAsViewedUiEvent& e) {
    if (e.getChannel() == channel_ && e.getUpdateChannelSummaryPage() && e.isEndMarkAll()) refreshSummaryIfShown();
}

void CChannelBrowserView::onBrowserGoBack() { web_->back(); }
void CChannelBrowserView::onBrowserGoForward() { web_->forward(); }
void CChannelBrowserView::onBrowserNavigate(const std::string& url) {
    navigate(url);
    web_->setFocus();
}
void CChannelBrowserView::onBrowserEscape() { web_->setFocus(); }
