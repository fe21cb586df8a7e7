#include "app/desktop/desktopLog.h"

namespace {
CMessageGroup g_channelEvents("ChannelEvents", "");
CMessageGroup g_uiEvents("UiEvents", "");
CMessageGroup g_startup("Startup", "");
CMessageGroup g_shutdown("Shutdown", "");
CMessageGroup g_channelHookCallbacks("ChannelHookCallbacks", "");
}  // namespace

CMessageGroup& uiEventsGroup() { return g_uiEvents; }
CMessageGroup& startupGroup() { return g_startup; }
CMessageGroup& shutdownGroup() { return g_shutdown; }
CMessageGroup& channelEventsGroup() { return g_channelEvents; }
CMessageGroup& channelHookCallbacksGroup() { return g_channelHookCallbacks; }
