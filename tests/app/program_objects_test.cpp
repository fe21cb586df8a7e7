// Process-wide flags, the modifier-key reader and the background thread.
#include <gtest/gtest.h>

#include <chrono>

#include "app/core/programObjects.h"

namespace {

TEST(ProgramObjects, LeftButtonAndModifierKeys) {
    noteMouseButton(0, MouseButtonEvent::LeftDown);
    EXPECT_TRUE(isLeftButtonDown());
    noteMouseButton(-1, MouseButtonEvent::LeftUp);  // negative code: no change
    EXPECT_TRUE(isLeftButtonDown());
    noteMouseButton(0, MouseButtonEvent::Other);
    EXPECT_TRUE(isLeftButtonDown());
    noteMouseButton(0, MouseButtonEvent::LeftUp);
    EXPECT_FALSE(isLeftButtonDown());

    EXPECT_EQ(getModifierKeyState(), 0);
    setModifierKeyReader([] { return makeModifierKeyState(true, true, false); });
    EXPECT_EQ(getModifierKeyState(), 3);  // neither "Ctrl" (2) nor "Alt" (4)
    setModifierKeyReader(nullptr);
    EXPECT_EQ(makeModifierKeyState(false, false, true), 4);
}

TEST(ProgramObjects, BackgroundThreadEndsWhenStopped) {
    BackgroundThread thread;
    thread.start();
    EXPECT_TRUE(thread.isRunning());
    const auto begin = std::chrono::steady_clock::now();
    thread.stop();
    EXPECT_FALSE(thread.isRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_EQ(thread.timeouts(), 0);
}

}  // namespace
