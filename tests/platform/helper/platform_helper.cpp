// Helper program of the platform tests: rewrites files through the platform
// layer in a loop (to be killed at a random point), or adds values to the
// key store.
#include "platform/profile.h"
#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kSections = 5;
constexpr int kKeysPerSection = 10;

std::string keyName(int k) { return "Key" + std::to_string(k); }
std::string sectionName(int s) { return "Section" + std::to_string(s); }

// Every round gives all keys the round's number, in one rewrite.
int batchWriter(const std::string& file) {
    for (long round = 1;; ++round) {
        platform::profile::WriteBatch batch(file);
        for (int s = 0; s < kSections; ++s) {
            for (int k = 0; k < kKeysPerSection; ++k) {
                platform::profile::writeString(file, sectionName(s), keyName(k), std::to_string(round));
            }
        }
        if (!batch.commit()) return 2;
    }
}

// Every write changes one key (and rewrites the whole file).
int keyWriter(const std::string& file) {
    for (long round = 1;; ++round) {
        for (int s = 0; s < kSections; ++s) {
            for (int k = 0; k < kKeysPerSection; ++k) {
                if (!platform::profile::writeString(file, sectionName(s), keyName(k), std::to_string(round))) return 2;
            }
        }
    }
}

int registryAdder(const std::string& key, const std::string& prefix, int count) {
    if (!platform::registry::createKey(key)) return 2;
    for (int i = 0; i < count; ++i) {
        if (!platform::registry::setDword(key, prefix + std::to_string(i), static_cast<std::uint32_t>(i))) return 3;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "profile-batch" && argc == 3) return batchWriter(argv[2]);
    if (mode == "profile-keys" && argc == 3) return keyWriter(argv[2]);
    if (mode == "registry-add" && argc == 5) return registryAdder(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr,
                 "usage: platform-test-helper profile-batch|profile-keys FILE | registry-add KEY PREFIX COUNT\n");
    return 64;
}
