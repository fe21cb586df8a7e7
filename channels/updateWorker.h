#pragma once
// The channel manager's worker: decides which channels to update and updates
// them one after the other, turning each update into channel events.
//
// Each pass (every ChannelUpdateThreadInterval seconds, default 2):
//   - in a blackout interval no channel is due (a notice at most every 15
//     minutes); explicit requests are still served;
//   - otherwise every channel whose interval (plus jitter) has passed and
//     whose publisher does not skip the current UTC hour or weekday is due;
//   - explicit requests are served first (also ones arriving during the
//     pass), then the due channels, until the stop event is set.
// One update raises, in this order: BeginChannelUpdate; ExpiredFeedItem per
// vanished id; NewFeedItem per new id; ConsolidatedNewFeedItems when any id
// is new; ChannelError when saving failed; EndChannelUpdate. A failed fetch
// gives BeginChannelUpdate, ChannelError "Can't update the feed.",
// EndChannelUpdate(false). Ids are compared without regard to case and
// announced in that order.
//
// The manager runs workerThreadProc on its thread; tests may drive runPass
// directly (with the manager's clock replaced).
#include <ctime>
#include <list>
#include <map>
#include <string>

#include "lib/misc/stringHelpers.h"

namespace channels {

class Channel;
class ChannelManager;
class Event;
class Feed;

// Item id -> position in its feed; the first position of an id wins.
using FeedItemIndex = std::map<std::string, int, LessNoCase>;

class UpdateWorker {
public:
    explicit UpdateWorker(ChannelManager& manager);

    // Logs, runs the loop, returns its result (0 after a normal stop).
    int workerThreadProc();
    // Passes until the stop event is set; returns 0 then.
    int runUpdateLoop();
    // One pass: the blackout test, the scan for due channels (firstPass with
    // forceFirst makes every automatically updated channel due), the drain.
    void runPass(bool firstPass, bool forceFirst);
    // One update with its Begin and End events and error handling.
    void updateChannel(Channel* channel, bool isRequested);
    // Fetch, compare, raise item events, store.
    void doUpdateChannel(Channel* channel, bool isRequested);

    static void buildFeedItemIndex(const Feed& feed, FeedItemIndex& index);
    // Forgets when the last blackout and offline notices were given.
    static void resetNoticeTimes();

private:
    // Raises a notice that concerns no channel; a listener that throws is
    // logged and the pass goes on.
    void raiseNotice(const Event& event);

    ChannelManager& manager_;
};

}  // namespace channels
