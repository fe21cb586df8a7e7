#include "ui/browser/safeWebView.h"

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

#include "ui/browser/pageGuard.h"
#include "ui/browser/pluginServerAccess.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/openers.h"

namespace {

bool startsWithFileScheme(const std::string& url) {
    return url.size() >= 7 && QString::fromStdString(url.substr(0, 7)).compare("file://", Qt::CaseInsensitive) == 0;
}

// A local page's address is taken as it stands; anything else as a user
// would type it ("example.com" is http).
QUrl targetOf(const std::string& url) {
    return startsWithFileScheme(url) ? QUrl(QString::fromStdString(url))
                                     : QUrl::fromUserInput(QString::fromStdString(url));
}

class SafeWebPage : public QWebEnginePage {
public:
    explicit SafeWebPage(SafeWebView* view) : QWebEnginePage(view), view_(view) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        // Frames inside a page are the page's own business; typed addresses
        // were checked by navigate().
        if (!isMainFrame || type == NavigationTypeTyped) return true;
        if (!view_->linkRequested(url)) return false;
        // A local page may not reach the network by itself (so a page that
        // came from a feed can't send requests to the program's own
        // servers); a link the user follows from it (a plug-in's main page,
        // a report) is loaded by the view as if typed.
        const bool fromLocalPage = this->url().isLocalFile() && !url.isLocalFile();
        if (fromLocalPage && (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted)) {
            QPointer<SafeWebView> view = view_;
            QMetaObject::invokeMethod(
                view_,
                [view, url] {
                    if (view) view->load(url);
                },
                Qt::QueuedConnection);
            return false;
        }
        return true;
    }

private:
    SafeWebView* view_;
};

}  // namespace

SafeWebView::SafeWebView(QWidget* parent) : QWebEngineView(parent) {
    ui::installPluginServerAccess();
    auto* page = new SafeWebPage(this);
    QWebEngineSettings* s = page->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // A report shows the item pictures of the program directory and the
    // pictures of its items' descriptions, which are on the web; PageGuard
    // keeps other local files and the program's own servers out of the page.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    page->setUrlRequestInterceptor(new PageGuard(page));
    setPage(page);
}

bool SafeWebView::linkRequested(const QUrl& url) {
    if (isOpenableUrl(url)) return true;
    lastRefused_ = url.toString().toStdString();
    showDesktopMessage(this, "This link can't be opened: " + lastRefused_);
    return false;
}

bool SafeWebView::isViewable(const std::string& url) { return isOpenableUrl(targetOf(url)); }

bool SafeWebView::navigate(const std::string& url) {
    const QUrl target = targetOf(url);
    if (!isOpenableUrl(target)) {
        lastRefused_ = url;
        showDesktopMessage(this, "This link can't be opened: " + url);
        return false;
    }
    load(target);
    return true;
}
