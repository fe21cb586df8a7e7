#pragma once
// The summary page of a channel: its template expanded with the channel's
// name, description, home page, image, publisher details and last update
// time, and every repeat block run once per item of the last feed.
//
//   SummaryPageGenerator gen(channel, detailsOff, viewedIds, itemImages);
//   gen.setValue("BACKGROUND-IMAGE", "file://" + backgroundFile);
//   gen.generate(templateStream, pageStream);
//
// Variables: CHANNEL-NAME, CHANNEL-DESCRIPTION, CHANNEL-HOME-URL,
// LAST-UPDATE-TIME, CHANNEL-IMAGE, CHANNEL-DETAILS everywhere; ITEM-IMAGE,
// ITEM-TITLE, ITEM-TITLE-FORMATTED, ITEM-DESCRIPTION, ITEM-URL, ITEM-DETAILS
// inside a repeat block (and after one, for the last item). Texts from the
// feed are HTML-escaped, except the item description, which is markup, and
// the item images, which the caller supplies.
#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

#include "channels/feed/channelHeader.h"
#include "lib/text/templateProcessor.h"

namespace channels {

class Channel;
class Feed;

class SummaryPageGenerator : public templateProcessor::TemplateProcessor {
public:
    // detailsOff: CHANNEL-DETAILS and ITEM-DETAILS expand to nothing.
    // markedItems: ids whose titles get the italic form (viewed items).
    // itemImages: item id -> the image reference shown for the item.
    SummaryPageGenerator(Channel& channel, bool detailsOff, const std::set<std::string>& markedItems,
                         const std::map<std::string, std::string>& itemImages);

    // Sets the channel variables and expands the template from in to out,
    // holding the channel state's and the last feed's locks shared.
    void generate(std::istream& in, std::ostream& out);

    bool getValue(const std::string& name, std::string& value) override;
    // Every block runs once per item, whatever its parameter.
    bool prepareRepeat(const std::string& parameter, int n) override;

private:
    std::string channelImage() const;
    std::string channelDetails() const;
    std::string itemDetails(int position) const;

    Channel& channel_;
    ChannelHeader header_;
    bool detailsOff_;
    std::set<std::string> markedItems_;
    std::map<std::string, std::string> itemImages_;
    int currentItem_ = 0;
    const Feed* feed_ = nullptr;  // the last feed, while generate runs
};

// The text with & < > " ' written as character references, safe in element
// content and in quoted attribute values.
std::string escapeHtml(std::string_view text);

}  // namespace channels
