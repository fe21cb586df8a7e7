// The global options in config.ini: defaults, ranges, stock sets, the lists
// and their hotkeys, and saves that never lose a list.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <stdexcept>
#include <utility>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "channels/channelSettings.h"
#include "tests/support/test_support.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"

namespace {

class GlobalOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = programPaths();
        programPaths().appName = "Orvan";
        programPaths().userDir = dir_.str();
        programPaths().reportsDir = dir_.file("Reports");
        GlobalOptions::setErrorReporter(
            [this](const std::string& title, const std::string& text) { reports_.push_back(title + ": " + text); });
    }
    void TearDown() override {
        resetProgramObjectsForTests();
        programPaths() = saved_;
    }
    std::string ini() const { return dir_.file("config.ini"); }
    std::string global() const { return dir_.file("global.ini"); }
    std::unique_ptr<GlobalOptions> loaded() {
        auto options = std::make_unique<GlobalOptions>(ini(), global());
        options->load();
        return options;
    }
    std::string value(const std::string& section, const std::string& key) {
        return tools::getIniString(ini(), section, key, "<missing>", false);
    }

    testsupport::TempDir dir_;
    ProgramPaths saved_;
    std::vector<std::string> reports_;
};

TEST_F(GlobalOptionsTest, MissingFileGivesDefaultsAndStockSets) {
    auto options = loaded();
    EXPECT_EQ(options->UiHandlerType, 1);
    EXPECT_TRUE(options->OneClickMode);
    EXPECT_EQ(options->NotificationBalloonDisplayTime, 30);
    EXPECT_EQ(options->MaxNotificationQueueLength, -1);
    EXPECT_EQ(options->AppPluginServerPortNo, 2605);
    EXPECT_EQ(options->EmailUrlSubjectLine, "A link from Orvan.");
    EXPECT_EQ(options->EmailUrlBodyTemplate, "{%URL%}");
    EXPECT_EQ(options->ActivityLogFontName, "Courier New");
    EXPECT_EQ(options->CaptionBarFontSize, 20);
    EXPECT_EQ(options->CaptionBarBgdCol, 16443110);
    EXPECT_TRUE(options->ShowCaptionBar);
    EXPECT_FALSE(options->ProxyAuth);
    EXPECT_EQ(options->ScriptFileTypes.size(), 4u);
    EXPECT_EQ(options->ScriptingFileAssociations.at(".class"), "java %1 %*");

    ASSERT_EQ(options->ChannelFilters.size(), 5u);
    EXPECT_EQ(options->ChannelFilters[3].getChannelCategories(), std::vector<std::string>{"My Favorites"});
    EXPECT_EQ(options->ChannelFilterHotkeys.getHotkeyCount(), 5);
    EXPECT_EQ(options->ChannelFilterHotkeys.getAccelerators().size(), 4u);
    EXPECT_EQ(options->ChannelFilterHotkeys.getHotkey(1).toString(), "Ctrl+Shift+N");
    ASSERT_EQ(options->ChannelReportConfigs.size(), 5u);
    EXPECT_EQ(options->ChannelReportConfigs[4].getOutputFilename(), dir_.file("Reports") + "/MyBlogroll.html");
    EXPECT_EQ(options->ChannelReportConfigs[4].getTemplateFilename(), dir_.file("MyBlogroll.template"));
    EXPECT_EQ(options->ChannelCategories.size(), 7u);
    EXPECT_EQ(options->IeContextMenuItems.at("IeSubscribe"), "Subscribe in O&rvan");
    EXPECT_EQ(options->UserTools.size(), 7u);
    EXPECT_EQ(options->UserTools[5]->getMenuItemText(), "Translate &page");

    for (const char* flag :
         {"DefineStandardChannelFilters", "DefineStandardChannelReports", "DefineStandardChannelCategories",
          "DefineIeContextMenuItem_IeSubscribe", "DefineIeContextMenuItem_IeAddToReadMe", "DefineStandardUserTools"})
        EXPECT_EQ(value("AutoUpgrades", flag), "0") << flag;
    EXPECT_EQ(value("Channel Filter 5", "FilterName"), "My Blogroll");
    EXPECT_EQ(value("Channel Filter Hotkeys", "1"), "Ctrl+Shift+A");
    EXPECT_EQ(value("User Tool 7", "DisplayName"), "Dictionary");

    // The stock sets come once: deleted filters stay deleted.
    options->ChannelFilters.clear();
    options->ChannelFilterHotkeys.clear();
    options->saveChannelFilters();
    EXPECT_TRUE(loaded()->ChannelFilters.empty());
    EXPECT_TRUE(reports_.empty());
}

TEST_F(GlobalOptionsTest, StoredValuesOutOfRangeLoadAsDefaults) {
    struct Case {
        const char* key;
        const char* stored;
        int GlobalOptions::*field;
        int expected;
    } cases[] = {
        {"NotificationBalloonDisplayTime", "0", &GlobalOptions::NotificationBalloonDisplayTime, 30},
        {"NotificationBalloonDisplayTime", "1801", &GlobalOptions::NotificationBalloonDisplayTime, 30},
        {"NotificationBalloonDisplayTime", "1800", &GlobalOptions::NotificationBalloonDisplayTime, 1800},
        {"ScriptTimeout", "4", &GlobalOptions::ScriptTimeout, 15},
        {"AppPluginServerPortNo", "999", &GlobalOptions::AppPluginServerPortNo, 2605},
        {"AppPluginServerPortNo", "65536", &GlobalOptions::AppPluginServerPortNo, 2605},
        {"MdiTabs", "-1", &GlobalOptions::MdiTabs, -1},
        {"MdiTabs", "2", &GlobalOptions::MdiTabs, 0},
        {"UiHandlerType", "0", &GlobalOptions::UiHandlerType, 0},
        {"NotificationBalloonPosition", "8", &GlobalOptions::NotificationBalloonPosition, 3},
        {"MaxItemViewHeight", "4", &GlobalOptions::MaxItemViewHeight, 2},
        {"ChannelUpdateIntervalDriftPercentage", "101", &GlobalOptions::ChannelUpdateIntervalDriftPercentage, 0},
        {"CaptionBarFontSize", "51", &GlobalOptions::CaptionBarFontSize, 20},
        {"ErrorLogFontSize", "7", &GlobalOptions::ErrorLogFontSize, 8},
        {"MaxNotificationBalloonNewFeedItems", "500", &GlobalOptions::MaxNotificationBalloonNewFeedItems, 500},
        {"MaxNotificationQueueLength", "", &GlobalOptions::MaxNotificationQueueLength, -1},
    };
    for (const auto& c : cases) {
        testsupport::writeFile(ini(), std::string("[Global Options]\n") + c.key + "=" + c.stored + "\n");
        GlobalOptions options(ini(), global());
        options.loadOptions();
        EXPECT_EQ(options.*c.field, c.expected) << c.key << "=" << c.stored;
    }
}

// What the options pages and "Reset all" read from the key table: the
// defaults, the ranges that load, and the narrower range a page may take.
TEST(GlobalOptionsKeys, DefaultsAndRanges) {
    using G = GlobalOptions;
    constexpr int kLowest = std::numeric_limits<int>::min();
    constexpr int kHighest = std::numeric_limits<int>::max();
    struct Case {
        int G::*field;
        int defaultValue, min, max, entryMin, entryMax;
    } cases[] = {
        {&G::ScriptTimeout, 15, 5, 300, 5, 300},
        {&G::AppPluginServerPortNo, 2605, 1000, 65535, 1000, 65535},
        {&G::NotificationBalloonDisplayTime, 30, 1, 1800, 1, 300},
        {&G::CaptionBarFontSize, 20, 8, 50, 8, 50},
        {&G::ControlCenterMyChannelsBgdCol, 0xF5FFFF, kLowest, kHighest, kLowest, kHighest},
        {&G::MaxNotificationQueueLength, -1, kLowest, kHighest, kLowest, kHighest},
    };
    for (const Case& c : cases) {
        const G::IntKey key = G::intKey(c.field);
        EXPECT_EQ(key.defaultValue, c.defaultValue);
        EXPECT_EQ(G::defaultOf(c.field), c.defaultValue);
        EXPECT_EQ(std::make_pair(key.min, key.max), std::make_pair(c.min, c.max)) << c.defaultValue;
        EXPECT_EQ(std::make_pair(key.entryMin, key.entryMax), std::make_pair(c.entryMin, c.entryMax)) << c.defaultValue;
    }
    EXPECT_EQ(G::defaultOf(&G::ReadMeListFontName), "Arial");
    EXPECT_TRUE(G::defaultOf(&G::ItalicizeViewedFeedItems));
    EXPECT_FALSE(G::defaultOf(&G::CaptionBarItalics));
    // The frame settings have no key of their own in the table.
    EXPECT_THROW(G::defaultOf(&G::ShowCaptionBar), std::invalid_argument);
    EXPECT_THROW(G::intKey(nullptr), std::invalid_argument);
}

TEST_F(GlobalOptionsTest, RoundTripOfEveryOptionListAndTableIsByteStable) {
    loaded();  // a first start writes the stock sets
    {
        auto options = loaded();
        options->UiHandlerType = 0;
        options->OneClickMode = false;
        options->MdiTabs = -1;
        options->ShowCaptionBar = false;
        options->NotificationBalloonDisplayTime = 1800;
        options->BlackoutTimes = {{3600, 7200}, {79200, 86400}};
        options->DefaultErrorSoundFilename = "/snd/ä b%.wav";
        options->EmailUrlSubjectLine = "Sieh mal: \"{%TITLE%}\" & mehr";
        options->ProxyAuth = std::make_unique<tools::HttpBasicAuth>("proxy user", "pässword");
        options->ReadMeListFontName = "DejaVu Sans";
        options->ReadMeListBgdCol = 123;
        options->ChannelFavorites = {"/c/a.rss", "/c/b c.rss"};
        options->ChannelFavoriteHotkeys.appendHotkey(Hotkey());
        options->ChannelFavoriteHotkeys.appendHotkey(Hotkey(FALT | FVIRTKEY, 112, 0));
        options->ChannelFilters[0].setSearchText("^[a-z]+ #1");
        options->ChannelReportConfigs[1].setAutoUpdateInterval(7200);
        options->ChannelReportHotkeys.getHotkey(2) = Hotkey(FCONTROL, '+', 0);
        options->ChannelCategories.push_back("Café");
        options->IeContextMenuItems["Extra"] = "E&xtra";
        options->UserTools.push_back(std::make_unique<UrlUserTool>("Mine", "&Mine", "http://m.test/?q={%SELTEXT%}"));
        options->save();
    }
    const std::string first = testsupport::readFile(ini());
    auto again = loaded();
    EXPECT_EQ(again->MdiTabs, -1);
    EXPECT_FALSE(again->ShowCaptionBar);
    EXPECT_EQ(GlobalOptions::formatBlackoutTimes(again->BlackoutTimes), "3600-7200,79200-86400");
    EXPECT_EQ(again->DefaultErrorSoundFilename, "/snd/ä b%.wav");
    ASSERT_TRUE(again->ProxyAuth);
    EXPECT_EQ(dynamic_cast<tools::HttpBasicAuth&>(*again->ProxyAuth).getPassword(), "pässword");
    EXPECT_EQ(again->ChannelFavoriteHotkeys.getHotkey(1).toString(), "Alt+F1");
    EXPECT_EQ(again->ChannelReportHotkeys.getHotkey(2).toString(), "Ctrl++");
    EXPECT_EQ(again->ChannelCategories.back(), "Café");
    EXPECT_EQ(again->UserTools.size(), 8u);
    again->save();
    EXPECT_EQ(testsupport::readFile(ini()), first);
}

TEST_F(GlobalOptionsTest, UnknownCredentialTypeLoadsEveryListAndKeepsItsKeys) {
    loaded()->save();  // stock lists in the file
    tools::writeIniString(ini(), "Global Options", "ProxyAuthType", "NTLM");
    tools::writeIniString(ini(), "Global Options", "ProxyAuthUserName", "secret-bytes");
    tools::writeIniString(ini(), "Global Options", "ScriptTimeout", "42");

    auto options = loaded();
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("Unknown HTTP authentication type: NTLM"), std::string::npos);
    EXPECT_FALSE(options->ProxyAuth);
    EXPECT_EQ(options->ScriptTimeout, 42);
    EXPECT_EQ(options->ChannelFilters.size(), 5u);
    EXPECT_EQ(options->ChannelReportConfigs.size(), 5u);
    EXPECT_EQ(options->ChannelCategories.size(), 7u);
    EXPECT_EQ(options->UserTools.size(), 7u);

    options->save();
    EXPECT_EQ(value("Global Options", "ProxyAuthType"), "NTLM");
    EXPECT_EQ(value("Global Options", "ProxyAuthUserName"), "secret-bytes");
    EXPECT_EQ(value("Channel Filter 5", "FilterName"), "My Blogroll");
    EXPECT_EQ(value("User Tool 7", "DisplayName"), "Dictionary");
}

TEST_F(GlobalOptionsTest, ClearedCredentialIsRemovedFromTheFile) {
    auto options = loaded();
    options->ProxyAuth = std::make_unique<tools::HttpBasicAuth>("u", "p");
    options->saveOptions();
    EXPECT_EQ(value("Global Options", "ProxyAuthType"), "BASIC");
    options->ProxyAuth.reset();
    options->saveOptions();
    EXPECT_EQ(value("Global Options", "ProxyAuthType"), "<missing>");
    EXPECT_EQ(value("Global Options", "ProxyAuthPassword"), "<missing>");
    EXPECT_FALSE(loaded()->ProxyAuth);
}

TEST_F(GlobalOptionsTest, DeletedEntriesNeverComeBack) {
    auto options = loaded();
    ASSERT_GE(options->ChannelFilters.size(), 3u);
    options->ChannelFilters.resize(3);
    options->ChannelFilterHotkeys.erase(4);
    options->ChannelFilterHotkeys.erase(3);
    options->save();
    // Delete the first of three filters.
    options->ChannelFilters.erase(options->ChannelFilters.begin());
    options->ChannelFilterHotkeys.erase(0);
    options->save();

    auto restarted = loaded();
    ASSERT_EQ(restarted->ChannelFilters.size(), 2u);
    EXPECT_EQ(restarted->ChannelFilters[0].getFilterName(), "New content");
    EXPECT_EQ(restarted->ChannelFilterHotkeys.getHotkey(0).toString(), "Ctrl+Shift+N");
    EXPECT_EQ(tools::getIniKeyNames(ini(), "Channel Filter Hotkeys"), (std::vector<std::string>{"1", "2"}));

    // A stored list with a gap: the load stops at it, the save clears past it.
    tools::writeIniString(ini(), "Channel Report Config 9", "ReportName", "Stray");
    tools::writeIniString(ini(), "User Tool 12", "Type", "url");
    restarted->ChannelReportConfigs.pop_back();
    restarted->UserTools.pop_back();
    restarted->save();
    auto third = loaded();
    EXPECT_EQ(third->ChannelReportConfigs.size(), 4u);
    EXPECT_EQ(third->UserTools.size(), 6u);
    EXPECT_EQ(value("Channel Report Config 9", "ReportName"), "<missing>");
    EXPECT_EQ(value("User Tool 12", "Type"), "<missing>");
}

TEST_F(GlobalOptionsTest, TwentyFiveFiltersWithHotkeysBuildTwentyAccelerators) {
    std::string text;
    for (int n = 1; n <= 25; ++n) {
        text += "[Channel Filter " + std::to_string(n) + "]\nFilterName=F" + std::to_string(n) + "\n";
    }
    text += "[Channel Filter Hotkeys]\n";
    for (int n = 1; n <= 25; ++n)
        text += std::to_string(n) + "=Ctrl+Alt+" + std::string(1, static_cast<char>('A' + n - 1)) + "\n";
    testsupport::writeFile(ini(), text);
    auto options = loaded();
    ASSERT_EQ(options->ChannelFilters.size(), 25u);
    EXPECT_EQ(options->ChannelFilterHotkeys.getHotkeyCount(), 25);
    const auto& accelerators = options->ChannelFilterHotkeys.getAccelerators();
    ASSERT_EQ(accelerators.size(), 20u);
    for (const Accel& accel : accelerators) EXPECT_LT(accel.cmd, 129) << accel.cmd;  // never a category command
    options->save();                                                                 // every hotkey is kept in the file
    EXPECT_EQ(value("Channel Filter Hotkeys", "25"), "Ctrl+Alt+Y");
}

TEST_F(GlobalOptionsTest, FailedSaveReportsAndLeavesTheUpgradeDue) {
    // config.ini lies below a plain file: reads find nothing, writes fail.
    const std::string folder = dir_.file("blocker");
    const std::string config = folder + "/config.ini";
    testsupport::writeFile(folder, "a file, not a folder");
    GlobalOptions options(config, global());
    options.load();
    EXPECT_EQ(options.ChannelFilters.size(), 5u);  // the stock sets are there in memory
    ASSERT_FALSE(reports_.empty());
    EXPECT_NE(reports_[0].find("Couldn't save the global options."), std::string::npos);
    try {
        options.save();
        FAIL() << "the save should fail";
    } catch (const OptionsSaveError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Couldn't save the global options.\n\n", 0), 0u);
        EXPECT_NE(e.reason().find(config), std::string::npos);
    }

    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    reports_.clear();
    GlobalOptions next(config, global());
    next.load();
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(tools::getIniString(config, "AutoUpgrades", "DefineStandardChannelFilters", "", true), "0");
    EXPECT_EQ(tools::getIniString(config, "Channel Filter 1", "FilterName", "", true), "All");
}

TEST_F(GlobalOptionsTest, StockSetsAndExistingLists) {
    testsupport::writeFile(ini(),
                           "[Channel Filter 1]\nFilterName=Mine\n"
                           "[User Tool 1]\nType=url\nDisplayName=Own\nCommand=http://o.test/\n"
                           "[IE Context Menu Items]\nIeSubscribe=My own text\n"
                           "[Channel Favorites]\n1=/c/a.rss\n2=\n3=/c/c.rss\n");
    auto options = loaded();
    EXPECT_EQ(options->ChannelFilters.size(), 1u);  // a list: no stock filters, flag untouched
    EXPECT_EQ(value("AutoUpgrades", "DefineStandardChannelFilters"), "<missing>");
    ASSERT_EQ(options->UserTools.size(), 8u);  // the stock tools after the user's own
    EXPECT_EQ(options->UserTools[0]->getDisplayName(), "Own");
    EXPECT_EQ(options->IeContextMenuItems.at("IeSubscribe"), "My own text");
    EXPECT_EQ(value("IE Context Menu Items", "IeSubscribe"), "My own text");
    EXPECT_EQ(options->ChannelFavorites, std::vector<std::string>{"/c/a.rss"});
    EXPECT_EQ(options->ChannelFavoriteHotkeys.getHotkeyCount(), 1);

    // Later the user deletes every filter: the next start adds the stock set.
    options->ChannelFilters.clear();
    options->ChannelFilterHotkeys.clear();
    options->saveChannelFilters();
    EXPECT_EQ(loaded()->ChannelFilters.size(), 5u);
}

TEST_F(GlobalOptionsTest, LookUpsAndDescriptions) {
    auto options = loaded();
    ChannelFilter twin;
    twin.setFilterName("ALL");
    options->ChannelFilters.push_back(twin);
    EXPECT_EQ(options->findChannelFilter("all"), &options->ChannelFilters[0]);
    EXPECT_EQ(options->findChannelFilter("none"), nullptr);
    EXPECT_TRUE(options->isChannelCategory("my blogroll"));
    EXPECT_FALSE(options->isChannelCategory("Blog"));

    std::string kind = "-", name = "-";
    options->getHotkeyItemDescription(&options->ChannelReportHotkeys, 1, kind, name);
    EXPECT_EQ(kind + "/" + name, "channel report/New content");
    kind = name = "-";
    options->getHotkeyItemDescription(&options->ChannelFilterHotkeys, 99, kind, name);
    options->getHotkeyItemDescription(&options->ChannelFilterHotkeys, -1, kind, name);
    EXPECT_EQ(kind + name, "--");
    std::string dkind, dname;
    EXPECT_TRUE(HotkeyTable::deleteHotkeyInOtherTables(Hotkey(FVIRTKEY | FSHIFT | FCONTROL, 'U', 0), nullptr, false,
                                                       dkind, dname));
    EXPECT_EQ(dkind + "/" + dname, "channel filter/Unread items");
}

// Stands in for the desktop settings of new channels: one key of its own.
class FakeDesktopTemplate : public DesktopSettingsTemplate {
public:
    static inline bool failLoad = false;
    std::string value;
    void load(const std::string& iniFile) override {
        if (failLoad) throw std::runtime_error("broken desktop settings");
        value = tools::getIniString(iniFile, "Desktop Settings", "Marker", "", true);
    }
    void save(const std::string& iniFile) override {
        tools::writeIniString(iniFile, "Desktop Settings", "Marker", value);
    }
};

TEST_F(GlobalOptionsTest, TemplatesOfNewChannelsAndAListThatFailsToLoad) {
    GlobalOptions::setDesktopSettingsFactory([] { return std::make_unique<FakeDesktopTemplate>(); });
    testsupport::writeFile(ini(), "[Desktop Settings]\nMarker=kept\n");
    {
        auto options = loaded();
        ASSERT_TRUE(options->DefaultDesktopSettings);
        auto& fake = dynamic_cast<FakeDesktopTemplate&>(*options->DefaultDesktopSettings);
        EXPECT_EQ(fake.value, "kept");
        fake.value = "changed";
        options->save();
        EXPECT_EQ(value("Desktop Settings", "Marker"), "changed");
    }
    // A template that cannot be read is reported and never written back;
    // the other lists load and save as usual.
    FakeDesktopTemplate::failLoad = true;
    auto options = loaded();
    FakeDesktopTemplate::failLoad = false;
    GlobalOptions::setDesktopSettingsFactory(nullptr);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], "Channel defaults error: broken desktop settings");
    options->DefaultChannelSettings->setAutoUpdateInterval(1234);
    options->ChannelCategories.push_back("Extra");
    options->save();
    EXPECT_EQ(value("Desktop Settings", "Marker"), "changed");
    EXPECT_EQ(value("Settings", "AutoUpdateInterval"), "86400");
    EXPECT_EQ(value("Channel Categories", "8"), "Extra");
}

TEST(GlobalOptionsText, BlackoutTimes) {
    struct Case {
        const char* text;
        bool ok;
        const char* formatted;
    } cases[] = {
        {"3600-7200,79200-86400", true, "3600-7200,79200-86400"},
        {"3600-7200,10000", false, "3600-7200"},
        {"3600-7200,", true, "3600-7200"},
        {"no digits", true, ""},
        {"", true, ""},
        {"3600+7200", false, ""},
        {"3600-", false, ""},
    };
    for (const auto& c : cases) {
        GlobalOptions::BlackoutTimeList list{{1, 2}};
        EXPECT_EQ(GlobalOptions::parseBlackoutTimes(c.text, list), c.ok) << c.text;
        EXPECT_EQ(GlobalOptions::formatBlackoutTimes(list), c.formatted) << c.text;
    }
}

TEST_F(GlobalOptionsTest, ScriptFileTypesFromGlobalIni) {
    testsupport::writeFile(global(),
                           "[Script File Types]\nvbs=VB scripts\n.js=JavaScript\n*x=skipped\n.py=Again\n"
                           "[Scripting File Associations]\nclass=myjava %1\nrb=ruby %1\n");
    GlobalOptions options(ini(), global());
    options.load();
    const std::vector<std::pair<std::string, std::string>> expected = {
        {".exe", "Executables"}, {".py", "Python scripts"}, {".pl", "Perl scripts"}, {".class", "Java scripts"},
        {".vbs", "VB scripts"},  {".js", "JavaScript"},     {".py", "Again"}};
    EXPECT_EQ(options.ScriptFileTypes, expected);
    EXPECT_EQ(options.ScriptingFileAssociations.at(".class"), "myjava %1");
    EXPECT_EQ(options.ScriptingFileAssociations.at(".rb"), "ruby %1");
}

}  // namespace
