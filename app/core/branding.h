#pragma once
// A distributor's branding: branding.dat in the program directory, an INI
// file enciphered with the branding cipher (Blowfish, the program's fixed
// key; n enciphered bytes give n plain bytes):
//
//   [Config]              ClientName, ClientHomeUrl, CreationDateTime, Notes
//   [AutoCreateFeedUrls]  1=, 2=, ...   feeds of a new user
//   [PermanentFeedUrls]   1=, 2=, ...   feeds re-created at every start
//   [Auto-Create User Tool 1], ...      user tools of a new user
//   [Permanent User Tool 1], ...        user tools always offered
//
// loadBrandingConfig deciphers the file into a temporary INI file, reads it
// into BrandingConfig::instance() and re-creates the permanent feeds'
// channel files. Without a file nothing changes and loaded stays false.
#include <memory>
#include <string>
#include <vector>

#include "app/options/userTool.h"

namespace crypto {
class Blowfish;
}

// The program-wide branding cipher.
const crypto::Blowfish& brandingCipher();

class BrandingConfig {
public:
    static BrandingConfig& instance();

    BrandingConfig() = default;
    virtual ~BrandingConfig() = default;
    BrandingConfig(const BrandingConfig&) = delete;
    BrandingConfig& operator=(const BrandingConfig&) = delete;

    // Reads the plain INI file; sets loaded.
    virtual void load(const std::string& iniFile);
    // Appends the tools of sections "<stem> 1", "<stem> 2", ... up to the
    // first that gives no tool.
    virtual void loadUserTools(const std::string& iniFile, const std::string& sectionStem,
                               std::vector<std::unique_ptr<UserTool>>& tools);

    // For each address, its ".rss" channel file in the channels directory
    // gets "RssChannelUrl" in section "Config" (other keys stay).
    static void createAutoChannels(const std::vector<std::string>& feedUrls, const std::string& channelsDir);

    bool isLoaded() const { return loaded_; }
    const std::string& getClientName() const { return clientName_; }
    const std::string& getClientHomeUrl() const { return clientHomeUrl_; }
    const std::string& getCreationDateTime() const { return creationDateTime_; }
    const std::string& getNotes() const { return notes_; }
    const std::vector<std::string>& getAutoCreateFeedUrls() const { return autoCreateFeedUrls_; }
    const std::vector<std::string>& getPermanentFeedUrls() const { return permanentFeedUrls_; }
    const std::vector<std::unique_ptr<UserTool>>& getAutoCreateUserTools() const { return autoCreateUserTools_; }
    const std::vector<std::unique_ptr<UserTool>>& getPermanentUserTools() const { return permanentUserTools_; }

    // Whether the address is one of the permanent feeds (without regard to case).
    bool isPermanentFeedUrl(const std::string& url) const;

private:
    bool loaded_ = false;
    std::string clientName_;
    std::string clientHomeUrl_;
    std::string creationDateTime_;
    std::string notes_;
    std::vector<std::string> autoCreateFeedUrls_;
    std::vector<std::string> permanentFeedUrls_;
    std::vector<std::unique_ptr<UserTool>> autoCreateUserTools_;
    std::vector<std::unique_ptr<UserTool>> permanentUserTools_;
};

// Deciphers and loads the branding file, then re-creates the permanent
// feeds in `channelsDir`. Does nothing when the path names no file; throws
// std::runtime_error when the file cannot be read.
void loadBrandingConfig(const std::string& path, const std::string& channelsDir,
                        BrandingConfig& config = BrandingConfig::instance());

// Rewrites section "Branding" of global.ini: deleted, then the four texts
// when the branding was loaded.
void saveBrandingDetails(const std::string& globalIniFile, const BrandingConfig& config = BrandingConfig::instance());

// Enciphers a plain INI text into branding.dat form (for distributors' tools
// and tests).
std::string encipherBranding(const std::string& plainText);
