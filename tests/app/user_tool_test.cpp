// User tools: their sections, the address expansion, and running one.
#include <gtest/gtest.h>

#include "app/options/userTool.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

TEST(UserTool, Sections) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("config.ini");
    testsupport::writeFile(ini,
                           "[T1]\nType=URL\nDisplayName=Wörterbuch\nCommand=http://d.test/?q={%SELTEXT%}\n"
                           "[T2]\nType=exe\nDisplayName=x\n"
                           "[T3]\nDisplayName=y\n");
    auto tool = UserTool::createFromIni(ini, "T1");
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->getDisplayName(), "Wörterbuch");
    EXPECT_EQ(tool->getMenuItemText(), "Wörterbuch");  // empty menu text: the name
    EXPECT_FALSE(UserTool::createFromIni(ini, "T2"));
    EXPECT_FALSE(UserTool::createFromIni(ini, "T3"));

    tool->setMenuItem("&Look up");
    tool->saveToIni(ini, "T4");
    EXPECT_EQ(tools::getIniKeyNames(ini, "T4"),
              (std::vector<std::string>{"DisplayName", "MenuItem", "Type", "Command"}));
    EXPECT_EQ(tools::getIniString(ini, "T4", "Type", "", true), "url");
    auto copy = UserTool::createFromIni(ini, "T4");
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->getMenuItemText(), "&Look up");
    EXPECT_EQ(dynamic_cast<UrlUserTool&>(*copy).getCommand(), "http://d.test/?q={%SELTEXT%}");
}

TEST(UserTool, ExpansionEncodesEveryReservedCharacter) {
    const UrlUserTool tool("Search", "", "http://s.test/find?q={%SELTEXT%}&from={%URL%}");
    struct Case {
        const char* selection;
        const char* url;  // null: no view
        const char* expected;
    } cases[] = {
        {"C++ #1", nullptr, "http://s.test/find?q=C%2B%2B%20%231&from={%URL%}"},
        {"a&b?c=d%e/f", "http://x.test/p?a=1&b=2#frag",
         "http://s.test/find?q=a%26b%3Fc%3Dd%25e%2Ff&from=http%3A%2F%2Fx.test%2Fp%3Fa%3D1%26b%3D2%23frag"},
        {"Grüße 東京", "", "http://s.test/find?q=Gr%C3%BC%C3%9Fe%20%E6%9D%B1%E4%BA%AC&from="},
        {"", nullptr, "http://s.test/find?q={%SELTEXT%}&from={%URL%}"},
        {"line\nbreak\ttab", nullptr, "http://s.test/find?q=line%0Abreak%09tab&from={%URL%}"},
        {"safe-._~AZaz09", nullptr, "http://s.test/find?q=safe-._~AZaz09&from={%URL%}"},
    };
    for (const auto& c : cases) {
        const std::string url = c.url ? c.url : "";
        EXPECT_EQ(tool.expandCommand(c.selection, c.url ? &url : nullptr), c.expected) << c.selection;
    }
}

class FakeHost : public UserToolHost {
public:
    bool haveView = false;
    std::string selection, viewUrl, clipboard;
    bool modifier = false;
    std::vector<std::string> opened;

    bool getActiveHtmlView(std::string& selectedText, std::string& url) override {
        if (!haveView) return false;
        selectedText = selection;
        url = viewUrl;
        return true;
    }
    std::string getClipboardText() override { return clipboard; }
    bool isShiftOrCtrlDown() override { return modifier; }
    void openInSimpleBrowser(const std::string& url, const std::string& title) override {
        opened.push_back("view " + title + " " + url);
    }
    void openItem(const std::string& url) override { opened.push_back("browser " + url); }
};

TEST(UserTool, RunTakesTheSelectionElseTheClipboard) {
    UrlUserTool tool("Look", "", "http://s.test/?q={%SELTEXT%}&u={%URL%}");
    EXPECT_THROW(tool.run(), std::runtime_error);  // no windows

    FakeHost host;
    setUserToolHost(&host);
    host.haveView = true;
    host.selection = "a b";
    host.viewUrl = "http://v.test/";
    tool.run();
    host.haveView = false;
    host.clipboard = "clip&board";
    host.modifier = true;
    tool.run();
    setUserToolHost(nullptr);
    EXPECT_EQ(host.opened, (std::vector<std::string>{"view Look http://s.test/?q=a%20b&u=http%3A%2F%2Fv.test%2F",
                                                     "browser http://s.test/?q=clip%26board&u={%URL%}"}));
}

}  // namespace
