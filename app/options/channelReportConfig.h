#pragma once
// One channel report: a page generated from a template over the channels of a
// named channel filter (or over the read-me list), written to a file, shown
// when the user asked for it, and optionally regenerated at a fixed interval.
// Stored in one INI section ("Channel Report Config N" of config.ini) with
// the keys ReportName, DataSource, ChannelFilterName, TemplateFilename,
// OutputFilename, FeedItemControl, ShowResults, AutoUpdateInterval and
// LastUpdateTime.
#include <ctime>
#include <string>

class ChannelReportConfig {
public:
    enum DataSource { ChannelFilterSource = 0, ReadMeListSource = 1 };
    enum FeedItemControl { AllItems = 0, NewItemsOnly = 1, UnreadItemsOnly = 2 };

    ChannelReportConfig() = default;
    ChannelReportConfig(const ChannelReportConfig& other) = default;
    ChannelReportConfig& operator=(const ChannelReportConfig& other) = default;
    virtual ~ChannelReportConfig() = default;

    // False, and nothing else read, when the section has no ReportName.
    virtual bool load(const std::string& iniFile, const std::string& section);
    virtual void save(const std::string& iniFile, const std::string& section) const;

    const std::string& getReportName() const { return reportName_; }
    int getDataSource() const { return dataSource_; }
    const std::string& getChannelFilterName() const { return channelFilterName_; }
    const std::string& getTemplateFilename() const { return templateFilename_; }
    const std::string& getOutputFilename() const { return outputFilename_; }
    int getFeedItemControl() const { return feedItemControl_; }
    bool getShowResults() const { return showResults_; }
    int getAutoUpdateInterval() const { return autoUpdateInterval_; }
    int getLastUpdateTime() const { return lastUpdateTime_; }

    void setReportName(const std::string& name) { reportName_ = name; }
    void setDataSource(int source) { dataSource_ = source; }
    void setChannelFilterName(const std::string& name) { channelFilterName_ = name; }
    void setTemplateFilename(const std::string& name) { templateFilename_ = name; }
    void setOutputFilename(const std::string& name) { outputFilename_ = name; }
    void setFeedItemControl(int control) { feedItemControl_ = control; }
    void setShowResults(bool show) { showResults_ = show; }
    void setAutoUpdateInterval(int seconds) { autoUpdateInterval_ = seconds; }

    // OutputFilename, or else the temporary file kept for the report's
    // ChannelFilterName for the rest of the run (made on first use; throws
    // std::runtime_error "Can't create temporary file." when it can't be).
    std::string getOutputPath() const;

    // Whether an interval of at least 1 has passed since LastUpdateTime at
    // the time `now` (computed in 64 bits).
    bool isAutoUpdateDue(std::time_t now) const;
    bool isAutoUpdateDue() const { return isAutoUpdateDue(std::time(nullptr)); }
    void setLastUpdateTimeNow(std::time_t now);
    void setLastUpdateTimeNow() { setLastUpdateTimeNow(std::time(nullptr)); }

    // Deletes every temporary output file and forgets them (shut-down).
    static void deleteTempOutputFiles();

private:
    std::string reportName_;
    int dataSource_ = ChannelFilterSource;
    std::string channelFilterName_;
    std::string templateFilename_;
    std::string outputFilename_;
    int feedItemControl_ = AllItems;
    bool showResults_ = true;
    int autoUpdateInterval_ = 0;
    int lastUpdateTime_ = 0;
};
