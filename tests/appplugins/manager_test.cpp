#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "channels/appPlugins/appPlugin.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/appPlugins/dllAppPlugin.h"
#include "channels/exception.h"
#include "channels/appPlugins/scriptAppPlugin.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "tests/support/test_support.h"

using namespace channels;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testsupport::writeFile;

namespace {

struct Report {
    std::string message;
    bool hasPlugin;
    std::string dump;
};

class Recorder : public EventListener {
public:
    void onAppPluginErrorEvent(const AppPluginErrorEvent& event) override {
        std::ostringstream dump;
        event.dumpEvent(dump);
        reports.push_back({event.getErrorMsg(), event.getAppPlugin() != nullptr, dump.str()});
    }
    std::vector<Report> reports;
};

class AppPluginManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TMP", dir_.str().c_str(), 1);
        getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
        manager_ = std::make_unique<AppPluginManager>();
        manager_->addEventHandler(&recorder_);
    }
    void TearDown() override {
        manager_.reset();
        ::unsetenv("TMP");
    }

    std::string root() const { return dir_.file("appPlugins"); }
    std::string put(const std::string& relative, const std::string& text) {
        const std::string path = root() + "/" + relative;
        writeFile(path, text);
        return path;
    }
    std::vector<std::string> ids() const {
        std::vector<std::string> result;
        for (const auto& entry : manager_->getAppPlugins()) result.push_back(entry.first);
        return result;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const Report& r : recorder_.reports) result.push_back(r.message);
        return result;
    }

    testsupport::TempDir dir_;
    Recorder recorder_;
    std::unique_ptr<AppPluginManager> manager_;
};

// Captures the PluginLoad group of the global log.
class LogCapture {
public:
    LogCapture() : log_(text_) {
        previous_ = setMessageLog(&log_);
        wasEnabled_ = logGroupPluginLoad().isEnabled();
        logGroupPluginLoad().setEnabled(true);
    }
    ~LogCapture() {
        logGroupPluginLoad().setEnabled(wasEnabled_);
        setMessageLog(previous_);
    }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    CMessageLog log_;
    CMessageLog* previous_ = nullptr;
    bool wasEnabled_ = false;
};

TEST_F(AppPluginManagerTest, DefinitionFieldsAndDefaults) {
    struct Case {
        const char* config;
        const char* id;
        const char* displayName;
    };
    const Case cases[] = {
        {"Plugin=bin\\feeds.exe\n", "feeds", "feeds"},
        {"Plugin=x.py\nAppPluginId=  News Feed  \n", "News Feed", "News_Feed"},
        {"Plugin=x.py\nAppPluginId=a.b/c\n", "a.b/c", "a_b_c"},
        {"Plugin=x.py\nAppPluginId=Caf\xc3\xa9\n", "Caf\xc3\xa9", "Caf__"},
        {"Plugin=x.py\nAppPluginId=a.b\nAppPluginDisplayName=Shown Name\n", "a.b", "Shown Name"},
        {"Plugin=x.py\nAppPluginId=abc\nAppPluginDisplayName=\n", "abc", ""},
        {"Plugin=x.py\nAppPluginId=abc\nAppPluginDisplayName=   \n", "abc", ""},
    };
    for (const Case& c : cases) {
        const std::string definition = put("def.plugin", std::string("[Config]\n") + c.config);
        ScriptAppPlugin plugin(manager_.get());
        plugin.loadAppPlugin(definition);
        EXPECT_EQ(plugin.getAppPluginId(), c.id) << c.config;
        EXPECT_EQ(plugin.getDisplayName(), c.displayName) << c.config;
        EXPECT_EQ(plugin.getConfigFilename(), definition);
        EXPECT_EQ(plugin.getAuthorName(), "");
        EXPECT_EQ(plugin.getPluginNotes(), "");
        EXPECT_EQ(plugin.getPluginParamDefCount(), 0);
        EXPECT_EQ(plugin.getChannelParamDefCount(), 0);
        EXPECT_TRUE(plugin.getPluginParamValues().empty());
    }

    const std::string full = put("full.plugin",
                                 "[Config]\nPlugin=x.py\nAuthorName= A. Writer \nAuthorEmailAddress=a@example.com\n"
                                 "PluginNotes=Line one%0D%0ALine two\n");
    ScriptAppPlugin plugin(manager_.get());
    plugin.loadAppPlugin(full);
    EXPECT_EQ(plugin.getAuthorName(), "A. Writer");
    EXPECT_EQ(plugin.getAuthorEmailAddress(), "a@example.com");
    EXPECT_EQ(plugin.getPluginNotes(), "Line one\r\nLine two");
}

TEST_F(AppPluginManagerTest, ParameterValuesAreKeptUnderTheDefinitionPath) {
    const std::string definition = put("params.plugin",
                                       "[Config]\nPlugin=x.py\n"
                                       "[PluginParameterDefinition-1]\nName=Limit\nType=int\nDefaultValue=10\n"
                                       "[ChannelParameterDefinition-1]\nName=Topic\nType=string\n"
                                       "[ChannelParameterDefinition-2]\nName=Depth\nType=int\n");
    {
        ScriptAppPlugin plugin(manager_.get());
        plugin.loadAppPlugin(definition);
        EXPECT_EQ(plugin.getPluginParamDefCount(), 1);
        EXPECT_EQ(plugin.getChannelParamDefCount(), 2);
        EXPECT_EQ(plugin.getPluginParamValues().at("Limit"), "10");
        plugin.setPluginParamValues({{"Limit", "25"}});
    }
    ScriptAppPlugin again(manager_.get());
    again.loadAppPlugin(definition);
    EXPECT_EQ(again.getPluginParamValues().at("Limit"), "25");

    // Another spelling of the same path is another section.
    ScriptAppPlugin otherPath(manager_.get());
    otherPath.loadAppPlugin(root() + "/./params.plugin");
    EXPECT_EQ(otherPath.getPluginParamValues().at("Limit"), "10");
}

// Catches: parameter values that could not be stored reported as saved.
TEST_F(AppPluginManagerTest, ParameterValuesThatCannotBeStoredAreReported) {
    const std::string definition = put("params.plugin",
                                       "[Config]\nPlugin=x.py\n"
                                       "[PluginParameterDefinition-1]\nName=Limit\nType=int\nDefaultValue=10\n");
    ScriptAppPlugin plugin(manager_.get());
    plugin.loadAppPlugin(definition);
    writeFile(dir_.file("plain"), "not a folder");
    getScriptingEngine().setUserConfigFilename(dir_.file("plain/config.ini"));
    EXPECT_THROW(plugin.setPluginParamValues({{"Limit", "25"}}), channels::Exception);
    EXPECT_EQ(plugin.getPluginParamValues().at("Limit"), "25");  // kept for this run
    getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
}

TEST_F(AppPluginManagerTest, OutputFileLivesAsLongAsThePlugin) {
    auto plugin = std::make_unique<ScriptAppPlugin>(manager_.get());
    const std::string output = plugin->getOutputFilename();
    EXPECT_THAT(output, EndsWith(".html"));
    EXPECT_TRUE(std::filesystem::exists(output));
    plugin.reset();
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(AppPluginManagerTest, ScanLoadsTheTreeAndReportsEachBadDefinitionOnce) {
    put("good.plugin", "[Config]\nAppPluginId=Good\nPlugin=good.sh\n");
    put("sub/deeper/deep.PLUGIN", "[Config]\nPlugin=tool.py\n");
    put("notes.plugin.bak", "[Config]\nPlugin=notes.py\n");
    put("readme.txt", "not a definition");
    const std::string missing = put("missing.plugin", "[Config]\nAuthorName=Someone\n");
    put("noext.plugin", "[Config]\nPlugin=runme\n");
    put("badparam.plugin", "[Config]\nPlugin=b.sh\n[PluginParameterDefinition-1]\nName=X\nType=colour\n");
    put("lib.plugin", "[Config]\nPlugin=lib/absent.DLL\n");
    put("a/first.plugin", "[Config]\nAppPluginId=Twin\nPlugin=one.py\n");
    put("b/second.plugin", "[Config]\nAppPluginId=TWIN\nPlugin=two.py\n");
    put("x/Skipme.plugin", "[Config]\nPlugin=s.py\n");
    put("y/skipme.plugin", "[Config]\nPlugin=s.py\n");
    // A link back up the tree and one that leads nowhere.
    std::filesystem::create_directory_symlink(root(), root() + "/sub/back");
    std::filesystem::create_symlink(root() + "/gone", root() + "/dangling.plugin");

    manager_->disableAppPlugin("SKIPME");
    manager_->setAppPluginDir(root());
    manager_->loadAppPlugins();

    EXPECT_THAT(ids(), ElementsAre("Good", "tool", "Twin"));
    auto* deep = dynamic_cast<ScriptAppPlugin*>(manager_->findAppPlugin("TOOL"));
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->getScriptFilename(), root() + "/sub/deeper/tool.py");
    // The first of two ids that differ in case wins; both spellings find it.
    ASSERT_NE(manager_->findAppPlugin("twin"), nullptr);
    EXPECT_EQ(manager_->findAppPlugin("TWIN"), manager_->findAppPlugin("twin"));
    EXPECT_EQ(manager_->findAppPlugin("twin")->getConfigFilename(), root() + "/a/first.plugin");
    EXPECT_EQ(manager_->findAppPlugin("nothing"), nullptr);

    EXPECT_THAT(messages(),
                UnorderedElementsAre(
                    "Can't load the plugin badparam.plugin: Invalid type for parameter 'X': colour",
                    "Can't load the plugin lib.plugin: Can't load the plugin DLL: lib/absent.DLL",
                    "Can't load the plugin missing.plugin: Missing 'Plugin' parameter: " + missing,
                    "Can't load the plugin noext.plugin: The configured plugin script has no filename extension: runme",
                    "Can't load the plugin second.plugin: Duplicate plugin id: TWIN"));
    for (const Report& r : recorder_.reports) {
        // The object exists once its kind is known.
        const bool created = r.message.find("missing.plugin") == std::string::npos &&
                             r.message.find("noext.plugin") == std::string::npos;
        EXPECT_EQ(r.hasPlugin, created) << r.message;
        // Event dumps name the plug-in by its id once it has one.
        if (r.message.find("badparam.plugin") != std::string::npos) {
            EXPECT_EQ(r.dump, "[AppPluginError:b]");
        }
        if (!created) {
            EXPECT_EQ(r.dump, "[AppPluginError:<unknown>]");
        }
    }
}

TEST_F(AppPluginManagerTest, EmptyAndMissingDirectoriesLoadNothing) {
    std::filesystem::create_directories(root());
    {
        LogCapture capture;
        manager_->setAppPluginDir(root());
        manager_->loadAppPlugins();
        EXPECT_THAT(capture.text(), HasSubstr("Skipping ./.."));
        EXPECT_THAT(capture.text(), EndsWith("Leaving doLoadAppPlugin().\n"));
    }
    {
        LogCapture capture;
        manager_->setAppPluginDir(dir_.file("nowhere"));
        manager_->loadAppPlugins();
        EXPECT_THAT(capture.text(), HasSubstr("Couldn't find any files - exiting."));
    }
    EXPECT_THAT(ids(), IsEmpty());
    EXPECT_THAT(recorder_.reports, IsEmpty());
}

TEST_F(AppPluginManagerTest, PortsAreStoredEveryTime) {
    EXPECT_EQ(manager_->getAppServerPort(), 0);
    EXPECT_EQ(manager_->getAppPluginServerPort(), 0);
    manager_->setServerPorts(2604, 2605);
    manager_->setServerPorts(2604, 2606);
    EXPECT_EQ(manager_->getAppServerPort(), 2604);
    EXPECT_EQ(manager_->getAppPluginServerPort(), 2606);
}

}  // namespace
