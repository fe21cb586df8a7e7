#pragma once
// A uniquely named file that lives as long as its owner object.
//
//   tools::TempFile out(".txt");      // the empty file exists now
//   out.open();                       // truncates and opens for writing
//   out << "...";  out.close();
//   runSomething(out.getFilename());
//   // the destructor deletes the file
//
// The name begins with "orvan" and lies in the directory named by TMP (else
// TMPDIR, else /tmp). The file is created exclusively under
// its final name, extension included, so an existing file is never reused,
// truncated or shared with another owner. Files whose owners still live
// when the process exits normally are deleted then; those of a process that
// was killed are removed by removeFilesOfEndedProcesses of a later one.
#include <fstream>
#include <string>

namespace tools {

class TempFile : public std::ofstream {
public:
    // Creates the file empty; throws std::runtime_error
    // ("Can't create temporary file.") when no file can be created.
    explicit TempFile(const std::string& extension = std::string());
    // Closes the stream when open and deletes the file.
    ~TempFile() override;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Opens the stream on the file for writing, truncating it.
    void open();
    // The file's full name.
    const std::string& getFilename() const { return filename_; }

    // Removes the files that owners in ended processes left in the folder
    // (a process killed before it could delete them; a hook's request file
    // may hold a password). Files of live processes, of this process and of
    // other users stay. Returns the number of files removed.
    static int removeFilesOfEndedProcesses();

private:
    std::string filename_;
};

}  // namespace tools
