#include "app/core/branding.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "app/core/messageGroups.h"
#include "app/core/programPaths.h"
#include "channels/channelFile.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/text/blowfish.h"
#include "platform/profile.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

namespace {

const unsigned char kBrandingKey[32] = {0x5a, 0x1c, 0x93, 0xe0, 0x7b, 0x44, 0xd2, 0xf8, 0x19, 0x6a, 0xc0,
                                        0x3b, 0x7e, 0x25, 0xd9, 0x41, 0x0c, 0x8f, 0x62, 0xab, 0x35, 0xe7,
                                        0x90, 0x4d, 0x1b, 0x6f, 0x28, 0xc5, 0xa9, 0xd3, 0x7e, 0x02};
const char kConfigSection[] = "Config";
const char kBrandingSection[] = "Branding";

// The channel file of a feed: the existing one among the names the engine
// gives that address (name.rss, name-1.rss, ...) that holds the address,
// else the first free name. Re-creating a permanent feed at every start
// must find its file again, not add a copy next to it.
std::string findBrandedChannelFile(const std::string& channelsDir, const std::string& url) {
    const std::string base = joinPath(channelsDir, channels::makeChannelFileName(url));
    for (unsigned counter = 0;; ++counter) {
        const std::string path = base + (counter ? "-" + std::to_string(counter) : std::string()) + ".rss";
        if (!tools::isFile(path)) return path;
        if (compareNoCase(tools::getIniString(path, kConfigSection, "RssChannelUrl", "", true), url) == 0) return path;
    }
}

}  // namespace

const crypto::Blowfish& brandingCipher() {
    static const crypto::Blowfish cipher(kBrandingKey, sizeof kBrandingKey);
    return cipher;
}

BrandingConfig& BrandingConfig::instance() {
    static BrandingConfig config;
    return config;
}

void BrandingConfig::load(const std::string& iniFile) {
    loaded_ = true;
    clientName_ = tools::getIniString(iniFile, kConfigSection, "ClientName", "", true);
    clientHomeUrl_ = tools::getIniString(iniFile, kConfigSection, "ClientHomeUrl", "", true);
    creationDateTime_ = tools::getIniString(iniFile, kConfigSection, "CreationDateTime", "", true);
    notes_ = tools::getIniString(iniFile, kConfigSection, "Notes", "", true);
    autoCreateFeedUrls_.clear();
    tools::getIndexedIniList(iniFile, "AutoCreateFeedUrls", "", 1, true, autoCreateFeedUrls_);
    permanentFeedUrls_.clear();
    tools::getIndexedIniList(iniFile, "PermanentFeedUrls", "", 1, true, permanentFeedUrls_);
    autoCreateUserTools_.clear();
    loadUserTools(iniFile, "Auto-Create User Tool", autoCreateUserTools_);
    permanentUserTools_.clear();
    loadUserTools(iniFile, "Permanent User Tool", permanentUserTools_);
}

void BrandingConfig::loadUserTools(const std::string& iniFile, const std::string& sectionStem,
                                   std::vector<std::unique_ptr<UserTool>>& tools) {
    for (int n = 1;; ++n) {
        auto tool = UserTool::createFromIni(iniFile, sectionStem + " " + std::to_string(n));
        if (!tool) return;
        tools.push_back(std::move(tool));
    }
}

void BrandingConfig::createAutoChannels(const std::vector<std::string>& feedUrls, const std::string& channelsDir) {
    for (const auto& url : feedUrls)
        tools::writeIniString(findBrandedChannelFile(channelsDir, url), kConfigSection, "RssChannelUrl", url);
}

bool BrandingConfig::isPermanentFeedUrl(const std::string& url) const {
    for (const auto& permanent : permanentFeedUrls_) {
        if (compareNoCase(permanent, url) == 0) return true;
    }
    return false;
}

void loadBrandingConfig(const std::string& path, const std::string& channelsDir, BrandingConfig& config) {
    if (!tools::isFile(path)) return;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("Can't read the branding file " + path + ".");
    brandingCipher().decrypt(bytes.data(), bytes.size(), bytes.data());

    tools::TempFile plain(".ini");
    plain.open();
    plain.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    plain.close();
    if (!plain) throw std::runtime_error("Can't write the deciphered branding file.");

    if (g_startupGroup.isEnabled()) {
        std::stringstream text(bytes);
        ORVAN_LOG(g_startupGroup) << "--- START BRANDING CONFIG ---" << std::endl;
        {
            LogStatement statement(&g_startupGroup, __FILE__, __LINE__);
            statement.log().writeRaw(text);
        }
        ORVAN_LOG(g_startupGroup) << "--- END BRANDING CONFIG ---" << std::endl;
    }
    config.load(plain.getFilename());
    platform::profile::invalidate(plain.getFilename());
    BrandingConfig::createAutoChannels(config.getPermanentFeedUrls(), channelsDir);
}

void saveBrandingDetails(const std::string& globalIniFile, const BrandingConfig& config) {
    platform::profile::WriteBatch batch(globalIniFile);
    tools::deleteIniSection(globalIniFile, kBrandingSection);
    if (config.isLoaded()) {
        ORVAN_LOG(g_startupGroup) << "Saving the branding details." << std::endl;
        tools::writeIniString(globalIniFile, kBrandingSection, "ClientName", config.getClientName());
        tools::writeIniString(globalIniFile, kBrandingSection, "ClientHomeUrl", config.getClientHomeUrl());
        tools::writeIniString(globalIniFile, kBrandingSection, "CreationDateTime", config.getCreationDateTime());
        tools::writeIniString(globalIniFile, kBrandingSection, "Notes", config.getNotes());
    }
    batch.commit();
}

std::string encipherBranding(const std::string& plainText) {
    std::string bytes(plainText.size(), '\0');
    brandingCipher().encrypt(plainText.data(), plainText.size(), bytes.data());
    return bytes;
}
