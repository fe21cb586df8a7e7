#pragma once
// INI ("private profile") files: sections of key=value lines.
// Reproduces the observable behaviour of the classic profile calls: section and
// key names compared without regard to case, blanks around values removed on
// reading, a missing file/section/key reads as the default, a write creates the
// file and the section, writing an absent value deletes the key, deleting an
// absent key's section removes the section, and the order of the file is kept.
//
// Every write replaces the file atomically (temporary file in the same folder,
// flush, rename) under a process-wide lock per path, so a reader never sees a
// torn file and two threads writing different keys of one file lose nothing.
// Parsed files are cached and checked against size and modification time;
// the cache keeps the most recently used ones within a few MiB of memory.
// Only regular files are read or written: a device, pipe or folder named as
// an INI file reads as missing and is never replaced (errno EINVAL/EISDIR).
// Every line that a write does not touch is written back byte for byte,
// its own line end (LF or CR LF) included.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform::profile {

// Value of [section] key, blanks around it removed; nullopt when the file,
// section or key is missing.
std::optional<std::string> readValue(const std::string& file, const std::string& section, const std::string& key);

// Value of [section] key, or the default when the file, section or key is missing.
std::string getString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& defaultValue);

// The leading decimal number of the value (optional sign; 0 when the value
// does not start with a number; limited to the range of int), or the default
// when the key is missing or its value is empty.
int getInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue);

// Key names of a section, in file order (empty when the file or section is missing).
std::vector<std::string> getKeyNames(const std::string& file, const std::string& section);

// Section names of a file, in file order.
std::vector<std::string> getSectionNames(const std::string& file);

// Writes or replaces the key, creating the file and the section as needed.
// nullopt deletes the key. Returns false when the file could not be written
// (the reason is in errno; see platform/files.h lastErrorText).
bool writeString(const std::string& file, const std::string& section, const std::string& key,
                 const std::optional<std::string>& value);

// Removes the key; false when the file could not be written.
bool deleteKey(const std::string& file, const std::string& section, const std::string& key);

// Removes the section with all its keys; false when the file could not be written.
bool deleteSection(const std::string& file, const std::string& section);

// Groups many writes of the calling thread to one file into one atomic rewrite.
// While a batch is open, the thread holds the file's write lock (other writers
// of that path wait; readers on other threads see the last committed file),
// and its own reads and writes of that file see the pending contents.
// commit() writes the file once; the destructor commits what is pending if
// commit() was not called, and reports a failure to the commit-failure
// reporter (a failed commit() is the caller's to report). Batches on one
// thread and path nest: only the outermost one writes, and commit() of an
// inner batch returns true.
class WriteBatch {
public:
    explicit WriteBatch(const std::string& file);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Writes the pending contents now; false when the file could not be written.
    bool commit();
    // Whether this batch is the thread's outermost one on the file (the one
    // whose commit writes it).
    bool isOutermost() const;

private:
    std::string file_;
    bool done_ = false;
};

// Told of a write that a batch's destructor could not commit: the file and
// the error number. The default writes a line to standard error; start-up
// installs one that writes to the program log.
using CommitFailureReporter = void (*)(const std::string& file, int error);
// Installs the reporter (null: the default); returns the previous one.
CommitFailureReporter setCommitFailureReporter(CommitFailureReporter reporter);

// Forgets the cached copy of a file (after it was changed by other means).
void invalidate(const std::string& file);

// About how much memory the cached parsed files take now, and the most they
// may take; for tests and measurements.
std::size_t cachedBytes();
std::size_t cacheBudgetBytes();

}  // namespace platform::profile
