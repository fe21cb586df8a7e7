#pragma once
// A channel's configuration: what the user chose (preferred name,
// description, home page, image and image size, forced downloads, summary
// page files), the channel metadata that the feed supplied at its last update
// (section "Cache"), the channel's site credential (section "Config", keys
// "SiteAuthType", "SiteAuthUserName", "SiteAuthPassword", the secrets
// enciphered) and the channel image, held in memory and cached in a file
// beside the channel file.
//
// Effective values (getDisplayName, getImageUrl, ...) fall back from the
// preferred value to the feed's. Setting a preferred value equal to the
// feed's stores "no preference" ("" or -1), so the channel follows the feed.
// Getters take the lock shared, setters exclusive; getChannelHeader() and
// getHttpAuth() take none (callers hold getLock()).
//
// Each channel kind derives its own class (feed URL, plug-in script) and
// overrides load/save, calling the base first.
#include <ctime>
#include <string>
#include <vector>

#include "channels/feed/channelHeader.h"
#include "lib/misc/threadSafety.h"

namespace tools {
class HttpAuth;
}

namespace channels {

class Channel;

class ChannelConfig {
public:
    explicit ChannelConfig(Channel* channel);
    // Drops the held image (the cache file stays) and deletes the credential.
    virtual ~ChannelConfig();
    ChannelConfig(const ChannelConfig&) = delete;
    ChannelConfig& operator=(const ChannelConfig&) = delete;

    // Sections "Cache" and "Config" of the channel file.
    virtual void load(const std::string& channelFile);
    virtual void save(const std::string& channelFile) const;
    // Removes the image cache file; called when the channel is deleted.
    virtual void deleteChannelFiles();
    // The name shown when neither a preferred nor a feed name exists.
    virtual std::string getDefaultDisplayName() const = 0;

    // Effective values.
    std::string getDisplayName() const;
    std::string getDescription() const;
    std::string getHomeUrl() const;
    std::string getImageUrl() const;
    int getImageWidth() const;
    int getImageHeight() const;

    // Preferred values as stored.
    void setPreferredDisplayName(const std::string& name);
    void setPreferredDescription(const std::string& text);
    void setPreferredHomeUrl(const std::string& url);
    // Drops the cached image of the old URL and loads the new one when the
    // value changes (may download; the download's error passes on).
    void setPreferredImageUrl(const std::string& url);
    void setPreferredImageWidth(int width);
    void setPreferredImageHeight(int height);
    std::string getPreferredDisplayName() const;
    std::string getPreferredDescription() const;
    std::string getPreferredHomeUrl() const;
    std::string getPreferredImageUrl() const;
    int getPreferredImageWidth() const;
    int getPreferredImageHeight() const;

    bool getForceNetDownloads() const;
    void setForceNetDownloads(bool force);

    std::string getChannelSummaryTemplateFilename() const;
    std::string getChannelSummaryBackgroundFilename() const;
    void setChannelSummaryFiles(const std::string& templateFile, const std::string& backgroundFile);

    // The feed's channel metadata; callers hold getLock().
    ChannelHeader& getChannelHeader() { return header_; }
    const ChannelHeader& getChannelHeader() const { return header_; }
    // Takes a new header; a changed image URL drops the old image and loads
    // the new one.
    void setChannelHeader(const ChannelHeader& header);

    // The channel's site credential (owned; may be null); no lock taken.
    tools::HttpAuth* getHttpAuth() const { return httpAuth_; }
    // Takes ownership of auth (null allowed), deleting the one held.
    void setHttpAuth(tools::HttpAuth* auth);

    // The channel image: from memory, else from the cache file, else
    // downloaded through the channel manager and written to the cache file
    // (an answer other than 200 gives no image and no cache file).
    const std::vector<unsigned char>& loadChannelImage();
    // Forgets the held image; deleteFile also removes the cache file.
    void clearChannelImage(bool deleteFile);
    // The cache file: the channel file's directory and base name with the
    // image's extension when the image URL names an image type, else ".img".
    // "" when there is no image URL.
    std::string getChannelImageFilename() const;
    // When the image was last loaded; 0 when none is held.
    std::time_t getChannelImageLoadTime() const;

    Channel* getChannel() const;
    SharedExclusiveLock& getLock() const { return lock_; }

private:
    mutable SharedExclusiveLock lock_;
    Channel* channel_;
    ChannelHeader header_;
    bool forceNetDownloads_ = false;
    tools::HttpAuth* httpAuth_ = nullptr;
    // The stored credential has a type this program can't read: its keys
    // are left as they are until the user sets a credential.
    bool httpAuthUnreadable_ = false;
    std::vector<unsigned char> image_;
    std::string imageUrl_;
    std::time_t imageLoadTime_ = 0;
    // Counts the drops of the image, so that a load running meanwhile
    // neither keeps nor caches what it fetched.
    unsigned imageGeneration_ = 0;
    std::string preferredDisplayName_;
    std::string preferredDescription_;
    std::string preferredHomeUrl_;
    std::string preferredImageUrl_;
    int preferredImageWidth_ = -1;
    int preferredImageHeight_ = -1;
    std::string summaryTemplateFilename_;
    std::string summaryBackgroundFilename_;
};

}  // namespace channels
