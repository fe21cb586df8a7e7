// Marking the items of a 1,000-item channel viewed: all at once (one save of
// the channel file at the last item), and one item at a time the way opening
// an item does it (a save each).
#include <benchmark/benchmark.h>

#include "app/settings/channelDesktopSettings.h"
#include "tests/app/app_fixture.h"

namespace {

void BM_MarkAll1000ItemsViewedAndSave(benchmark::State& state) {
    apptest::DesktopFixture f;
    auto* channel = f.addChannel("big", apptest::numberedItems("big", 1000));
    channel->save();
    ChannelDesktopSettings& settings = apptest::DesktopFixture::settings(channel);
    for (auto _ : state) {
        settings.markAllFeedItemsViewed(true);
        state.PauseTiming();
        settings.clearViewedFeedItems();
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = static_cast<double>(testsupport::readFile(channel->getConfigFilename()).size());
}
BENCHMARK(BM_MarkAll1000ItemsViewedAndSave)->Unit(benchmark::kMillisecond);

void BM_MarkOneItemViewedAndSaveIn1000ItemChannel(benchmark::State& state) {
    apptest::DesktopFixture f;
    auto* channel = f.addChannel("big", apptest::numberedItems("big", 1000));
    channel->save();
    ChannelDesktopSettings& settings = apptest::DesktopFixture::settings(channel);
    settings.markAllFeedItemsViewed(true);
    bool viewed = false;
    for (auto _ : state) {
        settings.setFeedItemViewed("id-500", viewed, true, true);
        viewed = !viewed;
    }
}
BENCHMARK(BM_MarkOneItemViewedAndSaveIn1000ItemChannel)->Unit(benchmark::kMillisecond);

void BM_UnreadCountOf1000ItemChannel(benchmark::State& state) {
    apptest::DesktopFixture f;
    auto* channel = f.addChannel("big", apptest::numberedItems("big", 1000));
    ChannelDesktopSettings& settings = apptest::DesktopFixture::settings(channel);
    for (int k = 1; k <= 1000; k += 2) settings.markFeedItemViewed("id-" + std::to_string(k), true, false);
    for (auto _ : state) benchmark::DoNotOptimize(settings.getUnreadFeedItemCount());
}
BENCHMARK(BM_UnreadCountOf1000ItemChannel);

}  // namespace
