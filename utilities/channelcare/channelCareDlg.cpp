#include "utilities/channelcare/channelCareDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

using dialogs::CResizer;

// Control ids of the dialog.
enum : int {
    kExit = 2,
    kUser = 1000,
    kSetting = 1001,
    kValue = 1002,
    kChannels = 1003,
    kSet = 1004,
    kDescription = 1005,
    kValueLabel = 1006,
    kSettingLabel = 1007,
    kGroup = 1008,
};

// How the controls follow the window's edges (margins of 15 pixels).
const CResizer::Row kLayoutTable[] = {
    CResizer::row(kExit, CResizer::none(), CResizer::absolute(0), CResizer::keep(), CResizer::none(),
                  CResizer::absolute(0), CResizer::keep()),
    CResizer::row(kDescription, CResizer::keep(), CResizer::absolute(0), CResizer::none(), CResizer::none(),
                  CResizer::abut(kExit, CResizer::kMargin), CResizer::keep()),
    CResizer::row(kSet, CResizer::none(), CResizer::absolute(0), CResizer::keep(), CResizer::none(),
                  CResizer::abut(kDescription, 5), CResizer::keep()),
    CResizer::row(kValueLabel, CResizer::absolute(0), CResizer::none(), CResizer::keep(), CResizer::align(kSet, 0),
                  CResizer::align(kSet, 0), CResizer::none()),
    CResizer::row(kValue, CResizer::align(kDescription, 0), CResizer::abut(kSet, 5), CResizer::none(),
                  CResizer::align(kSet, 0), CResizer::align(kSet, 0), CResizer::none()),
    CResizer::row(kSetting, CResizer::align(kValue, 0), CResizer::align(kValue, 0), CResizer::none(), CResizer::none(),
                  CResizer::abut(kValue, 5), CResizer::keep()),
    CResizer::row(kSettingLabel, CResizer::absolute(0), CResizer::none(), CResizer::keep(),
                  CResizer::align(kSetting, 0), CResizer::align(kSetting, 0), CResizer::none()),
    CResizer::row(kGroup, CResizer::absolute(0), CResizer::absolute(0), CResizer::none(), CResizer::absolute(0),
                  CResizer::abut(kSetting, CResizer::kMargin), CResizer::none()),
    CResizer::row(kChannels, CResizer::keep(), CResizer::align(kGroup, CResizer::kMinusMargin), CResizer::none(),
                  CResizer::keep(), CResizer::align(kGroup, CResizer::kMinusMargin), CResizer::none()),
    CResizer::endRow(),
};

// Places a control as the dialog's template does and gives it its id.
template <class Control>
Control* place(Control* control, int id, int x, int y, int width, int height, const char* name) {
    control->setGeometry(x, y, width, height);
    if (id != 0) dialogs::setControlId(control, id);
    control->setObjectName(name);
    return control;
}

}  // namespace

CChannelCareDlg::CChannelCareDlg(const channelcare::Settings& settings, channelcare::ChannelInventory& inventory,
                                 QWidget* parent)
    : dialogs::AppDialog(parent), settings_(settings), inventory_(inventory) {
    setWindowTitle(channelcare::kProgramName);
    setObjectName("CChannelCareDlg");

    // The controls are siblings at their template places; the group box,
    // made first, is a frame behind the user and channel controls.
    place(new QGroupBox(this), kGroup, 15, 15, 390, 190, "channelsGroup");
    auto* userLabel = place(new QLabel(tr("&User:"), this), 0, 25, 35, 60, 24, "userLabel");
    userCombo_ = place(new QComboBox(this), kUser, 90, 35, 300, 24, "userCombo");
    auto* channelsLabel = place(new QLabel(tr("&Channels:"), this), 0, 25, 65, 60, 24, "channelsLabel");
    channelList_ = place(new QListWidget(this), kChannels, 90, 65, 300, 125, "channelList");
    auto* settingLabel = place(new QLabel(tr("&Setting:"), this), kSettingLabel, 15, 220, 70, 24, "settingLabel");
    settingCombo_ = place(new QComboBox(this), kSetting, 90, 220, 235, 24, "settingCombo");
    auto* valueLabel = place(new QLabel(tr("&Value:"), this), kValueLabel, 15, 249, 70, 24, "valueLabel");
    valueEdit_ = place(new QLineEdit(this), kValue, 90, 249, 235, 24, "valueEdit");
    setButton_ = place(new QPushButton(tr("Se&t"), this), kSet, 330, 249, 75, 24, "setButton");
    descriptionLabel_ =
        place(new QLabel(tr("*** SETTING DESCRIPTION ***"), this), kDescription, 90, 278, 315, 60, "descriptionLabel");
    exitButton_ = place(new QPushButton(tr("E&xit"), this), kExit, 330, 353, 75, 24, "exitButton");

    userLabel->setBuddy(userCombo_);
    channelsLabel->setBuddy(channelList_);
    settingLabel->setBuddy(settingCombo_);
    valueLabel->setBuddy(valueEdit_);
    channelList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    channelList_->setSortingEnabled(true);
    valueEdit_->setMaxLength(255);
    descriptionLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    descriptionLabel_->setWordWrap(true);
    descriptionLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Enter never presses a button by itself (see keyPressEvent).
    for (QPushButton* button : {setButton_, exitButton_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    new dialogs::ResizerLayout(this, kLayoutTable);
    makeResizable();

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
    // The template's size: the initial and smallest size of the window.
    resize(layout()->sizeHint());
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
