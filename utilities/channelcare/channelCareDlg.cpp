#include "utilities/channelcare/channelCareDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/base/messageBox.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CChannelCareDlg::CChannelCareDlg(const channelcare::Settings& settings, channelcare::ChannelInventory& inventory,
                                 QWidget* parent)
    : QDialog(parent), settings_(settings), inventory_(inventory) {
    setWindowTitle(channelcare::kProgramName);
    setObjectName("CChannelCareDlg");

    auto* group = new QGroupBox(this);
    group->setObjectName("channelsGroup");
    userCombo_ = new QComboBox(group);
    userCombo_->setObjectName("userCombo");
    channelList_ = new QListWidget(group);
    channelList_->setObjectName("channelList");
    channelList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    channelList_->setSortingEnabled(true);
    auto* userLabel = new QLabel(tr("&User:"), group);
    userLabel->setBuddy(userCombo_);
    auto* channelsLabel = new QLabel(tr("&Channels:"), group);
    channelsLabel->setBuddy(channelList_);
    auto* groupLayout = new QGridLayout(group);
    groupLayout->addWidget(userLabel, 0, 0);
    groupLayout->addWidget(userCombo_, 0, 1);
    groupLayout->addWidget(channelsLabel, 1, 0, Qt::AlignTop);
    groupLayout->addWidget(channelList_, 1, 1);
    groupLayout->setRowStretch(1, 1);

    settingCombo_ = new QComboBox(this);
    settingCombo_->setObjectName("settingCombo");
    valueEdit_ = new QLineEdit(this);
    valueEdit_->setObjectName("valueEdit");
    valueEdit_->setMaxLength(255);
    setButton_ = new QPushButton(tr("Se&t"), this);
    setButton_->setObjectName("setButton");
    descriptionLabel_ = new QLabel(tr("*** SETTING DESCRIPTION ***"), this);
    descriptionLabel_->setObjectName("descriptionLabel");
    descriptionLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    descriptionLabel_->setWordWrap(true);
    descriptionLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    descriptionLabel_->setMinimumHeight(fontMetrics().height() * 4);
    exitButton_ = new QPushButton(tr("E&xit"), this);
    exitButton_->setObjectName("exitButton");
    // Enter never presses a button by itself (see keyPressEvent).
    for (QPushButton* button : {setButton_, exitButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    auto* settingLabel = new QLabel(tr("&Setting:"), this);
    settingLabel->setBuddy(settingCombo_);
    auto* valueLabel = new QLabel(tr("&Value:"), this);
    valueLabel->setBuddy(valueEdit_);

    // Margins of 15 pixels; the list and the description take what the
    // window grows by.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addWidget(group, 0, 0, 1, 3);
    layout->addWidget(settingLabel, 1, 0);
    layout->addWidget(settingCombo_, 1, 1);
    layout->addWidget(valueLabel, 2, 0);
    layout->addWidget(valueEdit_, 2, 1);
    layout->addWidget(setButton_, 2, 2);
    layout->addWidget(descriptionLabel_, 3, 0, 1, 3);
    auto* exitRow = new QHBoxLayout;
    exitRow->addStretch(1);
    exitRow->addWidget(exitButton_);
    layout->addLayout(exitRow, 4, 0, 1, 3);
    layout->setRowStretch(0, 1);
    layout->setColumnStretch(1, 1);

    connect(userCombo_, &QComboBox::currentIndexChanged, this, [this] { OnSelchangeUser(); });
    connect(settingCombo_, &QComboBox::currentIndexChanged, this, [this] { OnSelchangeSetting(); });
    connect(channelList_, &QListWidget::itemSelectionChanged, this, [this] { updateSetButton(); });
    connect(setButton_, &QPushButton::clicked, this, [this] { applySetting(); });
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::reject);

    // Users and settings are each put at the top of their list, so the lists
    // show the users in descending name order and the settings in reverse
    // file order; the first row of each is chosen.
    {
        const QSignalBlocker blocker(userCombo_);
        for (const auto& user : inventory_) userCombo_->insertItem(0, qs(user.first));
        userCombo_->setCurrentIndex(userCombo_->count() > 0 ? 0 : -1);
    }
    OnSelchangeUser();
    {
        const QSignalBlocker blocker(settingCombo_);
        for (std::size_t i = 0; i < settings_.entries.size(); ++i)
            settingCombo_->insertItem(0, qs(settings_.entries[i].name), static_cast<int>(i));
        settingCombo_->setCurrentIndex(settingCombo_->count() > 0 ? 0 : -1);
    }
    OnSelchangeSetting();

    if (inventory_.size() == 1)
        settingCombo_->setFocus();
    else
        userCombo_->setFocus();
    updateSetButton();

    // The first size is the smallest.
    adjustSize();
    setMinimumSize(size());
}

void CChannelCareDlg::OnSelchangeUser() {
    std::vector<std::string>& files = inventory_[userCombo_->currentText().toStdString()];
    channelList_->clear();
    for (const std::string& file : files) {
        auto* item = new QListWidgetItem(qs(channelcare::getChannelDisplayName(file)));
        item->setData(Qt::UserRole, qs(file));
        channelList_->addItem(item);
    }
    if (settings_.defaultSelectAllChannels) channelList_->selectAll();
    updateSetButton();
}

void CChannelCareDlg::OnSelchangeSetting() {
    if (settingCombo_->currentIndex() < 0) {
        descriptionLabel_->clear();
        return;
    }
    const auto& entry = settings_.entries[static_cast<std::size_t>(settingCombo_->currentData().toInt())];
    descriptionLabel_->setText(qs(channelcare::descriptionText(entry.description)));
    valueEdit_->clear();
}

void CChannelCareDlg::updateSetButton() { setButton_->setEnabled(!channelList_->selectedItems().isEmpty()); }

void CChannelCareDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == valueEdit_ && setButton_->isEnabled())
            QMetaObject::invokeMethod(setButton_, &QPushButton::click, Qt::QueuedConnection);
        return;  // Enter never closes the dialog
    }
    QDialog::keyPressEvent(event);
}

void CChannelCareDlg::applySetting() {
    using dialogs::MessageButtons;
    using dialogs::MessageIcon;
    if (settings_.confirmChanges &&
        dialogs::showMessage(this, tr("This change cannot be undone!\n\nDo you want to continue?"),
                             MessageButtons::OkCancel, MessageIcon::Warning, dialogs::IDCANCEL) != dialogs::IDOK)
        return;
    if (settingCombo_->currentIndex() < 0) {
        QApplication::beep();
        return;
    }
    const auto& entry = settings_.entries[static_cast<std::size_t>(settingCombo_->currentData().toInt())];
    const std::string value = valueEdit_->text().toStdString();

    // The selected rows in row order.
    std::vector<std::string> files;
    for (int row = 0; row < channelList_->count(); ++row) {
        QListWidgetItem* item = channelList_->item(row);
        if (item->isSelected()) files.push_back(item->data(Qt::UserRole).toString().toStdString());
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const channelcare::ApplyResult result = channelcare::applySetting(entry, value, files);
    QApplication::restoreOverrideCursor();

    const int selected = static_cast<int>(files.size());
    if (!result.failures.empty())
        dialogs::showMessage(this, qs(channelcare::failedMessage(result, selected)), MessageButtons::Ok,
                             MessageIcon::Error);
    else if (settings_.notifyChanges)
        dialogs::showMessage(this, qs(channelcare::appliedMessage(selected)), MessageButtons::Ok,
                             MessageIcon::Information);
}
