#pragma once
// Helpers shared by the channel manager, RSS channel and worker tests: an
// engine folder (channels, logs, debug.ini), a manager with a replaceable
// clock, feed texts and an event recorder.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "channels/channel.h"
#include "channels/channelEvents.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/rss/rssChannel.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace nettest {

struct Item {
    std::string id;
    std::string title;
};

// An RSS 2.0 document whose items carry the ids as guids.
inline std::string rssFeedItems(const std::vector<Item>& items, const std::string& extraChannelXml = "") {
    std::ostringstream o;
    o << "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Test feed</title>"
      << "<link>http://example.test/</link><description>d</description>" << extraChannelXml;
    for (const Item& item : items)
        o << "<item><guid>" << item.id << "</guid><title>" << (item.title.empty() ? item.id : item.title)
          << "</title><link>http://example.test/" << item.id << "</link></item>";
    o << "</channel></rss>\n";
    return o.str();
}

inline std::string rssFeed(const std::vector<std::string>& ids, const std::string& extraChannelXml = "") {
    std::vector<Item> items;
    for (const auto& id : ids) items.push_back({id, ""});
    return rssFeedItems(items, extraChannelXml);
}

// Records every event as a short text:
//   Begin:<name>  End:<name>:ok|failed:requested|auto  Expired:<name>:<pos>
//   New:<name>:<pos>:<consolidation>  Consolidated:<name>:<p1>,<p2>
//   Error:<name>:<msg>|<info>  Info:<msg>
class EventRecorder : public channels::EventListener {
public:
    void onInfoMsgEvent(const channels::InfoMsgEvent& e) override { add("Info:" + e.getMsg()); }
    void onBeginChannelUpdateEvent(const channels::BeginChannelUpdateEvent& e) override {
        add("Begin:" + name(e.getChannel()));
    }
    void onEndChannelUpdateEvent(const channels::EndChannelUpdateEvent& e) override {
        add("End:" + name(e.getChannel()) + (e.getUpdatedOk() ? ":ok" : ":failed") +
            (e.isRequestedUpdate() ? ":requested" : ":auto"));
    }
    void onNewFeedItemEvent(const channels::NewFeedItemEvent& e) override {
        add("New:" + name(e.getChannel()) + ":" + std::to_string(e.getFeedItemIndex()) + ":" +
            std::to_string(e.getConsolidationIndex()));
    }
    void onExpiredFeedItemEvent(const channels::ExpiredFeedItemEvent& e) override {
        add("Expired:" + name(e.getChannel()) + ":" + std::to_string(e.getFeedItemIndex()));
    }
    void onConsolidatedNewFeedItemsEvent(const channels::ConsolidatedNewFeedItemsEvent& e) override {
        std::string list;
        for (int p : e.getFeedItemIndexes()) list += (list.empty() ? "" : ",") + std::to_string(p);
        add("Consolidated:" + name(e.getChannel()) + ":" + list);
    }
    void onChannelErrorEvent(const channels::ChannelErrorEvent& e) override {
        add("Error:" + name(e.getChannel()) + ":" + e.getErrorMsg() + "|" + e.getAdditionalInfo());
    }

    std::vector<std::string> events() const {
        std::lock_guard<std::mutex> g(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard<std::mutex> g(mutex_);
        events_.clear();
    }
    // Waits (bounded) until `count` events whose text begins with `prefix` arrived.
    bool waitFor(const std::string& prefix, std::size_t count, int timeoutMs) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            std::size_t n = 0;
            for (const auto& e : events_)
                if (e.rfind(prefix, 0) == 0) ++n;
            return n >= count;
        });
    }

    // Channels are named in the records by their file's base name.
    static std::string name(const channels::Channel* channel) {
        if (!channel) return "-";
        std::string file = channel->getConfigFilename();
        auto slash = file.find_last_of('/');
        if (slash != std::string::npos) file = file.substr(slash + 1);
        auto dot = file.rfind('.');
        return dot == std::string::npos ? file : file.substr(0, dot);
    }

private:
    void add(const std::string& text) {
        {
            std::lock_guard<std::mutex> g(mutex_);
            events_.push_back(text);
        }
        changed_.notify_all();
    }
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> events_;
};

// A folder with Channels/, Logs/ and debug.ini, and a manager on it whose
// clock the test sets.
class Engine {
public:
    explicit Engine(int autoUpdateInterval = 3600) {
        channelsDir = dir.file("Channels");
        logsDir = dir.file("Logs");
        debugIni = dir.file("debug.ini");
        std::filesystem::create_directories(channelsDir);
        std::filesystem::create_directories(logsDir);
        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(true);
        defaults.setAutoUpdateInterval(autoUpdateInterval);
        manager = std::make_unique<channels::ChannelManager>("orvan-test/1.0", channelsDir, logsDir, defaults, "", "");
        manager->setDebugConfigFilename(debugIni);
        manager->setClock([this] { return clock.load(); });
        manager->addEventHandler(&recorder);
    }
    ~Engine() {
        manager->stopChannelManager(false);
        manager->removeEventHandler(&recorder);
    }

    void setDebug(const std::string& key, const std::string& value) {
        tools::writeIniString(debugIni, "Debug", key, value);
    }

    // Writes a channel file for the URL and returns its path.
    std::string writeChannelFile(const std::string& name, const std::string& url) {
        const std::string path = channelsDir + "/" + name + ".rss";
        tools::writeIniString(path, "Config", "RssChannelUrl", url);
        return path;
    }

    // A new channel on a new file, loaded and added to the manager.
    channels::RssChannel* addChannel(const std::string& name, const std::string& url) {
        auto channel = std::make_unique<channels::RssChannel>(manager.get(), writeChannelFile(name, url));
        channel->load();
        manager->addChannel(channel.get());
        return channel.release();
    }

    testsupport::TempDir dir;
    std::string channelsDir, logsDir, debugIni;
    std::atomic<std::time_t> clock{1700000000};
    EventRecorder recorder;
    std::unique_ptr<channels::ChannelManager> manager;
};

// A local time today at hh:mm:ss.
inline std::time_t localTimeAt(int hour, int minute, int second) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// A UTC time on 2026-12-06 (a Sunday) at hh:00 plus days.
inline std::time_t utcTime(int day, int hour) {
    return static_cast<std::time_t>(1796515200) + day * 86400 + hour * 3600;
}

}  // namespace nettest
