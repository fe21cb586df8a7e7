#pragma once
// Shared set-up of the channel dialog tests: the program's start-up wiring,
// program paths and options in a temporary folder, a channel manager that counts update requests, the hook
// code with a user-interface window serving the hook relays, channels with
// their desktop settings, and helpers that find and drive controls.
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channelManager.h"
#include "desktop/desktopWiring.h"
#include "channels/channelSettings.h"
#include "channels/hooks/channelHook.h"
#include "channels/hooks/dllChannelHook.h"
#include "channels/plugin/pluginChannel.h"
#include "channels/plugin/scriptingEngine.h"
#include "channels/rss/rssChannel.h"
#include "widgets/base/messageBox.h"
#include "lib/misc/threadSafety.h"
#include "widgets/base/propertySheet.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/hints/hints.h"
#include "platform/messages.h"
#include "tests/support/test_support.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/qtDispatcher.h"

namespace dialogtest {

class CountingManager : public channels::ChannelManager {
public:
    using channels::ChannelManager::ChannelManager;
    void requestChannelUpdate(channels::Channel* channel) override {
        ++updateRequests;
        channels::ChannelManager::requestChannelUpdate(channel);
    }
    int updateRequests = 0;
};

// Test hook libraries as definition files name them.
inline std::string testLibrary(const std::string& name) {
    return std::string(ORVAN_TEST_BINARY_DIR) + "/bin/" + name + ".dll";
}

inline void writeExecutable(const std::string& path, const std::string& text) {
    testsupport::writeFile(path, text);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
}

// Everything a channel sheet needs, for one test.
class Environment {
public:
    Environment() {
        wiring_.install();
        testsupport::writeFile(dir.file("Channels/.keep"), "");
        testsupport::writeFile(dir.file("Logs/.keep"), "");
        ProgramPaths& paths = programPaths();
        saved_ = paths;
        paths.programDir = dir.str() + "/";
        paths.appName = "Orvan";
        paths.userConfigFile = dir.file("config.ini");
        paths.globalIniFile = dir.file("global.ini");
        paths.logsDir = dir.file("Logs");
        paths.channelsDir = dir.file("Channels");
        GlobalOptions& options = GlobalOptions::instance();
        savedCategories_ = options.ChannelCategories;
        options.ChannelCategories = {"News", "Tech"};

        channels::ScriptingEngine& engine = channels::getScriptingEngine();
        engine.setUserConfigFilename(dir.file("config.ini"));
        engine.setScriptTimeout(15);
        channels::installChannelHookHost();

        channels::ChannelSettings defaults(nullptr);
        defaults.setAutoUpdateEnabled(false);
        defaults.setAutoUpdateInterval(86400);
        manager =
            std::make_unique<CountingManager>("orvan-test", dir.file("Channels"), dir.file("Logs"), defaults, "", "");

        // The user-interface thread as the hook libraries' host.
        relayEvent_ = platform::messages::registerMessage("RelayDllChannelHookEvent");
        relayCommand_ = platform::messages::registerMessage("RelayDllChannelHookCommand");
        window_ = platform::messages::createWindow(
            dispatcher_, [this](unsigned msg, std::uintptr_t w, std::intptr_t l) { return handle(msg, w, l); });
        channels::setDllChannelHookMessages(window_, static_cast<int>(relayEvent_), static_cast<int>(relayCommand_));
        channels::DllChannelHook::setHostWindow(window_);
        setUiHandler(true);
    }

    ~Environment() {
        // Hooks let go "later" go now, while their libraries' host still stands.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        getChannelDesktopSettingsTable().clear();
        {
            SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
            for (channels::Channel* channel : manager->getChannels())
                channel->getChannelSettings().clearChannelHooks(true);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        manager->stopChannelManager(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        channels::setDllChannelHookMessages(0, -1, -1);
        channels::DllChannelHook::setHostWindow(0);
        platform::messages::destroyWindow(window_);
        GlobalOptions::instance().ChannelCategories = savedCategories_;
        programPaths() = saved_;
    }

    // An RSS channel held by the manager, with its desktop settings.
    channels::RssChannel* addRssChannel(const std::string& name, const std::string& url) {
        auto* channel = new channels::RssChannel(manager.get(), dir.file("Channels/" + name + ".rss"));
        channel->getRssChannelConfig().setRssChannelUrl(url);
        channel->save();
        manager->addChannel(channel);
        getChannelDesktopSettingsTable().add(channel);
        return channel;
    }

    // A plug-in channel on a shell script whose definition declares the given
    // sections.
    channels::PluginChannel* addPluginChannel(const std::string& name, const std::string& script,
                                              const std::string& definition) {
        const std::string scriptFile = dir.file(name + ".sh");
        writeExecutable(scriptFile, script);
        testsupport::writeFile(dir.file(name + ".plugin"), definition);
        const std::string channelFile = dir.file("Channels/" + name + ".plugin");
        auto* channel = new channels::PluginChannel(manager.get(), channelFile);
        channel->getPluginChannelConfig().loadPluginDefinition(scriptFile);
        channel->save();
        manager->addChannel(channel);
        getChannelDesktopSettingsTable().add(channel);
        return channel;
    }

    // Called for a hook's OpenChannelProperties request.
    std::function<void(const ChannelHookCallbackCookies&)> onOpenChannelProperties;

    testsupport::TempDir dir;
    std::unique_ptr<CountingManager> manager;

private:
    // The program's wiring: the dialogs reach the windows through it.
    DesktopWiring wiring_;

    std::intptr_t handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
        if (msg == relayEvent_ || msg == relayCommand_) {
            auto* hook = reinterpret_cast<channels::DllChannelHook*>(wParam);
            const auto& args = *reinterpret_cast<const channels::HookCallArgs*>(lParam);
            return (msg == relayEvent_ ? hook->callProcessEvent(args) : hook->callProcessCommand(args)) ? 1 : 0;
        }
        if (msg == channels::kOpenChannelPropertiesMsg && onOpenChannelProperties)
            onOpenChannelProperties(*reinterpret_cast<const ChannelHookCallbackCookies*>(lParam));
        return 0;
    }

    ProgramPaths saved_;
    std::vector<std::string> savedCategories_;
    QtDispatcher dispatcher_;
    platform::messages::Handle window_ = 0;
    unsigned relayEvent_ = 0;
    unsigned relayCommand_ = 0;
};

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qWarning("no child %s", name);
    return found;
}

// The tab captions of a sheet, in order.
inline QStringList pageCaptions(const dialogs::PropertySheet& sheet) {
    QStringList captions;
    for (int i = 0; i < sheet.pageCount(); ++i) captions << sheet.page(i)->windowTitle();
    return captions;
}

// Answers every message box with `answer` and records its text; other
// dialogs go to `other` (rejected when it is empty).
class Answers {
public:
    std::vector<QString> messages;
    int messageAnswer = dialogs::IDOK;
    std::function<void(QDialog&)> other;

    dialogs::ModalAnswerer answerer() {
        return [this](QDialog& dialog) {
            if (dialogs::isMessageBox(dialog)) {
                messages.push_back(dialogs::messageText(dialog));
                dialogs::pressAnswer(dialog, messageAnswer);
            } else if (other) {
                other(dialog);
            }
        };
    }
};

// Presses the button of a hint dialog that answers `answer`.
inline bool pressHint(QDialog& dialog, int answer) {
    auto* hint = qobject_cast<dialogs::CHintDlg*>(&dialog);
    if (!hint || !hint->hint()) return false;
    for (int slot = 0; slot < 3; ++slot) {
        const dialogs::HintButton& button = hint->hint()->buttons->slot[slot];
        if (!button.label || button.answer != answer) continue;
        if (auto* widget = dialog.findChild<QPushButton*>(QStringLiteral("hintButton%1").arg(slot + 1))) {
            widget->click();
            return true;
        }
    }
    return false;
}

inline QString hintIdentifier(QDialog& dialog) {
    auto* hint = qobject_cast<dialogs::CHintDlg*>(&dialog);
    return hint && hint->hint() ? QString::fromLatin1(hint->hint()->identifier) : QString();
}

}  // namespace dialogtest
