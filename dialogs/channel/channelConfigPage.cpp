#include "dialogs/channel/channelConfigPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/seams.h"
#include "app/misc/timeInterval.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/files/fileBrowser.h"
#include "dialogs/hints/hintDlg.h"
#include "lib/misc/threadSafety.h"
#include "tools/httpAuth.h"
#include "widgets/helpers/entryFields.h"

namespace dialogs {

namespace {

CChannelConfigPropPage::CredentialsEditor& credentialsEditor() {
    static CChannelConfigPropPage::CredentialsEditor editor;
    return editor;
}

bool& intervalHintShown() {
    static bool shown = false;
    return shown;
}

QCheckBox* check(QWidget* parent, const QString& text, const char* name) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

// Whether the channel is in its manager's table: a channel of the new-channel
// wizard or the options sheet's scratch channel is not.
bool isManagedChannel(channels::Channel* channel) {
    channels::ChannelManager* manager = channel->getManager();
    if (!manager) return false;
    SharedLockGuard guard(&manager->getLock(), __FILE__, __LINE__);
    for (channels::Channel* each : manager->getChannels())
        if (each == channel) return true;
    return false;
}

}  // namespace

CChannelConfigPropPage::CChannelConfigPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Channel"));
    setObjectName(QStringLiteral("channelConfigPage"));

    imageButton_ = new ChannelImageButton(this);
    nameLabel_ = new QLabel(this);
    nameLabel_->setObjectName(QStringLiteral("channelNameLabel"));

    autoUpdateGroup_ = new QGroupBox(tr("Automatic updates"), this);
    autoUpdateGroup_->setObjectName(QStringLiteral("autoUpdateGroup"));
    autoUpdateCheck_ = check(autoUpdateGroup_, tr("&Automatically update this channel"), "autoUpdateCheck");
    intervalCombo_ = new QComboBox(autoUpdateGroup_);
    intervalCombo_->setObjectName(QStringLiteral("intervalCombo"));
    intervalCombo_->setEditable(true);
    intervalCombo_->setInsertPolicy(QComboBox::NoInsert);
    animateCheck_ = check(autoUpdateGroup_, tr("Animate the system tra&y icon"), "animateCheck");
    soundCheck_ = check(autoUpdateGroup_, tr("&Play a &sound"), "soundCheck");
    changeSoundButton_ = new QPushButton(tr("Change"), autoUpdateGroup_);
    changeSoundButton_->setObjectName(QStringLiteral("changeSoundButton"));
    resetSoundButton_ = new QPushButton(tr("Reset"), autoUpdateGroup_);
    resetSoundButton_->setObjectName(QStringLiteral("resetSoundButton"));
    balloonCheck_ = check(autoUpdateGroup_, tr("Show me a notification ba&lloon"), "balloonCheck");
    consolidateCheck_ = check(autoUpdateGroup_, tr("&Consolidate multiple new items"), "consolidateCheck");
    consolidateLabel_ = new QLabel(tr("into a single balloon"), autoUpdateGroup_);
    consolidateLabel_->setObjectName(QStringLiteral("consolidateLabel"));

    auto* group = new QGridLayout(autoUpdateGroup_);
    group->addWidget(autoUpdateCheck_, 0, 0, 1, 2);
    auto* every = new QHBoxLayout;
    every->addWidget(new QLabel(tr("Every:"), autoUpdateGroup_));
    every->addWidget(intervalCombo_, 1);
    group->addLayout(every, 1, 0, 1, 2);
    group->addWidget(new QLabel(tr("When a new item arrives..."), autoUpdateGroup_), 2, 0, 1, 2);
    group->addWidget(animateCheck_, 3, 0, 1, 2);
    auto* sound = new QHBoxLayout;
    sound->addWidget(soundCheck_, 1);
    sound->addWidget(changeSoundButton_);
    sound->addWidget(resetSoundButton_);
    group->addLayout(sound, 4, 0, 1, 2);
    group->addWidget(balloonCheck_, 5, 0, 1, 2);
    group->addWidget(consolidateCheck_, 6, 0, 1, 2);
    group->addWidget(consolidateLabel_, 7, 0, 1, 2);

    quickMenuCheck_ = check(this, tr("Place items in the system tray &menu"), "quickMenuCheck");
    subMenuCheck_ = check(this, tr("In a s&ub-menu"), "subMenuCheck");
    emptyFeedsCheck_ = check(this, tr("Allow empty channel feeds"), "emptyFeedsCheck");
    maxItemsEdit_ = new QLineEdit(this);
    maxItemsEdit_->setObjectName(QStringLiteral("maxItemsEdit"));
    // Digits only, and room for the largest value accepted (100).
    maxItemsEdit_->setMaxLength(3);
    maxItemsEdit_->setValidator(new QIntValidator(0, 999, maxItemsEdit_));
    authButton_ = new QPushButton(tr("Server authentication"), this);
    authButton_->setObjectName(QStringLiteral("serverAuthButton"));

    auto* header = new QHBoxLayout;
    header->addWidget(imageButton_);
    header->addWidget(nameLabel_, 1);
    auto* maxRow = new QHBoxLayout;
    auto* maxLabel = new QLabel(tr("Ma&x feed items:"), this);
    maxLabel->setBuddy(maxItemsEdit_);
    maxRow->addWidget(maxLabel);
    maxRow->addWidget(maxItemsEdit_);
    maxRow->addStretch(1);
    maxRow->addWidget(authButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(autoUpdateGroup_);
    layout->addWidget(quickMenuCheck_);
    layout->addWidget(subMenuCheck_);
    layout->addWidget(emptyFeedsCheck_);
    layout->addLayout(maxRow);
    layout->addStretch(1);

    for (QCheckBox* box : {autoUpdateCheck_, soundCheck_, balloonCheck_, quickMenuCheck_})
        connect(box, &QCheckBox::clicked, this, [this] { updateControls(); });
    connect(changeSoundButton_, &QPushButton::clicked, this, [this] { onChangeSound(); });
    connect(resetSoundButton_, &QPushButton::clicked, this, [this] { onResetSound(); });
    connect(imageButton_, &QPushButton::clicked, this, [this] { openChannelHomePage(channel_, this); });
    connect(authButton_, &QPushButton::clicked, this, [this] { onServerAuthentication(); });
    intervalCombo_->installEventFilter(this);
}

CChannelConfigPropPage::~CChannelConfigPropPage() = default;

const seams::Registration g_credentialsEditorSeam(
    "CChannelConfigPropPage::CredentialsEditor", [] { return static_cast<bool>(credentialsEditor()); },
    [] { CChannelConfigPropPage::setCredentialsEditor(nullptr); });

void CChannelConfigPropPage::setCredentialsEditor(CredentialsEditor editor) { credentialsEditor() = std::move(editor); }

void CChannelConfigPropPage::resetIntervalHintShown() { intervalHintShown() = false; }

void CChannelConfigPropPage::initDialog() {
    if (!channel_) return;
    imageButton_->setChannel(channel_);
    for (const char* text : {"hour", "2 hours", "3 hours", "6 hours", "12 hours", "day"})
        intervalCombo_->addItem(QString::fromLatin1(text));

    channels::ChannelConfig& config = channel_->getChannelConfig();
    {
        SharedLockGuard guard(&config.getLock(), __FILE__, __LINE__);
        const QString name = qs(channel_->getDisplayName());
        QFont font(QStringLiteral("Arial"));
        // Long names get a smaller face; the smallest is 8 points.
        font.setPointSize(std::max(8, 22 - static_cast<int>(name.size()) / 4));
        nameLabel_->setFont(font);
        nameLabel_->setText(name);
        credentials_.reset(tools::cloneHttpAuth(config.getHttpAuth()));
        const std::string home = config.getHomeUrl();
        if (!home.empty()) imageButton_->setCursor(Qt::PointingHandCursor);
        imageButton_->setToolTip(qs(home));
        nameLabel_->setToolTip(qs(config.getDescription()));
    }
    channels::ChannelSettings& settings = channel_->getChannelSettings();
    {
        SharedLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        autoUpdateCheck_->setChecked(settings.isAutoUpdateEnabled());
        intervalCombo_->setEditText(qs(formatTimeInterval(settings.getAutoUpdateInterval(), true)));
        emptyFeedsCheck_->setChecked(settings.getAllowEmptyFeeds());
        const int maxItems = settings.getMaxFeedItems();
        maxItemsEdit_->setText(maxItems > 0 ? QString::number(maxItems) : QString());
    }
    if (ChannelDesktopSettings* desktop = getChannelDesktopSettings(channel_)) {
        SharedLockGuard guard(&desktop->getLock(), __FILE__, __LINE__);
        consolidateCheck_->setChecked(desktop->getConsolidateMultipleItems());
        animateCheck_->setChecked(desktop->getAnimateOnNewItem());
        balloonCheck_->setChecked(desktop->getNotifyOnNewItem());
        soundCheck_->setChecked(desktop->getPlaySoundOnNewItem());
        soundFile_ = qs(desktop->getNewItemSoundFile());
        quickMenuCheck_->setChecked(desktop->getUseQuickAccessMenu());
        subMenuCheck_->setChecked(desktop->getUseQuickAccessSubMenus());
    }
    changeSoundButton_->setToolTip(soundFile_);
    updateControls();
}

void CChannelConfigPropPage::updateControls() {
    subMenuCheck_->setEnabled(quickMenuCheck_->isChecked());
    const bool on = autoUpdateCheck_->isChecked();
    for (QWidget* child : autoUpdateGroup_->findChildren<QWidget*>()) child->setEnabled(on);
    autoUpdateCheck_->setEnabled(true);
    if (on) {
        changeSoundButton_->setEnabled(soundCheck_->isChecked());
        resetSoundButton_->setEnabled(soundCheck_->isChecked());
        consolidateCheck_->setEnabled(balloonCheck_->isChecked());
        consolidateLabel_->setEnabled(balloonCheck_->isChecked());
    }
}

bool CChannelConfigPropPage::validateData() {
    if (autoUpdateCheck_->isChecked()) {
        int seconds = 0;
        if (!parseTimeInterval(ss(intervalCombo_->currentText()), seconds)) {
            showMessage(this, tr("Please choose how often you would like this channel to be updated."));
            intervalCombo_->setFocus();
            return false;
        }
        // The channel reads a shorter interval back as its minimum: refuse it
        // here rather than confirm one interval and keep another.
        const int minimum = channel_ ? channel_->getChannelSettings().getMinAutoUpdateInterval() : 0;
        if (seconds < minimum) {
            showMessage(this,
                        tr("This channel cannot be updated more often than every %1.\n\nPlease choose an interval "
                           "of at least %2.")
                            .arg(qs(formatTimeInterval(minimum, true)), qs(formatTimeInterval(minimum, false))));
            intervalCombo_->setFocus();
            return false;
        }
    }
    int maxItems = 0;
    return validateNumberField(maxItemsEdit_, "maximum number of feed items", maxItems, nullptr, false, 1, 100);
}

bool CChannelConfigPropPage::onKillActive() { return validateData() && CAppPropertyPage::onKillActive(); }

bool CChannelConfigPropPage::onSetActive() {
    // The wizard shows Back and Next on its own pages.
    return CAppPropertyPage::onSetActive();
}

bool CChannelConfigPropPage::onApply() {
    if (!validateData()) return false;
    ChannelDesktopSettings* desktop = getChannelDesktopSettings(channel_);
    GlobalOptions& options = GlobalOptions::instance();

    struct GlobalSwitchHint {
        bool channelFlag;
        QCheckBox* box;
        bool globallyOff;
        const char* hint;
        std::function<void()> switchOn;
    };
    const GlobalSwitchHint hints[] = {
        {desktop && desktop->getPlaySoundOnNewItem(), soundCheck_, options.DisableAllSound, "GlobalSoundIsDisabled",
         [&] { options.DisableAllSound = false; }},
        {desktop && desktop->getAnimateOnNewItem(), animateCheck_, options.DisableAllAnimation,
         "GlobalAnimationIsDisabled", [&] { options.DisableAllAnimation = false; }},
        {desktop && desktop->getNotifyOnNewItem(), balloonCheck_, options.NotificationBalloonMode != 1,
         "GlobalBalloonsAreDisabled", [&] { options.NotificationBalloonMode = 1; }},
    };
    for (const GlobalSwitchHint& each : hints) {
        if (each.channelFlag || !each.box->isChecked() || !each.globallyOff) continue;
        const int answer = CHintDlg(each.hint, this).DoModal();
        if (answer == IDCANCEL) return false;
        if (answer == IDYES) each.switchOn();
    }

    const bool autoUpdate = autoUpdateCheck_->isChecked();
    int interval = 0;
    if (autoUpdate && !parseTimeInterval(ss(intervalCombo_->currentText()), interval)) {
        intervalCombo_->setFocus();
        showMessage(this, tr("Invalid auto-update interval."));
        return false;
    }
    channels::ChannelSettings& settings = channel_->getChannelSettings();
    // Only a channel the manager holds can be queued; the new-channel wizard
    // queues its channel once it has added it.
    if (!settings.isAutoUpdateEnabled() && autoUpdate && !wizardSheet_ && isManagedChannel(channel_))
        channel_->requestUpdate();

    try {
        const std::string file = channel_->getConfigFilename();
        channels::ChannelConfig& config = channel_->getChannelConfig();
        {
            ExclusiveLockGuard guard(&config.getLock(), __FILE__, __LINE__);
            config.setHttpAuth(credentials_.release());
        }
        saveChannelConfig(*channel_);
        {
            ExclusiveLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
            settings.setAutoUpdateEnabled(autoUpdate);
            if (autoUpdate) settings.setAutoUpdateInterval(interval);
            settings.setAllowEmptyFeeds(emptyFeedsCheck_->isChecked());
            const QString maxText = maxItemsEdit_->text().trimmed();
            settings.setMaxFeedItems(maxText.isEmpty() ? -1 : maxText.toInt());
        }
        settings.save(file);
        if (desktop) {
            {
                ExclusiveLockGuard guard(&desktop->getLock(), __FILE__, __LINE__);
                desktop->setConsolidateMultipleItems(consolidateCheck_->isChecked());
                desktop->setAnimateOnNewItem(animateCheck_->isChecked());
                desktop->setNotifyOnNewItem(balloonCheck_->isChecked());
                desktop->setPlaySoundOnNewItem(soundCheck_->isChecked());
                desktop->setNewItemSoundFile(soundCheck_->isChecked() ? ss(soundFile_) : std::string());
                desktop->setUseQuickAccessMenu(quickMenuCheck_->isChecked());
                desktop->setUseQuickAccessSubMenus(subMenuCheck_->isChecked());
            }
            desktop->save(file);
        }
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
        return false;
    }
    return CAppPropertyPage::onApply();
}

void CChannelConfigPropPage::onChangeSound() {
    OpenFileBrowserDlg browser(this, tr("New item sound"),
                               {{tr("Wave files (*.wav)"), "*.wav"}, {tr("All files"), "*.*"}},
                               &rememberedMediaDirectory());
    browser.setDefaultExtension(QStringLiteral("wav"));
    std::string path = ss(soundFile_);
    if (!browser.browse(path)) return;
    soundFile_ = qs(path);
    changeSoundButton_->setToolTip(soundFile_);
}

void CChannelConfigPropPage::onResetSound() {
    if (showMessage(this, tr("Do you want to reset the new item sound back to the default?"), MessageButtons::OkCancel,
                    MessageIcon::Question, IDCANCEL) != IDOK)
        return;
    soundFile_.clear();
    changeSoundButton_->setToolTip(QString());
}

void CChannelConfigPropPage::onIntervalKillFocus() {
    if (intervalHintShown()) return;
    intervalHintShown() = true;
    CHintDlg("AutoUpdateInterval", this).DoModal();
}

void CChannelConfigPropPage::onServerAuthentication() {
    if (!credentialsEditor()) {
        seams::missing("CChannelConfigPropPage::CredentialsEditor");
        QApplication::beep();
        return;
    }
    credentialsEditor()(this, credentials_);
}

bool CChannelConfigPropPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == intervalCombo_ && event->type() == QEvent::FocusOut && isVisible())
        QMetaObject::invokeMethod(
            this, [this] { onIntervalKillFocus(); }, Qt::QueuedConnection);
    return CAppPropertyPage::eventFilter(watched, event);
}

}  // namespace dialogs
