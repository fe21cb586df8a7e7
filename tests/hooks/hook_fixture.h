#pragma once
// Shared set-up of the channel hook tests: the hook code installed in the
// channel settings, a dispatcher thread that plays the user-interface thread
// with a main window serving the relay messages and the save callback, hook
// definition files and recording scripts, and a capture of the program log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "channels/channel.h"
#include "channels/hooks/channelHook.h"
#include "channels/channelManager.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/exception.h"
#include "channels/plugin/scriptingEngine.h"
#include "lib/log/messageLog.h"
#include "platform/library.h"
#include "platform/messages.h"
#include "tests/channels/channel_fixture.h"
#include "tests/support/test_support.h"
#include "tools/tempFile.h"

namespace hooktest {

// Path of a test hook library as a definition file names it.
inline std::string hookLibrary(const std::string& variant) {
    return std::string(ORVAN_TEST_BINARY_DIR) + "/bin/hooktest_" + variant + ".dll";
}

// Writes a file and makes it executable.
inline void writeScript(const std::string& path, const std::string& text) {
    testsupport::writeFile(path, text);
    ::chmod(path.c_str(), 0755);
}

// A script that copies each request into recordDir as req-<n>.ini (and its
// path as path-<n>.txt), then runs `tail` (shell text). The copy appears
// complete (written under another name, then renamed).
inline std::string recordingScript(const std::string& recordDir, const std::string& tail = "") {
    return "#!/bin/sh\n"
           "n=$(ls '" +
           recordDir +
           "' | grep -c '^req-')\n"
           "printf '%s' \"$1\" > '" +
           recordDir +
           "'/path-$n.txt\n"
           "cp \"$1\" '" +
           recordDir +
           "'/copy-$n\n"
           "mv '" +
           recordDir + "'/copy-$n '" + recordDir + "'/req-$n.ini\n" + tail;
}

// Request files a recording hook saved, in call order.
inline std::vector<std::string> recordedRequests(const std::string& recordDir, const std::string& prefix) {
    std::vector<std::string> files;
    for (int n = 0;; ++n) {
        const std::string file = recordDir + "/" + prefix + std::to_string(n) + ".ini";
        if (!std::filesystem::exists(file)) break;
        files.push_back(file);
    }
    return files;
}

// Waits (bounded) for a condition.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The user-interface side: a dispatcher thread with a main window.
class HostWindow {
public:
    HostWindow() {
        channels::installChannelHookHost();
        eventMsg_ = platform::messages::registerMessage("RelayDllChannelHookEvent");
        commandMsg_ = platform::messages::registerMessage("RelayDllChannelHookCommand");
        window_ = platform::messages::createWindow(
            loop_, [this](unsigned msg, std::uintptr_t w, std::intptr_t l) { return handle(msg, w, l); });
        connect(window_);
        channels::DllChannelHook::setHostWindow(window_);
    }
    // Relays go to that window (0: to no window at all).
    void connect(std::uintptr_t window) {
        channels::setDllChannelHookMessages(window, static_cast<int>(eventMsg_), static_cast<int>(commandMsg_));
    }
    ~HostWindow() {
        channels::setDllChannelHookMessages(0, -1, -1);
        channels::DllChannelHook::setHostWindow(0);
        platform::messages::destroyWindow(window_);
        loop_.stop();
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    std::uintptr_t window() const { return window_; }
    platform::messages::EventLoopThread& loop() { return loop_; }
    // pthread id of the dispatcher thread, as the test library records it.
    std::uintptr_t threadHandle() {
        std::promise<std::uintptr_t> id;
        loop_.post([&id] { id.set_value(static_cast<std::uintptr_t>(pthread_self())); });
        return id.get_future().get();
    }
    // Runs a task on the dispatcher thread and waits for it.
    void runOnLoop(const std::function<void()>& task) {
        std::promise<void> done;
        loop_.post([&] {
            task();
            done.set_value();
        });
        done.get_future().get();
    }

    // Where SaveChannelHookSettings looks for channels.
    channels::ChannelManager* manager = nullptr;
    // Called on the dispatcher thread before a relayed call reaches the hook.
    std::function<void()> beforeRelay;
    std::atomic<int> saves{0};
    std::atomic<int> unknownCookies{0};

private:
    std::intptr_t handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
        if (msg == eventMsg_ || msg == commandMsg_) {
            if (beforeRelay) beforeRelay();
            auto* hook = reinterpret_cast<channels::DllChannelHook*>(wParam);
            const auto& args = *reinterpret_cast<const channels::HookCallArgs*>(lParam);
            const bool ok = msg == eventMsg_ ? hook->callProcessEvent(args) : hook->callProcessCommand(args);
            return ok ? 1 : 0;
        }
        if (msg == channels::kSaveChannelHookSettingsMsg && manager != nullptr) {
            const auto& cookies = *reinterpret_cast<const ChannelHookCallbackCookies*>(lParam);
            channels::Channel* channel = channels::findChannelByCookie(*manager, cookies.hChannelCookie);
            if (channel == nullptr) {
                ++unknownCookies;
                return 0;
            }
            channel->save();
            ++saves;
        }
        return 0;
    }

    platform::messages::EventLoopThread loop_;
    unsigned eventMsg_ = 0;
    unsigned commandMsg_ = 0;
    std::uintptr_t window_ = 0;
};

// The program log redirected into a string, with the hook group on.
class LogCapture {
public:
    LogCapture() : log_(out_) {
        previous_ = setMessageLog(&log_);
        wasEnabled_ = channels::logGroupChannelHooks().isEnabled();
        channels::logGroupChannelHooks().setEnabled(true);
    }
    ~LogCapture() {
        channels::logGroupChannelHooks().setEnabled(wasEnabled_);
        setMessageLog(previous_);
    }
    std::string text() const { return out_.str(); }

private:
    std::ostringstream out_;
    CMessageLog log_;
    CMessageLog* previous_ = nullptr;
    bool wasEnabled_ = false;
};

// Sets the scripting engine's user configuration file and time-out for one
// test and restores them.
class EngineSettings {
public:
    explicit EngineSettings(const std::string& userConfig, int timeoutSeconds = 15) {
        channels::ScriptingEngine& engine = channels::getScriptingEngine();
        oldConfig_ = engine.getUserConfigFilename();
        oldTimeout_ = engine.getScriptTimeout();
        engine.setUserConfigFilename(userConfig);
        engine.setScriptTimeout(timeoutSeconds);
    }
    ~EngineSettings() {
        channels::getScriptingEngine().setUserConfigFilename(oldConfig_);
        channels::getScriptingEngine().setScriptTimeout(oldTimeout_);
    }

private:
    std::string oldConfig_;
    int oldTimeout_ = 15;
};

// A folder with the user configuration file and a folder for recorded
// requests, and a channel without a manager on news.rss.
class HookTestBase : public ::testing::Test {
protected:
    HookTestBase() {
        std::filesystem::create_directories(recordDir);
        channels::installChannelHookHost();
    }
    // A hook of the definition file with the attachment sections
    // ChannelHookConfig-1 and ChannelHookSettings-1 of the channel file.
    std::unique_ptr<channels::ChannelHook> load(const std::string& hookFile, const std::string& channelFileName) {
        std::unique_ptr<channels::ChannelHook> hook = channels::createChannelHook(hookFile);
        hook->loadSettings(hookFile, channelFileName, "ChannelHookConfig-1", "ChannelHookSettings-1");
        return hook;
    }
    static std::string hookLog(const channels::ChannelHook& hook) {
        return testsupport::readFile(hook.getLogFile().getFilename());
    }

    testsupport::TempDir dir;
    EngineSettings engine{dir.file("config.ini")};
    std::string recordDir = dir.file("rec");
    std::string channelFile = dir.file("news.rss");
    channeltest::TestChannel channel{nullptr, channelFile};
};

}  // namespace hooktest
