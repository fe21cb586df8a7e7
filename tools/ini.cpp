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

bool isSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

std::string trimString(const std::string& text)
{
    if (text.empty() || (!isSpace(text.front()) && !isSpace(text.back())))
        return text;
    std::size_t first = 0;
    while (first < text.size() && isSpace(text[first]))
        ++first;
    if (first == text.size())
        return std::string();
    std::size_t last = text.size() - 1;
    while (last > first && isSpace(text[last]))
        --last;
    return text.substr(first, last - first + 1);
}

int getIniInt(const std::string& iniFile, const std::string& section, const std::string& key, int defaultValue)
{
    return profile::getInt(iniFile, section, key, defaultValue);
}

int getIniIntInRange(const std::string& iniFile, const std::string& section, const std::string& key, int min, int max,
                     int defaultValue)
{
    const int value = getIniInt(iniFile, section, key, defaultValue);
    return value >= min && value <= max ? value : defaultValue;
}

bool getIniBool(const std::string& iniFile, const std::string& section, const std::string& key, bool defaultValue)
{
    return getIniInt(iniFile, section, key, defaultValue ? 1 : 0) != 0;
}

std::string getIniString(const std::string& iniFile, const std::string& section, const std::string& key,
                         const std::string& defaultValue, bool trim)
{
    std::string value = profile::getString(iniFile, section, key, defaultValue);
    if (value.find('%') != std::string::npos)
        value = urlDecode(value);
    if (trim && !value.empty() && (isSpace(value.front()) || isSpace(value.back())))
        value = trimString(value);
    return value;
}

std::string getIniEncryptedString(const crypto::Blowfish& cipher, const std::string& iniFile,
                                  const std::string& section, const std::string& key, const std::string& defaultValue,
                                  bool /*trim*/)
{
    // Blanks and control bytes are ordinary cipher bytes: the decoded value
    // is deciphered as it is, never trimmed. Values are written with blanks
    // encoded ("%20"), so the profile layer's stripping of blanks around a
    // value cannot cut them off; older values that were written with raw
    // blanks inside still decode to the same bytes.
    const std::string enciphered = urlDecode(profile::getString(iniFile, section, key, defaultValue));
    if (enciphered.empty())
        return std::string();
    std::string plain(enciphered.size(), '\0');
    cipher.decrypt(enciphered.data(), enciphered.size(), plain.data());
    return plain;
}

void getIniKeyNames(const std::string& iniFile, const std::string& section, std::vector<std::string>& keyNames)
{
    for (auto& name : profile::getKeyNames(iniFile, section))
        keyNames.push_back(std::move(name));
}

std::vector<std::string> getIniKeyNames(const std::string& iniFile, const std::string& section)
{
    return profile::getKeyNames(iniFile, section);
}

void getIniSectionNames(const std::string& iniFile, std::vector<std::string>& sectionNames)
{
    for (auto& name : profile::getSectionNames(iniFile))
        sectionNames.push_back(std::move(name));
}

std::vector<std::string> getIniSectionNames(const std::string& iniFile)
{
    return profile::getSectionNames(iniFile);
}

void writeIniString(const std::string& iniFile, const std::string& section, const std::string& key,
                    const std::string& value)
{
    profile::writeString(iniFile, section, key, urlEncode(value));
}

void writeIniInt(const std::string& iniFile, const std::string& section, const std::string& key, int value)
{
    writeIniString(iniFile, section, key, std::to_string(value));
}

void writeIniBool(const std::string& iniFile, const std::string& section, const std::string& key, bool value)
{
    writeIniString(iniFile, section, key, value ? "1" : "0");
}

void writeIniEncryptedString(const crypto::Blowfish& cipher, const std::string& iniFile, const std::string& section,
                             const std::string& key, const std::string& value)
{
    if (value.empty()) {
        profile::writeString(iniFile, section, key, std::string());
        return;
    }
    std::string enciphered(value.size(), '\0');
    cipher.encrypt(value.data(), value.size(), enciphered.data());
    profile::writeString(iniFile, section, key, urlEncode(enciphered, " "));
}

bool deleteIniKey(const std::string& iniFile, const std::string& section, const std::string& key)
{
    return profile::deleteKey(iniFile, section, key);
}

bool deleteIniSection(const std::string& iniFile, const std::string& section)
{
    return profile::deleteSection(iniFile, section);
}

void copyIniSection(const std::string& srcFile, const std::string& srcSection, const std::string& dstFile,
                    const std::string& dstSection)
{
    const std::vector<std::string> keys = getIniKeyNames(srcFile, srcSection);
    if (keys.empty())
        return;
    profile::WriteBatch batch(dstFile);
    for (const auto& key : keys)
        writeIniString(dstFile, dstSection, key, getIniString(srcFile, srcSection, key, "", false));
}

void getIndexedIniList(const std::string& iniFile, const std::string& section, const std::string& stem,
                       int firstIndex, bool trim, std::vector<std::string>& list)
{
    for (long long n = firstIndex; n <= INT_MAX; ++n) {
        std::string value = getIniString(iniFile, section, stem + std::to_string(n), "", trim);
        if (value.empty())
            break;
        list.push_back(std::move(value));
    }
}

std::vector<std::string> getIndexedIniList(const std::string& iniFile, const std::string& section,
                                           const std::string& stem, int firstIndex, bool trim)
{
    std::vector<std::string> list;
    getIndexedIniList(iniFile, section, stem, firstIndex, trim, list);
    return list;
}

int writeIndexedList(const std::string& iniFile, const std::string& section, const std::string& stem,
                     int firstIndex, const std::vector<std::string>& list, bool clearSection)
{
    if (!clearSection && list.empty())
        return 0;
    profile::WriteBatch batch(iniFile);
    if (clearSection)
        deleteIniSection(iniFile, section);
    int written = 0;
    for (const auto& item : list) {
        writeIniString(iniFile, section, stem + std::to_string(static_cast<long long>(firstIndex) + written), item);
        ++written;
    }
    return written;
}

void deleteIndexedIniKeys(const std::string& iniFile, const std::string& section, const std::string& stem,
                          int firstIndex)
{
    std::optional<profile::WriteBatch> batch;  // one rewrite, and none when nothing goes
    for (long long n = firstIndex; n <= INT_MAX; ++n) {
        const std::string key = stem + std::to_string(n);
        if (getIniString(iniFile, section, key, "", true).empty())
            break;
        if (!batch)
            batch.emplace(iniFile);
        deleteIniKey(iniFile, section, key);
    }
}

void deleteIndexedIniSections(const std::string& iniFile, const std::string& stem, int firstIndex,
                              const std::string& key)
{
    std::optional<profile::WriteBatch> batch;
    for (long long n = firstIndex; n <= INT_MAX; ++n) {
        const std::string section = stem + std::to_string(n);
        if (getIniString(iniFile, section, key, "", true).empty())
            break;
        if (!batch)
            batch.emplace(iniFile);
        deleteIniSection(iniFile, section);
    }
}

int getDebugInt(const std::string& iniFile, const std::string& key, int defaultValue)
{
    return getIniInt(iniFile, kDebugSection, key, defaultValue);
}

bool getDebugBool(const std::string& iniFile, const std::string& key, bool defaultValue)
{
    return getIniBool(iniFile, kDebugSection, key, defaultValue);
}

std::string getDebugString(const std::string& iniFile, const std::string& key, const std::string& defaultValue)
{
    std::string value = profile::getString(iniFile, kDebugSection, key, defaultValue);
    if (value.size() > kMaxDebugString)
        value.resize(kMaxDebugString);
    return value;
}

}  // namespace tools
