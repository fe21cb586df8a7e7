#pragma once
// INI access on top of platform::profile. String values are stored
// percent-encoded (urlEncode) so any byte sequence survives one text line;
// lists are stored as numbered keys or numbered sections; secret values are
// stored enciphered. No state is kept: every call goes through the profile
// layer, so a caller's open platform::profile::WriteBatch applies to it.
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/codecs.h"

namespace crypto {
class Blowfish;
}

namespace tools {

int getIniInt(const std::string& iniFile, const std::string& section, const std::string& key, int defaultValue);
// The value when min <= value <= max, else the default.
int getIniIntInRange(const std::string& iniFile, const std::string& section, const std::string& key, int min, int max,
                     int defaultValue);
bool getIniBool(const std::string& iniFile, const std::string& section, const std::string& key, bool defaultValue);
// Raw value (or the default), decoded, then trimmed when `trim` is set.
std::string getIniString(const std::string& iniFile, const std::string& section, const std::string& key,
                         const std::string& defaultValue, bool trim);
// Reads a value written by writeIniEncryptedString and deciphers it.
std::string getIniEncryptedString(const crypto::Blowfish& cipher, const std::string& iniFile,
                                  const std::string& section, const std::string& key, const std::string& defaultValue,
                                  bool trim);

// Append the key names of a section / the section names of a file, in file order.
void getIniKeyNames(const std::string& iniFile, const std::string& section, std::vector<std::string>& keyNames);
std::vector<std::string> getIniKeyNames(const std::string& iniFile, const std::string& section);
void getIniSectionNames(const std::string& iniFile, std::vector<std::string>& sectionNames);
std::vector<std::string> getIniSectionNames(const std::string& iniFile);

// Writes urlEncode(value); creates file, section and key as needed.
// Every write below returns false when the file could not be written (errno
// tells why; inside a caller's WriteBatch the batch's commit reports it).
bool writeIniString(const std::string& iniFile, const std::string& section, const std::string& key,
                    const std::string& value);
bool writeIniInt(const std::string& iniFile, const std::string& section, const std::string& key, int value);
bool writeIniBool(const std::string& iniFile, const std::string& section, const std::string& key, bool value);
// Enciphers a non-empty value and stores it percent-encoded; an empty value
// is stored empty.
bool writeIniEncryptedString(const crypto::Blowfish& cipher, const std::string& iniFile, const std::string& section,
                             const std::string& key, const std::string& value);

// Secrets kept among plain values (password parameters of plug-ins and
// hooks): enciphered as writeIniEncryptedString does, behind the mark "%~",
// which no percent-encoded plain value begins with, so that values stored
// plain before still read. An empty value is stored empty.
bool writeIniSecretString(const crypto::Blowfish& cipher, const std::string& iniFile, const std::string& section,
                          const std::string& key, const std::string& value);
// The value from its stored text (as the profile layer reads it): deciphered
// behind the mark, else a plain value (percent-decoded, trimmed).
std::string decodeIniSecretString(const crypto::Blowfish& cipher, const std::string& stored);

// False when the file could not be written.
bool deleteIniKey(const std::string& iniFile, const std::string& section, const std::string& key);
bool deleteIniSection(const std::string& iniFile, const std::string& section);

// Copies every key of the source section to the destination section (one
// rewrite of the destination); false when it could not be written.
bool copyIniSection(const std::string& srcFile, const std::string& srcSection, const std::string& dstFile,
                    const std::string& dstSection);

// Appends the values of <stem>N, N = firstIndex, firstIndex+1, ..., up to the
// first empty one.
void getIndexedIniList(const std::string& iniFile, const std::string& section, const std::string& stem, int firstIndex,
                       bool trim, std::vector<std::string>& list);
std::vector<std::string> getIndexedIniList(const std::string& iniFile, const std::string& section,
                                           const std::string& stem, int firstIndex, bool trim);
// Writes item i as <stem>(firstIndex + i), after deleting the section when
// clearSection is set. Returns the number of items written, or -1 when the
// file could not be written.
int writeIndexedList(const std::string& iniFile, const std::string& section, const std::string& stem, int firstIndex,
                     const std::vector<std::string>& list, bool clearSection);
// Deletes <stem>N keys from firstIndex up to the first empty one; false when
// the file could not be written.
bool deleteIndexedIniKeys(const std::string& iniFile, const std::string& section, const std::string& stem,
                          int firstIndex);
// Deletes sections <stem>N from firstIndex up to the first whose `key` is
// empty; false when the file could not be written.
bool deleteIndexedIniSections(const std::string& iniFile, const std::string& stem, int firstIndex,
                              const std::string& key);

// Values of section "Debug".
int getDebugInt(const std::string& iniFile, const std::string& key, int defaultValue);
bool getDebugBool(const std::string& iniFile, const std::string& key, bool defaultValue);
// Raw (not decoded, not trimmed beyond the profile layer), at most 4095 bytes.
std::string getDebugString(const std::string& iniFile, const std::string& key, const std::string& defaultValue);

// Copy without leading and trailing white space ("C" locale isspace).
std::string trimString(const std::string& text);

}  // namespace tools
