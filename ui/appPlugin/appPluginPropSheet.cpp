#include "ui/appPlugin/appPluginPropSheet.h"

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/programPaths.h"
#include "channels/appPlugins/appPlugin.h"
#include "widgets/base/messageBox.h"
#include "dialogs/hints/hintDlg.h"
#include "lib/misc/threadSafety.h"
#include "widgets/controls/linkButton.h"
#include "widgets/controls/paramsGrid.h"

namespace dialogs {

namespace {
constexpr int kMargin = 15;
}

CAppPluginDetailsPropPage::CAppPluginDetailsPropPage(channels::AppPlugin* plugin, QWidget* parent)
    : CAppPropertyPage(parent),
      plugin_(plugin),
      idLabel_(new QLabel(this)),
      nameLabel_(new QLabel(this)),
      author_(this) {
    setWindowTitle(tr("Details"));
    setObjectName(QStringLiteral("appPluginDetailsPage"));
    idLabel_->setObjectName(QStringLiteral("idLabel"));
    nameLabel_->setObjectName(QStringLiteral("nameLabel"));
    auto* form = new QFormLayout;
    form->addRow(tr("Plugin ID:"), idLabel_);
    form->addRow(tr("Name:"), nameLabel_);
    author_.addRows(form);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addLayout(form, 1);
}

void CAppPluginDetailsPropPage::initDialog() {
    idLabel_->setText(qs(plugin_->getAppPluginId()));
    nameLabel_->setText(qs(plugin_->getDisplayName()));
    author_.show(plugin_->getAuthorName(), plugin_->getAuthorEmailAddress(),
                 programPaths().appName + ": " + plugin_->getDisplayName(), plugin_->getPluginNotes());
}

void CAppPluginDetailsPropPage::onPostInitDialog() {
    if (sheet() != nullptr) sheet()->okButton()->setFocus();
}

CAppPluginParamsPropPage::CAppPluginParamsPropPage(channels::AppPlugin* plugin, QWidget* parent)
    : CAppPropertyPage(parent), plugin_(plugin), grid_(makeParamsGrid(this)) {
    setWindowTitle(tr("Parameters"));
    setObjectName(QStringLiteral("appPluginParamsPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(new QLabel(tr("Global plugin parameters:"), this));
    layout->addWidget(grid_, 1);
}

void CAppPluginParamsPropPage::initDialog() {
    // The plug-in server's thread may use the plug-in meanwhile.
    SharedLockGuard guard(&plugin_->getLock(), __FILE__, __LINE__);
    buildParamsGrid(grid_, plugin_->getPluginParamDefs(), plugin_->getPluginParamValues());
}

void CAppPluginParamsPropPage::onPostInitDialog() { CHintDlg("GlobalAppPluginParams", this).DoModal(); }

bool CAppPluginParamsPropPage::onApply() {
    channels::ParamValues values;
    readParamsGrid(grid_, values);
    try {
        plugin_->setPluginParamValues(values);
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the parameter values.\n\n") + qs(e.what()));
        return false;
    }
    return CAppPropertyPage::onApply();
}

CAppPluginPropSheet::CAppPluginPropSheet(QWidget* parent, channels::AppPlugin* plugin, int firstPage)
    : CAppPropertySheet(tr("%1 Properties").arg(qs(plugin->getDisplayName())), parent, firstPage), plugin_(plugin) {
    setObjectName(QStringLiteral("appPluginPropSheet"));
    addPage(new CAppPluginDetailsPropPage(plugin, this));
    if (plugin->getPluginParamDefCount() > 0) addPage(new CAppPluginParamsPropPage(plugin, this));
}

int openAppPluginSheet(QWidget* parent, channels::AppPlugin* plugin, int firstPage) {
    if (plugin == nullptr) return IDCANCEL;
    CAppPluginPropSheet sheet(parent, plugin, firstPage < 0 ? 0 : firstPage);
    return runModal(sheet);
}

}  // namespace dialogs
