#pragma once
// Every command number of the program, and the menu numbers that pick a
// window's menu. The numbers are fixed: a second instance posts them, plug-ins
// and stored hotkeys name them. No other source file writes one as a number
// (scripts/check-layers checks it).

// File menu and the program's own commands.
constexpr int kCmdNewChannel = 32847;
constexpr int kCmdOpen = 32845;  // the selected channel or plug-in
constexpr int kCmdOpenNextChannel = 32963;
constexpr int kCmdClose = 57602;  // the active child window
constexpr int kCmdDeleteChannel = 32826;
constexpr int kCmdExit = 57665;
constexpr int kCmdShowMainWindow = 32844;  // also what a second instance sends
constexpr int kCmdTrayExit = 32842;

// Channel menu and the My Channels context menu.
constexpr int kCmdProperties = 32827;
constexpr int kCmdUpdateNow = 32828;
constexpr int kCmdViewLastFeed = 32888;
constexpr int kCmdMarkActiveChannelRead = 32952;    // the active channel window's channel
constexpr int kCmdMarkSelectedChannelRead = 32970;  // the channel selected in My Channels
constexpr int kCmdHasNewContent = 32905;
constexpr int kCmdAddFromClipboard = 32917;  // to the read-me list

// Placeholders replaced by the items built when their menu opens.
constexpr int kCmdCategoriesPlaceholder = 32965;
constexpr int kCmdHookCommandsPlaceholder = 32966;
constexpr int kCmdToolbarsPlaceholder = 32771;

// View menu: the bars, the Control Center's tabs and the logs.
constexpr int kCmdShowMyChannels = 32831;
constexpr int kCmdShowPlugins = 32832;
constexpr int kCmdShowActivityLog = 32833;
constexpr int kCmdShowErrorLog = 32834;
constexpr int kCmdToggleControlCenter = 32803;
constexpr int kCmdToggleLogs = 32804;
constexpr int kCmdToggleWorkpad = 32895;
constexpr int kCmdToggleCaptionBar = 32816;
constexpr int kCmdToggleStatusBar = 59393;
constexpr int kCmdToggleGeneralToolbar = 32838;
constexpr int kCmdToggleChannelsToolbar = 32839;

// User toolbars and the shortcuts bar's buttons (none of them exists).
constexpr int kCmdFirstUserToolbar = 32793;
constexpr int kCmdLastUserToolbar = 32802;
constexpr int kCmdFirstShortcut = 32817;
constexpr int kCmdLastShortcut = 32821;

// The organize dialogs, options and customizing.
constexpr int kCmdOrganizeFavorites = 32960;
constexpr int kCmdOrganizeFilters = 32962;
constexpr int kCmdOrganizeReports = 32968;
constexpr int kCmdOptions = 32835;
constexpr int kCmdCustomize = 32770;

// Window menu.
constexpr int kCmdCascade = 57650;
constexpr int kCmdTile = 57651;
constexpr int kCmdArrangeIcons = 57649;
constexpr int kCmdCloseAll = 32848;
constexpr int kCmdWindowList = 32823;

// Help menu.
constexpr int kCmdHelpContents = 57667;
constexpr int kCmdHelp = 57670;
constexpr int kCmdDefaultHelp = 57671;
constexpr int kCmdContextHelp = 57669;
constexpr int kCmdForums = 32955;
constexpr int kCmdFaq = 32951;
constexpr int kCmdLicence = 32889;
constexpr int kCmdWelcomePage = 32891;
constexpr int kCmdAbout = 57664;

// A channel window's commands.
constexpr int kCmdNextItem = 32856;
constexpr int kCmdPreviousItem = 32857;
constexpr int kCmdShowItemPane = 32859;
constexpr int kCmdSizeToFit = 108;
constexpr int kCmdShowSummary = 32858;
constexpr int kCmdAddToReadMeList = 32896;
constexpr int kCmdShowNavBar = 32912;

// A feed item's commands (item list, notifications).
constexpr int kCmdOpenItem = 32869;
constexpr int kCmdOpenItemInNewWindow = 32880;
constexpr int kCmdCopyUrl = 32870;
constexpr int kCmdEmailUrl = 32894;
constexpr int kCmdToggleItemRead = 32903;
constexpr int kCmdMarkAllItemsRead = 32904;

// The navigation bar above a page.
constexpr int kCmdBrowserBack = 32909;
constexpr int kCmdBrowserForward = 32910;
constexpr int kCmdBrowserAddress = 32913;
constexpr int kCmdBrowserGo = 32915;

// The read-me list's context menu.
constexpr int kCmdReadMeOpenItem = 32898;
constexpr int kCmdReadMeRemoveItem = 32901;
constexpr int kCmdReadMeRemoveAll = 32900;

// The buttons of a hotkey table dialog.
constexpr int kCmdHotkeyNew = 32957;
constexpr int kCmdHotkeyRemove = 32958;
constexpr int kCmdHotkeyMoveUp = 32920;
constexpr int kCmdHotkeyMoveDown = 32921;
constexpr int kCmdHotkeyProperties = 32959;

// Dynamic ranges: the n-th filter, category, report, user tool, favourite or
// hook command is first + n; each range but the hook commands holds 20.
constexpr int kCmdRangeSize = 20;
constexpr int kCmdFirstChannelFilter = 109;
constexpr int kCmdLastChannelFilter = 128;
constexpr int kCmdFirstCategory = 129;
constexpr int kCmdLastCategory = 148;
constexpr int kCmdFirstChannelReport = 149;
constexpr int kCmdLastChannelReport = 168;
constexpr int kCmdFirstUserTool = 189;
constexpr int kCmdLastUserTool = 208;
constexpr int kCmdFirstFavorite = 32926;
constexpr int kCmdLastFavorite = 32945;
constexpr int kCmdFirstHookCommand = 61440;

// The tray menu's entries for channels and their items, from the first up.
constexpr int kCmdFirstTrayMenuEntry = 5000;
constexpr int kCmdLastTrayMenuEntry = 5999;

// The category menu of a channel's properties, in menu order.
constexpr int kCmdFirstCategoryMenuItem = 169;
constexpr int kCmdLastCategoryMenuItem = 189;

// Menu numbers: the context menus of the My Channels and Plugins lists, the
// toolbar menu, the new-item notification's menu, and the tab menus of a
// simple-browser, plug-in and channel window.
constexpr int kMenuMyChannels = 153;
constexpr int kMenuPlugins = 262;
constexpr int kMenuToolbars = 132;
constexpr int kMenuNewItemNotification = 326;
constexpr int kMenuSimpleBrowserWindow = 333;
constexpr int kMenuPluginWindow = 334;
constexpr int kMenuChannelWindow = 335;
