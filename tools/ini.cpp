#include "tools/ini.h"

#include <cctype>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "lib/text/blowfish.h"
#include "platform/profile.h"

namespace tools {

namespace profile = platform::profile;

namespace {

const char kDebugSection[] = "Debug";
constexpr std::size_t kMaxDebugString = 4095;

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string trimString(const std::string& text) {
    if (text.empty() || (!isSpace(text.front()) && !isSpace(text.back()))) return text;
    std::size_t first = 0;
    while (first < text.size() && isSpace(text[first])) ++first;
    if (first == text.size()) return std::string();
    std::size_t last = text.size() - 1;
    while (last > first && isSpace(text[last])) --last;
    return text.substr(first, last - first + 1);
}

int getIniInt(const std::string& iniFile, const std::string& section, const std::string& key, int defaultValue) {
    return profile::getInt(iniFile, section, key, defaultValue);
}

int getIniIntInRange(const std::string& iniFile, const std::string& section, const std::string& key, int min, int max,
                     int defaultValue) {
    const int value = getIniInt(iniFile, section, key, defaultValue);
    return value >= min && value <= max ? value : defaultValue;
}

bool getIniBool(const std::string& iniFile, const std::string& section, const std::string& key, bool defaultValue) {
    return getIniInt(iniFile, section, key, defaultValue ? 1 : 0) != 0;
}

std::string getIniString(const std::string& iniFile, const std::string& section, const std::string& key,
                         const std::string& defaultValue, bool trim) {
    std::string value = profile::getString(iniFile, section, key, defaultValue);
    if (value.find('%') != std::string::npos) value = urlDecode(value);
    if (trim && !value.empty() && (isSpace(value.front()) || isSpace(value.back()))) value = trimString(value);
    return value;
}

std::string getIniEncryptedString(const crypto::Blowfish& cipher, const std::string& iniFile,
                                  const std::string& section, const std::string& key, const std::string& defaultValue,
                                  bool /*trim*/) {
    // Blanks and control bytes are ordinary cipher bytes: the decoded value
    // is deciphered as it is, never trimmed. Values are written with blanks
    // encoded ("%20"), so the profile layer's stripping of blanks around a
    // value cannot cut them off; older values that were written with raw
    // blanks inside still decode to the same bytes.
    const std::string enciphered = urlDecode(profile::getString(iniFile, section, key, defaultValue));
    if (enciphered.empty()) return std::string();
    std::string plain(enciphered.size(), '\0');
    cipher.decrypt(enciphered.data(), enciphered.size(), plain.data());
    return plain;
}

void getIniKeyNames(const std::string& iniFile, const std::string& section, std::vector<std::string>& keyNames) {
    for (auto& name : profile::getKeyNames(iniFile, section)) keyNames.push_back(std::move(name));
}

std::vector<std::string> getIniKeyNames(const std::string& iniFile, const std::string& section) {
    return profile::getKeyNames(iniFile, section);
}

void getIniSectionNames(const std::string& iniFile, std::vector<std::string>& sectionNames) {
    for (auto& name : profile::getSectionNames(iniFile)) sectionNames.push_back(std::move(name));
}

std::vector<std::string> getIniSectionNames(const std::string& iniFile) { return profile::getSectionNames(iniFile); }

bool writeIniString(const std::string& iniFile, const std::string& section, const std::string& key,
                    const std::string& value) {
    return profile::writeString(iniFile, section, key, urlEncode(value));
}

bool writeIniInt(const std::string& iniFile, const std::string& section, const std::string& key, int value) {
    return writeIniString(iniFile, section, key, std::to_string(value));
}

bool writeIniBool(const std::string& iniFile, const std::string& section, const std::string& key, bool value) {
    return writeIniString(iniFile, section, key, value ? "1" : "0");
}

namespace {

// The stored text of a non-empty secret: enciphered, then percent-encoded
// with blanks too, so that the profile layer's trimming cannot cut them off.
std::string encipheredText(const crypto::Blowfish& cipher, const std::string& value) {
    std::string enciphered(value.size(), '\0');
    cipher.encrypt(value.data(), value.size(), enciphered.data());
    return urlEncode(enciphered, " ");
}

const char kSecretMark[] = "%~";

}  // namespace

bool writeIniEncryptedString(const crypto::Blowfish& cipher, const std::string& iniFile, const std::string& section,
                             const std::string& key, const std::string& value) {
    return profile::writeString(iniFile, section, key, value.empty() ? std::string() : encipheredText(cipher, value));
}

bool writeIniSecretString(const crypto::Blowfish& cipher, const std::string& iniFile, const std::string& section,
                          const std::string& key, const std::string& value) {
    return profile::writeString(iniFile, section, key,
                                value.empty() ? std::string() : kSecretMark + encipheredText(cipher, value));
}

std::string decodeIniSecretString(const crypto::Blowfish& cipher, const std::string& stored) {
    if (stored.compare(0, sizeof kSecretMark - 1, kSecretMark) != 0) return trimString(urlDecode(stored));
    const std::string enciphered = urlDecode(stored.substr(sizeof kSecretMark - 1));
    std::string plain(enciphered.size(), '\0');
    cipher.decrypt(enciphered.data(), enciphered.size(), plain.data());
    return plain;
}

bool deleteIniKey(const std::string& iniFile, const std::string& section, const std::string& key) {
    return profile::deleteKey(iniFile, section, key);
}

bool deleteIniSection(const std::string& iniFile, const std::string& section) {
    return profile::deleteSection(iniFile, section);
}

bool copyIniSection(const std::string& srcFile, const std::string& srcSection, const std::string& dstFile,
                    const std::string& dstSection) {
    const std::vector<std::string> keys = getIniKeyNames(srcFile, srcSection);
    if (keys.empty()) return true;
    profile::WriteBatch batch(dstFile);
    bool ok = true;
    for (const auto& key : keys)
        ok = writeIniString(dstFile, dstSection, key, getIniString(srcFile, srcSection, key, "", false)) && ok;
    return batch.commit() && ok;
}

void getIndexedIniList(const std::string& iniFile, const std::string& section, const std::string& stem, int firstIndex,
                       bool trim, std::vector<std::string>& list) {
    for (long long n = firstIndex; n <= INT_MAX; ++n) {
        std::string value = getIniString(iniFile, section, stem + std::to_string(n), "", trim);
        if (value.empty()) break;
        list.push_back(std::move(value));
    }
}

std::vector<std::string> getIndexedIniList(const std::string& iniFile, const std::string& section,
                                           const std::string& stem, int firstIndex, bool trim) {
    std::vector<std::string> list;
    getIndexedIniList(iniFile, section, stem, firstIndex, trim, list);
    return list;
}

int writeIndexedList(const std::string& iniFile, const std::string& section, const std::string& stem, int firstIndex,
                     const std::vector<std::string>& list, bool clearSection) {
    if (!clearSection && list.empty()) return 0;
    profile::WriteBatch batch(iniFile);
    bool ok = true;
    if (clearSection) ok = deleteIniSection(iniFile, section);
    int written = 0;
    for (const auto& item : list) {
        ok = writeIniString(iniFile, section, stem + std::to_string(static_cast<long long>(firstIndex) + written),
                            item) &&
             ok;
        ++written;
    }
    return batch.commit() && ok ? written : -1;
}

bool deleteIndexedIniKeys(const std::string& iniFile, const std::string& section, const std::string& stem,
                          int firstIndex) {
    std::optional<profile::WriteBatch> batch;  // one rewrite, and none when nothing goes
    bool ok = true;
    for (long long n = firstIndex; n <= INT_MAX; ++n) {
        const std::string key = stem + std::to_string(n);
        if (getIniString(iniFile, section, key, "", true).empty()) break;
        if (!batch) batch.emplace(iniFile);
        ok = deleteIniKey(iniFile, section, key) && ok;
    }
    return (!batch || batch->commit()) && ok;
}

bool deleteIndexedIniSections(const std::string& iniFile, const std::string& stem, int firstIndex,
                              const std::string& key) {
    std::optional<profile::WriteBatch> batch;
    bool ok = true;
    for (long long n = firstIndex; n <= INT_MAX; ++n) {
        const std::string section = stem + std::to_string(n);
        if (getIniString(iniFile, section, key, "", true).empty()) break;
        if (!batch) batch.emplace(iniFile);
        ok = deleteIniSection(iniFile, section) && ok;
    }
    return (!batch || batch->commit()) && ok;
}

int getDebugInt(const std::string& iniFile, const std::string& key, int defaultValue) {
    return getIniInt(iniFile, kDebugSection, key, defaultValue);
}

bool getDebugBool(const std::string& iniFile, const std::string& key, bool defaultValue) {
    return getIniBool(iniFile, kDebugSection, key, defaultValue);
}

std::string getDebugString(const std::string& iniFile, const std::string& key, const std::string& defaultValue) {
    std::string value = profile::getString(iniFile, kDebugSection, key, defaultValue);
    if (value.size() > kMaxDebugString) value.resize(kMaxDebugString);
    return value;
}

}  // namespace tools
