#pragma once
// The page "Search": the categories the channel belongs to.
#include "widgets/base/propertySheet.h"
#include "dialogs/channel/channelCategoriesCtrl.h"

class QPushButton;

namespace channels {
class Channel;
}

namespace dialogs {

class CChannelSearchPropPage : public CAppPropertyPage, public CChannelCategoriesCtrl {
    Q_OBJECT

public:
    explicit CChannelSearchPropPage(QWidget* parent = nullptr);

    void setChannel(channels::Channel* channel) { channel_ = channel; }
    void setHelpContext(int helpContext) { helpContext_ = helpContext; }
    void setWizardSheet(QWidget* wizard) { wizardSheet_ = wizard; }
    int helpId() const { return helpContext_ >= 0 ? helpContext_ - 0x20000 : -1; }

    bool onApply() override;

protected:
    void initDialog() override;
    void onPostInitDialog() override;
    void contextMenuEvent(QContextMenuEvent*) override {}

private:
    QWidget* wizardSheet_ = nullptr;
    channels::Channel* channel_ = nullptr;
    int helpContext_ = -1;
};

}  // namespace dialogs
