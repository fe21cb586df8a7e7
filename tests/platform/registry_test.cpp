#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/registry.h"
#include "tests/platform/platform_test_paths.h"
#include "tests/support/test_support.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <cstdlib>
#include <set>
#include <thread>

namespace reg = platform::registry;
using testsupport::TempDir;

namespace {

// Points the store at a fresh file for one test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = dir_.file("cfg/registry.ini");
        ::setenv("ORVAN_REGISTRY_FILE", file_.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("ORVAN_REGISTRY_FILE"); }
    TempDir dir_;
    std::string file_;
};

}  // namespace

TEST_F(RegistryTest, TypedValuesRoundTrip) {
    EXPECT_EQ(reg::storeFile(), file_);
    ASSERT_TRUE(reg::createKey("Software\\Orvan\\Bars"));
    const std::string binary("\0\x01\xff%=[]\n\r x", 11);
    const std::string text = "a=b [c] 50% \"q\" \t tab\nline \xc3\xa9";
    ASSERT_TRUE(reg::setString("Software\\Orvan\\Bars", "Text", text));
    ASSERT_TRUE(reg::setString("Software\\Orvan\\Bars", "", "default value"));
    ASSERT_TRUE(reg::setDword("Software\\Orvan\\Bars", "Count", 0xFEDCBA98u));
    ASSERT_TRUE(reg::setBinary("Software\\Orvan\\Bars", "Blob = odd name", binary));
    ASSERT_TRUE(reg::setValue("Software\\Orvan\\Bars", "Multi", {reg::TypeMultiString, std::string("a\0b\0\0", 5)}));

    EXPECT_EQ(reg::getString("Software\\Orvan\\Bars", "Text"), text);
    EXPECT_EQ(reg::getString("Software\\Orvan\\Bars", ""), "default value");
    EXPECT_EQ(reg::getDword("Software\\Orvan\\Bars", "Count"), 0xFEDCBA98u);
    auto blob = reg::getValue("Software\\Orvan\\Bars", "Blob = odd name");
    ASSERT_TRUE(blob);
    EXPECT_EQ(blob->type, reg::TypeBinary);
    EXPECT_EQ(blob->data, binary);
    auto multi = reg::getValue("Software\\Orvan\\Bars", "Multi");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->type, reg::TypeMultiString);
    EXPECT_EQ(multi->data, std::string("a\0b\0\0", 5));
    // A value read with the wrong type is not handed out as another type.
    EXPECT_FALSE(reg::getDword("Software\\Orvan\\Bars", "Text"));
    EXPECT_FALSE(reg::getString("Software\\Orvan\\Bars", "Count"));
    EXPECT_EQ(reg::valueNames("Software\\Orvan\\Bars"),
              (std::vector<std::string>{"Text", "", "Count", "Blob = odd name", "Multi"}));

    ASSERT_TRUE(reg::setDword("Software\\Orvan\\Bars", "count", 7));  // replaces, keeps the name
    EXPECT_EQ(reg::getDword("Software\\Orvan\\Bars", "COUNT"), 7u);
    EXPECT_TRUE(reg::deleteValue("Software\\Orvan\\Bars", "Count"));
    EXPECT_FALSE(reg::getValue("Software\\Orvan\\Bars", "Count"));
    errno = 0;
    EXPECT_FALSE(reg::deleteValue("Software\\Orvan\\Bars", "Count"));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(RegistryTest, KeysIgnoreCaseAndSeparatorSpelling) {
    bool created = false;
    ASSERT_TRUE(reg::createKey("Software\\Orvan", &created));
    EXPECT_TRUE(created);
    ASSERT_TRUE(reg::createKey("\\SOFTWARE/orvan", &created));
    EXPECT_FALSE(created);
    EXPECT_TRUE(reg::keyExists("software\\ORVAN"));
    EXPECT_TRUE(reg::keyExists("Software"));
    EXPECT_FALSE(reg::keyExists("Software\\Other"));
    ASSERT_TRUE(reg::createKey("software\\orvan\\Windows"));
    // The case of the first creation is kept.
    EXPECT_EQ(reg::subKeyNames("SOFTWARE"), (std::vector<std::string>{"Orvan"}));
    EXPECT_EQ(reg::subKeyNames("Software\\Orvan"), (std::vector<std::string>{"Windows"}));
    EXPECT_EQ(reg::subKeyNames(""), (std::vector<std::string>{"Software"}));
    EXPECT_FALSE(reg::subKeyNames("Nope"));
    errno = 0;
    EXPECT_FALSE(reg::setString("Software\\Missing", "x", "1"));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(RegistryTest, DeleteTreeRemovesSubKeysOnly) {
    for (const char* k : {"Software\\Orvan\\A\\Deep", "Software\\Orvan\\B", "Software\\OrvanOther"}) {
        ASSERT_TRUE(reg::createKey(k));
        ASSERT_TRUE(reg::setDword(k, "v", 1));
    }
    errno = 0;
    EXPECT_FALSE(reg::deleteKey("Software\\Orvan"));
    EXPECT_EQ(errno, ENOTEMPTY);
    EXPECT_TRUE(reg::deleteKey("Software\\Orvan\\B"));
    EXPECT_TRUE(reg::deleteTree("software\\orvan"));
    EXPECT_FALSE(reg::keyExists("Software\\Orvan"));
    EXPECT_FALSE(reg::keyExists("Software\\Orvan\\A\\Deep"));
    EXPECT_TRUE(reg::keyExists("Software\\OrvanOther"));  // a name that only starts the same stays
    EXPECT_EQ(reg::getDword("Software\\OrvanOther", "v"), 1u);
    errno = 0;
    EXPECT_FALSE(reg::deleteTree("Software\\Orvan"));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(RegistryTest, ConcurrentProcessesAndThreadsLoseNothing) {
    constexpr int kCount = 40;
    std::vector<std::unique_ptr<platform::process::Process>> children;
    for (const char* prefix : {"p1_", "p2_"}) {
        auto child = std::make_unique<platform::process::Process>();
        platform::process::Options o;
        o.argv = {platformtest::helperProgram(), "registry-add", "Software\\Shared", prefix, std::to_string(kCount)};
        o.environment = {{"ORVAN_REGISTRY_FILE", file_}};
        ASSERT_TRUE(child->start(o)) << child->error();
        children.push_back(std::move(child));
    }
    std::thread t([&] {
        ASSERT_TRUE(reg::createKey("Software\\Shared"));
        for (int i = 0; i < kCount; ++i) ASSERT_TRUE(reg::setDword("Software\\Shared", "t_" + std::to_string(i), i));
    });
    t.join();
    for (auto& c : children) {
        ASSERT_TRUE(c->wait(20000));
        EXPECT_EQ(c->result().exitCode, 0);
    }
    auto names = reg::valueNames("Software\\Shared");
    ASSERT_TRUE(names);
    std::set<std::string> unique(names->begin(), names->end());
    EXPECT_EQ(unique.size(), 3u * kCount);
    for (const char* prefix : {"p1_", "p2_", "t_"}) {
        for (int i = 0; i < kCount; ++i) {
            EXPECT_EQ(reg::getDword("Software\\Shared", prefix + std::to_string(i)), static_cast<std::uint32_t>(i));
        }
    }
}

TEST_F(RegistryTest, LinesItDoesNotUnderstandSurviveAChange) {
    testsupport::writeFile(file_,
                           "; kept comment\n"
                           "stray line\n"
                           "[Software\\Orvan]\n"
                           "Good=dword:0000002a\n"
                           "Bad=unknown-type:1\n"
                           "no equals sign\n");
    EXPECT_EQ(reg::getDword("Software\\Orvan", "Good"), 42u);
    EXPECT_FALSE(reg::getValue("Software\\Orvan", "Bad"));
    ASSERT_TRUE(reg::setString("Software\\Orvan", "New", "v"));
    const std::string text = testsupport::readFile(file_);
    for (const char* line : {"; kept comment\n", "stray line\n", "Bad=unknown-type:1\n", "no equals sign\n",
                             "Good=dword:0000002a\n", "New=sz:v\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing from\n" << text;
    }
    ASSERT_TRUE(reg::setString("Software\\Orvan", "New", "w"));
    EXPECT_EQ(testsupport::readFile(file_).size(), text.size());  // nothing is duplicated
}

// Catches: a store that could not be read to its end being rewritten from
// what was read (every other key lost), or a device read for ever.
TEST_F(RegistryTest, AStoreThatCannotBeReadIsLeftAloneAndReported) {
    TempDir other;
    const std::string folder = other.file("store-is-a-folder");
    std::filesystem::create_directories(folder + "/inside");
    for (const std::string& store : {folder, std::string("/dev/full")}) {
        SCOPED_TRACE(store);
        ::setenv("ORVAN_REGISTRY_FILE", store.c_str(), 1);
        errno = 0;
        EXPECT_FALSE(reg::setString("Software\\Orvan", "Name", "x"));
        EXPECT_TRUE(errno == EISDIR || errno == EINVAL) << errno;
        EXPECT_FALSE(reg::keyExists("Software\\Orvan"));
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}
