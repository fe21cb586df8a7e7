// Lock order between a channel manager and its channels: deleting a channel
// holds the manager's lock and then waits for the channel's, so nothing that
// holds a channel's lock may then wait for its manager's. Each case stops an
// operation inside the channel's lock (the test holds the channel
// configuration's lock, which the operation needs next), deletes the channel
// on another thread meanwhile and then lets the operation go on. With the
// debugging time-out set, a deadlock ends the process with the fatal report
// instead of hanging the test.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "channels/channelConfig.h"
#include "channels/channelManager.h"
#include "lib/misc/threadSafety.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/test_support.h"

namespace {

using channeltest::ManagerFixture;
using channeltest::TestChannel;

// Polls (bounded) until the condition holds; false when it never did.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class LockOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousTimeout_ = getThreadSafetyTimeout();
        path_ = fixture_.channelFile("news.rss");
        auto owned = std::make_unique<TestChannel>(fixture_.manager.get(), path_);
        channel_ = owned.get();
        channel_->save();
        fixture_.manager->addChannel(owned.release());
    }
    void TearDown() override {
        setThreadSafetyTimeout(previousTimeout_);
        fixture_.manager->stopChannelManager(false);
    }

    // Runs `operation` on a thread of its own until it holds the channel's
    // lock and waits for the configuration's, deletes the channel on a
    // second thread, then releases the configuration.
    void deleteDuring(const std::function<void()>& operation) {
        setThreadSafetyTimeout(5);
        SharedExclusiveLock& configLock = channel_->getChannelConfig().getLock();
        configLock.lockExclusive(__FILE__, __LINE__);
        std::thread worker(operation);
        const bool inside =
            waitUntil([&] { return channel_->getLock().exclusiveLockCount() > 0; }, std::chrono::seconds(5));
        std::thread deleter([&] { fixture_.manager->deleteChannel(channel_, nullptr); });
        // The deletion takes the manager's lock and then waits for the
        // channel's; an operation that keeps the documented order makes it
        // wait for the manager's instead.
        waitUntil([&] { return fixture_.manager->getLock().exclusiveLockCount() > 0; }, std::chrono::milliseconds(300));
        configLock.unlockExclusive(__FILE__, __LINE__);
        worker.join();
        deleter.join();
        EXPECT_TRUE(inside) << "the operation never took the channel's lock";
        EXPECT_FALSE(std::filesystem::exists(path_));
        EXPECT_EQ(fixture_.manager->getChannelCount(), 0);
    }

    ManagerFixture fixture_;
    std::string path_;
    TestChannel* channel_ = nullptr;
    float previousTimeout_ = -1;
};

// The page's template comes from the channel; the background falls back to
// the manager's default, which must not be asked for under the channel's
// lock.
TEST_F(LockOrderTest, SummaryPageGeneratedWhileTheChannelIsDeleted) {
    const std::string templ = fixture_.dir.file("page.template");
    testsupport::writeFile(templ, "<p>{%BACKGROUND-IMAGE%}</p>");
    channel_->getChannelConfig().setChannelSummaryFiles(templ, "");
    const std::string page = channel_->getSummaryPageFilename();
    std::string error;
    deleteDuring([&] {
        try {
            channel_->generateSummaryPage(false, {}, {});
        } catch (const std::exception& e) {
            error = e.what();
        }
    });
    EXPECT_EQ(error, "");
    // The deleted channel's page went with it.
    EXPECT_FALSE(std::filesystem::exists(page));
}

// Loading reads the manager's default settings for the values the file
// lacks; the channel's file is read at the start, so the load succeeds and
// the deletion then removes the file.
TEST_F(LockOrderTest, ChannelLoadedWhileItIsDeleted) {
    std::string error;
    deleteDuring([&] {
        try {
            channel_->load();
        } catch (const std::exception& e) {
            error = e.what();
        }
    });
    EXPECT_EQ(error, "");
}

}  // namespace
