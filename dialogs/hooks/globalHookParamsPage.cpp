#include "dialogs/hooks/globalHookParamsPage.h"

#include <QVBoxLayout>

#include "channels/hooks/channelHook.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/hints/hintDlg.h"
#include "widgets/controls/paramsGrid.h"

namespace dialogs {

CGlobalChannelHookParamsPropPage::CGlobalChannelHookParamsPropPage(channels::ChannelHook* hook, QWidget* parent)
    : CResizablePropertyPage(parent), hook_(hook) {
    setWindowTitle(tr("Global"));
    setObjectName(QStringLiteral("hookGlobalParamsPage"));
    grid_ = makeParamsGrid(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addWidget(grid_, 1);
}

void CGlobalChannelHookParamsPropPage::initDialog() {
    if (!hook_) return;
    channels::ParamValues values;
    hook_->getGlobalParams(defs_, values);
    buildParamsGrid(grid_, defs_, values);
}

void CGlobalChannelHookParamsPropPage::onPostInitDialog() { CHintDlg("GlobalChannelHookParams", this).DoModal(); }

bool CGlobalChannelHookParamsPropPage::onApply() {
    if (hook_ && !defs_.empty()) {
        channels::ParamValues values;
        readParamsGrid(grid_, values);
        hook_->setGlobalParamValues(values);
    }
    return CResizablePropertyPage::onApply();
}

}  // namespace dialogs
