#pragma once
// Program-wide constant texts: the built-in defaults of the [Config] keys of
// global.ini, of the font names and size bounds of the global options and of
// the report generator. A default only matters when the file that the using
// code reads does not hold its own value.
#include <string>

// The program's web site (a reserved name: the real site is set in global.ini).
inline const std::string kAppWebSite = "http://www.orvan.example";

// Defaults of section "Config" of global.ini.
inline const std::string kDefaultAppHomeUrl = kAppWebSite;
inline const std::string kDefaultForumsUrl = kAppWebSite + "/forums/";
inline const std::string kDefaultWelcomeUrl = kAppWebSite + "/GettingStarted/";
inline const std::string kDefaultFaqUrl = kAppWebSite + "/faq.php";
inline const std::string kDefaultOnlineHelpUrl = kAppWebSite + "/help/1.1/";
inline const std::string kDefaultChmDownloadUrl = kAppWebSite + "/help/1.1/orvan.chm";
inline const std::string kDefaultFeedbackEmailAddress = "feedback@orvan.example";
inline const std::string kDefaultSupportEmailAddress = "support@orvan.example";

// Template of a channel report that names none of its own.
inline const std::string kDefaultChannelReportTemplate = "DefaultChannelReport.template";

// Global option defaults.
inline const std::string kDefaultViewedFeedItemUrlsImportFilename;  // empty: no import
inline const std::string kDefaultControlCenterMyChannelsFontName = "Arial";
inline const std::string kDefaultControlCenterAppPluginsFontName = "Arial";
inline const std::string kDefaultChannelItemViewFontName = "Arial";
inline const std::string kDefaultCaptionBarFontName = "Arial";
inline const std::string kDefaultActivityLogFontName = "Courier New";
inline const std::string kDefaultErrorLogFontName = "Courier New";
inline const std::string kDefaultReadMeListFontName = "Arial";

// Bounds of every font size, in points.
constexpr int kMinFontSize = 8;
constexpr int kMaxFontSize = 50;
