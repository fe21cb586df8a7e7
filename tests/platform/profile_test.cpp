#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "tests/platform/platform_test_paths.h"
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

namespace profile = platform::profile;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// An independent reading of an INI text: section -> key -> value, blanks
// trimmed, first occurrence wins, names lower-cased.
std::map<std::string, std::map<std::string, std::string>> plainParse(const std::string& text) {
    auto trim = [](std::string s) {
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
        std::size_t b = 0;
        while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
        return s.substr(b);
    };
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::map<std::string, std::map<std::string, std::string>> out;
    std::istringstream in(text);
    std::string line;
    std::string section;
    bool inSection = false;
    while (std::getline(in, line)) {
        line = trim(line);
        if (!line.empty() && line[0] == '[') {
            section = lower(trim(line.substr(1, line.find(']') - 1)));
            inSection = true;
            out[section];
            continue;
        }
        auto eq = line.find('=');
        if (!inSection || eq == std::string::npos || line[0] == ';') continue;
        out[section].emplace(lower(trim(line.substr(0, eq))), trim(line.substr(eq + 1)));
    }
    return out;
}

const char* kSample =
    "; settings\n"
    "orphan=before any section\n"
    "[General]\n"
    "Name = Some Value  \n"
    "Count=42\n"
    "Neg=-17\n"
    "Plus=+8\n"
    "Text=abc\n"
    "Mixed=12abc\n"
    "Huge=99999999999\n"
    "Empty=\n"
    "Tabbed=\t x \t\n"
    "a line without equals sign\n"
    "Name=second Name is shadowed\n"
    "[Other]\n"
    "a=1\n";

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

// Every read is made twice: through the cache and after the cache was dropped.
TEST(Profile, ReadsValuesLikeTheProfileCalls) {
    struct StringCase {
        const char* section;
        const char* key;
        const char* expected;
    };
    const StringCase strings[] = {
        {"General", "Name", "Some Value"},
        {"GENERAL", "name", "Some Value"},
        {" general ", " NAME ", "Some Value"},
        {"General", "Tabbed", "x"},
        {"General", "Empty", ""},
        {"General", "Missing", "<default>"},
        {"Missing", "Name", "<default>"},
        {"", "orphan", "<default>"},
        {"General", "a line without equals sign", "<default>"},
        {"other", "A", "1"},
    };
    struct IntCase {
        const char* key;
        int expected;
    };
    const IntCase ints[] = {
        {"Count", 42}, {"Neg", -17},         {"Plus", 8},  {"Text", 0},
        {"Mixed", 12}, {"Huge", 2147483647}, {"Empty", 5}, {"Missing", 5},
    };
    for (const std::string& text : {std::string(kSample), withCrLf(kSample)}) {
        TempDir dir;
        const std::string file = dir.file("sample.ini");
        writeFile(file, text);
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) profile::invalidate(file);
            for (const auto& c : strings) {
                EXPECT_EQ(profile::getString(file, c.section, c.key, "<default>"), c.expected)
                    << c.section << "/" << c.key << " pass " << pass;
            }
            for (const auto& c : ints) {
                EXPECT_EQ(profile::getInt(file, "General", c.key, 5), c.expected) << c.key << " pass " << pass;
            }
            EXPECT_EQ(profile::getSectionNames(file), (std::vector<std::string>{"General", "Other"}));
            EXPECT_EQ(
                profile::getKeyNames(file, "general"),
                (std::vector<std::string>{"Name", "Count", "Neg", "Plus", "Text", "Mixed", "Huge", "Empty", "Tabbed"}));
        }
    }
}

TEST(Profile, MissingFileReadsAsDefaultsAndEmptyLists) {
    TempDir dir;
    const std::string file = dir.file("absent.ini");
    EXPECT_EQ(profile::getString(file, "S", "k", "d"), "d");
    EXPECT_EQ(profile::getInt(file, "S", "k", -3), -3);
    EXPECT_FALSE(profile::readValue(file, "S", "k").has_value());
    EXPECT_TRUE(profile::getSectionNames(file).empty());
    EXPECT_TRUE(profile::getKeyNames(file, "S").empty());
    // Deleting from a missing file succeeds and creates nothing.
    EXPECT_TRUE(profile::deleteKey(file, "S", "k"));
    EXPECT_TRUE(profile::deleteSection(file, "S"));
    EXPECT_FALSE(std::filesystem::exists(file));
}

// Each change is checked against the exact file text and read back by an
// independent parse of that text.
TEST(Profile, WritesChangeOnlyWhatTheyName) {
    using Op = std::function<bool(const std::string&)>;
    struct Case {
        const char* name;
        const char* before;  // nullptr: no file
        Op op;
        const char* after;
    };
    const Case cases[] = {
        {"write creates file and section", nullptr,
         [](const std::string& f) { return profile::writeString(f, "Config", "Url", "http://a/"); },
         "[Config]\nUrl=http://a/\n"},
        {"new section is appended", "[A]\nx=1\n",
         [](const std::string& f) { return profile::writeString(f, "B", "y", "2"); }, "[A]\nx=1\n[B]\ny=2\n"},
        {"replace keeps spelling and place of the key", "[Sec]\nKey = 1\nOther=2\n",
         [](const std::string& f) { return profile::writeString(f, "SEC", "key", "3"); }, "[Sec]\nKey=3\nOther=2\n"},
        {"new key goes after the last key, before blanks and comments", "[A]\nx=1\n\n; about B\n[B]\ny=2\n",
         [](const std::string& f) { return profile::writeString(f, "a", "z", "9"); },
         "[A]\nx=1\nz=9\n\n; about B\n[B]\ny=2\n"},
        {"absent value deletes the key", "[A]\nx=1\ny=2\n",
         [](const std::string& f) { return profile::writeString(f, "A", "X", std::nullopt); }, "[A]\ny=2\n"},
        {"deleteKey of a missing key changes nothing", "[A]\n x = 1 \n",
         [](const std::string& f) { return profile::deleteKey(f, "A", "nope"); }, "[A]\n x = 1 \n"},
        {"deleteSection removes the section with its lines", "; top\n[A]\nx=1\n; note\n[B]\ny=2\n[C]\nz=3\n",
         [](const std::string& f) { return profile::deleteSection(f, "b"); }, "; top\n[A]\nx=1\n; note\n[C]\nz=3\n"},
        {"comments and odd lines are kept verbatim", ";c1\nstray\n[A]\n;c2\nno equals\nx=1\n",
         [](const std::string& f) { return profile::writeString(f, "A", "x", "2"); },
         ";c1\nstray\n[A]\n;c2\nno equals\nx=2\n"},
        {"CRLF file stays CRLF", "[A]\r\nx=1\r\n",
         [](const std::string& f) { return profile::writeString(f, "A", "y", "2"); }, "[A]\r\nx=1\r\ny=2\r\n"},
        {"value blanks are written as given and read trimmed", "[A]\n",
         [](const std::string& f) { return profile::writeString(f, "A", "k", "  v  "); }, "[A]\nk=  v  \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string file = dir.file("t.ini");
        if (c.before) writeFile(file, c.before);
        ASSERT_TRUE(c.op(file));
        const std::string text = readFile(file);
        EXPECT_EQ(text, c.after);
        // The cached reading after the write equals a fresh one.
        for (const auto& [section, keys] : plainParse(text)) {
            for (const auto& [key, value] : keys) {
                EXPECT_EQ(profile::getString(file, section, key, "<none>"), value) << section << "/" << key;
                profile::invalidate(file);
                EXPECT_EQ(profile::getString(file, section, key, "<none>"), value) << section << "/" << key;
            }
        }
    }
}

TEST(Profile, RejectsNamesAndValuesThatWouldBreakTheFile) {
    TempDir dir;
    const std::string file = dir.file("t.ini");
    writeFile(file, "[A]\nx=1\n");
    const std::tuple<const char*, const char*, const char*> bad[] = {
        {"A", "x", "1\n[Injected]\ny=2"}, {"A", "k=v", "1"}, {"A]", "x", "1"}, {"A", "", "1"}, {"A\n", "x", "1"},
    };
    for (const auto& [section, key, value] : bad) {
        errno = 0;
        EXPECT_FALSE(profile::writeString(file, section, key, value)) << section << "/" << key;
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_EQ(readFile(file), "[A]\nx=1\n");
}

TEST(Profile, WriteFailureReportsErrnoAndLeavesNoFile) {
    TempDir dir;
    writeFile(dir.file("plain"), "not a folder");
    errno = 0;
    EXPECT_FALSE(profile::writeString(dir.file("plain/t.ini"), "A", "x", "1"));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_FALSE(platform::files::lastErrorText().empty());

    // A path that cannot be read is never replaced by a file holding only the new key.
    std::filesystem::create_directory(dir.file("folder.ini"));
    EXPECT_FALSE(profile::writeString(dir.file("folder.ini"), "A", "x", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.ini")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(Profile, CacheNoticesChangesMadeByOtherMeans) {
    TempDir dir;
    const std::string file = dir.file("t.ini");
    writeFile(file, "[A]\nx=1\n");
    EXPECT_EQ(profile::getString(file, "A", "x", ""), "1");
    // Same size, same inode, only the modification time tells it apart.
    writeFile(file, "[A]\nx=2\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(profile::getString(file, "A", "x", ""), "2");
    // Replaced by another file.
    writeFile(dir.file("other.ini"), "[A]\nx=3\n");
    std::filesystem::rename(dir.file("other.ini"), file);
    EXPECT_EQ(profile::getString(file, "A", "x", ""), "3");
    // A relative spelling of the same path shares the cache and the lock.
    std::filesystem::path rel = std::filesystem::relative(file);
    EXPECT_TRUE(profile::writeString(rel.string(), "A", "x", "4"));
    EXPECT_EQ(profile::getString(file, "A", "x", ""), "4");
}

TEST(Profile, WriteBatchRewritesOnceAndIsolatesOtherThreads) {
    TempDir dir;
    const std::string file = dir.file("t.ini");
    writeFile(file, "[A]\nx=old\n");
    std::atomic<bool> otherWrote{false};
    std::thread other;
    {
        profile::WriteBatch batch(file);
        EXPECT_TRUE(profile::writeString(file, "A", "x", "new"));
        {
            profile::WriteBatch inner(file);
            EXPECT_TRUE(profile::writeString(file, "B", "y", "1"));
            EXPECT_TRUE(inner.commit());  // nested: only the outer batch writes
        }
        EXPECT_EQ(readFile(file), "[A]\nx=old\n");
        // The batch's own thread sees the pending contents ...
        EXPECT_EQ(profile::getString(file, "A", "x", ""), "new");
        EXPECT_EQ(profile::getString(file, "B", "y", ""), "1");
        // ... other threads see the file, and their writes wait for the batch.
        std::string seen;
        std::thread reader([&] { seen = profile::getString(file, "A", "x", ""); });
        reader.join();
        EXPECT_EQ(seen, "old");
        other = std::thread([&] {
            EXPECT_TRUE(profile::writeString(file, "C", "z", "2"));
            otherWrote = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(otherWrote.load());
        // The destructor commits.
    }
    other.join();
    EXPECT_EQ(readFile(file), "[A]\nx=new\n[B]\ny=1\n[C]\nz=2\n");
}

TEST(Profile, TwoThreadsWritingDifferentKeysLoseNothing) {
    TempDir dir;
    const std::string file = dir.file("t.ini");
    constexpr int kWrites = 150;
    auto writer = [&](const std::string& prefix) {
        for (int i = 0; i < kWrites; ++i) {
            ASSERT_TRUE(profile::writeString(file, "S", prefix + std::to_string(i), std::to_string(i)));
        }
    };
    // A reader meanwhile never sees keys disappear.
    std::atomic<bool> writing{true};
    std::thread reader([&] {
        std::size_t last = 0;
        while (writing) {
            std::size_t now = profile::getKeyNames(file, "S").size();
            ASSERT_GE(now, last);
            last = now;
        }
    });
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    writing = false;
    reader.join();
    auto parsed = plainParse(readFile(file));
    ASSERT_EQ(parsed["s"].size(), 2u * kWrites);
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(parsed["s"]["a" + std::to_string(i)], std::to_string(i));
        EXPECT_EQ(parsed["s"]["b" + std::to_string(i)], std::to_string(i));
    }
}

// A writer killed at random points never leaves a torn file: every kill
// leaves all keys present and the file whole.
TEST(Profile, KilledWriterNeverLeavesATornFile) {
    TempDir dir;
    std::mt19937 rng(12345);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int kills = 0;
    for (const char* mode : {"profile-batch", "profile-keys"}) {
        const std::string file = dir.file(std::string(mode) + ".ini");
        std::string initial;
        for (int s = 0; s < 5; ++s) {
            initial += "[Section" + std::to_string(s) + "]\n";
            for (int k = 0; k < 10; ++k) initial += "Key" + std::to_string(k) + "=0\n";
        }
        writeFile(file, initial);
        for (int i = 0; i < 25 && std::chrono::steady_clock::now() < deadline; ++i) {
            platform::process::Process child;
            ASSERT_TRUE(child.start({{platformtest::helperProgram(), mode, file}, "", "", "", {}, {}}))
                << child.error();
            std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(30, 120)(rng)));
            ::kill(child.pid(), SIGKILL);
            ASSERT_TRUE(child.wait(5000));
            ASSERT_TRUE(child.result().signaled) << "the writer stopped by itself, exit " << child.result().exitCode;
            ++kills;

            const std::string text = readFile(file);
            auto parsed = plainParse(text);
            ASSERT_EQ(parsed.size(), 5u) << text;
            std::set<std::string> values;
            for (const auto& [section, keys] : parsed) {
                ASSERT_EQ(keys.size(), 10u) << text;
                for (const auto& [key, value] : keys) values.insert(value);
            }
            ASSERT_EQ(text.back(), '\n');
            // A batch round writes every key at once. Key by key, each value
            // is a whole round number of some writer (how many rounds meet
            // depends on how far each killed writer got).
            if (std::string(mode) == "profile-batch") {
                EXPECT_EQ(values.size(), 1u) << text;
            } else {
                for (const std::string& value : values)
                    EXPECT_TRUE(!value.empty() && value.find_first_not_of("0123456789") == std::string::npos)
                        << value << " in\n"
                        << text;
            }
        }
    }
    EXPECT_GE(kills, 20);
}

// Catches: a hand-edited file losing bytes of lines that were not written:
// the CR of a "CR CR LF" line end, LF lines turned into CR LF and back.
TEST(Profile, OneKeyWriteLeavesEveryOtherLineByteForByte) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"CR LF file with a CR CR LF line", "[S]\r\nkeep=a\r\r\nx=1\r\ntail=b\r\r\n",
         "[S]\r\nkeep=a\r\r\nx=2\r\ntail=b\r\r\n"},
        {"LF file with CR LF and CR CR LF lines", "[S]\nkeep=a\r\nx=1\nz=c\r\r\n; note\r\n",
         "[S]\nkeep=a\r\nx=2\nz=c\r\r\n; note\r\n"},
        {"changed line keeps its own CR LF", "[S]\nx=1\r\ny=2\n", "[S]\nx=2\r\ny=2\n"},
        {"new key and section take the first line's end", "[S]\r\nkeep=a\n", "[S]\r\nkeep=a\nx=2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file(std::string(c.name).substr(0, 8) + ".ini");
        writeFile(file, c.before);
        profile::invalidate(file);
        ASSERT_TRUE(profile::writeString(file, "S", "x", "2"));
        EXPECT_EQ(readFile(file), c.after);
    }
    // A value read from a CR CR LF line keeps the inner CR, as before.
    EXPECT_EQ(profile::getString(dir.file("CR LF fi.ini"), "S", "keep", ""), "a\r");
}

// Catches: a device or a folder named as an INI file being read for ever or
// replaced by a regular file.
TEST(Profile, OnlyRegularFilesAreReadOrReplaced) {
    TempDir dir;
    for (const std::string& path : {std::string("/dev/full"), std::string("/dev/zero"), dir.str()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(profile::getString(path, "S", "k", "default"), "default");
        errno = 0;
        EXPECT_FALSE(profile::writeString(path, "S", "k", "v"));
        EXPECT_TRUE(errno == EINVAL || errno == EISDIR) << errno;
    }
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// Catches: a read-only file (no write permission for its owner) being
// replaced by rename, which needs only the folder's permission, and by a
// privileged user for whom every file is writable. The file, its mode and
// its contents stay; the write reports EACCES.
TEST(Profile, ReadOnlyFilesAreLeftAloneAndReported) {
    TempDir dir;
    const std::string file = dir.file("locked.ini");
    writeFile(file, "[S]\nk=old\n");
    ::symlink(file.c_str(), dir.file("link.ini").c_str());
    for (const mode_t mode : {0444, 0400, 0466}) {
        ::chmod(file.c_str(), mode);
        for (const std::string& path : {file, dir.file("link.ini")}) {
            SCOPED_TRACE(path + " " + std::to_string(mode));
            errno = 0;
            EXPECT_FALSE(profile::writeString(path, "S", "k", "new"));
            EXPECT_EQ(errno, EACCES);
            {
                profile::WriteBatch batch(path);
                profile::writeString(path, "S", "other", "1");
                EXPECT_FALSE(batch.commit());
            }
            EXPECT_EQ(readFile(file), "[S]\nk=old\n");
            EXPECT_EQ(profile::getString(path, "S", "k", ""), "old");
            struct stat st {};
            ASSERT_EQ(::stat(file.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, mode);
        }
    }
    // Writable again for its owner: written as before, its mode kept.
    ::chmod(file.c_str(), 0644);
    EXPECT_TRUE(profile::writeString(file, "S", "k", "new"));
    EXPECT_EQ(profile::getString(file, "S", "k", ""), "new");
}

namespace {
std::vector<std::pair<std::string, int>> g_reported;
void recordFailure(const std::string& file, int error) { g_reported.emplace_back(file, error); }
}  // namespace

// Catches: a batch whose commit fails in its destructor passing in silence,
// and a failure the caller already saw being reported twice.
TEST(Profile, FailedCommitOfADestroyedBatchIsReported) {
    TempDir dir;
    writeFile(dir.file("plain"), "not a folder");
    const std::string file = dir.file("plain/t.ini");
    g_reported.clear();
    const profile::CommitFailureReporter previous = profile::setCommitFailureReporter(recordFailure);
    {
        profile::WriteBatch batch(file);
        profile::writeString(file, "A", "x", "1");
    }
    {
        profile::WriteBatch batch(file);
        profile::writeString(file, "A", "x", "1");
        EXPECT_FALSE(batch.commit());  // seen by the caller: not reported again
    }
    {
        profile::WriteBatch batch(dir.file("fine.ini"));
        profile::writeString(dir.file("fine.ini"), "A", "x", "1");
    }
    profile::setCommitFailureReporter(previous);
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_EQ(g_reported[0].second, ENOTDIR);
    EXPECT_EQ(readFile(dir.file("fine.ini")), "[A]\nx=1\n");
}

// Catches: temporary files of writers killed mid-write piling up: the next
// write of the file removes those of ended processes, never those of live
// ones or of this process.
TEST(Profile, NextWriteRemovesTemporaryFilesOfEndedWriters) {
    TempDir dir;
    const std::string file = dir.file("a.ini");
    writeFile(file, "[S]\nx=1\n");
    profile::invalidate(file);
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string stale = file + ".tmp-" + std::to_string(ended) + "-3";
    const std::string live = file + ".tmp-" + std::to_string(::getppid()) + "-0";
    const std::string other = dir.file("b.ini.tmp-" + std::to_string(ended) + "-0");
    const std::string notOurs = file + ".tmp-" + std::to_string(ended) + "-x";
    for (const std::string& f : {stale, live, other, notOurs}) writeFile(f, "partial");
    ASSERT_TRUE(profile::writeString(file, "S", "x", "2"));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));
    EXPECT_TRUE(std::filesystem::exists(notOurs));
    EXPECT_EQ(readFile(file), "[S]\nx=2\n");
}

// Catches: the cache of parsed files growing with the number of files read
// (hundreds of channel files kept parsed at once), or a file dropped from it
// reading wrong afterwards.
TEST(Profile, CacheStaysWithinItsMemoryBudget) {
    TempDir dir;
    const std::size_t budget = profile::cacheBudgetBytes();
    // Files of about a tenth of the budget each, three times as many as fit.
    const std::string value(200, 'v');
    const std::size_t keysPerFile = budget / 10 / (value.size() + 16);
    std::vector<std::string> files;
    for (int f = 0; f < 30; ++f) {
        files.push_back(dir.file("f" + std::to_string(f) + ".ini"));
        profile::WriteBatch batch(files.back());
        for (std::size_t k = 0; k < keysPerFile; ++k)
            profile::writeString(files.back(), "S", "k" + std::to_string(k), value + std::to_string(f));
        ASSERT_TRUE(batch.commit());
    }
    for (int round = 0; round < 2; ++round) {
        for (int f = 0; f < 30; ++f) {
            EXPECT_EQ(profile::getString(files[f], "S", "k" + std::to_string(keysPerFile - 1), ""),
                      value + std::to_string(f));
            EXPECT_LE(profile::cachedBytes(), budget);
        }
    }
    EXPECT_GT(profile::cachedBytes(), budget / 2);

    // A file larger than the whole budget is read right and not kept.
    const std::string big = dir.file("big.ini");
    {
        profile::WriteBatch batch(big);
        for (std::size_t k = 0; k < keysPerFile * 12; ++k)
            profile::writeString(big, "S", "k" + std::to_string(k), value);
        ASSERT_TRUE(batch.commit());
    }
    EXPECT_EQ(profile::getString(big, "S", "k7", ""), value);
    EXPECT_LE(profile::cachedBytes(), budget);
}
