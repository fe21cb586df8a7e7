#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/test_support.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

namespace fs = std::filesystem;
using platform::files::atomicWriteFile;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(Files, AtomicWriteReplacesContentsKeepsModeAndFollowsLinks) {
    TempDir dir;
    const std::string file = dir.file("a.ini");
    ASSERT_TRUE(atomicWriteFile(file, "first"));
    EXPECT_EQ(readFile(file), "first");

    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(atomicWriteFile(file, std::string("second\0with nul", 15)));
    EXPECT_EQ(readFile(file), std::string("second\0with nul", 15));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    fs::create_symlink(file, dir.file("link.ini"));
    ASSERT_TRUE(atomicWriteFile(dir.file("link.ini"), "through the link"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(readFile(file), "through the link");

    // Only the two names are left: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
}

TEST(Files, AtomicWriteFailureLeavesTargetAndNoTemporaryFile) {
    TempDir dir;
    errno = 0;
    EXPECT_FALSE(atomicWriteFile(dir.file("missing/a.ini"), "x"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(platform::files::lastErrorText(), "No such file or directory");

    // The target is a folder: the rename fails after the temporary file was written.
    fs::create_directory(dir.file("folder"));
    writeFile(dir.file("folder/keep"), "kept");
    EXPECT_FALSE(atomicWriteFile(dir.file("folder"), "x"));
    EXPECT_NE(errno, 0);
    EXPECT_EQ(readFile(dir.file("folder/keep")), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
    EXPECT_EQ(platform::files::errorText(EACCES), "Permission denied");
}

// Catches: a file holding credentials left readable by others, whether the
// write creates it or replaces one that was created readable by all.
TEST(Files, OwnerOnlyFilesLoseGroupAndOtherPermissions) {
    TempDir dir;
    const auto mode = [](const std::string& path) { return fs::status(path).permissions() & fs::perms::all; };
    const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;

    const std::string created = dir.file("new.ini");
    platform::files::keepOwnerOnly(created);
    ASSERT_TRUE(atomicWriteFile(created, "a"));
    EXPECT_EQ(mode(created), ownerOnly);

    const std::string existing = dir.file("old.ini");
    writeFile(existing, "old");
    fs::permissions(existing, ownerOnly | fs::perms::group_read | fs::perms::others_read);
    platform::files::keepOwnerOnly(existing);
    EXPECT_EQ(mode(existing), ownerOnly);
    fs::permissions(existing, ownerOnly | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(atomicWriteFile(existing, "new"));
    EXPECT_EQ(mode(existing), ownerOnly);
    EXPECT_EQ(readFile(existing), "new");

    // Other files keep what they have.
    const std::string other = dir.file("other.ini");
    writeFile(other, "x");
    fs::permissions(other, ownerOnly | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(atomicWriteFile(other, "y"));
    EXPECT_EQ(mode(other), ownerOnly | fs::perms::group_read | fs::perms::others_read);
}
