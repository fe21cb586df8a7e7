#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/appPlugins/dllAppPlugin.h"
#include "channels/exception.h"
#include "channels/appPlugins/localPluginUrl.h"
#include "channels/plugin/scriptingEngine.h"
#include "platform/library.h"
#include "tests/support/test_support.h"
#include "tools/tempFile.h"

using namespace channels;
using ::testing::HasSubstr;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

struct Counters {
    int loads = 0, unloads = 0, frees = 0, nullFrees = 0;
};

// A plug-in folder with its own copy of a test library: every copy is a
// separately loaded library with counters of its own.
class LibraryPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TMP", dir_.str().c_str(), 1);
        getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
        manager_.setServerPorts(2604, 2605);
    }
    void TearDown() override { ::unsetenv("TMP"); }

    // Copies the variant's library to lib/<copyName>.so and writes a
    // definition naming it as lib/<copyName>.dll.
    std::string makePlugin(const std::string& variant, const std::string& copyName, const std::string& extra = "") {
        const std::string built = std::string(APPPLUGIN_TEST_LIB_DIR) + "/appplugin_testlib_" + variant + ".so";
        std::filesystem::create_directories(dir_.path() / "lib");
        std::filesystem::copy_file(built, dir_.path() / "lib" / (copyName + ".so"),
                                   std::filesystem::copy_options::overwrite_existing);
        const std::string definition = dir_.file(copyName + ".plugin");
        writeFile(definition, "[Config]\nPlugin=lib/" + copyName + ".dll\n" + extra);
        return definition;
    }

    // The copy's counters, read through the same loaded instance.
    Counters counters(const std::string& copyName) {
        platform::library::Library lib(dir_.file("lib/" + copyName + ".so"));
        Counters c;
        auto read = lib.function<void (*)(int*, int*, int*, int*)>("appplugin_test_counters");
        if (read) read(&c.loads, &c.unloads, &c.frees, &c.nullFrees);
        return c;
    }
    void setMainMode(const std::string& copyName, int mode) {
        platform::library::Library lib(dir_.file("lib/" + copyName + ".so"));
        lib.function<void (*)(int)>("appplugin_test_set_main_mode")(mode);
    }

    static std::string loadError(DllAppPlugin& plugin, const std::string& definition) {
        try {
            plugin.loadAppPlugin(definition);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    testsupport::TempDir dir_;
    AppPluginManager manager_;
};

TEST_F(LibraryPluginTest, LoadsBindsAndUnloadsOnce) {
    const std::string definition = makePlugin("full", "good");
    auto plugin = std::make_unique<DllAppPlugin>(&manager_);
    ASSERT_EQ(loadError(*plugin, definition), "");
    EXPECT_EQ(plugin->getAppPluginId(), "good");
    EXPECT_EQ(counters("good").loads, 1);
    EXPECT_EQ(counters("good").unloads, 0);

    // Keep the library mapped past the plug-in to read its counters.
    platform::library::Library keep(dir_.file("lib/good.so"));
    plugin.reset();
    auto read = keep.function<void (*)(int*, int*, int*, int*)>("appplugin_test_counters");
    Counters c;
    read(&c.loads, &c.unloads, &c.frees, &c.nullFrees);
    EXPECT_EQ(c.unloads, 1);
}

// Shut-down unloads the library plug-ins while the program still runs:
// each library's unload entry point runs once, the table is empty, and the
// manager's own end (among the exit handlers) finds nothing left to unload.
TEST_F(LibraryPluginTest, UnloadAppPluginsUnloadsEachLibraryOnceBeforeTheManagerGoes) {
    makePlugin("full", "good");
    // Keeps the library mapped so that its counters can be read.
    platform::library::Library keep(dir_.file("lib/good.so"));
    auto read = keep.function<void (*)(int*, int*, int*, int*)>("appplugin_test_counters");
    ASSERT_TRUE(read);
    Counters c;
    {
        AppPluginManager manager;
        manager.setAppPluginDir(dir_.str());
        manager.loadAppPlugins();
        ASSERT_NE(manager.findAppPlugin("good"), nullptr);
        manager.unloadAppPlugins();
        EXPECT_TRUE(manager.getAppPlugins().empty());
        EXPECT_EQ(manager.findAppPlugin("good"), nullptr);
        read(&c.loads, &c.unloads, &c.frees, &c.nullFrees);
        EXPECT_EQ(c.loads, 1);
        EXPECT_EQ(c.unloads, 1);
    }
    read(&c.loads, &c.unloads, &c.frees, &c.nullFrees);
    EXPECT_EQ(c.unloads, 1);
}

TEST_F(LibraryPluginTest, LoadFailuresNameTheirCause) {
    struct Case {
        std::string variant, copy, extra, error;
    };
    const Case cases[] = {
        {"noinfo", "noinfo", "", "Can't find the DLL's get_app_plugin_info() entry point."},
        // The host never calls plugin_malloc, yet an unset word is caught.
        {"nomalloc", "nomalloc", "", "Missing entry point: plugin_malloc()"},
        {"full", "refuses", "TestLoadError=not configured\n", "DllAppPlugin initialization error: not configured"},
    };
    for (const Case& c : cases) {
        const std::string definition = makePlugin(c.variant, c.copy, c.extra);
        DllAppPlugin plugin(&manager_);
        EXPECT_EQ(loadError(plugin, definition), c.error) << c.copy;
    }

    // A library that failed in load_app_plugin is never unloaded through
    // unload_app_plugin.
    platform::library::Library keep;
    {
        DllAppPlugin plugin(&manager_);
        loadError(plugin, dir_.file("refuses.plugin"));
        ASSERT_TRUE(keep.open(dir_.file("lib/refuses.so"))) << keep.error();
    }
    auto read = keep.function<void (*)(int*, int*, int*, int*)>("appplugin_test_counters");
    Counters c;
    read(&c.loads, &c.unloads, &c.frees, &c.nullFrees);
    EXPECT_EQ(c.loads, 1);
    EXPECT_EQ(c.unloads, 0);

    writeFile(dir_.file("absent.plugin"), "[Config]\nPlugin=lib/absent.dll\n");
    DllAppPlugin absent(&manager_);
    EXPECT_EQ(loadError(absent, dir_.file("absent.plugin")), "Can't load the plugin DLL: lib/absent.dll");
}

TEST_F(LibraryPluginTest, MainPageIsExpandedIntoTheOutputFile) {
    const std::string definition = makePlugin("full", "pages");
    DllAppPlugin plugin(&manager_);
    ASSERT_EQ(loadError(plugin, definition), "");

    plugin.generateMainPage();
    // A main page knows the two server URLs; PLUGIN_SERVER_URL is for
    // request answers only and stays as written.
    EXPECT_EQ(readFile(plugin.getOutputFilename()),
              "<p>http://127.0.0.1:2604|http://127.0.0.1:2605|{%PLUGIN_SERVER_URL%}</p>");
    EXPECT_EQ(counters("pages").frees, 1);

    struct Case {
        int mode;
        const char* error;
        int freed;  // blocks handed back by this call
    };
    const Case failures[] = {
        {1, "main page failed", 0},
        {4, "", 0},  // failure without a message
        {2, "The plugin returned an empty main page.", 1},
        {3, "The plugin returned an empty main page.", 0},  // null address: nothing to free
    };
    for (const Case& c : failures) {
        setMainMode("pages", c.mode);
        const int before = counters("pages").frees;
        try {
            plugin.generateMainPage();
            ADD_FAILURE() << "mode " << c.mode;
        } catch (const Exception& e) {
            EXPECT_EQ(e.getMessage(), c.error) << c.mode;
        }
        EXPECT_EQ(counters("pages").frees - before, c.freed) << c.mode;
    }
    setMainMode("pages", 0);
}

TEST_F(LibraryPluginTest, RequestAnswersAreCopiedWholeAndReleased) {
    const std::string definition = makePlugin("full", "answers");
    DllAppPlugin plugin(&manager_);
    ASSERT_EQ(loadError(plugin, definition), "");

    std::string page;
    plugin.processRequest("list", "a=1&b=%41", page, nullptr);
    EXPECT_EQ(page, "req=list;params=a=1&b=%41;http://127.0.0.1:2604|http://127.0.0.1:2605|{%APP_PLUGIN_SERVER_URL%}");

    plugin.processRequest("nul", "", page, nullptr);
    EXPECT_EQ(page, std::string("a\0b", 3));

    const Counters before = counters("answers");
    page = "old";
    plugin.processRequest("empty", "", page, nullptr);
    EXPECT_EQ(page, "");
    const Counters after = counters("answers");
    EXPECT_EQ(after.nullFrees - before.nullFrees, 1);

    try {
        plugin.processRequest("fail", "", page, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.getMessage(), "request failed");
    }
    EXPECT_EQ(counters("answers").frees, after.frees);  // nothing handed back after a failure
}

TEST_F(LibraryPluginTest, FeedIntervalsComeOnlyFromTheCodeProjectPlugin) {
    clearAppPluginFeedNames();
    std::int32_t value = 0;
    {
        const std::string other = makePlugin("full", "other");
        DllAppPlugin plugin(&manager_);
        ASSERT_EQ(loadError(plugin, other), "");
        EXPECT_FALSE(lookUpAppPluginFeedName("TheLounge", value));
    }
    const std::string definition = makePlugin("full", "cp", "AppPluginId=codeproject\n");
    DllAppPlugin plugin(&manager_);
    ASSERT_EQ(loadError(plugin, definition), "");
    const std::pair<const char*, std::int32_t> expected[] = {
        {"TheLounge", 1800}, {"MessageBoards", 600}, {"Articles", 7200}};
    for (const auto& [name, seconds] : expected) {
        ASSERT_TRUE(lookUpAppPluginFeedName(name, value)) << name;
        EXPECT_EQ(value, seconds) << name;
    }
    clearAppPluginFeedNames();
}

}  // namespace
