// Feed parsing throughput beside expat alone on the same text, the peak
// memory a parse adds, and a 1,000-item feed through its INI form.
//
// Run from a Release build without sanitizers:
//   bench_rss_parser --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <expat.h>

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "channels/feed/feed.h"
#include "channels/rss/rssParser.h"
#include "tests/support/test_support.h"

namespace {

// An RSS 2.0 feed of `items` items, written the way common publishers do:
// namespaces, escaped markup, CDATA, UTF-8 text.
std::string makeFeed(int items) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n<channel>\n"
        "<title>Bench Channel</title>\n<link>http://bench.example.org/</link>\n"
        "<description>Generated for measurements</description>\n"
        "<lastBuildDate>Mon, 01 Jan 2024 00:00:00 GMT</lastBuildDate>\n";
    for (int i = 0; i < items; ++i) {
        const std::string n = std::to_string(i);
        text += "<item>\n<title>Item " + n + ": caf\xC3\xA9 &amp; cr\xC3\xA8me \xE2\x82\xAC" + n + "</title>\n";
        text += "<link>http://bench.example.org/items/" + n + "</link>\n";
        text += "<guid isPermaLink=\"false\">bench-" + n + "</guid>\n";
        text += "<pubDate>Mon, 01 Jan 2024 00:00:00 GMT</pubDate>\n<dc:creator>Writer " + n + "</dc:creator>\n";
        text += "<description>&lt;p&gt;Paragraph one of item " + n +
                " with &lt;b&gt;bold&lt;/b&gt; words and a link &lt;a href=\"http://x.example/\"&gt;here&lt;/a&gt;."
                " More text follows so that the item reads like a real one.&lt;/p&gt;</description>\n";
        text += "<category><![CDATA[Category & more]]></category>\n</item>\n";
    }
    text += "</channel>\n</rss>\n";
    return text;
}

// A feed of at least `bytes` bytes.
std::string makeFeedOfSize(std::size_t bytes) {
    const std::size_t perItem = makeFeed(2).size() - makeFeed(1).size();
    const std::size_t head = makeFeed(0).size();
    const int items = static_cast<int>((bytes > head ? bytes - head : 0) / perItem + 1);
    return makeFeed(items);
}

// Starts a peak-memory measurement: free heap pages go back to the system
// and the peak resident size (VmHWM) is reset to the current one (Linux).
bool resetPeak() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

long long readStatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::stoll(line.substr(prefix.size()));
    }
    return -1;
}

// Bytes the allocator hands out, in the heap and in mappings of their own.
double allocatedBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks) + static_cast<double>(info.hblkhd);
}

void XMLCALL emptyStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL emptyEnd(void*, const XML_Char*) {}
void XMLCALL emptyText(void*, const XML_Char*, int) {}

void BM_ExpatEmptyCallbacks(benchmark::State& state) {
    const std::string text = makeFeedOfSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetElementHandler(parser, emptyStart, emptyEnd);
        XML_SetCharacterDataHandler(parser, emptyText);
        const XML_Status status = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1);
        XML_ParserFree(parser);
        if (status != XML_STATUS_OK) state.SkipWithError("expat failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// The feed parsed as the program parses a download: the text is handed
// over (and freed by the parser once expat holds the document). Making the
// copy it hands over is not timed.
void BM_RssParseFeed(benchmark::State& state) {
    const std::string text = makeFeedOfSize(static_cast<std::size_t>(state.range(0)));
    const channels::RssParseContext context;
    std::size_t items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string download = text;
        state.ResumeTiming();
        auto feed = channels::RssParser().parseFeed(context, std::move(download), -1);
        items = feed->getFeedItemCount();
        benchmark::DoNotOptimize(feed.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["items"] = static_cast<double>(items);

    // One more parse, measured for the memory it adds to the downloaded text
    // while the feed lives.
    std::string download = text;
    if (resetPeak()) {
        const long long before = readStatusKb("VmRSS");
        const double allocatedBefore = allocatedBytes();
        auto feed = channels::RssParser().parseFeed(context, std::move(download), -1);
        const long long peak = readStatusKb("VmHWM");
        // What stays allocated for the finished feed itself, beyond the
        // text it replaces.
        state.counters["feed_MB"] = (allocatedBytes() - allocatedBefore + static_cast<double>(text.size())) / 1e6;
        state.counters["input_MB"] = static_cast<double>(text.size()) / 1e6;
        state.counters["peak_add_MB"] = static_cast<double>(peak - before) * 1024.0 / 1e6;
        state.counters["peak_x_input"] = static_cast<double>(peak - before) * 1024.0 / static_cast<double>(text.size());
    }
}

constexpr int64_t k50KB = 50 * 1000;
constexpr int64_t k10MB = 10 * 1000 * 1000;

BENCHMARK(BM_ExpatEmptyCallbacks)->Arg(k50KB)->Arg(k10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RssParseFeed)->Arg(k50KB)->Arg(k10MB)->Unit(benchmark::kMillisecond);

// 1,000 items: parse, then store as "Last Feed" and read back.
void BM_Rss1000ItemsParse(benchmark::State& state) {
    const std::string text = makeFeed(1000);
    const channels::RssParseContext context;
    for (auto _ : state) {
        auto feed = channels::RssParser().parseFeed(context, text, -1);
        benchmark::DoNotOptimize(feed.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Rss1000ItemsParse)->Unit(benchmark::kMillisecond);

void BM_Feed1000ItemsSave(benchmark::State& state) {
    const auto feed = channels::RssParser().parseFeed({}, makeFeed(1000), -1);
    testsupport::TempDir dir;
    const std::string file = dir.file("bench.rss");
    for (auto _ : state) feed->save(file, "Last Feed");
}
BENCHMARK(BM_Feed1000ItemsSave)->Unit(benchmark::kMillisecond);

void BM_Feed1000ItemsLoad(benchmark::State& state) {
    const auto feed = channels::RssParser().parseFeed({}, makeFeed(1000), -1);
    testsupport::TempDir dir;
    const std::string file = dir.file("bench.rss");
    feed->save(file, "Last Feed");
    for (auto _ : state) {
        channels::Feed loaded;
        loaded.load(file, "Last Feed");
        if (loaded.getFeedItemCount() != 1000) state.SkipWithError("items lost");
    }
}
BENCHMARK(BM_Feed1000ItemsLoad)->Unit(benchmark::kMillisecond);

}  // namespace
