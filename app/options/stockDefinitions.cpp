// The stock filters, reports, categories and user tools that a user's
// config.ini receives once.
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"

namespace {

// The virtual-key code of a capital letter is its character code. Like
// every hotkey held in a table it carries command 0 (the accelerators get
// the command ids), so that the hotkey dialogs find it when they look for a
// key that is already taken.
Hotkey ctrlShift(char letter) { return Hotkey(FVIRTKEY | FSHIFT | FCONTROL, static_cast<unsigned short>(letter), 0); }

}  // namespace

void GlobalOptions::defineDefaultChannelFilters(std::vector<ChannelFilter>& filters, HotkeyTable& hotkeys) {
    struct Stock {
        const char* name;
        int type;
        int sortOrder;
        const char* category;
        char hotkey;
    };
    static const Stock stock[] = {
        {"All", ChannelFilter::None, ChannelFilter::Default, nullptr, 'A'},
        {"New content", ChannelFilter::HasNewContent, ChannelFilter::LastNewItemTime, nullptr, 'N'},
        {"Unread items", ChannelFilter::HasUnreadItems, ChannelFilter::UnreadItems, nullptr, 'U'},
        {"My Favorites", ChannelFilter::None, ChannelFilter::Default, "My Favorites", 'F'},
        {"My Blogroll", ChannelFilter::None, ChannelFilter::Default, "My Blogroll", 0},
    };
    for (const Stock& s : stock) {
        ChannelFilter filter;
        filter.setFilterName(s.name);
        filter.setFilterType(s.type);
        filter.setSortOrder(s.sortOrder);
        if (s.category) filter.setChannelCategories({s.category}, ChannelFilter::AllCategories);
        filters.push_back(filter);
        hotkeys.appendHotkey(s.hotkey ? ctrlShift(s.hotkey) : Hotkey());
    }
    hotkeys.buildAcceleratorTable();
}

void GlobalOptions::defineDefaultChannelReports(std::vector<ChannelReportConfig>& reports, HotkeyTable& hotkeys) {
    for (const char* name : {"All", "New content", "Unread items", "My Favorites", "My Blogroll"}) {
        ChannelReportConfig report;
        report.setReportName(name);
        report.setChannelFilterName(name);
        reports.push_back(report);
        hotkeys.appendHotkey(Hotkey());
    }
    ChannelReportConfig& blogroll = reports.back();
    const ProgramPaths& p = programPaths();
    blogroll.setTemplateFilename(joinPath(p.userDir, "MyBlogroll.template"));
    blogroll.setOutputFilename(joinPath(p.reportsDir, "MyBlogroll.html"));
}

void GlobalOptions::defineStandardChannelCategories(std::vector<std::string>& categories) {
    for (const char* name : {"My Favorites", "My Blogroll", "News", "Technology", "Business", "Sports", "Blogs"})
        categories.emplace_back(name);
}

void GlobalOptions::defineStandardUserTools(std::vector<std::unique_ptr<UserTool>>& tools) {
    static const char* const stock[][3] = {
        {"Google", "", "http://www.google.com/search?q={%SELTEXT%}"},
        {"Feedster", "", "http://www.feedster.com/search.php?q={%SELTEXT%}"},
        {"Technorati", "", "http://www.technorati.com/cosmos/links.html?url={%SELTEXT%} "},
        {"News Is Free", "", "http://www.newsisfree.com/sources/searchitems/?query={%SELTEXT%}"},
        {"Siteseek", "", "http://www.siteseek.example/feedlist.php?ShowMatch={%SELTEXT%}&ShowStatus=all"},
        {"Translate page", "Translate &page", "http://translate.google.com/translate?u={%URL%}"},
        {"Dictionary", "", "http://www.dictionary.com/search?q={%SELTEXT%}"},
    };
    for (const auto& s : stock) tools.push_back(std::make_unique<UrlUserTool>(s[0], s[1], s[2]));
}
