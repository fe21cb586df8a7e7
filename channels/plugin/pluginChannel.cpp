#include "channels/plugin/pluginChannel.h"

#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "channels/channelManager.h"
#include "channels/exception.h"
#include "channels/plugin/pluginRequestFile.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "tools/files.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace channels {

namespace {

const char kDownloadUrlParam[] = "DownloadUrl";

// Last-Modified and ETag of each channel's last download, for conditional
// requests. In memory only; an entry goes with its channel.
struct ValidatorCache {
    SharedExclusiveLock lock;
    std::map<const PluginChannel*, std::pair<std::string, std::string>> entries;
};

ValidatorCache& validatorCache() {
    static ValidatorCache cache;
    return cache;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::unique_ptr<Channel> createPluginChannel(ChannelManager& manager, const std::string& channelFile) {
    return std::make_unique<PluginChannel>(&manager, channelFile);
}

PluginChannel::PluginChannel(ChannelManager* manager, const std::string& channelFile)
    : Channel(manager, channelFile), config_(this), settings_(this), state_(this) {}

PluginChannel::~PluginChannel() {
    // A later channel may be built at the same address; it must not send
    // this one's validators.
    ValidatorCache& cache = validatorCache();
    ExclusiveLockGuard guard(&cache.lock, __FILE__, __LINE__);
    cache.entries.erase(this);
}

std::string PluginChannel::getSourceUrl() const { return config_.getScriptFilename(); }

ChannelConfig& PluginChannel::getChannelConfig() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}
const ChannelConfig& PluginChannel::getChannelConfig() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}
ChannelSettings& PluginChannel::getChannelSettings() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return settings_;
}
const ChannelSettings& PluginChannel::getChannelSettings() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return settings_;
}
ChannelState& PluginChannel::getChannelState() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return state_;
}
const ChannelState& PluginChannel::getChannelState() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return state_;
}

PluginChannelConfig& PluginChannel::getPluginChannelConfig() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}

const PluginChannelConfig& PluginChannel::getPluginChannelConfig() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}

void PluginChannel::changeAppPluginServerPort(int /*oldPort*/, int /*newPort*/) {}

void PluginChannel::onChannelDeleted(std::ostream& /*report*/) {
    const std::string script = config_.getScriptFilename();
    // The stored plug-in parameter values belong to the script, not to this
    // channel: they stay while another channel of the script remains.
    if (ChannelManager* manager = getManager()) {
        SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
        for (const Channel* other : manager->getChannels()) {
            if (other == this) continue;
            const auto* plugin = dynamic_cast<const PluginChannel*>(other);
            if (plugin && plugin->config_.getScriptFilename() == script) {
                ORVAN_LOG(logGroupPluginLoad()) << "Keeping the plugin parameters of " << script
                                                << ": another channel uses the script." << std::endl;
                return;
            }
        }
    }
    PluginChannelConfig::deleteStoredPluginParamValues(script);
}

void PluginChannel::update(std::string& feedText, bool forceDownload, bool& unchanged) {
    std::unique_ptr<tools::TempFile> request;
    std::string downloadUrl;
    std::string script;
    {
        SharedLockGuard guard(&config_.getLock(), __FILE__, __LINE__);
        ParamDefs pluginDefs;
        ParamValues pluginValues;
        config_.getPluginParams(&pluginDefs, &pluginValues);
        const ParamValues& channelValues = config_.getChannelParamValues();
        request = writePluginChannelRequestFile("ProcessRequest", pluginDefs, pluginValues,
                                                config_.getChannelParamDefs(), channelValues, *this);
        if (auto it = channelValues.find(kDownloadUrlParam); it != channelValues.end())
            downloadUrl = it->second;
        else if (auto pit = pluginValues.find(kDownloadUrlParam); pit != pluginValues.end())
            downloadUrl = pit->second;
        script = config_.getScriptFilename();
    }

    tools::TempFile download("");
    if (!downloadUrl.empty()) {
        ChannelManager* manager = getManager();
        if (!manager) throw Exception("The channel has no channel manager.");

        std::string lastModified, etag;
        ValidatorCache& cache = validatorCache();
        {
            SharedLockGuard guard(&cache.lock, __FILE__, __LINE__);
            if (auto it = cache.entries.find(this); it != cache.entries.end()) {
                lastModified = it->second.first;
                etag = it->second.second;
            }
        }
        std::unique_ptr<tools::HttpAuth> auth;
        {
            SharedLockGuard guard(&config_.getLock(), __FILE__, __LINE__);
            if (const tools::HttpAuth* own = config_.getHttpAuth()) auth.reset(own->clone());
        }
        const bool force = forceDownload || config_.getForceNetDownloads();

        int status = 0;
        std::string statusText, data;
        manager->downloadUrl(downloadUrl, &lastModified, &etag, force, auth.get(), &status, &statusText, nullptr, data);
        {
            ExclusiveLockGuard guard(&cache.lock, __FILE__, __LINE__);
            cache.entries[this] = {lastModified, etag};
        }
        if (status == 304) {
            unchanged = true;
            return;
        }
        if (status != 200) throw Exception("Feed update error: HTTP " + std::to_string(status) + " " + statusText);

        // The plug-in gets the data exactly as it came.
        {
            std::ofstream out(download.getFilename(), std::ios::binary | std::ios::trunc);
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
            out.close();
            if (!out) throw Exception("Can't write the downloaded data: " + download.getFilename());
        }
        if (!tools::writeIniString(request->getFilename(), "System", "DownloadUrlFile", download.getFilename()))
            throw Exception("Can't write the plugin request file: " + request->getFilename());
    }

    const CommandLine commandLine = buildRunCommandLine(script, request->getFilename());
    ORVAN_LOG(logGroupScriptPlugins()) << "Running plugin script: " << commandLine.toString() << std::endl;
    dumpRequestFile(request->getFilename());

    tools::TempFile output("");
    getScriptingEngine().runScriptForPage(commandLine, tools::getDirectoryOf(script), output);
    feedText = readWholeFile(output.getFilename());
    unchanged = false;
}

}  // namespace channels
