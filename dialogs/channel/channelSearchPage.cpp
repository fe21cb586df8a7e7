#include "dialogs/channel/channelSearchPage.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "channels/channel.h"
#include "channels/channelSettings.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/hints/hintDlg.h"
#include "lib/misc/threadSafety.h"

namespace dialogs {

CChannelSearchPropPage::CChannelSearchPropPage(QWidget* parent)
    : CAppPropertyPage(parent),
      CChannelCategoriesCtrl(new CChannelCategoriesCtrlEditListBox(this, this),
                             new QPushButton(tr("&Channel categories"), this)) {
    setWindowTitle(tr("Search"));
    setObjectName(QStringLiteral("channelSearchPage"));
    menuButton()->setObjectName(QStringLiteral("categoriesMenuButton"));
    auto* frame = new QGroupBox(tr("Channel categories"), this);
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(listBox());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addWidget(menuButton(), 0, Qt::AlignLeft);
}

void CChannelSearchPropPage::initDialog() {
    if (!channel_) return;
    const channels::ChannelSettings& settings = channel_->getChannelSettings();
    {
        SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        fillList(settings.getChannelCategories());
    }
    init(this);
}

void CChannelSearchPropPage::onPostInitDialog() { CHintDlg("UsingChannelCategories", this).DoModal(); }

bool CChannelSearchPropPage::onApply() {
    std::vector<std::string> names;
    if (!getCategories(names, true)) return false;
    channel_->getChannelSettings().setChannelCategories(names);
    try {
        channel_->save();
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
    }
    return CAppPropertyPage::onApply();
}

}  // namespace dialogs
