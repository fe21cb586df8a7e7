#include <gtest/gtest.h>

#include "test_support.h"

#include <filesystem>

TEST(TestSupport, TempDirIsCreatedAndRemoved) {
    std::filesystem::path kept;
    {
        testsupport::TempDir dir;
        kept = dir.path();
        testsupport::writeFile(dir.file("a/b.txt"), "x");
        EXPECT_EQ(testsupport::readFile(dir.file("a/b.txt")), "x");
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}
