#include "tools/files.h"
#include "tools/tempFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "tests/support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
namespace fs = std::filesystem;

TEST(FileTests, ExistenceSizeAndCopy) {
    TempDir dir;
    const std::string file = dir.file("a.txt");
    writeFile(file, "12345");
    struct Case {
        std::string path;
        bool isFile, isDirectory;
    } cases[] = {
        {file, true, false},
        {dir.str(), false, true},
        {dir.file("missing"), false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(tools::isFile(c.path), c.isFile);
        EXPECT_EQ(tools::isDirectory(c.path), c.isDirectory);
    }

    std::uint64_t size = 99;
    EXPECT_TRUE(tools::getFileSize(file, size));
    EXPECT_EQ(size, 5u);
    size = 99;
    EXPECT_FALSE(tools::getFileSize(dir.file("missing"), size));
    EXPECT_EQ(size, 99u);

    const std::string copy = dir.file("b.txt");
    writeFile(copy, "older and longer contents");
    EXPECT_TRUE(tools::copyFile(file, copy));
    EXPECT_EQ(readFile(copy), "12345");
    EXPECT_FALSE(tools::copyFile(dir.file("missing"), dir.file("c.txt")));
    EXPECT_FALSE(fs::exists(dir.file("c.txt")));
    EXPECT_FALSE(tools::copyFile(file, dir.file("no/such/dir/c.txt")));
}

TEST(PathSplitting, Table) {
    struct Case {
        const char* path;
        const char* directory;
        const char* baseName;
        const char* fileName;
        const char* extension;
        const char* withoutExtension;
    } cases[] = {
        {"C:\\a\\b\\c.txt", "C:\\a\\b\\", "c", "c.txt", ".txt", "C:\\a\\b\\c"},
        {"C:\\a.b\\c", "C:\\a.b\\", "c", "c", "", "C:\\a.b\\c"},
        {"c.tar.gz", "", "c.tar", "c.tar.gz", ".gz", "c.tar"},
        {"/home/u/feed.rss", "/home/u/", "feed", "feed.rss", ".rss", "/home/u/feed"},
        {"dir/sub\\x.y", "dir/sub\\", "x", "x.y", ".y", "dir/sub\\x"},
        {"name", "", "name", "name", "", "name"},
        {"/dir/", "/dir/", "", "", "", "/dir/"},
        {"D:file.ini", "D:", "file", "file.ini", ".ini", "D:file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(tools::getDirectoryOf(c.path), c.directory);
        EXPECT_EQ(tools::getFileBaseName(c.path), c.baseName);
        EXPECT_EQ(tools::getFileName(c.path), c.fileName);
        EXPECT_EQ(tools::getFileExtension(c.path), c.extension);
        EXPECT_EQ(tools::removeFileExtension(c.path), c.withoutExtension);
    }
}

TEST(PathJoining, ReplaceExtensionAndMakeAbsolute) {
    EXPECT_EQ(tools::replaceFileExtension("/a/b.txt", ".html"), "/a/b.html");
    EXPECT_EQ(tools::replaceFileExtension("/a/b.txt", "html"), "/a/b.html");
    EXPECT_EQ(tools::replaceFileExtension("/a.d/b", ".ini"), "/a.d/b.ini");
    EXPECT_EQ(tools::replaceFileExtension("/a/b.txt", ""), "/a/b");

    struct Case {
        const char* directory;
        const char* path;
        const char* joined;
    } cases[] = {
        {"/base", "x/y.txt", "/base/x/y.txt"},
        {"/base/", "x/y.txt", "/base/x/y.txt"},
        {"C:\\base\\", "x\\y.txt", "C:\\base\\x\\y.txt"},
        {"/any", "D:\\y.txt", "D:\\y.txt"},
        {"/any", "/abs/y.txt", "/abs/y.txt"},
        {"", "rel.txt", "rel.txt"},  // no directory: the path is not moved to the root
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.directory) + " + " + c.path);
        EXPECT_EQ(tools::makeAbsolutePath(c.directory, c.path), c.joined);
    }
}

TEST(FileInDirectory, DirectChildrenOnly) {
    TempDir dir;
    writeFile(dir.file("top.txt"), "x");
    writeFile(dir.file("sub/inner.txt"), "x");
    const std::string d = dir.str() + "/";
    EXPECT_TRUE(tools::isFileInDirectory(dir.file("top.txt"), d));
    EXPECT_TRUE(tools::isFileInDirectory(dir.file("sub/inner.txt"), d + "sub/"));
    EXPECT_FALSE(tools::isFileInDirectory(dir.file("sub/inner.txt"), d));
    EXPECT_TRUE(tools::isFileInDirectory(dir.str() + "/sub/../top.txt", d));
    EXPECT_TRUE(tools::isFileInDirectory(dir.str() + "\\top.txt", d));  // either separator
    EXPECT_FALSE(tools::isFileInDirectory(dir.file("top.txt"), d + "missing/"));
}

TEST(FileTests, ErrorText) {
    errno = ENOENT;
    EXPECT_EQ(tools::getWin32ErrorText(), "No such file or directory");
    errno = 0;
    EXPECT_EQ(tools::getWin32ErrorText(), "WIN32 error 00000000");
}

// Points TMP at a fresh folder for one test.
class TempFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("TMP")) oldTmp_ = old;
        setenv("TMP", dir.str().c_str(), 1);
    }
    void TearDown() override {
        if (oldTmp_)
            setenv("TMP", oldTmp_->c_str(), 1);
        else
            unsetenv("TMP");
    }
    TempDir dir;

private:
    std::optional<std::string> oldTmp_;
};

TEST_F(TempFiles, ExistsEmptyWithExtensionAndIsDeleted) {
    std::string name;
    {
        tools::TempFile temp(".html");
        name = temp.getFilename();
        EXPECT_TRUE(tools::isFile(name));
        EXPECT_EQ(tools::getFileExtension(name), ".html");
        EXPECT_EQ(tools::getFileName(name).rfind("orvan", 0), 0u);
        EXPECT_TRUE(tools::isFileInDirectory(name, dir.str() + "/"));
        EXPECT_EQ(readFile(name), "");
        temp.open();
        temp << "written";
        temp.close();
        EXPECT_EQ(readFile(name), "written");
        temp.open();  // truncates
        temp << "again";
        temp.flush();
        EXPECT_EQ(readFile(name), "again");
    }  // destroyed while open
    EXPECT_FALSE(fs::exists(name));

    tools::TempFile plain("");
    EXPECT_EQ(tools::getFileExtension(plain.getFilename()), "");
}

// Files that already carry candidate names, with or without the extension,
// are neither truncated nor handed out.
TEST_F(TempFiles, ExistingFilesAreNeverReused) {
    const std::string stem = dir.str() + "/orvan" + std::to_string(::getpid()) + "_";
    std::set<std::string> existing;
    for (int n = 1; n <= 300; ++n) {
        for (const char* ext : {".html", ""}) {
            const std::string name = stem + std::to_string(n) + ext;
            writeFile(name, "keep " + name);
            existing.insert(name);
        }
    }
    {
        tools::TempFile temp(".html");
        EXPECT_EQ(existing.count(temp.getFilename()), 0u) << temp.getFilename();
        EXPECT_EQ(readFile(temp.getFilename()), "");
    }
    for (const auto& name : existing) ASSERT_EQ(readFile(name), "keep " + name);
}

TEST_F(TempFiles, ThreadsReceiveDifferentNames) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 25;
    std::vector<std::vector<std::string>> names(kThreads);
    {
        std::vector<std::unique_ptr<tools::TempFile>> keep[kThreads];
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kPerThread; ++i) {
                    keep[t].push_back(std::make_unique<tools::TempFile>(".txt"));
                    names[t].push_back(keep[t].back()->getFilename());
                }
            });
        }
        for (auto& th : threads) th.join();
    }
    std::set<std::string> unique;
    for (const auto& list : names) unique.insert(list.begin(), list.end());
    EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kPerThread));
    EXPECT_TRUE(fs::is_empty(dir.path()));  // all deleted again
}

// A temporary folder whose path leaves no room for a file name: creation
// fails, and the failure is reported instead of a file name being returned.
TEST_F(TempFiles, FailureThrows) {
    std::string deep = dir.str();
    while (deep.size() < 4000) deep += "/" + std::string(std::min<std::size_t>(200, 4070 - deep.size()), 'd');
    fs::create_directories(deep);
    ASSERT_TRUE(tools::isDirectory(deep));
    setenv("TMP", deep.c_str(), 1);
    try {
        tools::TempFile temp(".extension-that-makes-the-name-too-long");
        ADD_FAILURE() << "created " << temp.getFilename();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Can't create temporary file.");
    }
}

}  // namespace
