// Saving and loading a whole channel file with 100 and 1,000 items.
//   bench_channel_io --benchmark_filter=Save   (one file rewrite per save)
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "channels/feed/feed.h"
#include "platform/profile.h"
#include "tests/channels/channel_fixture.h"

namespace {

using channeltest::TestChannel;

// A channel holding `count` items of everyday sizes.
std::unique_ptr<TestChannel> makeChannel(const std::string& file, int count) {
    auto channel = std::make_unique<TestChannel>(nullptr, file);
    auto feed = std::make_unique<channels::Feed>();
    feed->setFeedTime(1796000000);
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        feed->addFeedItem(channels::FeedItem(
            "http://example.com/items/" + n, "Item number " + n + ": a headline",
            std::string(400, 'd') + " <p>50% off</p>\n" + n, "http://example.com/items/" + n, "Example Wire",
            "editor@example.com", "http://example.com/items/" + n + "#comments", "Tue, 08 Dec 2026 10:00:00 GMT"));
    }
    channel->getChannelState().setLastFeed(std::move(feed));
    channel->getChannelSettings().setChannelCategories({"News", "Tech"});
    channel->getChannelConfig().setPreferredDisplayName("Bench");
    return channel;
}

void BM_ChannelSave(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("bench.rss");
    auto channel = makeChannel(file, static_cast<int>(state.range(0)));
    channel->save();
    for (auto _ : state) channel->save();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChannelSave)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ChannelLoad(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("bench.rss");
    makeChannel(file, static_cast<int>(state.range(0)))->save();
    for (auto _ : state) {
        platform::profile::invalidate(file);  // read and parse the file every time
        TestChannel channel(nullptr, file);
        channel.load();
        benchmark::DoNotOptimize(channel.getChannelState().getLastFeed()->getFeedItemCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChannelLoad)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same with the file already parsed by the profile layer's cache.
void BM_ChannelLoadCached(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("bench.rss");
    makeChannel(file, static_cast<int>(state.range(0)))->save();
    for (auto _ : state) {
        TestChannel channel(nullptr, file);
        channel.load();
        benchmark::DoNotOptimize(channel.getChannelState().getLastFeed()->getFeedItemCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChannelLoadCached)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
