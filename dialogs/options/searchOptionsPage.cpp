#include "dialogs/options/searchOptionsPage.h"

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "channels/channel.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "widgets/base/resizer.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/options/optionsCommon.h"

namespace dialogs {

namespace {

// The menu of defined categories belongs to a channel's own list; this list
// is the definitions themselves, so its button stays hidden.
QPushButton* hiddenMenuButton(QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->hide();
    return button;
}

}  // namespace

CSearchOptionsPropPage::CSearchOptionsPropPage(QWidget* parent)
    : CAppPropertyPage(parent),
      CChannelCategoriesCtrl(new CChannelCategoriesCtrlEditListBox(this, this), hiddenMenuButton(this)) {
    setWindowTitle(tr("Search"));
    setControlId(listBox(), 1172);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listBox(), 1);
}

void CSearchOptionsPropPage::initDialog() {
    fillList(GlobalOptions::instance().ChannelCategories);
    init(this);
    menuButton()->hide();
}

void CSearchOptionsPropPage::onPostInitDialog() { CHintDlg("DefiningChannelCategories", this).DoModal(); }

bool CSearchOptionsPropPage::onApply() {
    GlobalOptions& options = GlobalOptions::instance();
    std::vector<std::string> names;
    for (int i = 0; i < listBox()->count(); ++i) names.push_back(listBox()->itemText(i).toStdString());
    std::vector<std::string> removed;
    for (const std::string& old : options.ChannelCategories)
        if (std::find(names.begin(), names.end(), old) == names.end()) removed.push_back(old);
    try {
        if (!removed.empty())
            if (channels::ChannelManager* manager = getChannelManager()) {
                SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
                for (channels::Channel* channel : manager->getChannels())
                    for (const std::string& category : removed)
                        channel->getChannelSettings().setChannelCategory(category, false);
            }
        options.ChannelCategories = names;
        saveGlobalOptions();
    } catch (const std::exception& error) {
        showSaveError(this, error);
        return false;
    }
    return true;
}

}  // namespace dialogs
