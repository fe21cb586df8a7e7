#pragma once
// Every program-wide setting of the desktop: window layout and behaviour,
// notification balloons, sounds, blackout times, the local listeners, script
// file types and associations, fonts and colours, the proxy credential, and
// the user's lists (favourites, filters, reports, categories, browser
// context-menu items, user tools) with the hotkeys of favourites, filters and
// reports and the two templates of new channels.
//
//   GlobalOptions& options = GlobalOptions::instance();
//   options.load();                       // start-up, once
//   options.NotificationBalloonDisplayTime = 10;
//   options.saveOptions();                // or save() for everything
//
// The fields are read and written directly, on the user-interface thread.
// Everything is kept in the user's config.ini; only the script file types
// and associations come from global.ini. Every save is one atomic rewrite of
// config.ini; a save that fails throws OptionsSaveError and changes nothing.
// A list that could not be loaded is never saved, so a load problem cannot
// empty the user's stored list.
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "app/options/hotkey.h"
#include "app/options/userTool.h"
#include "lib/misc/stringHelpers.h"

namespace channels {
class ChannelSettings;
}
namespace tools {
class HttpAuth;
}

// Section names of config.ini and global.ini.
inline const std::string kGlobalOptionsSection = "Global Options";
inline const std::string kScriptingFileAssociationsSection = "Scripting File Associations";
inline const std::string kScriptFileTypesSection = "Script File Types";
inline const std::string kChannelFavoritesSection = "Channel Favorites";
inline const std::string kChannelFavoriteHotkeysSection = "Channel Favorite Hotkeys";
inline const std::string kChannelFilterHotkeysSection = "Channel Filter Hotkeys";
inline const std::string kChannelReportHotkeysSection = "Channel Report Hotkeys";
inline const std::string kChannelCategoriesSection = "Channel Categories";
inline const std::string kIeContextMenuItemsSection = "IE Context Menu Items";
inline const std::string kAutoUpgradesSection = "AutoUpgrades";
inline const std::string kUserToolSectionStem = "User Tool ";

// What GlobalOptions keeps of the desktop settings template of new channels:
// the desktop settings type implements it and is installed with
// GlobalOptions::setDesktopSettingsFactory.
class DesktopSettingsTemplate {
public:
    virtual ~DesktopSettingsTemplate() = default;
    // The same sections as in a channel file.
    virtual void load(const std::string& iniFile) = 0;
    virtual void save(const std::string& iniFile) = 0;
};

// A failed save of config.ini: "Couldn't save the global options.", two line
// breaks and the reason.
class OptionsSaveError : public std::runtime_error {
public:
    explicit OptionsSaveError(const std::string& reason);
    const std::string& reason() const { return reason_; }

private:
    std::string reason_;
};

class GlobalOptions : public HotkeyTableOwner {
public:
    using BlackoutTimeList = std::vector<std::pair<int, int>>;
    // Reports a load problem to the user (an error notification): title and text.
    using ErrorReporter = std::function<void(const std::string& title, const std::string& text)>;
    using DesktopSettingsFactory = std::function<std::unique_ptr<DesktopSettingsTemplate>()>;

    // The program's options, on the files of programPaths().
    static GlobalOptions& instance();

    // Options on the given files (tests and tools); empty names mean the
    // files of programPaths() at the time of use.
    explicit GlobalOptions(const std::string& configFile = std::string(),
                           const std::string& globalIniFile = std::string());
    ~GlobalOptions() override;
    GlobalOptions(const GlobalOptions&) = delete;
    GlobalOptions& operator=(const GlobalOptions&) = delete;

    std::string getConfigFile() const;
    std::string getGlobalIniFile() const;

    // Reads everything, adding the stock sets that are due. An error of the
    // proxy credential or of one list is reported and the rest still loads;
    // an OptionsSaveError of a stock set's save leaves it.
    void load();
    // Writes everything, in one rewrite of config.ini.
    void save();
    void saveOptions();
    void loadOptions();
    void saveFrameSettings();
    void loadFrameSettings();
    void loadChannelDefaults();
    void saveChannelDefaults();
    void saveChannelFavorites();
    void saveChannelFilters();
    void saveChannelReportConfigs();
    void saveChannelCategories();
    void saveIeContextMenuItems();
    void saveUserTools();

    bool isChannelCategory(const std::string& name) const;
    ChannelFilter* findChannelFilter(const std::string& name);
    void getHotkeyItemDescription(const HotkeyTable* table, int index, std::string& kind,
                                  std::string& name) const override;

    // Stock sets (each appends to the given list).
    static void defineDefaultChannelFilters(std::vector<ChannelFilter>& filters, HotkeyTable& hotkeys);
    static void defineDefaultChannelReports(std::vector<ChannelReportConfig>& reports, HotkeyTable& hotkeys);
    static void defineStandardChannelCategories(std::vector<std::string>& categories);
    static void defineStandardUserTools(std::vector<std::unique_ptr<UserTool>>& tools);

    // "3600-7200,79200-86400". Parsing empties the list first; false when the
    // text ends in a malformed period (the periods before it stay).
    static bool parseBlackoutTimes(const std::string& text, BlackoutTimeList& list);
    static std::string formatBlackoutTimes(const BlackoutTimeList& list);

    static void setErrorReporter(ErrorReporter reporter);
    // Makes the template of new channels' desktop settings; until one is
    // installed the template is neither loaded nor saved.
    static void setDesktopSettingsFactory(DesktopSettingsFactory factory);

    // An integer option of the key table: its default, the range a stored
    // value must lie in (outside it the option loads as the default) and the
    // range the options pages accept, the same unless the table narrows it.
    // A key without a range spans all of int.
    struct IntKey {
        int defaultValue;
        int min;
        int max;
        int entryMin;
        int entryMax;
    };
    //   GlobalOptions::intKey(&GlobalOptions::ScriptTimeout)   // {15, 5, 300, 5, 300}
    // These throw std::invalid_argument for a field that has no key.
    static IntKey intKey(int GlobalOptions::*field);
    static int defaultOf(int GlobalOptions::*field);
    static bool defaultOf(bool GlobalOptions::*field);
    static std::string defaultOf(std::string GlobalOptions::*field);

    // Whether the stored proxy credential could not be read at the last load
    // (its keys are then kept as they are).
    bool isProxyAuthUnreadable() const { return proxyAuthUnreadable_; }

    // A field with a key of its own in "Global Options" starts at that key's
    // default: the key table (globalOptions.cpp) holds every default and
    // range, and intKey and defaultOf read them.
    // --- window layout and behaviour
    int UiHandlerType{};
    bool OneClickMode{};
    int MdiTabs{};
    bool AutoHideFeedItems{};
    bool ShowCaptionBar = true;
    bool RunAsSystemTrayApp{};
    bool MaximizeFrameWindows = true;
    // --- notifications
    int NotificationBalloonMode{};
    int NotificationBalloonDisplayTime{};
    int NotificationBalloonPosition{};
    int NotificationBalloonAnimationTime{};
    int MaxNotificationBalloonNewFeedItems{};
    bool ShowNotificationBalloonCloseIcon{};
    bool SmallNotificationBalloonCloseIcon{};
    bool AutoStartApp{};
    bool StartMinimized{};
    bool DisableAllAnimation{};
    bool DisableAllSound{};
    BlackoutTimeList BlackoutTimes;
    int MaxNotificationQueueLength{};
    int MaxConsecutiveChannelUpdateErrors{};
    bool PlaySoundOnError{};
    std::string DefaultErrorSoundFilename;
    bool ShowBriefChannelSummaries{};
    int MaxItemViewHeight{};
    bool SaveItemViewHeights{};
    std::string EmailUrlSubjectLine;  // "A link from <application>."
    std::string EmailUrlBodyTemplate;
    bool AutoShowWorkPad{};
    bool AutoHideWorkPad{};
    int NavBarMode{};
    bool ShowUnreadItemsInMyChannels{};
    int ChannelUpdateIntervalDriftPercentage{};
    bool EnableMyChannelsBoldFonts{};
    bool EnableItemViewBoldFonts{};
    bool EnableRasCheck{};
    // --- network and listeners
    std::unique_ptr<tools::HttpAuth> ProxyAuth;  // none: no proxy credential
    std::string ViewedFeedItemUrlsImportFilename;
    int AppPluginServerPortNo{};
    bool ListenForPort8888Subscriptions{};
    bool ListenForPort5335Subscriptions{};
    bool ListenForPort8900Subscriptions{};
    std::string HttpUserAgent;                                         // not stored
    std::vector<std::pair<std::string, std::string>> ScriptFileTypes;  // (".py", "Python scripts")
    std::map<std::string, std::string> ScriptingFileAssociations;      // ".class" -> "java %1 %*"
    int ScriptTimeout{};
    // --- fonts and colours (colours are 0x00BBGGRR)
    std::string ControlCenterMyChannelsFontName;
    int ControlCenterMyChannelsFontSize{};
    int ControlCenterAutoUpdateChannelFgdCol{};
    int ControlCenterNonAutoUpdateChannelFgdCol{};
    int ControlCenterMyChannelsBgdCol{};
    std::string ControlCenterAppPluginsFontName;
    int ControlCenterAppPluginsFontSize{};
    int ControlCenterAppPluginsFgdCol{};
    int ControlCenterAppPluginsBgdCol{};
    std::string ChannelItemViewFontName;
    int ChannelItemViewFontSize{};
    int ChannelItemViewNewFeedItemFgdCol{};
    int ChannelItemViewViewedFeedItemFgdCol{};
    int ChannelItemViewBgdCol{};
    bool ItalicizeViewedFeedItems{};
    std::string CaptionBarFontName;
    int CaptionBarFontSize{};
    int CaptionBarFgdCol{};
    int CaptionBarBgdCol{};
    bool CaptionBarItalics{};
    int MaxActivityLogMsgs{};
    std::string ActivityLogFontName;
    int ActivityLogFontSize{};
    int ActivityLogFgdCol{};
    int ActivityLogBgdCol{};
    int MaxErrorLogMsgs{};
    std::string ErrorLogFontName;
    int ErrorLogFontSize{};
    int ErrorLogFgdCol{};
    int ErrorLogBgdCol{};
    std::string ReadMeListFontName;
    int ReadMeListFontSize{};
    int ReadMeListFgdCol{};
    int ReadMeListBgdCol{};
    // --- the user's lists
    std::vector<std::string> ChannelFavorites;  // channel file names
    HotkeyTable ChannelFavoriteHotkeys;
    std::vector<ChannelFilter> ChannelFilters;
    HotkeyTable ChannelFilterHotkeys;
    std::vector<ChannelReportConfig> ChannelReportConfigs;
    HotkeyTable ChannelReportHotkeys;
    std::vector<std::string> ChannelCategories;
    std::unique_ptr<channels::ChannelSettings> DefaultChannelSettings;
    std::unique_ptr<DesktopSettingsTemplate> DefaultDesktopSettings;  // null until a factory is installed
    std::map<std::string, std::string> IeContextMenuItems;            // item name -> menu text
    std::vector<std::unique_ptr<UserTool>> UserTools;

private:
    enum List { Favorites, Filters, Reports, Categories, IeItems, Tools, Defaults, ListCount };
    void loadList(List list, const char* title, const std::function<void()>& load);
    bool mayLoseList(List list, const char* what) const;
    void loadScriptSettings();
    void loadChannelFavorites();
    void loadChannelFilters();
    void loadChannelReportConfigs();
    void loadChannelCategories();
    void loadIeContextMenuItems();
    void loadUserTools();
    void loadHotkeys(HotkeyTable& table, const std::string& section, int count, const char* title);
    bool isUpgradeDue(const std::string& flag) const;
    void saveUpgrade(const std::vector<std::string>& flags, const std::function<void()>& saveList);
    void setDefaults();

    std::string configFile_;
    std::string globalIniFile_;
    bool proxyAuthUnreadable_ = false;
    bool listUnreadable_[ListCount] = {};
};
