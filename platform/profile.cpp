#include "platform/profile.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace platform::profile {

namespace {

// ---------------------------------------------------------------------------
// The parsed file. Every line is kept as it was read, so that a rewrite
// changes only the lines that were written; key lines also carry their
// trimmed name and value.

struct Line {
    bool isKey = false;
    std::string raw;    // the line without its line end
    std::string key;    // key lines: name without blanks around it
    std::string value;  // key lines: value without blanks around it
};

struct Section {
    std::string header;  // the header line as read
    std::string name;
    std::vector<Line> lines;
    std::unordered_map<std::string, std::size_t> keyIndex;  // lower-case name -> first line

    void reindex();
};

struct Doc {
    std::vector<std::string> preamble;  // lines before the first section (not readable as keys)
    std::vector<Section> sections;
    std::unordered_map<std::string, std::size_t> sectionIndex;  // lower-case name -> first section
    std::string eol = "\n";

    void reindex();
};

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimBlanks(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

void Section::reindex() {
    keyIndex.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isKey) keyIndex.emplace(lower(lines[i].key), i);
    }
}

void Doc::reindex() {
    sectionIndex.clear();
    for (std::size_t i = 0; i < sections.size(); ++i) sectionIndex.emplace(lower(sections[i].name), i);
}

Doc parse(const std::string& text) {
    Doc doc;
    Section* current = nullptr;
    bool eolChosen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::size_t end = nl == std::string::npos ? text.size() : nl;
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (!eolChosen) doc.eol = "\r\n";
        }
        if (nl != std::string::npos) eolChosen = true;
        pos = nl == std::string::npos ? text.size() : nl + 1;

        std::size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        if (first < line.size() && line[first] == '[') {
            std::size_t close = line.find(']', first + 1);
            std::string name = line.substr(first + 1, close == std::string::npos ? std::string::npos : close - first - 1);
            doc.sections.push_back(Section{line, trimBlanks(name), {}, {}});
            current = &doc.sections.back();
            continue;
        }
        if (!current) {
            doc.preamble.push_back(std::move(line));
            continue;
        }
        Line l;
        std::size_t eq = line.find('=');
        if (eq != std::string::npos && line[first] != ';') {
            l.key = trimBlanks(line.substr(0, eq));
            l.value = trimBlanks(line.substr(eq + 1));
            l.isKey = !l.key.empty();
        }
        l.raw = std::move(line);
        current->lines.push_back(std::move(l));
    }
    for (auto& s : doc.sections) s.reindex();
    doc.reindex();
    return doc;
}

std::string serialize(const Doc& doc) {
    std::string out;
    auto put = [&](const std::string& line) {
        out += line;
        out += doc.eol;
    };
    for (const auto& l : doc.preamble) put(l);
    for (const auto& s : doc.sections) {
        put(s.header);
        for (const auto& l : s.lines) put(l.raw);
    }
    return out;
}

const Section* findSection(const Doc& doc, const std::string& name) {
    auto it = doc.sectionIndex.find(lower(trimBlanks(name)));
    return it == doc.sectionIndex.end() ? nullptr : &doc.sections[it->second];
}

const Line* findKey(const Section& s, const std::string& key) {
    auto it = s.keyIndex.find(lower(trimBlanks(key)));
    return it == s.keyIndex.end() ? nullptr : &s.lines[it->second];
}

// Names and values that would break the line structure of the file.
bool validNames(const std::string& section, const std::string* key, const std::optional<std::string>* value) {
    auto hasLineEnd = [](const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; };
    if (hasLineEnd(section) || section.find(']') != std::string::npos) return false;
    if (key) {
        std::string k = trimBlanks(*key);
        if (k.empty() || hasLineEnd(k) || k.find('=') != std::string::npos || k[0] == '[' || k[0] == ';') return false;
    }
    if (value && value->has_value() && hasLineEnd(**value)) return false;
    return true;
}

// Changes of the document. Each returns true when the document changed.

bool setKey(Doc& doc, const std::string& sectionName, const std::string& keyName, const std::string& value) {
    const std::string section = trimBlanks(sectionName);
    const std::string key = trimBlanks(keyName);
    auto sit = doc.sectionIndex.find(lower(section));
    if (sit == doc.sectionIndex.end()) {
        Section s{"[" + section + "]", section, {}, {}};
        s.lines.push_back(Line{true, key + "=" + value, key, trimBlanks(value)});
        s.reindex();
        doc.sections.push_back(std::move(s));
        doc.sectionIndex.emplace(lower(section), doc.sections.size() - 1);
        return true;
    }
    Section& s = doc.sections[sit->second];
    auto kit = s.keyIndex.find(lower(key));
    if (kit != s.keyIndex.end()) {
        Line& l = s.lines[kit->second];
        std::string raw = l.key + "=" + value;
        if (raw == l.raw) return false;
        l.raw = std::move(raw);
        l.value = trimBlanks(value);
        return true;
    }
    // A new key goes after the last key of the section, before any blank
    // or comment lines that end it.
    std::size_t at = 0;
    for (std::size_t i = 0; i < s.lines.size(); ++i) {
        if (s.lines[i].isKey) at = i + 1;
    }
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), Line{true, key + "=" + value, key, trimBlanks(value)});
    s.reindex();
    return true;
}

bool removeKey(Doc& doc, const std::string& sectionName, const std::string& keyName) {
    auto sit = doc.sectionIndex.find(lower(trimBlanks(sectionName)));
    if (sit == doc.sectionIndex.end()) return false;
    Section& s = doc.sections[sit->second];
    const std::string k = lower(trimBlanks(keyName));
    auto before = s.lines.size();
    std::erase_if(s.lines, [&](const Line& l) { return l.isKey && lower(l.key) == k; });
    if (s.lines.size() == before) return false;
    s.reindex();
    return true;
}

bool removeSection(Doc& doc, const std::string& sectionName) {
    const std::string name = lower(trimBlanks(sectionName));
    auto before = doc.sections.size();
    std::erase_if(doc.sections, [&](const Section& s) { return lower(s.name) == name; });
    if (doc.sections.size() == before) return false;
    doc.reindex();
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

struct CacheEntry {
    FileStamp stamp;
    std::shared_ptr<const Doc> doc;
};

constexpr std::size_t kMaxCachedFiles = 512;

struct Shared {
    std::mutex mutex;
    std::unordered_map<std::string, CacheEntry> cache;
    std::unordered_map<std::string, std::shared_ptr<std::recursive_mutex>> locks;
};

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
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    if (s.cache.size() >= kMaxCachedFiles && !s.cache.count(path)) s.cache.erase(s.cache.begin());
    s.cache[path] = CacheEntry{stamp, std::move(doc)};
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

enum class LoadResult { Ok, Missing, Failed };

// The current contents of the file: from the cache when the file is
// unchanged since it was parsed, else parsed afresh (and cached).
LoadResult loadFile(const std::string& path, std::shared_ptr<const Doc>& out, FileStamp* stampOut = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return LoadResult::Missing;
        return LoadResult::Failed;
    }
    {
        Shared& s = shared();
        std::lock_guard lock(s.mutex);
        auto it = s.cache.find(path);
        if (it != s.cache.end() && it->second.stamp == stampOf(st)) {
            out = it->second.doc;
            if (stampOut) *stampOut = it->second.stamp;
            return LoadResult::Ok;
        }
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
    // The stamp of the open file matches what is read, even if the path is
    // replaced meanwhile.
    if (::fstat(fd, &st) != 0) {
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
    Doc doc;
    bool dirty = false;
    int loadError = 0;  // the file exists but could not be read: nothing is written
};

thread_local std::unordered_map<std::string, Batch> t_batches;

Batch* currentBatch(const std::string& path) {
    auto it = t_batches.find(path);
    return it == t_batches.end() ? nullptr : &it->second;
}

// The document to change: the cached one itself when nobody else holds it
// (the writer holds the path lock, so no other writer can), else a copy.
// Until the change is stored, readers of other threads parse the file.
Doc takeFromCache(const std::string& path, std::shared_ptr<const Doc> current) {
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    auto it = s.cache.find(path);
    if (it != s.cache.end() && it->second.doc == current) s.cache.erase(it);
    if (current.use_count() == 1) return std::move(const_cast<Doc&>(*current));
    return *current;
}

// Writes the document and puts it into the cache. Caller holds the path lock.
bool store(const std::string& path, Doc doc) {
    if (!files::atomicWriteFile(path, serialize(doc))) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        cachePut(path, stampOf(st), std::make_shared<Doc>(std::move(doc)));
    } else {
        invalidate(path);
    }
    return true;
}

// Applies a change to the file: inside the thread's batch to its pending
// contents, else as one locked read-change-rewrite.
bool change(const std::string& file, const std::function<bool(Doc&)>& apply) {
    const std::string path = normalize(file);
    if (Batch* b = currentBatch(path)) {
        if (b->loadError) {
            errno = b->loadError;
            return false;
        }
        if (apply(b->doc)) b->dirty = true;
        return true;
    }
    auto lock = pathLock(path);
    std::lock_guard guard(*lock);
    std::shared_ptr<const Doc> current;
    FileStamp stamp;
    Doc doc;
    switch (loadFile(path, current, &stamp)) {
        case LoadResult::Ok: doc = takeFromCache(path, std::move(current)); break;
        case LoadResult::Missing: break;
        case LoadResult::Failed: return false;  // never replace a file that could not be read
    }
    if (!apply(doc)) {
        cachePut(path, stamp, std::make_shared<Doc>(std::move(doc)));
        return true;
    }
    return store(path, std::move(doc));
}

// Runs the reader on the contents this thread should see; false when the
// file is missing or unreadable.
template <class F>
bool withDoc(const std::string& file, F&& reader) {
    const std::string path = normalize(file);
    if (Batch* b = currentBatch(path)) {
        if (b->loadError) return false;
        reader(b->doc);
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
            if (const Line* l = findKey(*s, key)) result = l->value;
        }
    });
    return result;
}

std::string getString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& defaultValue) {
    auto v = readValue(file, section, key);
    return v ? *v : defaultValue;
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
            if (l.isKey && s->keyIndex.at(lower(l.key)) == i) names.push_back(l.key);
        }
    });
    return names;
}

std::vector<std::string> getSectionNames(const std::string& file) {
    std::vector<std::string> names;
    withDoc(file, [&](const Doc& doc) {
        for (std::size_t i = 0; i < doc.sections.size(); ++i) {
            if (doc.sectionIndex.at(lower(doc.sections[i].name)) == i) names.push_back(doc.sections[i].name);
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
    std::shared_ptr<const Doc> current;
    switch (loadFile(file_, current)) {
        case LoadResult::Ok: b.doc = *current; break;
        case LoadResult::Missing: break;
        case LoadResult::Failed: b.loadError = errno ? errno : EIO; break;
    }
}

WriteBatch::~WriteBatch() {
    Batch* b = currentBatch(file_);
    if (!b) return;
    if (b->depth == 1 && b->dirty) commit();
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
        errno = b->loadError;
        return false;
    }
    if (!b->dirty) {
        done_ = true;
        return true;
    }
    if (!store(file_, b->doc)) return false;
    b->dirty = false;
    done_ = true;
    return true;
}

void invalidate(const std::string& file) {
    const std::string path = normalize(file);
    Shared& s = shared();
    std::lock_guard lock(s.mutex);
    s.cache.erase(path);
}

}  // namespace platform::profile
