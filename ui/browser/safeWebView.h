#pragma once
// The web view of the simple-browser and plug-in windows. Pages run with
// JavaScript off, take local files only as pictures (see PageGuard) and
// don't reach remote addresses from a local page. A link the page
// follows is first checked: only http, https, mailto and the program's own
// pages are followed; anything else (javascript:, data:, a file elsewhere)
// is refused with a message and the page stays as it is.
#include <QWebEngineView>
#include <string>

class QUrl;

class SafeWebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit SafeWebView(QWidget* parent = nullptr);

    // Loads an address given by the program or typed by the user; false
    // (with a message) when it is not one the program opens.
    bool navigate(const std::string& url);
    // Whether navigate would load the address.
    static bool isViewable(const std::string& url);
    // The check of every link the page asks to follow (a click, a form, a
    // redirect); false (with a message) when refused.
    bool linkRequested(const QUrl& url);
    // The text of the last refusal (for the tests and the log).
    const std::string& lastRefused() const { return lastRefused_; }

private:
    std::string lastRefused_;
};
