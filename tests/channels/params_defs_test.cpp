#include <gtest/gtest.h>

#include <sstream>

#include "channels/exception.h"
#include "channels/plugin/paramDef.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

using namespace channels;
using testsupport::writeFile;

namespace {

class ParamsTest : public ::testing::Test {
protected:
    testsupport::TempDir dir_;
    ScriptingEngine& engine_ = getScriptingEngine();
};

TEST_F(ParamsTest, DefinitionTableReadsUpToTheFirstGap) {
    const std::string file = dir_.file("feed.plugin");
    writeFile(file,
              "[Config]\nAuthorName=A\n"
              "[ChannelParameterDefinition-1]\nName=Count\nType=  Integer \nDefaultValue=10\nDescription=How many\n"
              "[ChannelParameterDefinition-2]\nName=Feed File\nType=FILE\nDefaultValue=%2Ftmp%2Fa b.xml\n"
              "DefaultFileExtn=xml\nFileFilters=XML files|*.xml|All|*.*|\n"
              "[ChannelParameterDefinition-4]\nName=Hidden\nType=string\n"
              "[PluginParameterDefinition-1]\nName=Key\nType=string\nDefaultFileExtn=txt\nFileFilters=a|b|\n");
    ParamDefs defs;
    defs.push_back(ParamDef{"Earlier", ParamTypeBool, "1", "", "", ""});  // the table is appended to
    engine_.loadParamDefTable(file, defs, "ChannelParameterDefinition-");
    ASSERT_EQ(defs.size(), 3u);
    EXPECT_EQ(defs[1].name, "Count");
    EXPECT_EQ(defs[1].type, ParamTypeInt);
    EXPECT_EQ(defs[1].defaultValue, "10");
    EXPECT_EQ(defs[1].description, "How many");
    EXPECT_EQ(defs[2].name, "Feed File");
    EXPECT_EQ(defs[2].type, ParamTypeFile);
    EXPECT_EQ(defs[2].defaultValue, "/tmp/a b.xml");
    EXPECT_EQ(defs[2].defaultFileExtn, "xml");
    EXPECT_EQ(defs[2].fileFilters, std::string("XML files\0*.xml\0All\0*.*\0\0", 25));

    // File-dialog data is read for type file only.
    ParamDefs pluginDefs;
    engine_.loadParamDefTable(file, pluginDefs, "PluginParameterDefinition-");
    ASSERT_EQ(pluginDefs.size(), 1u);
    EXPECT_EQ(pluginDefs[0].defaultFileExtn, "");
    EXPECT_EQ(pluginDefs[0].fileFilters, "");

    // A missing file is a table without sections.
    ParamDefs none;
    engine_.loadParamDefTable(dir_.file("missing.plugin"), none, "ChannelParameterDefinition-");
    EXPECT_TRUE(none.empty());
}

TEST_F(ParamsTest, DefinitionErrors) {
    struct Case {
        const char* sections;
        const char* message;
        std::size_t appended;
    };
    const Case cases[] = {
        {"[P-1]\nName=Speed\n", "Missing type for parameter 'Speed'", 0},
        {"[P-1]\nName=Speed\nType=float\n", "Invalid type for parameter 'Speed': float", 0},
        {"[P-1]\nName=Speed\nType=int\n[P-2]\nName=Speed\nType=string\n", "Duplicate parameter name: 'Speed'", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string file = dir_.file("bad.plugin");
        writeFile(file, c.sections);
        ParamDefs defs;
        try {
            engine_.loadParamDefTable(file, defs, "P-");
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(defs.size(), c.appended);
    }
}

TEST(ParamTypes, NamesAndFilters) {
    const std::pair<const char*, ParamType> names[] = {
        {"int", ParamTypeInt},      {"INTEGER", ParamTypeInt},     {"bool", ParamTypeBool},
        {"Boolean", ParamTypeBool}, {" string ", ParamTypeString}, {"double", ParamTypeDouble},
        {"file", ParamTypeFile},    {"float", ParamTypeInvalid},   {"", ParamTypeInvalid},
    };
    for (const auto& [name, type] : names) EXPECT_EQ(paramTypeFromName(name), type) << name;
    EXPECT_EQ(convertFileFilters("Text|*.txt|"), std::string("Text\0*.txt\0\0", 12));
    EXPECT_EQ(convertFileFilters(""), std::string("\0", 1));
}

TEST_F(ParamsTest, ValuesReadWithDefaultsAndWrittenEncoded) {
    // Defaults come decoded from their definition file: "50%41" is the text itself.
    const ParamDefs defs = {{"Url", ParamTypeString, "http://127.0.0.1/", "", "", ""},
                            {"Rate", ParamTypeString, "50%41", "", "", ""},
                            {"Count", ParamTypeInt, "5", "", "", ""},
                            {"Note", ParamTypeString, "", "", "", ""}};
    const std::string file = dir_.file("channel.plugin");
    writeFile(file, "[ChannelParameters]\nCount=7\nNote=two%0D%0Alines\nStray=x\n");

    ParamValues values{{"Url", "kept"}};
    engine_.readParamValues(file, "ChannelParameters", defs, values);
    EXPECT_EQ(values, (ParamValues{{"Url", "kept"}, {"Rate", "50%41"}, {"Count", "7"}, {"Note", "two\r\nlines"}}));

    ParamValues fresh;
    engine_.readParamValues(file, "Other", defs, fresh);
    EXPECT_EQ(fresh, (ParamValues{{"Url", "http://127.0.0.1/"}, {"Rate", "50%41"}, {"Count", "5"}, {"Note", ""}}));

    // Writing leaves keys outside the map alone and round-trips any bytes.
    engine_.writeParamValues(file, "ChannelParameters", {{"Note", "50% off\r\n"}, {"Url", ""}});
    EXPECT_EQ(tools::getIniString(file, "ChannelParameters", "Stray", "", false), "x");
    EXPECT_EQ(tools::getIniString(file, "ChannelParameters", "Note", "", false), "50% off\r\n");
    ParamValues back;
    engine_.readParamValues(file, "ChannelParameters", defs, back);
    EXPECT_EQ(back, (ParamValues{{"Url", ""}, {"Rate", "50%41"}, {"Count", "7"}, {"Note", "50% off"}}));  // trimmed

    // The user configuration file, by section.
    engine_.setUserConfigFilename(dir_.file("config.ini"));
    engine_.saveParamValues("/scripts/feed.sh", {{"Count", "9"}});
    ParamValues user;
    engine_.loadParamValues("/scripts/feed.sh", defs, user);
    EXPECT_EQ(user["Count"], "9");
    EXPECT_EQ(user["Url"], "http://127.0.0.1/");
    engine_.setUserConfigFilename("");
}

// Values of password parameters are read like any other but never written
// into the load log.
TEST_F(ParamsTest, PasswordValuesNeverReachTheLog) {
    const ParamDefs defs = {{"SmtpPassword", ParamTypeString, "", "", "", ""},
                            {"Passwd", ParamTypeString, "", "", "", ""},
                            {"User", ParamTypeString, "", "", "", ""}};
    const std::string file = dir_.file("channel.plugin");
    writeFile(file, "[ChannelParameters]\nSmtpPassword=s3cr3t-one\nPasswd=s3cr3t-two\nUser=alice\n");

    std::ostringstream sink;
    CMessageLog log(sink);
    CMessageLog* previous = setMessageLog(&log);
    const bool wasEnabled = logGroupPluginLoad().isEnabled();
    logGroupPluginLoad().setEnabled(true);
    ParamValues values;
    engine_.readParamValues(file, "ChannelParameters", defs, values);
    logGroupPluginLoad().setEnabled(wasEnabled);
    setMessageLog(previous);

    EXPECT_EQ(values["SmtpPassword"], "s3cr3t-one");
    EXPECT_EQ(values["Passwd"], "s3cr3t-two");
    EXPECT_EQ(sink.str().find("s3cr3t"), std::string::npos) << sink.str();
    EXPECT_NE(sink.str().find("alice"), std::string::npos) << sink.str();
}

}  // namespace
