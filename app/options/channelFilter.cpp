#include "app/options/channelFilter.h"

#include <mutex>
#include <sstream>

#include "app/core/messageGroups.h"
#include "app/core/programObjects.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"
#include "lib/text/xpcre.h"
#include "tools/codecs.h"
#include "tools/ini.h"

namespace {

const char kCategoryStem[] = "ChannelCategory";

std::mutex g_testMutex;
ChannelFilter::ChannelTest g_channelTest;

}  // namespace

bool matchFilterText(const std::string& text, const std::string& pattern, bool useRegExps) {
    if (useRegExps) {
        try {
            return xpcre::CompiledRe(pattern, xpcre::CaseInsensitive).match(text, 0);
        } catch (const std::exception&) {
            return false;
        }
    }
    return tools::findNoCase(text, pattern) != std::string::npos;
}

bool ChannelFilter::isEqual(const ChannelFilter& other, bool compareName) const {
    if (compareName && mbsCompareNoCase(filterName_, other.filterName_.c_str()) != 0) return false;
    if (filterType_ != other.filterType_) return false;
    if (mbsCompareNoCase(searchText_, other.searchText_.c_str()) != 0) return false;
    if (!searchText_.empty() &&
        (searchTextInChannelUrl_ != other.searchTextInChannelUrl_ ||
         searchTextInChannelName_ != other.searchTextInChannelName_ ||
         searchTextInChannelDescription_ != other.searchTextInChannelDescription_ || useRegExps_ != other.useRegExps_))
        return false;
    return channelCategories_ == other.channelCategories_ && channelCategoriesOp_ == other.channelCategoriesOp_ &&
           invertFilter_ == other.invertFilter_ && sortOrder_ == other.sortOrder_;
}

bool ChannelFilter::load(const std::string& iniFile, const std::string& section) {
    filterName_ = tools::getIniString(iniFile, section, "FilterName", "", true);
    if (filterName_.empty()) return false;
    filterType_ = tools::getIniIntInRange(iniFile, section, "FilterType", 0, 2, None);
    searchText_ = tools::getIniString(iniFile, section, "SearchText", "", true);
    searchTextInChannelUrl_ = tools::getIniBool(iniFile, section, "SearchTextInChannelUrl", false);
    searchTextInChannelName_ = tools::getIniBool(iniFile, section, "SearchTextInChannelName", false);
    searchTextInChannelDescription_ = tools::getIniBool(iniFile, section, "SearchTextInChannelDescription", false);
    useRegExps_ = tools::getIniBool(iniFile, section, "UseRegExps", false);
    channelCategories_.clear();
    tools::getIndexedIniList(iniFile, section, kCategoryStem, 1, true, channelCategories_);
    channelCategoriesOp_ = tools::getIniIntInRange(iniFile, section, "ChannelCategoriesOp", 0, 1, AllCategories);
    invertFilter_ = tools::getIniBool(iniFile, section, "InvertFilter", false);
    sortOrder_ = tools::getIniIntInRange(iniFile, section, "SortOrder", 0, 4, Default);
    return true;
}

void ChannelFilter::save(const std::string& iniFile, const std::string& section) const {
    tools::writeIniString(iniFile, section, "FilterName", filterName_);
    tools::writeIniInt(iniFile, section, "FilterType", filterType_);
    tools::writeIniString(iniFile, section, "SearchText", searchText_);
    tools::writeIniBool(iniFile, section, "SearchTextInChannelUrl", searchTextInChannelUrl_);
    tools::writeIniBool(iniFile, section, "SearchTextInChannelName", searchTextInChannelName_);
    tools::writeIniBool(iniFile, section, "SearchTextInChannelDescription", searchTextInChannelDescription_);
    tools::writeIniBool(iniFile, section, "UseRegExps", useRegExps_);
    tools::deleteIndexedIniKeys(iniFile, section, kCategoryStem, 1);
    for (std::size_t i = 0; i < channelCategories_.size(); ++i)
        tools::writeIniString(iniFile, section, kCategoryStem + std::to_string(i + 1), channelCategories_[i]);
    tools::writeIniInt(iniFile, section, "ChannelCategoriesOp", channelCategoriesOp_);
    tools::writeIniBool(iniFile, section, "InvertFilter", invertFilter_);
    tools::writeIniInt(iniFile, section, "SortOrder", sortOrder_);
}

bool ChannelFilter::matches(const ChannelFilterSubject& subject) const {
    bool passes = true;
    switch (filterType_) {
        case None:
            break;
        case HasNewContent:
            passes = subject.hasNewContent;
            break;
        case HasUnreadItems:
            passes = subject.unreadItemCount != 0;
            break;
        default:
            passes = false;
    }
    if (passes && !channelCategories_.empty()) {
        const auto has = [&](const std::string& category) {
            return subject.hasCategory && subject.hasCategory(category);
        };
        if (channelCategoriesOp_ == AllCategories) {
            for (const auto& category : channelCategories_) {
                if (!has(category)) {
                    passes = false;
                    break;
                }
            }
        } else if (channelCategoriesOp_ == AnyCategory) {
            passes = false;
            for (const auto& category : channelCategories_) {
                if (has(category)) {
                    passes = true;
                    break;
                }
            }
        } else {
            passes = false;
        }
    }
    if (passes && !searchText_.empty()) {
        passes = (searchTextInChannelUrl_ && matchFilterText(subject.sourceUrl, searchText_, useRegExps_)) ||
                 (searchTextInChannelName_ && matchFilterText(subject.displayName, searchText_, useRegExps_)) ||
                 (searchTextInChannelDescription_ && matchFilterText(subject.description, searchText_, useRegExps_));
    }
    return invertFilter_ ? !passes : passes;
}

void ChannelFilter::setChannelTest(ChannelTest test) {
    std::lock_guard<std::mutex> guard(g_testMutex);
    g_channelTest = std::move(test);
}

void ChannelFilter::generateMatchingChannels(std::vector<channels::Channel*>& channels) const {
    if (g_channelFiltersGroup.isEnabled()) {
        std::ostringstream dumped;
        dump(dumped, "  ");
        ORVAN_LOG(g_channelFiltersGroup) << "Generating matching channels for filter:" << std::endl << dumped.str();
    }
    channels::ChannelManager* manager = getChannelManager();
    if (!manager) return;
    ChannelTest test;
    {
        std::lock_guard<std::mutex> guard(g_testMutex);
        test = g_channelTest;
    }
    SharedLockGuard lock(&manager->getLock(), __FILE__, __LINE__);
    for (channels::Channel* channel : manager->getChannels()) {
        ORVAN_LOG(g_channelFiltersGroup) << "Checking channel: " << channel->getDisplayName() << std::endl;
        if (!channel->getDesktopSettings() || !test) {
            ORVAN_LOG(g_channelFiltersGroup)
                << "- Can't find ChannelDesktopSettings - skipping this channel." << std::endl;
            continue;
        }
        if (test(*channel, *this)) {
            ORVAN_LOG(g_channelFiltersGroup) << "- Channel matches." << std::endl;
            channels.push_back(channel);
        }
    }
}

void ChannelFilter::dump(std::ostream& os, const std::string& prefix) const {
    os << prefix << "FilterName = '" << filterName_ << "'\n";
    os << prefix << "FilterType = " << filterTypeName(filterType_) << "\n";
    os << prefix << "SearchText = '" << searchText_ << "'\n";
    os << prefix << "- SearchUrl=" << searchTextInChannelUrl_ << " ; SearchName=" << searchTextInChannelName_
       << " ; SearchDescription=" << searchTextInChannelDescription_ << "\n";
    os << prefix << "- UseRegExps = " << useRegExps_ << "\n";
    os << prefix << "- ChannelCategories =";
    for (const auto& category : channelCategories_) os << " '" << category << "'";
    os << "\n";
    os << prefix << "InvertFilter = " << invertFilter_ << "\n";
    os << prefix << "SortOrder = " << sortOrderName(sortOrder_) << "\n";
}

std::string ChannelFilter::filterTypeName(int type) {
    switch (type) {
        case None:
            return "None";
        case HasNewContent:
            return "HasNewContent";
        case HasUnreadItems:
            return "HasUnreadItems";
        default:
            return "FilterType:" + std::to_string(type);
    }
}

std::string ChannelFilter::channelCategoriesOpName(int op) {
    switch (op) {
        case AllCategories:
            return "AND";
        case AnyCategory:
            return "OR";
        default:
            return "ChannelCategoriesOp:" + std::to_string(op);
    }
}

std::string ChannelFilter::sortOrderName(int order) {
    switch (order) {
        case Invalid:
            return "Invalid";
        case Default:
            return "Default";
        case NewItems:
            return "NewItems";
        case UnreadItems:
            return "UnreadItems";
        case LastFeedUpdateTime:
            return "LastFeedUpdateTime";
        case LastNewItemTime:
            return "LastNewItemTime";
        default:
            return "SortOrder:" + std::to_string(order);
    }
}
