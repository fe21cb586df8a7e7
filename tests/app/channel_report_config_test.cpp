// Channel report definitions: stored form, schedule and temporary outputs.
#include <gtest/gtest.h>

#include <climits>

#include "app/options/channelReportConfig.h"
#include "tests/support/test_support.h"
#include "tools/files.h"

namespace {

TEST(ChannelReportConfig, LoadRangesAndDefaults) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("config.ini");
    testsupport::writeFile(ini,
                           "[R1]\nReportName=Weekly\nDataSource=2\nFeedItemControl=3\n"
                           "[R2]\nReportName=Read-me\nDataSource=1\nFeedItemControl=2\nShowResults=1\n"
                           "AutoUpdateInterval=3600\nLastUpdateTime=1000\n"
                           "[R3]\nDataSource=1\n");
    ChannelReportConfig r1, r2, r3;
    ASSERT_TRUE(r1.load(ini, "R1"));
    EXPECT_EQ(r1.getDataSource(), 0);
    EXPECT_EQ(r1.getFeedItemControl(), 0);
    EXPECT_FALSE(r1.getShowResults());  // missing key: not shown
    EXPECT_TRUE(ChannelReportConfig().getShowResults());
    ASSERT_TRUE(r2.load(ini, "R2"));
    EXPECT_EQ(r2.getDataSource(), 1);
    EXPECT_EQ(r2.getFeedItemControl(), 2);
    EXPECT_EQ(r2.getAutoUpdateInterval(), 3600);
    EXPECT_EQ(r2.getLastUpdateTime(), 1000);
    EXPECT_FALSE(r3.load(ini, "R3"));

    r2.setOutputFilename(dir.file("out dir/report 1.html"));
    r2.setTemplateFilename("Über.template");
    r2.save(ini, "R4");
    ChannelReportConfig r4;
    ASSERT_TRUE(r4.load(ini, "R4"));
    EXPECT_EQ(r4.getOutputFilename(), r2.getOutputFilename());
    EXPECT_EQ(r4.getTemplateFilename(), "Über.template");
    EXPECT_EQ(r4.getLastUpdateTime(), 1000);
    EXPECT_TRUE(r4.getShowResults());
}

TEST(ChannelReportConfig, DueTimes) {
    struct Case {
        int interval, last;
        long long now;
        bool due;
    } cases[] = {
        {0, 0, 5000, false},
        {-5, 0, 5000, false},
        {3600, 1000, 4600, true},
        {3600, 1000, 4599, false},
        {3600, 0, 1, false},
        {3600, 0, 1700000000, true},               // never generated: due at once
        {INT_MAX, 1700000000, 1700000001, false},  // no wrap-round into "always due"
        {INT_MAX, INT_MAX, 1700000001, false},
    };
    for (const auto& c : cases) {
        ChannelReportConfig report;
        report.setAutoUpdateInterval(c.interval);
        testsupport::TempDir dir;
        testsupport::writeFile(dir.file("c.ini"),
                               "[R]\nReportName=r\nAutoUpdateInterval=" + std::to_string(c.interval) +
                                   "\nLastUpdateTime=" + std::to_string(c.last) + "\n");
        ASSERT_TRUE(report.load(dir.file("c.ini"), "R"));
        EXPECT_EQ(report.isAutoUpdateDue(static_cast<std::time_t>(c.now)), c.due)
            << c.interval << " " << c.last << " " << c.now;
    }
    ChannelReportConfig report;
    report.setAutoUpdateInterval(3600);
    report.setLastUpdateTimeNow(1700000000);
    EXPECT_FALSE(report.isAutoUpdateDue(1700003599));
    EXPECT_TRUE(report.isAutoUpdateDue(1700003600));
}

TEST(ChannelReportConfig, TemporaryOutputsAreOnePerReportAndDeletedAtTheEnd) {
    ChannelReportConfig a, again, b, readMe1, readMe2, withFile;
    a.setReportName("Daily");
    a.setChannelFilterName("All");
    again = a;
    again.setReportName("DAILY");
    b.setReportName("Weekly");
    b.setChannelFilterName("All");
    readMe1.setReportName("Workpad 1");
    readMe1.setDataSource(ChannelReportConfig::ReadMeListSource);
    readMe2.setReportName("Workpad 2");
    readMe2.setDataSource(ChannelReportConfig::ReadMeListSource);
    withFile.setReportName("Kept");
    withFile.setChannelFilterName("Other");
    withFile.setOutputFilename("/somewhere/out.html");

    const std::string pathA = a.getOutputPath();
    EXPECT_EQ(again.getOutputPath(), pathA);
    // Reports that share a filter, or the read-me list, write apart.
    EXPECT_NE(b.getOutputPath(), pathA);
    EXPECT_NE(readMe1.getOutputPath(), readMe2.getOutputPath());
    EXPECT_EQ(pathA.substr(pathA.size() - 5), ".html");
    EXPECT_TRUE(tools::isFile(pathA));
    EXPECT_EQ(withFile.getOutputPath(), "/somewhere/out.html");

    ChannelReportConfig::deleteTempOutputFiles();
    EXPECT_FALSE(tools::isFile(pathA));
    EXPECT_NE(a.getOutputPath(), pathA);  // a new file after the table was emptied
    ChannelReportConfig::deleteTempOutputFiles();
}

}  // namespace
