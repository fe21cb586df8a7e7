#pragma once
// channelcare's one dialog: a user, that user's channels, a setting and a
// value; Set writes the value into every selected channel file.
#include "widgets/base/appDialog.h"

#include "utilities/channelcare/channelCare.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CChannelCareDlg : public dialogs::AppDialog {
    Q_OBJECT

public:
    CChannelCareDlg(const channelcare::Settings& settings, channelcare::ChannelInventory& inventory,
                    QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSelchangeUser();
    void OnSelchangeSetting();
    void updateSetButton();
    void applySetting();

    const channelcare::Settings& settings_;
    channelcare::ChannelInventory& inventory_;
    QComboBox* userCombo_;      // 1000
    QListWidget* channelList_;  // 1003
    QComboBox* settingCombo_;   // 1001
    QLineEdit* valueEdit_;      // 1002
    QPushButton* setButton_;    // 1004
    QLabel* descriptionLabel_;  // 1005
    QPushButton* exitButton_;   // 2
};

namespace channelcare {

// The program: start-up checks, the lock shared with the main program, and
// the dialog. Returns the exit code. Needs a QApplication.
int run(const std::string& programPath);

}  // namespace channelcare
