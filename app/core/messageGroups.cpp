#include "app/core/messageGroups.h"

// Construction order fixes the group numbers: keep it.
CMessageGroup g_channelEventsGroup("ChannelEvents", "");
CMessageGroup g_notificationRequestQueueGroup("NotificationRequestQueue", "");
CMessageGroup g_viewedFeedItemsGroup("ViewedFeedItems", "");
CMessageGroup g_uiEventsGroup("UiEvents", "");
CMessageGroup g_startupGroup("Startup", "");
CMessageGroup g_shutdownGroup("Shutdown", "");
CMessageGroup g_channelHookCallbacksGroup("ChannelHookCallbacks", "");
CMessageGroup g_importViewedUrlsGroup("ImportViewedUrls", "");
CMessageGroup g_channelFiltersGroup("ChannelFilters", "");
CMessageGroup g_myChannelsSortingGroup("MyChannelsSorting", "");

namespace {
std::map<unsigned, ChannelHookCommand> g_channelHookCommands;
std::map<unsigned, std::string> g_channelCategoryCommands;
std::map<unsigned, const UserTool*> g_userToolCommands;
}  // namespace

std::map<unsigned, ChannelHookCommand>& channelHookCommandTable() { return g_channelHookCommands; }

std::map<unsigned, std::string>& channelCategoryCommandTable() { return g_channelCategoryCommands; }

std::map<unsigned, const UserTool*>& userToolCommandTable() { return g_userToolCommands; }
