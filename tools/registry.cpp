#include "tools/registry.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <strings.h>

#include "platform/registry.h"

namespace tools {

namespace {

struct RootEntry {
    const char* name;
    RegistryHandle handle;
};

// Looked up in this order.
const RootEntry kRoots[] = {
    {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},     {"HKEY_USERS", kHkeyUsers},
    {"HKEY_CURRENT_USER", kHkeyCurrentUser},     {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig}, {"HKEY_DYN_DATA", kHkeyDynData},
};

struct TypeEntry {
    std::uint32_t type;
    const char* name;
};

// A type looks up the first row that matches.
const TypeEntry kTypes[] = {
    {3, "REG_BINARY"},
    {4, "REG_DWORD"},
    {4, "REG_DWORD_LITTLE_ENDIAN"},
    {5, "REG_DWORD_BIG_ENDIAN"},
    {2, "REG_EXPAND_SZ"},
    {6, "REG_LINK"},
    {7, "REG_MULTI_SZ"},
    {0, "REG_NONE"},
    {8, "REG_RESOURCE_LIST"},
    {1, "REG_SZ"},
};

std::atomic<RegistryHandle> g_nextHandle{0x1000};

RegistryHandle newHandle() { return g_nextHandle.fetch_add(4); }

// Installed by tests from one thread while others may be reading it.
std::atomic<CRegistry*> g_replacement{nullptr};

long resultFromErrno(int err) {
    switch (err) {
        case ENOENT:
            return kRegFileNotFound;
        case ENOTEMPTY:
            return kRegKeyHasSubKeys;
        case EINVAL:
            return kRegInvalidParameter;
        case EACCES:
        case EPERM:
            return kRegAccessDenied;
        default:
            return kRegWriteFault;
    }
}

bool isStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

// The bytes a reader receives: string values carry their terminating NUL.
std::string presentedData(const platform::registry::Value& value) {
    std::string data = value.data;
    if (isStringType(value.type)) data.push_back('\0');
    return data;
}

// What is stored for data written with a type: strings lose one terminating NUL.
std::string storedData(std::uint32_t type, const void* data, std::uint32_t size) {
    std::string bytes = data && size ? std::string(static_cast<const char*>(data), size) : std::string();
    if (isStringType(type) && !bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            parts.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    parts.push_back(current);
    return parts;
}

std::string stripLeadingSeparator(const std::string& path) {
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return path.substr(1);
    return path;
}

std::string valueNameOf(const char* name) { return name ? std::string(name) : std::string(); }

std::string formatValue(const platform::registry::Value& value) {
    if (value.type == kRegSz) return "'" + value.data + "'";
    if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(value.data[i]);
        char buf[64];
        std::snprintf(buf, sizeof buf, "0x%08lx (%lu)", static_cast<unsigned long>(v), static_cast<unsigned long>(v));
        return buf;
    }
    return "???";
}

}  // namespace

RegistryHandle registryRootByName(const std::string& name) {
    for (const RootEntry& root : kRoots)
        if (strcasecmp(root.name, name.c_str()) == 0) return root.handle;
    return 0;
}

bool isPredefinedRegistryRoot(RegistryHandle handle) {
    for (const RootEntry& root : kRoots)
        if (root.handle == handle) return true;
    return false;
}

const char* registryRootName(RegistryHandle handle) {
    for (const RootEntry& root : kRoots)
        if (root.handle == handle) return root.name;
    return "???";
}

const char* registryTypeName(std::uint32_t type) {
    for (const TypeEntry& entry : kTypes)
        if (entry.type == type) return entry.name;
    return "???";
}

// ---------------------------------------------------------------------------
// CRegistry

CRegistry::CRegistry(std::uint32_t defaultAccess) : defaultAccess_(defaultAccess) {}

CRegistry::~CRegistry() = default;

CRegistry& getRegistry() {
    static CRegistry registry(kKeyAllAccess);
    CRegistry* replacement = g_replacement.load();
    return replacement ? *replacement : registry;
}

CRegistry* setRegistry(CRegistry* registry) { return g_replacement.exchange(registry); }

bool CRegistry::openKey(std::unique_ptr<CRegistryKey>& key, const std::string& path, std::uint32_t access,
                        bool create) {
    auto newKey = std::make_unique<CRegistryKey>(*this, path, access);
    if (!newKey->open(create)) return false;
    key = std::move(newKey);
    return true;
}

bool CRegistry::keyExists(const std::string& path) {
    CRegistryKey key(*this, path, 0);
    return key.open(false);
}

bool CRegistry::getValue(const std::string& path, const char* valueName, void* buffer, std::uint32_t* size) {
    CRegistryKey key(*this, path, kKeyRead);
    return key.open(false) && key.getValue(buffer, size, valueName);
}

bool CRegistry::getDword(const std::string& path, const char* valueName, std::uint32_t& value) {
    CRegistryKey key(*this, path, kKeyRead);
    return key.open(false) && key.getDword(valueName, value);
}

bool CRegistry::setValue(const std::string& path, const char* valueName, std::uint32_t type, const void* data,
                         std::uint32_t size) {
    CRegistryKey key(*this, path, kKeyWrite);
    return key.open(false) && key.setValue(valueName, type, data, size);
}

bool CRegistry::setDword(const std::string& path, const char* valueName, std::uint32_t value) {
    return setValue(path, valueName, kRegDword, &value, 4);
}

bool CRegistry::setString(const std::string& path, const char* valueName, const std::string& text, bool expand) {
    return setValue(path, valueName, expand ? kRegExpandSz : kRegSz, text.c_str(),
                    static_cast<std::uint32_t>(text.size() + 1));
}

// ---------------------------------------------------------------------------
// CRegistryKey

CRegistryKey::CRegistryKey(CRegistry& registry, const std::string& path, std::uint32_t access)
    : registry_(&registry),
      path_(stripLeadingSeparator(path)),
      access_(access ? access : registry.getDefaultAccess()) {}

CRegistryKey::~CRegistryKey() {
    if (isOpen()) close();
}

void CRegistryKey::print(std::ostream& os) const { os << path_; }

std::ostream& operator<<(std::ostream& os, const CRegistryKey& key) {
    key.print(os);
    return os;
}

bool CRegistryKey::fail(long result) {
    lastResult_ = result;
    return false;
}

bool CRegistryKey::succeed() {
    lastResult_ = kRegSuccess;
    return true;
}

bool CRegistryKey::checkOpen() {
    if (!isOpen()) return fail(kRegInvalidHandle);
    return true;
}

bool CRegistryKey::checkAccess(std::uint32_t needed) {
    if (!checkOpen()) return false;
    if ((access_ & needed) != needed) return fail(kRegAccessDenied);
    return true;
}

std::string CRegistryKey::storeName(const std::string& sub) const {
    return sub.empty() ? storePath_ : storePath_ + "\\" + sub;
}

bool CRegistryKey::open(bool create) {
    if (isOpen()) return succeed();
    std::vector<std::string> parts = splitPath(path_);
    RegistryHandle root = registryRootByName(parts[0]);
    if (!root) return fail(kRegFileNotFound);
    std::vector<RegistryHandle> chain;
    chain.push_back(root);
    std::string store = registryRootName(root);
    long result = kRegSuccess;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;  // doubled or trailing separator
        store += "\\" + parts[i];
        bool ok = create ? platform::registry::createKey(store) : platform::registry::keyExists(store);
        if (!ok) {
            result = create ? resultFromErrno(errno) : kRegFileNotFound;
            break;
        }
        chain.push_back(newHandle());
    }
    if (result != kRegSuccess) {
        // Only a key opened completely counts as open; the partial chain is released.
        return fail(result);
    }
    handles_ = std::move(chain);
    storePath_ = store;
    return succeed();
}

bool CRegistryKey::close() {
    if (!checkOpen()) return false;
    handles_.clear();
    storePath_.clear();
    return succeed();
}

bool CRegistryKey::flush() {
    // Every change of the key store is already on disk when the call returns.
    if (!checkOpen()) return false;
    return succeed();
}

bool CRegistryKey::listNames(bool subKeys, std::vector<std::string>& names) {
    if (!checkOpen()) return false;
    auto found = subKeys ? platform::registry::subKeyNames(storePath_) : platform::registry::valueNames(storePath_);
    // A root key always exists; a key below one that is gone is an error.
    if (!found && storePath_.find('\\') != std::string::npos) return fail(kRegFileNotFound);
    names = found ? std::move(*found) : std::vector<std::string>();
    return true;
}

namespace {
std::uint32_t longestName(const std::vector<std::string>& names) {
    std::uint32_t length = 0;
    for (const std::string& name : names) length = std::max(length, static_cast<std::uint32_t>(name.size()));
    return length;
}
}  // namespace

bool CRegistryKey::subKeyCount(std::uint32_t& count) {
    std::vector<std::string> names;
    if (!listNames(true, names)) return false;
    count = static_cast<std::uint32_t>(names.size());
    return succeed();
}

bool CRegistryKey::maxSubKeyNameLength(std::uint32_t& length) {
    std::vector<std::string> names;
    if (!listNames(true, names)) return false;
    length = longestName(names);
    return succeed();
}

bool CRegistryKey::valueCount(std::uint32_t& count) {
    std::vector<std::string> names;
    if (!listNames(false, names)) return false;
    count = static_cast<std::uint32_t>(names.size());
    return succeed();
}

bool CRegistryKey::maxValueNameLength(std::uint32_t& length) {
    std::vector<std::string> names;
    if (!listNames(false, names)) return false;
    length = longestName(names);
    return succeed();
}

bool CRegistryKey::maxValueSize(std::uint32_t& size) {
    std::vector<std::string> names;
    if (!listNames(false, names)) return false;
    size = 0;
    for (const std::string& name : names)
        if (auto value = platform::registry::getValue(storePath_, name))
            size = std::max(size, static_cast<std::uint32_t>(presentedData(*value).size()));
    return succeed();
}

bool CRegistryKey::enumValueName(std::uint32_t index, char* buffer, std::uint32_t* size) {
    if (!checkAccess(kKeyQueryValue)) return false;
    if (!buffer || !size) return fail(kRegInvalidParameter);
    auto names = platform::registry::valueNames(storePath_);
    if (!names || index >= names->size()) return fail(kRegNoMoreItems);
    const std::string& name = (*names)[index];
    if (name.size() + 1 > *size) return fail(kRegMoreData);
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<std::uint32_t>(name.size());
    return succeed();
}

bool CRegistryKey::getValueType(const char* valueName, std::uint32_t& type) {
    if (!checkAccess(kKeyQueryValue)) return false;
    auto value = platform::registry::getValue(storePath_, valueNameOf(valueName));
    if (!value) return fail(kRegFileNotFound);
    type = value->type;
    return succeed();
}

bool CRegistryKey::getValueSize(const char* valueName, std::uint32_t& size) {
    if (!checkAccess(kKeyQueryValue)) return false;
    auto value = platform::registry::getValue(storePath_, valueNameOf(valueName));
    if (!value) return fail(kRegFileNotFound);
    size = static_cast<std::uint32_t>(presentedData(*value).size());
    return succeed();
}

bool CRegistryKey::hasValue(const char* valueName) {
    std::uint32_t size = 0;
    return getValueSize(valueName, size) && size > 0;
}

bool CRegistryKey::getValue(void* buffer, std::uint32_t* size, const char* valueName) {
    if (!checkAccess(kKeyQueryValue)) return false;
    if (!size) return fail(kRegInvalidParameter);
    auto value = platform::registry::getValue(storePath_, valueNameOf(valueName));
    if (!value) return fail(kRegFileNotFound);
    std::string data = presentedData(*value);
    std::uint32_t available = *size;
    *size = static_cast<std::uint32_t>(data.size());
    if (!buffer) return succeed();  // size query only
    if (data.size() > available) return fail(kRegMoreData);
    if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
    return succeed();
}

bool CRegistryKey::getDword(const char* valueName, std::uint32_t& value) {
    std::uint32_t type = 0;
    if (!getValueType(valueName, type)) return false;
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::uint32_t size = 4;
    if (!getValue(bytes, &size, valueName)) return false;
    if (size != 4) return fail(kRegInvalidParameter);
    value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

bool CRegistryKey::setValue(const char* valueName, std::uint32_t type, const void* data, std::uint32_t size) {
    if (!checkAccess(kKeySetValue)) return false;
    platform::registry::Value value;
    value.type = type;
    value.data = storedData(type, data, size);
    if (!platform::registry::setValue(storePath_, valueNameOf(valueName), value)) return fail(resultFromErrno(errno));
    return succeed();
}

bool CRegistryKey::setDword(const char* valueName, std::uint32_t value) {
    unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return setValue(valueName, kRegDword, bytes, 4);
}

bool CRegistryKey::setString(const char* valueName, const std::string& text, bool expand) {
    return setValue(valueName, expand ? kRegExpandSz : kRegSz, text.c_str(),
                    static_cast<std::uint32_t>(text.size() + 1));
}

bool CRegistryKey::enumSubKeyName(std::uint32_t index, char* buffer, std::uint32_t* size) {
    if (!checkAccess(kKeyEnumerateSubKeys)) return false;
    if (!buffer || !size) return fail(kRegInvalidParameter);
    auto names = platform::registry::subKeyNames(storePath_);
    if (!names || index >= names->size()) return fail(kRegNoMoreItems);
    const std::string& name = (*names)[index];
    if (name.size() + 1 > *size) return fail(kRegMoreData);
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<std::uint32_t>(name.size());
    return succeed();
}

bool CRegistryKey::subKeyExists(const std::string& name) {
    if (!checkOpen()) return false;
    if (name.empty() || !platform::registry::keyExists(storeName(name))) return fail(kRegFileNotFound);
    return succeed();
}

bool CRegistryKey::openSubKey(std::unique_ptr<CRegistryKey>& key, const std::string& name, std::uint32_t access) {
    if (!checkOpen()) return false;
    if (name.empty() || !platform::registry::keyExists(storeName(name))) return fail(kRegFileNotFound);
    auto subKey = std::make_unique<CRegistryKey>(*registry_, path_ + "\\" + name, access);
    subKey->handles_.push_back(newHandle());
    subKey->storePath_ = storeName(name);
    key = std::move(subKey);
    return succeed();
}

bool CRegistryKey::createSubKey(std::unique_ptr<CRegistryKey>* key, const std::string& name, bool /*volatileKey*/,
                                std::uint32_t access, KeyDisposition* disposition) {
    if (!checkAccess(kKeyCreateSubKey)) return false;
    if (name.empty()) return fail(kRegInvalidParameter);
    bool created = false;
    if (!platform::registry::createKey(storeName(name), &created)) return fail(resultFromErrno(errno));
    if (disposition) {
        *disposition = created ? KeyDisposition::CreatedNewKey : KeyDisposition::OpenedExistingKey;
    } else if (!created) {
        return fail(kRegAlreadyExists);
    }
    if (key) {
        auto subKey = std::make_unique<CRegistryKey>(*registry_, path_ + "\\" + name, access);
        subKey->handles_.push_back(newHandle());
        subKey->storePath_ = storeName(name);
        *key = std::move(subKey);
    }
    return succeed();
}

bool CRegistryKey::deleteSubKey(const std::string& name) {
    if (!checkOpen()) return false;
    if (name.empty()) return fail(kRegInvalidParameter);
    if (!platform::registry::deleteKey(storeName(name))) return fail(resultFromErrno(errno));
    return succeed();
}

// ---------------------------------------------------------------------------
// Dumps

void CRegistryKey::dumpInfo(std::ostream& os, bool showHandles, const std::string& prefix) {
    os << prefix << "REGISTRY KEY (" << path_ << "):" << std::endl;
    if (showHandles) {
        os << prefix << "- HKEY's: ";
        if (handles_.empty()) {
            os << "<none>";
        } else {
            for (RegistryHandle handle : handles_) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%lx", static_cast<unsigned long>(handle));
                os << buf << " ";
            }
        }
        os << std::endl;
    }
    if (isOpen()) {
        std::uint32_t nSubKeys = 0, maxSubKeyLen = 0, nValues = 0, maxValueNameLen = 0, maxSize = 0;
        subKeyCount(nSubKeys);
        maxSubKeyNameLength(maxSubKeyLen);
        valueCount(nValues);
        maxValueNameLength(maxValueNameLen);
        maxValueSize(maxSize);
        os << prefix << "- nSubKeys=" << nSubKeys << " ; maxSubKeyNameLen=" << maxSubKeyLen << std::endl;
        os << prefix << "- nKeyValues=" << nValues << " ; maxKeyValueNameLen=" << maxValueNameLen
           << " ; maxKeyValueSize=" << maxSize << std::endl;
    } else {
        os << prefix << "- key closed." << std::endl;
    }
}

void CRegistryKey::dumpValues(std::ostream& os, const std::string& prefix) {
    os << prefix << "KEY VALUES (" << path_ << "):" << std::endl;
    std::uint32_t count = 0;
    valueCount(count);
    if (count == 0) {
        os << "- <none>" << std::endl;
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        char name[256];
        std::uint32_t nameSize = sizeof name;
        if (!enumValueName(i, name, &nameSize)) {
            os << prefix << "ERROR: Can't get the key value name." << std::endl;
            continue;
        }
        os << prefix << "- '" << name << "' ; type=";
        std::uint32_t type = 0, size = 0;
        if (getValueType(name, type))
            os << registryTypeName(type);
        else
            os << "???";
        os << " ; size=";
        if (getValueSize(name, size))
            os << size;
        else
            os << "???";
        os << std::endl;
    }
}

void CRegistryKey::dumpSubKeys(std::ostream& os, const std::string& prefix) {
    os << prefix << "SUB-KEYS (" << path_ << "):" << std::endl;
    std::uint32_t count = 0;
    subKeyCount(count);
    if (count == 0) {
        os << "- <none>" << std::endl;
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        char name[256];
        std::uint32_t nameSize = sizeof name;
        if (!enumSubKeyName(i, name, &nameSize))
            os << prefix << "ERROR: Can't get the sub-key name." << std::endl;
        else
            os << prefix << "- '" << name << "'" << std::endl;
    }
}

void CRegistryKey::dumpTree(std::ostream& os, bool separators, bool values, int maxDepth, const std::string& prefix) {
    dumpTreeLevel(os, separators, values, maxDepth, prefix, 0);
}

void CRegistryKey::dumpTreeLevel(std::ostream& os, bool separators, bool values, int maxDepth,
                                 const std::string& prefix, int depth) {
    if (maxDepth >= 0 && depth > maxDepth) return;
    const std::string indent(static_cast<std::size_t>(2 * depth), ' ');
    if (values) {
        std::uint32_t count = 0;
        valueCount(count);
        // The default value (empty name) is shown on the key's own line.
        for (std::uint32_t i = 0; i < count; ++i) {
            char name[256];
            std::uint32_t nameSize = sizeof name;
            if (!enumValueName(i, name, &nameSize)) {
                os << prefix << "ERROR: Can't get the key value name for " << path_ << " entry " << i << std::endl;
                continue;
            }
            if (name[0] == '\0') continue;
            std::uint32_t type = 0;
            if (!getValueType(name, type)) {
                os << prefix << "ERROR: Can't get the key value type for " << path_ << " ; " << name << std::endl;
                continue;
            }
            auto value = platform::registry::getValue(storePath_, name);
            if (!value) {
                os << prefix << "ERROR: Can't get the key value for " << path_ << " ; " << name << std::endl;
                continue;
            }
            os << prefix << indent << name << " = " << formatValue(*value) << std::endl;
        }
    }
    std::uint32_t count = 0;
    subKeyCount(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        char name[256];
        std::uint32_t nameSize = sizeof name;
        if (!enumSubKeyName(i, name, &nameSize)) {
            os << prefix << "ERROR: Can't get the sub-key name for " << path_ << " entry " << i << std::endl;
            continue;
        }
        if (depth == 0 && separators) os << std::string(79, '-') << std::endl << std::endl;
        os << prefix << indent << "[" << name << "]";
        if (values) {
            auto def = platform::registry::getValue(storeName(name), "");
            if (def) os << " = " << formatValue(*def);
        }
        os << std::endl;
        std::unique_ptr<CRegistryKey> subKey;
        if (!openSubKey(subKey, name, access_)) {
            os << prefix << "ERROR: Can't open sub-key " << name << std::endl;
            continue;
        }
        subKey->dumpTreeLevel(os, separators, values, maxDepth, prefix, depth + 1);
        if (depth == 0) os << std::endl;
    }
}

}  // namespace tools
