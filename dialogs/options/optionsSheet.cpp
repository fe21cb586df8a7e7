#include "dialogs/options/optionsSheet.h"

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channelConfig.h"
#include "channels/channelSettings.h"
#include "channels/rss/rssChannel.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/hints/hintsPage.h"
#include "dialogs/options/advancedOptionsPage.h"
#include "dialogs/options/displayOptionsPage.h"
#include "dialogs/options/generalOptionsPage.h"
#include "dialogs/options/searchOptionsPage.h"
#include "lib/log/messageLogInit.h"
#include "app/core/seams.h"
#include "widgets/helpers/dialogWindowOps.h"

namespace dialogs {

namespace {

constexpr int kDefaultChannelHelpContext = 0x2F012;

SaveWindowPlacement& placement() {
    static SaveWindowPlacement saved;
    return saved;
}

// The channel page of the options sheet: once it has written the edited
// templates into config.ini, the global options hold them too, so that the
// pages applied after it save them rather than the previous ones.
class DefaultChannelConfigPage : public CChannelConfigPropPage {
public:
    DefaultChannelConfigPage(COptionsPropSheet* sheet) : CChannelConfigPropPage(sheet), owner_(sheet) {}

    bool onApply() override {
        if (!CChannelConfigPropPage::onApply()) return false;
        owner_->storeChannelDefaults();
        return true;
    }

private:
    COptionsPropSheet* owner_;
};

}  // namespace

COptionsPropSheet::COptionsPropSheet(QWidget* parent) : CAppPropertySheet(tr("Options"), parent, 0) {
    setObjectName(QStringLiteral("optionsSheet"));
    GlobalOptions& options = GlobalOptions::instance();
    general_ = new CGeneralOptionsPropPage(this);
    channel_ = new DefaultChannelConfigPage(this);
    advanced_ = new CAdvancedOptionsPropPage(this);
    search_ = new CSearchOptionsPropPage(this);
    display_ = new CDisplayPropPage(this);
    hints_ = new CHintsPropPage(this);

    scratch_ = std::make_unique<channels::RssChannel>(getChannelManager(), options.getConfigFile());
    desktopSettings_ = std::make_unique<ChannelDesktopSettings>(scratch_.get());
    if (const ChannelDesktopSettings* templ = getChannelDesktopSettingsTemplate()) desktopSettings_->copyFrom(*templ);
    scratch_->setDesktopSettings(desktopSettings_.get());
    scratch_->getChannelConfig().setPreferredDisplayName("Default Channel Properties");
    if (options.DefaultChannelSettings) scratch_->getChannelSettings().assign(*options.DefaultChannelSettings, false);

    channel_->setWindowTitle(tr("Default Channel Properties"));
    channel_->setChannel(scratch_.get());
    channel_->setHelpContext(kDefaultChannelHelpContext);
    addPage(general_);
    addPage(channel_);
    addPage(advanced_);
    addPage(search_);
    addPage(display_);
    addPage(hints_);
    rememberPlacement(&placement());
}

COptionsPropSheet::~COptionsPropSheet() {
    // The pages go with the sheet's widgets, after the scratch channel: the
    // channel page no longer points at it.
    channel_->setChannel(nullptr);
    if (scratch_) scratch_->setDesktopSettings(nullptr);
}

void COptionsPropSheet::initDialog() {
    CAppPropertySheet::initDialog();
    loadMessageGroupSettings(programPaths().userDebugIniFile);
}

void COptionsPropSheet::storeChannelDefaults() {
    GlobalOptions& options = GlobalOptions::instance();
    if (options.DefaultChannelSettings) options.DefaultChannelSettings->assign(scratch_->getChannelSettings(), false);
    if (const ChannelDesktopSettings* templ = getChannelDesktopSettingsTemplate())
        const_cast<ChannelDesktopSettings*>(templ)->copyFrom(*desktopSettings_);
}

void COptionsPropSheet::onOk() {
    okPressed_ = true;
    CAppPropertySheet::onOk();
}

int COptionsPropSheet::DoModal() {
    okPressed_ = false;
    const bool accepted = runModal(*this) == QDialog::Accepted;
    if (accepted) storeChannelDefaults();
    // What is stored is what runs, also when a refused OK was followed by
    // Cancel.
    if (accepted || okPressed_) {
        if (const auto& fire = dialogWindowOps().fireGlobalOptionsChanged)
            fire();
        else
            seams::missing("DialogWindowOps::fireGlobalOptionsChanged");
    }
    return accepted ? IDOK : IDCANCEL;
}

}  // namespace dialogs
