#pragma once
// Object layer over the per-user key store (platform/registry.h), shaped like
// the classic registry API:
//
//   CRegistry& reg = getRegistry();
//   char buf[261]; std::uint32_t size = sizeof buf;
//   if (reg.getValue("HKEY_CLASSES_ROOT\\.txt", nullptr, buf, &size)) ...   // default value
//
//   std::unique_ptr<CRegistryKey> key;
//   if (reg.openKey(key, "HKEY_CURRENT_USER\\Software\\Orvan", 0, true)) key->setDword("Width", 640);
//
// A key path starts with a root name ("HKEY_CURRENT_USER", ... compared
// without regard to case); '\' and '/' both separate components, and one
// leading separator is ignored. Every operation returns true on success and
// keeps a result code (0 on success, else a system-style error number, see
// RegistryResult) that getLastResult() returns. Nothing throws.
//
// Handles are opaque pointer-sized values: the six predefined roots have fixed
// values, every opened sub-key gets a new one.
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tools {

using RegistryHandle = std::uintptr_t;

// Predefined root handles.
constexpr RegistryHandle kHkeyClassesRoot = 0x80000000u;
constexpr RegistryHandle kHkeyCurrentUser = 0x80000001u;
constexpr RegistryHandle kHkeyLocalMachine = 0x80000002u;
constexpr RegistryHandle kHkeyUsers = 0x80000003u;
constexpr RegistryHandle kHkeyCurrentConfig = 0x80000005u;
constexpr RegistryHandle kHkeyDynData = 0x80000006u;

// Access masks.
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kKeySetValue = 0x0002;
constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Value types.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegDwordBigEndian = 5;
constexpr std::uint32_t kRegLink = 6;
constexpr std::uint32_t kRegMultiSz = 7;
constexpr std::uint32_t kRegResourceList = 8;

// Result codes kept by the operations.
enum RegistryResult : long {
    kRegSuccess = 0,
    kRegFileNotFound = 2,   // no such key or value
    kRegAccessDenied = 5,   // the key was not opened with the access the call needs
    kRegInvalidHandle = 6,  // the key is not open
    kRegWriteFault = 29,    // the store could not be written
    kRegInvalidParameter = 87,
    kRegMoreData = 234,       // the buffer is too small; the size says how much is needed
    kRegNoMoreItems = 259,    // enumeration index past the end
    kRegAlreadyExists = 183,  // createSubKey without a disposition found an existing key
    kRegKeyHasSubKeys = 1020,
};

enum class KeyDisposition { CreatedNewKey = 1, OpenedExistingKey = 2 };

// Root handle for a root name (without regard to case), 0 when unknown.
RegistryHandle registryRootByName(const std::string& name);
// True for the six predefined root handles.
bool isPredefinedRegistryRoot(RegistryHandle handle);
// Name of a root handle, "???" when it is none of them.
const char* registryRootName(RegistryHandle handle);
// Name of a value type ("REG_DWORD"), "???" when unknown.
const char* registryTypeName(std::uint32_t type);

class CRegistryKey;

class CRegistry {
public:
    explicit CRegistry(std::uint32_t defaultAccess = kKeyAllAccess);
    virtual ~CRegistry();

    std::uint32_t getDefaultAccess() const { return defaultAccess_; }

    // Opens (or with create, creates the missing parts of) the key; access 0
    // means the default access. On success the caller owns the open key.
    bool openKey(std::unique_ptr<CRegistryKey>& key, const std::string& path, std::uint32_t access, bool create);
    bool keyExists(const std::string& path);

    // Reads a value (null name: the key's default value) into the buffer;
    // *size gives the buffer size and receives the data size. String values
    // come with their terminating NUL.
    bool getValue(const std::string& path, const char* valueName, void* buffer, std::uint32_t* size);
    bool getDword(const std::string& path, const char* valueName, std::uint32_t& value);
    // Writes into an existing key.
    bool setValue(const std::string& path, const char* valueName, std::uint32_t type, const void* data,
                  std::uint32_t size);
    bool setDword(const std::string& path, const char* valueName, std::uint32_t value);
    bool setString(const std::string& path, const char* valueName, const std::string& text, bool expand);

private:
    std::uint32_t defaultAccess_;
};

// The installed replacement, else the process-wide object (default access
// kKeyAllAccess) created on first use.
CRegistry& getRegistry();
// Installs a replacement (null removes it); returns the previous one.
CRegistry* setRegistry(CRegistry* registry);

class CRegistryKey {
public:
    CRegistryKey(CRegistry& registry, const std::string& path, std::uint32_t access);
    virtual ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Writes the key path.
    virtual void print(std::ostream& os) const;

    const std::string& getPath() const { return path_; }
    std::uint32_t getAccess() const { return access_; }
    bool isOpen() const { return !handles_.empty(); }
    // The key's handle (last of the chain), 0 when closed.
    RegistryHandle getHandle() const { return handles_.empty() ? 0 : handles_.back(); }
    const std::vector<RegistryHandle>& getHandleChain() const { return handles_; }
    long getLastResult() const { return lastResult_; }

    bool open(bool create);
    bool close();
    bool flush();

    bool subKeyCount(std::uint32_t& count);
    bool maxSubKeyNameLength(std::uint32_t& length);
    bool valueCount(std::uint32_t& count);
    bool maxValueNameLength(std::uint32_t& length);
    bool maxValueSize(std::uint32_t& size);

    // Name of value number index; *size gives the buffer size (with room for
    // the NUL) and receives the name's length.
    bool enumValueName(std::uint32_t index, char* buffer, std::uint32_t* size);
    bool getValueType(const char* valueName, std::uint32_t& type);
    bool getValueSize(const char* valueName, std::uint32_t& size);
    bool hasValue(const char* valueName);
    bool getValue(void* buffer, std::uint32_t* size, const char* valueName);
    bool getDword(const char* valueName, std::uint32_t& value);
    bool setValue(const char* valueName, std::uint32_t type, const void* data, std::uint32_t size);
    bool setDword(const char* valueName, std::uint32_t value);
    bool setString(const char* valueName, const std::string& text, bool expand);

    bool enumSubKeyName(std::uint32_t index, char* buffer, std::uint32_t* size);
    bool subKeyExists(const std::string& name);
    // The new key's path is this path, '\' and the name; access 0 = default.
    bool openSubKey(std::unique_ptr<CRegistryKey>& key, const std::string& name, std::uint32_t access);
    // Without a disposition an existing key makes the call fail (and the new
    // handle is closed); without an out key the new handle is closed at once.
    // The key store keeps no volatile keys: volatileKey is accepted and ignored.
    bool createSubKey(std::unique_ptr<CRegistryKey>* key, const std::string& name, bool volatileKey,
                      std::uint32_t access, KeyDisposition* disposition);
    // Deletes a sub-key that has no sub-keys of its own.
    bool deleteSubKey(const std::string& name);

    void dumpInfo(std::ostream& os, bool showHandles, const std::string& prefix);
    void dumpValues(std::ostream& os, const std::string& prefix);
    void dumpSubKeys(std::ostream& os, const std::string& prefix);
    // maxDepth < 0: no limit.
    void dumpTree(std::ostream& os, bool separators, bool values, int maxDepth, const std::string& prefix);

private:
    bool checkOpen();
    bool checkAccess(std::uint32_t needed);
    bool fail(long result);
    bool succeed();
    // The names of the key's sub-keys (or values) for the count and length
    // queries; false (the failure recorded) when the key is gone.
    bool listNames(bool subKeys, std::vector<std::string>& names);
    std::string storeName(const std::string& sub) const;
    void dumpTreeLevel(std::ostream& os, bool separators, bool values, int maxDepth, const std::string& prefix,
                       int depth);

    CRegistry* registry_;
    std::string path_;
    std::uint32_t access_;
    std::vector<RegistryHandle> handles_;
    std::string storePath_;  // path in the key store: canonical root name, then the components
    long lastResult_ = kRegSuccess;
};

std::ostream& operator<<(std::ostream& os, const CRegistryKey& key);

}  // namespace tools
