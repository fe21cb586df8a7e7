// scripts/check-layers, run on a small tree: each include against the layer
// order, and each command number written outside its header, is named, and a
// tree that keeps the rules passes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/support/test_support.h"

namespace {

// Runs the check on the folder; returns its exit status and output.
int runCheck(const std::string& root, std::string& output) {
    const std::string command =
        "python3 '" + std::string(ORVAN_TEST_SOURCE_DIR) + "/../scripts/check-layers' '" + root + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LayerCheck, NamesEveryIncludeAgainstTheOrderAndPassesAnOrderlyTree) {
    testsupport::TempDir tree;
    testsupport::writeFile(tree.file("platform/files.h"), "#include <string>\n");
    testsupport::writeFile(tree.file("lib/misc/locks.h"), "#include \"platform/files.h\"\n");
    testsupport::writeFile(tree.file("tools/ini.cpp"), "#include \"lib/misc/locks.h\"\n");
    testsupport::writeFile(tree.file("desktop/window.cpp"), "#include <QWidget>\n#include \"ui/x.h\"\n");
    testsupport::writeFile(tree.file("utilities/care/careDlg.cpp"), "#include <QDialog>\n");
    std::string output;
    EXPECT_EQ(runCheck(tree.str(), output), 0) << output;

    testsupport::writeFile(tree.file("platform/process.cpp"), "#include \"lib/misc/locks.h\"\n");
    testsupport::writeFile(tree.file("lib/misc/abort.cpp"), "#include \"lib/log/messageLog.h\"\n");
    testsupport::writeFile(tree.file("lib/log/init.cpp"), "#include \"tools/ini.h\"\n");
    testsupport::writeFile(tree.file("channels/channel.h"), "  #  include <QtCore/QString>\n");
    testsupport::writeFile(tree.file("app/options/options.cpp"), "#include <QSettings>\n");
    testsupport::writeFile(tree.file("utilities/care/care.cpp"), "#include <QString>\n");
    output.clear();
    EXPECT_EQ(runCheck(tree.str(), output), 1);
    for (const char* fault :
         {"platform/process.cpp:1: platform/ must not include lib/misc/locks.h",
          "lib/misc/abort.cpp:1: lib/misc/ must not include lib/log/messageLog.h",
          "lib/log/init.cpp:1: lib/log/ must not include tools/ini.h",
          "channels/channel.h:1: no Qt here: QtCore/QString", "app/options/options.cpp:1: no Qt here: QSettings",
          "utilities/care/care.cpp:1: no Qt here: QString"}) {
        EXPECT_NE(output.find(fault), std::string::npos) << fault << "\n" << output;
    }
    EXPECT_EQ(output.find("window.cpp"), std::string::npos) << output;
    EXPECT_EQ(output.find("careDlg.cpp"), std::string::npos) << output;
}

// The desktop's folders, bottom up: widgets <- dialogs <- ui <- desktop, all
// above app, which keeps no Qt; the tools' windows stand on widgets.
TEST(LayerCheck, KeepsTheDesktopFoldersInTheirOrder) {
    testsupport::TempDir tree;
    testsupport::writeFile(tree.file("widgets/base/box.cpp"), "#include <QDialog>\n#include \"app/core/seams.h\"\n");
    testsupport::writeFile(tree.file("dialogs/options/page.cpp"), "#include \"widgets/base/box.h\"\n");
    testsupport::writeFile(tree.file("ui/frame/frame.cpp"),
                           "#include \"dialogs/options/page.h\"\n#include \"widgets/base/box.h\"\n");
    testsupport::writeFile(tree.file("desktop/wiring.cpp"), "#include <QApplication>\n#include \"ui/frame/frame.h\"\n");
    testsupport::writeFile(tree.file("utilities/care/careDlg.cpp"), "#include \"widgets/base/box.h\"\n");
    std::string output;
    EXPECT_EQ(runCheck(tree.str(), output), 0) << output;

    testsupport::writeFile(tree.file("widgets/controls/picker.cpp"), "#include \"dialogs/options/page.h\"\n");
    testsupport::writeFile(tree.file("dialogs/wizard/wizard.cpp"), "#include \"ui/frame/frame.h\"\n");
    testsupport::writeFile(tree.file("ui/notify/queue.cpp"), "#include \"desktop/sink.h\"\n");
    testsupport::writeFile(tree.file("app/core/sink.cpp"), "#include \"widgets/base/box.h\"\n");
    testsupport::writeFile(tree.file("app/desktop/app.cpp"), "#include <QApplication>\n");
    testsupport::writeFile(tree.file("utilities/care/careRun.cpp"), "#include \"ui/frame/frame.h\"\n");
    output.clear();
    EXPECT_EQ(runCheck(tree.str(), output), 1);
    for (const char* fault : {"widgets/controls/picker.cpp:1: widgets/ must not include dialogs/options/page.h",
                              "dialogs/wizard/wizard.cpp:1: dialogs/ must not include ui/frame/frame.h",
                              "ui/notify/queue.cpp:1: ui/ must not include desktop/sink.h",
                              "app/core/sink.cpp:1: app/ must not include widgets/base/box.h",
                              "app/desktop/app.cpp:1: no Qt here: QApplication",
                              "utilities/care/careRun.cpp:1: utilities/ must not include ui/frame/frame.h"}) {
        EXPECT_NE(output.find(fault), std::string::npos) << fault << "\n" << output;
    }
    for (const char* orderly : {"box.cpp", "page.cpp", "frame/frame.cpp", "wiring.cpp", "careDlg.cpp"}) {
        EXPECT_EQ(output.find(orderly), std::string::npos) << orderly << "\n" << output;
    }
}

TEST(LayerCheck, NamesCommandNumbersWrittenOutsideTheirHeader) {
    testsupport::TempDir tree;
    testsupport::writeFile(tree.file("app/core/commandIds.h"),
                           "constexpr int kCmdShowMainWindow = 32844;\n"
                           "constexpr int kCmdSizeToFit = 108;\n"
                           "constexpr int kCmdFirstUserTool = 189;\n");
    // Names, comments, texts with the number inside a longer one and small
    // numbers outside a command call or case label are fine.
    testsupport::writeFile(tree.file("ui/frame/frame.cpp"),
                           "// 32844 shows the window\n"
                           "void f() { runCommand(kCmdShowMainWindow); }\n"
                           "int g() { return 328445 + 1.32844; }\n"
                           "void h() { resize(519, 108); postCommand(kCmdFirstUserTool + 189); }\n");
    testsupport::writeFile(tree.file("platform/keys.cpp"), "int k = 32844;\n");
    std::string output;
    EXPECT_EQ(runCheck(tree.str(), output), 0) << output;

    testsupport::writeFile(tree.file("ui/tray/tray.cpp"), "void f() { postToMainFrame(32844); }\n");
    testsupport::writeFile(tree.file("ui/channel/frame.cpp"), "switch (id) {\ncase 108: break;\n}\n");
    testsupport::writeFile(tree.file("dialogs/menu.cpp"), "const int items[] = {32844, 0};  // 108\n");
    testsupport::writeFile(tree.file("desktop/app.cpp"), "void f() { defineCommand(189 + n, t); }\n");
    testsupport::writeFile(tree.file("app/core/instance.h"), "constexpr unsigned kShow = 32844;\n");
    output.clear();
    EXPECT_EQ(runCheck(tree.str(), output), 1);
    for (const char* fault : {"ui/tray/tray.cpp:1: command 32844 written as a number: use kCmdShowMainWindow",
                              "ui/channel/frame.cpp:2: command 108 written as a number: use kCmdSizeToFit",
                              "dialogs/menu.cpp:1: command 32844 written as a number",
                              "desktop/app.cpp:1: command 189 written as a number: use kCmdFirstUserTool",
                              "app/core/instance.h:1: command 32844 written as a number"}) {
        EXPECT_NE(output.find(fault), std::string::npos) << fault << "\n" << output;
    }
    EXPECT_EQ(output.find("frame/frame.cpp"), std::string::npos) << output;
    EXPECT_EQ(output.find("keys.cpp"), std::string::npos) << output;
    EXPECT_EQ(output.find("commandIds.h"), std::string::npos) << output;
}

}  // namespace
