#include "channels/exception.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "lib/log/messageLog.h"
#include "lib/log/messageLogInit.h"
#include "tests/support/test_support.h"

TEST(EngineException, CarriesItsTextThroughCopiesAndCatchAsStdException) {
    channels::Exception original("Can't create the stop event.");
    channels::Exception copy(original);
    channels::Exception assigned("other");
    assigned = original;
    assigned = assigned;  // self-assignment keeps the text
    EXPECT_STREQ(copy.what(), "Can't create the stop event.");
    EXPECT_EQ(assigned.getMessage(), original.getMessage());
    EXPECT_STREQ(channels::Exception("").what(), "");
    try {
        throw channels::Exception("Unknown plugin: x");
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Unknown plugin: x");
    }
}

TEST(EngineMessageGroups, RegisteredByNameBeforeMain) {
    for (const char* name : {"InternetDownloads", "HttpHeaders", "ChannelManager", "ChannelManagerActivity",
                             "ScriptPlugins", "ChannelHooks", "PluginLoad"}) {
        SCOPED_TRACE(name);
        CMessageGroup* g = CMessageGroup::findByName(name);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->getName(), name);
        EXPECT_EQ(g->getDescription(), "");
    }
    EXPECT_EQ(CMessageGroup::findByName("channelmanageractivity"), &channels::logGroupChannelManagerActivity());
}

// With only ChannelManagerActivity switched on in the debug configuration,
// the worker's lines are written and the manager's are not.
TEST(EngineMessageGroups, DebugConfigurationSwitchesGroupsByName) {
    testsupport::TempDir dir;
    const std::string debugIni = dir.file("debug.ini");
    testsupport::writeFile(debugIni, "[MessageLog]\nchannelmanageractivity=1\nNoSuchGroup=1\n");
    std::ostringstream out;
    CMessageLog log(out);
    CMessageLog* previous = setMessageLog(&log);
    initMessageLog(out, debugIni);
    ORVAN_LOG(channels::logGroupChannelManager()) << "Starting the channel manager." << std::endl;
    ORVAN_LOG(channels::logGroupChannelManagerActivity()) << "Automatically updating x." << std::endl;
    ORVAN_LOG(channels::logGroupInternetDownloads()) << "Reading URL: y" << std::endl;
    setMessageLog(previous);
    EXPECT_TRUE(channels::logGroupChannelManagerActivity().isEnabled());
    EXPECT_FALSE(channels::logGroupChannelManager().isEnabled());
    // The time column is on after initMessageLog.
    const std::string text = out.str();
    EXPECT_EQ(text.find("Starting"), std::string::npos);
    EXPECT_EQ(text.find("Reading URL"), std::string::npos);
    ASSERT_EQ(text.size(), std::string("hh:mm:ss | Automatically updating x.\n").size()) << text;
    EXPECT_EQ(text.substr(8), " | Automatically updating x.\n");

    // The same key set to false leaves every group off.
    testsupport::writeFile(debugIni, "[MessageLog]\nChannelManagerActivity=0\n");
    loadMessageGroupSettings(debugIni);
    for (CMessageGroup* g : CMessageGroup::getAll()) EXPECT_FALSE(g->isEnabled()) << g->getName();
}
