#pragma once
// Where the helper program and library of the platform tests are built:
// next to the test executable.
#include <filesystem>
#include <string>

namespace platformtest {

inline std::string besideTestBinary(const std::string& name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

inline std::string helperProgram() { return besideTestBinary("platform-test-helper"); }

}  // namespace platformtest
