#pragma once
// The common base of the organize dialogs: one list of items (favourites,
// filters or reports) with their hotkeys. The user reorders, adds, edits and
// removes items and assigns or clears a hotkey per item; OK writes the list
// and its hotkeys back through the derived dialog.
//
// The derived dialog owns its items (HotkeyTableItem objects) and supplies
// them and their texts; it does the adding, editing, removing and saving.
// The base does the list handling and everything about hotkeys:
//
//   bool getItem(index, item, hotkey, isCurrent, atEnd);   // the rows at opening
//   void clearItems(); void addItem(item, hotkey, isCurrent); bool saveItems();
//                                                          // storing the rows (OK)
//   bool newItem(item); bool editItem(item); void removeItem(item, storeNow);
//   bool storeRemoval(item);                               // a removal stored at once
//
// Edits stay in the dialog until OK; Cancel drops them. A removal that the
// derived dialog asks to store at once (storeNow) is stored on its own: the
// stored list loses that item and nothing else of the dialog's edits.
//
// Hotkeys stay switched off while the dialog is open (counted, so a dialog
// opened from another one does not switch them on when it closes).
#include <memory>
#include <optional>

#include <QString>

#include "app/options/hotkey.h"
#include "widgets/base/appDialog.h"

class QAction;
class QLabel;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace dialogs {

class CKeyAssign;
class SaveWindowPlacement;

// The Help buttons of these dialogs: no compiled help ships, so the
// missing-help-file dialog.
void showOrganizeHelp(QWidget* parent);

// One item of an organize dialog's list; owned by the derived dialog.
class HotkeyTableItem {
public:
    virtual ~HotkeyTableItem() = default;
    // Its place in the stored list, or -1 while it is stored nowhere.
    int storedIndex = -1;
};

class CHotkeyTableDlg : public AppDialog {
    Q_OBJECT

public:
    struct Words {
        QString pluralNoun;    // "channel filters"
        QString singularNoun;  // "channel filter"
        bool hasApply = false;
        QString extraButtonText;  // empty: no extra button
        QString columnTitle;      // "Filter"
        QString caption;          // "Organize channel filters"
        int helpContext = 0;      // 0x2F003
    };

    CHotkeyTableDlg(const Words& words, SaveWindowPlacement* placement, HotkeyTable* hotkeys, QWidget* parent);
    ~CHotkeyTableDlg() override;

    // Rows.
    int rowCount() const;
    int selectedRow() const;
    void selectRow(int row);
    HotkeyTableItem* itemAt(int row) const;
    const Hotkey& hotkeyAt(int row) const;
    QString rowText(int row, int column = 0) const;
    HotkeyTableItem* selectedItem() const { return itemAt(selectedRow()); }

    // Stores every row through the derived dialog (clearItems, addItem per
    // row, saveItems); false when saving failed.
    bool applyChanges();

    // What the user does (the toolbar, the list's keys and the buttons).
    void runCommand(int command);
    void onNew();
    void onRemove();
    void onMove(int step);
    void onProperties();
    void onAssign();
    void onApply();
    void onExtra();
    void onOk();
    void done(int result) override;

    // The controls, for tests.
    QTreeWidget* list() const { return list_; }
    CKeyAssign* hotkeyBox() const { return hotkeyBox_; }
    QPushButton* assignButton() const { return assignButton_; }
    QPushButton* applyButton() const { return applyButton_; }
    QPushButton* extraButton() const { return extraButton_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QAction* commandAction(int command) const;
    HotkeyTable* hotkeyTable() const { return hotkeys_; }

protected:
    // The item at index and its hotkey; atEnd when index is past the list;
    // false skips the index.
    virtual bool getItem(int index, HotkeyTableItem*& item, Hotkey& hotkey, bool& isCurrent, bool& atEnd) = 0;
    virtual QString getItemText(HotkeyTableItem* item) = 0;
    // Empties the stored list and its hotkey table before the rows are stored.
    virtual void clearItems() = 0;
    virtual void addItem(HotkeyTableItem* item, const Hotkey& hotkey, bool isCurrent) = 0;
    // Saves the stored list; false (after telling the user) stops OK.
    virtual bool saveItems() = 0;
    // Lets the user edit the item; true when it changed.
    virtual bool editItem(HotkeyTableItem* item) = 0;
    // Lets the user make an item; true when one was made (or an existing one
    // of the dialog's was chosen again).
    virtual bool newItem(HotkeyTableItem*& item) = 0;
    // The user confirmed the item's removal; storeNow asks to store it at once.
    virtual void removeItem(HotkeyTableItem* item, bool& storeNow) = 0;
    // Removes the stored item at item->storedIndex from the stored list and
    // its hotkey table and saves them; false (after telling the user) when it
    // could not be saved, with the stored list as it was.
    virtual bool storeRemoval(HotkeyTableItem* item);
    virtual void applyItem(HotkeyTableItem*) {}
    virtual void onExtraButton(int) {}
    // Whether OK may close the dialog, with the selected item or null.
    virtual bool canClose(HotkeyTableItem*) { return true; }

    void initDialog() override;
    void onPostInitDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Appends a row (and selects it when asked).
    int appendRow(HotkeyTableItem* item, const Hotkey& hotkey);
    void updateControls();
    void postCommand(int command);
    const Words& words() const { return words_; }

private:
    QTreeWidgetItem* rowItem(int row) const;
    void setRowHotkey(int row, const Hotkey& hotkey);
    void releaseHotkeys();

    Words words_;
    HotkeyTable* hotkeys_;
    std::optional<HotkeySuspension> hotkeysOff_;

    QToolBar* toolBar_;
    QLabel* hotkeyLabel_;
    CKeyAssign* hotkeyBox_;
    QPushButton* assignButton_;
    QTreeWidget* list_;
    QPushButton* applyButton_;
    QPushButton* extraButton_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QPushButton* helpButton_;
};

}  // namespace dialogs
