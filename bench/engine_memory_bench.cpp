// The engine's resident memory while it holds 1,000 RSS channels of 50
// stored items each, and one update pass over them against a loopback
// server (every feed brings ten new items and drops ten old ones).
//
// Counters:
//   rss_start_mib       resident memory before the manager is made
//   rss_loaded_mib      resident memory of the process once the channels
//                       are loaded (the benchmark program and its libraries
//                       included; the server is a child process)
//   rss_after_pass_mib  the same after the update pass
//   peak_rss_mib        the highest resident memory so far
//   wall_ms_per_channel, cpu_ms_per_channel  of the update pass
//
// Run from a Release build without sanitizers, one argument per run so that
// the figures of one do not hold the leftovers of the other:
//   bench_engine_memory --benchmark_counters_tabular=true --benchmark_filter=/1/
//   bench_engine_memory --benchmark_counters_tabular=true --benchmark_filter=/4/
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
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
constexpr int kItemsPerFeed = 50;

// A feed of 50 items starting at item `first`; each description holds
// `paragraphs` paragraphs (1: everyday sizes, more: longer item texts).
std::string feedText(int first, int paragraphs) {
    const int channel = 1;
    std::ostringstream o;
    o << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>Bench feed " << channel
      << "</title><link>http://example.test/" << channel
      << "/</link><description>A feed of the benchmark</description>";
    for (int i = first; i < first + kItemsPerFeed; ++i) {
        o << "<item><guid>http://example.test/" << channel << "/items/" << i << "</guid><title>Item number " << i
          << " of a channel of the benchmark</title><link>http://example.test/" << channel << "/items/" << i
          << "</link><description>";
        for (int p = 0; p < paragraphs; ++p) {
            o << "&lt;p&gt;Some text of item " << i
              << " that is long enough to look like the summary of an article, with a few words more to "
                 "reach the length that publishers give their summaries.&lt;/p&gt;";
        }
        o << "</description>"
          << "<author>writer@example.test</author><pubDate>Wed, 09 Dec 2026 10:00:00 GMT</pubDate></item>";
    }
    o << "</channel></rss>\n";
    return o.str();
}

double statusMiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size())) / 1024.0;
    }
    return -1;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct BenchData {
    explicit BenchData(int descriptionParagraphs) : paragraphs(descriptionParagraphs) {
        for (CMessageGroup* group : CMessageGroup::getAll()) group->setEnabled(false);
        channelsDir = dir.file("Channels");
        logsDir = dir.file("Logs");
        std::filesystem::create_directories(channelsDir);
        std::filesystem::create_directories(logsDir);
        for (int i = 0; i < kChannels; ++i) {
            const std::string name = "/feeds/" + std::to_string(i) + ".xml";
            tools::writeIniString(channelsDir + "/channel-" + std::to_string(i) + ".rss", "Config", "RssChannelUrl",
                                  server.url(name));
        }
        // The first pass, which stores every channel's 50 items, runs in a
        // child process: this one starts measuring without its leftovers.
        serve(0);
        const pid_t child = fork();
        if (child == 0) {
            auto manager = makeManager();
            manager->loadChannels();
            channels::UpdateWorker(*manager).runPass(false, false);
            manager->stopChannelManager(false);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        serve(10);
    }
    // Every channel's feed from one file, so that this process holds no
    // feed texts of its own.
    void serve(int first) {
        const std::string file = dir.file("feed-" + std::to_string(first) + ".xml");
        std::ofstream(file, std::ios::binary) << feedText(first, paragraphs);
        testsupport::HttpAnswer answer;
        answer.bodyFile = file;
        server.route("/feeds/*", answer);
    }
    std::unique_ptr<channels::ChannelManager> makeManager() {
        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(true);
        defaults.setAutoUpdateInterval(3600);
        return std::make_unique<channels::ChannelManager>("orvan-bench/1.0", channelsDir, logsDir, defaults, "", "");
    }

    int paragraphs;
    testsupport::HttpServer server;
    testsupport::TempDir dir;
    std::string channelsDir, logsDir;
};

// Argument: paragraphs per item description (see feedText); the channels
// of each argument are made once, in a folder of their own.
void BM_HoldAndUpdate1000Channels(benchmark::State& state) {
    static std::map<int, std::unique_ptr<BenchData>> made;
    auto& slot = made[static_cast<int>(state.range(0))];
    if (!slot) slot = std::make_unique<BenchData>(static_cast<int>(state.range(0)));
    BenchData& data = *slot;
    double loaded = 0, afterPass = 0, wall = 0, cpu = 0, start = 0;
    for (auto _ : state) {
        start = statusMiB("VmRSS");
        auto manager = data.makeManager();
        manager->loadChannels();
        if (manager->getChannelCount() != kChannels) state.SkipWithError("not every channel loaded");
        loaded = statusMiB("VmRSS");
        for (channels::Channel* channel : manager->getChannels()) channel->getChannelState().setLastFetchTime(0);
        channels::UpdateWorker worker(*manager);
        const double cpu0 = cpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        worker.runPass(false, false);
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        cpu = cpuSeconds() - cpu0;
        afterPass = statusMiB("VmRSS");
        manager->stopChannelManager(false);
    }
    state.counters["rss_loaded_mib"] = loaded;
    state.counters["rss_start_mib"] = start;
    state.counters["rss_after_pass_mib"] = afterPass;
    state.counters["peak_rss_mib"] = statusMiB("VmHWM");
    state.counters["wall_ms_per_channel"] = wall * 1000.0 / kChannels;
    state.counters["cpu_ms_per_channel"] = cpu * 1000.0 / kChannels;
}
BENCHMARK(BM_HoldAndUpdate1000Channels)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
