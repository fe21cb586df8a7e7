#include "channels/channelConfig.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/exception.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "tools/httpAuth.h"
#include "tools/ini.h"

namespace channels {

namespace {

const char* const kConfig = "Config";
const char* const kCache = "Cache";
const char* const kSiteAuthPrefix = "SiteAuth";

bool equalNoCase(const std::string& a, const std::string& b) { return mbsCompareNoCase(a, b.c_str()) == 0; }

// The extension of the last path component of a URL (query and fragment
// left out), "." included; "" when there is none.
std::string urlExtension(const std::string& url) {
    std::string path = url.substr(0, url.find_first_of("?#"));
    const std::size_t slash = path.find_last_of("/\\");
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = last.rfind('.');
    return dot == std::string::npos ? std::string() : last.substr(dot);
}

// Only image types name the cache file's extension, so the cache file can
// never be a channel file (".rss", ".plugin") or anything else of ours.
std::string imageCacheExtension(const std::string& url) {
    static const std::array<const char*, 8> kImageTypes = {".gif", ".jpg", ".jpeg", ".png",
                                                           ".bmp", ".ico", ".webp", ".svg"};
    const std::string ext = urlExtension(url);
    for (const char* type : kImageTypes) {
        if (equalNoCase(ext, type)) return ext;
    }
    return ".img";
}

}  // namespace

ChannelConfig::ChannelConfig(Channel* channel) : channel_(channel) {}

ChannelConfig::~ChannelConfig() {
    clearChannelImage(false);
    delete httpAuth_;
}

void ChannelConfig::load(const std::string& channelFile) {
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        header_.load(channelFile, kCache);
        forceNetDownloads_ = tools::getIniBool(channelFile, kConfig, "ForceNetDownloads", false);
        preferredDisplayName_ = tools::getIniString(channelFile, kConfig, "PreferredChannelDisplayName", "", true);
        preferredDescription_ = tools::getIniString(channelFile, kConfig, "PreferredChannelDescription", "", true);
        preferredHomeUrl_ = tools::getIniString(channelFile, kConfig, "PreferredChannelHomeUrl", "", true);
        preferredImageUrl_ = tools::getIniString(channelFile, kConfig, "PreferredImageUrl", "", true);
        preferredImageWidth_ = tools::getIniIntInRange(channelFile, kConfig, "PreferredImageWidth", -1, 500, -1);
        preferredImageHeight_ = tools::getIniIntInRange(channelFile, kConfig, "PreferredImageHeight", -1, 500, -1);
        summaryTemplateFilename_ = tools::getIniString(channelFile, kCache, "ChannelSummaryTemplateFilename", "", true);
        summaryBackgroundFilename_ =
            tools::getIniString(channelFile, kCache, "ChannelSummaryBackgroundFilename", "", true);
        delete httpAuth_;
        httpAuth_ = nullptr;
        httpAuthUnreadable_ = false;
        try {
            httpAuth_ = tools::createHttpAuth(channelFile, kConfig, kSiteAuthPrefix);
        } catch (const std::exception& e) {
            // The channel loads without it; the keys stay in the file.
            httpAuthUnreadable_ = true;
            ORVAN_LOG(logGroupChannelManager()) << "WARNING: " << channelFile << ": " << e.what() << std::endl;
        }
    }
    clearChannelImage(false);
}

void ChannelConfig::save(const std::string& channelFile) const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    header_.save(channelFile, kCache);
    tools::writeIniBool(channelFile, kConfig, "ForceNetDownloads", forceNetDownloads_);
    tools::writeIniString(channelFile, kConfig, "PreferredChannelDisplayName", preferredDisplayName_);
    tools::writeIniString(channelFile, kConfig, "PreferredChannelDescription", preferredDescription_);
    tools::writeIniString(channelFile, kConfig, "PreferredChannelHomeUrl", preferredHomeUrl_);
    tools::writeIniString(channelFile, kConfig, "PreferredImageUrl", preferredImageUrl_);
    tools::writeIniInt(channelFile, kConfig, "PreferredImageWidth", preferredImageWidth_);
    tools::writeIniInt(channelFile, kConfig, "PreferredImageHeight", preferredImageHeight_);
    tools::writeIniString(channelFile, kCache, "ChannelSummaryTemplateFilename", summaryTemplateFilename_);
    tools::writeIniString(channelFile, kCache, "ChannelSummaryBackgroundFilename", summaryBackgroundFilename_);
    if (httpAuth_ != nullptr) {
        httpAuth_->save(channelFile, kConfig, kSiteAuthPrefix);
    } else if (!httpAuthUnreadable_) {
        // A cleared credential must not come back at the next start.
        for (const char* suffix : {"Type", "UserName", "Password"})
            tools::deleteIniKey(channelFile, kConfig, std::string(kSiteAuthPrefix) + suffix);
    }
}

void ChannelConfig::deleteChannelFiles() { clearChannelImage(true); }

// --- effective values

std::string ChannelConfig::getDisplayName() const {
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        if (!preferredDisplayName_.empty()) return preferredDisplayName_;
        if (!header_.ChannelDisplayName.empty()) return header_.ChannelDisplayName;
    }
    return getDefaultDisplayName();
}

std::string ChannelConfig::getDescription() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredDescription_.empty() ? header_.ChannelDescription : preferredDescription_;
}

std::string ChannelConfig::getHomeUrl() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredHomeUrl_.empty() ? header_.ChannelHomeUrl : preferredHomeUrl_;
}

std::string ChannelConfig::getImageUrl() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredImageUrl_.empty() ? header_.ChannelImageUrl : preferredImageUrl_;
}

int ChannelConfig::getImageWidth() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredImageWidth_ >= 1 ? preferredImageWidth_ : header_.ChannelImageWidth;
}

int ChannelConfig::getImageHeight() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredImageHeight_ >= 1 ? preferredImageHeight_ : header_.ChannelImageHeight;
}

// --- preferred values

void ChannelConfig::setPreferredDisplayName(const std::string& name) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    preferredDisplayName_ = equalNoCase(name, header_.ChannelDisplayName) ? std::string() : name;
}

void ChannelConfig::setPreferredDescription(const std::string& text) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    preferredDescription_ = equalNoCase(text, header_.ChannelDescription) ? std::string() : text;
}

void ChannelConfig::setPreferredHomeUrl(const std::string& url) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    preferredHomeUrl_ = equalNoCase(url, header_.ChannelHomeUrl) ? std::string() : url;
}

void ChannelConfig::setPreferredImageUrl(const std::string& url) {
    bool changed = false;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        const std::string newValue = equalNoCase(url, header_.ChannelImageUrl) ? std::string() : url;
        changed = newValue != preferredImageUrl_;
        if (changed) clearChannelImage(true);
        preferredImageUrl_ = newValue;
    }
    // Loaded after the lock is released: see loadChannelImage.
    if (changed) loadChannelImage();
}

void ChannelConfig::setPreferredImageWidth(int width) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    preferredImageWidth_ = width == header_.ChannelImageWidth ? -1 : width;
}

void ChannelConfig::setPreferredImageHeight(int height) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    preferredImageHeight_ = height == header_.ChannelImageHeight ? -1 : height;
}

std::string ChannelConfig::getPreferredDisplayName() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredDisplayName_;
}

std::string ChannelConfig::getPreferredDescription() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredDescription_;
}

std::string ChannelConfig::getPreferredHomeUrl() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredHomeUrl_;
}

std::string ChannelConfig::getPreferredImageUrl() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredImageUrl_;
}

int ChannelConfig::getPreferredImageWidth() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredImageWidth_;
}

int ChannelConfig::getPreferredImageHeight() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return preferredImageHeight_;
}

// --- other values

bool ChannelConfig::getForceNetDownloads() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return forceNetDownloads_;
}

void ChannelConfig::setForceNetDownloads(bool force) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    forceNetDownloads_ = force;
}

std::string ChannelConfig::getChannelSummaryTemplateFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return summaryTemplateFilename_;
}

std::string ChannelConfig::getChannelSummaryBackgroundFilename() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return summaryBackgroundFilename_;
}

void ChannelConfig::setChannelSummaryFiles(const std::string& templateFile, const std::string& backgroundFile) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    summaryTemplateFilename_ = templateFile;
    summaryBackgroundFilename_ = backgroundFile;
}

void ChannelConfig::setChannelHeader(const ChannelHeader& header) {
    bool changed = false;
    {
        ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
        changed = header.ChannelImageUrl != header_.ChannelImageUrl;
        if (changed) clearChannelImage(true);
        header_ = header;
    }
    // Loaded after the lock is released: see loadChannelImage.
    if (changed) loadChannelImage();
}

void ChannelConfig::setHttpAuth(tools::HttpAuth* auth) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    if (auth == httpAuth_) return;
    delete httpAuth_;
    httpAuth_ = auth;
    if (auth != nullptr) httpAuthUnreadable_ = false;
}

// --- channel image

std::string ChannelConfig::getChannelImageFilename() const {
    const std::string url = getImageUrl();
    if (url.empty() || channel_ == nullptr) return std::string();
    const std::string channelFile = channel_->getConfigFilename();
    std::filesystem::path path(channelFile);
    path.replace_extension(imageCacheExtension(url));
    if (path.string() == channelFile) return std::string();
    return path.string();
}

void ChannelConfig::clearChannelImage(bool deleteFile) {
    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    image_.clear();
    imageUrl_.clear();
    imageLoadTime_ = 0;
    ++imageGeneration_;
    if (!deleteFile) return;
    const std::string path = getChannelImageFilename();
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove(path, ec);  // a missing file is no error
}

// The cache file is read and the image downloaded without this object's
// lock: the download goes through the channel manager, whose lock comes
// before a channel's, and a thread that holds the manager's lock (deleting
// the channel) may be waiting for this configuration. A lock the caller
// already holds is not released here.
const std::vector<unsigned char>& ChannelConfig::loadChannelImage() {
    const std::string url = getImageUrl();
    std::string path;
    unsigned generation = 0;
    {
        SharedLockGuard guard(&lock_, __FILE__, __LINE__);
        if (equalNoCase(url, imageUrl_)) return image_;
        path = getChannelImageFilename();
        generation = imageGeneration_;
    }

    std::string bytes;
    bool haveImage = false;
    bool downloaded = false;
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_regular_file(path, ec)) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            haveImage = !in.bad();
        }
    }
    ChannelManager* manager = channel_ != nullptr ? channel_->getManager() : nullptr;
    if (!haveImage && manager != nullptr && !url.empty() && !manager->getDebugBool("DisableInternet", false)) {
        int status = 0;
        // A failure leaves everything as it was.
        manager->downloadUrl(url, nullptr, nullptr, false, nullptr, &status, nullptr, nullptr, bytes);
        // Only what the server delivered as the resource is the image: an
        // error page is not, and cached it would stand for the image from
        // then on.
        if (status == 200) haveImage = downloaded = true;
    }

    ExclusiveLockGuard guard(&lock_, __FILE__, __LINE__);
    // The image was dropped meanwhile (its URL changed, the channel was
    // deleted): the bytes are stale and the cache file stays removed.
    if (generation != imageGeneration_ || !equalNoCase(getImageUrl(), url)) return image_;
    if (haveImage) image_.assign(bytes.begin(), bytes.end());
    if (downloaded && !path.empty()) platform::files::atomicWriteFile(path, bytes);
    imageUrl_ = url;
    imageLoadTime_ = std::time(nullptr);
    return image_;
}

std::time_t ChannelConfig::getChannelImageLoadTime() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return imageLoadTime_;
}

Channel* ChannelConfig::getChannel() const {
    SharedLockGuard guard(&lock_, __FILE__, __LINE__);
    return channel_;
}

}  // namespace channels
