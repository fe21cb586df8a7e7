// channelcare's start-up: its settings file, the lock it shares with the main
// program (so the two never write a channel file at the same time), the
// inventory of channel files, and the dialog.
#include <QApplication>
#include <QString>

#include "app/core/singleInstance.h"
#include "widgets/base/messageBox.h"
#include "platform/files.h"
#include "tools/files.h"
#include "utilities/channelcare/channelCareDlg.h"

namespace channelcare {

int run(const std::string& programPath) {
    QApplication::setApplicationName(kProgramName);
    QApplication::setApplicationDisplayName(kProgramName);
    const auto message = [](const std::string& text) {
        dialogs::showMessage(nullptr, QString::fromStdString(text), dialogs::MessageButtons::Ok,
                             dialogs::MessageIcon::Warning);
    };

    const std::string settingsFile = settingsFileFor(programPath);
    if (!tools::isFile(settingsFile)) {
        message("Can't find the settings file: " + settingsFile);
        return 0;
    }

    // Held until the program ends: the main program does not start meanwhile.
    InstanceLock lock(kProductWord);
    if (!lock.tryLock()) {
        if (lock.isHeldElsewhere())
            message(std::string(kProductWord) +
                    " is still running.\n\nPlease close it and wait for it to finish before running this program.");
        else
            message("Can't create the file mapping - exiting.");
        return 0;
    }

    Settings settings;
    ChannelInventory inventory;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        settings = loadSettingsFile(settingsFile);
        inventory = findUserChannels(platform::files::dataDirectory());
        QApplication::restoreOverrideCursor();
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        message(std::string("Couldn't initialize.\n\n") + e.what());
        return 0;
    }

    CChannelCareDlg dialog(settings, inventory);
    dialogs::runModal(dialog);
    return 0;
}

}  // namespace channelcare
