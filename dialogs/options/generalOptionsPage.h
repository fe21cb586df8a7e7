#pragma once
// The options sheet's "General" page: start-up and tray behaviour, sounds
// and animation, notification balloons, blackout times, the window layout
// and the Workpad. OK stores them in the global options and saves them; the
// sheet's GlobalOptionsChanged then puts them into effect (the blackout
// times, the window layout).
#include <utility>
#include <vector>

#include <QString>

#include "widgets/base/propertySheet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace dialogs {

class CGeneralOptionsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CGeneralOptionsPropPage(QWidget* parent = nullptr);

    bool onApply() override;
    void updateControls();
    // Writes or removes the autostart entry; false (the message shown) when
    // that failed.
    bool setAutoStart(bool enable);

    const std::vector<std::pair<int, int>>& blackoutTimes() const { return blackoutTimes_; }
    const QString& soundFile() const { return soundFile_; }

protected:
    void initDialog() override;

private:
    void onChangeSound();
    void onResetSound();
    void onWindowMode();
    void onBlackoutTimes();
    void updateSoundTip();

    QCheckBox* trayApp_;
    QCheckBox* oneClick_;
    QCheckBox* playSoundOnError_;
    QPushButton* changeSound_;
    QPushButton* resetSound_;
    QCheckBox* disableAnimation_;
    QCheckBox* disableSound_;
    QCheckBox* autoStart_;
    QCheckBox* startMinimized_;
    QComboBox* balloonMode_;
    QLineEdit* displayTime_;
    QLabel* showForLabel_;
    QLabel* secondsLabel_;
    QComboBox* balloonPosition_;
    QLabel* positionLabel_;
    QPushButton* blackoutButton_;
    QCheckBox* briefSummaries_;
    QCheckBox* unreadInMyChannels_;
    QRadioButton* sdi_;
    QRadioButton* mdi_;
    QComboBox* mdiTabs_;
    QLabel* mdiTabsLabel_;
    QComboBox* maxItemViewHeight_;
    QCheckBox* autoHideFeedItems_;
    QComboBox* navBar_;
    QCheckBox* autoShowWorkPad_;
    QCheckBox* autoHideWorkPad_;

    QString soundFile_;
    std::vector<std::pair<int, int>> blackoutTimes_;
    bool windowModeHintShown_ = false;
    bool autoStartWhenOpened_ = false;
};

}  // namespace dialogs
