// The viewed-URL import: which lines count, which items get marked, one save
// per channel, and a file that can't be read reported once and kept.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/misc/viewedUrlImport.h"
#include "tests/app/app_fixture.h"

namespace {

using apptest::DesktopFixture;
using apptest::ItemSpec;

TEST(ViewedUrlImport, MarksExactlyTheListedLinks) {
    DesktopFixture f;
    auto* a = f.addChannel("a", {{"a1", "One", "http://x.test/1", ""},
                                 {"a2", "Two", "http://x.test/Two", ""},
                                 {"a3", "Same link", "http://x.test/1", ""},
                                 {"a4", "Slash", "/", ""},
                                 {"a5", "Comment", "//", ""}});
    auto* b = f.addChannel("b", {{"b1", "Elsewhere", "http://x.test/1", ""}, {"b2", "Other", "http://y.test/", ""}});
    const std::string file = f.dir.file("viewed.txt");
    testsupport::writeFile(file,
                           "# a comment\n"
                           "' another\n"
                           "//\n"
                           "\n"
                           "   http://x.test/1   \n"
                           "http://x.test/two\n"  // differs in case only
                           "/\n");
    importViewedUrls(*f.manager, file);
    EXPECT_EQ(DesktopFixture::settings(a).copyViewedFeedItems(), (std::set<std::string>{"a1", "a3", "a4"}));
    EXPECT_EQ(DesktopFixture::settings(b).copyViewedFeedItems(), (std::set<std::string>{"b1"}));
    // Saved into each channel file.
    ChannelDesktopSettings loaded(a);
    loaded.load(a->getConfigFilename());
    EXPECT_EQ(loaded.copyViewedFeedItems().size(), 3u);
}

TEST(ViewedUrlImport, PollerImportsDeletesAndReportsAFailureOnce) {
    DesktopFixture f;
    auto* a = f.addChannel("a", apptest::numberedItems("a", 2));
    ViewedUrlImportPoller poller;
    const std::string file = f.dir.file("Reports/viewed.txt");
    EXPECT_FALSE(poller.poll(*f.manager, file).imported);  // no file: nothing

    testsupport::writeFile(file, "# only comments\n\n");
    auto result = poller.poll(*f.manager, file);
    EXPECT_TRUE(result.imported);
    EXPECT_FALSE(std::filesystem::exists(file));

    testsupport::writeFile(file, "http://example.com/a/2\n");
    if (geteuid() != 0) {  // root reads any file
        chmod(file.c_str(), 0);
        result = poller.poll(*f.manager, file);
        EXPECT_EQ(result.error, "Can't open the URL file: " + file);
        EXPECT_TRUE(poller.poll(*f.manager, file).error.empty());  // once
        EXPECT_TRUE(std::filesystem::exists(file));
        chmod(file.c_str(), 0644);
    }
    result = poller.poll(*f.manager, file);
    EXPECT_TRUE(result.imported);
    EXPECT_TRUE(result.error.empty());
    EXPECT_TRUE(DesktopFixture::settings(a).isFeedItemViewed("id-2"));

    // A folder under that name is no URL file: reported, left alone.
    std::filesystem::create_directories(file);
    EXPECT_EQ(poller.poll(*f.manager, file).error, "Can't open the URL file: " + file);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

}  // namespace
