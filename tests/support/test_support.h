#pragma once
// Helpers shared by the test executables.
#include <filesystem>
#include <string>

namespace testsupport {

// A fresh folder below the build tree's test area, removed with its owner.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    // Path of a file inside the folder.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Whole contents of a file ("" when it is missing).
std::string readFile(const std::string& path);
// Writes a file (creating its folder), replacing any contents.
void writeFile(const std::string& path, const std::string& contents);

// Folder of the test sources (tests/), for fixtures.
std::string sourceDir();
// Staged program directory of the build.
std::string stageDir();

// A TCP port on 127.0.0.1 that nothing listens on right now.
int freeLoopbackPort();
// Waits (bounded) until something accepts connections on 127.0.0.1:port.
bool waitForLoopbackPort(int port, int timeoutMs);

}  // namespace testsupport
