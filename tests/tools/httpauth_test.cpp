#include "tools/httpAuth.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/profile.h"
#include "tests/support/test_support.h"
#include "tools/codecs.h"
#include "tools/ini.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

std::string dumped(const tools::HttpAuth& auth) {
    std::ostringstream os;
    os << auth;
    return os.str();
}

TEST(HttpBasicAuth, HeaderValues) {
    struct Case {
        std::string user, password, header;
    } cases[] = {
        {"Aladdin", "open sesame", "BASIC QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"", "", ""},
        {"", "pw", "BASIC OnB3"},
        {"user", "", "BASIC dXNlcjo="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user + ":" + c.password);
        EXPECT_EQ(tools::HttpBasicAuth(c.user, c.password).getHeaderValue(), c.header);
    }

    // More than 57 bytes: the Base64 text runs on one line past 76 characters.
    const std::string user(40, 'u'), password(30, 'p');
    const std::string header = tools::HttpBasicAuth(user, password).getHeaderValue();
    EXPECT_EQ(header.find_first_of("\r\n"), std::string::npos);
    EXPECT_GT(header.size(), 6u + 76u);
    EXPECT_EQ(tools::base64Decode(header.substr(6)), user + ":" + password);
}

TEST(HttpBasicAuth, DumpMasksThePassword) {
    const tools::HttpBasicAuth auth("alice", "hunter2");
    const std::string text = dumped(auth);
    EXPECT_EQ(text.rfind("[BASIC:alice:", 0), 0u) << text;
    EXPECT_EQ(text.back(), ']');
    EXPECT_EQ(text.find("hunter2"), std::string::npos) << text;
    EXPECT_NE(text, "[BASIC:alice:]");  // a password is there, just not shown
    EXPECT_EQ(dumped(tools::HttpBasicAuth("bob", "")), "[BASIC:bob:]");
}

class StoredAuth : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("config.ini");
};

TEST_F(StoredAuth, RoundTripThroughAnIniFile) {
    struct Case {
        std::string user, password;
    } cases[] = {
        {"alice", "s3cret with blanks "},
        {" leading", "%41\t\xC3\xA9"},
        {"carol", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user + ":" + c.password);
        tools::HttpBasicAuth(c.user, c.password).save(file, "Global Options", "ProxyAuth");
        EXPECT_EQ(platform::profile::getString(file, "Global Options", "ProxyAuthType", ""), "BASIC");
        if (!c.password.empty())
            EXPECT_EQ(readFile(file).find(c.password), std::string::npos) << "password stored in plain text";
        else
            EXPECT_EQ(platform::profile::getString(file, "Global Options", "ProxyAuthPassword", "<missing>"), "");

        std::unique_ptr<tools::HttpAuth> loaded(tools::createHttpAuth(file, "Global Options", "ProxyAuth"));
        ASSERT_NE(loaded, nullptr);
        auto* basic = dynamic_cast<tools::HttpBasicAuth*>(loaded.get());
        ASSERT_NE(basic, nullptr);
        EXPECT_EQ(basic->getUserName(), c.user);
        EXPECT_EQ(basic->getPassword(), c.password);
    }
}

TEST_F(StoredAuth, TypeDecidesTheClass) {
    writeFile(file, "[S]\nNoneType=\nLowerType=basic\nOtherType=Digest\n");
    platform::profile::invalidate(file);
    EXPECT_EQ(tools::createHttpAuth(file, "S", "None"), nullptr);
    EXPECT_EQ(tools::createHttpAuth(file, "S", "Missing"), nullptr);

    std::unique_ptr<tools::HttpAuth> lower(tools::createHttpAuth(file, "S", "Lower"));
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(lower->getType(), "BASIC");
    EXPECT_EQ(lower->getHeaderValue(), "");  // no user name or password keys

    try {
        delete tools::createHttpAuth(file, "S", "Other");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unknown HTTP authentication type: Digest");
    }
}

TEST(HttpBasicAuth, CloneIsAnIndependentCopy) {
    EXPECT_EQ(tools::cloneHttpAuth(nullptr), nullptr);
    tools::HttpBasicAuth original("u", "p");
    std::unique_ptr<tools::HttpAuth> copy(tools::cloneHttpAuth(&original));
    original.set("changed", "too");
    auto* basic = dynamic_cast<tools::HttpBasicAuth*>(copy.get());
    ASSERT_NE(basic, nullptr);
    EXPECT_EQ(basic->getUserName(), "u");
    EXPECT_EQ(basic->getPassword(), "p");
}

}  // namespace
