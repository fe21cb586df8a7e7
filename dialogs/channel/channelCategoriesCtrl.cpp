#include "dialogs/channel/channelCategoriesCtrl.h"

#include <set>

#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/commandIds.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/hints/hintDlg.h"

namespace dialogs {

CChannelCategoriesCtrlEditListBox::CChannelCategoriesCtrlEditListBox(CChannelCategoriesCtrl* owner, QWidget* parent)
    : QWidget(parent), owner_(owner) {
    setObjectName(QStringLiteral("categoriesList"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("categoriesListBox"));
    newButton_ = new QPushButton(tr("New"), this);
    newButton_->setObjectName(QStringLiteral("newCategoryButton"));
    deleteButton_ = new QPushButton(tr("Delete"), this);
    deleteButton_->setObjectName(QStringLiteral("deleteCategoryButton"));
    upButton_ = new QPushButton(tr("Up"), this);
    upButton_->setObjectName(QStringLiteral("upCategoryButton"));
    downButton_ = new QPushButton(tr("Down"), this);
    downButton_->setObjectName(QStringLiteral("downCategoryButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* button : {newButton_, deleteButton_, upButton_, downButton_}) buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
    layout->addWidget(list_, 1);
    setStandardButtons(false);

    connect(newButton_, &QPushButton::clicked, this, [this] {
        updating_ = true;
        typedItem_ = new QListWidgetItem(QString());
        typedItem_->setFlags(typedItem_->flags() | Qt::ItemIsEditable);
        const int row = selectedItem() < 0 ? count() : selectedItem() + 1;
        list_->insertItem(row, typedItem_);
        list_->setCurrentItem(typedItem_);
        updating_ = false;
        list_->editItem(typedItem_);
    });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { deleteSelected(); });
    connect(upButton_, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { onItemChanged(item); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        editedText_ = item->text();
        list_->editItem(item);
    });
}

void CChannelCategoriesCtrlEditListBox::setStandardButtons(bool shown) {
    for (QPushButton* button : {newButton_, deleteButton_, upButton_, downButton_}) button->setVisible(shown);
}

int CChannelCategoriesCtrlEditListBox::count() const { return list_->count(); }

QString CChannelCategoriesCtrlEditListBox::itemText(int index) const {
    const QListWidgetItem* item = list_->item(index);
    return item ? item->text() : QString();
}

void CChannelCategoriesCtrlEditListBox::setItemText(int index, const QString& text) {
    if (QListWidgetItem* item = list_->item(index)) {
        updating_ = true;
        item->setText(text);
        updating_ = false;
    }
}

int CChannelCategoriesCtrlEditListBox::selectedItem() const {
    QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? list_->row(item) : -1;
}

void CChannelCategoriesCtrlEditListBox::selectItem(int index) {
    if (QListWidgetItem* item = list_->item(index)) {
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
}

int CChannelCategoriesCtrlEditListBox::insertItem(const QString& text, int index) {
    updating_ = true;
    auto* item = new QListWidgetItem(text);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    const int row = index < 0 || index > count() ? count() : index;
    list_->insertItem(row, item);
    updating_ = false;
    return row;
}

void CChannelCategoriesCtrlEditListBox::removeItem(int index) { delete list_->takeItem(index); }

void CChannelCategoriesCtrlEditListBox::addTypedItem(const QString& text) {
    const int row = selectedItem() < 0 ? count() : selectedItem() + 1;
    insertItem(text, row);
    selectItem(row);
    onAfterAddItem(row);
}

void CChannelCategoriesCtrlEditListBox::renameItem(int index, const QString& text) {
    if (!list_->item(index)) return;
    const QString previous = itemText(index);
    setItemText(index, text);
    onAfterRenameItem(index, previous);
}

void CChannelCategoriesCtrlEditListBox::deleteSelected() {
    const int row = selectedItem();
    if (row < 0) return;
    removeItem(row);
    // The menu is rebuilt once the entry has gone.
    if (QWidget* window = notifyWindow_)
        QMetaObject::invokeMethod(
            window, [owner = owner_] { owner->updateCategoriesMenu(); }, Qt::QueuedConnection);
}

void CChannelCategoriesCtrlEditListBox::moveSelected(int step) {
    const int row = selectedItem();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= count()) return;
    updating_ = true;
    QListWidgetItem* item = list_->takeItem(row);
    list_->insertItem(target, item);
    updating_ = false;
    selectItem(target);
}

void CChannelCategoriesCtrlEditListBox::onItemChanged(QListWidgetItem* item) {
    if (updating_) return;
    const int row = list_->row(item);
    if (item == typedItem_) {
        typedItem_ = nullptr;
        onAfterAddItem(row);
    } else {
        onAfterRenameItem(row, editedText_);
    }
}

bool CChannelCategoriesCtrlEditListBox::acceptName(int index, QString& text) {
    text = itemText(index).trimmed();
    if (text.isEmpty()) {
        showMessage(notifyWindow_ ? notifyWindow_ : this, tr("Invalid channel category."));
        return false;
    }
    for (int i = 0; i < count(); ++i) {
        if (i == index || itemText(i).compare(text, Qt::CaseInsensitive) != 0) continue;
        selectItem(i);
        showMessage(notifyWindow_ ? notifyWindow_ : this, tr("This channel category is already defined."));
        return false;
    }
    return true;
}

void CChannelCategoriesCtrlEditListBox::onAfterAddItem(int index) {
    QString text;
    if (!acceptName(index, text)) {
        const QString selected = itemText(selectedItem());
        removeItem(index);
        // The duplicate it matched stays selected.
        for (int i = 0; i < count(); ++i)
            if (itemText(i) == selected) selectItem(i);
        return;
    }
    setItemText(index, text);
    owner_->updateCategoriesMenu();
}

void CChannelCategoriesCtrlEditListBox::onAfterRenameItem(int index, const QString& previous) {
    // Checked as a new entry is: an empty name would end the stored list at the
    // next load and lose every later category; a failed edit puts the old name back.
    QString text;
    if (!acceptName(index, text)) {
        setItemText(index, previous);
        selectItem(index);
        return;
    }
    setItemText(index, text);
    owner_->updateCategoriesMenu();
}

CChannelCategoriesCtrl::CChannelCategoriesCtrl(CChannelCategoriesCtrlEditListBox* list, QPushButton* menuButton)
    : list_(list), menuButton_(menuButton) {}

CChannelCategoriesCtrl::~CChannelCategoriesCtrl() { delete menu_; }

void CChannelCategoriesCtrl::init(QWidget* ownerWindow) {
    ownerWindow_ = ownerWindow;
    list_->setNotifyWindow(ownerWindow);
    list_->setStandardButtons(true);
    QObject::connect(menuButton_, &QPushButton::clicked, menuButton_, [this] {
        if (!menu_) return;
        if (QAction* chosen = menu_->exec(menuButton_->mapToGlobal(QPoint(0, menuButton_->height()))))
            onCategoriesMenuResult(chosen->data().toInt());
    });
    updateCategoriesMenu();
}

void CChannelCategoriesCtrl::fillList(const std::vector<std::string>& names) {
    for (const std::string& name : names) list_->insertItem(qs(name));
}

void CChannelCategoriesCtrl::updateCategoriesMenu() {
    delete menu_;
    std::set<QString> listed;
    for (int i = 0; i < list_->count(); ++i) listed.insert(list_->itemText(i));
    menu_ = new QMenu;
    menu_->setObjectName(QStringLiteral("categoriesMenu"));
    int command = kCmdFirstCategoryMenuItem;
    for (const std::string& name : GlobalOptions::instance().ChannelCategories) {
        if (command > kCmdLastCategoryMenuItem) break;
        if (listed.count(qs(name))) continue;
        QAction* action = menu_->addAction(qs(name));
        action->setData(command++);
    }
    menuButton_->setEnabled(!menu_->isEmpty());
}

void CChannelCategoriesCtrl::onCategoriesMenuResult(int commandId) {
    QAction* chosen = nullptr;
    if (menu_)
        for (QAction* action : menu_->actions())
            if (action->data().toInt() == commandId) chosen = action;
    if (!chosen) {
        QApplication::beep();
        return;
    }
    const int selected = list_->selectedItem();
    const int row = list_->insertItem(chosen->text(), selected < 0 ? 0 : selected + 1);
    list_->selectItem(row);
    updateCategoriesMenu();
}

bool CChannelCategoriesCtrl::getCategories(std::vector<std::string>& names, bool askToDefine) {
    GlobalOptions& options = GlobalOptions::instance();
    std::vector<std::string> undefined;
    for (int i = 0; i < list_->count(); ++i) {
        const std::string name = ss(list_->itemText(i));
        names.push_back(name);
        if (!options.isChannelCategory(name)) undefined.push_back(name);
    }
    if (!askToDefine || undefined.empty()) return true;
    switch (CHintDlg("UndefinedChannelCategories", ownerWindow_).DoModal()) {
        case IDYES:
            options.ChannelCategories.insert(options.ChannelCategories.end(), undefined.begin(), undefined.end());
            try {
                options.saveChannelCategories();
            } catch (const std::exception& e) {
                showMessage(ownerWindow_, QObject::tr("Couldn't save the new channel categories.\n\n") + qs(e.what()));
                return false;
            }
            return true;
        case IDNO:
            return true;
        default:
            return false;
    }
}

}  // namespace dialogs
