// INI profile speed: reading keys one by one from a large file, and writing
// a large file through a write batch and key by key.
#include <benchmark/benchmark.h>

#include "platform/profile.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <string>

namespace profile = platform::profile;

namespace {

constexpr int kSections = 1000;
constexpr int kKeys = 10;

std::string section(int s) { return "Last Feed (" + std::to_string(s) + ")"; }
std::string key(int k) { return "Key" + std::to_string(k); }
std::string value(int s, int k) { return "http://example.invalid/items/" + std::to_string(s * kKeys + k); }

void writeLargeFile(const std::string& file) {
    std::string text;
    for (int s = 0; s < kSections; ++s) {
        text += "[" + section(s) + "]\n";
        for (int k = 0; k < kKeys; ++k) text += key(k) + "=" + value(s, k) + "\n";
    }
    testsupport::writeFile(file, text);
}

void BM_ReadKeysOneByOne(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    writeLargeFile(file);
    for (auto _ : state) {
        std::size_t total = 0;
        for (int s = 0; s < kSections; ++s) {
            for (int k = 0; k < kKeys; ++k) total += profile::getString(file, section(s), key(k), "").size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}
BENCHMARK(BM_ReadKeysOneByOne)->Unit(benchmark::kMillisecond);

void BM_WriteThroughBatch(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    for (auto _ : state) {
        std::filesystem::remove(file);
        profile::WriteBatch batch(file);
        for (int s = 0; s < kSections; ++s) {
            for (int k = 0; k < kKeys; ++k) profile::writeString(file, section(s), key(k), value(s, k));
        }
        if (!batch.commit()) state.SkipWithError("commit failed");
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}
BENCHMARK(BM_WriteThroughBatch)->Unit(benchmark::kMillisecond);

// Every write is a whole atomic rewrite of the growing file.
void BM_WriteKeyByKey(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string file = dir.file("channel.rss");
    for (auto _ : state) {
        std::filesystem::remove(file);
        for (int s = 0; s < kSections; ++s) {
            for (int k = 0; k < kKeys; ++k) {
                if (!profile::writeString(file, section(s), key(k), value(s, k))) state.SkipWithError("write failed");
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}
BENCHMARK(BM_WriteKeyByKey)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
