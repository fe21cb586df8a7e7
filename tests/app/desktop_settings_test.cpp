// The channel's desktop settings: the channel file's two sections beside the
// engine's, the viewed set and its counts, and saves from two threads.
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "app/settings/channelDesktopSettings.h"
#include "channels/channelConfig.h"
#include "channels/channelEvents.h"
#include "platform/profile.h"
#include "tests/app/app_fixture.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace {

using apptest::DesktopFixture;
using apptest::numberedItems;

std::string ini(const std::string& file, const std::string& section, const std::string& key) {
    return platform::profile::getString(file, section, key, "<missing>");
}

// Counts the files renamed into a folder (each atomic rewrite is one).
class RewriteCounter {
public:
    RewriteCounter(const std::string& dir, const std::string& name) : name_(name) {
        fd_ = inotify_init1(IN_NONBLOCK);
        inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO);
    }
    ~RewriteCounter() { close(fd_); }
    int count() {
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) break;
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len > 0 && name_ == event->name) ++count_;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return count_;
    }

private:
    int fd_;
    std::string name_;
    int count_ = 0;
};

struct RecordingObserver : ChannelDesktopSettingsObserver {
    std::vector<std::string> calls;
    void beginWaitCursor() override { calls.push_back("wait"); }
    void endWaitCursor() override { calls.push_back("done"); }
    void feedItemMarked(channels::Channel*, const std::string& id, bool viewed, bool, bool endOfBatch) override {
        calls.push_back(std::string(viewed ? "viewed " : "unviewed ") + id + (endOfBatch ? " end" : ""));
    }
    void channelRowChanged(channels::Channel*) override { calls.push_back("row"); }
};

TEST(DesktopSettings, RoundTripKeepsTheEngineSections) {
    DesktopFixture f;
    auto* channel = f.addChannel("news", numberedItems("news", 3));
    channel->getChannelConfig().setPreferredDescription("engine's text");
    channel->save();

    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    s.setNotifyOnNewItem(true);
    s.setNewItemSoundFile("/sounds/a b%.wav");
    s.setChannelItemViewHeight(240);
    s.addChannelOpens(3);
    s.markFeedItemViewed("id-2", true, false);
    s.markFeedItemViewed("id-1", true, true);  // saves
    // The engine saves after the desktop did: nothing of the desktop's goes.
    channel->save();

    ChannelDesktopSettings loaded(channel);
    loaded.load(channel->getConfigFilename());
    EXPECT_TRUE(loaded.getNotifyOnNewItem());
    EXPECT_FALSE(loaded.getAnimateOnNewItem());
    EXPECT_EQ(loaded.getNewItemSoundFile(), "/sounds/a b%.wav");
    EXPECT_EQ(loaded.getChannelItemViewHeight(), 240);
    EXPECT_EQ(loaded.getTotalChannelOpens(), 3);
    EXPECT_EQ(loaded.copyViewedFeedItems(), (std::set<std::string>{"id-1", "id-2"}));
    const std::string file = channel->getConfigFilename();
    EXPECT_EQ(ini(file, "ViewedFeedItems", "ViewedFeedItemId-1"), "id-1");
    EXPECT_EQ(ini(file, "ViewedFeedItems", "ViewedFeedItemId-3"), "<missing>");
    EXPECT_EQ(tools::getIniString(file, "Config", "PreferredChannelDescription", "", false), "engine's text")
        << testsupport::readFile(file);
}

TEST(DesktopSettings, MissingSectionsAndGapsLoadAsSpecified) {
    testsupport::TempDir dir;
    const std::string file = dir.file("c.rss");
    testsupport::writeFile(file,
                           "[Desktop Settings]\nLastViewTime=77\n"
                           "[ViewedFeedItems]\nViewedFeedItemId-1=b\nViewedFeedItemId-2=a\nViewedFeedItemId-4=d\n");
    ChannelDesktopSettings templ(nullptr);
    templ.setPlaySoundOnNewItem(true);
    templ.setUseQuickAccessMenu(true);
    setChannelDesktopSettingsTemplate(&templ);
    ChannelDesktopSettings s(nullptr);
    s.load(file);
    setChannelDesktopSettingsTemplate(nullptr);
    EXPECT_TRUE(s.getPlaySoundOnNewItem());
    EXPECT_TRUE(s.getUseQuickAccessMenu());
    EXPECT_FALSE(s.getNotifyOnNewItem());
    EXPECT_EQ(s.getLastViewTime(), 77);
    EXPECT_EQ(s.getLastNewItemTime(), 0);
    EXPECT_EQ(s.getChannelItemViewHeight(), -1);
    EXPECT_EQ(s.copyViewedFeedItems(), (std::set<std::string>{"a", "b"}));

    // Saving rewrites the section from 1 in sorted order: key 4 goes.
    s.save(file);
    EXPECT_EQ(ini(file, "ViewedFeedItems", "ViewedFeedItemId-1"), "a");
    EXPECT_EQ(ini(file, "ViewedFeedItems", "ViewedFeedItemId-2"), "b");
    EXPECT_EQ(ini(file, "ViewedFeedItems", "ViewedFeedItemId-4"), "<missing>");
    EXPECT_EQ(ini(file, "Desktop Settings", "nViewedFeedItems"), "-1");
}

TEST(DesktopSettings, CountsAndNewContent) {
    DesktopFixture f;
    auto* channel = f.addChannel("c", numberedItems("c", 4));
    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    s.markFeedItemViewed("id-1", true, false);
    s.markFeedItemViewed("gone", true, true);  // not in the feed
    EXPECT_EQ(s.getViewedFeedItemCount(), 1);
    EXPECT_EQ(s.getUnreadFeedItemCount(), 3);

    s.setLastViewTime(100);
    s.setLastNewItemTime(100);
    EXPECT_FALSE(s.hasNewContent());  // equal times
    s.setLastNewItemTime(101);
    EXPECT_TRUE(s.hasNewContent());

    // A stale cached count above the feed's size gives 0 unread, never less.
    testsupport::writeFile(f.channelFile("stale.ini"), "[Desktop Settings]\nnViewedFeedItems=9\n");
    s.load(f.channelFile("stale.ini"));
    EXPECT_EQ(s.getUnreadFeedItemCount(), 0);
    EXPECT_FALSE(s.hasNewContent());
}

TEST(DesktopSettings, LastViewTimeSavesOnlyAfterThirtySeconds) {
    DesktopFixture f;
    auto* channel = f.addChannel("c", numberedItems("c", 1));
    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    const std::string file = channel->getConfigFilename();
    s.setLastViewTime(1000);  // 1000 - 0: saved
    EXPECT_EQ(ini(file, "Desktop Settings", "LastViewTime"), "1000");
    s.setLastViewTime(1029);
    EXPECT_EQ(s.getLastViewTime(), 1029);
    EXPECT_EQ(ini(file, "Desktop Settings", "LastViewTime"), "1000");
    s.setLastViewTime(1059);
    EXPECT_EQ(ini(file, "Desktop Settings", "LastViewTime"), "1059");
    s.setLastViewTime(10);  // backwards: memory only
    EXPECT_EQ(ini(file, "Desktop Settings", "LastViewTime"), "1059");
}

TEST(DesktopSettings, MarkingAllTellsTheWindowsAndSavesOnce) {
    DesktopFixture f;
    auto* channel = f.addChannel("big", numberedItems("big", 1000));
    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    channel->save();
    RecordingObserver observer;
    setChannelDesktopSettingsObserver(&observer);
    RewriteCounter rewrites(f.channelFile(""), "big.rss");
    s.markAllFeedItemsViewed(true);
    setChannelDesktopSettingsObserver(nullptr);

    EXPECT_EQ(rewrites.count(), 1);
    EXPECT_EQ(s.getViewedFeedItemCount(), 1000);
    EXPECT_EQ(s.getUnreadFeedItemCount(), 0);
    ASSERT_GE(observer.calls.size(), 4u);
    // The last mark ends the batch, then the row is refreshed.
    const std::size_t n = observer.calls.size();
    EXPECT_EQ(observer.calls[n - 4], "viewed id-999 end");
    EXPECT_EQ(observer.calls[n - 3], "row");
    EXPECT_EQ(observer.calls.front(), "wait");
    EXPECT_EQ(observer.calls.back(), "done");
    EXPECT_EQ(std::count(observer.calls.begin(), observer.calls.end(), "row"), 1);
    ChannelDesktopSettings loaded(channel);
    loaded.load(channel->getConfigFilename());
    EXPECT_EQ(loaded.copyViewedFeedItems().size(), 1000u);
}

TEST(DesktopSettings, EngineSavesAndDesktopMarksFromTwoThreadsLoseNothing) {
    DesktopFixture f;
    auto* channel = f.addChannel("busy", numberedItems("busy", 50));
    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    std::atomic<bool> stop{false};
    std::thread engine([&] {
        for (int i = 0; !stop; ++i) {
            channel->getChannelConfig().setPreferredDescription("round " + std::to_string(i));
            channel->save();
        }
    });
    for (int k = 1; k <= 50; ++k) s.markFeedItemViewed("id-" + std::to_string(k), true, true);
    stop = true;
    engine.join();
    channel->getChannelConfig().setPreferredDescription("last");
    channel->save();

    ChannelDesktopSettings loaded(channel);
    loaded.load(channel->getConfigFilename());
    EXPECT_EQ(loaded.copyViewedFeedItems().size(), 50u);
    EXPECT_EQ(tools::getIniString(channel->getConfigFilename(), "Config", "PreferredChannelDescription", "", false),
              "last");
}

TEST(DesktopSettings, PruningKeepsMarksMadeMeanwhile) {
    DesktopFixture f;
    auto* channel = f.addChannel("p", numberedItems("p", 300));
    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    s.markFeedItemViewed("expired", true, false);
    std::atomic<bool> stop{false};
    std::thread pruner([&] {
        while (!stop) s.pruneViewedFeedItems();
    });
    for (int k = 1; k <= 300; ++k) s.markFeedItemViewed("id-" + std::to_string(k), true, false);
    stop = true;
    pruner.join();
    s.pruneViewedFeedItems();
    const auto viewed = s.copyViewedFeedItems();
    EXPECT_EQ(viewed.size(), 300u);
    EXPECT_EQ(viewed.count("expired"), 0u);
}

// An update saves the channel and then prunes the viewed set: the channel's
// save writes the desktop's sections too, and the prune rewrites the file
// only when that left something out.
TEST(DesktopSettings, AnUpdateRewritesTheChannelFileOnceUnlessSomethingChangedAfterIt) {
    struct Case {
        const char* name;
        bool viewExpiredItem;      // a viewed id that the feed no longer holds
        bool lockedDuringSave;     // another thread holds the settings meanwhile
        int newItemTimeAfterSave;  // 0: none
        int rewrites;
    };
    const Case cases[] = {
        {"nothing after the save", false, false, 0, 1},
        {"an expired viewed id", true, false, 0, 2},
        {"settings busy during the save", false, true, 0, 2},
        {"a change after the save", false, false, 5000, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DesktopFixture f;
        auto* channel = f.addChannel("u", numberedItems("u", 3));
        ChannelDesktopSettings& s = DesktopFixture::settings(channel);
        s.markFeedItemViewed("id-1", true, false);
        channel->save();  // as loaded at start-up
        s.pruneViewedFeedItems();
        if (c.viewExpiredItem) s.markFeedItemViewed("gone", true, false);
        s.setLastNewItemTime(4000);  // new items arrived

        RewriteCounter rewrites(f.channelFile(""), "u.rss");
        if (c.lockedDuringSave) {
            std::mutex m;
            std::condition_variable cv;
            bool held = false, saved = false;
            std::thread holder([&] {
                SharedLockGuard guard(&s.getLock(), __FILE__, __LINE__);
                std::unique_lock lock(m);
                held = true;
                cv.notify_all();
                cv.wait_for(lock, std::chrono::seconds(10), [&] { return saved; });
            });
            {
                std::unique_lock lock(m);
                ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return held; }));
            }
            channel->save();
            {
                std::lock_guard lock(m);
                saved = true;
            }
            cv.notify_all();
            holder.join();
        } else {
            channel->save();
        }
        rewrites.count();  // read now: the kernel merges a rename with an unread one like it
        if (c.newItemTimeAfterSave != 0) s.setLastNewItemTime(c.newItemTimeAfterSave);
        s.pruneViewedFeedItems();

        EXPECT_EQ(rewrites.count(), c.rewrites);
        ChannelDesktopSettings loaded(channel);
        loaded.load(channel->getConfigFilename());
        EXPECT_EQ(loaded.getLastNewItemTime(), c.newItemTimeAfterSave != 0 ? c.newItemTimeAfterSave : 4000);
        EXPECT_EQ(loaded.copyViewedFeedItems(), (std::set<std::string>{"id-1"}));
    }
}

TEST(DesktopSettings, CopiesLeaveChannelAndRunTimeFilesBehind) {
    DesktopFixture f;
    auto* channel = f.addChannel("c", numberedItems("c", 2));
    ChannelDesktopSettings& s = DesktopFixture::settings(channel);
    s.setAnimateOnNewItem(true);
    s.markFeedItemViewed("id-1", true, false);
    s.setChannelErrorText("first");
    s.setChannelErrorText("second");
    EXPECT_EQ(s.getChannelErrorText(), "first\r\nsecond\r\n");

    auto temp = std::make_unique<tools::TempFile>(".txt");
    const std::string tempName = temp->getFilename();
    s.setLastFeedTempFile(std::move(temp));
    ChannelDesktopSettings templ(nullptr);
    templ.copyFrom(s);
    EXPECT_EQ(templ.getChannel(), nullptr);
    EXPECT_TRUE(templ.getAnimateOnNewItem());
    EXPECT_TRUE(templ.isFeedItemViewed("id-1"));
    ChannelDesktopSettings copy(s);
    EXPECT_EQ(copy.getChannel(), channel);
    EXPECT_TRUE(std::filesystem::exists(tempName));
    s.setLastFeedTempFile(nullptr);  // the one shown before is deleted
    EXPECT_FALSE(std::filesystem::exists(tempName));
}

TEST(DesktopSettings, TableAttachesAndDetaches) {
    DesktopFixture f;
    auto* channel = f.addChannel("t", numberedItems("t", 1));
    ChannelDesktopSettings* s = getChannelDesktopSettings(channel);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(getChannelDesktopSettingsTable().find(channel), s);
    getChannelDesktopSettingsTable().remove(channel);
    EXPECT_EQ(getChannelDesktopSettings(channel), nullptr);
    EXPECT_EQ(getChannelDesktopSettingsTable().size(), 0u);
}

// The worker raises an event for a channel and its handler reads the
// channel's settings; the user deletes the channel before the handler is
// done with them. The handler goes on using what it read, as the event
// handlers of the windows do, so the settings must outlive the deletion
// (ASan reports a use after free otherwise).
bool isFreed(const void* object, std::size_t size) {
#if defined(__SANITIZE_ADDRESS__)
    // The first touch of a freed object would be its mutex, which the
    // sanitizer doesn't see: ask it directly instead of hanging on garbage.
    return __asan_region_is_poisoned(const_cast<void*>(object), size) != nullptr;
#else
    (void)object;
    (void)size;
    return false;
#endif
}

TEST(DesktopSettings, DeletingAChannelWhileTheWorkerRaisesEventsKeepsItsSettingsValid) {
    DesktopFixture f;
    constexpr int kRounds = 200;
    constexpr auto kWait = std::chrono::seconds(10);

    std::mutex m;
    std::condition_variable cv;
    channels::Channel* victim = nullptr;  // the channel of the current round
    int round = 0;                        // rounds whose channel was created
    int held = 0;                         // rounds whose handler holds the settings
    int deleted = 0;                      // rounds whose channel was deleted
    int used = 0;                         // rounds whose handler used the settings after the delete
    bool failed = false;
    channels::Channel* driver = nullptr;

    struct Handler : channels::EventListener {
        std::function<void(channels::Channel*)> onError;
        void onChannelErrorEvent(const channels::ChannelErrorEvent& event) override { onError(event.getChannel()); }
    } handler;
    handler.onError = [&](channels::Channel* channel) {
        ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
        if (settings == nullptr || channel == driver) return;
        std::unique_lock lock(m);
        const int mine = round;
        ++held;
        cv.notify_all();
        if (!cv.wait_for(lock, kWait, [&] { return deleted >= mine; })) {
            failed = true;
            return;
        }
        if (isFreed(settings, sizeof *settings)) {
            failed = true;
            cv.notify_all();
            return;
        }
        lock.unlock();
        settings->setChannelErrorText("late error");
        (void)settings->getUnreadFeedItemCount();
        (void)settings->copyViewedFeedItems();
        lock.lock();
        ++used;
        cv.notify_all();
    };
    f.manager->addEventHandler(&handler);

    // The worker's update of this channel raises one error event for each
    // round's channel.
    auto* driverChannel = f.addChannel("driver", numberedItems("driver", 1));
    driver = driverChannel;
    driverChannel->onUpdate = [&](std::string&, bool, bool&) {
        for (int k = 1; k <= kRounds; ++k) {
            channels::Channel* channel;
            {
                std::unique_lock lock(m);
                if (!cv.wait_for(lock, kWait, [&] { return round >= k; })) {
                    failed = true;
                    return;
                }
                channel = victim;
            }
            f.manager->raiseChannelEvent(
                channels::ChannelErrorEvent(f.manager->now(), channel, "Can't update the feed.", "busy"), channel);
        }
    };
    testsupport::writeFile(f.dir.file("debug.ini"), "[Debug]\nChannelUpdateThreadInterval=1\n");
    f.manager->startChannelManager();
    driver->requestUpdate();

    for (int k = 1; k <= kRounds && !failed; ++k) {
        auto* channel = f.addChannel("victim" + std::to_string(k), numberedItems("v", 3));
        channel->save();
        {
            std::unique_lock lock(m);
            victim = channel;
            round = k;
            cv.notify_all();
            if (!cv.wait_for(lock, kWait, [&] { return held >= k || failed; })) failed = true;
        }
        if (failed) break;
        // What the delete command does.
        f.manager->deleteChannel(channel, nullptr);
        getChannelDesktopSettingsTable().remove(channel);
        EXPECT_EQ(getChannelDesktopSettings(channel), nullptr);
        std::unique_lock lock(m);
        deleted = k;
        cv.notify_all();
        if (!cv.wait_for(lock, kWait, [&] { return used >= k || failed; })) failed = true;
    }
    EXPECT_FALSE(failed);
    EXPECT_EQ(used, kRounds);
    EXPECT_EQ(getChannelDesktopSettingsTable().size(), 1u);  // the driver's
    // Shut-down's order: the table goes while the channels still exist.
    getChannelDesktopSettingsTable().clear();
    f.manager->stopChannelManager(false);
    f.manager->removeEventHandler(&handler);
}

}  // namespace
