// scripts/check-layers, run on a small tree: each include against the layer
// order is named, and a tree that keeps the order passes.
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
    testsupport::writeFile(tree.file("app/desktop/window.cpp"), "#include <QWidget>\n#include \"ui/x.h\"\n");
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
    for (const char* fault : {"platform/process.cpp:1: platform/ must not include lib/misc/locks.h",
                              "lib/misc/abort.cpp:1: lib/misc/ must not include lib/log/messageLog.h",
                              "lib/log/init.cpp:1: lib/log/ must not include tools/ini.h",
                              "channels/channel.h:1: no Qt here: QtCore/QString",
                              "app/options/options.cpp:1: no Qt here: QSettings",
                              "utilities/care/care.cpp:1: no Qt here: QString"}) {
        EXPECT_NE(output.find(fault), std::string::npos) << fault << "\n" << output;
    }
    EXPECT_EQ(output.find("window.cpp"), std::string::npos) << output;
    EXPECT_EQ(output.find("careDlg.cpp"), std::string::npos) << output;
}

}  // namespace
