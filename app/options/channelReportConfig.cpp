#include "app/options/channelReportConfig.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "lib/misc/stringHelpers.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace {

std::mutex g_tempFilesMutex;
std::map<std::string, std::unique_ptr<tools::TempFile>>& tempOutputFiles() {
    static std::map<std::string, std::unique_ptr<tools::TempFile>> files;
    return files;
}

}  // namespace

bool ChannelReportConfig::load(const std::string& iniFile, const std::string& section) {
    reportName_ = tools::getIniString(iniFile, section, "ReportName", "", true);
    if (reportName_.empty()) return false;
    dataSource_ = tools::getIniIntInRange(iniFile, section, "DataSource", 0, 1, ChannelFilterSource);
    channelFilterName_ = tools::getIniString(iniFile, section, "ChannelFilterName", "", true);
    templateFilename_ = tools::getIniString(iniFile, section, "TemplateFilename", "", true);
    outputFilename_ = tools::getIniString(iniFile, section, "OutputFilename", "", true);
    feedItemControl_ = tools::getIniIntInRange(iniFile, section, "FeedItemControl", 0, 2, AllItems);
    showResults_ = tools::getIniBool(iniFile, section, "ShowResults", false);
    autoUpdateInterval_ = tools::getIniInt(iniFile, section, "AutoUpdateInterval", 0);
    lastUpdateTime_ = tools::getIniInt(iniFile, section, "LastUpdateTime", 0);
    return true;
}

void ChannelReportConfig::save(const std::string& iniFile, const std::string& section) const {
    tools::writeIniString(iniFile, section, "ReportName", reportName_);
    tools::writeIniInt(iniFile, section, "DataSource", dataSource_);
    tools::writeIniString(iniFile, section, "ChannelFilterName", channelFilterName_);
    tools::writeIniString(iniFile, section, "TemplateFilename", templateFilename_);
    tools::writeIniString(iniFile, section, "OutputFilename", outputFilename_);
    tools::writeIniInt(iniFile, section, "FeedItemControl", feedItemControl_);
    tools::writeIniBool(iniFile, section, "ShowResults", showResults_);
    tools::writeIniInt(iniFile, section, "AutoUpdateInterval", autoUpdateInterval_);
    tools::writeIniInt(iniFile, section, "LastUpdateTime", lastUpdateTime_);
}

std::string ChannelReportConfig::getOutputPath() const {
    if (!outputFilename_.empty()) return outputFilename_;
    // One temporary page per report (names are unique among the reports):
    // reports that share a filter, or read-me reports, which all have the
    // empty filter name, never overwrite one another's output.
    const std::string key = std::to_string(dataSource_) + "\n" + toLowerCopy(reportName_);
    std::lock_guard<std::mutex> guard(g_tempFilesMutex);
    auto& files = tempOutputFiles();
    auto it = files.find(key);
    if (it == files.end()) it = files.emplace(key, std::make_unique<tools::TempFile>(".html")).first;
    return it->second->getFilename();
}

bool ChannelReportConfig::isAutoUpdateDue(std::time_t now) const {
    if (autoUpdateInterval_ < 1) return false;
    // In 64 bits: a large interval must not wrap round into "always due".
    return static_cast<std::int64_t>(now) >=
           static_cast<std::int64_t>(lastUpdateTime_) + static_cast<std::int64_t>(autoUpdateInterval_);
}

void ChannelReportConfig::setLastUpdateTimeNow(std::time_t now) { lastUpdateTime_ = static_cast<int>(now); }

void ChannelReportConfig::deleteTempOutputFiles() {
    std::lock_guard<std::mutex> guard(g_tempFilesMutex);
    tempOutputFiles().clear();
}
