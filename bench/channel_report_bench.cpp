// A channel report over 1,000 channels of 50 items each, all items listed,
// from a template shaped like the stock report's.
#include <benchmark/benchmark.h>

#include <map>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/channelFilter.h"
#include "app/options/channelReportConfig.h"
#include "app/reports/channelReportGenerator.h"
#include "tests/app/app_fixture.h"

namespace {

void BM_Report1000Channels(benchmark::State& state) {
    apptest::DesktopFixture f;
    programPaths().programDir = f.dir.str() + "/";
    setChannelManager(f.manager.get());
    for (int c = 0; c < 1000; ++c)
        f.addChannel("channel" + std::to_string(c), apptest::numberedItems("c" + std::to_string(c), 50));
    ChannelFilter all;
    all.setFilterName("All");
    setChannelFilterLookup([&all](const std::string&) { return &all; });
    testsupport::writeFile(f.dir.file("report.template"),
                           "<html><body style=\"background: url({%BACKGROUND-IMAGE%})\"><h1>{%REPORT-TIME%}</h1>\n"
                           "{%REPEAT%Channels}<h2><a href=\"{%CHANNEL-HOME-URL%}\">{%CHANNEL-NAME%}</a></h2><ul>\n"
                           "{%REPEAT%FeedItems}<li><img src=\"{%ITEM-IMAGE%}\"><a href=\"{%ITEM-URL%}\">"
                           "{%ITEM-TITLE%}</a><div>{%ITEM-DESCRIPTION%}</div></li>\n{%/REPEAT%}</ul>{%/REPEAT%}"
                           "</body></html>\n");
    ChannelReportConfig report;
    report.setReportName("Bench");
    report.setChannelFilterName("All");
    report.setTemplateFilename(f.dir.file("report.template"));
    report.setOutputFilename(f.dir.file("report.html"));
    for (auto _ : state) {
        ChannelFilterChannelReportGenerator generator(report);
        generator.generateReport();
    }
    state.counters["page_bytes"] = static_cast<double>(testsupport::readFile(f.dir.file("report.html")).size());
    setChannelFilterLookup(nullptr);
    setChannelManager(nullptr);
}
BENCHMARK(BM_Report1000Channels)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
