#include "app/options/globalOptions.h"
#include "app/core/commandIds.h"
#include "app/core/seams.h"

#include <cctype>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <optional>

#include "app/core/constants.h"
#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "lib/log/messageLog.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"

namespace {

const char kProxyAuthPrefix[] = "ProxyAuth";
const char kFilterSectionStem[] = "Channel Filter ";
const char kReportSectionStem[] = "Channel Report Config ";

std::mutex g_hooksMutex;
GlobalOptions::ErrorReporter g_errorReporter;
GlobalOptions::DesktopSettingsFactory g_desktopSettingsFactory;

const seams::Registration g_errorReporterSeam(
    "GlobalOptions::ErrorReporter",
    [] {
        std::lock_guard<std::mutex> guard(g_hooksMutex);
        return static_cast<bool>(g_errorReporter);
    },
    [] { GlobalOptions::setErrorReporter(nullptr); });
const seams::Registration g_desktopSettingsFactorySeam(
    "GlobalOptions::DesktopSettingsFactory",
    [] {
        std::lock_guard<std::mutex> guard(g_hooksMutex);
        return static_cast<bool>(g_desktopSettingsFactory);
    },
    [] { GlobalOptions::setDesktopSettingsFactory(nullptr); });

std::string defaultEmailSubject() {
    const std::string& appName = programPaths().appName;
    return "A link from " + (appName.empty() ? std::string("Orvan") : appName) + ".";
}

// One key of section "Global Options", in the order of the section.
struct OptionKey {
    enum Kind { Bool, Int, Range, Text, Blackout, Proxy };
    const char* name;
    Kind kind;
    bool GlobalOptions::*boolField = nullptr;
    int GlobalOptions::*intField = nullptr;
    std::string GlobalOptions::*textField = nullptr;
    int defaultValue = 0;
    int min = std::numeric_limits<int>::min();
    int max = std::numeric_limits<int>::max();
    std::string (*textDefault)() = nullptr;
    bool written = true;
    // What the options pages accept, when narrower than what loads.
    std::optional<std::pair<int, int>> entry = std::nullopt;
};

OptionKey b(const char* name, bool GlobalOptions::*field, bool def) {
    OptionKey k{name, OptionKey::Bool};
    k.boolField = field;
    k.defaultValue = def;
    return k;
}

OptionKey i(const char* name, int GlobalOptions::*field, int def, bool written = true) {
    OptionKey k{name, OptionKey::Int};
    k.intField = field;
    k.defaultValue = def;
    k.written = written;
    return k;
}

OptionKey r(const char* name, int GlobalOptions::*field, int min, int max, int def) {
    OptionKey k{name, OptionKey::Range};
    k.intField = field;
    k.min = min;
    k.max = max;
    k.defaultValue = def;
    return k;
}

// A key whose options page takes less than a stored value may hold.
OptionKey entered(OptionKey k, int min, int max) {
    k.entry = std::make_pair(min, max);
    return k;
}

OptionKey t(const char* name, std::string GlobalOptions::*field, std::string (*def)()) {
    OptionKey k{name, OptionKey::Text};
    k.textField = field;
    k.textDefault = def;
    return k;
}

OptionKey font(const char* name, int GlobalOptions::*field, int def) {
    return r(name, field, kMinFontSize, kMaxFontSize, def);
}

std::string emptyText() { return std::string(); }
std::string emailBody() { return "{%URL%}"; }
std::string myChannelsFont() { return kDefaultControlCenterMyChannelsFontName; }
std::string appPluginsFont() { return kDefaultControlCenterAppPluginsFontName; }
std::string itemViewFont() { return kDefaultChannelItemViewFontName; }
std::string captionBarFont() { return kDefaultCaptionBarFontName; }
std::string activityLogFont() { return kDefaultActivityLogFontName; }
std::string errorLogFont() { return kDefaultErrorLogFontName; }
std::string readMeListFont() { return kDefaultReadMeListFontName; }
std::string importFile() { return kDefaultViewedFeedItemUrlsImportFilename; }

using G = GlobalOptions;

const std::vector<OptionKey>& optionKeys() {
    static const std::vector<OptionKey> keys = {
        r("UiHandlerType", &G::UiHandlerType, 0, 1, 1),
        b("OneClickMode", &G::OneClickMode, true),
        r("MdiTabs", &G::MdiTabs, -1, 1, 0),
        b("AutoHideFeedItems", &G::AutoHideFeedItems, false),
        b("RunAsSystemTrayApp", &G::RunAsSystemTrayApp, false),
        r("NotificationBalloonMode", &G::NotificationBalloonMode, 0, 2, 1),
        // A hand-set time up to half an hour loads; the page offers five minutes.
        entered(r("NotificationBalloonDisplayTime", &G::NotificationBalloonDisplayTime, 1, 1800, 30), 1, 300),
        r("NotificationBalloonPosition", &G::NotificationBalloonPosition, 0, 7, 3),
        r("NotificationBalloonAnimationTime", &G::NotificationBalloonAnimationTime, 0, 5000, 500),
        i("MaxNotificationBalloonNewFeedItems", &G::MaxNotificationBalloonNewFeedItems, 15),
        b("ShowNotificationBalloonCloseIcon", &G::ShowNotificationBalloonCloseIcon, true),
        b("SmallNotificationBalloonCloseIcon", &G::SmallNotificationBalloonCloseIcon, true),
        b("AutoStartApp", &G::AutoStartApp, false),
        b("StartMinimized", &G::StartMinimized, false),
        b("DisableAllAnimation", &G::DisableAllAnimation, false),
        b("DisableAllSound", &G::DisableAllSound, false),
        OptionKey{"BlackoutTimes", OptionKey::Blackout},
        i("MaxNotificationQueueLength", &G::MaxNotificationQueueLength, -1),
        i("MaxConsecutiveChannelUpdateErrors", &G::MaxConsecutiveChannelUpdateErrors, 3),
        b("PlaySoundOnError", &G::PlaySoundOnError, true),
        t("DefaultErrorSoundFilename", &G::DefaultErrorSoundFilename, emptyText),
        b("ShowBriefChannelSummaries", &G::ShowBriefChannelSummaries, false),
        r("MaxItemViewHeight", &G::MaxItemViewHeight, 0, 3, 2),
        b("SaveItemViewHeights", &G::SaveItemViewHeights, true),
        t("EmailUrlSubjectLine", &G::EmailUrlSubjectLine, defaultEmailSubject),
        t("EmailUrlBodyTemplate", &G::EmailUrlBodyTemplate, emailBody),
        b("AutoShowWorkPad", &G::AutoShowWorkPad, false),
        b("AutoHideWorkPad", &G::AutoHideWorkPad, true),
        r("NavBarMode", &G::NavBarMode, 0, 2, 0),
        b("ShowUnreadItemsInMyChannels", &G::ShowUnreadItemsInMyChannels, true),
        r("ChannelUpdateIntervalDriftPercentage", &G::ChannelUpdateIntervalDriftPercentage, 0, 100, 0),
        b("EnableMyChannelsBoldFonts", &G::EnableMyChannelsBoldFonts, true),
        b("EnableItemViewBoldFonts", &G::EnableItemViewBoldFonts, true),
        b("EnableRasCheck", &G::EnableRasCheck, false),
        OptionKey{kProxyAuthPrefix, OptionKey::Proxy},
        t("ViewedFeedItemUrlsImportFilename", &G::ViewedFeedItemUrlsImportFilename, importFile),
        r("AppPluginServerPortNo", &G::AppPluginServerPortNo, 1000, 65535, 2605),
        b("ListenForPort8888Subscriptions", &G::ListenForPort8888Subscriptions, false),
        b("ListenForPort5335Subscriptions", &G::ListenForPort5335Subscriptions, false),
        b("ListenForPort8900Subscriptions", &G::ListenForPort8900Subscriptions, false),
        r("ScriptTimeout", &G::ScriptTimeout, 5, 300, 15),
        t("ControlCenterMyChannelsFontName", &G::ControlCenterMyChannelsFontName, myChannelsFont),
        font("ControlCenterMyChannelsFontSize", &G::ControlCenterMyChannelsFontSize, 16),
        i("ControlCenterAutoUpdateChannelFgdCol", &G::ControlCenterAutoUpdateChannelFgdCol, 8388608),
        i("ControlCenterNonAutoUpdateChannelFgdCol", &G::ControlCenterNonAutoUpdateChannelFgdCol, 8421504),
        i("ControlCenterMyChannelsBgdCol", &G::ControlCenterMyChannelsBgdCol, 16121855),
        t("ControlCenterAppPluginsFontName", &G::ControlCenterAppPluginsFontName, appPluginsFont),
        font("ControlCenterAppPluginsFontSize", &G::ControlCenterAppPluginsFontSize, 16),
        i("ControlCenterAppPluginsFgdCol", &G::ControlCenterAppPluginsFgdCol, 8388608),
        i("ControlCenterAppPluginsBgdCol", &G::ControlCenterAppPluginsBgdCol, 16121855),
        t("ChannelItemViewFontName", &G::ChannelItemViewFontName, itemViewFont),
        font("ChannelItemViewFontSize", &G::ChannelItemViewFontSize, 16),
        i("ChannelItemViewNewFeedItemFgdCol", &G::ChannelItemViewNewFeedItemFgdCol, 8388608),
        i("ChannelItemViewViewedFeedItemFgdCol", &G::ChannelItemViewViewedFeedItemFgdCol, 8421504),
        i("ChannelItemViewBgdCol", &G::ChannelItemViewBgdCol, 16121855),
        b("ItalicizeViewedFeedItems", &G::ItalicizeViewedFeedItems, true),
        t("CaptionBarFontName", &G::CaptionBarFontName, captionBarFont),
        font("CaptionBarFontSize", &G::CaptionBarFontSize, 20),
        i("CaptionBarFgdCol", &G::CaptionBarFgdCol, 0),
        i("CaptionBarBgdCol", &G::CaptionBarBgdCol, 16443110),
        b("CaptionBarItalics", &G::CaptionBarItalics, false),
        i("MaxActivityLogMsgs", &G::MaxActivityLogMsgs, 1000),
        t("ActivityLogFontName", &G::ActivityLogFontName, activityLogFont),
        font("ActivityLogFontSize", &G::ActivityLogFontSize, 8),
        i("ActivityLogFgdCol", &G::ActivityLogFgdCol, 0, false),
        i("ActivityLogBgdCol", &G::ActivityLogBgdCol, 16448250, false),
        i("MaxErrorLogMsgs", &G::MaxErrorLogMsgs, 1000),
        t("ErrorLogFontName", &G::ErrorLogFontName, errorLogFont),
        font("ErrorLogFontSize", &G::ErrorLogFontSize, 8),
        i("ErrorLogFgdCol", &G::ErrorLogFgdCol, 0, false),
        i("ErrorLogBgdCol", &G::ErrorLogBgdCol, 16448250, false),
        t("ReadMeListFontName", &G::ReadMeListFontName, readMeListFont),
        font("ReadMeListFontSize", &G::ReadMeListFontSize, 16),
        i("ReadMeListFgdCol", &G::ReadMeListFgdCol, 0),
        i("ReadMeListBgdCol", &G::ReadMeListBgdCol, 16777215),
    };
    return keys;
}

void report(const std::string& title, const std::string& text) {
    ORVAN_LOG_ANY() << title << ": " << text << std::endl;
    GlobalOptions::ErrorReporter reporter;
    {
        std::lock_guard<std::mutex> guard(g_hooksMutex);
        reporter = g_errorReporter;
    }
    if (reporter) reporter(title, text);
}

// Commits the batch or throws the save error with the system's reason.
void commit(platform::profile::WriteBatch& batch, const std::string& file) {
    if (!batch.commit()) throw OptionsSaveError("Can't write " + file + ": " + platform::files::lastErrorText());
}

// A key of "Script File Types" / "Scripting File Associations" as an
// extension: kept when it begins with ".", given a "." when it begins with
// a letter or digit, else skipped ("").
std::string extensionOfKey(const std::string& key) {
    if (key.empty()) return std::string();
    if (key[0] == '.') return key;
    if (std::isalnum(static_cast<unsigned char>(key[0]))) return "." + key;
    return std::string();
}

// Removes every numbered section of a list from `first` on: the stored list
// may have gaps (a hand-edited file, an older save), and a section past the
// end would come back as an entry at the next start.
void deleteListSectionsFrom(const std::string& file, const std::string& stem, std::size_t first) {
    for (const auto& section : tools::getIniSectionNames(file)) {
        if (section.size() <= stem.size() || compareNoCase(section.substr(0, stem.size()), stem) != 0) continue;
        const std::string number = section.substr(stem.size());
        if (number.find_first_not_of("0123456789") != std::string::npos || number.size() > 9 || number[0] == '0')
            continue;
        if (std::stoul(number) >= first) tools::deleteIniSection(file, section);
    }
}

// Items of the sections "<stem>1", "<stem>2", ... up to the first that does
// not load.
template <class Item>
void loadNumberedSections(const std::string& file, const std::string& stem, std::vector<Item>& list) {
    list.clear();
    for (int n = 1;; ++n) {
        Item item;
        if (!item.load(file, stem + std::to_string(n))) return;
        list.push_back(item);
    }
}

// Rewrites a list of numbered sections: the old ones go (up to the first
// without `key`, and every one past the new end), then item i is saved into
// "<stem>(i + 1)".
template <class Item, class SaveItem>
void saveNumberedSections(const std::string& file, const std::string& stem, const std::string& key,
                          const std::vector<Item>& list, SaveItem saveItem) {
    tools::deleteIndexedIniSections(file, stem, 1, key);
    for (std::size_t n = 0; n < list.size(); ++n) saveItem(list[n], stem + std::to_string(n + 1));
    deleteListSectionsFrom(file, stem, list.size() + 1);
}

}  // namespace

OptionsSaveError::OptionsSaveError(const std::string& reason)
    : std::runtime_error("Couldn't save the global options.\n\n" + reason), reason_(reason) {}

GlobalOptions& GlobalOptions::instance() {
    static GlobalOptions options;
    return options;
}

GlobalOptions::GlobalOptions(const std::string& configFile, const std::string& globalIniFile)
    : ChannelFavoriteHotkeys(this, kCmdFirstFavorite),
      ChannelFilterHotkeys(this, kCmdFirstChannelFilter),
      ChannelReportHotkeys(this, kCmdFirstChannelReport),
      DefaultChannelSettings(std::make_unique<channels::ChannelSettings>(nullptr)),
      configFile_(configFile),
      globalIniFile_(globalIniFile) {
    setDefaults();
}

GlobalOptions::~GlobalOptions() = default;

void GlobalOptions::setDefaults() {
    for (const OptionKey& key : optionKeys()) {
        switch (key.kind) {
            case OptionKey::Bool:
                this->*key.boolField = key.defaultValue != 0;
                break;
            case OptionKey::Int:
            case OptionKey::Range:
                this->*key.intField = key.defaultValue;
                break;
            case OptionKey::Text:
                this->*key.textField = key.textDefault();
                break;
            default:
                break;
        }
    }
}

namespace {

template <class Field>
const OptionKey& keyOf(Field field, Field OptionKey::*member) {
    for (const OptionKey& key : optionKeys()) {
        if (field != nullptr && key.*member == field) return key;
    }
    throw std::invalid_argument("Not an option of the key table");
}

}  // namespace

GlobalOptions::IntKey GlobalOptions::intKey(int GlobalOptions::*field) {
    const OptionKey& key = keyOf(field, &OptionKey::intField);
    const auto [entryMin, entryMax] = key.entry.value_or(std::make_pair(key.min, key.max));
    return IntKey{key.defaultValue, key.min, key.max, entryMin, entryMax};
}

int GlobalOptions::defaultOf(int GlobalOptions::*field) { return keyOf(field, &OptionKey::intField).defaultValue; }

bool GlobalOptions::defaultOf(bool GlobalOptions::*field) {
    return keyOf(field, &OptionKey::boolField).defaultValue != 0;
}

std::string GlobalOptions::defaultOf(std::string GlobalOptions::*field) {
    return keyOf(field, &OptionKey::textField).textDefault();
}

std::string GlobalOptions::getConfigFile() const {
    return configFile_.empty() ? programPaths().userConfigFile : configFile_;
}

std::string GlobalOptions::getGlobalIniFile() const {
    return globalIniFile_.empty() ? programPaths().globalIniFile : globalIniFile_;
}

void GlobalOptions::setErrorReporter(ErrorReporter reporter) {
    std::lock_guard<std::mutex> guard(g_hooksMutex);
    g_errorReporter = std::move(reporter);
}

void GlobalOptions::setDesktopSettingsFactory(DesktopSettingsFactory factory) {
    std::lock_guard<std::mutex> guard(g_hooksMutex);
    g_desktopSettingsFactory = std::move(factory);
}

// --- loading

void GlobalOptions::load() {
    loadScriptSettings();
    loadOptions();
    loadFrameSettings();
    loadList(Defaults, "Channel defaults error", [this] { loadChannelDefaults(); });
    loadList(Favorites, "Channel favorites error", [this] { loadChannelFavorites(); });
    loadList(Filters, "Channel filters error", [this] { loadChannelFilters(); });
    loadList(Reports, "Channel reports error", [this] { loadChannelReportConfigs(); });
    loadList(Categories, "Channel categories error", [this] { loadChannelCategories(); });
    loadList(IeItems, "Context menu items error", [this] { loadIeContextMenuItems(); });
    loadList(Tools, "User tools error", [this] { loadUserTools(); });
}

void GlobalOptions::loadList(List list, const char* title, const std::function<void()>& load) {
    try {
        load();
        listUnreadable_[list] = false;
    } catch (const OptionsSaveError& e) {
        // The list loaded; its stock set could not be saved and its flag
        // was not written, so the stock set is offered again next time.
        listUnreadable_[list] = false;
        report(title, e.what());
    } catch (const std::exception& e) {
        listUnreadable_[list] = true;
        report(title, e.what());
    }
}

bool GlobalOptions::mayLoseList(List list, const char* what) const {
    if (!listUnreadable_[list]) return false;
    ORVAN_LOG_ANY() << "Not saving the " << what << ": they could not be loaded." << std::endl;
    return true;
}

void GlobalOptions::loadScriptSettings() {
    const std::string global = getGlobalIniFile();
    ScriptFileTypes = {
        {".exe", "Executables"}, {".py", "Python scripts"}, {".pl", "Perl scripts"}, {".class", "Java scripts"}};
    for (const auto& key : tools::getIniKeyNames(global, kScriptFileTypesSection)) {
        const std::string extension = extensionOfKey(key);
        if (!extension.empty())
            ScriptFileTypes.emplace_back(extension,
                                         tools::getIniString(global, kScriptFileTypesSection, key, "", true));
    }
    ScriptingFileAssociations.clear();
    ScriptingFileAssociations[".class"] = "java %1 %*";
    for (const auto& key : tools::getIniKeyNames(global, kScriptingFileAssociationsSection)) {
        const std::string extension = extensionOfKey(key);
        if (!extension.empty())
            ScriptingFileAssociations[extension] =
                tools::getIniString(global, kScriptingFileAssociationsSection, key, "", true);
    }
}

void GlobalOptions::loadOptions() {
    const std::string file = getConfigFile();
    const std::string& section = kGlobalOptionsSection;
    for (const OptionKey& key : optionKeys()) {
        switch (key.kind) {
            case OptionKey::Bool:
                this->*key.boolField = tools::getIniBool(file, section, key.name, key.defaultValue != 0);
                break;
            case OptionKey::Int:
                this->*key.intField = tools::getIniInt(file, section, key.name, key.defaultValue);
                break;
            case OptionKey::Range:
                this->*key.intField =
                    tools::getIniIntInRange(file, section, key.name, key.min, key.max, key.defaultValue);
                break;
            case OptionKey::Text:
                this->*key.textField = tools::getIniString(file, section, key.name, key.textDefault(), true);
                break;
            case OptionKey::Blackout:
                parseBlackoutTimes(tools::getIniString(file, section, key.name, "", true), BlackoutTimes);
                break;
            case OptionKey::Proxy:
                ProxyAuth.reset();
                proxyAuthUnreadable_ = false;
                try {
                    ProxyAuth.reset(tools::createHttpAuth(file, section, kProxyAuthPrefix));
                } catch (const std::exception& e) {
                    // Keep going without it; its keys stay in the file untouched.
                    proxyAuthUnreadable_ = true;
                    report("Proxy authentication error", e.what());
                }
                break;
        }
    }
}

void GlobalOptions::loadFrameSettings() {
    const std::string file = getConfigFile();
    ShowCaptionBar = tools::getIniBool(file, kGlobalOptionsSection, "ShowCaptionBar", true);
    MaximizeFrameWindows = tools::getIniBool(file, kGlobalOptionsSection, "MaximizeFrameWindows", true);
}

void GlobalOptions::loadChannelDefaults() {
    const std::string file = getConfigFile();
    DefaultChannelSettings->load(file);
    DesktopSettingsFactory factory;
    {
        std::lock_guard<std::mutex> guard(g_hooksMutex);
        factory = g_desktopSettingsFactory;
    }
    if (!DefaultDesktopSettings && factory) DefaultDesktopSettings = factory();
    if (DefaultDesktopSettings) DefaultDesktopSettings->load(file);
}

void GlobalOptions::loadHotkeys(HotkeyTable& table, const std::string& section, int count, const char* title) {
    try {
        table.load(getConfigFile(), section, count);
    } catch (const std::exception& e) {
        report(title, e.what());
    }
    // Whatever happened, the table keeps one slot per item.
    while (table.getHotkeyCount() < count) table.appendHotkey(Hotkey());
}

void GlobalOptions::loadChannelFavorites() {
    const std::string file = getConfigFile();
    ChannelFavorites.clear();
    tools::getIndexedIniList(file, kChannelFavoritesSection, "", 1, true, ChannelFavorites);
    loadHotkeys(ChannelFavoriteHotkeys, kChannelFavoriteHotkeysSection, static_cast<int>(ChannelFavorites.size()),
                "Channel favorites error");
}

void GlobalOptions::loadChannelFilters() {
    const std::string file = getConfigFile();
    loadNumberedSections(file, kFilterSectionStem, ChannelFilters);
    loadHotkeys(ChannelFilterHotkeys, kChannelFilterHotkeysSection, static_cast<int>(ChannelFilters.size()),
                "Channel filters error");
    if (ChannelFilters.empty() && isUpgradeDue("DefineStandardChannelFilters")) {
        defineDefaultChannelFilters(ChannelFilters, ChannelFilterHotkeys);
        saveUpgrade({"DefineStandardChannelFilters"}, [this] { saveChannelFilters(); });
    }
}

void GlobalOptions::loadChannelReportConfigs() {
    const std::string file = getConfigFile();
    loadNumberedSections(file, kReportSectionStem, ChannelReportConfigs);
    loadHotkeys(ChannelReportHotkeys, kChannelReportHotkeysSection, static_cast<int>(ChannelReportConfigs.size()),
                "Channel reports error");
    if (ChannelReportConfigs.empty() && isUpgradeDue("DefineStandardChannelReports")) {
        defineDefaultChannelReports(ChannelReportConfigs, ChannelReportHotkeys);
        saveUpgrade({"DefineStandardChannelReports"}, [this] { saveChannelReportConfigs(); });
    }
}

void GlobalOptions::loadChannelCategories() {
    const std::string file = getConfigFile();
    ChannelCategories.clear();
    tools::getIndexedIniList(file, kChannelCategoriesSection, "", 1, true, ChannelCategories);
    if (ChannelCategories.empty() && isUpgradeDue("DefineStandardChannelCategories")) {
        defineStandardChannelCategories(ChannelCategories);
        saveUpgrade({"DefineStandardChannelCategories"}, [this] { saveChannelCategories(); });
    }
}

void GlobalOptions::loadIeContextMenuItems() {
    const std::string file = getConfigFile();
    for (const auto& key : tools::getIniKeyNames(file, kIeContextMenuItemsSection))
        IeContextMenuItems.emplace(key, tools::getIniString(file, kIeContextMenuItemsSection, key, "", true));
    static const std::pair<const char*, const char*> stock[] = {{"IeSubscribe", "Subscribe in O&rvan"},
                                                                {"IeAddToReadMe", "Add to Orvan read-me"}};
    std::vector<std::string> flags;
    for (const auto& [name, text] : stock) {
        const std::string flag = std::string("DefineIeContextMenuItem_") + name;
        if (isUpgradeDue(flag)) {
            IeContextMenuItems.emplace(name, text);
            flags.push_back(flag);
        }
    }
    if (!flags.empty()) saveUpgrade(flags, [this] { saveIeContextMenuItems(); });
}

void GlobalOptions::loadUserTools() {
    const std::string file = getConfigFile();
    UserTools.clear();
    for (int n = 1;; ++n) {
        auto tool = UserTool::createFromIni(file, kUserToolSectionStem + std::to_string(n));
        if (!tool) break;
        UserTools.push_back(std::move(tool));
    }
    if (isUpgradeDue("DefineStandardUserTools")) {
        defineStandardUserTools(UserTools);
        saveUpgrade({"DefineStandardUserTools"}, [this] { saveUserTools(); });
    }
}

bool GlobalOptions::isUpgradeDue(const std::string& flag) const {
    return tools::getIniBool(getConfigFile(), kAutoUpgradesSection, flag, true);
}

void GlobalOptions::saveUpgrade(const std::vector<std::string>& flags, const std::function<void()>& saveList) {
    // The flags go into the same rewrite as the list, after it: a save that
    // fails leaves both as they were, and the stock set is due again.
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    saveList();
    for (const auto& flag : flags) tools::writeIniBool(file, kAutoUpgradesSection, flag, false);
    commit(batch, file);
}

// --- saving

void GlobalOptions::save() {
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    saveOptions();
    saveFrameSettings();
    saveChannelDefaults();
    saveChannelFavorites();
    saveChannelFilters();
    saveChannelReportConfigs();
    saveChannelCategories();
    saveIeContextMenuItems();
    saveUserTools();
    commit(batch, file);
}

void GlobalOptions::saveOptions() {
    const std::string file = getConfigFile();
    const std::string& section = kGlobalOptionsSection;
    platform::profile::WriteBatch batch(file);
    for (const OptionKey& key : optionKeys()) {
        if (!key.written) continue;
        switch (key.kind) {
            case OptionKey::Bool:
                tools::writeIniBool(file, section, key.name, this->*key.boolField);
                break;
            case OptionKey::Int:
            case OptionKey::Range:
                tools::writeIniInt(file, section, key.name, this->*key.intField);
                break;
            case OptionKey::Text:
                tools::writeIniString(file, section, key.name, this->*key.textField);
                break;
            case OptionKey::Blackout:
                tools::writeIniString(file, section, key.name, formatBlackoutTimes(BlackoutTimes));
                break;
            case OptionKey::Proxy:
                if (ProxyAuth) {
                    ProxyAuth->save(file, section, kProxyAuthPrefix);
                    proxyAuthUnreadable_ = false;
                } else if (!proxyAuthUnreadable_) {
                    // A cleared credential must not come back at the next start.
                    for (const char* suffix : {"Type", "UserName", "Password"})
                        tools::deleteIniKey(file, section, std::string(kProxyAuthPrefix) + suffix);
                }
                break;
        }
    }
    commit(batch, file);
}

void GlobalOptions::saveFrameSettings() {
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    tools::writeIniBool(file, kGlobalOptionsSection, "ShowCaptionBar", ShowCaptionBar);
    tools::writeIniBool(file, kGlobalOptionsSection, "MaximizeFrameWindows", MaximizeFrameWindows);
    commit(batch, file);
}

void GlobalOptions::saveChannelDefaults() {
    if (mayLoseList(Defaults, "channel defaults")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    DefaultChannelSettings->save(file);
    if (DefaultDesktopSettings) DefaultDesktopSettings->save(file);
    commit(batch, file);
}

void GlobalOptions::saveChannelFavorites() {
    if (mayLoseList(Favorites, "channel favorites")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    tools::deleteIniSection(file, kChannelFavoritesSection);
    for (std::size_t n = 0; n < ChannelFavorites.size(); ++n)
        tools::writeIniString(file, kChannelFavoritesSection, std::to_string(n + 1), ChannelFavorites[n]);
    ChannelFavoriteHotkeys.save(file, kChannelFavoriteHotkeysSection);
    commit(batch, file);
}

void GlobalOptions::saveChannelFilters() {
    if (mayLoseList(Filters, "channel filters")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    saveNumberedSections(file, kFilterSectionStem, "FilterName", ChannelFilters,
                         [&](const ChannelFilter& filter, const std::string& section) { filter.save(file, section); });
    ChannelFilterHotkeys.save(file, kChannelFilterHotkeysSection);
    commit(batch, file);
}

void GlobalOptions::saveChannelReportConfigs() {
    if (mayLoseList(Reports, "channel reports")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    saveNumberedSections(
        file, kReportSectionStem, "ReportName", ChannelReportConfigs,
        [&](const ChannelReportConfig& report, const std::string& section) { report.save(file, section); });
    ChannelReportHotkeys.save(file, kChannelReportHotkeysSection);
    commit(batch, file);
}

void GlobalOptions::saveChannelCategories() {
    if (mayLoseList(Categories, "channel categories")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    tools::deleteIniSection(file, kChannelCategoriesSection);
    for (std::size_t n = 0; n < ChannelCategories.size(); ++n)
        tools::writeIniString(file, kChannelCategoriesSection, std::to_string(n + 1), ChannelCategories[n]);
    commit(batch, file);
}

void GlobalOptions::saveIeContextMenuItems() {
    if (mayLoseList(IeItems, "browser context-menu items")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    tools::deleteIniSection(file, kIeContextMenuItemsSection);
    for (const auto& [name, text] : IeContextMenuItems)
        tools::writeIniString(file, kIeContextMenuItemsSection, name, text);
    commit(batch, file);
}

void GlobalOptions::saveUserTools() {
    if (mayLoseList(Tools, "user tools")) return;
    const std::string file = getConfigFile();
    platform::profile::WriteBatch batch(file);
    saveNumberedSections(
        file, kUserToolSectionStem, kUserToolTypeKey, UserTools,
        [&](const std::unique_ptr<UserTool>& tool, const std::string& section) { tool->saveToIni(file, section); });
    commit(batch, file);
}

// --- look-ups

bool GlobalOptions::isChannelCategory(const std::string& name) const {
    for (const auto& category : ChannelCategories) {
        if (mbsCompareNoCase(category, name.c_str()) == 0) return true;
    }
    return false;
}

ChannelFilter* GlobalOptions::findChannelFilter(const std::string& name) {
    for (auto& filter : ChannelFilters) {
        if (mbsCompareNoCase(filter.getFilterName(), name.c_str()) == 0) return &filter;
    }
    return nullptr;
}

void GlobalOptions::getHotkeyItemDescription(const HotkeyTable* table, int index, std::string& kind,
                                             std::string& name) const {
    if (index < 0) return;
    const auto n = static_cast<std::size_t>(index);
    if (table == &ChannelFavoriteHotkeys && n < ChannelFavorites.size()) {
        if (channels::Channel* channel = findChannel(ChannelFavorites[n])) {
            kind = "channel favorite";
            name = channel->getDisplayName();
        }
    } else if (table == &ChannelFilterHotkeys && n < ChannelFilters.size()) {
        kind = "channel filter";
        name = ChannelFilters[n].getFilterName();
    } else if (table == &ChannelReportHotkeys && n < ChannelReportConfigs.size()) {
        kind = "channel report";
        name = ChannelReportConfigs[n].getReportName();
    }
}

// --- blackout times

bool GlobalOptions::parseBlackoutTimes(const std::string& text, BlackoutTimeList& list) {
    list.clear();
    const char* p = text.c_str();
    const auto readInt = [&p](int& value) {
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p) return false;
        value = static_cast<int>(v);
        p = end;
        return true;
    };
    for (;;) {
        int start = 0, end = 0;
        if (!readInt(start)) return true;
        if (*p != '-') return false;
        ++p;
        if (!readInt(end)) return false;
        list.emplace_back(start, end);
        if (*p != ',') return true;
        ++p;
    }
}

std::string GlobalOptions::formatBlackoutTimes(const BlackoutTimeList& list) {
    std::string text;
    for (const auto& [start, end] : list) {
        if (!text.empty()) text += ',';
        text += std::to_string(start) + "-" + std::to_string(end);
    }
    return text;
}
