// listintake's outline import, run as the staged program against real OPML
// files, a real HTTP server and a real channel folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "channels/appPlugins/appPluginManager.h"
#include "channels/appPlugins/scriptAppPlugin.h"
#include "channels/plugin/scriptingEngine.h"
#include "tests/appplugins/helper/programPluginRun.h"
#include "tests/support/httpServer.h"
#include "tests/support/test_support.h"
#include "tools/codecs.h"
#include "tools/ini.h"

using programplugintest::runPlugin;
using programplugintest::writeRequestValues;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

const char kResultPage[] =
    "<HTML>\n<BODY>\n<P>Your OPML channels have been imported. <P>Please restart Orvan.\n</BODY>\n</HTML>\n";

std::string fixture(const std::string& name) { return testsupport::sourceDir() + "/appplugins/data/opml/" + name; }

// A user's channel folder holding two channels: one whose address is stored
// with a back-slash, and one whose file name is the one a new address of the
// outline would get.
class ListIntakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        channelsDir_ = dir_.str() + "/Users/Alice/Channels";
        writeFile(channelsDir_ + "/known.rss", "[Config]\nRssChannelUrl=http://known.example.com\\feed.rss\n");
        writeFile(channelsDir_ + "/news.example.org_world.xml.rss",
                  "[Config]\nRssChannelUrl=http://news.example.org/world.xml?edition=old\n");
        writeFile(channelsDir_ + "/notes.txt", "not a channel\n");
    }

    // The folder's files and their contents.
    std::map<std::string, std::string> channelFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(channelsDir_))
            files[entry.path().filename().string()] = readFile(entry.path().string());
        return files;
    }

    programplugintest::Run import(const std::string& paramString) {
        const std::string request =
            writeRequestValues(dir_.file("request.ini"), {{"Command", "ProcessRequest"},
                                                          {"AppServerUrl", "http://127.0.0.1:2604"},
                                                          {"ChannelsDir", channelsDir_},
                                                          {"ParamString", paramString}});
        return runPlugin("listintake", {request}, dir_.str());
    }

    std::string urlOf(const std::string& file) const {
        return tools::getIniString(channelsDir_ + "/" + file, "Config", "RssChannelUrl", "", false);
    }

    testsupport::TempDir dir_;
    std::string channelsDir_;
};

TEST_F(ListIntakeTest, EachNewAddressOfANestedOutlineBecomesOneChannelFile) {
    const auto before = channelFiles();
    const auto run = import("OpmlFilename=" + fixture("subscriptions.opml"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string collision =
        "<P>1 outline was not imported:\n<UL>\n<LI>http://news.example.org/world.xml: a channel file of the same name "
        "exists: news.example.org_world.xml.rss</LI>\n</UL>\n";
    EXPECT_EQ(run.out, "<HTML>\n<BODY>\n<P>Your OPML channels have been imported. <P>Please restart Orvan.\n" +
                           collision + "</BODY>\n</HTML>\n");

    auto after = channelFiles();
    // Existing channels, the name collision included, are left as they were.
    for (const auto& [name, contents] : before) {
        EXPECT_EQ(after[name], contents) << name;
        after.erase(name);
    }
    std::vector<std::string> created;
    for (const auto& entry : after) created.push_back(entry.first);
    // The address already known (stored with a back-slash, and again in
    // other letters) and the one whose file exists are not imported;
    // duplicates collapse; attributes with blanks or single quotes are not seen.
    EXPECT_THAT(created, ElementsAre("back.example.org_dir_feed.xml.rss", "feeds.example.net_list_a=1&b=2.rss",
                                     "news.example.org_space.xml.rss"));
    EXPECT_EQ(urlOf("feeds.example.net_list_a=1&b=2.rss"), "http://feeds.example.net/list?a=1&b=2");
    EXPECT_EQ(urlOf("back.example.org_dir_feed.xml.rss"), "http://back.example.org/dir/feed.xml");
    EXPECT_EQ(urlOf("news.example.org_space.xml.rss"), "http://news.example.org/space.xml");
    EXPECT_EQ(tools::getIniSectionNames(channelsDir_ + "/news.example.org_space.xml.rss"),
              std::vector<std::string>{"Config"});

    // A second import finds every address present: nothing new, no change.
    const auto full = channelFiles();
    const auto again = import("OpmlFilename=" + fixture("subscriptions.opml"));
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "<HTML>\n<BODY>\n<P>No new channels were imported.\n" + collision + "</BODY>\n</HTML>\n");
    EXPECT_EQ(channelFiles(), full);
}

TEST_F(ListIntakeTest, OnlyWebAddressesAreImportedOnceEachAndTheRestIsReported) {
    const auto before = channelFiles();
    const auto run = import("OpmlFilename=" + fixture("hostile.opml"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> created;
    for (const auto& entry : channelFiles())
        if (before.count(entry.first) == 0) created.push_back(entry.first);
    EXPECT_THAT(created, ElementsAre("DUP.EXAMPLE_A.rss", "feed.example_rss.rss", "https___padded.example_rss.rss",
                                     "https___secure.example_rss.rss"));
    EXPECT_EQ(urlOf("feed.example_rss.rss"), "http://feed.example/rss");
    EXPECT_EQ(urlOf("https___padded.example_rss.rss"), "https://padded.example/rss");
    EXPECT_THAT(run.out, StartsWith("<HTML>\n<BODY>\n<P>Your OPML channels have been imported."));
    for (const std::string line :
         {"<P>7 outlines were not imported:", "<LI>(empty): no address</LI>", "<LI>   : no address</LI>",
          "<LI>/etc/passwd: not an http, https or feed address</LI>",
          "<LI>data:text/xml,&lt;rss/&gt;: not an http, https or feed address</LI>",
          "<LI>file:///etc/passwd: not an http", "<LI>javascript:alert(1): not an http",
          ": the address holds control characters</LI>"}) {
        EXPECT_THAT(run.out, HasSubstr(line));
    }
}

TEST_F(ListIntakeTest, OutlinesAreReadOnlyFromRegularFilesOfBoundedSize) {
    const std::string fifo = dir_.file("pipe.opml");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir_.file("big.opml");
    {
        std::ofstream out(big, std::ios::binary);
        out << std::string(16 * 1024 * 1024 + 1, ' ');
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/zero", "Can't open the OPML file: /dev/zero"},
        {fifo, "Can't open the OPML file: " + fifo},
        {big, "The OPML file is too large (more than 16 MB): " + big},
    };
    const auto before = channelFiles();
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        const auto run = import("OpmlFilename=" + path);
        EXPECT_EQ(run.exitCode, 255);
        EXPECT_EQ(run.err, message + "\n");
    }
    EXPECT_EQ(channelFiles(), before);
}

TEST_F(ListIntakeTest, ALongOutlineEndsWithATrueCount) {
    std::string text = "<opml><body>\n";
    for (int i = 0; i < 10000; ++i) text += "<outline xmlUrl=\"http://many.example/" + std::to_string(i) + "\"/>\n";
    writeFile(dir_.file("many.opml"), text + "</body></opml>\n");
    const std::size_t before = channelFiles().size();
    const auto run = import("OpmlFilename=" + dir_.file("many.opml"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::size_t created = channelFiles().size() - before;
    // Either all of them, or the page says how many exist and that it stopped.
    if (run.out.find("stopped") == std::string::npos) {
        EXPECT_EQ(created, 10000u);
        EXPECT_EQ(run.out, kResultPage);
    } else {
        EXPECT_THAT(run.out, HasSubstr(std::to_string(created) + " new channels created, " +
                                       std::to_string(10000 - created) + " not yet imported"));
    }
}

TEST_F(ListIntakeTest, AnOutlineCutShortInsideAnAddressKeepsTheAddressesBeforeIt) {
    const auto run = import("OpmlFilename=" + fixture("cut_short.opml"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(urlOf("first.example.org_rss.rss"), "http://first.example.org/rss");
    EXPECT_EQ(channelFiles().size(), 4u);
}

TEST_F(ListIntakeTest, BadRequestsAndOutlinesFailBeforeAnyFileIsWritten) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> values;
        std::string message;
    };
    const std::string opml = "OpmlFilename=" + fixture("subscriptions.opml");
    const std::vector<Case> cases = {
        {{{"ChannelsDir", channelsDir_}, {"ParamString", opml}}, "Missing 'AppServerUrl' parameter."},
        {{{"AppServerUrl", "u"}, {"ParamString", opml}}, "Missing 'ChannelsDir' parameter."},
        {{{"AppServerUrl", "u"}, {"ChannelsDir", channelsDir_}, {"ParamString", "Opml=x&opmlfilename=y"}},
         "Missing 'OpmlFilename' parameter."},
        {{{"AppServerUrl", "u"}, {"ChannelsDir", channelsDir_}, {"ParamString", "OpmlFilename="}},
         "Can't open the OPML file: "},
        {{{"AppServerUrl", "u"}, {"ChannelsDir", channelsDir_}, {"ParamString", "OpmlFilename=/no/such%20file.opml"}},
         "Can't open the OPML file: /no/such file.opml"},
        {{{"AppServerUrl", "u"}, {"ChannelsDir", channelsDir_}, {"ParamString", "OpmlFilename=" + channelsDir_}},
         "Can't open the OPML file: " + channelsDir_},
        {{{"AppServerUrl", "u"},
          {"ChannelsDir", channelsDir_},
          {"ParamString", "OpmlFilename=" + fixture("no_feeds.opml")}},
         "Couldn't find any channels defined in the OPML file."},
    };
    const auto before = channelFiles();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto values = c.values;
        values.insert(values.begin(), {"Command", "ProcessRequest"});
        const auto run = runPlugin("listintake", {writeRequestValues(dir_.file("request.ini"), values)}, dir_.str());
        EXPECT_EQ(run.exitCode, 255);
        EXPECT_EQ(run.err, c.message + "\n");
        EXPECT_EQ(channelFiles(), before);
    }
}

TEST_F(ListIntakeTest, AFormEncodedPathIsDecodedWithBlanksAndPlusSigns) {
    const std::string folder = dir_.str() + "/my lists";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(fixture("cut_short.opml"), folder + "/a+b.opml");
    // As a form sends it: blanks as '+', a '+' as "%2B".
    std::string encoded = folder + "/a%2Bb.opml";
    for (char& c : encoded)
        if (c == ' ') c = '+';
    const auto run = import("OpmlFilename=" + encoded);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(urlOf("first.example.org_rss.rss"), "http://first.example.org/rss");
}

TEST_F(ListIntakeTest, OutlinesAreDownloadedOnceAndOnlyAPlainOkIsAccepted) {
    testsupport::HttpServer server;
    server.route("/subscriptions.opml", testsupport::HttpAnswer::text(readFile(fixture("cut_short.opml"))));
    server.route("/moved.opml", testsupport::HttpAnswer::redirect(302, server.url("/subscriptions.opml")));
    server.route("/gone.opml", testsupport::HttpAnswer::text("gone", 404));

    for (const std::string path : {"/moved.opml", "/gone.opml"}) {
        SCOPED_TRACE(path);
        const auto run = import("OpmlFilename=" + tools::urlEncode(server.url(path), ":/"));
        EXPECT_EQ(run.exitCode, 255);
        EXPECT_EQ(run.err, std::string("Couldn't load OPML (HTTP ") +
                               (path == "/gone.opml" ? "404 Not Found" : "302 Found") + "): " + server.url(path) +
                               "\n");
    }
    EXPECT_EQ(server.requests("/subscriptions.opml").size(), 0u);  // the redirect is not followed

    const auto run = import("OpmlFilename=" + server.url("/subscriptions.opml"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(urlOf("first.example.org_rss.rss"), "http://first.example.org/rss");
    ASSERT_EQ(server.requests("/subscriptions.opml").size(), 1u);
    EXPECT_EQ(server.requests("/subscriptions.opml")[0].header("User-Agent"), "Microsoft Internet Explorer");
}

// A file that cannot be written (here its name is too long for the file
// system) fails the import with its path, after the other files were written.
TEST_F(ListIntakeTest, AChannelFileThatCannotBeWrittenFailsTheImport) {
    const std::string longName = "long.example/" + std::string(300, 'n');
    writeFile(dir_.file("long.opml"), "<opml><body><outline xmlUrl=\"http://" + longName +
                                          "\"/><outline xmlUrl=\"http://fine.example/rss\"/></body></opml>");
    const auto run = import("OpmlFilename=" + dir_.file("long.opml"));
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, StartsWith("Couldn't create the channel file " + channelsDir_ + "/long.example_nnn"));
    EXPECT_THAT(run.err, HasSubstr("File name too long (1 new channel created).\n"));
    EXPECT_EQ(urlOf("fine.example_rss.rss"), "http://fine.example/rss");
}

// A server that sends more than an outline may hold is cut off.
TEST_F(ListIntakeTest, AnOversizedDownloadIsRefused) {
    testsupport::HttpServer server;
    server.route("/huge.opml", testsupport::HttpAnswer::text(std::string(17 * 1024 * 1024, ' ')));
    const auto before = channelFiles();
    const auto run = import("OpmlFilename=" + server.url("/huge.opml"));
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_NE(run.err, "");
    EXPECT_EQ(channelFiles(), before);
}

// The whole road through the host: the request file the engine writes, the
// program started from its staged definition, and the page it answers.
TEST_F(ListIntakeTest, TheHostRunsTheImportFromItsStagedDefinition) {
    ::setenv("TMP", dir_.str().c_str(), 1);
    channels::getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
    channels::getScriptingEngine().setStandardParam("ChannelsDir", channelsDir_);
    channels::getAppPluginManager().setServerPorts(2604, 2605);
    {
        channels::ScriptAppPlugin plugin(&channels::getAppPluginManager());
        plugin.loadAppPlugin(programplugintest::pluginDir("listintake") + "/listintake.plugin");
        std::string page;
        plugin.processRequest("import", "OpmlFilename=" + fixture("cut_short.opml"), page, nullptr);
        EXPECT_EQ(page, kResultPage);
    }
    EXPECT_EQ(urlOf("first.example.org_rss.rss"), "http://first.example.org/rss");
    ::unsetenv("TMP");
}

}  // namespace
