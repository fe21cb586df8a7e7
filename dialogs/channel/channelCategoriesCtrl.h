#pragma once
// The editor of one list of channel category names: an editable list with
// New, Delete, Up and Down, and a menu button that offers the defined
// categories not yet in the list. The windows that show it derive from
// CChannelCategoriesCtrl as a second base and own the list and the button.
//
//   fillList(names); init(this);              // from initDialog
//   std::vector<std::string> names;
//   if (!getCategories(names, true)) return false;   // at apply
#include <string>
#include <vector>

#include <QWidget>

class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;

namespace dialogs {

class CChannelCategoriesCtrl;

class CChannelCategoriesCtrlEditListBox : public QWidget {
    Q_OBJECT

public:
    explicit CChannelCategoriesCtrlEditListBox(CChannelCategoriesCtrl* owner, QWidget* parent = nullptr);

    void setNotifyWindow(QWidget* window) { notifyWindow_ = window; }
    // Shows New, Delete, Up and Down.
    void setStandardButtons(bool shown);

    int count() const;
    QString itemText(int index) const;
    void setItemText(int index, const QString& text);
    int selectedItem() const;
    void selectItem(int index);
    // Inserts an entry (at the end for -1) without the checks of typed entries.
    int insertItem(const QString& text, int index = -1);
    void removeItem(int index);

    // What the user does, with the checks each one runs: a new entry typed in,
    // an entry edited in place, the selected entry deleted, moved up or down.
    void addTypedItem(const QString& text);
    void renameItem(int index, const QString& text);
    void deleteSelected();
    void moveSelected(int step);

    QListWidget* list() const { return list_; }

private:
    void onItemChanged(QListWidgetItem* item);
    void onAfterAddItem(int index);
    void onAfterRenameItem(int index, const QString& previous);
    // An entry's text, trimmed, that names no other entry (any case); else the
    // message is shown and false returned.
    bool acceptName(int index, QString& text);

    CChannelCategoriesCtrl* owner_;
    QWidget* notifyWindow_ = nullptr;
    QListWidget* list_;
    QPushButton* newButton_;
    QPushButton* deleteButton_;
    QPushButton* upButton_;
    QPushButton* downButton_;
    QListWidgetItem* typedItem_ = nullptr;  // the new entry being typed
    QString editedText_;                    // an entry's text before its in-place edit
    bool updating_ = false;
};

class CChannelCategoriesCtrl {
public:
    CChannelCategoriesCtrl(CChannelCategoriesCtrlEditListBox* list, QPushButton* menuButton);
    ~CChannelCategoriesCtrl();
    CChannelCategoriesCtrl(const CChannelCategoriesCtrl&) = delete;
    CChannelCategoriesCtrl& operator=(const CChannelCategoriesCtrl&) = delete;

    // Once, from the owner's initDialog, after fillList.
    void init(QWidget* ownerWindow);
    void fillList(const std::vector<std::string>& names);
    // The list's names in order; with askToDefine, names that are no defined
    // category are offered for definition ("UndefinedChannelCategories"): Yes
    // defines and saves them, No keeps them undefined, Cancel gives false.
    bool getCategories(std::vector<std::string>& names, bool askToDefine);
    void updateCategoriesMenu();
    void onCategoriesMenuResult(int commandId);

    QMenu* categoriesMenu() const { return menu_; }
    CChannelCategoriesCtrlEditListBox* listBox() const { return list_; }
    QPushButton* menuButton() const { return menuButton_; }
    QWidget* ownerWindow() const { return ownerWindow_; }

private:
    CChannelCategoriesCtrlEditListBox* list_;
    QPushButton* menuButton_;
    QMenu* menu_ = nullptr;
    QWidget* ownerWindow_ = nullptr;
};

}  // namespace dialogs
