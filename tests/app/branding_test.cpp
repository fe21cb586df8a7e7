// The enciphered branding file, its permanent feeds and user tools.
#include <gtest/gtest.h>

#include "app/core/branding.h"
#include "channels/channelFile.h"
#include "tests/support/test_support.h"
#include "tools/files.h"
#include "tools/ini.h"

namespace {

class BrandingTest : public ::testing::Test {
protected:
    void writeBranding(const std::string& plain) {
        testsupport::writeFile(dir_.file("branding.dat"), encipherBranding(plain));
    }
    std::string channels() const { return dir_.file("Channels"); }
    testsupport::TempDir dir_;
};

TEST_F(BrandingTest, EncipheredFileLoads) {
    writeBranding(
        "[Config]\nClientName=  Käse AG  \nClientHomeUrl=http://k.test/\nNotes=a%20b\n"
        "[AutoCreateFeedUrls]\n1=http://k.test/a.xml\n2=http://k.test/b.xml\n"
        "[PermanentFeedUrls]\n1=http://k.test/p.xml\n"
        "[Auto-Create User Tool 1]\nType=url\nDisplayName=K\nCommand=http://k.test/?q={%SELTEXT%}\n"
        "[Permanent User Tool 1]\nType=URL\nDisplayName=P\n[Permanent User Tool 2]\nType=bogus\n"
        "[Permanent User Tool 3]\nType=url\nDisplayName=unreached\n");
    EXPECT_NE(testsupport::readFile(dir_.file("branding.dat")).find("[Config]"), 0u);
    BrandingConfig config;
    testsupport::writeFile(channels() + "/.keep", "");
    loadBrandingConfig(dir_.file("branding.dat"), channels(), config);
    EXPECT_TRUE(config.isLoaded());
    EXPECT_EQ(config.getClientName(), "Käse AG");
    EXPECT_EQ(config.getNotes(), "a b");
    EXPECT_EQ(config.getAutoCreateFeedUrls().size(), 2u);
    ASSERT_EQ(config.getAutoCreateUserTools().size(), 1u);
    EXPECT_EQ(config.getPermanentUserTools().size(), 1u);
    EXPECT_TRUE(config.isPermanentFeedUrl("HTTP://K.TEST/P.XML"));
    EXPECT_FALSE(config.isPermanentFeedUrl("http://k.test/a.xml"));

    const std::string permanent = channels() + "/k.test_p.xml.rss";
    EXPECT_EQ(tools::getIniString(permanent, "Config", "RssChannelUrl", "", true), "http://k.test/p.xml");

    saveBrandingDetails(dir_.file("global.ini"), config);
    EXPECT_EQ(tools::getIniString(dir_.file("global.ini"), "Branding", "ClientName", "", true), "Käse AG");
    saveBrandingDetails(dir_.file("global.ini"), BrandingConfig());
    EXPECT_TRUE(tools::getIniKeyNames(dir_.file("global.ini"), "Branding").empty());
}

TEST_F(BrandingTest, PermanentFeedKeepsItsChannelFile) {
    const std::string url = "http://k.test/p.xml";
    const std::string file = channels() + "/k.test_p.xml.rss";
    const std::string next = channels() + "/k.test_p.xml-1.rss";
    testsupport::writeFile(file, "[Config]\nRssChannelUrl=http://k.test/p.xml\nPreferredName=Mine\n");
    BrandingConfig::createAutoChannels({url}, channels());
    BrandingConfig::createAutoChannels({url}, channels());
    EXPECT_EQ(tools::getIniString(file, "Config", "PreferredName", "", true), "Mine");
    EXPECT_FALSE(tools::isFile(next));  // found again, not copied

    // A file of that name that holds another address is left alone.
    testsupport::writeFile(file, "[Config]\nRssChannelUrl=http://other.test/\n");
    BrandingConfig::createAutoChannels({url}, channels());
    BrandingConfig::createAutoChannels({url}, channels());
    EXPECT_EQ(tools::getIniString(file, "Config", "RssChannelUrl", "", true), "http://other.test/");
    EXPECT_EQ(tools::getIniString(next, "Config", "RssChannelUrl", "", true), url);
    EXPECT_FALSE(tools::isFile(channels() + "/k.test_p.xml-2.rss"));
}

TEST_F(BrandingTest, EdgeCases) {
    BrandingConfig none;
    loadBrandingConfig(dir_.file("missing.dat"), channels(), none);
    EXPECT_FALSE(none.isLoaded());

    writeBranding("[Config]\nClientName=   \n[Auto-Create User Tool 2]\nType=url\nDisplayName=x\n");
    BrandingConfig blank;
    loadBrandingConfig(dir_.file("branding.dat"), channels(), blank);
    EXPECT_TRUE(blank.isLoaded());
    EXPECT_EQ(blank.getClientName(), "");
    EXPECT_TRUE(blank.getAutoCreateUserTools().empty());

    testsupport::writeFile(dir_.file("branding.dat"), "not enciphered at all");
    BrandingConfig garbage;
    loadBrandingConfig(dir_.file("branding.dat"), channels(), garbage);
    EXPECT_TRUE(garbage.isLoaded());
    EXPECT_EQ(garbage.getClientName(), "");
}

}  // namespace
