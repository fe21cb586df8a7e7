#pragma once
// List, list-box, combo-box, radio-button and group-box chores of the
// windows and dialogs: item data lives in Qt::UserRole. User-interface
// thread only.
#include <QPoint>
#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QListWidget;
class QTreeWidget;
class QWidget;

// Enables or disables every widget of the dialog lying wholly inside the
// group box (the box itself left alone).
void enableGroupBoxControls(QWidget* dialog, QGroupBox* groupBox, bool enable);

void fitListColumnsToWidth(QTreeWidget* list, int column);
void selectListItem(QTreeWidget* list, int index, bool ensureVisible);
bool selectListItemsByData(QTreeWidget* list, const QVariant& data, bool multiple, bool ensureVisible);
int findListItemByData(QTreeWidget* list, const QVariant& data);
// One-click activation (a click activates the row) when oneClick is set.
void setListCtrlExtendedStyle(QTreeWidget* list, bool oneClick);
// x, y = -1, -1: invoked from the keyboard (beside the selected row, else
// 10,10 of the list); else the row under the point becomes the only
// selection and the point is returned unchanged.
void getListContextMenuPoint(QTreeWidget* list, int x, int y, QPoint& screenPoint);
int findItemByData(QListWidget* list, const QVariant& data);
bool selectListBoxItemByData(QListWidget* list, const QVariant& data, bool scrollToTop);
void addComboItem(QComboBox* combo, const QString& text, const QVariant& data);
void selectComboItemByData(QComboBox* combo, const QVariant& data);
using RadioTable = std::vector<std::pair<QAbstractButton*, int>>;
void checkRadioButtonForValue(const RadioTable& table, int value);
bool getCheckedRadioButtonValue(const RadioTable& table, int& value);
