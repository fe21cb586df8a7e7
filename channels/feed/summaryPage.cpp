#include "channels/feed/summaryPage.h"

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "lib/misc/stringHelpers.h"
#include "lib/misc/threadSafety.h"
#include "tools/codecs.h"
#include "tools/dates.h"

namespace channels {

namespace {

bool isName(const std::string& name, const char* wanted) { return mbsCompareNoCase(name, wanted) == 0; }

// Clears the generator's feed pointer when a run ends, also by an exception.
class FeedScope {
public:
    FeedScope(const Feed*& slot, const Feed* feed) : slot_(slot) { slot_ = feed; }
    ~FeedScope() { slot_ = nullptr; }
    FeedScope(const FeedScope&) = delete;
    FeedScope& operator=(const FeedScope&) = delete;

private:
    const Feed*& slot_;
};

}  // namespace

std::string escapeHtml(std::string_view text) { return tools::escapeHtml(text); }

SummaryPageGenerator::SummaryPageGenerator(Channel& channel, bool detailsOff, const std::set<std::string>& markedItems,
                                           const std::map<std::string, std::string>& itemImages)
    : channel_(channel), detailsOff_(detailsOff), markedItems_(markedItems), itemImages_(itemImages) {}

void SummaryPageGenerator::generate(std::istream& in, std::ostream& out) {
    ChannelConfig& config = channel_.getChannelConfig();
    ChannelState& state = channel_.getChannelState();

    std::string homeUrl = config.getHomeUrl();
    if (homeUrl.empty()) homeUrl = channel_.getSourceUrl();
    setValue("CHANNEL-NAME", escapeHtml(channel_.getDisplayName()));
    const std::string description = config.getDescription();
    setValue("CHANNEL-DESCRIPTION", description.empty() ? "No description provided." : escapeHtml(description));
    setValue("CHANNEL-HOME-URL", escapeHtml(homeUrl));
    const std::time_t lastFetch = state.getLastFetchTime();
    setValue("LAST-UPDATE-TIME",
             lastFetch == 0 ? std::string() : "(Last updated " + tools::formatRelativeTime(lastFetch, false) + ")");

    {
        SharedLockGuard configGuard(&config.getLock(), __FILE__, __LINE__);
        header_ = config.getChannelHeader();
    }

    SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
    const Feed* feed = state.getLastFeed();
    SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
    FeedScope scope(feed_, feed);
    run(in, out);
}

bool SummaryPageGenerator::prepareRepeat(const std::string&, int n) {
    if (n > channel_.getFeedItemCount()) return false;
    currentItem_ = n;
    return true;
}

bool SummaryPageGenerator::getValue(const std::string& name, std::string& value) {
    const bool itemName = mbsCompareNoCaseN(name, "ITEM-", 5) == 0;
    const FeedItem* item = nullptr;
    if (itemName && currentItem_ > 0 && feed_) {
        const auto& items = feed_->getFeedItems();
        if (static_cast<std::size_t>(currentItem_) <= items.size())
            item = &items[static_cast<std::size_t>(currentItem_ - 1)];
    }

    if (item) {
        if (isName(name, "ITEM-IMAGE")) {
            auto it = itemImages_.find(std::string(item->getId()));
            if (it != itemImages_.end()) value = it->second;
            return true;
        }
        if (isName(name, "ITEM-TITLE")) {
            value = escapeHtml(item->getTitle());
            return true;
        }
        if (isName(name, "ITEM-TITLE-FORMATTED")) {
            value = escapeHtml(item->getTitle());
            if (markedItems_.count(std::string(item->getId()))) value = "<I>" + value + "</I>";
            return true;
        }
        if (isName(name, "ITEM-DESCRIPTION")) {
            value = item->getDescription();
            return true;
        }
        if (isName(name, "ITEM-URL")) {
            value = escapeHtml(item->getUrl());
            return true;
        }
    }
    if (isName(name, "CHANNEL-IMAGE")) {
        value = channelImage();
        return true;
    }
    if (isName(name, "CHANNEL-DETAILS")) {
        value = detailsOff_ ? std::string() : channelDetails();
        return true;
    }
    if (isName(name, "ITEM-DETAILS") && currentItem_ > 0) {
        value = detailsOff_ ? std::string() : itemDetails(currentItem_);
        return true;
    }
    return TemplateProcessor::getValue(name, value);
}

std::string SummaryPageGenerator::channelImage() const {
    const ChannelConfig& config = channel_.getChannelConfig();
    const std::string imageUrl = config.getImageUrl();
    if (imageUrl.empty()) return std::string();
    std::string attributes;
    if (const int width = config.getImageWidth(); width > 0) attributes += " width=" + std::to_string(width);
    if (const int height = config.getImageHeight(); height > 0) attributes += " height=" + std::to_string(height);
    const std::string image = "<IMG src=\"" + escapeHtml(imageUrl) + "\"";
    const std::string tail = " border=0 alt=\"Channel image\">";
    const std::string homeUrl = config.getHomeUrl();
    if (homeUrl.empty()) return image + attributes + tail;
    return "<A href=\"" + escapeHtml(homeUrl) + "\">" + image + " " + attributes + tail + "</A>";
}

std::string SummaryPageGenerator::channelDetails() const {
    const ChannelHeader& h = header_;
    std::string out;
    if (!h.PubDateString.empty()) out += "Published: " + escapeHtml(h.PubDateString) + "<BR>\n";
    if (!h.LastBuildDateString.empty()) out += "Last changed: " + escapeHtml(h.LastBuildDateString) + "<BR>\n";
    const bool dates = !h.PubDateString.empty() || !h.LastBuildDateString.empty();
    const bool people = !h.CopyrightString.empty() || !h.EditorEmailAddress.empty() || !h.WebMasterEmailAddress.empty();
    if (dates && people) out += "<BR>\n";
    if (!h.CopyrightString.empty()) {
        if (toUpperCopy(h.CopyrightString).find("COPYRIGHT") == std::string::npos) out += "Copyright ";
        out += escapeHtml(h.CopyrightString) + "<BR>\n";
    }
    if (!h.EditorEmailAddress.empty()) {
        const std::string a = escapeHtml(h.EditorEmailAddress);
        out += "Managing Editor: <A href='mailto:" + a + "'>" + a + "</A><BR>\n";
    }
    if (!h.WebMasterEmailAddress.empty()) {
        const std::string a = escapeHtml(h.WebMasterEmailAddress);
        out += "Webmaster: <A href='mailto:" + a + "'>" + a + "</A><BR>\n";
    }
    return out;
}

std::string SummaryPageGenerator::itemDetails(int position) const {
    if (!feed_) return std::string();
    const auto& items = feed_->getFeedItems();
    if (position < 1 || static_cast<std::size_t>(position) > items.size()) return std::string();
    const FeedItem& item = items[static_cast<std::size_t>(position - 1)];
    std::string out;
    if (!item.getSource().empty()) out += "Source: " + escapeHtml(item.getSource()) + "<BR>\n";
    if (!item.getAuthor().empty()) out += "Author: " + escapeHtml(item.getAuthor()) + "<BR>\n";
    if (!item.getPubDateString().empty()) out += "Last changed: " + escapeHtml(item.getPubDateString()) + "<BR>\n";
    if (!item.getCommentsUrl().empty()) out += "<A href='" + escapeHtml(item.getCommentsUrl()) + "'>Discuss</A><BR>\n";
    return out;
}

}  // namespace channels
