#include "dialogs/channel/channelDetailsPage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/files/fileBrowser.h"
#include "lib/misc/threadSafety.h"
#include "widgets/helpers/entryFields.h"
#include "widgets/helpers/openers.h"
#include "widgets/controls/linkButton.h"

namespace dialogs {

namespace {

QLineEdit* edit(QWidget* parent, const char* name, int maxLength) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaxLength(maxLength);
    return field;
}

}  // namespace

CChannelDetailsPropPage::CChannelDetailsPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Details"));
    setObjectName(QStringLiteral("channelDetailsPage"));
    imageButton_ = new ChannelImageButton(this);
    addressEdit_ = edit(this, "addressEdit", 32767);
    addressEdit_->setReadOnly(true);
    nameEdit_ = edit(this, "nameEdit", 255);
    homeEdit_ = edit(this, "homePageEdit", 1024);
    imageEdit_ = edit(this, "imageEdit", 1024);
    setControlId(imageEdit_, 227);
    browseButton_ = new QPushButton(tr("..."), this);
    browseButton_->setObjectName(QStringLiteral("browseImageButton"));
    widthEdit_ = edit(this, "widthEdit", 3);
    widthEdit_->setValidator(new QIntValidator(0, 999, widthEdit_));
    heightEdit_ = edit(this, "heightEdit", 3);
    heightEdit_->setValidator(new QIntValidator(0, 999, heightEdit_));
    descriptionEdit_ = new QPlainTextEdit(this);
    descriptionEdit_->setObjectName(QStringLiteral("descriptionEdit"));
    editorLink_ = new LinkButton(this);
    editorLink_->setObjectName(QStringLiteral("editorLink"));
    editorLink_->setText(QStringLiteral("*** EDITOR EMAIL ***"));
    webmasterLink_ = new LinkButton(this);
    webmasterLink_->setObjectName(QStringLiteral("webmasterLink"));
    webmasterLink_->setText(QStringLiteral("*** WEBMASTER EMAIL ***"));
    scheduleButton_ = new QPushButton(tr("Schedule"), this);
    scheduleButton_->setObjectName(QStringLiteral("scheduleButton"));
    viewFeedButton_ = new QPushButton(tr("&View feed"), this);
    viewFeedButton_->setObjectName(QStringLiteral("viewFeedButton"));

    auto* form = new QFormLayout;
    form->addRow(tr("Address:"), addressEdit_);
    form->addRow(tr("Na&me:"), nameEdit_);
    form->addRow(tr("&Home page:"), homeEdit_);
    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(imageEdit_, 1);
    imageRow->addWidget(browseButton_);
    // A label beside a row of controls names its first one as its buddy, so
    // that its mnemonic works and its "&" is not shown.
    auto buddyLabel = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    form->addRow(buddyLabel(tr("&Image:"), imageEdit_), imageRow);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(widthEdit_);
    sizeRow->addWidget(buddyLabel(tr("Heigh&t:"), heightEdit_));
    sizeRow->addWidget(heightEdit_);
    sizeRow->addStretch(1);
    form->addRow(buddyLabel(tr("&Width:"), widthEdit_), sizeRow);
    form->addRow(tr("&Description:"), descriptionEdit_);
    auto* links = new QHBoxLayout;
    links->addWidget(editorLink_);
    links->addWidget(webmasterLink_);
    links->addStretch(1);
    links->addWidget(scheduleButton_);
    links->addWidget(viewFeedButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imageButton_);
    layout->addLayout(form, 1);
    layout->addLayout(links);

    connect(imageButton_, &QPushButton::clicked, this, [this] { openChannelHomePage(channel_, this); });
    connect(browseButton_, &QPushButton::clicked, this, [this] { onBrowseImage(); });
    connect(scheduleButton_, &QPushButton::clicked, this, [this] { onShowSchedule(); });
    connect(viewFeedButton_, &QPushButton::clicked, this, [this] { onViewFeed(); });
}

void CChannelDetailsPropPage::initDialog() {
    if (!channel_) return;
    imageButton_->setChannel(channel_);
    channels::ChannelConfig& config = channel_->getChannelConfig();
    SharedLockGuard guard(&config.getLock(), __FILE__, __LINE__);
    addressEdit_->setText(qs(channel_->getSourceUrl()));
    nameEdit_->setText(qs(config.getDisplayName()));
    const std::string home = config.getHomeUrl();
    homeEdit_->setText(qs(home));
    imageEdit_->setText(qs(config.getImageUrl()));
    descriptionEdit_->setPlainText(qs(config.getDescription()));
    const int width = config.getImageWidth();
    const int height = config.getImageHeight();
    widthEdit_->setText(width > 0 ? QString::number(width) : QString());
    heightEdit_->setText(height > 0 ? QString::number(height) : QString());
    setupEmailLinkButton(editorLink_, config.getChannelHeader().EditorEmailAddress, "");
    setupEmailLinkButton(webmasterLink_, config.getChannelHeader().WebMasterEmailAddress, "");
    if (!home.empty()) imageButton_->setCursor(Qt::PointingHandCursor);
    imageButton_->setToolTip(qs(home));
}

void CChannelDetailsPropPage::onPostInitDialog() { nameEdit_->setFocus(); }

bool CChannelDetailsPropPage::validateData() {
    int value = 0;
    return validateNumberField(widthEdit_, "channel image width", value, nullptr, false, 1, 144, "pixels") &&
           validateNumberField(heightEdit_, "channel image height", value, nullptr, false, 1, 400, "pixels");
}

bool CChannelDetailsPropPage::onKillActive() { return validateData() && CAppPropertyPage::onKillActive(); }

bool CChannelDetailsPropPage::onApply() {
    if (!validateData()) return false;
    channels::ChannelConfig& config = channel_->getChannelConfig();
    {
        ExclusiveLockGuard guard(&config.getLock(), __FILE__, __LINE__);
        QString home = homeEdit_->text().trimmed();
        // An empty home page stays no override rather than a bare "http://".
        if (!home.isEmpty() && !home.contains(QStringLiteral("://"))) home.prepend(QStringLiteral("http://"));
        config.setPreferredDisplayName(ss(nameEdit_->text().trimmed()));
        config.setPreferredHomeUrl(ss(home));
        config.setPreferredImageUrl(ss(imageEdit_->text().trimmed()));
        config.setPreferredDescription(ss(descriptionEdit_->toPlainText().trimmed()));
        const QString width = widthEdit_->text().trimmed();
        const QString height = heightEdit_->text().trimmed();
        config.setPreferredImageWidth(width.isEmpty() ? -1 : width.toInt());
        config.setPreferredImageHeight(height.isEmpty() ? -1 : height.toInt());
    }
    try {
        channel_->save();
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + qs(e.what()));
    }
    return CAppPropertyPage::onApply();
}

QString CChannelDetailsPropPage::scheduleText() const {
    std::string days, hours;
    {
        const channels::ChannelConfig& config = channel_->getChannelConfig();
        SharedLockGuard guard(&config.getLock(), __FILE__, __LINE__);
        days = config.getChannelHeader().getSkipDaysString(true);
        hours = config.getChannelHeader().getSkipHoursString(true);
    }
    if (days.empty() && hours.empty())
        return tr("The channel publisher has specified that this channel may be automatically updated at any time.");
    return tr("The channel publisher has requested that automatic updates be temporarily suspended at the following "
              "times:") +
           QStringLiteral("\n\n\tDays:\t") + (days.empty() ? tr("(none)") : qs(days)) + QStringLiteral("\n\tHours:\t") +
           (hours.empty() ? tr("(none)") : qs(hours)) + QStringLiteral("\n\n") + tr("All times are GMT.");
}

void CChannelDetailsPropPage::onShowSchedule() { showMessage(this, scheduleText()); }

void CChannelDetailsPropPage::onBrowseImage() {
    OpenFileBrowserDlg browser(this, tr("Preferred channel image"),
                               {{tr("All picture files"), "*.jpg;*.jpeg;*.jpe;*.jfif;*.png;*.gif"},
                                {tr("JPEG (*.jpg;*.jpeg;*.jpe;*.jfif)"), "*.jpg;*.jpeg;*.jpe;*.jfif"},
                                {tr("PNG (*.png)"), "*.png"},
                                {tr("GIF (*.gif)"), "*.gif"},
                                {tr("All files (*.*)"), "*.*"}},
                               &rememberedMediaDirectory());
    browser.browseForControl(227);
}

void CChannelDetailsPropPage::onViewFeed() {
    const std::string page = generateChannelSummaryPage(channel_);
    if (!page.empty()) openItem(ss(QUrl::fromLocalFile(qs(page)).toString()));
}

}  // namespace dialogs
