// siteseek against a real feed directory: Python's XML-RPC server on a free
// loopback port, reached as the proxy of the configured host name
// "directory.test", through the engine's library plug-in host and through the
// library's raw C interface.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "appPlugins/siteseek/siteseek.h"
#include "channels/appPlugins/appPluginInterface.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/appPlugins/dllAppPlugin.h"
#include "channels/plugin/scriptingEngine.h"
#include "platform/library.h"
#include "platform/process.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testsupport::readFile;

// The plug-in library has thread-local storage of its own (the lock code's
// thread numbers). The leak checker of this toolchain can crash while it scans
// the thread-local blocks of libraries loaded at run time ("Tracer caught
// signal 11" after every test has passed), depending only on the layout of the
// test program; it scans heap and globals without them.
extern "C" const char* __lsan_default_options() { return "use_tls=0"; }

namespace {

// The directory service: tests/appplugins/data/directory_server.py.
class DirectoryServer {
public:
    DirectoryServer(const std::string& folder, const std::string& encoding) : calls_(folder + "/calls.log") {
        const std::string portFile = folder + "/port";
        std::filesystem::remove(portFile);
        std::filesystem::remove(calls_);
        platform::process::Options options;
        options.argv = {"python3",     testsupport::sourceDir() + "/appplugins/data/directory_server.py",
                        "--port-file", portFile,
                        "--calls",     calls_,
                        "--encoding",  encoding};
        options.stderrFile = folder + "/server.err";
        if (!process_.start(options)) throw std::runtime_error("can't start the directory server");
        for (int i = 0; i < 1000 && port_ == 0; ++i) {
            const std::string text = readFile(portFile);
            if (!text.empty())
                port_ = std::stoi(text);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (port_ == 0 || !testsupport::waitForLoopbackPort(port_, 10000))
            throw std::runtime_error("the directory server did not start: " + readFile(folder + "/server.err"));
    }
    int port() const { return port_; }
    // The calls received so far, one JSON line each.
    std::string calls() const { return readFile(calls_); }

private:
    std::string calls_;
    platform::process::Process process_;
    int port_ = 0;
};

// A copy of the staged plug-in folder configured for directory.test, with
// the process's HTTP proxy pointing at the directory server.
class SiteseekTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = dir_.str() + "/plugin";
        std::filesystem::create_directories(folder_);
        for (const auto& entry : std::filesystem::directory_iterator(testsupport::stageDir() + "/appPlugins/siteseek"))
            std::filesystem::copy_file(entry.path(), folder_ + "/" + entry.path().filename().string());
        definition_ = folder_ + "/siteseek.plugin";
        configure("HostName", "directory.test");
        configure("XmlRpcUrl", "/RPC2");
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        ::setenv("TMP", dir_.str().c_str(), 1);
        channels::getScriptingEngine().setUserConfigFilename(dir_.file("config.ini"));
        manager_.setServerPorts(2604, 2605);
        startServer("utf-8");
    }
    void TearDown() override {
        plugin_.reset();
        ::unsetenv("http_proxy");
        ::unsetenv("TMP");
    }

    // A directory answering in the encoding; the session reaches it as the
    // proxy of every host.
    void startServer(const std::string& encoding) {
        server_.reset();
        server_ = std::make_unique<DirectoryServer>(dir_.str(), encoding);
        ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server_->port())).c_str(), 1);
    }
    void configure(const std::string& key, const std::string& value) {
        tools::writeIniString(definition_, "Config", key, value);
    }
    channels::DllAppPlugin& plugin() {
        if (!plugin_) {
            plugin_ = std::make_unique<channels::DllAppPlugin>(&manager_);
            plugin_->loadAppPlugin(definition_);
        }
        return *plugin_;
    }
    std::string search(const std::string& params) {
        std::string page;
        plugin().processRequest("Search", params, page, nullptr);
        return page;
    }

    testsupport::TempDir dir_;
    std::unique_ptr<DirectoryServer> server_;
    std::string folder_;
    std::string definition_;
    channels::AppPluginManager manager_;
    std::unique_ptr<channels::DllAppPlugin> plugin_;
};

TEST_F(SiteseekTest, TheMainPageIsTheTemplateWithTheHostsAddressesFilledIn) {
    plugin().generateMainPage();
    const std::string page = readFile(plugin().getOutputFilename());
    EXPECT_THAT(page, HasSubstr("action=\"http://127.0.0.1:2605/siteseek/search\""));
    EXPECT_THAT(page, Not(HasSubstr("{%")));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/Siteseek.log"));
}

// What the directory sends is shown as text: markup in a name or a
// description never reaches the page as markup, a "javascript:" address
// never becomes a link, and names keep their letters whatever encoding the
// reply declared.
TEST_F(SiteseekTest, ResultsShowTheDirectorysTextSafelyInEitherEncoding) {
    for (const std::string encoding : {"utf-8", "iso-8859-1", "utf-16"}) {
        SCOPED_TRACE(encoding);
        startServer(encoding);
        const std::string page = search("searchtext=caf%C3%A9+%26+%3Cb%3E+%22q%22");
        EXPECT_THAT(server_->calls(), HasSubstr("[\"findSites\", [\"café & <b> \\\"q\\\"\"]]\n"));
        EXPECT_THAT(server_->calls(), HasSubstr("[\"getFeedInfo\", [[1, 2, 3, 4, 5]]]\n"));

        EXPECT_THAT(page, HasSubstr("Feeds found: 4<"));  // feed 4 has no address
        EXPECT_THAT(page, Not(HasSubstr("<script")));
        EXPECT_THAT(page, Not(HasSubstr("javascript:")));
        EXPECT_THAT(page, HasSubstr("<a href=\"\">&lt;script&gt;alert(&#39;name&#39;)&lt;/script&gt; News</a>"));
        EXPECT_THAT(page, HasSubstr("<dd>Bold words &amp; more</dd>"));
        EXPECT_THAT(page, HasSubstr("<a href=\"http://cafe.example.org/rss?a=1&amp;b=&quot;2&quot;\">"
                                    "Café Über ☕</a>"));
        // The subscribe link carries the address as one encoded value.
        EXPECT_THAT(page, HasSubstr("href=\"http://127.0.0.1:2604/subscribe?url="
                                    "http%3A%2F%2Fcafe.example.org%2Frss%3Fa%3D1%26b%3D%222%22\">subscribe</a>"));
        EXPECT_THAT(page, HasSubstr("<dd>No description.</dd>"));
        EXPECT_THAT(page, HasSubstr("<a href=\"HTTPS://case.example.org/feed\">Letter case</a>"));
        EXPECT_THAT(page, HasSubstr("<dd>Members in other case</dd>"));
        EXPECT_THAT(page, HasSubstr("<a href=\"http://nested.example.org/rss\">Nested</a>"));
        EXPECT_THAT(page, HasSubstr("<dd>from the inner struct</dd>"));
        EXPECT_THAT(page, Not(HasSubstr("{%")));
    }
}

// A directory that answers with too much: the page lists at most 100 feeds,
// cuts long names and descriptions, and leaves out an address too long.
TEST_F(SiteseekTest, TheResultsPageIsBoundedInLength) {
    const std::string page = search("SearchText=huge");
    EXPECT_THAT(page, HasSubstr("Feeds found: 100<"));
    EXPECT_THAT(page, Not(HasSubstr("long.example.org")));
    EXPECT_THAT(page, HasSubstr("http://huge.example.org/1\""));
    EXPECT_THAT(page, Not(HasSubstr("http://huge.example.org/101\"")));
    EXPECT_THAT(page, Not(HasSubstr(std::string(257, 'N'))));
    EXPECT_THAT(page, Not(HasSubstr(std::string(2049, 'D'))));
    EXPECT_LT(page.size(), 1024u * 1024u);
}

// The log in the plug-in folder writes the groups its debug file switches
// on, and no others.
TEST_F(SiteseekTest, TheLogWritesTheGroupsOfItsDebugFile) {
    testsupport::writeFile(folder_ + "/Siteseek.debug", "[MessageLog]\nProcessRequest=1\nHttpRequests=0\n");
    search("SearchText=none");
    plugin_.reset();
    const std::string log = readFile(folder_ + "/Siteseek.log");
    EXPECT_THAT(log, HasSubstr("PROCESS REQUEST: pluginRequest=Search"));
    EXPECT_THAT(log, HasSubstr("SearchString='none'"));
    EXPECT_THAT(log, Not(HasSubstr("BEGIN HTTP REQUEST")));
}

TEST_F(SiteseekTest, MaxResultsLimitsTheFeedsAskedFor) {
    struct Case {
        std::string maxResults;
        int asked;
    };
    for (const Case& c : {Case{"10", 10}, Case{"5", 100}, Case{"500", 100}, Case{"", 100}}) {
        SCOPED_TRACE(c.maxResults);
        configure("MaxResults", c.maxResults);
        const std::string page = search("SearchText=many");
        // Feed 4 has no address and is not listed.
        EXPECT_NE(page.find("Feeds found: " + std::to_string(c.asked - 1) + "<"), std::string::npos);
        const std::string calls = server_->calls();
        const std::string last = calls.substr(calls.rfind("[\"getFeedInfo\""));
        EXPECT_THAT(last, HasSubstr(", " + std::to_string(c.asked) + "]]]"));
        EXPECT_THAT(last, Not(HasSubstr(", " + std::to_string(c.asked + 1) + ",")));
    }
}

TEST_F(SiteseekTest, NothingFoundGivesAnEmptyResultsPage) {
    const std::string page = search("SearchText=none");
    EXPECT_THAT(page, HasSubstr("Feeds found: 0<"));
    EXPECT_THAT(page, Not(HasSubstr("<dt>")));
    EXPECT_THAT(server_->calls(), HasSubstr("[\"getFeedInfo\", [[]]]\n"));
}

// Every failure comes back through the C interface as a code and a text in
// the host's buffer; nothing is thrown across it.
TEST_F(SiteseekTest, FailuresAreReturnedAsCodesWithTheirText) {
    platform::library::Library library(folder_ + "/siteseek.so");
    ASSERT_TRUE(library.loaded()) << library.error();
    auto getInfo = library.function<GetAppPluginInfoFunc>("get_app_plugin_info");
    ASSERT_NE(getInfo, nullptr);
    AppPluginInfo info{};
    getInfo(&info);
    EXPECT_EQ(info.version, 1);
    char error[APP_PLUGIN_ERROR_BUFFER_SIZE] = {};
    ASSERT_EQ(info.load_app_plugin(definition_.c_str(), error), 0) << error;

    struct Case {
        std::string request, params, hostName, path;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"find", "SearchText=x", "directory.test", "/RPC2", siteseek::kInvalidRequest, "Invalid plugin request: find"},
        {"search", "Text=x", "directory.test", "/RPC2", siteseek::kInvalidRequest, "Invalid search string format."},
        {"SEARCH", "SearchText=+%20+", "directory.test", "/RPC2", siteseek::kRequestFailed,
         "Please enter a search string."},
        {"search", "SearchText=x", "", "/RPC2", siteseek::kRequestFailed, "The host name has not been configured."},
        {"search", "SearchText=x", "directory.test", "", siteseek::kRequestFailed,
         "The XML-RPC url has not been configured."},
        {"search", "SearchText=fault", "directory.test", "/RPC2", siteseek::kRequestFailed,
         "The feed directory reported an error: Too many searches <today> (fault code 4)."},
        {"search", "SearchText=x", "directory.test", "/html500", siteseek::kRequestFailed,
         "Can't find the start of the XML response."},
        {"search", "SearchText=x", "directory.test", "/plain", siteseek::kRequestFailed,
         "Can't find the start of the XML response."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        configure("HostName", c.hostName);
        configure("XmlRpcUrl", c.path);
        char buffer[APP_PLUGIN_ERROR_BUFFER_SIZE] = {};
        char* data = nullptr;
        int length = 0;
        EXPECT_EQ(info.process_request(c.request.c_str(), c.params.c_str(), &data, &length, buffer), c.code);
        EXPECT_EQ(std::string(buffer), c.message);
        EXPECT_EQ(data, nullptr);
    }

    // A missing main page template is code 3.
    std::filesystem::remove(folder_ + "/Siteseek-MainPage.template");
    char buffer[APP_PLUGIN_ERROR_BUFFER_SIZE] = {};
    char* data = nullptr;
    int length = 0;
    EXPECT_EQ(info.generate_main_page(&data, &length, buffer), siteseek::kNoMainPageTemplate);
    EXPECT_EQ(std::string(buffer), "Can't open the Siteseek main page template file.");
    EXPECT_EQ(info.unload_app_plugin(buffer), 0);
}

// A directory that does not answer ends the search after the session's
// transfer time-out with an error that says so.
TEST_F(SiteseekTest, AStalledDirectoryEndsInATimeOut) {
    siteseek::Siteseek plugin;
    plugin.load(definition_);
    plugin.session()->setTransferTimeoutMs(1500);
    const auto started = std::chrono::steady_clock::now();
    try {
        plugin.processRequest("search", "SearchText=stall");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_THAT(e.what(), StartsWith("Can't read the HTTP response from directory.test: "));
        EXPECT_THAT(e.what(), HasSubstr("timed out"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
}

// The reply is cut at its response element and parsed exactly as received.
TEST(SiteseekReplyTest, RepliesAreCutAtTheResponseElementAndParsedWithTheirEncoding) {
    const siteseek::ReplyTags tags;
    const std::string feeds =
        "<methodResponse><params><param><value><array><data><value><struct>"
        "<member><name>sitename</name><value><string>Caf\xE9</string></value></member>"
        "<member><name>dataurl</name><value><string>http://c.example/</string></value></member>"
        "</struct></value></data></array></value></param></params></methodResponse>";
    // Declared ISO-8859-1, and the end tag is the reply's last byte.
    const auto latin = siteseek::parseGetFeedInfoReply(
        siteseek::cutReply("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n" + feeds, "methodResponse"), tags);
    ASSERT_EQ(latin.size(), 1u);
    EXPECT_EQ(latin[0].name, "Café");

    // UTF-16 in either byte order, with or without a mark; a lone surrogate
    // becomes U+FFFD.
    auto utf16 = [](const std::u16string& text, bool little, bool mark) {
        std::string bytes = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
        for (char16_t c : text) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            bytes += little ? std::string{low, high} : std::string{high, low};
        }
        return bytes;
    };
    const std::u16string wide = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><s>Caf\u00e9 \U0001F600 \xD800!</s>";
    for (const bool little : {true, false}) {
        for (const bool mark : {true, false}) {
            EXPECT_EQ(siteseek::replyAsUtf8(utf16(wide, little, mark)),
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><s>Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD!</s>");
        }
    }
    EXPECT_EQ(siteseek::replyAsUtf8("<methodResponse/>"), "<methodResponse/>");

    EXPECT_EQ(siteseek::parseFindSitesReply(siteseek::cutReply(
                  "HTTP junk<methodResponse><params><param><value><array><data><value><int>7</int></value>"
                  "<value><int> 12</int></value></data></array></value></param></params></methodResponse>"
                  "trailing bytes that are not XML",
                  "methodResponse")),
              (std::vector<int>{7, 12}));

    struct Case {
        std::string reply;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"<m:methodResponse></m:methodResponse>", "Can't find the start of the XML response."},
             {"<methodResponse xmlns=\"x\"></methodResponse>", "Can't find the start of the XML response."},
             {"<methodResponse><params>", "Can't find the end of the XML response."},
         }) {
        SCOPED_TRACE(c.reply);
        try {
            siteseek::cutReply(c.reply, "methodResponse");
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

}  // namespace
