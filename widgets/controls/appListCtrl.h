#pragma once
// The one-column list behind the Control Center lists and the read-me list.
// It turns clicks, double-clicks, keys and context-menu requests into four
// requests to its owner, following the OneClickMode option, so every list
// of the program activates entries the same way:
//   one-click mode: a click opens (onListItemOpened), a double-click adds
//   nothing; otherwise a click activates (onListItemActivated) and a
//   double-click opens the selected entry.
// A key press goes to onListKeyPressed with the selected row (-1 for none)
// and the modifier bits (Shift 1, Ctrl 2, Alt 4); a true result eats it.
// In one-click mode the row under the mouse is drawn underlined (HotRowDelegate).
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <string>

class CAppListCtrl;

// Draws a list's row under the mouse (the hot row) with its font
// underlined while the lists work in one-click mode, the look that says a
// click opens. Installs itself as the view's item delegate.
class HotRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit HotRowDelegate(QAbstractItemView* view);
    // The row under the mouse, -1 for none (also outside one-click mode).
    int hotRow() const;
    // The font the row is drawn with.
    QFont rowFont(const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setHot(const QModelIndex& index);
    QAbstractItemView* view_;
    QPointer<QWidget> viewport_;
    QPersistentModelIndex hot_;
};

class CAppListCtrlParent {
public:
    virtual ~CAppListCtrlParent() = default;
    virtual bool onListItemActivated(CAppListCtrl*, int) { return false; }
    virtual bool onListItemOpened(CAppListCtrl*, int) { return false; }
    virtual bool onListKeyPressed(CAppListCtrl*, int, int, int) { return false; }
    virtual bool onListContextMenu(CAppListCtrl*, const QPoint&) { return false; }
};

class CAppListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CAppListCtrl(CAppListCtrlParent* owner = nullptr, QWidget* parent = nullptr);

    // The row of an item, the item of a row (null when out of range).
    int rowOf(QTreeWidgetItem* item) const { return item != nullptr ? indexOfTopLevelItem(item) : -1; }
    QTreeWidgetItem* rowItem(int row) const {
        return row >= 0 && row < topLevelItemCount() ? topLevelItem(row) : nullptr;
    }
    int selectedRow() const;
    void selectRow(int row);
    int rowCount() const { return topLevelItemCount(); }
    QString rowText(int row) const;
    // The row under the mouse in one-click mode (-1 for none), and the font
    // a row is drawn with.
    int hotRow() const { return hotRows_->hotRow(); }
    QFont rowFont(int row) const;

    // Sets the one-click behaviour (hover underline) from the options.
    void applyListStyle();
    // Whether OneClickMode is on; tests set it directly.
    static bool oneClickMode();
    static void setOneClickModeForTest(int mode);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The request hooks; the defaults ask the owner.
    virtual bool listItemActivated(int row) { return owner_ != nullptr && owner_->onListItemActivated(this, row); }
    virtual bool listItemOpened(int row) { return owner_ != nullptr && owner_->onListItemOpened(this, row); }
    virtual bool listKeyPressed(int row, int key, int modifiers) {
        return owner_ != nullptr && owner_->onListKeyPressed(this, row, key, modifiers);
    }
    virtual bool listContextMenu(const QPoint& p) { return owner_ != nullptr && owner_->onListContextMenu(this, p); }

private:
    CAppListCtrlParent* owner_;
    HotRowDelegate* hotRows_;
};

// Removes leading and then trailing white space in place.
void trimString(std::string& text);
