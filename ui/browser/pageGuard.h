#pragma once
// What the program's HTML views let a page load besides itself:
//
//   page->setUrlRequestInterceptor(new PageGuard(page));
//
// Local files only as pictures (a summary page's or report's item pictures
// and background), so a feed's text can't frame or include other files of
// the machine. Nothing from the program's own listeners on this machine
// (application server, plug-in server, subscription listeners) unless the
// page itself came from that listener: a feed's text must not subscribe, add
// to the read-me list or run a plug-in request just by being shown.
#include <QWebEngineUrlRequestInterceptor>

class PageGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
};
