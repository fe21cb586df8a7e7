#pragma once
// Small questions about files, and splitting and joining paths.
//
// Paths may use "/" or "\" as separators on input and may begin with a drive
// ("C:"). The split follows the classic drive / directory / name / extension
// rule: the directory keeps its trailing separator, and the extension runs
// from the last "." of the last path component. Paths built here use "/".
#include <cstdint>
#include <string>

namespace tools {

// True when the path exists and is not a directory.
bool isFile(const std::string& path);
// True when the path exists and is a directory.
bool isDirectory(const std::string& path);
// The size in bytes; false (size untouched) when the file cannot be examined.
bool getFileSize(const std::string& path, std::uint64_t& size);
// Copies the file, replacing an existing destination atomically; false on failure.
bool copyFile(const std::string& source, const std::string& destination);

// True when the file lies directly in the directory (not in a subdirectory);
// both are compared in their canonical absolute forms, so both must exist.
bool isFileInDirectory(const std::string& file, const std::string& directory);

// Drive and directory part with its trailing separator ("" for a bare name).
std::string getDirectoryOf(const std::string& path);
// File name without directory and extension.
std::string getFileBaseName(const std::string& path);
// File name with extension.
std::string getFileName(const std::string& path);
// Drive, directory and name without the extension.
std::string removeFileExtension(const std::string& path);
// The extension with its dot, "" when there is none.
std::string getFileExtension(const std::string& path);
// Drive, directory and name with the new extension (a "." is put in front of
// an extension that lacks one).
std::string replaceFileExtension(const std::string& path, const std::string& extension);
// The path unchanged when it is absolute (a leading separator or a drive);
// else the directory and the path joined with a separator between them.
std::string makeAbsolutePath(const std::string& directory, const std::string& path);

// Text of the calling thread's last system error (errno), or
// "WIN32 error 00000000"-style text with the code when there is none.
std::string getWin32ErrorText();

}  // namespace tools
