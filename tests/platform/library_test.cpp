#include <gtest/gtest.h>

#include "platform/library.h"
#include "tests/platform/platform_test_paths.h"

namespace lib = platform::library;

TEST(Library, NativeNameReplacesDllEnding) {
    const std::pair<const char*, const char*> cases[] = {
        {"mailnote.dll", "mailnote.so"},
        {"/p/Hook.DLL", "/p/Hook.so"},
        {"x.so", "x.so"},
        {"dll", "dll"},
        {".dll", ".so"},
        {"a.dllx", "a.dllx"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(lib::nativeLibraryName(in), out) << in;
}

TEST(Library, LoadsResolvesAndReportsLoaderErrors) {
    const std::string path = platformtest::besideTestBinary("platform-test-plugin.so");
    lib::Library l(path);
    ASSERT_TRUE(l.loaded()) << l.error();
    auto add = l.function<int (*)(int, int)>("platform_plugin_add");
    ASSERT_NE(add, nullptr) << l.error();
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(l.symbol("no_such_entry_point"), nullptr);
    EXPECT_NE(l.error().find("no_such_entry_point"), std::string::npos) << l.error();

    // The name a definition file gives (".dll") finds the built library.
    lib::Library viaDll(platformtest::besideTestBinary("platform-test-plugin.dll"));
    EXPECT_TRUE(viaDll.loaded()) << viaDll.error();

    lib::Library moved = std::move(l);
    EXPECT_FALSE(l.loaded());
    EXPECT_TRUE(moved.loaded());

    lib::Library missing("/nonexistent/orvan-missing.dll");
    EXPECT_FALSE(missing.loaded());
    EXPECT_NE(missing.error().find("orvan-missing.so"), std::string::npos) << missing.error();
    EXPECT_NE(missing.error().find("No such file"), std::string::npos) << missing.error();
}
