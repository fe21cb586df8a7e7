#pragma once
// Channel reports: a report's template expanded over the channels of its
// channel filter (with their items) or over the read-me list, written to the
// report's output file.
//
//   ChannelFilterChannelReportGenerator generator(report);   // DataSource 0
//   generator.generateReport();                              // throws std::runtime_error
//
// Template variables (names without regard to case): REPORT-TIME,
// BACKGROUND-IMAGE; per channel CHANNEL-NAME, CHANNEL-URL,
// ENCODED-CHANNEL-URL, CHANNEL-HOME-URL; per item ITEM-IMAGE, ITEM-URL,
// ITEM-TITLE, ITEM-TITLE-FORMATTED, ITEM-DESCRIPTION. Repeat blocks
// "Channels" and "FeedItems". Text from feeds is written escaped (&, <, >,
// ", ' only, so XML templates stay XML); item descriptions are markup and
// are written as they are.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lib/text/templateProcessor.h"

namespace channels {
class Channel;
class Feed;
class FeedItem;
}  // namespace channels
class ChannelDesktopSettings;
class ChannelFilter;
class ChannelReportConfig;

// The entries of the read-me list, for its reports (the list's window
// installs it). getItem gives entry index (0-based, list order); the channel
// is null for an entry of no channel.
class ReadMeListSource {
public:
    virtual ~ReadMeListSource() = default;
    virtual int getNumItems() const = 0;
    virtual void getItem(int index, channels::Channel*& channel, std::string& itemId, std::string& url,
                         std::string& title) const = 0;
};
void setReadMeListSource(const ReadMeListSource* source);

// Finds the user's filter of a name (without regard to case); null when
// there is none. The global options install theirs.
using ChannelFilterLookup = std::function<const ChannelFilter*(const std::string& name)>;
void setChannelFilterLookup(ChannelFilterLookup lookup);

// Text from a feed as page text: &, <, >, " and ' as entities.
std::string escapeReportText(std::string_view text);

class ChannelReportGenerator : public templateProcessor::TemplateProcessor {
public:
    explicit ChannelReportGenerator(const ChannelReportConfig& report);
    bool getValue(const std::string& name, std::string& value) override;
    virtual void generateReport() = 0;
    // Where the last run wrote (the report's output path).
    const std::string& getOutputPath() const { return outputPath_; }

protected:
    // Reads the template, expands it and replaces the output file with the
    // result in one step.
    void generate();

    const ChannelReportConfig& report_;
    std::string reportTime_;
    std::string outputPath_;
};

class ChannelFilterChannelReportGenerator : public ChannelReportGenerator {
public:
    explicit ChannelFilterChannelReportGenerator(const ChannelReportConfig& report);
    ~ChannelFilterChannelReportGenerator() override;
    bool getValue(const std::string& name, std::string& value) override;
    bool prepareRepeat(const std::string& parameter, int n) override;
    void generateReport() override;
    // Whether the report's FeedItemControl takes the item; sets its icon.
    virtual bool includeFeedItem(std::string_view itemId, std::string& itemImage);

private:
    std::vector<channels::Channel*> channels_;
    std::size_t channelCursor_ = 0;
    channels::Channel* channel_ = nullptr;
    ChannelDesktopSettings* settings_ = nullptr;
    std::unique_ptr<channels::Feed> feed_;
    std::size_t itemCursor_ = 0;
    const channels::FeedItem* item_ = nullptr;
    std::string itemImage_;
};

class ReadMeListChannelReportGenerator : public ChannelReportGenerator {
public:
    explicit ReadMeListChannelReportGenerator(const ChannelReportConfig& report);
    bool getValue(const std::string& name, std::string& value) override;
    bool prepareRepeat(const std::string& parameter, int n) override;
    void generateReport() override;

private:
    channels::Channel* channel_ = nullptr;
    std::string itemId_;
    std::string itemUrl_;
    std::string itemTitle_;
    bool haveItem_ = false;
};

// The generator for the report's data source.
std::unique_ptr<ChannelReportGenerator> makeChannelReportGenerator(const ChannelReportConfig& report);
