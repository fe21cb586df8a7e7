#pragma once
// The page "Details": where the channel comes from, and the user's overrides
// of what the feed says about itself (name, home page, picture and its size,
// description); the feed's editor and webmaster addresses, the publisher's
// update restrictions and the channel's summary page.
#include "widgets/base/propertySheet.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class LinkButton;

namespace channels {
class Channel;
}

namespace dialogs {

class ChannelImageButton;

class CChannelDetailsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CChannelDetailsPropPage(QWidget* parent = nullptr);

    void setChannel(channels::Channel* channel) { channel_ = channel; }
    void setHelpContext(int helpContext) { helpContext_ = helpContext; }
    void setWizardSheet(QWidget* wizard) { wizardSheet_ = wizard; }
    int helpId() const { return helpContext_ >= 0 ? helpContext_ - 0x20000 : -1; }

    bool onKillActive() override;
    bool onApply() override;

    // The message of the Schedule button.
    QString scheduleText() const;

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    bool validateData();
    void onBrowseImage();
    void onShowSchedule();
    void onViewFeed();

    channels::Channel* channel_ = nullptr;
    QWidget* wizardSheet_ = nullptr;
    int helpContext_ = -1;

    ChannelImageButton* imageButton_;
    QLineEdit* addressEdit_;           // 225
    QLineEdit* nameEdit_;              // 215
    QLineEdit* homeEdit_;              // 226
    QLineEdit* imageEdit_;             // 227
    QPushButton* browseButton_;        // 1065
    QLineEdit* widthEdit_;             // 229
    QLineEdit* heightEdit_;            // 230
    QPlainTextEdit* descriptionEdit_;  // 228
    LinkButton* editorLink_;           // 1075
    LinkButton* webmasterLink_;        // 1076
    QPushButton* scheduleButton_;      // 1188
    QPushButton* viewFeedButton_;      // 1066
};

}  // namespace dialogs
