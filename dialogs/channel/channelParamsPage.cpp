#include "dialogs/channel/channelParamsPage.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/seams.h"
#include "app/core/programPaths.h"
#include "channels/appPlugins/appPlugin.h"
#include "channels/channel.h"
#include "channels/plugin/pluginChannel.h"
#include "channels/rss/rssChannel.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/hints/hintDlg.h"
#include "lib/misc/threadSafety.h"
#include "widgets/helpers/openers.h"
#include "widgets/controls/linkButton.h"
#include "widgets/controls/paramsGrid.h"

namespace dialogs {

namespace {

CChannelParamsPropPage::AppPluginSheetOpener& appPluginSheetOpener() {
    static CChannelParamsPropPage::AppPluginSheetOpener opener;
    return opener;
}

channels::PluginChannelConfig* pluginConfig(channels::Channel* channel) {
    auto* plugin = dynamic_cast<channels::PluginChannel*>(channel);
    return plugin ? &plugin->getPluginChannelConfig() : nullptr;
}

QString scriptName(channels::Channel* channel) {
    channels::PluginChannelConfig* config = pluginConfig(channel);
    return config ? QFileInfo(qs(config->getScriptFilename())).fileName() : QString();
}

}  // namespace

CChannelParamsPropPage::CChannelParamsPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Plugin"));
    setObjectName(QStringLiteral("channelParamsPage"));
    grid_ = makeParamsGrid(this);
    detailsButton_ = new QPushButton(tr("&Details"), this);
    detailsButton_->setObjectName(QStringLiteral("detailsButton"));
    globalButton_ = new QPushButton(tr("&Global"), this);
    globalButton_->setObjectName(QStringLiteral("globalButton"));
    auto* label = new QLabel(tr("Channel plugin &parameters:"), this);
    label->setBuddy(grid_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(detailsButton_);
    buttons->addWidget(globalButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(grid_, 1);
    layout->addLayout(buttons);
    connect(detailsButton_, &QPushButton::clicked, this, [this] { onDetails(); });
    connect(globalButton_, &QPushButton::clicked, this, [this] { onGlobal(); });
}

const seams::Registration g_appPluginSheetOpenerSeam(
    "CChannelParamsPropPage::AppPluginSheetOpener", [] { return static_cast<bool>(appPluginSheetOpener()); },
    [] { CChannelParamsPropPage::setAppPluginSheetOpener(nullptr); });

void CChannelParamsPropPage::setAppPluginSheetOpener(AppPluginSheetOpener opener) {
    appPluginSheetOpener() = std::move(opener);
}

channels::AppPlugin* CChannelParamsPropPage::appPlugin() const {
    auto* rss = dynamic_cast<channels::RssChannel*>(channel_);
    return rss ? rss->getAppPlugin() : nullptr;
}

void CChannelParamsPropPage::initDialog() {
    if (channels::PluginChannelConfig* config = pluginConfig(channel_)) {
        {
            SharedLockGuard guard(&config->getLock(), __FILE__, __LINE__);
            defs_ = config->getChannelParamDefs();
            buildParamsGrid(grid_, defs_, config->getChannelParamValues());
        }
        channels::ParamDefs pluginDefs;
        config->getPluginParams(&pluginDefs, nullptr);
        if (pluginDefs.empty()) globalButton_->setEnabled(false);
    } else if (channels::AppPlugin* plugin = appPlugin()) {
        auto& config = static_cast<channels::RssChannel*>(channel_)->getRssChannelConfig();
        SharedLockGuard configGuard(&config.getLock(), __FILE__, __LINE__);
        SharedLockGuard pluginGuard(&plugin->getLock(), __FILE__, __LINE__);
        defs_ = plugin->getChannelParamDefs();
        buildParamsGrid(grid_, defs_, config.getChannelParameters());
    }
}

bool CChannelParamsPropPage::onKillActive() { return CAppPropertyPage::onKillActive(); }

bool CChannelParamsPropPage::storeValues() {
    if (channels::PluginChannelConfig* config = pluginConfig(channel_)) {
        ExclusiveLockGuard guard(&config->getLock(), __FILE__, __LINE__);
        readParamsGrid(grid_, config->getChannelParamValues());
        return true;
    }
    if (appPlugin()) {
        auto& config = static_cast<channels::RssChannel*>(channel_)->getRssChannelConfig();
        ExclusiveLockGuard guard(&config.getLock(), __FILE__, __LINE__);
        readParamsGrid(grid_, config.getChannelParameters());
        return true;
    }
    return false;
}

bool CChannelParamsPropPage::onApply() {
    if (!storeValues()) return false;
    try {
        channel_->save();
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
        return false;
    }
    return CAppPropertyPage::onApply();
}

void CChannelParamsPropPage::onDetails() {
    if (pluginConfig(channel_)) {
        CChannelPluginDetailsDlg dialog(channel_, this);
        runModal(dialog);
    } else if (channels::AppPlugin* plugin = appPlugin(); plugin && appPluginSheetOpener()) {
        appPluginSheetOpener()(this, plugin, 0);
    } else {
        if (appPlugin() != nullptr) seams::missing("CChannelParamsPropPage::AppPluginSheetOpener");
        QApplication::beep();
    }
}

void CChannelParamsPropPage::onGlobal() {
    if (pluginConfig(channel_)) {
        CChannelPluginParamsDlg dialog(channel_, this);
        runModal(dialog);
    } else if (channels::AppPlugin* plugin = appPlugin(); plugin && appPluginSheetOpener()) {
        appPluginSheetOpener()(this, plugin, 1);
    } else {
        if (appPlugin() != nullptr) seams::missing("CChannelParamsPropPage::AppPluginSheetOpener");
        QApplication::beep();
    }
}

CChannelPluginDetailsDlg::CChannelPluginDetailsDlg(channels::Channel* channel, QWidget* parent)
    : AppDialog(parent), channel_(channel), author_(this) {
    setObjectName(QStringLiteral("pluginDetailsDialog"));
    setWindowTitle(tr("Plugin details"));
    nameLabel_ = new QLabel(this);
    nameLabel_->setObjectName(QStringLiteral("nameLabel"));
    okButton_ = new QPushButton(tr("OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    auto* form = new QFormLayout;
    form->addRow(tr("Name:"), nameLabel_);
    author_.addRows(form);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(okButton_, 0, Qt::AlignRight);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void CChannelPluginDetailsDlg::initDialog() {
    positionDialog(this, parentWidget());
    channels::PluginChannelConfig* config = pluginConfig(channel_);
    if (!config) return;
    const QString name = scriptName(channel_);
    setWindowTitle(name + tr(" properties"));
    nameLabel_->setText(name);
    author_.show(config->getAuthorName(), config->getAuthorEmailAddress(),
                 ss(name) + " " + programPaths().appName + " plugin.", config->getPluginNotes());
    okButton_->setFocus();
}

CChannelPluginParamsDlg::CChannelPluginParamsDlg(channels::Channel* channel, QWidget* parent)
    : AppDialog(parent), channel_(channel) {
    setObjectName(QStringLiteral("pluginParamsDialog"));
    setWindowTitle(tr("Plugin parameters"));
    grid_ = makeParamsGrid(this);
    auto* label = new QLabel(tr("Global plugin parameters:"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(grid_, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CChannelPluginParamsDlg::initDialog() {
    positionDialog(this, parentWidget());
    setWindowTitle(scriptName(channel_) + tr(" plugin properties"));
    if (channels::PluginChannelConfig* config = pluginConfig(channel_)) {
        channels::ParamValues values;
        config->getPluginParams(&defs_, &values);
        buildParamsGrid(grid_, defs_, values);
    }
}

void CChannelPluginParamsDlg::onPostInitDialog() {
    CHintDlg("GlobalChannelPluginParams", this).DoModal();
    grid_->setFocus();
}

void CChannelPluginParamsDlg::accept() {
    if (channels::PluginChannelConfig* config = pluginConfig(channel_)) {
        channels::ParamValues values;
        readParamsGrid(grid_, values);
        try {
            config->setPluginParamValues(values);
        } catch (const std::exception& e) {
            showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
            return;
        }
    }
    AppDialog::accept();
}

}  // namespace dialogs
