#include "app/options/engineOptions.h"

#include "app/core/programObjects.h"
#include "app/listeners/localPortListener.h"
#include "app/options/globalOptions.h"
#include "channels/channelManager.h"
#include "channels/plugin/scriptingEngine.h"
#include "tools/httpAuth.h"

namespace {

// Whether the running listeners differ from what the options ask for.
bool listenersDiffer(const GlobalOptions& options, bool& pluginPortMoved) {
    pluginPortMoved = listeners::appPluginServer().getPort() != static_cast<unsigned>(options.AppPluginServerPortNo);
    return pluginPortMoved || listeners::port8888Listener().isStarted() != options.ListenForPort8888Subscriptions ||
           listeners::port5335Listener().isStarted() != options.ListenForPort5335Subscriptions ||
           listeners::port8900Listener().isStarted() != options.ListenForPort8900Subscriptions;
}

}  // namespace

EngineOptionsApplied applyOptionsToEngine() {
    const GlobalOptions& options = GlobalOptions::instance();
    channels::ScriptingEngine& engine = channels::getScriptingEngine();
    engine.setScriptTimeout(options.ScriptTimeout);
    channels::setFileTypeCommands(options.ScriptingFileAssociations);

    if (channels::ChannelManager* manager = getChannelManager()) {
        manager->setBlackoutIntervals(options.BlackoutTimes);
        manager->setUpdateJitterPercent(options.ChannelUpdateIntervalDriftPercentage);
        manager->setCheckRasConnection(options.EnableRasCheck);
        manager->setHttpProxyAuth(tools::cloneHttpAuth(options.ProxyAuth.get()));
    }

    EngineOptionsApplied applied;
    // The application server runs whenever the listeners are on.
    if (listeners::appServer().isStarted()) {
        bool pluginPortMoved = false;
        if (listenersDiffer(options, pluginPortMoved)) {
            listeners::enableLocalPortListeners(true);
            listeners::enableLocalPortListeners(false);
            applied.listenersRestarted = true;
            applied.pluginPortMoved = pluginPortMoved;
        }
    }
    return applied;
}
