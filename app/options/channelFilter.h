#pragma once
// A named rule that picks channels: by new content or unread items, by
// categories, and by a text (plain or a regular expression) sought in the
// channel's address, name or description; optionally inverted; with the sort
// order of the list that shows its channels. Stored in one INI section:
//
//   [Channel Filter 1]
//   FilterName=Unread items
//   FilterType=2
//   SearchText=
//   SearchTextInChannelUrl=0 ... UseRegExps=0
//   ChannelCategory1=News
//   ChannelCategoriesOp=0
//   InvertFilter=0
//   SortOrder=2
//
// A default filter passes every channel. The per-channel test belongs to the
// channel's desktop settings; the criteria themselves are here
// (ChannelFilter::matches over a ChannelFilterSubject) so that every user of
// filters applies the same rule.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace channels {
class Channel;
}

// What the filter test needs to know about one channel.
struct ChannelFilterSubject {
    bool hasNewContent = false;
    int unreadItemCount = 0;
    // Whether the channel belongs to a category (null: it belongs to none).
    std::function<bool(const std::string& category)> hasCategory;
    std::string sourceUrl;
    std::string displayName;
    std::string description;
};

// Whether the pattern occurs in the text: with useRegExps a caseless regular
// expression (one that does not compile, or a match error, gives false),
// else a substring search without regard to ASCII letter case.
bool matchFilterText(const std::string& text, const std::string& pattern, bool useRegExps);

class ChannelFilter {
public:
    enum FilterType { None = 0, HasNewContent = 1, HasUnreadItems = 2 };
    enum ChannelCategoriesOp { AllCategories = 0, AnyCategory = 1 };
    enum SortOrder {
        Invalid = -1,
        Default = 0,
        NewItems = 1,
        UnreadItems = 2,
        LastFeedUpdateTime = 3,
        LastNewItemTime = 4
    };
    // Decides for one channel; installed by the owner of the channels'
    // desktop settings. Called only for channels that have desktop settings.
    using ChannelTest = std::function<bool(channels::Channel& channel, const ChannelFilter& filter)>;

    ChannelFilter() = default;
    ChannelFilter(const ChannelFilter& other) = default;
    ChannelFilter& operator=(const ChannelFilter& other) = default;
    virtual ~ChannelFilter() = default;

    const std::string& getFilterName() const { return filterName_; }
    int getFilterType() const { return filterType_; }
    const std::string& getSearchText() const { return searchText_; }
    bool getSearchTextInChannelUrl() const { return searchTextInChannelUrl_; }
    bool getSearchTextInChannelName() const { return searchTextInChannelName_; }
    bool getSearchTextInChannelDescription() const { return searchTextInChannelDescription_; }
    bool getUseRegExps() const { return useRegExps_; }
    const std::vector<std::string>& getChannelCategories() const { return channelCategories_; }
    int getChannelCategoriesOp() const { return channelCategoriesOp_; }
    bool getInvertFilter() const { return invertFilter_; }
    int getSortOrder() const { return sortOrder_; }

    void setFilterName(const std::string& name) { filterName_ = name; }
    void setFilterType(int type) { filterType_ = type; }
    void setSearchText(const std::string& text) { searchText_ = text; }
    void setSearchTextInChannelUrl(bool on) { searchTextInChannelUrl_ = on; }
    void setSearchTextInChannelName(bool on) { searchTextInChannelName_ = on; }
    void setSearchTextInChannelDescription(bool on) { searchTextInChannelDescription_ = on; }
    void setUseRegExps(bool on) { useRegExps_ = on; }
    // The category list and its operator together.
    void setChannelCategories(const std::vector<std::string>& categories, int op) {
        channelCategories_ = categories;
        channelCategoriesOp_ = op;
    }
    void setInvertFilter(bool on) { invertFilter_ = on; }
    void setSortOrder(int order) { sortOrder_ = order; }

    // Whether the two are the same for the user: names (when compareName)
    // and search texts without regard to case, the place flags only when
    // there is a search text, everything else exactly.
    bool isEqual(const ChannelFilter& other, bool compareName) const;

    // False, and nothing else read, when the section has no FilterName.
    bool load(const std::string& iniFile, const std::string& section);
    void save(const std::string& iniFile, const std::string& section) const;

    // The filter criteria for one channel: type, categories, search text,
    // then the inversion.
    bool matches(const ChannelFilterSubject& subject) const;

    // Appends every channel of the program's channel manager that passes,
    // in table order; channels without desktop settings are skipped.
    virtual void generateMatchingChannels(std::vector<channels::Channel*>& channels) const;
    static void setChannelTest(ChannelTest test);

    // One field a line, each line after the prefix.
    void dump(std::ostream& os, const std::string& prefix) const;

    static std::string filterTypeName(int type);
    static std::string channelCategoriesOpName(int op);
    static std::string sortOrderName(int order);

private:
    std::string filterName_;
    int filterType_ = None;
    std::string searchText_;
    bool searchTextInChannelUrl_ = false;
    bool searchTextInChannelName_ = false;
    bool searchTextInChannelDescription_ = false;
    bool useRegExps_ = false;
    std::vector<std::string> channelCategories_;
    int channelCategoriesOp_ = AllCategories;
    bool invertFilter_ = false;
    int sortOrder_ = Default;
};
