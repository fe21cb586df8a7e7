#include "platform/profile.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace platform::profile {

namespace {

// ---------------------------------------------------------------------------
// Names: compared without regard to the case of ASCII letters, looked up by
// hash without building lower-cased copies.

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

struct FoldHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        std::uint64_t h = 14695981039346656037ULL;  // FNV-1a
        for (char c : s) {
            h ^= static_cast<unsigned char>(fold(c));
            h *= 1099511628211ULL;
        }
        return static_cast<std::size_t>(h);
    }
};

struct FoldEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return sameName(a, b); }
};

// Name -> position of its first occurrence.
using NameIndex = std::unordered_map<std::string, std::size_t, FoldHash, FoldEqual>;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// ---------------------------------------------------------------------------
// The parsed file. Every line is kept as it was read, so that a rewrite
// changes only the lines that were written; key lines also know where their
// trimmed name and value lie in the line.
//
// Deleted lines and sections stay in place as empty "removed" entries until
// they make up half of their list, so that deleting many of them one by one
// costs no more than one pass over the file; they are never written out.

enum class Kind : std::uint8_t { Other, Key, Removed };

struct Line {
    // The line without its LF; a CR before the LF stays here, so that the
    // line is written back byte for byte (its own line end, whatever the
    // rest of the file uses). Name and value never include that CR.
    std::string raw;
    std::size_t keyPos = 0;
    std::size_t keyLen = 0;
    std::size_t valuePos = 0;
    std::size_t valueLen = 0;
    Kind kind = Kind::Other;

    std::string_view key() const { return std::string_view(raw).substr(keyPos, keyLen); }
    std::string_view value() const { return std::string_view(raw).substr(valuePos, valueLen); }
};

// Sections with more lines than this look their keys up through an index;
// smaller ones are searched line by line.
constexpr std::size_t kIndexFrom = 16;
// Removed entries are dropped from a list once there are more than this
// many and they make up half of it.
constexpr std::size_t kCompactFrom = 16;

struct Section {
    std::string header;  // the header line as read (a CR before its LF kept)
    std::string name;
    std::vector<Line> lines;
    NameIndex keyIndex;       // when `indexed`: key name -> first key line
    std::size_t keysEnd = 0;  // one past the last key line (0 without keys)
    std::size_t removedLines = 0;
    bool indexed = false;
    bool duplicateKeys = false;  // some key name appears twice
    bool removed = false;
};

struct Doc {
    // Lines before the first section (not readable as keys), as read.
    std::vector<std::string> preamble;
    std::vector<Section> sections;
    NameIndex sectionIndex;  // section name -> first section
    std::size_t removedSections = 0;
    bool duplicateSections = false;  // some section name appears twice
    bool crlf = false;               // new lines end in CR LF (the first line of the file does)
};

// The text of a stored line without the CR of a CR LF line end.
std::string_view content(std::string_view raw) {
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    return raw;
}

// A line read from the file (or written): a key line when it has a name
// before its first '=' and is no comment.
Line makeLine(std::string raw) {
    Line l;
    l.raw = std::move(raw);
    const std::string_view text = content(l.raw);
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) return l;
    std::size_t first = 0;
    while (first < text.size() && isBlank(text[first])) ++first;
    if (text[first] == ';') return l;  // first <= eq: '=' is no blank
    const std::string_view key = trimBlanks(text.substr(0, eq));
    if (key.empty()) return l;
    const std::string_view value = trimBlanks(text.substr(eq + 1));
    l.keyPos = static_cast<std::size_t>(key.data() - text.data());
    l.keyLen = key.size();
    l.valuePos = static_cast<std::size_t>(value.data() - text.data());
    l.valueLen = value.size();
    l.kind = Kind::Key;
    return l;
}

// "key=value" for a trimmed key without '=', ending in CR LF when crlf is set.
Line keyLine(std::string_view key, const std::string& value, bool crlf) {
    std::string raw;
    raw.reserve(key.size() + 2 + value.size());
    raw.append(key);
    raw += '=';
    raw += value;
    Line l;
    l.raw = std::move(raw);
    const std::string_view v = trimBlanks(std::string_view(l.raw).substr(key.size() + 1));
    l.keyLen = key.size();
    l.valuePos = static_cast<std::size_t>(v.data() - l.raw.data());
    l.valueLen = v.size();
    l.kind = Kind::Key;
    if (crlf) l.raw += '\r';
    return l;
}

void buildKeyIndex(Section& s) {
    s.keyIndex.clear();
    s.keyIndex.reserve(s.lines.size());
    s.duplicateKeys = false;
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        if (s.lines[i].kind == Kind::Key && !s.keyIndex.emplace(std::string(s.lines[i].key()), i).second) {
            s.duplicateKeys = true;
        }
    }
    s.indexed = true;
}

// Completes a section read from the file.
void finishSection(Section& s) {
    s.keysEnd = 0;
    for (std::size_t i = s.lines.size(); i > 0; --i) {
        if (s.lines[i - 1].kind == Kind::Key) {
            s.keysEnd = i;
            break;
        }
    }
    if (s.lines.size() > kIndexFrom) {
        buildKeyIndex(s);
        return;
    }
    for (std::size_t i = 0; i < s.keysEnd && !s.duplicateKeys; ++i) {
        if (s.lines[i].kind != Kind::Key) continue;
        for (std::size_t j = i + 1; j < s.keysEnd; ++j) {
            if (s.lines[j].kind == Kind::Key && sameName(s.lines[i].key(), s.lines[j].key())) {
                s.duplicateKeys = true;
                break;
            }
        }
    }
}

Doc parse(const std::string& text) {
    Doc doc;
    Section* current = nullptr;
    bool eolChosen = false;
    std::size_t pos = 0;
    auto finishCurrent = [&] {
        if (current) finishSection(*current);
    };
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        const std::size_t end = nl == std::string::npos ? text.size() : nl;
        const std::string_view raw(text.data() + pos, end - pos);
        const std::string_view line = content(raw);
        if (!eolChosen && line.size() != raw.size()) doc.crlf = true;
        if (nl != std::string::npos) eolChosen = true;
        pos = nl == std::string::npos ? text.size() : nl + 1;

        std::size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        if (first < line.size() && line[first] == '[') {
            finishCurrent();
            const std::size_t close = line.find(']', first + 1);
            const std::string_view name =
                line.substr(first + 1, close == std::string_view::npos ? std::string_view::npos : close - first - 1);
            Section s;
            s.header = std::string(raw);
            s.name = std::string(trimBlanks(name));
            doc.sections.push_back(std::move(s));
            current = &doc.sections.back();
            if (!doc.sectionIndex.emplace(current->name, doc.sections.size() - 1).second) {
                doc.duplicateSections = true;
            }
            continue;
        }
        if (!current) {
            doc.preamble.emplace_back(raw);
            continue;
        }
        current->lines.push_back(makeLine(std::string(raw)));
    }
    finishCurrent();
    return doc;
}

// Every stored line carries its own CR, so each ends in LF here.
std::string serialize(const Doc& doc) {
    std::size_t size = 0;
    for (const auto& l : doc.preamble) size += l.size() + 1;
    for (const auto& s : doc.sections) {
        if (s.removed) continue;
        size += s.header.size() + 1;
        for (const auto& l : s.lines) size += l.raw.size() + 1;
    }
    std::string out;
    out.reserve(size);
    auto put = [&](const std::string& line) {
        out += line;
        out += '\n';
    };
    for (const auto& l : doc.preamble) put(l);
    for (const auto& s : doc.sections) {
        if (s.removed) continue;
        put(s.header);
        for (const auto& l : s.lines) {
            if (l.kind != Kind::Removed) put(l.raw);
        }
    }
    return out;
}

std::size_t findSectionIndex(const Doc& doc, std::string_view trimmedName) {
    auto it = doc.sectionIndex.find(trimmedName);
    return it == doc.sectionIndex.end() ? std::string::npos : it->second;
}

const Section* findSection(const Doc& doc, const std::string& name) {
    const std::size_t i = findSectionIndex(doc, trimBlanks(name));
    return i == std::string::npos ? nullptr : &doc.sections[i];
}

// Position of the first key line with the name, npos when there is none.
std::size_t findKeyLine(const Section& s, std::string_view trimmedKey) {
    if (s.indexed) {
        auto it = s.keyIndex.find(trimmedKey);
        return it == s.keyIndex.end() ? std::string::npos : it->second;
    }
    for (std::size_t i = 0; i < s.keysEnd; ++i) {
        if (s.lines[i].kind == Kind::Key && sameName(s.lines[i].key(), trimmedKey)) return i;
    }
    return std::string::npos;
}

const Line* findKey(const Section& s, const std::string& key) {
    const std::size_t i = findKeyLine(s, trimBlanks(key));
    return i == std::string::npos ? nullptr : &s.lines[i];
}

// Names and values that would break the line structure of the file.
bool validNames(const std::string& section, const std::string* key, const std::optional<std::string>* value) {
    auto hasLineEnd = [](std::string_view s) {
        return std::memchr(s.data(), '\n', s.size()) != nullptr || std::memchr(s.data(), '\r', s.size()) != nullptr;
    };
    if (hasLineEnd(section) || section.find(']') != std::string::npos) return false;
    if (key) {
        const std::string_view k = trimBlanks(*key);
        if (k.empty() || hasLineEnd(k) || k.find('=') != std::string_view::npos || k[0] == '[' || k[0] == ';') {
            return false;
        }
    }
    if (value && value->has_value() && hasLineEnd(**value)) return false;
    return true;
}

// Removed entries out of a section's lines, and out of a document's sections.

void compactLines(Section& s) {
    std::erase_if(s.lines, [](const Line& l) { return l.kind == Kind::Removed; });
    s.removedLines = 0;
    s.keysEnd = 0;
    for (std::size_t i = s.lines.size(); i > 0; --i) {
        if (s.lines[i - 1].kind == Kind::Key) {
            s.keysEnd = i;
            break;
        }
    }
    if (s.indexed) buildKeyIndex(s);
}

void compactSections(Doc& doc) {
    std::erase_if(doc.sections, [](const Section& s) { return s.removed; });
    doc.removedSections = 0;
    doc.sectionIndex.clear();
    doc.sectionIndex.reserve(doc.sections.size());
    doc.duplicateSections = false;
    for (std::size_t i = 0; i < doc.sections.size(); ++i) {
        if (!doc.sectionIndex.emplace(doc.sections[i].name, i).second) doc.duplicateSections = true;
    }
}

// Marks a key line removed; the caller keeps the index.
void dropLine(Section& s, std::size_t i) {
    s.lines[i] = Line{};
    s.lines[i].kind = Kind::Removed;
    ++s.removedLines;
    if (i + 1 == s.keysEnd) {
        while (s.keysEnd > 0 && s.lines[s.keysEnd - 1].kind != Kind::Key) --s.keysEnd;
    }
    while (!s.lines.empty() && s.lines.back().kind == Kind::Removed) {
        s.lines.pop_back();
        --s.removedLines;
    }
}

// Marks a section removed; the caller keeps the index.
void dropSection(Doc& doc, std::size_t i) {
    doc.sections[i] = Section{};
    doc.sections[i].removed = true;
    ++doc.removedSections;
    while (!doc.sections.empty() && doc.sections.back().removed) {
        doc.sections.pop_back();
        --doc.removedSections;
    }
}

// Changes of the document. Each returns true when the document changed.

bool setKey(Doc& doc, const std::string& sectionName, const std::string& keyName, const std::string& value) {
    const std::string_view section = trimBlanks(sectionName);
    const std::string_view key = trimBlanks(keyName);
    const std::size_t si = findSectionIndex(doc, section);
    if (si == std::string::npos) {
        Section s;
        s.header.reserve(section.size() + 2);
        s.header += '[';
        s.header += section;
        s.header += ']';
        if (doc.crlf) s.header += '\r';
        s.name = std::string(section);
        s.lines.push_back(keyLine(key, value, doc.crlf));
        s.keysEnd = 1;
        doc.sections.push_back(std::move(s));
        doc.sectionIndex.emplace(doc.sections.back().name, doc.sections.size() - 1);
        return true;
    }
    Section& s = doc.sections[si];
    const std::size_t ki = findKeyLine(s, key);
    if (ki != std::string::npos) {
        Line& l = s.lines[ki];
        // The key keeps its spelling in the file, and its line its line end.
        Line replacement = keyLine(l.key(), value, l.raw.size() != content(l.raw).size());
        if (replacement.raw == l.raw) return false;
        l = std::move(replacement);
        return true;
    }
    // A new key goes after the last key of the section, before any blank
    // or comment lines that end it. Only such lines follow that place, so
    // no indexed position moves.
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(s.keysEnd), keyLine(key, value, doc.crlf));
    if (s.indexed) s.keyIndex.emplace(std::string(key), s.keysEnd);
    ++s.keysEnd;
    if (!s.indexed && s.lines.size() > kIndexFrom) buildKeyIndex(s);
    return true;
}

bool removeKey(Doc& doc, const std::string& sectionName, const std::string& keyName) {
    const std::size_t si = findSectionIndex(doc, trimBlanks(sectionName));
    if (si == std::string::npos) return false;
    Section& s = doc.sections[si];
    const std::string_view key = trimBlanks(keyName);
    const std::size_t first = findKeyLine(s, key);
    if (first == std::string::npos) return false;
    if (s.duplicateKeys) {
        // Every line of the name goes; from the end, as trailing removed lines are dropped at once.
        for (std::size_t i = s.lines.size(); i-- > first;) {
            if (i < s.lines.size() && s.lines[i].kind == Kind::Key && sameName(s.lines[i].key(), key)) dropLine(s, i);
        }
    } else {
        dropLine(s, first);
    }
    if (s.indexed) s.keyIndex.erase(s.keyIndex.find(key));
    if (s.removedLines > kCompactFrom && s.removedLines * 2 > s.lines.size()) compactLines(s);
    return true;
}

bool removeSection(Doc& doc, const std::string& sectionName) {
    const std::string_view name = trimBlanks(sectionName);
    auto it = doc.sectionIndex.find(name);
    if (it == doc.sectionIndex.end()) return false;
    const std::size_t first = it->second;
    doc.sectionIndex.erase(it);
    if (doc.duplicateSections) {
        for (std::size_t i = doc.sections.size(); i-- > first;) {
            if (i < doc.sections.size() && !doc.sections[i].removed && sameName(doc.sections[i].name, name)) {
                dropSection(doc, i);
            }
        }
    } else {
        dropSection(doc, first);
    }
    if (doc.removedSections > kCompactFrom && doc.removedSections * 2 > doc.sections.size()) compactSections(doc);
    return true;
}

// ---------------------------------------------------------------------------
// Cache of parsed files and per-path locks.

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const struct stat& st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_size,
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

// The cache keeps the parsed files most recently used within a budget of
// memory; a file that alone would take more than the budget is not kept.
constexpr std::size_t kCacheBudgetBytes = 4u * 1024u * 1024u;

struct CacheEntry {
    FileStamp stamp;
    std::shared_ptr<const Doc> doc;
    std::size_t bytes = 0;
    std::list<std::string>::iterator recent;  // its place in Shared::recent
};

struct Shared {
    std::mutex mutex;
    std::unordered_map<std::string, CacheEntry> cache;
    std::list<std::string> recent;  // cached paths, most recently used first
    std::size_t cachedBytes = 0;
    std::unordered_map<std::string, std::shared_ptr<std::recursive_mutex>> locks;
};

// Heap bytes of a string beyond its own object (none while it is short
// enough to live inside it).
std::size_t heapBytes(const std::string& s) { return s.capacity() > 15 ? s.capacity() + 1 : 0; }

std::size_t indexBytes(const NameIndex& index) {
    std::size_t bytes = index.bucket_count() * sizeof(void*);
    for (const auto& entry : index) bytes += sizeof(entry) + 2 * sizeof(void*) + heapBytes(entry.first);
    return bytes;
}

// About how much memory a parsed file takes.
std::size_t docBytes(const Doc& doc) {
    std::size_t bytes = sizeof(Doc) + doc.preamble.capacity() * sizeof(std::string) + indexBytes(doc.sectionIndex);
    for (const std::string& line : doc.preamble) bytes += heapBytes(line);
    bytes += doc.sections.capacity() * sizeof(Section);
    for (const Section& section : doc.sections) {
        bytes += heapBytes(section.header) + heapBytes(section.name) + section.lines.capacity() * sizeof(Line);
        for (const Line& line : section.lines) bytes += heapBytes(line.raw);
        if (section.indexed) bytes += indexBytes(section.keyIndex);
    }
    return bytes;
}

// Caller holds the mutex.
void cacheErase(Shared& s, std::unordered_map<std::string, CacheEntry>::iterator it) {
    s.cachedBytes -= it->second.bytes;
    s.recent.erase(it->second.recent);
    s.cache.erase(it);
}

Shared& shared() {
    static Shared* s = new Shared;  // used by libraries until the very end of the process
    return *s;
}

std::shared_ptr<std::recursive_mutex> pathLock(const std::string& path) {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    auto& m = s.locks[path];
    if (!m) m = std::make_shared<std::recursive_mutex>();
    return m;
}

void cachePut(const std::string& path, const FileStamp& stamp, std::shared_ptr<const Doc> doc) {
    const std::size_t bytes = docBytes(*doc);
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (auto it = s.cache.find(path); it != s.cache.end()) cacheErase(s, it);
    if (bytes > kCacheBudgetBytes) return;
    // The least recently used files make room.
    while (!s.recent.empty() && s.cachedBytes + bytes > kCacheBudgetBytes) cacheErase(s, s.cache.find(s.recent.back()));
    s.recent.push_front(path);
    s.cache.emplace(path, CacheEntry{stamp, std::move(doc), bytes, s.recent.begin()});
    s.cachedBytes += bytes;
}

void cacheDrop(const std::string& path) {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (auto it = s.cache.find(path); it != s.cache.end()) cacheErase(s, it);
}

// One spelling per file, so that "./a.ini" and "/dir/a.ini" share the cache
// and the lock.
std::string normalize(const std::string& file) {
    if (!file.empty() && file[0] == '/' && file.find("//") == std::string::npos &&
        file.find("/./") == std::string::npos && file.find("/../") == std::string::npos && file.back() != '.' &&
        file.back() != '/') {
        return file;  // already absolute and plain
    }
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(file, ec);
    if (ec) return file;
    return p.lexically_normal().string();
}

// normalize() for calls that name the same file many times in a row. An
// absolute spelling's normal form does not depend on the working folder, so
// the last one is remembered. The reference is valid until the calling
// thread's next call.
const std::string& normalizedRecent(const std::string& file) {
    thread_local std::string lastFile;
    thread_local std::string lastPath;
    if (file.empty() || file[0] != '/' || file != lastFile) {
        std::string path = normalize(file);
        lastFile = file[0] == '/' ? file : std::string();
        lastPath = std::move(path);
    }
    return lastPath;
}

enum class LoadResult { Ok, Missing, Failed };

// The current contents of the file: from the cache when the file is
// unchanged since it was parsed, else parsed afresh (and cached).
// Only regular files are INI files: a device (/dev/zero) or a pipe would be
// read for ever or block, and a folder can't be replaced.
bool refuseIfNotRegular(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return false;
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return true;
}

LoadResult loadFile(const std::string& path, std::shared_ptr<const Doc>& out, FileStamp* stampOut = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return LoadResult::Missing;
        return LoadResult::Failed;
    }
    if (refuseIfNotRegular(st)) return LoadResult::Failed;
    {
        Shared& s = shared();
        std::lock_guard lock(s.mutex);
        auto it = s.cache.find(path);
        if (it != s.cache.end() && it->second.stamp == stampOf(st)) {
            s.recent.splice(s.recent.begin(), s.recent, it->second.recent);
            out = it->second.doc;
            if (stampOut) *stampOut = it->second.stamp;
            return LoadResult::Ok;
        }
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    // The stamp of the open file matches what is read, even if the path is
    // replaced meanwhile.
    if (::fstat(fd, &st) != 0 || refuseIfNotRegular(st)) {
        int err = errno;
        ::close(fd);
        errno = err;
        return LoadResult::Failed;
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            errno = err;
            return LoadResult::Failed;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    auto doc = std::make_shared<Doc>(parse(text));
    cachePut(path, stampOf(st), doc);
    if (stampOut) *stampOut = stampOf(st);
    out = std::move(doc);
    return LoadResult::Ok;
}

// ---------------------------------------------------------------------------
// Write batches of the calling thread, by normalized path.

struct Batch {
    int depth = 0;
    std::shared_ptr<std::recursive_mutex> lock;
    // The contents this thread sees: shared with the cache until the first
    // change, then the batch's own (`own`, which `doc` then points to).
    std::shared_ptr<const Doc> doc;
    std::shared_ptr<Doc> own;
    bool dirty = false;
    // The last commit failed and nothing changed since: the caller has been
    // told, so the destructor does not try again.
    bool failedCommit = false;
    int loadError = 0;  // the file exists but could not be read: nothing is written
};

void reportToStandardError(const std::string& file, int error) {
    std::string line = "Can't write " + file + ": " + files::errorText(error) + "\n";
    ::write(2, line.data(), line.size());
}

std::atomic<CommitFailureReporter> g_commitFailureReporter{reportToStandardError};

thread_local std::unordered_map<std::string, Batch> t_batches;

Batch* currentBatch(const std::string& path) {
    if (t_batches.empty()) return nullptr;
    auto it = t_batches.find(path);
    return it == t_batches.end() ? nullptr : &it->second;
}

// A copy of the document to change (cached documents are shared and never
// changed in place). The cache drops it: until the change is stored,
// readers of other threads parse the file.
Doc takeFromCache(const std::string& path, std::shared_ptr<const Doc> current) {
    {
        Shared& s = shared();
        std::lock_guard lock(s.mutex);
        auto it = s.cache.find(path);
        if (it != s.cache.end() && it->second.doc == current) cacheErase(s, it);
    }
    return Doc(*current);
}

// The batch's contents, made its own before the first change.
Doc& writableDoc(const std::string& path, Batch& b) {
    if (!b.own) {
        b.own = std::make_shared<Doc>(takeFromCache(path, std::move(b.doc)));
        b.doc = b.own;
    }
    return *b.own;
}

// Writes the document and puts it into the cache. Caller holds the path lock.
bool store(const std::string& path, std::shared_ptr<const Doc> doc) {
    if (!files::atomicWriteFile(path, serialize(*doc))) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        cachePut(path, stampOf(st), std::move(doc));
    } else {
        cacheDrop(path);
    }
    return true;
}

// Applies a change to the file: inside the thread's batch to its pending
// contents, else as one locked read-change-rewrite.
bool change(const std::string& file, const std::function<bool(Doc&)>& apply) {
    const std::string path = normalizedRecent(file);
    if (Batch* b = currentBatch(path)) {
        if (b->loadError) {
            errno = b->loadError;
            return false;
        }
        if (apply(writableDoc(path, *b))) {
            b->dirty = true;
            b->failedCommit = false;
        }
        return true;
    }
    auto lock = pathLock(path);
    std::lock_guard guard(*lock);
    std::shared_ptr<const Doc> current;
    FileStamp stamp;
    Doc doc;
    bool loaded = false;
    switch (loadFile(path, current, &stamp)) {
        case LoadResult::Ok:
            doc = takeFromCache(path, std::move(current));
            loaded = true;
            break;
        case LoadResult::Missing:
            break;
        case LoadResult::Failed:
            return false;  // never replace a file that could not be read
    }
    if (!apply(doc)) {
        if (loaded) cachePut(path, stamp, std::make_shared<const Doc>(std::move(doc)));
        return true;
    }
    return store(path, std::make_shared<const Doc>(std::move(doc)));
}

// Runs the reader on the contents this thread should see; false when the
// file is missing or unreadable.
template <class F>
bool withDoc(const std::string& file, F&& reader) {
    const std::string& path = normalizedRecent(file);
    if (Batch* b = currentBatch(path)) {
        if (b->loadError) return false;
        reader(*b->doc);
        return true;
    }
    std::shared_ptr<const Doc> doc;
    if (loadFile(path, doc) != LoadResult::Ok) return false;
    reader(*doc);
    return true;
}

}  // namespace

std::optional<std::string> readValue(const std::string& file, const std::string& section, const std::string& key) {
    std::optional<std::string> result;
    withDoc(file, [&](const Doc& doc) {
        if (const Section* s = findSection(doc, section)) {
            if (const Line* l = findKey(*s, key)) result.emplace(l->value());
        }
    });
    return result;
}

std::string getString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& defaultValue) {
    auto v = readValue(file, section, key);
    return v ? std::move(*v) : defaultValue;
}

int getInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue) {
    auto v = readValue(file, section, key);
    if (!v || v->empty()) return defaultValue;
    const std::string& s = *v;
    std::size_t i = 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i] == '-';
        ++i;
    }
    long long n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-n);
    return static_cast<int>(n > INT_MAX ? INT_MAX : n);
}

std::vector<std::string> getKeyNames(const std::string& file, const std::string& section) {
    std::vector<std::string> names;
    withDoc(file, [&](const Doc& doc) {
        const Section* s = findSection(doc, section);
        if (!s) return;
        for (std::size_t i = 0; i < s->lines.size(); ++i) {
            const Line& l = s->lines[i];
            // A repeated key is listed once, where it first appears.
            if (l.kind == Kind::Key && (!s->duplicateKeys || findKeyLine(*s, l.key()) == i)) {
                names.emplace_back(l.key());
            }
        }
    });
    return names;
}

std::vector<std::string> getSectionNames(const std::string& file) {
    std::vector<std::string> names;
    withDoc(file, [&](const Doc& doc) {
        for (std::size_t i = 0; i < doc.sections.size(); ++i) {
            const Section& s = doc.sections[i];
            // A repeated section is listed once, where it first appears.
            if (!s.removed && (!doc.duplicateSections || findSectionIndex(doc, s.name) == i)) {
                names.push_back(s.name);
            }
        }
    });
    return names;
}

bool writeString(const std::string& file, const std::string& section, const std::string& key,
                 const std::optional<std::string>& value) {
    if (!validNames(section, &key, &value)) {
        errno = EINVAL;
        return false;
    }
    if (!value) return deleteKey(file, section, key);
    return change(file, [&](Doc& doc) { return setKey(doc, section, key, *value); });
}

bool deleteKey(const std::string& file, const std::string& section, const std::string& key) {
    return change(file, [&](Doc& doc) { return removeKey(doc, section, key); });
}

bool deleteSection(const std::string& file, const std::string& section) {
    return change(file, [&](Doc& doc) { return removeSection(doc, section); });
}

WriteBatch::WriteBatch(const std::string& file) : file_(normalize(file)) {
    Batch& b = t_batches[file_];
    if (b.depth++ > 0) return;
    b.lock = pathLock(file_);
    b.lock->lock();
    switch (loadFile(file_, b.doc)) {
        case LoadResult::Ok:
            break;  // shared with the cache until the first change
        case LoadResult::Missing:
            b.own = std::make_shared<Doc>();
            b.doc = b.own;
            break;
        case LoadResult::Failed:
            b.loadError = errno ? errno : EIO;
            break;
    }
}

CommitFailureReporter setCommitFailureReporter(CommitFailureReporter reporter) {
    return g_commitFailureReporter.exchange(reporter ? reporter : reportToStandardError);
}

WriteBatch::~WriteBatch() {
    Batch* b = currentBatch(file_);
    if (!b) return;
    if (b->depth == 1 && b->dirty && !b->failedCommit && !commit()) {
        const int err = errno;
        g_commitFailureReporter.load()(file_, err);
        errno = err;
    }
    if (--b->depth > 0) return;
    auto lock = std::move(b->lock);
    t_batches.erase(file_);
    lock->unlock();
}

bool WriteBatch::commit() {
    Batch* b = currentBatch(file_);
    if (!b) return true;
    if (b->depth > 1) return true;  // the outermost batch writes
    if (b->loadError) {
        b->failedCommit = true;
        errno = b->loadError;
        return false;
    }
    if (!b->dirty) {
        done_ = true;
        return true;
    }
    if (!store(file_, b->doc)) {
        b->failedCommit = true;
        return false;
    }
    b->own.reset();  // now shared with the cache: the next change copies it
    b->dirty = false;
    done_ = true;
    return true;
}

bool WriteBatch::isOutermost() const {
    const Batch* b = currentBatch(file_);
    return b != nullptr && b->depth == 1;
}

void invalidate(const std::string& file) { cacheDrop(normalize(file)); }

std::size_t cachedBytes() {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    return s.cachedBytes;
}

std::size_t cacheBudgetBytes() { return kCacheBudgetBytes; }

}  // namespace platform::profile
