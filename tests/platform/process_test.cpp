#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/support/test_support.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace proc = platform::process;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::string makeScript(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.file(name);
    writeFile(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// True when the process is gone (or a zombie waiting for init), within a bounded wait.
bool processGone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        if (!stat) return true;
        std::string line;
        std::getline(stat, line);
        auto close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z') return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TEST(Process, RedirectsBothStreamsAndNoInput) {
    TempDir dir;
    const std::string script = makeScript(dir, "both.sh",
                                          "echo \"out:$1\"\n"
                                          "echo \"err:$2\" >&2\n"
                                          "cat\n"  // standard input is empty
                                          "echo \"dir:$(pwd)\"\n"
                                          "echo \"env:$ORVAN_X\"\n"
                                          "tty >/dev/null 2>&1 || echo noterm\n");
    std::filesystem::create_directory(dir.file("work"));
    proc::Options o;
    o.argv = {script, "a b", "it's \"quoted\""};
    o.workingDirectory = dir.file("work");
    o.stdoutFile = dir.file("out.txt");
    o.stderrFile = dir.file("err.txt");
    o.environment = {{"ORVAN_X", "42"}};
    proc::Result r = proc::run(o, 10000);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(readFile(o.stdoutFile), "out:a b\ndir:" + dir.file("work") + "\nenv:42\nnoterm\n");
    EXPECT_EQ(readFile(o.stderrFile), "err:it's \"quoted\"\n");

    // Append keeps what was there; truncate (the default) replaces it.
    o.outputMode = proc::OutputMode::Append;
    ASSERT_EQ(proc::run(o, 10000).exitCode, 0);
    EXPECT_EQ(readFile(o.stderrFile), "err:it's \"quoted\"\nerr:it's \"quoted\"\n");
}

TEST(Process, ExitCodesAndSignalsPassThrough) {
    TempDir dir;
    const struct {
        const char* body;
        int exitCode;
        int signal;
    } cases[] = {
        {"exit 0\n", 0, 0},
        {"exit 3\n", 3, 0},
        {"exec python3 -c 'import sys; sys.exit(-1)'\n", 255, 0},  // exit(-1) is seen as 255
        {"kill -9 $$\n", -1, SIGKILL},
    };
    for (const auto& c : cases) {
        const std::string script = makeScript(dir, "exit.sh", c.body);
        proc::Result r = proc::run({{script}, "", "", "", {}, {}}, 10000);
        ASSERT_TRUE(r.started) << r.error;
        EXPECT_EQ(r.exitCode, c.exitCode) << c.body;
        EXPECT_EQ(r.signaled, c.signal != 0) << c.body;
        EXPECT_EQ(r.signal, c.signal) << c.body;
    }
}

TEST(Process, ProgramPathWithBlanksAndQuotes) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("my \"odd\" folder's"));
    const std::string script = makeScript(dir, "my \"odd\" folder's/run me.sh", "echo ran\n");
    proc::Options o;
    o.argv = {script};
    o.stdoutFile = dir.file("out.txt");
    o.stderrFile = o.stdoutFile;  // both streams into one file
    proc::Result r = proc::run(o, 10000);
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_EQ(readFile(o.stdoutFile), "ran\n");
}

TEST(Process, StartFailuresAreReported) {
    TempDir dir;
    const std::string notExecutable = dir.file("plain.txt");
    writeFile(notExecutable, "text");
    const struct {
        proc::Options options;
        int err;
    } cases[] = {
        {{{dir.file("missing-program")}, "", "", "", {}, {}}, ENOENT},
        {{{"orvan-no-such-program-on-path"}, "", "", "", {}, {}}, ENOENT},
        {{{notExecutable}, "", "", "", {}, {}}, EACCES},
        {{{"/bin/true"}, dir.file("no-such-folder"), "", "", {}, {}}, ENOENT},
        {{{"/bin/true"}, "", dir.file("no/such/out.txt"), "", {}, {}}, ENOENT},
        {{{}, "", "", "", {}, {}}, ENOENT},
    };
    for (const auto& c : cases) {
        proc::Result r = proc::run(c.options, 5000);
        EXPECT_FALSE(r.started);
        EXPECT_EQ(r.startErrno, c.err) << r.error;
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(Process, TimeOutKillsTheWholeGroup) {
    TempDir dir;
    const std::string pidFile = dir.file("child.pid");
    // The script starts a child that ignores SIGTERM, then sleeps past the time-out.
    const std::string script = makeScript(dir, "slow.sh",
                                          "sh -c 'trap \"\" TERM; sleep 30' &\n"
                                          "echo $! > " +
                                              pidFile + ".tmp && mv " + pidFile + ".tmp " + pidFile +
                                              "\n"
                                              "sleep 30\n");
    const auto start = std::chrono::steady_clock::now();
    proc::Result r = proc::run({{script}, "", "", "", {}, {}}, 2000);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(r.started) << r.error;
    EXPECT_TRUE(r.timedOut);
    EXPECT_TRUE(r.signaled);
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    const std::string pidText = readFile(pidFile);
    ASSERT_FALSE(pidText.empty());
    EXPECT_TRUE(processGone(std::stoi(pidText))) << "child " << pidText << " survived";
}

TEST(Process, OwnerDestructionKillsARunningChild) {
    pid_t pid = -1;
    {
        proc::Process p;
        ASSERT_TRUE(p.start({{"sleep", "30"}, "", "", "", {}, {}})) << p.error();
        pid = p.pid();
        EXPECT_FALSE(p.wait(50));
        EXPECT_TRUE(p.running());
    }
    EXPECT_TRUE(processGone(pid));
}
