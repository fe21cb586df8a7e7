#pragma once
// The page "Errors": the errors recorded for the channel during this run,
// read-only, and the last downloaded feed.
#include "widgets/base/propertySheet.h"

class QTextEdit;
class QPushButton;

namespace channels {
class Channel;
}

namespace dialogs {

class CChannelErrorsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CChannelErrorsPropPage(QWidget* parent = nullptr);
    void setChannel(channels::Channel* channel) { channel_ = channel; }
    QTextEdit* errorLog() const { return errorLog_; }

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    channels::Channel* channel_ = nullptr;
    QTextEdit* errorLog_;
    QPushButton* lastFeedButton_;
};

}  // namespace dialogs
