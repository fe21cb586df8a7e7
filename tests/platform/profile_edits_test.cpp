// Long runs of mixed edits checked against a plain line-by-line model of the
// profile calls: the exact file text after every commit and every read on
// the way. The runs delete and recreate many sections and keys one by one,
// grow sections past the size where their keys are indexed, and work on
// files with repeated section and key names, comments and blank lines.
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace profile = platform::profile;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::string trim(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool same(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Key name of a key line, nullopt for other lines.
std::optional<std::string> keyOf(const std::string& line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || trim(line)[0] == ';') return std::nullopt;
    std::string key = trim(line.substr(0, eq));
    if (key.empty()) return std::nullopt;
    return key;
}

std::string valueOf(const std::string& line) { return trim(line.substr(line.find('=') + 1)); }

// The file as a list of sections of raw lines; every call searches it from
// the top, as the classic calls are described.
struct Model {
    struct Section {
        std::string header;
        std::string name;
        std::vector<std::string> lines;
    };
    std::vector<std::string> preamble;
    std::vector<Section> sections;

    explicit Model(const std::string& text) {
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t nl = text.find('\n', pos);
            const std::string line = text.substr(pos, nl - pos);
            pos = nl + 1;
            const std::string t = trim(line);
            if (!t.empty() && t[0] == '[') {
                sections.push_back({line, trim(t.substr(1, t.find(']') - 1)), {}});
            } else if (sections.empty()) {
                preamble.push_back(line);
            } else {
                sections.back().lines.push_back(line);
            }
        }
    }

    Section* find(const std::string& name) {
        for (auto& s : sections) {
            if (same(s.name, trim(name))) return &s;
        }
        return nullptr;
    }

    std::optional<std::string> get(const std::string& section, const std::string& key) {
        Section* s = find(section);
        if (!s) return std::nullopt;
        for (const auto& l : s->lines) {
            if (auto k = keyOf(l); k && same(*k, trim(key))) return valueOf(l);
        }
        return std::nullopt;
    }

    void set(const std::string& section, const std::string& key, const std::string& value) {
        Section* s = find(section);
        if (!s) {
            sections.push_back({"[" + trim(section) + "]", trim(section), {trim(key) + "=" + value}});
            return;
        }
        std::size_t after = 0;
        for (std::size_t i = 0; i < s->lines.size(); ++i) {
            auto k = keyOf(s->lines[i]);
            if (!k) continue;
            if (same(*k, trim(key))) {
                s->lines[i] = *k + "=" + value;
                return;
            }
            after = i + 1;
        }
        s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(after), trim(key) + "=" + value);
    }

    void deleteKey(const std::string& section, const std::string& key) {
        if (Section* s = find(section)) {
            std::erase_if(s->lines, [&](const std::string& l) {
                auto k = keyOf(l);
                return k && same(*k, trim(key));
            });
        }
    }

    void deleteSection(const std::string& section) {
        std::erase_if(sections, [&](const Section& s) { return same(s.name, trim(section)); });
    }

    std::vector<std::string> keyNames(const std::string& section) {
        std::vector<std::string> names;
        Section* s = find(section);
        if (!s) return names;
        for (const auto& l : s->lines) {
            auto k = keyOf(l);
            if (k && std::none_of(names.begin(), names.end(), [&](const std::string& n) { return same(n, *k); })) {
                names.push_back(*k);
            }
        }
        return names;
    }

    std::vector<std::string> sectionNames() {
        std::vector<std::string> names;
        for (const auto& s : sections) {
            if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return same(n, s.name); })) {
                names.push_back(s.name);
            }
        }
        return names;
    }

    std::string text() const {
        std::string out;
        for (const auto& l : preamble) out += l + "\n";
        for (const auto& s : sections) {
            out += s.header + "\n";
            for (const auto& l : s.lines) out += l + "\n";
        }
        return out;
    }
};

// Repeated names, comments between and after keys, a large section with
// repeated keys, a section without keys.
const char* kStart =
    "; kept\n"
    "[General]\n"
    "Name=first\n"
    "; between\n"
    "Count = 3 \n"
    "\n"
    "[ dup ]\n"
    "a=1\n"
    "A=shadowed\n"
    "[Big]\n"
    "k0=0\nk1=1\nk2=2\n; inside\nk3=3\nk4=4\nk5=5\nk6=6\nk7=7\nk8=8\nk9=9\nk10=10\nk11=11\nk12=12\nk13=13\n"
    "K2=repeated\nk14=14\nk15=15\nk16=16\nk17=17\n"
    "; trailing comment\n"
    "\n"
    "[Empty]\n"
    "[DUP]\n"
    "b=2\n"
    "[Item (1)]\n"
    "Id=1\n"
    "[Item (2)]\n"
    "Id=2\n";

class EditRun {
public:
    EditRun(const std::string& file, unsigned seed) : file_(file), model_(kStart), rng_(seed) {}

    std::string pick(const std::vector<std::string>& names) {
        return names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(rng_)];
    }
    int percent() { return std::uniform_int_distribution<int>(0, 99)(rng_); }

    std::string section() {
        if (percent() < 60) return "Item (" + std::to_string(std::uniform_int_distribution<int>(1, 40)(rng_)) + ")";
        return pick({"General", "general", " Dup", "dup", "Big", "BIG ", "Empty", "New"});
    }
    std::string key() {
        if (percent() < 70) return "k" + std::to_string(std::uniform_int_distribution<int>(0, 30)(rng_));
        return pick({"Id", "a", " A ", "K2", "Name", "Count", "b"});
    }
    std::string value() { return pick({"x", " padded ", "", "50%25", "a=b", std::to_string(percent())}); }

    // One edit or read, applied to the file and the model.
    void step() {
        const int p = percent();
        if (p < 40) {
            const std::string s = section(), k = key(), v = value();
            ASSERT_TRUE(profile::writeString(file_, s, k, v));
            model_.set(s, k, v);
        } else if (p < 55) {
            const std::string s = section(), k = key();
            ASSERT_TRUE(profile::deleteKey(file_, s, k));
            model_.deleteKey(s, k);
        } else if (p < 65) {
            const std::string s = section();
            ASSERT_TRUE(profile::deleteSection(file_, s));
            model_.deleteSection(s);
        } else if (p < 68) {
            // What a feed save does: every item section goes, then they come back.
            for (int n = 1; n <= 40; ++n) {
                const std::string s = "Item (" + std::to_string(n) + ")";
                ASSERT_TRUE(profile::deleteSection(file_, s));
                model_.deleteSection(s);
            }
            const int count = std::uniform_int_distribution<int>(0, 40)(rng_);
            for (int n = 1; n <= count; ++n) {
                const std::string s = "Item (" + std::to_string(n) + ")";
                ASSERT_TRUE(profile::writeString(file_, s, "Id", std::to_string(n)));
                model_.set(s, "Id", std::to_string(n));
            }
        } else if (p < 71) {
            // A section's keys go one by one and some come back.
            const std::string s = pick({"Big", "General", "New"});
            for (int n = 0; n <= 30; ++n) {
                ASSERT_TRUE(profile::deleteKey(file_, s, "k" + std::to_string(n)));
                model_.deleteKey(s, "k" + std::to_string(n));
            }
            const int count = std::uniform_int_distribution<int>(0, 30)(rng_);
            for (int n = 0; n < count; ++n) {
                ASSERT_TRUE(profile::writeString(file_, s, "k" + std::to_string(n), "v"));
                model_.set(s, "k" + std::to_string(n), "v");
            }
        } else {
            const std::string s = section(), k = key();
            ASSERT_EQ(profile::readValue(file_, s, k), model_.get(s, k)) << s << "/" << k;
            if (p < 80) {
                ASSERT_EQ(profile::getKeyNames(file_, s), model_.keyNames(s)) << s;
            }
            if (p < 75) {
                ASSERT_EQ(profile::getSectionNames(file_), model_.sectionNames());
            }
        }
    }

    // The file on disk against the model, and every name read back from a
    // fresh parse of it.
    void checkFile() {
        ASSERT_EQ(readFile(file_), model_.text());
        profile::invalidate(file_);
        ASSERT_EQ(profile::getSectionNames(file_), model_.sectionNames());
        for (const auto& s : model_.sectionNames()) {
            ASSERT_EQ(profile::getKeyNames(file_, s), model_.keyNames(s)) << s;
            for (const auto& k : model_.keyNames(s)) {
                ASSERT_EQ(profile::readValue(file_, s, k), model_.get(s, k)) << s << "/" << k;
            }
        }
    }

private:
    std::string file_;
    Model model_;
    std::mt19937 rng_;
};

}  // namespace

TEST(ProfileEdits, LongBatchesMatchAPlainModel) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempDir dir;
        const std::string file = dir.file("t.ini");
        writeFile(file, kStart);
        EditRun run(file, seed);
        for (int round = 0; round < 6; ++round) {
            {
                profile::WriteBatch batch(file);
                for (int i = 0; i < 400; ++i) ASSERT_NO_FATAL_FAILURE(run.step());
                ASSERT_TRUE(batch.commit());
                // Edits after a commit inside the same batch are written by its end.
                for (int i = 0; i < 50; ++i) ASSERT_NO_FATAL_FAILURE(run.step());
            }
            ASSERT_NO_FATAL_FAILURE(run.checkFile());
        }
    }
}

// Without a batch every edit is its own rewrite, starting from the cached
// parse of the previous one.
TEST(ProfileEdits, SingleEditsMatchAPlainModel) {
    TempDir dir;
    const std::string file = dir.file("t.ini");
    writeFile(file, kStart);
    EditRun run(file, 7);
    for (int i = 0; i < 150; ++i) {
        ASSERT_NO_FATAL_FAILURE(run.step());
        if (i % 10 == 0) {
            ASSERT_NO_FATAL_FAILURE(run.checkFile());
        }
    }
    ASSERT_NO_FATAL_FAILURE(run.checkFile());
}
