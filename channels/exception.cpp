#include "channels/exception.h"

namespace channels {

CMessageGroup& logGroupChannelManager() {
    static CMessageGroup group("ChannelManager", "");
    return group;
}

CMessageGroup& logGroupChannelManagerActivity() {
    static CMessageGroup group("ChannelManagerActivity", "");
    return group;
}

CMessageGroup& logGroupScriptPlugins() {
    static CMessageGroup group("ScriptPlugins", "");
    return group;
}

CMessageGroup& logGroupChannelHooks() {
    static CMessageGroup group("ChannelHooks", "");
    return group;
}

CMessageGroup& logGroupPluginLoad() {
    static CMessageGroup group("PluginLoad", "");
    return group;
}

namespace {
// Registers the groups during static initialisation, before the debug
// configuration switches groups at start-up.
const bool g_registered =
    (logGroupInternetDownloads(), logGroupHttpHeaders(), logGroupChannelManager(), logGroupChannelManagerActivity(),
     logGroupScriptPlugins(), logGroupChannelHooks(), logGroupPluginLoad(), true);
}  // namespace

}  // namespace channels
