#pragma once
// The channel picker: every channel by display name in alphabetical order;
// OK (or a double click) chooses the selected one.
#include "widgets/base/appDialog.h"

class QListWidget;
class QPushButton;

namespace channels {
class Channel;
}

namespace dialogs {

class SaveWindowPlacement;

class CSelectChannelDlg : public AppDialog {
    Q_OBJECT

public:
    // `channel` (may be null) is selected when the list has it, else the first entry.
    explicit CSelectChannelDlg(channels::Channel* channel, QWidget* parent = nullptr);

    // After OK: the selected entry's channel, or null when none was selected
    // or the channel was deleted while the picker was open.
    channels::Channel* getChannel() const { return channel_; }

    QListWidget* channelList() const { return list_; }
    QPushButton* okButton() const { return ok_; }

    static SaveWindowPlacement placement;

protected:
    void initDialog() override;

private:
    void onOk();

    channels::Channel* channel_;
    QListWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace dialogs
