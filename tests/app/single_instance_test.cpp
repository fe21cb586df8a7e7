// The single-instance test with real second processes: a copy that runs
// serves the hand-over, a second start hands over 32844 and ends with 0, a
// killed copy's lock does not block, a lock held without an answer is busy.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/core/commandIds.h"
#include "app/core/singleInstance.h"
#include "platform/process.h"
#include "tests/support/test_support.h"

namespace {

using platform::process::Process;

// Starts the helper in "run" mode and waits (bounded) until it serves.
class RunningCopy {
public:
    RunningCopy(const testsupport::TempDir& dir, const std::string& name, bool allow) : out_(dir.file(name + ".out")) {
        platform::process::Options options;
        options.argv = {INSTANCE_HELPER, dir.str(), "run"};
        if (allow) options.argv.push_back("allow");
        options.stdoutFile = out_;
        EXPECT_TRUE(process_.start(options)) << process_.error();
    }
    bool waitFor(const std::string& text) {
        for (int i = 0; i < 200; ++i) {
            if (output().find(text) != std::string::npos) return true;
            if (!process_.running() && process_.wait(0)) return output().find(text) != std::string::npos;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::string output() const { return testsupport::readFile(out_); }
    Process& process() { return process_; }

private:
    std::string out_;
    Process process_;
};

int secondStart(const testsupport::TempDir& dir) {
    platform::process::Options options;
    options.argv = {INSTANCE_HELPER, dir.str(), "start"};
    const auto result = platform::process::run(options, 20000);
    EXPECT_TRUE(result.started) << result.error;
    return result.exitCode;
}

TEST(SingleInstance, SecondStartHandsOverTheShowCommandAndEnds) {
    testsupport::TempDir dir;
    RunningCopy first(dir, "first", false);
    ASSERT_TRUE(first.waitFor("started")) << first.output();

    EXPECT_EQ(secondStart(dir), 0);
    EXPECT_TRUE(first.waitFor("command 32844")) << first.output();
    ASSERT_TRUE(first.process().wait(10000));
    EXPECT_EQ(first.process().result().exitCode, 0);
}

TEST(SingleInstance, OnlyTheShowCommandReachesTheRunningCopy) {
    testsupport::TempDir dir;
    RunningCopy first(dir, "first", false);
    ASSERT_TRUE(first.waitFor("started")) << first.output();

    // Another local process writes other commands (57665 is Exit) and junk;
    // none of them may reach the main window.
    const std::string socket = InstanceLock("Orvan", dir.str()).socketPath();
    for (unsigned command : {57665u, 32771u, 0u, 328440u}) EXPECT_TRUE(sendInstanceCommand(socket, command, 2000));
    EXPECT_TRUE(first.process().running());

    EXPECT_EQ(secondStart(dir), 0);
    ASSERT_TRUE(first.waitFor("command ")) << first.output();
    EXPECT_NE(first.output().find("command 32844"), std::string::npos) << first.output();
}

TEST(SingleInstance, KilledCopyDoesNotBlockTheNextStart) {
    testsupport::TempDir dir;
    {
        RunningCopy crashed(dir, "crashed", false);
        ASSERT_TRUE(crashed.waitFor("started")) << crashed.output();
        crashed.process().killGroup();  // no clean-up: the socket file stays
    }
    SingleInstance next("Orvan", dir.str());
    ASSERT_EQ(next.start(false), SingleInstance::Started) << next.error();

    // The new copy owns the endpoint that the dead one left behind.
    unsigned received = 0;
    std::mutex mutex;
    next.setCommandHandler([&](unsigned id) {
        std::lock_guard<std::mutex> guard(mutex);
        received = id;
    });
    EXPECT_EQ(secondStart(dir), 0);
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (received) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard<std::mutex> guard(mutex);
    EXPECT_EQ(received, kCmdShowMainWindow);
}

TEST(SingleInstance, LockHeldWithoutAnAnswerIsBusy) {
    testsupport::TempDir dir;
    InstanceLock tool("Orvan", dir.str());  // a maintenance tool at work
    ASSERT_TRUE(tool.tryLock()) << tool.error();
    EXPECT_EQ(secondStart(dir), 3);
    tool.unlock();
    EXPECT_FALSE(tool.isHeldElsewhere());
}

TEST(SingleInstance, WithMultipleInstancesTheLastCopyStartedIsReached) {
    testsupport::TempDir dir;
    RunningCopy first(dir, "first", false);
    ASSERT_TRUE(first.waitFor("started")) << first.output();
    RunningCopy second(dir, "second", true);
    ASSERT_TRUE(second.waitFor("started")) << second.output();

    EXPECT_EQ(secondStart(dir), 0);
    EXPECT_TRUE(second.waitFor("command 32844")) << second.output();
    EXPECT_EQ(first.output().find("command 32844"), std::string::npos);
    EXPECT_TRUE(first.process().running());
}

TEST(SingleInstance, LockFolderThatCannotBeUsedFails) {
    SingleInstance instance("Orvan", "/nonexistent-folder/for/sure");
    EXPECT_EQ(instance.start(false), SingleInstance::Failed);
    EXPECT_NE(instance.error().find("/nonexistent-folder/for/sure"), std::string::npos);
}

}  // namespace
