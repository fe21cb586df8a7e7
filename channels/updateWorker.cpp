#include "channels/updateWorker.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "channels/channel.h"
#include "channels/channelEvents.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/exception.h"
#include "channels/feed/feed.h"
#include "lib/log/messageLog.h"
#include "platform/process.h"
#include "tools/http.h"

namespace channels {

namespace {

// Shared by all managers: when the last notices were given.
std::atomic<std::time_t> lastBlackoutNoticeTime{0};
std::atomic<std::time_t> lastOfflineNoticeTime{0};

// The channel's name for the log: a channel known only by its URL must not
// put the URL's password there.
std::string logName(const Channel* channel) { return tools::maskUrlCredentials(channel->getDisplayName()); }

std::string twoDigits(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

}  // namespace

UpdateWorker::UpdateWorker(ChannelManager& manager) : manager_(manager) {}

void UpdateWorker::resetNoticeTimes() {
    lastBlackoutNoticeTime = 0;
    lastOfflineNoticeTime = 0;
}

int UpdateWorker::workerThreadProc() {
    ORVAN_LOG(logGroupChannelManagerActivity()) << "Channel manager worker thread started." << std::endl;
    const int rc = runUpdateLoop();
    ORVAN_LOG(logGroupChannelManagerActivity()) << "Channel manager worker thread ending: rc=" << rc << std::endl;
    return rc;
}

int UpdateWorker::runUpdateLoop() {
    int interval = manager_.getDebugInt("ChannelUpdateThreadInterval", 2);
    if (interval < 1) interval = 1;  // a pass interval of 0 would spin
    const bool forceFirst = manager_.getDebugBool("ForceChannelUpdatesAtStartup", false);
    bool firstPass = true;
    for (;;) {
        if (manager_.getStopEvent().wait(static_cast<std::uint32_t>(interval) * 1000u) == kWaitObject0) return 0;
        try {
            runPass(firstPass, forceFirst);
        } catch (const std::exception& e) {
            // A listener that throws must not end the worker, nor the process
            // with it: the pass is over, the next one comes as usual.
            ORVAN_LOG(logGroupChannelManagerActivity())
                << "Exception caught in an update pass: " << e.what() << std::endl;
        } catch (...) {
            ORVAN_LOG(logGroupChannelManagerActivity()) << "Unknown exception caught in an update pass." << std::endl;
        }
        firstPass = false;
    }
}

void UpdateWorker::runPass(bool firstPass, bool forceFirst) {
    std::list<Channel*> due;
    int resumeTime = 0;
    if (manager_.isInBlackout(&resumeTime)) {
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Channel updates are blacked out." << std::endl;
        const std::time_t now = manager_.now();
        if (now - lastBlackoutNoticeTime.load() > 899) {
            InfoMsgEvent event(now, "Channel updates are blacked out. Service will resume at " +
                                        twoDigits((resumeTime / 3600) % 24) + ":" + twoDigits((resumeTime / 60) % 60) +
                                        ".");
            raiseNotice(event);
            lastBlackoutNoticeTime = now;
        }
    } else {
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Scanning channel table." << std::endl;
        const std::time_t now = manager_.now();
        // Notices are raised after the scan, without the manager's lock: a
        // listener may well ask the manager for something that needs it.
        std::vector<std::string> suspended;
        {
            SharedLockGuard guard(&manager_.getLock(), __FILE__, __LINE__);
            for (Channel* channel : manager_.getChannels()) {
                if (firstPass && forceFirst && channel->getChannelSettings().isAutoUpdateEnabled()) {
                    due.push_back(channel);
                    continue;
                }
                const bool wasSuspended = channel->isSuspendedByPublisher();
                if (channel->isUpdateDue(now)) {
                    due.push_back(channel);
                } else if (!wasSuspended && channel->isSuspendedByPublisher()) {
                    suspended.push_back(channel->getDisplayName());
                }
            }
        }
        for (const std::string& name : suspended) {
            InfoMsgEvent event(now, "Automatic updates of " + name +
                                        " have been temporarily suspended at the request of the publisher.");
            raiseNotice(event);
        }
    }

    bool updated = false;
    while (!manager_.getStopEvent().isSet()) {
        bool requested = false;
        Channel* channel = manager_.takeRequest(due);
        if (channel) {
            requested = true;
            ORVAN_LOG(logGroupChannelManagerActivity())
                << "Updating " << logName(channel) << " due to an explicit request." << std::endl;
        } else if (!due.empty()) {
            channel = due.front();
            due.pop_front();
            if (!manager_.isActiveChannel(channel)) continue;  // deleted since the scan
            ORVAN_LOG(logGroupChannelManagerActivity())
                << "Automatically updating " << logName(channel) << "." << std::endl;
        }
        if (!channel) break;
        updateChannel(channel, requested);
        updated = true;
    }
    // Each update replaced a feed: what the old ones held goes back.
    if (updated) platform::process::releaseFreeMemory();
}

void UpdateWorker::updateChannel(Channel* channel, bool isRequested) {
    if (manager_.getCheckRasConnection()) {
        bool connected = false;
        if (!tools::isRasConnected(connected)) {
            ORVAN_LOG(logGroupChannelManagerActivity()) << "WARNING: Couldn't check for RAS connections." << std::endl;
        } else if (!connected) {
            const std::time_t now = manager_.now();
            if (now - lastOfflineNoticeTime.load() > 299) {
                InfoMsgEvent event(now, "Not connected to the Internet. Channel updates have been suspended.");
                raiseNotice(event);
                lastOfflineNoticeTime = now;
            }
            return;
        }
    }

    ORVAN_LOG(logGroupChannelManagerActivity()) << "Updating channel: " << logName(channel) << std::endl;
    try {
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Raising the BeginChannelUpdate event." << std::endl;
        manager_.raiseChannelEvent(BeginChannelUpdateEvent(manager_.now(), channel), channel);
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Updating the channel." << std::endl;
        doUpdateChannel(channel, isRequested);
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Raising the EndChannelUpdate event." << std::endl;
        manager_.raiseChannelEvent(EndChannelUpdateEvent(manager_.now(), channel, true, isRequested), channel);
    } catch (const std::exception& e) {
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Exception caught:" << e.what() << std::endl;
        manager_.raiseChannelEvent(ChannelErrorEvent(manager_.now(), channel, "Can't update the feed.", e.what()),
                                   channel);
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Raising the EndChannelUpdate event." << std::endl;
        manager_.raiseChannelEvent(EndChannelUpdateEvent(manager_.now(), channel, false, isRequested), channel);
    }
}

void UpdateWorker::doUpdateChannel(Channel* channel, bool isRequested) {
    ChannelState& state = channel->getChannelState();
    FeedItemIndex oldIndex;
    bool force = false;
    {
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Building an index of the old feed items." << std::endl;
        const Feed* lastFeed = state.getLastFeed();
        SharedLockGuard feedGuard(&lastFeed->getLock(), __FILE__, __LINE__);
        buildFeedItemIndex(*lastFeed, oldIndex);
        force = lastFeed->getFeedTime() == 0;
    }

    ORVAN_LOG(logGroupChannelManagerActivity()) << "Getting the latest feed for " << logName(channel) << std::endl;
    state.setLastFetchTime(manager_.now());
    bool unchanged = false;
    std::unique_ptr<Feed> feed = channel->getLatestFeed(force, &unchanged);
    if (feed)
        feed->setFeedTime(manager_.now());
    else
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Feed is unchanged." << std::endl;

    FeedItemIndex newIndex;
    if (feed) {
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Building an index of the new feed items." << std::endl;
        {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            buildFeedItemIndex(*feed, newIndex);
        }
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Checking for expired items." << std::endl;
        for (const auto& [id, position] : oldIndex) {
            if (newIndex.count(id)) continue;
            ORVAN_LOG(logGroupChannelManagerActivity())
                << "- Raising an ExpiredFeedItem event: feedItemIndex=" << position << std::endl;
            manager_.raiseChannelEvent(ExpiredFeedItemEvent(manager_.now(), channel, position), channel);
        }
        ORVAN_LOG(logGroupChannelManagerActivity()) << "Replacing the old feed with the new one." << std::endl;
        state.setLastFeed(std::move(feed));

        ORVAN_LOG(logGroupChannelManagerActivity()) << "Checking for new feed items." << std::endl;
        int consolidationIndex = 0;
        std::vector<int> positions;
        FeedItemIdSet ids;
        for (const auto& [id, position] : newIndex) {
            if (oldIndex.count(id)) continue;
            ORVAN_LOG(logGroupChannelManagerActivity())
                << "Raising a NewFeedItem event: feedItemId=" << id << std::endl;
            manager_.raiseChannelEvent(
                NewFeedItemEvent(manager_.now(), channel, position, consolidationIndex, isRequested), channel);
            positions.push_back(position);
            ids.insert(id);
            ++consolidationIndex;
        }
        state.setNewFeedItems(ids, static_cast<int>(positions.size()));
        if (!positions.empty()) {
            ORVAN_LOG(logGroupChannelManagerActivity()) << "Raising a ConsolidatedNewFeedsItem event." << std::endl;
            manager_.raiseChannelEvent(ConsolidatedNewFeedItemsEvent(manager_.now(), channel, positions, isRequested),
                                       channel);
        }
    }

    ORVAN_LOG(logGroupChannelManagerActivity()) << "Saving the updated channel." << std::endl;
    try {
        manager_.saveChannelIfActive(*channel);
    } catch (const std::exception& e) {
        ChannelErrorEvent event(manager_.now(), channel, "Can't save the channel details.", e.what());
        manager_.raiseEvent(event);
    }
    ORVAN_LOG(logGroupChannelManagerActivity()) << "Channel update complete." << std::endl;
}

void UpdateWorker::raiseNotice(const Event& event) {
    try {
        manager_.raiseEvent(event);
    } catch (const std::exception& e) {
        ORVAN_LOG(logGroupChannelManagerActivity())
            << "Exception caught while raising a notice: " << e.what() << std::endl;
    }
}

void UpdateWorker::buildFeedItemIndex(const Feed& feed, FeedItemIndex& index) {
    int position = 0;
    for (const FeedItem& item : feed.getFeedItems()) index.emplace(item.getId(), position++);
}

}  // namespace channels
