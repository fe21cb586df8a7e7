// One full update pass over 1,000 RSS channels served from a loopback
// server, and the loading of their 1,000 channel files.
//
// Counters:
//   cpu_ms_per_channel  CPU time of this process (the engine; the server is
//                       a child process and not counted) per channel update,
//                       and its user and system parts
//   wall_ms_per_channel wall time per channel update, server included
//   peak_rss_mib        peak resident memory of this process so far
//
// With ORVAN_BENCH_FEEDS_URL=<base> and ORVAN_BENCH_FEEDS=<n> in the
// environment, BM_FirstPassOverServedFeeds runs one first pass (empty
// channel files) over <base>/0.xml .. <base>/<n-1>.xml, the feeds another
// server serves: bench/program_pass_bench.py compares it with the whole
// program's first pass over the same feeds.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/updateWorker.h"
#include "lib/log/messageGroup.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

constexpr int kChannels = 1000;
constexpr int kItemsPerFeed = 20;

std::string feedText() {
    std::ostringstream o;
    o << "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Bench feed</title>"
      << "<link>http://example.test/</link><description>A feed of the benchmark</description>";
    for (int i = 0; i < kItemsPerFeed; ++i)
        o << "<item><guid>item-" << i << "</guid><title>Item number " << i << "</title><link>http://example.test/" << i
          << "</link><description>Some text of item " << i
          << " that is long enough to look like a summary of an article.</description>"
          << "<pubDate>Wed, 09 Dec 2026 10:00:00 GMT</pubDate></item>";
    o << "</channel></rss>\n";
    return o.str();
}

struct CpuTimes {
    double user = 0, system = 0;
};

CpuTimes cpuTimes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {static_cast<double>(usage.ru_utime.tv_sec) + static_cast<double>(usage.ru_utime.tv_usec) / 1e6,
            static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) / 1e6};
}

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A channels folder with 1,000 channel files pointing at one server.
struct BenchData {
    BenchData() {
        for (CMessageGroup* group : CMessageGroup::getAll()) group->setEnabled(false);
        testsupport::HttpAnswer answer = testsupport::HttpAnswer::text(feedText());
        server.route("/feeds/*", answer);
        channelsDir = dir.file("Channels");
        logsDir = dir.file("Logs");
        std::filesystem::create_directories(channelsDir);
        std::filesystem::create_directories(logsDir);
        for (int i = 0; i < kChannels; ++i) {
            const std::string file = channelsDir + "/channel-" + std::to_string(i) + ".rss";
            tools::writeIniString(file, "Config", "RssChannelUrl", server.url("/feeds/" + std::to_string(i) + ".xml"));
        }
    }
    std::unique_ptr<channels::ChannelManager> makeManager() {
        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(true);
        defaults.setAutoUpdateInterval(3600);
        return std::make_unique<channels::ChannelManager>("orvan-bench/1.0", channelsDir, logsDir, defaults, "", "");
    }

    testsupport::HttpServer server;
    testsupport::TempDir dir;
    std::string channelsDir, logsDir;
};

BenchData& data() {
    static BenchData d;
    return d;
}

void BM_LoadChannelFiles(benchmark::State& state) {
    BenchData& d = data();
    for (auto _ : state) {
        auto manager = d.makeManager();
        manager->loadChannels();
        if (manager->getChannelCount() != kChannels) state.SkipWithError("not every channel loaded");
        state.PauseTiming();
        manager->stopChannelManager(false);
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["peak_rss_mib"] = peakRssMiB();
}
BENCHMARK(BM_LoadChannelFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FullUpdatePass(benchmark::State& state) {
    BenchData& d = data();
    double user = 0, system = 0, wall = 0;
    int updates = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = d.makeManager();
        manager->loadChannels();
        // Every channel has a stored feed already: this pass compares and
        // stores like a steady-state pass does.
        for (channels::Channel* channel : manager->getChannels()) channel->getChannelState().setLastFetchTime(0);
        channels::UpdateWorker worker(*manager);
        state.ResumeTiming();

        const CpuTimes cpu0 = cpuTimes();
        const auto wall0 = std::chrono::steady_clock::now();
        worker.runPass(false, false);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const CpuTimes cpu1 = cpuTimes();
        user += cpu1.user - cpu0.user;
        system += cpu1.system - cpu0.system;
        updates += kChannels;

        state.PauseTiming();
        manager->stopChannelManager(false);
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["cpu_ms_per_channel"] = (user + system) * 1000.0 / updates;
    state.counters["user_ms_per_channel"] = user * 1000.0 / updates;
    state.counters["sys_ms_per_channel"] = system * 1000.0 / updates;
    state.counters["wall_ms_per_channel"] = wall * 1000.0 / updates;
    state.counters["peak_rss_mib"] = peakRssMiB();
}
BENCHMARK(BM_FullUpdatePass)->Unit(benchmark::kMillisecond)->Iterations(3);

// One first pass over the feeds another server serves (see the top).
void BM_FirstPassOverServedFeeds(benchmark::State& state, std::string base, int count) {
    for (CMessageGroup* group : CMessageGroup::getAll()) group->setEnabled(false);
    double wall = 0;
    for (auto _ : state) {
        state.PauseTiming();
        testsupport::TempDir dir;
        const std::string channelsDir = dir.file("Channels"), logsDir = dir.file("Logs");
        std::filesystem::create_directories(channelsDir);
        std::filesystem::create_directories(logsDir);
        for (int i = 0; i < count; ++i)
            tools::writeIniString(channelsDir + "/c" + std::to_string(i) + ".rss", "Config", "RssChannelUrl",
                                  base + "/" + std::to_string(i) + ".xml");
        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(true);
        defaults.setAutoUpdateInterval(3600);
        auto manager =
            std::make_unique<channels::ChannelManager>("orvan-bench/1.0", channelsDir, logsDir, defaults, "", "");
        manager->loadChannels();
        channels::UpdateWorker worker(*manager);
        state.ResumeTiming();
        const auto wall0 = std::chrono::steady_clock::now();
        worker.runPass(false, false);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        state.PauseTiming();
        manager->stopChannelManager(false);
        manager.reset();
        state.ResumeTiming();
    }
    state.counters["wall_s_per_pass"] = wall / static_cast<double>(state.iterations());
    state.counters["peak_rss_mib"] = peakRssMiB();
}

const bool servedFeedsRegistered = [] {
    const char* base = std::getenv("ORVAN_BENCH_FEEDS_URL");
    const char* count = std::getenv("ORVAN_BENCH_FEEDS");
    if (base == nullptr || count == nullptr) return false;
    benchmark::RegisterBenchmark("BM_FirstPassOverServedFeeds", BM_FirstPassOverServedFeeds, std::string(base),
                                 std::atoi(count))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    return true;
}();

}  // namespace
