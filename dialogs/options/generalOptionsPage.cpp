#include "dialogs/options/generalOptionsPage.h"

#include <exception>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QVBoxLayout>

#include "app/core/autoStart.h"
#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "dialogs/files/fileBrowser.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/options/optionsCommon.h"
#include "dialogs/small/timeIntervalsDlg.h"
#include "widgets/helpers/entryFields.h"
#include "widgets/helpers/listControls.h"

namespace dialogs {

namespace {

template <typename T>
T* named(T* control, const char* name, int id) {
    control->setObjectName(QString::fromLatin1(name));
    setControlId(control, id);
    return control;
}

QCheckBox* checkBox(QWidget* parent, const QString& text, const char* name, int id) {
    return named(new QCheckBox(text, parent), name, id);
}

QComboBox* comboBox(QWidget* parent, const char* name, int id,
                    std::initializer_list<std::pair<const char*, int>> entries) {
    auto* combo = named(new QComboBox(parent), name, id);
    for (const auto& [text, value] : entries) addComboItem(combo, QString::fromLatin1(text), value);
    return combo;
}

int comboValue(const QComboBox* combo, int fallback) {
    return combo->currentIndex() >= 0 ? combo->currentData().toInt() : fallback;
}

}  // namespace

CGeneralOptionsPropPage::CGeneralOptionsPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("General"));
    trayApp_ = checkBox(this, tr("Run from the system tra&y"), "trayAppCheck", 239);
    oneClick_ = checkBox(this, tr("&One-click operation"), "oneClickCheck", 1079);
    autoStart_ = checkBox(this, tr("Start automatically"), "autoStartCheck", 1078);
    startMinimized_ = checkBox(this, tr("Start minimized"), "startMinimizedCheck", 1068);
    playSoundOnError_ = checkBox(this, tr("Play sound on &error"), "playSoundOnErrorCheck", 237);
    changeSound_ = named(new QPushButton(tr("Change"), this), "changeSoundButton", 238);
    changeSound_->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    resetSound_ = named(new QPushButton(tr("Reset"), this), "resetSoundButton", 1129);
    resetSound_->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    disableAnimation_ = checkBox(this, tr("Disable all &animation"), "disableAnimationCheck", 240);
    disableSound_ = checkBox(this, tr("Disable all soun&d"), "disableSoundCheck", 241);

    balloonMode_ = comboBox(this, "balloonModeCombo", 1149, {{"Enabled", 1}, {"Errors only", 2}, {"Disabled", 0}});
    displayTime_ = named(new QLineEdit(this), "displayTimeEdit", 236);
    displayTime_->setMaxLength(3);
    displayTime_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), displayTime_));
    showForLabel_ = named(new QLabel(tr("Show for:"), this), "showForLabel", 1115);
    secondsLabel_ = named(new QLabel(tr("seconds"), this), "secondsLabel", 1116);
    positionLabel_ = named(new QLabel(tr("Position:"), this), "positionLabel", 1117);
    balloonPosition_ = comboBox(this, "balloonPositionCombo", 1052,
                                {{"Top left", 0},
                                 {"Top right", 1},
                                 {"Bottom left", 2},
                                 {"Bottom right", 3},
                                 {"Top center", 4},
                                 {"Right center", 5},
                                 {"Bottom center", 6},
                                 {"Left center", 7}});
    blackoutButton_ = named(new QPushButton(tr("Blackout times"), this), "blackoutTimesButton", 242);
    blackoutButton_->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));

    briefSummaries_ = checkBox(this, tr("Show &brief channel summaries"), "briefSummariesCheck", 1077);
    unreadInMyChannels_ = checkBox(this, tr("Show unread items in My Channels"), "unreadInMyChannelsCheck", 1155);
    sdi_ = named(new QRadioButton(tr("Use a &single window (SDI)"), this), "sdiRadio", 1046);
    mdi_ = named(new QRadioButton(tr("Use &multiple windows (MDI)"), this), "mdiRadio", 1047);
    mdiTabsLabel_ = named(new QLabel(tr("MDI &tabs:"), this), "mdiTabsLabel", 1186);
    mdiTabs_ = comboBox(this, "mdiTabsCombo", 1048, {{"None", -1}, {"Top", 1}, {"Bottom", 0}});
    mdiTabsLabel_->setBuddy(mdiTabs_);
    maxItemViewHeight_ = comboBox(this, "maxItemViewHeightCombo", 1110,
                                  {{"One quarter", 1}, {"One third", 2}, {"Half", 3}, {"Unlimited", 0}});
    autoHideFeedItems_ = checkBox(this, tr("Auto-&hide feed items"), "autoHideFeedItemsCheck", 1049);
    navBar_ = comboBox(this, "navBarCombo", 1128, {{"Auto", 0}, {"On", 1}, {"Off", 2}});
    autoShowWorkPad_ = checkBox(this, tr("Auto-show Workpad"), "autoShowWorkPadCheck", 1120);
    autoHideWorkPad_ = checkBox(this, tr("Auto-hide Workpad"), "autoHideWorkPadCheck", 1121);

    // Layout: program, sounds, balloons, windows, Workpad.
    auto* program = new QGroupBox(tr("Program"), this);
    auto* programLayout = new QGridLayout(program);
    programLayout->addWidget(trayApp_, 0, 0);
    programLayout->addWidget(oneClick_, 0, 1);
    programLayout->addWidget(autoStart_, 1, 0);
    programLayout->addWidget(startMinimized_, 1, 1);
    programLayout->addWidget(disableAnimation_, 2, 0);
    programLayout->addWidget(disableSound_, 2, 1);
    auto* soundRow = new QHBoxLayout;
    soundRow->addWidget(playSoundOnError_);
    soundRow->addWidget(changeSound_);
    soundRow->addWidget(resetSound_);
    soundRow->addStretch(1);
    programLayout->addLayout(soundRow, 3, 0, 1, 2);

    auto* balloons = new QGroupBox(tr("Notifications"), this);
    auto* balloonLayout = new QGridLayout(balloons);
    auto* modeLabel = new QLabel(tr("&Notification balloons:"), balloons);
    modeLabel->setBuddy(balloonMode_);
    balloonLayout->addWidget(modeLabel, 0, 0);
    balloonLayout->addWidget(balloonMode_, 0, 1);
    balloonLayout->addWidget(showForLabel_, 0, 2);
    balloonLayout->addWidget(displayTime_, 0, 3);
    balloonLayout->addWidget(secondsLabel_, 0, 4);
    balloonLayout->addWidget(positionLabel_, 1, 0);
    balloonLayout->addWidget(balloonPosition_, 1, 1);
    balloonLayout->addWidget(blackoutButton_, 1, 3, 1, 2);

    auto* windows = new QGroupBox(tr("Windows"), this);
    auto* windowLayout = new QGridLayout(windows);
    windowLayout->addWidget(sdi_, 0, 0);
    windowLayout->addWidget(mdi_, 1, 0);
    windowLayout->addWidget(mdiTabsLabel_, 1, 1);
    windowLayout->addWidget(mdiTabs_, 1, 2);
    auto* heightLabel = new QLabel(tr("Ma&x. item pane height:"), windows);
    heightLabel->setBuddy(maxItemViewHeight_);
    windowLayout->addWidget(heightLabel, 2, 0);
    windowLayout->addWidget(maxItemViewHeight_, 2, 1, 1, 2);
    auto* navLabel = new QLabel(tr("Default na&vbar:"), windows);
    navLabel->setBuddy(navBar_);
    windowLayout->addWidget(navLabel, 3, 0);
    windowLayout->addWidget(navBar_, 3, 1, 1, 2);
    windowLayout->addWidget(autoHideFeedItems_, 4, 0);
    windowLayout->addWidget(briefSummaries_, 4, 1, 1, 2);
    windowLayout->addWidget(unreadInMyChannels_, 5, 0);

    auto* workPad = new QGroupBox(tr("Workpad"), this);
    auto* workPadLayout = new QHBoxLayout(workPad);
    workPadLayout->addWidget(autoShowWorkPad_);
    workPadLayout->addWidget(autoHideWorkPad_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(program);
    layout->addWidget(balloons);
    layout->addWidget(windows);
    layout->addWidget(workPad);
    layout->addStretch(1);

    connect(playSoundOnError_, &QCheckBox::clicked, this, &CGeneralOptionsPropPage::updateControls);
    connect(disableSound_, &QCheckBox::clicked, this, &CGeneralOptionsPropPage::updateControls);
    connect(balloonMode_, &QComboBox::currentIndexChanged, this, &CGeneralOptionsPropPage::updateControls);
    connect(changeSound_, &QPushButton::clicked, this, &CGeneralOptionsPropPage::onChangeSound);
    connect(resetSound_, &QPushButton::clicked, this, &CGeneralOptionsPropPage::onResetSound);
    connect(sdi_, &QRadioButton::clicked, this, &CGeneralOptionsPropPage::onWindowMode);
    connect(mdi_, &QRadioButton::clicked, this, &CGeneralOptionsPropPage::onWindowMode);
    connect(blackoutButton_, &QPushButton::clicked, this, &CGeneralOptionsPropPage::onBlackoutTimes);
}

void CGeneralOptionsPropPage::initDialog() {
    const GlobalOptions& options = GlobalOptions::instance();
    windowModeHintShown_ = false;
    autoStartWhenOpened_ = options.AutoStartApp;

    trayApp_->setChecked(options.RunAsSystemTrayApp);
    oneClick_->setChecked(options.OneClickMode);
    playSoundOnError_->setChecked(options.PlaySoundOnError);
    disableAnimation_->setChecked(options.DisableAllAnimation);
    disableSound_->setChecked(options.DisableAllSound);
    autoStart_->setChecked(options.AutoStartApp);
    startMinimized_->setChecked(options.StartMinimized);
    briefSummaries_->setChecked(options.ShowBriefChannelSummaries);
    unreadInMyChannels_->setChecked(options.ShowUnreadItemsInMyChannels);
    autoHideFeedItems_->setChecked(options.AutoHideFeedItems);
    autoShowWorkPad_->setChecked(options.AutoShowWorkPad);
    autoHideWorkPad_->setChecked(options.AutoHideWorkPad);
    displayTime_->setText(QString::number(options.NotificationBalloonDisplayTime));
    selectComboItemByData(balloonMode_, options.NotificationBalloonMode);
    selectComboItemByData(balloonPosition_, options.NotificationBalloonPosition);
    selectComboItemByData(mdiTabs_, options.MdiTabs);
    selectComboItemByData(maxItemViewHeight_, options.MaxItemViewHeight);
    selectComboItemByData(navBar_, options.NavBarMode);
    checkRadioButtonForValue({{sdi_, 0}, {mdi_, 1}}, options.UiHandlerType);
    soundFile_ = QString::fromStdString(options.DefaultErrorSoundFilename);
    blackoutTimes_ = options.BlackoutTimes;
    updateSoundTip();
    updateControls();
}

void CGeneralOptionsPropPage::updateSoundTip() { changeSound_->setToolTip(soundFile_); }

void CGeneralOptionsPropPage::updateControls() {
    const bool balloons = balloonMode_->currentIndex() >= 0 && balloonMode_->currentData().toInt() != 0;
    for (QWidget* control :
         std::initializer_list<QWidget*>{displayTime_, showForLabel_, secondsLabel_, balloonPosition_, positionLabel_})
        control->setEnabled(balloons);
    changeSound_->setEnabled(playSoundOnError_->isChecked());
    resetSound_->setEnabled(playSoundOnError_->isChecked());
    mdiTabs_->setEnabled(mdi_->isChecked());
    mdiTabsLabel_->setEnabled(mdi_->isChecked());
}

void CGeneralOptionsPropPage::onChangeSound() {
    OpenFileBrowserDlg browser(
        this, tr("New item sound"),
        {{tr("Wave files (*.wav)"), QStringLiteral("*.wav")}, {tr("All files"), QStringLiteral("*.*")}},
        &browseStartDirs().soundAndImage);
    browser.setDefaultExtension(QStringLiteral("wav"));
    std::string path = soundFile_.toStdString();
    if (!browser.browse(path)) return;
    soundFile_ = QString::fromStdString(path);
    updateSoundTip();
}

void CGeneralOptionsPropPage::onResetSound() {
    if (showMessage(this, tr("Do you want to reset the error sound back to the default?"), MessageButtons::OkCancel,
                    MessageIcon::Question, IDCANCEL) != IDOK)
        return;
    soundFile_.clear();
    updateSoundTip();
}

void CGeneralOptionsPropPage::onWindowMode() {
    updateControls();
    if (windowModeHintShown_) return;
    windowModeHintShown_ = true;
    CHintDlg("ChangeWindowMode", this).DoModal();
}

void CGeneralOptionsPropPage::onBlackoutTimes() {
    CTimeIntervalsDlg dialog(tr("Blackout times"),
                             applicationTitle() + tr(" will not update any channels in the times you set here."),
                             blackoutTimes_, this);
    if (dialog.DoModal() == IDOK) dialog.getIntervals(blackoutTimes_);
}

bool CGeneralOptionsPropPage::setAutoStart(bool enable) {
    bool openFailed = false;
    std::string error;
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    if (writeAutoStartEntry(applicationTitle().toStdString(), program, enable, openFailed, error)) return true;
    const QString action = enable ? tr("enable") : tr("disable");
    const QString what = openFailed ? tr("Couldn't open the registry to ") : tr("Couldn't update the registry to ");
    showMessage(this,
                what + action + tr(" auto-start. ") + QString::fromStdString(error) +
                    tr("\n\nPlease contact your system administrator."),
                MessageButtons::Ok, MessageIcon::Error);
    return false;
}

bool CGeneralOptionsPropPage::onApply() {
    const GlobalOptions::IntKey displayTimeKey = GlobalOptions::intKey(&GlobalOptions::NotificationBalloonDisplayTime);
    int displayTime = 0;
    if (!validateNumberField(displayTime_, "notification balloon display time", displayTime, nullptr, true,
                             displayTimeKey.entryMin, displayTimeKey.entryMax, "seconds"))
        return false;
    if (disableSound_->isChecked() && playSoundOnError_->isChecked()) {
        const int answer = CHintDlg("GlobalSoundIsDisabled2", this).DoModal();
        if (answer == IDCANCEL) return false;
        if (answer == IDYES) disableSound_->setChecked(false);
    }
    const bool autoStart = autoStart_->isChecked();
    if (autoStart != autoStartWhenOpened_ && !setAutoStart(autoStart)) return false;

    GlobalOptions& options = GlobalOptions::instance();
    try {
        options.OneClickMode = oneClick_->isChecked();
        options.RunAsSystemTrayApp = trayApp_->isChecked();
        options.NotificationBalloonMode = comboValue(balloonMode_, options.NotificationBalloonMode);
        options.NotificationBalloonDisplayTime = displayTime;
        options.NotificationBalloonPosition = comboValue(balloonPosition_, options.NotificationBalloonPosition);
        options.PlaySoundOnError = playSoundOnError_->isChecked();
        options.DefaultErrorSoundFilename = options.PlaySoundOnError ? soundFile_.toStdString() : std::string();
        options.AutoStartApp = autoStart;
        options.StartMinimized = startMinimized_->isChecked();
        options.DisableAllAnimation = disableAnimation_->isChecked();
        options.DisableAllSound = disableSound_->isChecked();
        options.BlackoutTimes = blackoutTimes_;
        int layout = options.UiHandlerType;
        getCheckedRadioButtonValue({{sdi_, 0}, {mdi_, 1}}, layout);
        options.UiHandlerType = layout;
        options.MdiTabs = comboValue(mdiTabs_, options.MdiTabs);
        options.AutoHideFeedItems = autoHideFeedItems_->isChecked();
        options.AutoShowWorkPad = autoShowWorkPad_->isChecked();
        options.AutoHideWorkPad = autoHideWorkPad_->isChecked();
        options.ShowBriefChannelSummaries = briefSummaries_->isChecked();
        options.ShowUnreadItemsInMyChannels = unreadInMyChannels_->isChecked();
        options.MaxItemViewHeight = comboValue(maxItemViewHeight_, options.MaxItemViewHeight);
        options.NavBarMode = comboValue(navBar_, options.NavBarMode);
        saveGlobalOptions();
    } catch (const std::exception& error) {
        showSaveError(this, error);
        return false;
    }
    autoStartWhenOpened_ = autoStart;
    return true;
}

}  // namespace dialogs
