#include "channels/channelManager.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <system_error>

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelSettings.h"
#include "channels/exception.h"
#include "channels/plugin/pluginChannel.h"
#include "platform/process.h"
#include "channels/rss/rssChannel.h"
#include "channels/updateWorker.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "platform/messages.h"
#include "tools/http.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"

namespace channels {

namespace {

std::mutex& defaultAgentMutex() {
    static std::mutex m;
    return m;
}
std::string& defaultAgent() {
    static std::string agent;
    return agent;
}

// Channel kinds after ".rss", in the order they were added; plug-in channel
// files (".plugin") are known from the start.
struct ChannelKinds {
    std::mutex mutex;
    std::vector<std::pair<std::string, ChannelManager::ChannelFactory>> kinds{{".plugin", createPluginChannel}};
};
ChannelKinds& channelKinds() {
    static ChannelKinds k;
    return k;
}

// The live managers, for changeAppPluginServerPort.
struct ManagerRegistry {
    SharedExclusiveLock lock;
    std::list<ChannelManager*> managers;
};
ManagerRegistry& managerRegistry() {
    static ManagerRegistry* r = new ManagerRegistry;  // outlives static managers
    return *r;
}

std::string slashesToBackslashes(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and set-up

ChannelManager::ChannelManager(const std::string& userAgent, const std::string& channelsDir, const std::string& logsDir,
                               const ChannelSettings& defaultSettings, const std::string& defaultSummaryTemplate,
                               const std::string& defaultSummaryBackground)
    : TEventSource<Event>(nullptr),
      userAgent_(userAgent.empty() ? getDefaultHttpUserAgent() : userAgent),
      channelsDir_(channelsDir),
      logsDir_(logsDir),
      defaultSettings_(new ChannelSettings(nullptr)),
      defaultSummaryTemplate_(defaultSummaryTemplate),
      defaultSummaryBackground_(defaultSummaryBackground),
      session_(new tools::InternetSession(userAgent_)) {
    defaultSettings_->assign(defaultSettings, false);
    session_->setCancelFlag(&stopRequested_);
    {
        ExclusiveLockGuard guard(&managerRegistry().lock, __FILE__, __LINE__);
        managerRegistry().managers.push_back(this);
    }
    ORVAN_LOG(logGroupChannelManager()) << "Channel Manager created: " << static_cast<const void*>(this) << std::endl;
}

ChannelManager::~ChannelManager() {
    if (worker_.joinable()) {
        stopRequested_ = true;
        stopEvent_.set();
        waitForWorker(platform::messages::kWaitForever);
        worker_.join();
    }
    ORVAN_LOG(logGroupChannelManager()) << "Channel Manager destroyed: " << static_cast<const void*>(this) << std::endl;
    ExclusiveLockGuard guard(&managerRegistry().lock, __FILE__, __LINE__);
    managerRegistry().managers.remove(this);
}

void ChannelManager::setDefaultHttpUserAgent(const std::string& userAgent) {
    std::lock_guard<std::mutex> guard(defaultAgentMutex());
    defaultAgent() = userAgent;
}

std::string ChannelManager::getDefaultHttpUserAgent() {
    std::lock_guard<std::mutex> guard(defaultAgentMutex());
    return defaultAgent();
}

void ChannelManager::addChannelKind(const std::string& extension, ChannelFactory factory) {
    ChannelKinds& k = channelKinds();
    std::lock_guard<std::mutex> guard(k.mutex);
    for (auto& kind : k.kinds) {
        if (compareNoCase(kind.first, extension) == 0) {
            kind.second = std::move(factory);
            return;
        }
    }
    k.kinds.emplace_back(extension, std::move(factory));
}

void ChannelManager::setBlackoutIntervals(const BlackoutIntervals& intervals) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    blackoutIntervals_ = intervals;
}

void ChannelManager::setUpdateJitterPercent(int percent) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    updateJitterPercent_ = percent;
}

void ChannelManager::setCheckRasConnection(bool check) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    checkRasConnection_ = check;
}

void ChannelManager::setHttpProxyAuth(tools::HttpAuth* auth) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    proxyAuth_.reset(auth);
}

void ChannelManager::setDebugConfigFilename(const std::string& file) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    debugConfigFile_ = file;
}

void ChannelManager::setClock(Clock clock) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    clock_ = std::move(clock);
}

std::string ChannelManager::getHttpUserAgent() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return userAgent_;
}

std::string ChannelManager::getChannelsDir() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return channelsDir_;
}

std::string ChannelManager::getLogsDir() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return logsDir_;
}

std::string ChannelManager::getDefaultSummaryTemplateFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return defaultSummaryTemplate_;
}

std::string ChannelManager::getDefaultSummaryBackgroundFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return defaultSummaryBackground_;
}

int ChannelManager::getUpdateJitterPercent() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return updateJitterPercent_;
}

bool ChannelManager::getCheckRasConnection() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return checkRasConnection_;
}

int ChannelManager::getChannelCount() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return static_cast<int>(channels_.size());
}

std::string ChannelManager::getDebugConfigFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return debugConfigFile_;
}

std::time_t ChannelManager::now() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return clock_ ? clock_() : std::time(nullptr);
}

int ChannelManager::getDebugInt(const std::string& key, int defaultValue) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    if (debugConfigFile_.empty()) return defaultValue;
    return tools::getDebugInt(debugConfigFile_, key, defaultValue);
}

bool ChannelManager::getDebugBool(const std::string& key, bool defaultValue) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    if (debugConfigFile_.empty()) return defaultValue;
    return tools::getDebugBool(debugConfigFile_, key, defaultValue);
}

std::string ChannelManager::getDebugString(const std::string& key, const std::string& defaultValue) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    if (debugConfigFile_.empty()) return defaultValue;
    return tools::getDebugString(debugConfigFile_, key, defaultValue);
}

// ---------------------------------------------------------------------------
// The channel table

void ChannelManager::loadChannels() {
    ORVAN_LOG(logGroupChannelManager()) << "Loading RSS channels..." << std::endl;
    loadChannelsOfKind(".rss", createRssChannel);
    std::vector<std::pair<std::string, ChannelFactory>> kinds;
    {
        std::lock_guard<std::mutex> kindsGuard(channelKinds().mutex);
        kinds = channelKinds().kinds;
    }
    for (const auto& kind : kinds)
        if (compareNoCase(kind.first, ".rss") != 0) loadChannelsOfKind(kind.first, kind.second);
    // Reading the channel files left freed memory between the loaded data.
    platform::process::releaseFreeMemory();
}

void ChannelManager::loadChannelsOfKind(const std::string& extension, const ChannelFactory& factory) {
    // Channels load without the manager's lock: loading one loads its hooks,
    // which hear of it on the user-interface thread, and a failure is an
    // event. Each channel takes the lock itself while it reads its file.
    const std::string channelsDir = getChannelsDir();
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(channelsDir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code typeError;
        if (it->is_regular_file(typeError) && compareNoCase(p.extension().string(), extension) == 0) files.push_back(p);
    }
    std::sort(files.begin(), files.end());

    for (const fs::path& file : files) {
        std::unique_ptr<Channel> channel;
        try {
            channel = factory(*this, (fs::path(channelsDir) / file.filename()).string());
            channel->load();
            addChannel(channel.get());
            channel.release();
        } catch (const std::exception& e) {
            ChannelErrorEvent event(now(), channel.get(),
                                    "Can't load channel file \"" + file.filename().string() + "\".", e.what());
            raiseEvent(event);
        }
    }
}

void ChannelManager::addChannel(Channel* channel) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    channels_.push_back(channel);
}

void ChannelManager::deleteChannel(Channel* channel, std::string* report) {
    std::ostringstream notes;
    {
        // The manager lock is held until the channel is retired, so the worker
        // can't save the channel between the file's deletion and its
        // retirement.
        ExclusiveLockGuard managerGuard(&lock_, __FILE__, __LINE__);
        {
            ExclusiveLockGuard channelGuard(&channel->getLock(), __FILE__, __LINE__);
            const std::string file = channel->getConfigFilename();
            std::error_code ec;
            if (!std::filesystem::remove(file, ec) && ec)
                throw Exception("Can't delete the channel config file: " + ec.message());
            channel->getChannelConfig().deleteChannelFiles();
        }
        channels_.remove(channel);
        requestQueue_.remove(channel);
        retired_.push_back(channel);
        retiredSet_.insert(channel);
    }
    // The hooks hear of the detachment only after the manager's lock is
    // released: a library hook answers on the user-interface thread, whose
    // callbacks look channels up under that lock. The channel is already out
    // of the table, so a callback about it finds nothing and saves nothing.
    channel->getChannelSettings().detachChannelHooks();
    channel->dropSummaryPage();
    channel->onChannelDeleted(notes);
    if (report) *report = notes.str();
}

void ChannelManager::requestChannelUpdate(Channel* channel) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    if (retiredSet_.count(channel)) return;
    requestQueue_.push_back(channel);
}

Channel* ChannelManager::findChannel(const std::string& sourceUrl) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    const std::string wanted = slashesToBackslashes(sourceUrl);
    for (Channel* channel : channels_)
        if (mbsCompareNoCase(slashesToBackslashes(channel->getSourceUrl()), wanted.c_str()) == 0) return channel;
    return nullptr;
}

Channel* ChannelManager::takeRequest(std::list<Channel*>& dueList) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    if (requestQueue_.empty()) return nullptr;
    Channel* channel = requestQueue_.front();
    requestQueue_.pop_front();
    dueList.remove(channel);
    return channel;
}

bool ChannelManager::isActiveChannel(const Channel* channel) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return retiredSet_.count(channel) == 0;
}

void ChannelManager::saveChannelIfActive(Channel& channel) {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    if (retiredSet_.count(&channel)) return;
    channel.save();
}

std::size_t ChannelManager::getRequestCount() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return requestQueue_.size();
}

// ---------------------------------------------------------------------------
// Downloads and events

void ChannelManager::downloadUrl(const std::string& url, std::string* lastModified, std::string* etag,
                                 bool forceDownload, const tools::HttpAuth* siteAuth, int* status,
                                 std::string* statusText, std::string* location, std::string& body) {
    if (getDebugBool("DisableInternet", false)) throw Exception("Internet access has been disabled.");
    // The request repeated with the proxy credential shares the first one's time.
    tools::DownloadTimeBound timeBound;
    int code = 0;
    tools::readUrl(*session_, url, lastModified, etag, forceDownload, siteAuth, nullptr, &code, statusText, location,
                   body);
    if (status) *status = code;
    if (code != 407) return;
    std::unique_ptr<tools::HttpAuth> proxyAuth;
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        if (proxyAuth_) proxyAuth.reset(proxyAuth_->clone());
    }
    if (!proxyAuth) return;
    tools::readUrl(*session_, url, lastModified, etag, forceDownload, siteAuth, proxyAuth.get(), status, statusText,
                   location, body);
}

void ChannelManager::downloadUrl(const std::string& url, std::string& body) {
    downloadUrl(url, nullptr, nullptr, false, nullptr, nullptr, nullptr, nullptr, body);
}

void ChannelManager::raiseChannelEvent(const Event& event, Channel* channel) {
    raiseEvent(event);
    if (channel) channel->raiseEvent(event);
}

void ChannelManager::changeAppPluginServerPort(int oldPort, int newPort) {
    if (oldPort == newPort) return;
    // Failures are raised in the same order once every lock is released.
    std::vector<std::pair<ChannelManager*, Channel*>> failures;
    ManagerRegistry& registry = managerRegistry();
    SharedLockGuard registryGuard(&registry.lock, __FILE__, __LINE__);
    for (ChannelManager* manager : registry.managers) {
        SharedLockGuard managerGuard(&manager->lock_, __FILE__, __LINE__);
        for (Channel* channel : manager->channels_) {
            try {
                channel->changeAppPluginServerPort(oldPort, newPort);
            } catch (const std::exception&) {
                failures.emplace_back(manager, channel);
            }
        }
    }
    // The registry's lock stays: it only keeps the managers alive.
    for (const auto& [manager, channel] : failures) {
        ChannelErrorEvent event(manager->now(), channel,
                                "Can't change the app plugin server port number for " + channel->getDisplayName(), "");
        manager->raiseEvent(event);
    }
}

bool ChannelManager::isInBlackout(int* resumeTime) const {
    const std::time_t t = now();
    std::tm local{};
    localtime_r(&t, &local);
    const int seconds = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    for (const auto& interval : blackoutIntervals_) {
        const int start = interval.first;
        const int end = interval.second == 0 ? 86400 : interval.second;
        if (start <= seconds && seconds <= end) {
            if (resumeTime) *resumeTime = end;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Start and stop

void ChannelManager::startChannelManager() {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    ORVAN_LOG(logGroupChannelManager()) << "Opening an Internet connection: userAgent=" << userAgent_ << std::endl;
    if (!session_ || !session_->shareHandle()) throw Exception("Can't open an Internet connection.");
    ORVAN_LOG(logGroupChannelManager()) << "Creating the stop event." << std::endl;
    stopRequested_ = false;
    stopEvent_.reset();
    workerEnded_.reset();
    ORVAN_LOG(logGroupChannelManager()) << "Starting the channel update thread." << std::endl;
    if (worker_.joinable()) throw Exception("Can't start the channel update thread.");
    try {
        worker_ = std::thread([this] {
            // The lowest priority the system grants a thread.
            setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
            UpdateWorker worker(*this);
            worker.workerThreadProc();
            workerEnded_.set();
        });
    } catch (const std::system_error&) {
        throw Exception("Can't start the channel update thread.");
    }
    started_ = true;
    ORVAN_LOG(logGroupChannelManager()) << "Channel manager started OK." << std::endl;
}

bool ChannelManager::waitForWorker(std::uint32_t milliseconds) {
    // The worker may be inside a library hook's relay, a send to the
    // user-interface thread, which may well be this thread: its sends are
    // served while it waits.
    return platform::messages::waitServingSends([this] { return workerEnded_.isSet(); }, milliseconds);
}

void ChannelManager::stopChannelManager(bool saveChannels) {
    if (worker_.joinable()) {
        ORVAN_LOG(logGroupChannelManager()) << "Stopping the channel manager worker thread." << std::endl;
        stopRequested_ = true;
        stopEvent_.set();
        if (!waitForWorker(30000)) {
            // Threads are never killed: the update in hand ends at its
            // download (cancelled by the stop flag), so this wait is short.
            ORVAN_LOG(logGroupChannelManager())
                << "Couldn't stop the worker thread (rc=" << kWaitTimeout << ") - waiting for it to end." << std::endl;
            waitForWorker(platform::messages::kWaitForever);
        }
        worker_.join();
        ORVAN_LOG(logGroupChannelManager()) << "Stopped OK." << std::endl;
    }
    std::list<Channel*> channels;
    std::list<Channel*> retired;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        channels.swap(channels_);
        retired.swap(retired_);
        retiredSet_.clear();
        requestQueue_.clear();
    }
    ORVAN_LOG(logGroupChannelManager()) << "Saving channels." << std::endl;
    for (Channel* channel : channels) {
        if (saveChannels) {
            try {
                channel->save();
            } catch (const std::exception& e) {
                ChannelErrorEvent event(
                    now(), channel, "Can't save the channel details for " + channel->getDisplayName() + ": " + e.what(),
                    "");
                raiseEvent(event);
            }
        }
        delete channel;
    }
    ORVAN_LOG(logGroupChannelManager()) << "Cleaning up the channel table." << std::endl;
    for (Channel* channel : retired) delete channel;
    ORVAN_LOG(logGroupChannelManager()) << "Destroying the stop event." << std::endl;
    ORVAN_LOG(logGroupChannelManager()) << "Closing the Internet connection." << std::endl;
    started_ = false;
    ORVAN_LOG(logGroupChannelManager()) << "Channel Manager stopped OK." << std::endl;
}

}  // namespace channels
