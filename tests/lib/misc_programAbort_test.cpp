#include "lib/misc/programAbort.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "lib/log/messageLog.h"
#include "tests/support/test_support.h"

TEST(ProgramAbort, ReportTextTable) {
    struct Case {
        const char* message;
        const char* file;
        unsigned line;
        const char* function;
        const char* text;
    };
    const Case cases[] = {
        {"x", "f.abc", 7, nullptr, "PROGRAM ABORT: x\n- FILE:     f.abc (line 7)\n"},
        {"x", "f.abc", 7, "CFoo::bar(int, char)",
         "PROGRAM ABORT: x\n- FUNCTION: CFoo::bar()\n- FILE:     f.abc (line 7)\n"},
        {nullptr, nullptr, 0, nullptr, "\n- FILE:     <unknown>"},
        {"m", nullptr, 3, "plain", "PROGRAM ABORT: m\n- FUNCTION: plain()\n- FILE:     <unknown>"},
    };
    for (const Case& c : cases) EXPECT_EQ(programAbortText(c.message, c.file, c.line, c.function), c.text);
}

namespace {
void abortAgainAtExit() {
    // The first report is under way: this one must show nothing and return.
    programAbort("second", "g.abc", 9, nullptr);
    std::fputs("second call returned\n", stderr);
}
}  // namespace

TEST(ProgramAbort, EndsProcessWithCodeOneAndReportsOnce) {
    // "fast" style: the child continues this test, so it sees the same folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::TempDir dir;
    const std::string logPath = dir.file("orvan.log");
    EXPECT_EXIT(
        {
            static std::ofstream logFile(logPath, std::ios::trunc);
            getMessageLog().attach(logFile);
            std::atexit(abortAgainAtExit);
            getMessageLog() << "half a line";  // the report starts on a line of its own
            programAbort("x", "f.abc", 7, nullptr);
        },
        ::testing::ExitedWithCode(1), "^PROGRAM ABORT: x\n- FILE:     f.abc \\(line 7\\)\nsecond call returned\n$");
    EXPECT_EQ(testsupport::readFile(logPath), "half a line\nPROGRAM ABORT: x\n- FILE:     f.abc (line 7)\n");
}
