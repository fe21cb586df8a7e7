// Channel settings: defaults, the interval minimum (also with two readers at
// once), categories, and the hooks' lives with their events and errors.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "channels/channelEvents.h"
#include "channels/exception.h"
#include "platform/profile.h"
#include "tests/channels/channel_fixture.h"
#include "tools/ini.h"

using namespace channels;
using channeltest::ManagerFixture;
using channeltest::TestChannel;
using channeltest::TestHook;
using channeltest::TestHookHost;
namespace profile = platform::profile;

namespace {

struct ErrorRecorder : EventListener {
    std::vector<std::pair<std::string, std::string>> errors;
    void onChannelErrorEvent(const ChannelErrorEvent& e) override {
        errors.emplace_back(e.getErrorMsg(), e.getAdditionalInfo());
    }
};

}  // namespace

TEST(ChannelSettings, DefaultSettingsObjectWithoutSection) {
    testsupport::TempDir dir;
    const std::string file = dir.file("config.ini");
    testsupport::writeFile(file, "[Other]\nx=1\n");
    ChannelSettings defaults(nullptr);
    defaults.load(file);
    EXPECT_TRUE(defaults.isAutoUpdateEnabled());
    EXPECT_EQ(defaults.getAutoUpdateInterval(), 86400);
    EXPECT_FALSE(defaults.getAllowEmptyFeeds());
    EXPECT_EQ(defaults.getMaxFeedItems(), -1);
}

TEST(ChannelSettings, IntervalIsRaisedToTheMinimumWhenRead) {
    testsupport::TempDir dir;
    const std::string file = dir.file("c.rss");
    testsupport::writeFile(file, "[Settings]\nAutoUpdateInterval=60\n");
    ChannelSettings settings(nullptr);
    settings.load(file);
    settings.save(file);
    EXPECT_EQ(tools::getIniInt(file, "Settings", "AutoUpdateInterval", 0), 60);
    EXPECT_EQ(settings.getAutoUpdateInterval(), 3600);
    settings.save(file);
    EXPECT_EQ(tools::getIniInt(file, "Settings", "AutoUpdateInterval", 0), 3600);

    settings.setMinAutoUpdateInterval(300);
    settings.setAutoUpdateInterval(0);
    EXPECT_EQ(settings.getAutoUpdateInterval(), 300);
}

// Two threads that each hold the settings shared and read an interval that
// needs raising must both get through (a shared-to-exclusive upgrade would
// leave each waiting for the other).
TEST(ChannelSettings, TwoSharedReadersRaiseTheIntervalWithoutDeadlock) {
    for (int round = 0; round < 20; ++round) {
        ChannelSettings settings(nullptr);
        settings.setAutoUpdateInterval(10);
        std::atomic<int> holding{0};
        auto reader = [&] {
            SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
            ++holding;
            for (int i = 0; i < 2000 && holding.load() < 2; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return settings.getAutoUpdateInterval();
        };
        auto a = std::async(std::launch::async, reader);
        auto b = std::async(std::launch::async, reader);
        if (a.wait_for(std::chrono::seconds(10)) != std::future_status::ready ||
            b.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "readers deadlocked";
            std::_Exit(1);  // the blocked threads can't be joined
        }
        EXPECT_EQ(a.get(), 3600);
        EXPECT_EQ(b.get(), 3600);
    }
}

TEST(ChannelSettings, CategoriesAddWithoutCaseDuplicatesRemoveExactly) {
    ChannelSettings settings(nullptr);
    settings.setChannelCategory("News", true);
    settings.setChannelCategory("News", true);
    settings.setChannelCategory("news", true);
    EXPECT_EQ(settings.getChannelCategories(), std::vector<std::string>{"News"});
    EXPECT_TRUE(settings.hasChannelCategory("NEWS"));
    settings.setChannelCategory("news", false);
    EXPECT_EQ(settings.getChannelCategories(), std::vector<std::string>{"News"});
    settings.setChannelCategory("Tech", true);
    settings.setChannelCategory("Sport", false);
    EXPECT_EQ(settings.getChannelCategories(), (std::vector<std::string>{"News", "Tech"}));
    settings.setChannelCategory("News", false);
    EXPECT_EQ(settings.getChannelCategories(), std::vector<std::string>{"Tech"});
}

TEST(ChannelSettings, AssignCopiesValuesButNeverHooks) {
    TestHookHost host;
    ChannelSettings defaults(nullptr);
    defaults.setAutoUpdateEnabled(false);
    defaults.setAutoUpdateInterval(7200);
    defaults.setAllowEmptyFeeds(true);
    defaults.setMaxFeedItems(20);
    defaults.setChannelCategories({"A"});
    defaults.setChannelHooks({TestHookHost::handle(host.make("x"))});

    TestChannel channel(nullptr, "unused.rss");
    ChannelSettings& settings = channel.getChannelSettings();
    settings.setChannelHooks({TestHookHost::handle(host.make("y"))});
    settings.assign(defaults, false);
    EXPECT_FALSE(settings.isAutoUpdateEnabled());
    EXPECT_EQ(settings.getAutoUpdateInterval(), 7200);
    EXPECT_TRUE(settings.getAllowEmptyFeeds());
    EXPECT_EQ(settings.getMaxFeedItems(), 20);
    EXPECT_EQ(settings.getChannelCategories(), std::vector<std::string>{"A"});
    EXPECT_TRUE(settings.getChannelHooks().empty());
    EXPECT_EQ(settings.getChannel(), &channel);
    settings.assign(defaults, true);
    EXPECT_EQ(settings.getChannel(), nullptr);
}

class ChannelHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = f.channelFile("hooks.rss");
        good = f.dir.file("good.hook");
        bad = f.dir.file("bad.hook");
        testsupport::writeFile(good, "[Config]\nScriptFilename=good.sh\n");
        testsupport::writeFile(bad, "[Config]\nScriptFilename=bad.sh\n");
        f.manager->addEventHandler(&errors);
    }
    void TearDown() override { f.manager->removeEventHandler(&errors); }

    ManagerFixture f;
    TestHookHost host;
    ErrorRecorder errors;
    std::string file, good, bad;
};

TEST_F(ChannelHooksTest, LoadSkipsMissingAndBrokenHooksWithErrors) {
    const std::string missing = f.dir.file("missing.hook");
    testsupport::writeFile(
        file, "[Channel Hooks]\nChannelHook1=" + missing + "\nChannelHook2=" + bad + "\nChannelHook3=" + good + "\n");
    TestChannel channel(f.manager.get(), file);
    channel.load();
    const auto& hooks = channel.getChannelSettings().getChannelHooks();
    ASSERT_EQ(hooks.size(), 1u);
    EXPECT_EQ(TestHookHost::hook(*hooks[0]).file, good);
    // Loaded from the file: loaded, but not attached.
    EXPECT_EQ(TestHookHost::hook(*hooks[0]).events, std::vector<std::string>{"ChannelHookLoaded"});
    ASSERT_EQ(errors.errors.size(), 2u);
    EXPECT_EQ(errors.errors[0], std::make_pair("Missing channel hook config file: " + missing, std::string()));
    EXPECT_EQ(errors.errors[1], std::make_pair("Can't load channel hook: " + bad, std::string("broken hook")));
    EXPECT_EQ(host.destroyed.size(), 1u);  // the broken one
}

TEST_F(ChannelHooksTest, HookListEndsAtFirstGap) {
    testsupport::writeFile(file, "[Channel Hooks]\nChannelHook2=" + good + "\nChannelHook3=" + good + "\n");
    TestChannel channel(f.manager.get(), file);
    channel.load();
    EXPECT_TRUE(channel.getChannelSettings().getChannelHooks().empty());
    EXPECT_TRUE(errors.errors.empty());
}

TEST_F(ChannelHooksTest, SaveStoresAtMostThreeHooks) {
    TestChannel channel(f.manager.get(), file);
    testsupport::writeFile(file, "[Channel Hooks]\nStale=1\n");
    std::vector<ChannelHook*> list;
    for (const char* name : {"a", "b", "c", "d"}) list.push_back(TestHookHost::handle(host.make(name)));
    channel.getChannelSettings().setChannelHooks(list);
    channel.save();
    EXPECT_EQ(profile::getKeyNames(file, "Channel Hooks"),
              (std::vector<std::string>{"ChannelHook1", "ChannelHook2", "ChannelHook3"}));
    EXPECT_EQ(tools::getIniString(file, "Channel Hooks", "ChannelHook3", "", true), "/hooks/c.hook");
    EXPECT_EQ(host.lastConfigSections,
              (std::vector<std::string>{"ChannelHookConfig-1", "ChannelHookConfig-2", "ChannelHookConfig-3"}));
    EXPECT_EQ(TestHookHost::hook(*list[3]).saves, 0);
}

TEST_F(ChannelHooksTest, ReplacingTheListSendsLoadedAttachedAndDetached) {
    TestChannel channel(f.manager.get(), file);
    ChannelSettings& settings = channel.getChannelSettings();
    TestHook* a = host.make("a");
    TestHook* b = host.make("b");
    settings.setChannelHooks({TestHookHost::handle(a)});
    EXPECT_EQ(a->events, (std::vector<std::string>{"ChannelHookLoaded", "ChannelHookAttached"}));

    a->events.clear();
    settings.setChannelHooks({TestHookHost::handle(a)});
    EXPECT_TRUE(a->events.empty());

    settings.setChannelHooks({TestHookHost::handle(b)});
    EXPECT_EQ(b->events, (std::vector<std::string>{"ChannelHookLoaded", "ChannelHookAttached"}));
    EXPECT_EQ(a->events, std::vector<std::string>{"ChannelHookDetached"});
    EXPECT_TRUE(host.destroyed.empty());  // the caller destroys a

    // An event that a hook refuses passes to the caller and keeps the old list.
    TestHook* c = host.make("c");
    c->failOnEvent = true;
    EXPECT_THROW(settings.setChannelHooks({TestHookHost::handle(c)}), std::runtime_error);
    EXPECT_EQ(settings.getChannelHooks(), std::vector<ChannelHook*>{TestHookHost::handle(b)});
}

TEST_F(ChannelHooksTest, DetachingSendsDetachedDestroysAndReportsFailures) {
    TestChannel channel(f.manager.get(), file);
    TestHook* a = host.make("a");
    TestHook* b = host.make("b");
    channel.getChannelSettings().setChannelHooks({TestHookHost::handle(a), TestHookHost::handle(b)});
    a->failOnEvent = true;
    channel.getChannelSettings().detachChannelHooks();
    EXPECT_EQ(host.destroyed, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(channel.getChannelSettings().getChannelHooks().empty());
    ASSERT_EQ(errors.errors.size(), 1u);
    EXPECT_EQ(errors.errors[0],
              std::make_pair(std::string("Can't clear the channel hook: a"), std::string("event refused")));
}

// Without the hook code, a channel's stored hooks are kept in its file.
TEST(ChannelSettings, WithoutHookCodeStoredHooksSurviveSaves) {
    testsupport::TempDir dir;
    const std::string file = dir.file("c.rss");
    testsupport::writeFile(file,
                           "[Channel Hooks]\nChannelHook1=/x/mail.hook\n[ChannelHookConfig-1]\n_DisplayName=Mail\n");
    TestChannel channel(nullptr, file);
    channel.load();
    channel.save();
    EXPECT_EQ(tools::getIniString(file, "Channel Hooks", "ChannelHook1", "", true), "/x/mail.hook");
    EXPECT_EQ(tools::getIniString(file, "ChannelHookConfig-1", "_DisplayName", "", true), "Mail");
}

// Catches: settings saved on their own (as the hook page does) into a file
// that can't be written, reported as saved.
TEST(ChannelSettings, SaveOnItsOwnReportsAFailedWrite) {
    testsupport::TempDir dir;
    channels::ChannelSettings settings(nullptr);
    settings.setChannelCategories({"News"});
    EXPECT_THROW(settings.save(dir.file("no-such-folder/c.rss")), channels::Exception);

    settings.save(dir.file("c.rss"));
    EXPECT_EQ(tools::getIndexedIniList(dir.file("c.rss"), "Settings", "ChannelCategory-", 1, true),
              std::vector<std::string>{"News"});
}
