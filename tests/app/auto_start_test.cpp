// The autostart entry's Exec value and file.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/core/autoStart.h"
#include "tests/support/test_support.h"

TEST(AutoStart, ExecQuotesThePathAsDesktopEntriesRequire) {
    struct Case {
        const char* path;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/orvan", R"("/usr/bin/orvan")"},       {"/opt/My Apps/orvan", R"("/opt/My Apps/orvan")"},
        {"/opt/a\"b/orvan", R"("/opt/a\\"b/orvan")"},    {"/opt/$HOME/`x`/orvan", R"("/opt/\\$HOME/\\`x\\`/orvan")"},
        {"/opt/back\\slash", R"("/opt/back\\\\slash")"}, {"/opt/100%/orvan", R"("/opt/100%%/orvan")"},
    };
    for (const Case& c : cases) EXPECT_EQ(desktopEntryExec(c.path), c.exec) << c.path;
}

TEST(AutoStart, EntryIsWrittenInANewFolderAndRemoved) {
    testsupport::TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    bool openFailed = true;
    std::string error;
    ASSERT_TRUE(writeAutoStartEntry("Orvan", "/usr/bin/orvan", true, openFailed, error)) << error;
    const std::string path = dir.file("config") + "/autostart/orvan.desktop";
    EXPECT_EQ(autoStartEntryPath("Orvan"), path);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[Desktop Entry]\nType=Application\nName=Orvan\nExec=\"/usr/bin/orvan\"\nTerminal=false\n");
    EXPECT_TRUE(writeAutoStartEntry("Orvan", "/usr/bin/orvan", false, openFailed, error));
    EXPECT_FALSE(std::filesystem::exists(path));
    // Removing what is not there succeeds.
    EXPECT_TRUE(writeAutoStartEntry("Orvan", "/usr/bin/orvan", false, openFailed, error));
    unsetenv("XDG_CONFIG_HOME");
}
