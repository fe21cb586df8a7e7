#include "dialogs/channel/channelPropSheet.h"

#include "channels/channel.h"
#include "channels/plugin/pluginChannel.h"
#include "channels/rss/rssChannel.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/channel/channelDetailsPage.h"
#include "dialogs/channel/channelErrorsPage.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/channel/channelParamsPage.h"
#include "dialogs/channel/channelSearchPage.h"
#include "dialogs/hooks/channelHooksPage.h"
#include "app/core/seams.h"
#include "widgets/helpers/dialogWindowOps.h"

namespace dialogs {

namespace {
CChannelPropSheet* g_activeSheet = nullptr;
}

SaveWindowPlacement& CChannelPropSheet::placement() {
    static SaveWindowPlacement placement;
    return placement;
}

CChannelPropSheet::CChannelPropSheet(QWidget* parent, channels::Channel* channel)
    : CAppPropertySheet(QString(), parent, 0),
      channel_(channel),
      configPage_(new CChannelConfigPropPage(this)),
      detailsPage_(new CChannelDetailsPropPage(this)),
      paramsPage_(new CChannelParamsPropPage(this)),
      hooksPage_(new CChannelHooksPropPage(this)),
      searchPage_(new CChannelSearchPropPage(this)),
      errorsPage_(new CChannelErrorsPropPage(this)) {
    setObjectName(QStringLiteral("channelPropSheet"));
    rememberPlacement(&placement());
    makeResizable();
    for (QWidget* page :
         std::initializer_list<QWidget*>{configPage_, detailsPage_, paramsPage_, hooksPage_, searchPage_, errorsPage_})
        page->hide();

    configPage_->setChannel(channel);
    configPage_->setHelpContext(0x2F010);
    addPage(configPage_);
    auto* rss = dynamic_cast<channels::RssChannel*>(channel);
    if (rss) {
        detailsPage_->setChannel(channel);
        detailsPage_->setHelpContext(0x2F020);
        addPage(detailsPage_);
        if (rss->getAppPlugin()) {
            paramsPage_->setChannel(channel);
            paramsPage_->setHelpContext(0x2F030);
            addPage(paramsPage_);
            pageIconBitmap_ = 276;
        }
    } else if (dynamic_cast<channels::PluginChannel*>(channel)) {
        detailsPage_->setChannel(channel);
        detailsPage_->setHelpContext(0x2F020);
        addPage(detailsPage_);
        paramsPage_->setChannel(channel);
        paramsPage_->setHelpContext(0x2F030);
        addPage(paramsPage_);
        pageIconBitmap_ = 276;
    }
    addPage(hooksPage_);
    hooksPage_->setChannel(channel);
    searchPage_->setChannel(channel);
    searchPage_->setHelpContext(0x2F040);
    addPage(searchPage_);
    addPage(errorsPage_);
    errorsPage_->setChannel(channel);
    setWindowTitle(tr("%1 Properties").arg(qs(channels::getChannelDisplayName(channel))));
}

CChannelPropSheet::~CChannelPropSheet() = default;

CChannelPropSheet* CChannelPropSheet::getActivePropSheet() { return g_activeSheet; }

int CChannelPropSheet::DoModal() {
    g_activeSheet = this;
    const int result = runModal(*this) == QDialog::Accepted ? IDOK : IDCANCEL;
    g_activeSheet = nullptr;
    if (result == IDOK) {
        if (const auto& fire = dialogWindowOps().fireChannelConfigChanged)
            fire(channel_);
        else
            seams::missing("DialogWindowOps::fireChannelConfigChanged");
    }
    return result;
}

int CChannelPropSheet::doModalOnHooksPage(channels::ChannelHook* hook) {
    setActivePage(hooksPage_);
    hooksPage_->setHookToOpen(hook);
    return DoModal();
}

int openChannelProperties(QWidget* parent, channels::Channel* channel, channels::ChannelHook* hook) {
    if (CChannelPropSheet* open = CChannelPropSheet::getActivePropSheet()) {
        showMessage(open, QObject::tr("Please close this channel properties dialog first."));
        return 0;
    }
    CChannelPropSheet sheet(parent, channel);
    return hook ? sheet.doModalOnHooksPage(hook) : sheet.DoModal();
}

}  // namespace dialogs
