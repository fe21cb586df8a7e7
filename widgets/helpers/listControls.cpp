#include "widgets/helpers/listControls.h"

#include <algorithm>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QTreeWidget>

void enableGroupBoxControls(QWidget* dialog, QGroupBox* groupBox, bool enable) {
    if (dialog == nullptr || groupBox == nullptr) return;
    const QRect box(groupBox->mapTo(dialog, QPoint(0, 0)), groupBox->size());
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (child == groupBox || child->isWindow()) continue;
        const QRect r(child->mapTo(dialog, QPoint(0, 0)), child->size());
        if (r == box) continue;
        if (box.intersected(r) == r) child->setEnabled(enable);
    }
}

void fitListColumnsToWidth(QTreeWidget* list, int column) {
    if (list == nullptr || list->columnCount() == 0) return;
    int others = 0;
    for (int c = 0; c < list->columnCount(); ++c) {
        if (c != column) others += list->columnWidth(c);
    }
    list->setColumnWidth(column, std::max(0, list->viewport()->width() - others));
}

void selectListItem(QTreeWidget* list, int index, bool ensureVisible) {
    if (list == nullptr) return;
    list->clearSelection();
    QTreeWidgetItem* item = index >= 0 ? list->topLevelItem(index) : nullptr;
    if (item == nullptr) {
        list->setCurrentItem(nullptr);
        return;
    }
    list->setCurrentItem(item);
    item->setSelected(true);
    if (ensureVisible) list->scrollToItem(item, QAbstractItemView::EnsureVisible);
}

bool selectListItemsByData(QTreeWidget* list, const QVariant& data, bool multiple, bool ensureVisible) {
    bool matched = false;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const bool match = (!matched || multiple) && item->data(0, Qt::UserRole) == data;
        item->setSelected(match);
        if (match) {
            if (!matched) list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
            if (ensureVisible) list->scrollToItem(item);
            matched = true;
        }
    }
    return matched;
}

int findListItemByData(QTreeWidget* list, const QVariant& data) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->data(0, Qt::UserRole) == data) return i;
    }
    return -1;
}

void setListCtrlExtendedStyle(QTreeWidget* list, bool oneClick) {
    static const char* const kConnected = "orvanOneClick";
    QObject::disconnect(list->property(kConnected).value<QMetaObject::Connection>());
    list->setProperty(kConnected, QVariant());
    list->setMouseTracking(oneClick);
    if (!oneClick) return;
    const QMetaObject::Connection connection =
        QObject::connect(list, &QTreeWidget::itemClicked, list,
                         [list](QTreeWidgetItem* item, int column) { emit list->itemActivated(item, column); });
    list->setProperty(kConnected, QVariant::fromValue(connection));
}

void getListContextMenuPoint(QTreeWidget* list, int x, int y, QPoint& screenPoint) {
    if (x == -1 && y == -1) {
        QPoint client(10, 10);
        const QList<QTreeWidgetItem*> selected = list->selectedItems();
        if (!selected.isEmpty()) {
            const QRect r = list->visualItemRect(selected.first());
            client = QPoint(r.left() + 20, r.center().y());
        }
        screenPoint = list->viewport()->mapToGlobal(client);
        return;
    }
    const QPoint local = list->viewport()->mapFromGlobal(QPoint(x, y));
    QTreeWidgetItem* item = list->itemAt(local);
    selectListItem(list, item != nullptr ? list->indexOfTopLevelItem(item) : -1, false);
    screenPoint = QPoint(x, y);
}

int findItemByData(QListWidget* list, const QVariant& data) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole) == data) return i;
    }
    return -1;
}

bool selectListBoxItemByData(QListWidget* list, const QVariant& data, bool scrollToTop) {
    const int index = findItemByData(list, data);
    if (index < 0) return false;
    list->setCurrentRow(index);
    if (scrollToTop) list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
    return true;
}

void addComboItem(QComboBox* combo, const QString& text, const QVariant& data) { combo->addItem(text, data); }

void selectComboItemByData(QComboBox* combo, const QVariant& data) { combo->setCurrentIndex(combo->findData(data)); }

void checkRadioButtonForValue(const RadioTable& table, int value) {
    for (const auto& [button, v] : table) {
        if (v == value && button != nullptr) button->setChecked(true);
    }
}

bool getCheckedRadioButtonValue(const RadioTable& table, int& value) {
    for (const auto& [button, v] : table) {
        if (button != nullptr && button->isChecked()) {
            value = v;
            return true;
        }
    }
    return false;
}
