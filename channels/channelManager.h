#pragma once
// The owner of every subscribed channel: the channel table, the Internet
// session through which all feeds and images are downloaded, and the one
// worker thread that updates channels (channels/updateWorker.h).
//
//   ChannelManager manager(userAgent, channelsDir, logsDir, defaults, tmpl, bg);
//   manager.addEventHandler(&listener);        // channel events (and errors)
//   manager.loadChannels();                    // every ".rss", then other kinds
//   manager.startChannelManager();             // session + worker thread
//   ...
//   manager.stopChannelManager(false);         // waits for the worker, frees channels
//
// Channel kinds: ".rss" files load as RssChannel, then ".plugin" files as
// PluginChannel; further kinds are added once at start-up with addChannelKind
// and load after these, in the order they were added.
//
// Every download goes through downloadUrl, which honours the DisableInternet
// debug switch and repeats a request that a proxy refused with 407 once with
// the proxy credential.
//
// Locking: the manager lock (getLock) guards the table, the request queue and
// the options.
//
// The engine's lock order, outermost first (a thread holding one lock takes
// only locks further down the list):
//
//   channel manager -> channel -> channel file's write lock (platform/profile.h)
//       -> channel configuration, settings, state -> plug-in manager -> plug-in
//
// The rule: no event is raised, no hook is called and no blocking send is
// made while any of these locks is held. Handlers and hooks run on other
// threads' terms (a library hook runs on the user-interface thread, which
// may be waiting for one of these locks), so such a call under a lock can
// deadlock. Where an operation finds events under a lock (a channel's hooks
// loading, plug-ins failing to load, port changes failing), it collects them
// and raises them right after the lock is released, in the order found.
// Event sources guard their handler sets themselves (lib/widgets/eventSource.h).
#include <atomic>
#include <ctime>
#include <functional>
#include <list>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "channels/channelEvents.h"
#include "lib/misc/threadSafety.h"
#include "lib/widgets/eventSource.h"

namespace tools {
class HttpAuth;
class InternetSession;
}  // namespace tools

namespace channels {

class Channel;
class ChannelSettings;
class UpdateWorker;

class ChannelManager : public TEventSource<Event> {
public:
    // Makes a new, not yet loaded channel of one kind for a channel file.
    using ChannelFactory = std::function<std::unique_ptr<Channel>(ChannelManager& manager, const std::string& file)>;
    // The current time; replaceable for tests.
    using Clock = std::function<std::time_t()>;
    // (start, end) in seconds since local midnight; end 0 stands for 86400.
    using BlackoutIntervals = std::vector<std::pair<int, int>>;

    // An empty user agent is replaced by the process-wide default.
    ChannelManager(const std::string& userAgent, const std::string& channelsDir, const std::string& logsDir,
                   const ChannelSettings& defaultSettings, const std::string& defaultSummaryTemplate,
                   const std::string& defaultSummaryBackground);
    // Does not destroy channels (stopChannelManager does); stops a running
    // worker first.
    ~ChannelManager() override;
    ChannelManager(const ChannelManager&) = delete;
    ChannelManager& operator=(const ChannelManager&) = delete;

    static void setDefaultHttpUserAgent(const std::string& userAgent);
    static std::string getDefaultHttpUserAgent();

    // Registers a channel kind by the extension of its files (".plugin");
    // a second registration of an extension replaces the factory. ".rss" is
    // built in.
    static void addChannelKind(const std::string& extension, ChannelFactory factory);

    // Set-up, before startChannelManager.
    void setBlackoutIntervals(const BlackoutIntervals& intervals);
    void setUpdateJitterPercent(int percent);
    void setCheckRasConnection(bool check);
    // Takes ownership; null clears.
    void setHttpProxyAuth(tools::HttpAuth* auth);
    void setDebugConfigFilename(const std::string& file);
    void setClock(Clock clock);

    std::string getHttpUserAgent() const;
    std::string getChannelsDir() const;
    std::string getLogsDir() const;
    std::string getDefaultSummaryTemplateFilename() const;
    std::string getDefaultSummaryBackgroundFilename() const;
    int getUpdateJitterPercent() const;
    bool getCheckRasConnection() const;
    int getChannelCount() const;
    std::string getDebugConfigFilename() const;
    std::time_t now() const;

    SharedExclusiveLock& getLock() const { return lock_; }
    // The table, in order of adding; hold getLock() shared while walking it.
    const std::list<Channel*>& getChannels() const { return channels_; }
    ChannelSettings& getDefaultChannelSettings() { return *defaultSettings_; }
    // The session of all downloads (proxy, time-outs, trusted certificates).
    tools::InternetSession& getInternetSession() { return *session_; }

    // Values of section "Debug" of the debug configuration file.
    int getDebugInt(const std::string& key, int defaultValue) const;
    bool getDebugBool(const std::string& key, bool defaultValue) const;
    std::string getDebugString(const std::string& key, const std::string& defaultValue) const;

    // Loads every channel file of the channels directory; a file that fails
    // raises a ChannelError on the manager and is skipped.
    virtual void loadChannels();
    // Starts the worker thread. Throws channels::Exception.
    virtual void startChannelManager();
    // Stops and waits for the worker (a running update is cut short at its
    // download and ends normally), saves the channels when asked, and
    // destroys every channel.
    virtual void stopChannelManager(bool saveChannels);
    // The manager owns the channel from now on.
    virtual void addChannel(Channel* channel);
    // Deletes the channel file, retires the channel (it stays a valid object
    // until stopChannelManager) and drops its pending requests. report, when
    // given, receives notes for the user. Throws when the file can't be
    // deleted; the channel then stays.
    virtual void deleteChannel(Channel* channel, std::string* report);
    // Queues an explicit update, served at the worker's next pass.
    virtual void requestChannelUpdate(Channel* channel);
    // The first channel whose source equals the text without regard to case
    // and to '/' against '\\'; null when none.
    virtual Channel* findChannel(const std::string& sourceUrl) const;

    // A download for the engine; see tools::readUrl for the arguments.
    // siteAuth is the channel's own credential (sent after a 401).
    virtual void downloadUrl(const std::string& url, std::string* lastModified, std::string* etag, bool forceDownload,
                             const tools::HttpAuth* siteAuth, int* status, std::string* statusText,
                             std::string* location, std::string& body);
    virtual void downloadUrl(const std::string& url, std::string& body);

    // Raises the event on the manager, then on the channel (and its hooks).
    virtual void raiseChannelEvent(const Event& event, Channel* channel);

    // Calls changeAppPluginServerPort of every channel of every manager.
    static void changeAppPluginServerPort(int oldPort, int newPort);

    // Whether local time `now` lies in a blackout interval; resumeTime gets
    // the interval's end (seconds since midnight).
    bool isInBlackout(int* resumeTime) const;

    // The worker's side of the table and the queue.
    // Takes the first queued request (null when none), dropping the channel
    // from `dueList` too.
    Channel* takeRequest(std::list<Channel*>& dueList);
    // Whether the channel is in the table (not deleted).
    bool isActiveChannel(const Channel* channel) const;
    // Saves the channel unless it was deleted; holds the manager lock shared
    // so that a deletion can't slip in between.
    void saveChannelIfActive(Channel& channel);
    // Number of queued requests.
    std::size_t getRequestCount() const;

    // The stop event of the worker (signalled by stopChannelManager).
    WaitableEvent& getStopEvent() { return stopEvent_; }
    bool isStopRequested() const { return stopRequested_.load(); }

private:
    // Waits for the worker thread to end, serving the sends made to this
    // thread meanwhile; false after the time-out.
    bool waitForWorker(std::uint32_t milliseconds);
    void loadChannelsOfKind(const std::string& extension, const ChannelFactory& factory);

    mutable SharedExclusiveLock lock_;
    std::string userAgent_;
    std::string channelsDir_;
    std::string logsDir_;
    BlackoutIntervals blackoutIntervals_;
    int updateJitterPercent_ = 0;
    bool checkRasConnection_ = false;
    std::unique_ptr<tools::HttpAuth> proxyAuth_;
    std::list<Channel*> channels_;
    std::list<Channel*> retired_;
    std::unordered_set<const Channel*> retiredSet_;
    std::unique_ptr<ChannelSettings> defaultSettings_;
    std::string defaultSummaryTemplate_;
    std::string defaultSummaryBackground_;
    std::unique_ptr<tools::InternetSession> session_;
    std::list<Channel*> requestQueue_;
    std::string debugConfigFile_;
    Clock clock_;

    WaitableEvent stopEvent_{true, false};
    std::atomic<bool> stopRequested_{false};
    WaitableEvent workerEnded_{true, false};
    std::thread worker_;
    bool started_ = false;
};

// The factory of ".rss" channel files.
std::unique_ptr<Channel> createRssChannel(ChannelManager& manager, const std::string& channelFile);

}  // namespace channels
