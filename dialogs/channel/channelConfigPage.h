#pragma once
// The page "Channel": automatic updates and their interval, how new items are
// announced (tray animation, sound, balloons), the tray-menu entries, empty
// feeds and the maximum number of items. Serves the channel property sheet,
// the new-channel wizard and, for the defaults of new channels, the options
// sheet; its edits reach the channel only in onApply.
#include <functional>
#include <memory>
#include <string>

#include "widgets/base/propertySheet.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace channels {
class Channel;
}
namespace tools {
class HttpAuth;
}

namespace dialogs {

class ChannelImageButton;

class CChannelConfigPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CChannelConfigPropPage(QWidget* parent = nullptr);
    ~CChannelConfigPropPage() override;

    // Set by the owning sheet before the page is shown.
    void setChannel(channels::Channel* channel) { channel_ = channel; }
    void setHelpContext(int helpContext) { helpContext_ = helpContext; }
    // The new-channel wizard's sheet; null in every other sheet.
    void setWizardSheet(QWidget* wizard) { wizardSheet_ = wizard; }
    // The options sheet's scratch channel: its name label reads as given.
    channels::Channel* channel() const { return channel_; }
    int helpId() const { return helpContext_ >= 0 ? helpContext_ - 0x20000 : -1; }

    bool onSetActive() override;
    bool onKillActive() override;
    bool onApply() override;

    // The "Server authentication" button edits the page's copy of the channel's
    // credentials with this editor (the HTTP authentication dialog); true when
    // the copy was changed. Without one the button only beeps.
    using CredentialsEditor = std::function<bool(QWidget* parent, std::unique_ptr<tools::HttpAuth>& credentials)>;
    static void setCredentialsEditor(CredentialsEditor editor);

    QString soundFile() const { return soundFile_; }
    // The first loss of focus of the interval box in a run shows a hint; this
    // starts a new run (tests).
    static void resetIntervalHintShown();

protected:
    void initDialog() override;

private:
    bool validateData();
    void updateControls();
    void onChangeSound();
    void onResetSound();
    void onIntervalKillFocus();
    void onServerAuthentication();
    bool eventFilter(QObject* watched, QEvent* event) override;

    channels::Channel* channel_ = nullptr;
    QWidget* wizardSheet_ = nullptr;
    int helpContext_ = -1;
    std::unique_ptr<tools::HttpAuth> credentials_;
    QString soundFile_;

    ChannelImageButton* imageButton_;
    QLabel* nameLabel_;
    QGroupBox* autoUpdateGroup_;
    QCheckBox* autoUpdateCheck_;      // 203
    QComboBox* intervalCombo_;        // 205
    QCheckBox* animateCheck_;         // 207
    QCheckBox* soundCheck_;           // 208
    QPushButton* changeSoundButton_;  // 209
    QPushButton* resetSoundButton_;   // 216
    QCheckBox* balloonCheck_;         // 210
    QCheckBox* consolidateCheck_;     // 211
    QLabel* consolidateLabel_;        // 1187
    QCheckBox* quickMenuCheck_;       // 212
    QCheckBox* subMenuCheck_;         // 213
    QCheckBox* emptyFeedsCheck_;      // 214
    QLineEdit* maxItemsEdit_;         // 1086
    QPushButton* authButton_;         // 1211
};

}  // namespace dialogs
