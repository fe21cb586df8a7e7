#include "channels/channel.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "channels/channelConfig.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/exception.h"
#include "channels/feed/feed.h"
#include "channels/rss/rssParser.h"
#include "channels/feed/summaryPage.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

Channel::Channel(ChannelManager* manager, const std::string& channelFile)
    : TEventSource<Event>(nullptr), manager_(manager), channelFile_(channelFile) {
    addEventHandler(this);
}

Channel::~Channel() {
    // Wait for current users of the channel before it goes.
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
}

void Channel::requestUpdate() {
    if (manager_ != nullptr) manager_->requestChannelUpdate(this);
}

void Channel::onChannelDeleted(std::ostream&) {}

void Channel::onChannelEvent(const Event& event) {
    ORVAN_LOG(logGroupChannelHooks()) << "Received channel event: " << event << std::endl;
    checkChannelHooks(event);
}

void Channel::checkChannelHooks(const Event& event) {
    ChannelHookHost* host = getChannelHookHost();
    if (host == nullptr) return;
    // The hooks run without the settings' lock: a library hook waits for the
    // user-interface thread, which may be changing this channel's hooks. The
    // hooks taken here stay alive until their call has returned.
    std::vector<ChannelHook*> hooks;
    {
        const ChannelSettings& settings = getChannelSettings();
        SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        hooks = settings.getChannelHooks();
        for (ChannelHook* hook : hooks) host->retainChannelHook(*hook);
    }
    struct Release {
        ChannelHookHost* host;
        std::vector<ChannelHook*>& hooks;
        ~Release() {
            for (ChannelHook* hook : hooks) host->releaseChannelHook(hook);
        }
    } release{host, hooks};
    for (ChannelHook* hook : hooks) {
        ORVAN_LOG(logGroupChannelHooks()) << "Checking channel hook: " << host->getDisplayName(*hook) << std::endl;
        host->raiseEvent(*hook, this, event);
    }
}

void Channel::load() {
    {
        // Lock order: manager, then channel. The settings read the manager's
        // default settings while this channel is locked, so the manager's
        // lock is taken first (deleting a channel holds the manager's lock
        // while it waits for the channel's).
        SharedLockGuard managerGuard(manager_ != nullptr ? &manager_->getLock() : nullptr, __FILE__, __LINE__);
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        // Read one version of the file throughout (a save committed by
        // another thread meanwhile can't mix into this load). Nothing is
        // written back: a batch without changes leaves the file alone.
        platform::profile::WriteBatch snapshot(channelFile_);
        getChannelConfig().load(channelFile_);
        getChannelSettings().loadValues(channelFile_);
        getChannelState().load(channelFile_);
    }
    // Hooks load with no lock held: a library hook hears of its loading on
    // the user-interface thread (see the lock rule in channelManager.h).
    getChannelSettings().loadChannelHooks(channelFile_);
}

void Channel::save() {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    // One rewrite of the file for the whole save, holding the file's write
    // lock, so that a save running at the same time on another thread (the
    // desktop's sections, another save of this channel) is not lost.
    platform::profile::WriteBatch batch(channelFile_);
    const bool outermost = batch.isOutermost();
    getChannelConfig().save(channelFile_);
    getChannelSettings().save(channelFile_);
    getChannelState().save(channelFile_);
    const bool companionWrote = fileCompanion_ != nullptr && fileCompanion_->writeInto(channelFile_);
    const bool stored = batch.commit();
    if (companionWrote) fileCompanion_->written(stored && outermost);
    if (!stored) {
        throw Exception("Can't write the channel file " + channelFile_ + ": " + platform::files::lastErrorText());
    }
}

bool Channel::isUpdateDue(std::time_t now) {
    const ChannelSettings& settings = getChannelSettings();
    if (!settings.isAutoUpdateEnabled()) return false;
    int interval = settings.getAutoUpdateInterval();
    if (interval == 0) return false;
    const int jitter = manager_ != nullptr ? manager_->getUpdateJitterPercent() : 0;
    if (jitter > 0)
        interval = interval + static_cast<int>(static_cast<long long>(interval) * randomInRange(0, jitter) / 100);
    if (now < getChannelState().getLastFetchTime() + interval) return false;

    std::tm utc{};
    gmtime_r(&now, &utc);
    bool skip = false;
    {
        const ChannelConfig& config = getChannelConfig();
        SharedLockGuard guard(&config.getLock(), __FILE__, __LINE__);
        const ChannelHeader& header = config.getChannelHeader();
        skip = header.SkipHours.count(utc.tm_hour) != 0 || header.SkipDays.count(utc.tm_wday) != 0;
    }
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    suspendedByPublisher_ = skip;
    return !skip;
}

std::unique_ptr<Feed> Channel::getLatestFeed(bool forceDownload, bool* unchanged) {
    std::ofstream feedLog(getFeedLogFilename(), std::ios::binary | std::ios::trunc);
    std::string feedText;
    bool notChanged = false;
    try {
        update(feedText, forceDownload, notChanged);
    } catch (const std::exception& e) {
        feedLog << e.what();
        throw;
    } catch (...) {
        feedLog << "Feed update failed: Unknown error." << std::endl;
        throw;
    }
    if (unchanged != nullptr) {
        *unchanged = notChanged;
        if (notChanged) return nullptr;
    }
    feedLog << feedText;
    feedLog.flush();

    RssParseContext context;
    if (isLogChannelProcessing()) context.traceFilename = getLogFilename(".parse");
    if (manager_ != nullptr) {
        context.skipLeadingWhiteSpace = manager_->getDebugBool("SkipLeadingRssFeedWhiteSpace", true);
        context.skipLeadingBinaryData = manager_->getDebugBool("SkipLeadingRssFeedBinaryData", true);
    }
    context.allowEmptyFeeds = getChannelSettings().getAllowEmptyFeeds();
    ChannelConfig& config = getChannelConfig();
    context.cacheChannelHeader = [&config](const ChannelHeader& header) { config.setChannelHeader(header); };
    // The text is not needed any more: the parser frees it once it holds its own copy.
    return RssParser().parseFeed(context, std::move(feedText), getChannelSettings().getMaxFeedItems());
}

void Channel::generateSummaryPage(bool detailsOff, const std::set<std::string>& markedItems,
                                  const std::map<std::string, std::string>& itemImages) {
    // The manager's defaults are read before this channel's lock is taken:
    // the manager's lock comes first (deleting a channel holds it while it
    // waits for the channel's).
    std::string defaultTemplate, defaultBackground;
    if (manager_ != nullptr) {
        defaultTemplate = manager_->getDefaultSummaryTemplateFilename();
        defaultBackground = manager_->getDefaultSummaryBackgroundFilename();
    }
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    const ChannelConfig& config = getChannelConfig();
    std::string templateFile = config.getChannelSummaryTemplateFilename();
    if (templateFile.empty()) templateFile = defaultTemplate;
    if (templateFile.empty()) templateFile = "./DefaultChannelSummary.template";
    std::string backgroundFile = config.getChannelSummaryBackgroundFilename();
    if (backgroundFile.empty()) backgroundFile = defaultBackground;
    if (backgroundFile.empty()) backgroundFile = "./DefaultChannelSummary.gif";

    std::ifstream in(templateFile, std::ios::binary);
    if (!in) throw Exception("Can't open the summary page template: " + templateFile);
    const std::string pageFile = getSummaryPageFilename();
    // The page is made whole in memory and then replaces the old one, so a
    // view loading it meanwhile reads the old page or the new one, never a
    // part, and a failed generation leaves the old page as it was.
    std::ostringstream out;
    SummaryPageGenerator generator(*this, detailsOff, markedItems, itemImages);
    generator.setValue("BACKGROUND-IMAGE", "file://" + backgroundFile);
    generator.generate(in, out);
    if (!out || !platform::files::atomicWriteFile(pageFile, std::move(out).str(), platform::files::Flush::Skip))
        throw Exception("Can't write the summary page: " + pageFile);
}

std::string Channel::getSummaryPageFilename() const {
    std::lock_guard<std::mutex> guard(pageMutex_);
    if (!summaryPage_) summaryPage_ = std::make_unique<tools::TempFile>(".html");
    return summaryPage_->getFilename();
}

void Channel::dropSummaryPage() {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    std::lock_guard<std::mutex> pageGuard(pageMutex_);
    summaryPage_.reset();
}

std::string Channel::getLogFilename(const std::string& extension) const {
    const std::string logsDir = manager_ != nullptr ? manager_->getLogsDir() : std::string();
    std::string name = std::filesystem::path(channelFile_).stem().string();
    if (!extension.empty()) {
        if (extension[0] != '.') name += '.';
        name += extension;
    }
    if (logsDir.empty()) return name;
    return (std::filesystem::path(logsDir) / name).string();
}

std::string Channel::getFeedLogFilename() const { return getLogFilename(".rss"); }

bool Channel::isLogChannelProcessing() const {
    return tools::getIniBool(channelFile_, "Debug", "LogChannelProcessing", false);
}

int Channel::getFeedItemCount() const {
    const int maxItems = getChannelSettings().getMaxFeedItems();
    const ChannelState& state = getChannelState();
    SharedLockGuard guard(&state.getLock(), __FILE__, __LINE__);
    const int count = static_cast<int>(state.getLastFeed()->getFeedItemCount());
    return (maxItems > 0 && maxItems < count) ? maxItems : count;
}

std::string Channel::getDisplayName() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return getChannelConfig().getDisplayName();
}

// The manager and the channel file are fixed at construction, so they are
// read without the lock (the configuration reads the file name while it
// holds its own lock, which must not wait for the channel's).
ChannelManager* Channel::getManager() const { return manager_; }

std::string Channel::getConfigFilename() const { return channelFile_; }

bool Channel::isSuspendedByPublisher() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return suspendedByPublisher_;
}

void* Channel::getDesktopSettings() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return desktopSettings_;
}

void Channel::setDesktopSettings(void* settings) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    desktopSettings_ = settings;
}

void Channel::setFileCompanion(ChannelFileCompanion* companion) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    fileCompanion_ = companion;
}

std::string getChannelDisplayName(const Channel* channel) {
    return channel != nullptr ? channel->getDisplayName() : std::string("<Unknown>");
}

std::ostream& operator<<(std::ostream& os, const Channel& channel) { return os << channel.getDisplayName(); }

}  // namespace channels
