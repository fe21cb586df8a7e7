// Summary page of a channel with 1,000 items, expanded from the stock
// template. Reports the page size and the process's peak resident set.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "channels/feed/summaryPage.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/test_support.h"

namespace {

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_SummaryPage1000Items(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("bench.rss");
    testsupport::writeFile(file,
                           "[Cache]\nChannelDisplayName=Bench & Co\nChannelDescription=A large channel\n"
                           "ChannelHomeUrl=http://127.0.0.1/\nCopyrightString=All rights reserved\n"
                           "PubDateString=Mon, 06 Jan 2003 10:00:00 GMT\n[State]\nLastFetchTime=1041861900\n");
    channeltest::TestChannel channel(nullptr, file);
    channel.load();
    auto feed = std::make_unique<channels::Feed>();
    std::set<std::string> marked;
    std::map<std::string, std::string> images;
    const std::string description(400, 'd');
    for (int i = 1; i <= 1000; ++i) {
        const std::string n = std::to_string(i);
        feed->addFeedItem(channels::FeedItem("id-" + n, "Item number " + n + " <with> & markup",
                                             "<p>" + description + " " + n + "</p>", "http://127.0.0.1/items/" + n,
                                             "Wire", "author" + n + "@example.org", "http://127.0.0.1/c/" + n,
                                             "Mon, 06 Jan 2003 10:00:00 GMT"));
        if (i % 2) marked.insert("id-" + n);
        images["id-" + n] = i % 3 ? "<img src='new.gif'>" : "<img src='viewed.gif'>";
    }
    channel.getChannelState().setLastFeed(std::move(feed));

    const std::string templateText =
        testsupport::readFile(testsupport::sourceDir() + "/../resources/Resources/DefaultChannelSummary.template");
    std::size_t pageSize = 0;
    for (auto _ : state) {
        channels::SummaryPageGenerator gen(channel, false, marked, images);
        gen.setValue("BACKGROUND-IMAGE", "file:///bench/bg.gif");
        std::istringstream in(templateText);
        std::ostringstream out;
        gen.generate(in, out);
        pageSize = out.str().size();
        benchmark::DoNotOptimize(pageSize);
    }
    state.counters["page_bytes"] = static_cast<double>(pageSize);
    state.counters["peak_rss_kB"] = static_cast<double>(peakRssKb());
}
BENCHMARK(BM_SummaryPage1000Items)->Unit(benchmark::kMillisecond);

}  // namespace
