#include "platform/registry.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>

namespace platform::registry {

namespace {

// One key of the store: its path as created (parts joined by "\") and its
// values in the order they were created.
struct KeyRec {
    std::string path;
    std::vector<std::pair<std::string, Value>> values;
    std::vector<std::string> unparsed;  // lines of the key that were not understood, kept as they are
};

struct Store {
    std::vector<std::string> preamble;  // lines outside any key, kept as they are
    std::vector<KeyRec> keys;           // file order
};

const char kHeader[] = "; per-user key store";

char lowerChar(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerChar(a[i]) != lowerChar(b[i])) return false;
    }
    return true;
}

// "\Software/Orvan\\Bars" -> "Software\Orvan\Bars"; false for an empty part
// name that is not a separator run (none can be).
std::string normalizePath(const std::string& key) {
    std::string out;
    std::string part;
    auto flush = [&] {
        if (part.empty()) return;
        if (!out.empty()) out += '\\';
        out += part;
        part.clear();
    };
    for (char c : key) {
        if (c == '\\' || c == '/') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    return out;
}

std::string parentOf(const std::string& path) {
    auto pos = path.rfind('\\');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

// Names and string data are written percent-encoded so that any byte
// survives the line-oriented file.
std::string encode(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c <= 0x20 || c >= 0x7F || c == '%' || c == '=' || c == '[' || c == ']') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string decode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 && hexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string hexBytes(const std::string& data) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : data) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

std::string unhexBytes(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        int hi = hexDigit(text[i]);
        int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) break;
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

// value line: name=sz:<encoded> | name=dword:<8 hex digits> | name=hex(<type>):<hex bytes>
std::string formatValue(const Value& v) {
    if (v.type == TypeString || v.type == TypeExpandString) {
        return (v.type == TypeString ? "sz:" : "expand:") + encode(v.data);
    }
    if (v.type == TypeDword && v.data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return buf;
    }
    return "hex(" + std::to_string(v.type) + "):" + hexBytes(v.data);
}

bool parseValue(const std::string& text, Value& v) {
    if (text.rfind("sz:", 0) == 0) {
        v = {TypeString, decode(text.substr(3))};
        return true;
    }
    if (text.rfind("expand:", 0) == 0) {
        v = {TypeExpandString, decode(text.substr(7))};
        return true;
    }
    if (text.rfind("dword:", 0) == 0) {
        std::uint32_t n = static_cast<std::uint32_t>(std::strtoul(text.c_str() + 6, nullptr, 16));
        std::string data(4, '\0');
        for (std::size_t i = 0; i < 4; ++i) data[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
        v = {TypeDword, data};
        return true;
    }
    if (text.rfind("hex(", 0) == 0) {
        auto close = text.find("):");
        if (close == std::string::npos) return false;
        v.type = static_cast<std::uint32_t>(std::strtoul(text.c_str() + 4, nullptr, 10));
        v.data = unhexBytes(text.substr(close + 2));
        return true;
    }
    return false;
}

std::string dwordBytes(std::uint32_t n) {
    std::string data(4, '\0');
    for (std::size_t i = 0; i < 4; ++i) data[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return data;
}

KeyRec* findKey(Store& s, const std::string& path) {
    for (auto& k : s.keys) {
        if (equalNoCase(k.path, path)) return &k;
    }
    return nullptr;
}

bool isUnder(const std::string& path, const std::string& ancestor) {
    return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
           equalNoCase(path.substr(0, ancestor.size()), ancestor);
}

// The whole file; false with errno set when it can't be read to its end (a
// store read in part must never be written back). A missing file is empty.
bool readWhole(const std::string& file, std::string& text) {
    text.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        // A device (/dev/full reads for ever), a pipe or a folder.
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            errno = err;
            return false;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

// Reads the store; a missing file is an empty store. Lines that do not
// parse are skipped so that a damaged line costs that line only; a read
// error fails the whole load.
bool load(const std::string& file, Store& s) {
    s.keys.clear();
    s.preamble.clear();
    std::string text;
    if (!readWhole(file, text)) return false;
    std::istringstream in(text);
    std::string line;
    KeyRec* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line == kHeader) continue;
        if (line[0] == '[') {
            auto close = line.rfind(']');
            std::string path =
                normalizePath(decode(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            if (path.empty()) {
                current = nullptr;
                s.preamble.push_back(line);
                continue;
            }
            current = findKey(s, path);
            if (!current) {
                s.keys.push_back({path, {}, {}});
                current = &s.keys.back();
            }
            continue;
        }
        if (!current) {
            s.preamble.push_back(line);
            continue;
        }
        auto eq = line.find('=');
        Value v;
        if (line[0] == ';' || eq == std::string::npos || !parseValue(line.substr(eq + 1), v)) {
            current->unparsed.push_back(line);
            continue;
        }
        std::string name = decode(line.substr(0, eq));
        bool replaced = false;
        for (auto& [n, old] : current->values) {
            if (equalNoCase(n, name)) {
                old = v;
                replaced = true;
            }
        }
        if (!replaced) current->values.emplace_back(name, v);
    }
    return true;
}

std::string serialize(const Store& s) {
    std::string out = kHeader;
    out += '\n';
    for (const auto& line : s.preamble) {
        out += line;
        out += '\n';
    }
    for (const auto& k : s.keys) {
        out += '[';
        out += encode(k.path);
        out += "]\n";
        for (const auto& [name, v] : k.values) {
            out += encode(name);
            out += '=';
            out += formatValue(v);
            out += '\n';
        }
        for (const auto& line : k.unparsed) {
            out += line;
            out += '\n';
        }
    }
    return out;
}

std::mutex& processLock() {
    static std::mutex m;
    return m;
}

// Reads the store, applies the change and writes it back under the
// exclusive lock. The change returns false (with errno) to leave the file
// as it is; it sets 'changed' when there is something to write.
bool modify(const std::function<bool(Store&, bool& changed)>& change) {
    std::lock_guard guard(processLock());
    const std::string file = storeFile();
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    int lockFd = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return false;
    while (::flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            int err = errno;
            ::close(lockFd);
            errno = err;
            return false;
        }
    }
    Store s;
    bool ok = load(file, s);
    int err = errno;
    if (ok) {
        bool changed = false;
        ok = change(s, changed);
        err = errno;
        if (ok && changed) {
            ok = files::atomicWriteFile(file, serialize(s));
            err = errno;
        }
    }
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    errno = err;
    return ok;
}

bool read(Store& s) {
    std::lock_guard guard(processLock());
    return load(storeFile(), s);
}

}  // namespace

std::string storeFile() {
    if (const char* f = std::getenv("ORVAN_REGISTRY_FILE"); f && *f) return f;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return std::string(x) + "/orvan/registry.ini";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/orvan/registry.ini";
}

bool keyExists(const std::string& key) {
    std::string path = normalizePath(key);
    if (path.empty()) return true;
    Store s;
    return read(s) && findKey(s, path) != nullptr;
}

bool createKey(const std::string& key, bool* created) {
    std::string path = normalizePath(key);
    bool isNew = false;
    bool ok = modify([&](Store& s, bool& changed) {
        if (path.empty()) return true;
        // Create every missing ancestor first, keeping the case of existing ones.
        std::size_t pos = 0;
        for (;;) {
            pos = path.find('\\', pos);
            std::string prefix = pos == std::string::npos ? path : path.substr(0, pos);
            if (!findKey(s, prefix)) {
                KeyRec* parent = findKey(s, parentOf(prefix));
                std::string parentPath = parentOf(prefix);
                std::string name = parentPath.empty() ? prefix : prefix.substr(parentPath.size() + 1);
                std::string full = parent ? parent->path + "\\" + name : prefix;
                s.keys.push_back({full, {}, {}});
                changed = true;
                if (pos == std::string::npos) isNew = true;
            }
            if (pos == std::string::npos) break;
            ++pos;
        }
        return true;
    });
    if (created) *created = ok && isNew;
    return ok;
}

namespace {
bool removeKey(const std::string& key, bool withSubKeys) {
    std::string path = normalizePath(key);
    if (path.empty()) {
        errno = EINVAL;
        return false;
    }
    return modify([&](Store& s, bool& changed) {
        if (!findKey(s, path)) {
            errno = ENOENT;
            return false;
        }
        bool hasChildren = false;
        for (const auto& k : s.keys) {
            if (isUnder(k.path, path)) hasChildren = true;
        }
        if (hasChildren && !withSubKeys) {
            errno = ENOTEMPTY;
            return false;
        }
        std::erase_if(s.keys, [&](const KeyRec& k) { return equalNoCase(k.path, path) || isUnder(k.path, path); });
        changed = true;
        return true;
    });
}

}  // namespace

bool deleteKey(const std::string& key) { return removeKey(key, false); }

bool deleteTree(const std::string& key) { return removeKey(key, true); }

std::optional<std::vector<std::string>> subKeyNames(const std::string& key) {
    std::string path = normalizePath(key);
    Store s;
    if (!read(s)) return std::nullopt;
    if (!path.empty() && !findKey(s, path)) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& k : s.keys) {
        if (path.empty() ? k.path.find('\\') == std::string::npos
                         : isUnder(k.path, path) && k.path.find('\\', path.size() + 1) == std::string::npos) {
            names.push_back(path.empty() ? k.path : k.path.substr(path.size() + 1));
        }
    }
    return names;
}

std::optional<std::vector<std::string>> valueNames(const std::string& key) {
    std::string path = normalizePath(key);
    Store s;
    if (!read(s)) return std::nullopt;
    if (path.empty()) return std::vector<std::string>{};
    KeyRec* k = findKey(s, path);
    if (!k) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& [name, v] : k->values) names.push_back(name);
    return names;
}

bool setValue(const std::string& key, const std::string& name, const Value& value) {
    std::string path = normalizePath(key);
    if (path.empty()) {
        errno = EINVAL;
        return false;
    }
    return modify([&](Store& s, bool& changed) {
        KeyRec* k = findKey(s, path);
        if (!k) {
            errno = ENOENT;
            return false;
        }
        changed = true;
        for (auto& [n, v] : k->values) {
            if (equalNoCase(n, name)) {
                v = value;
                return true;
            }
        }
        k->values.emplace_back(name, value);
        return true;
    });
}

bool setString(const std::string& key, const std::string& name, const std::string& text) {
    return setValue(key, name, Value{TypeString, text});
}

bool setDword(const std::string& key, const std::string& name, std::uint32_t value) {
    return setValue(key, name, Value{TypeDword, dwordBytes(value)});
}

bool setBinary(const std::string& key, const std::string& name, const std::string& bytes) {
    return setValue(key, name, Value{TypeBinary, bytes});
}

std::optional<Value> getValue(const std::string& key, const std::string& name) {
    std::string path = normalizePath(key);
    Store s;
    if (!read(s)) return std::nullopt;
    KeyRec* k = findKey(s, path);
    if (!k) {
        errno = ENOENT;
        return std::nullopt;
    }
    for (const auto& [n, v] : k->values) {
        if (equalNoCase(n, name)) return v;
    }
    errno = ENOENT;
    return std::nullopt;
}

std::optional<std::string> getString(const std::string& key, const std::string& name) {
    auto v = getValue(key, name);
    if (!v || (v->type != TypeString && v->type != TypeExpandString)) return std::nullopt;
    return v->data;
}

std::optional<std::uint32_t> getDword(const std::string& key, const std::string& name) {
    auto v = getValue(key, name);
    if (!v || v->type != TypeDword || v->data.size() != 4) return std::nullopt;
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v->data[static_cast<std::size_t>(i)]);
    return n;
}

bool deleteValue(const std::string& key, const std::string& name) {
    std::string path = normalizePath(key);
    return modify([&](Store& s, bool& changed) {
        KeyRec* k = findKey(s, path);
        if (!k) {
            errno = ENOENT;
            return false;
        }
        auto before = k->values.size();
        std::erase_if(k->values, [&](const auto& nv) { return equalNoCase(nv.first, name); });
        if (k->values.size() == before) {
            errno = ENOENT;
            return false;
        }
        changed = true;
        return true;
    });
}

}  // namespace platform::registry
