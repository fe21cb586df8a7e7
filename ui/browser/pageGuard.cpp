#include "ui/browser/pageGuard.h"

#include <QHostAddress>
#include <QUrl>

#include "app/listeners/localPortListener.h"
#include "channels/appPlugins/appPluginManager.h"

namespace {

bool isLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

int portOf(const QUrl& url) {
    return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
}

bool isListenerPort(int port) {
    for (const listeners::LocalPortListener* listener :
         {static_cast<listeners::LocalPortListener*>(&listeners::appServer()),
          static_cast<listeners::LocalPortListener*>(&listeners::appPluginServer()),
          static_cast<listeners::LocalPortListener*>(&listeners::port8888Listener()),
          static_cast<listeners::LocalPortListener*>(&listeners::port5335Listener()),
          static_cast<listeners::LocalPortListener*>(&listeners::port8900Listener())}) {
        if (listener->getPort() != 0 && static_cast<int>(listener->getPort()) == port) return true;
    }
    // The ports the plug-ins are told (the same two servers).
    const channels::AppPluginManager& plugins = channels::getAppPluginManager();
    return port == plugins.getAppServerPort() || port == plugins.getAppPluginServerPort();
}

}  // namespace

void PageGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    // The page itself was checked by the view's link rules.
    if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame) return;
    const QUrl url = info.requestUrl();
    if (url.isLocalFile()) {
        if (info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeImage) info.block(true);
        return;
    }
    if (!isLoopbackHost(url.host())) return;
    const int port = portOf(url);
    if (!isListenerPort(port)) return;
    const QUrl page = info.firstPartyUrl();
    if (isLoopbackHost(page.host()) && portOf(page) == port) return;
    info.block(true);
}
