#pragma once
// The per-user key store that stands in for the system registry: a tree of
// keys named by paths whose parts are separated by "\" (a "/" separates
// too; one leading separator is ignored), compared without regard to case
// and keeping the case they were created with. Each key holds named values
// of a type (string, 32-bit integer, binary, ...); the empty name is the
// key's default value.
//
// The store is one file: $ORVAN_REGISTRY_FILE, else
// $XDG_CONFIG_HOME/orvan/registry.ini, else ~/.config/orvan/registry.ini.
// Every change reads the file, changes it and replaces it atomically while
// holding an exclusive lock (flock on "<file>.lock"), so two processes never
// corrupt it or lose each other's changes. Failures return false with errno
// set (ENOENT: no such key or value; ENOTEMPTY: the key has sub-keys).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::registry {

// Value types, numbered as the system registry numbers them.
enum ValueType : std::uint32_t {
    TypeNone = 0,
    TypeString = 1,
    TypeExpandString = 2,
    TypeBinary = 3,
    TypeDword = 4,
    TypeDwordBigEndian = 5,
    TypeLink = 6,
    TypeMultiString = 7,
};

struct Value {
    std::uint32_t type = TypeString;
    std::string data;  // the value's bytes: a string without its NUL, a 32-bit integer in 4 little-endian bytes
};

// Path of the store file now in use.
std::string storeFile();

bool keyExists(const std::string& key);

// Creates the key and any missing parent. *created (when given) tells
// whether the key was new.
bool createKey(const std::string& key, bool* created = nullptr);

// Deletes a key that has no sub-keys (ENOTEMPTY otherwise).
bool deleteKey(const std::string& key);

// Deletes a key with all its sub-keys and values.
bool deleteTree(const std::string& key);

// Names of the sub-keys (one level) and of the values of a key, in the order
// they were created; nullopt when the key does not exist.
std::optional<std::vector<std::string>> subKeyNames(const std::string& key);
std::optional<std::vector<std::string>> valueNames(const std::string& key);

// Writes a value into an existing key (ENOENT when the key is missing).
bool setValue(const std::string& key, const std::string& name, const Value& value);
bool setString(const std::string& key, const std::string& name, const std::string& text);
bool setDword(const std::string& key, const std::string& name, std::uint32_t value);
bool setBinary(const std::string& key, const std::string& name, const std::string& bytes);

// A value, or nullopt when the key or value is missing.
std::optional<Value> getValue(const std::string& key, const std::string& name);
// A string value (types string and expand-string), nullopt otherwise.
std::optional<std::string> getString(const std::string& key, const std::string& name);
// A 32-bit value of 4 bytes (type dword), nullopt otherwise.
std::optional<std::uint32_t> getDword(const std::string& key, const std::string& name);

bool deleteValue(const std::string& key, const std::string& name);

}  // namespace platform::registry
