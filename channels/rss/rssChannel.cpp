#include "channels/rss/rssChannel.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "channels/appPlugins/appPlugin.h"
#include "channels/appPlugins/appPluginManager.h"
#include "channels/channelManager.h"
#include "channels/exception.h"
#include "channels/appPlugins/localPluginUrl.h"
#include "lib/misc/stringHelpers.h"
#include "tools/http.h"
#include "tools/httpAuth.h"

namespace channels {

namespace {

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && compareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

bool isWebUrl(const std::string& url) { return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://"); }

// The scheme and the host of a web URL, lower-cased.
struct WebOrigin {
    std::string scheme, host;
};
WebOrigin webOrigin(const std::string& url) {
    WebOrigin o;
    const std::size_t sep = url.find("://");
    if (sep == std::string::npos) return o;
    o.scheme = toLowerCopy(url.substr(0, sep));
    const std::size_t start = sep + 3;
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    std::string authority = url.substr(start, end - start);
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) authority.erase(0, at + 1);
    std::size_t hostEnd = authority.size();
    if (!authority.empty() && authority[0] == '[')
        hostEnd = std::min(authority.find(']') + 1, authority.size());
    else if (const std::size_t colon = authority.find(':'); colon != std::string::npos)
        hostEnd = colon;
    o.host = toLowerCopy(authority.substr(0, hostEnd));
    return o;
}

// Whether the channel's credential may go to `url` when the update began at
// `origin`: the same host, and never from https down to plain http. A
// redirect to another host does not carry the credential there.
bool mayReceiveCredential(const WebOrigin& origin, const std::string& url) {
    const WebOrigin target = webOrigin(url);
    if (target.host.empty() || target.host != origin.host) return false;
    return !(origin.scheme == "https" && target.scheme != "https");
}

}  // namespace

std::unique_ptr<Channel> createRssChannel(ChannelManager& manager, const std::string& channelFile) {
    return std::make_unique<RssChannel>(&manager, channelFile);
}

RssChannel::RssChannel(ChannelManager* manager, const std::string& channelFile)
    : Channel(manager, channelFile), config_(this), settings_(this), state_(this) {}

RssChannel::~RssChannel() = default;

std::string RssChannel::getSourceUrl() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_.getRssChannelUrl();
}

ChannelConfig& RssChannel::getChannelConfig() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}
const ChannelConfig& RssChannel::getChannelConfig() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}
ChannelSettings& RssChannel::getChannelSettings() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return settings_;
}
const ChannelSettings& RssChannel::getChannelSettings() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return settings_;
}
ChannelState& RssChannel::getChannelState() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return state_;
}
const ChannelState& RssChannel::getChannelState() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return state_;
}
RssChannelConfig& RssChannel::getRssChannelConfig() {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}
const RssChannelConfig& RssChannel::getRssChannelConfig() const {
    SharedLockGuard guard(&getLock(), __FILE__, __LINE__);
    return config_;
}

AppPlugin* RssChannel::getAppPlugin() const {
    std::string id;
    if (!isAppPluginUrl(config_.getRssChannelUrl(), id)) return nullptr;
    return getAppPluginManager().findAppPlugin(id);
}

std::string RssChannel::makeAbsoluteRedirectUrl(const std::string& currentUrl, const std::string& location) {
    return tools::resolveUrl(currentUrl, location);
}

void RssChannel::update(std::string& feedText, bool forceDownload, bool& unchanged) {
    ChannelManager* manager = getManager();
    if (!manager) throw Exception("The channel has no channel manager.");
    if (manager->getDebugBool("DisableInternet", false)) throw Exception("Internet access has been disabled.");
    const int maxRedirects = manager->getDebugInt("MaxHttpRedirects", 5);

    std::unique_ptr<tools::HttpAuth> auth;
    {
        SharedLockGuard guard(&config_.getLock(), __FILE__, __LINE__);
        if (const tools::HttpAuth* own = config_.getHttpAuth()) auth.reset(own->clone());
    }

    std::string url = config_.getRssChannelUrl();
    const WebOrigin origin = webOrigin(url);
    // One time bound for the whole update, every redirect included: a slow
    // chain of redirects does not hold the worker for a transfer time-out
    // per hop.
    tools::DownloadTimeBound timeBound;
    for (int attempt = 1;; ++attempt) {
        if (AppPlugin* plugin = getAppPlugin()) {
            // The feed comes straight from the plug-in: nothing is downloaded
            // and no validator or counter changes.
            const std::string pluginUrl = config_.getRssChannelUrl();
            const std::size_t slash = pluginUrl.find('/', std::string("http://127.0.0.1:").size());
            std::string id, request, params;
            parsePluginUri(slash == std::string::npos ? std::string() : pluginUrl.substr(slash), id, request, params);
            plugin->processRequest(request, params, feedText, this);
            unchanged = false;
            return;
        }
        std::string lastModified = state_.getHttpLastModified();
        std::string etag = state_.getHttpETag();
        std::string statusText, location, body;
        int status = 0;
        const bool force = forceDownload || config_.getForceNetDownloads();
        const tools::HttpAuth* siteAuth = mayReceiveCredential(origin, url) ? auth.get() : nullptr;
        manager->downloadUrl(url, &lastModified, &etag, force, siteAuth, &status, &statusText, &location, body);

        if (status == 404) {
            const int n = state_.getNConsecutive404s() + 1;
            state_.setNConsecutive404s(n);
            if (n >= 3) {
                // Remember that it was this suspension that switched them
                // off, so that only it is undone when the feed returns.
                if (settings_.isAutoUpdateEnabled()) {
                    config_.setAutoUpdateSuspendedByMissingFeed(true);
                    settings_.setAutoUpdateEnabled(false);
                }
                throw Exception("The feed appears to be missing. Automatic updates have been suspended.");
            }
        } else {
            if (config_.isAutoUpdateSuspendedByMissingFeed()) {
                settings_.setAutoUpdateEnabled(true);
                config_.setAutoUpdateSuspendedByMissingFeed(false);
            }
            state_.setNConsecutive404s(0);
        }

        if (status == 304) {
            unchanged = true;
            return;
        }

        if (tools::isHttpRedirectStatus(status) && attempt <= maxRedirects) {
            const std::string code = std::to_string(status);
            const std::string target = trimmedCopy(location);
            if (target.empty()) throw Exception("HTTP " + code + " did not return a redirect URL.");
            const std::string next = trimmedCopy(makeAbsoluteRedirectUrl(url, target));
            // A feed server may send us to another web address, never to a
            // local file or another kind of address.
            if (!isWebUrl(next))
                throw Exception("HTTP " + code + " redirected to an address that is not a web address: " + next);
            url = next;
            if (status == 301) config_.setRssChannelUrl(url);
            continue;
        }

        if (status != 200) throw Exception("HTTP " + std::to_string(status) + " " + statusText);
        if (!body.empty()) feedText.swap(body);
        state_.setHttpValidators(lastModified, etag);
        return;
    }
}

void RssChannel::changeAppPluginServerPort(int oldPort, int newPort) {
    ExclusiveLockGuard guard(&getLock(), __FILE__, __LINE__);
    if (!getAppPlugin()) return;
    const std::string url = config_.getRssChannelUrl();
    for (const std::string prefix : {"http://127.0.0.1:", "http://localhost:"}) {
        if (!startsWithNoCase(url, prefix)) continue;
        std::size_t end = prefix.size();
        while (end < url.size() && std::isdigit(static_cast<unsigned char>(url[end]))) ++end;
        // The whole port must be the old one: 80 must not match 8080.
        if (url.substr(prefix.size(), end - prefix.size()) == std::to_string(oldPort))
            config_.setRssChannelUrl(url.substr(0, prefix.size()) + std::to_string(newPort) + url.substr(end));
        break;
    }
    save();
}

}  // namespace channels
