#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "channels/channelFile.h"
#include "channels/exception.h"
#include "channels/appPlugins/localPluginUrl.h"

using namespace channels;

TEST(LocalPluginUrl, RecognisesPluginUrlsAndTheirIds) {
    struct Case {
        const char* url;
        bool isPlugin;
        const char* id;
    };
    const Case cases[] = {
        {"http://127.0.0.1:2605/news/feed?x=1", true, "news"},
        {"http://127.0.0.1:2605/news", true, "news"},
        {"http://127.0.0.1:2605/", true, ""},
        {"HTTP://127.0.0.1:2605/News/x", true, "News"},
        {"http://127.0.0.1:2605/news?x=1", true, "news?x=1"},
        {"http://127.0.0.1:port/news/x", true, "news"},  // the port is not checked
        {"http://127.0.0.1:2605", false, ""},
        {"http://localhost:2605/news/x", false, ""},
        {"https://127.0.0.1:2605/news/x", false, ""},
        {"http://127.0.0.1/news/x", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        std::string id = "untouched";
        EXPECT_EQ(isAppPluginUrl(c.url, id), c.isPlugin) << c.url;
        EXPECT_EQ(id, c.isPlugin ? c.id : "untouched") << c.url;
    }
}

TEST(LocalPluginUrl, SplitsPathsIntoIdRequestAndParameters) {
    struct Case {
        const char* path;
        const char* id;
        const char* request;
        const char* params;
    };
    const Case cases[] = {
        {"/news/feed?x=1&y=2", "news", "feed", "x=1&y=2"},
        {"/news", "news", "", ""},
        {"/news?x=1", "news?x=1", "", ""},
        {"/news/feed", "news", "feed", ""},
        {"/news/?x=1", "news", "", "x=1"},
        {"/news/feed?a=1?b=2", "news", "feed", "a=1?b=2"},
        {"/news/a/b?c", "news", "a/b", "c"},
        {"/", "", "", ""},
    };
    for (const Case& c : cases) {
        std::string id = "x", request = "x", params = "x";
        parsePluginUri(c.path, id, request, params);
        EXPECT_EQ(id, c.id) << c.path;
        EXPECT_EQ(request, c.request) << c.path;
        EXPECT_EQ(params, c.params) << c.path;
    }

    for (const char* bad : {"news/feed", ""}) {
        std::string id, request, params;
        try {
            parsePluginUri(bad, id, request, params);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.getMessage(), std::string("Invalid plugin URI: ") + bad);
        }
    }
}

TEST(LocalPluginUrl, ServerUrlsAndPortIndependentChannelFileNames) {
    EXPECT_EQ(makeLocalServerUrl(2604), "http://127.0.0.1:2604");
    EXPECT_EQ(makeChannelFileName("http://127.0.0.1:2605/news/feed?x=1"),
              makeChannelFileName("http://127.0.0.1:2606/news/feed?x=1"));
}

TEST(LocalPluginUrl, FeedNamesAreFoundWithoutRegardToCase) {
    clearAppPluginFeedNames();
    std::int32_t value = -1;
    EXPECT_FALSE(lookUpAppPluginFeedName("TheLounge", value));
    setAppPluginFeedName("TheLounge", 1800);
    setAppPluginFeedName("thelounge", 900);  // replaces
    EXPECT_TRUE(lookUpAppPluginFeedName("THELOUNGE", value));
    EXPECT_EQ(value, 900);
    EXPECT_FALSE(lookUpAppPluginFeedName("Articles", value));
    clearAppPluginFeedNames();
}
