#include "ui/browser/pluginServerAccess.h"

#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

#include "app/listeners/localPortListener.h"
#include "channels/appPlugins/appPluginManager.h"

namespace ui {

namespace {

bool isPluginServer(const QUrl& url, int pluginPort) {
    if (pluginPort <= 0 || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0) return false;
    const QString host = url.host();
    return (host == QLatin1String("127.0.0.1") || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) &&
           url.port(80) == pluginPort;
}

class PluginServerTokenInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const int port = channels::getAppPluginManager().getAppPluginServerPort();
        if (!carriesPluginServerToken(info.requestUrl(), info.initiator(), port)) return;
        info.setHttpHeader(QByteArray(listeners::kPluginServerTokenHeader),
                           QByteArray::fromStdString(listeners::pluginServerToken()));
    }
};

}  // namespace

bool carriesPluginServerToken(const QUrl& target, const QUrl& initiator, int pluginPort) {
    if (!isPluginServer(target, pluginPort)) return false;
    // The program's own loads have no initiating page ("null" for an opaque
    // origin is another page's, a local file's included).
    if (initiator.isEmpty()) return true;
    return isPluginServer(initiator, pluginPort);
}

void installPluginServerAccess() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
    profile->setUrlRequestInterceptor(new PluginServerTokenInterceptor(profile));
}

}  // namespace ui
