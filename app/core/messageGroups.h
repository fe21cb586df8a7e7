#pragma once
// The desktop program's own message groups, and the three tables behind the
// main frame's dynamic menus (command identifier -> what it stands for).
//
//   ORVAN_LOG(g_startupGroup) << "Loading the global options." << std::endl;
//
// The groups are constructed in this order before main() and are switched by
// name in section "MessageLog" of the user's debug.ini.
#include <map>
#include <string>

#include "lib/log/messageGroup.h"

namespace channels {
class ChannelHook;
}
class UserTool;

extern CMessageGroup g_channelEventsGroup;             // "ChannelEvents"
extern CMessageGroup g_notificationRequestQueueGroup;  // "NotificationRequestQueue"
extern CMessageGroup g_viewedFeedItemsGroup;           // "ViewedFeedItems"
extern CMessageGroup g_uiEventsGroup;                  // "UiEvents"
extern CMessageGroup g_startupGroup;                   // "Startup"
extern CMessageGroup g_shutdownGroup;                  // "Shutdown"
extern CMessageGroup g_channelHookCallbacksGroup;      // "ChannelHookCallbacks"
extern CMessageGroup g_importViewedUrlsGroup;          // "ImportViewedUrls"
extern CMessageGroup g_channelFiltersGroup;            // "ChannelFilters"
extern CMessageGroup g_myChannelsSortingGroup;         // "MyChannelsSorting"

// One channel-hook command of a dynamic menu: the hook and the command's name.
struct ChannelHookCommand {
    channels::ChannelHook* hook = nullptr;
    std::string commandName;
};

// Filled and used by the main frame on the user-interface thread.
std::map<unsigned, ChannelHookCommand>& channelHookCommandTable();
std::map<unsigned, std::string>& channelCategoryCommandTable();
std::map<unsigned, const UserTool*>& userToolCommandTable();
