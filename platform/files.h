#pragma once
// File helpers of the platform layer: atomic replacement of a file and the
// text of a system error (strerror of errno, the counterpart of the system's
// last-error message).
#include <string>

namespace platform::files {

// Replaces the file with the contents: a temporary file in the same folder is
// written, flushed to disk and renamed over the target, so that a reader sees
// either the old or the new contents, never a part. A symbolic link is
// followed (its target is replaced); an existing file keeps its permissions.
// Returns false on failure with errno set; the target is then untouched and
// no temporary file is left behind. A target that exists but is no regular
// file (a device such as /dev/full, a pipe, a folder) is never replaced
// (EINVAL, EISDIR), nor is a read-only file, one whose owner has no write
// permission (EACCES), whoever the caller is. The temporary file is "<target>.tmp-<pid>-<n>"; one that
// a writer killed mid-write left is removed, once that process has ended, by
// the next write of the target after this process starts (the folder is
// looked at again at most once a minute).
// A file that is made again whenever it is needed (a page generated for a
// view) may skip the flush to disk: readers still see the old or the new
// contents whole, but a crash of the machine may lose the new ones.
enum class Flush { ToDisk, Skip };
bool atomicWriteFile(const std::string& path, const std::string& contents, Flush flush = Flush::ToDisk);

// Marks a file as one that only its owner may read and write (it holds
// credentials): an existing file loses its permissions for group and others
// now, and atomicWriteFile writes it with none (a new one with mode 0600).
void keepOwnerOnly(const std::string& path);

// Text of errno as it is now ("No such file or directory").
std::string lastErrorText();

// Text of an error number.
std::string errorText(int err);

// orvan's folder of the user's data: "$XDG_DATA_HOME/orvan" when
// XDG_DATA_HOME holds an absolute path, else "<home>/.local/share/orvan" (the
// home folder from HOME, else from the password database). Everything a
// running orvan writes lives below it; the program folder may be read-only.
std::string dataDirectory();

// The folder of the user whom the running program serves, as start-up chose
// it ("" until then). The libraries that the program loads (application
// plug-ins, hooks) share this layer with it and put their own files there.
void setUserDirectory(const std::string& dir);
std::string userDirectory();

}  // namespace platform::files
