#include "app/reports/channelReportGenerator.h"
#include "app/core/seams.h"

#include <ctime>
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include "app/core/constants.h"
#include "app/core/programObjects.h"
#include "app/misc/programFiles.h"
#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelManager.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "tools/codecs.h"

namespace {

std::atomic<const ReadMeListSource*> g_readMeList{nullptr};

std::mutex& lookupMutex() {
    static std::mutex m;
    return m;
}
ChannelFilterLookup& filterLookup() {
    static ChannelFilterLookup lookup;
    return lookup;
}

const seams::Registration g_readMeListSeam(
    "ReadMeListSource", [] { return g_readMeList.load() != nullptr; }, [] { setReadMeListSource(nullptr); });
const seams::Registration g_filterLookupSeam(
    "ChannelFilterLookup",
    [] {
        std::lock_guard<std::mutex> guard(lookupMutex());
        return static_cast<bool>(filterLookup());
    },
    [] { setChannelFilterLookup(nullptr); });

bool is(const std::string& name, const char* variable) { return mbsCompareNoCase(name, variable) == 0; }

}  // namespace

void setReadMeListSource(const ReadMeListSource* source) { g_readMeList = source; }

void setChannelFilterLookup(ChannelFilterLookup lookup) {
    std::lock_guard guard(lookupMutex());
    filterLookup() = std::move(lookup);
}

std::string escapeReportText(std::string_view text) { return tools::escapeHtml(text); }

// --- common production

ChannelReportGenerator::ChannelReportGenerator(const ChannelReportConfig& report) : report_(report) {}

bool ChannelReportGenerator::getValue(const std::string& name, std::string& value) {
    if (is(name, "REPORT-TIME")) {
        value = reportTime_;
        return true;
    }
    return TemplateProcessor::getValue(name, value);
}

void ChannelReportGenerator::generate() {
    std::string templatePath = report_.getTemplateFilename();
    if (templatePath.empty()) templatePath = makeUserFilePath(kDefaultChannelReportTemplate);
    std::ifstream in(templatePath, std::ios::binary);
    if (!in) throw std::runtime_error("Can't open the template file: " + templatePath);

    // A temporary output file is named by its path (the report has no
    // output file name of its own to show).
    outputPath_ = report_.getOutputPath();

    std::string background;
    if (channels::ChannelManager* manager = getChannelManager()) {
        background = manager->getDefaultSummaryBackgroundFilename();
    }
    setValue("BACKGROUND-IMAGE", background);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64] = {};
    asctime_r(&local, buffer);
    reportTime_ = std::string(buffer).substr(0, 24);

    std::ostringstream out;
    run(in, out);
    // The old report stays whole until the new one replaces it.
    if (!platform::files::atomicWriteFile(outputPath_, out.str())) {
        throw std::runtime_error("Can't open the output file: " + outputPath_);
    }
}

// --- reports over a channel filter

ChannelFilterChannelReportGenerator::ChannelFilterChannelReportGenerator(const ChannelReportConfig& report)
    : ChannelReportGenerator(report) {}

ChannelFilterChannelReportGenerator::~ChannelFilterChannelReportGenerator() = default;

void ChannelFilterChannelReportGenerator::generateReport() {
    const std::string& name = report_.getChannelFilterName();
    ChannelFilterLookup lookup;
    {
        std::lock_guard guard(lookupMutex());
        lookup = filterLookup();
    }
    const ChannelFilter* filter = lookup ? lookup(name) : nullptr;
    if (filter == nullptr) throw std::runtime_error("Unknown channel filter: " + name);
    getChannelDesktopSettingsTable();  // channels are tested through their desktop settings
    channels_.clear();
    filter->generateMatchingChannels(channels_);
    channelCursor_ = 0;
    generate();
}

bool ChannelFilterChannelReportGenerator::prepareRepeat(const std::string& parameter, int n) {
    if (is(parameter, "Channels")) {
        if (n == 1) channelCursor_ = 0;
        if (channelCursor_ >= channels_.size()) {
            channelCursor_ = 0;
            return false;
        }
        channel_ = channels_[channelCursor_++];
        settings_ = getChannelDesktopSettings(channel_);
        feed_.reset();
        {
            const channels::ChannelState& state = channel_->getChannelState();
            SharedLockGuard guard(&state.getLock(), __FILE__, __LINE__);
            if (const channels::Feed* feed = state.getLastFeed()) feed_ = std::make_unique<channels::Feed>(*feed);
        }
        itemCursor_ = 0;
        item_ = nullptr;
        itemImage_.clear();
        return true;
    }
    if (is(parameter, "FeedItems")) {
        if (!feed_) return false;
        if (n == 1) itemCursor_ = 0;
        SharedLockGuard guard(&feed_->getLock(), __FILE__, __LINE__);
        const std::vector<channels::FeedItem>& items = feed_->getFeedItems();
        while (itemCursor_ < items.size()) {
            const channels::FeedItem& item = items[itemCursor_++];
            std::string image;
            if (includeFeedItem(item.getId(), image)) {
                item_ = &item;
                itemImage_ = image;
                return true;
            }
        }
        itemCursor_ = 0;
        return false;
    }
    return ChannelReportGenerator::prepareRepeat(parameter, n);
}

bool ChannelFilterChannelReportGenerator::includeFeedItem(std::string_view itemId, std::string& itemImage) {
    if (settings_ == nullptr || channel_ == nullptr) return false;
    const bool isNew = channel_->getChannelState().isNewFeedItem(itemId);
    const bool isViewed = settings_->isFeedItemViewed(itemId);
    bool include = false;
    switch (report_.getFeedItemControl()) {
        case ChannelReportConfig::AllItems:
            include = true;
            break;
        case ChannelReportConfig::NewItemsOnly:
            include = isNew && !isViewed;
            break;
        case ChannelReportConfig::UnreadItemsOnly:
            include = !isViewed;
            break;
        default:
            include = false;
            break;
    }
    if (include) itemImage = feedItemIconUrl(isViewed, isNew);
    return include;
}

bool ChannelFilterChannelReportGenerator::getValue(const std::string& name, std::string& value) {
    if (channel_ != nullptr) {
        if (is(name, "CHANNEL-URL") || is(name, "ENCODED-CHANNEL-URL")) {
            value = escapeReportText(channel_->getSourceUrl());
            return true;
        }
        if (is(name, "CHANNEL-HOME-URL")) {
            value = escapeReportText(channel_->getChannelConfig().getHomeUrl());
            return true;
        }
        if (is(name, "CHANNEL-NAME")) {
            value = escapeReportText(channel_->getDisplayName());
            return true;
        }
        if (is(name, "ITEM-IMAGE")) {
            value = itemImage_;
            return true;
        }
    }
    if (item_ != nullptr) {
        if (is(name, "ITEM-URL")) {
            value = escapeReportText(item_->getUrl());
            return true;
        }
        if (is(name, "ITEM-TITLE") || is(name, "ITEM-TITLE-FORMATTED")) {
            value = escapeReportText(item_->getTitle());
            return true;
        }
        if (is(name, "ITEM-DESCRIPTION")) {
            value = item_->getDescription();
            return true;
        }
    }
    return ChannelReportGenerator::getValue(name, value);
}

// --- reports over the read-me list

ReadMeListChannelReportGenerator::ReadMeListChannelReportGenerator(const ChannelReportConfig& report)
    : ChannelReportGenerator(report) {}

void ReadMeListChannelReportGenerator::generateReport() { generate(); }

bool ReadMeListChannelReportGenerator::prepareRepeat(const std::string& parameter, int n) {
    if (is(parameter, "Channels")) return n == 1;
    if (is(parameter, "FeedItems")) {
        const ReadMeListSource* list = g_readMeList;
        if (list == nullptr || n > list->getNumItems()) return false;
        list->getItem(n - 1, channel_, itemId_, itemUrl_, itemTitle_);
        haveItem_ = true;
        return true;
    }
    return ChannelReportGenerator::prepareRepeat(parameter, n);
}

bool ReadMeListChannelReportGenerator::getValue(const std::string& name, std::string& value) {
    if (is(name, "CHANNEL-NAME")) {
        value = "Workpad";
        return true;
    }
    if (is(name, "ITEM-IMAGE")) {
        value = feedItemIconUrl(false, false);
        return true;
    }
    if (is(name, "ITEM-URL")) {
        value = escapeReportText(itemUrl_);
        return true;
    }
    if (is(name, "ITEM-TITLE") || is(name, "ITEM-TITLE-FORMATTED")) {
        value = escapeReportText(itemTitle_);
        return true;
    }
    if (is(name, "ITEM-DESCRIPTION")) {
        value.clear();
        if (channel_ == nullptr || !haveItem_) return true;
        const channels::ChannelState& state = channel_->getChannelState();
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        if (const channels::Feed* feed = state.getLastFeed()) {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            for (const channels::FeedItem& item : feed->getFeedItems()) {
                if (compareNoCase(item.getId(), itemId_) == 0) {
                    value = item.getDescription();
                    break;
                }
            }
        }
        return true;
    }
    return ChannelReportGenerator::getValue(name, value);
}

std::unique_ptr<ChannelReportGenerator> makeChannelReportGenerator(const ChannelReportConfig& report) {
    if (report.getDataSource() == ChannelReportConfig::ReadMeListSource) {
        return std::make_unique<ReadMeListChannelReportGenerator>(report);
    }
    return std::make_unique<ChannelFilterChannelReportGenerator>(report);
}
