#pragma once
// Helpers shared by the windows, views and dialogs: program and user file
// paths, the tray area and minimising to it, dialog placement, context
// menus, toolbars, the clipboard, list/combo/radio-button chores, entry-field
// validation with the standard messages, sound, and switching the local port
// listeners. User-interface thread only. (The plain parts live in
// app/misc: time-interval text, field checks, viewed-URL import.)
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QVariant>

#include <string>
#include <utility>
#include <vector>

class QAbstractButton;
class QAction;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QPainter;
class QToolBar;
class QTreeWidget;
class QWidget;

// --- program facts (the file paths: app/misc/programFiles.h)
// Sets the application name and version string from the build's own values
// (kept as they are when the build has none).
void getVersionInfo();

// --- windows and menus
// The notification area: the tray icon's geometry when the tray knows it,
// else the bottom-right corner (150 x 30) of the primary screen's work area.
void getTrayWindowRect(QRect& rect);
// Where the tray icon is, for getTrayWindowRect (the tray icon installs it).
void setTrayIconGeometryProvider(QRect (*provider)());
bool isMinimizeAnimationEnabled();
// Hides the window (after a short fade when animations are on).
void minimizeToTray(QWidget* window);
// Shows, raises and activates the window.
void restoreFromTray(QWidget* window);
bool isWindowMinimized(const QWidget* window);
// Enables or disables every widget of the dialog lying wholly inside the
// group box (the box itself left alone).
void enableGroupBoxControls(QWidget* dialog, QGroupBox* groupBox, bool enable);
// Shows the menu at the screen point with menuId as the active context-menu
// id meanwhile; the chosen action is triggered and returned (or null).
QAction* showContextMenu(QWidget* owner, int x, int y, QMenu* menu, int menuId);
// The id of the context menu up now; false when none is.
bool getActiveContextMenuId(int* id);
// A toolbar of the main window with the actions, named name, its object name
// taken from the program's toolbar id counter (from 59632).
QToolBar* createToolbar(QMainWindow* parent, const QString& name, const std::vector<QAction*>& actions);
// One-pixel outline just inside the rectangle.
void drawRectOutline(QPainter& painter, const QRect& rect);

// --- clipboard (UTF-8 texts)
void copyToClipboard(QWidget* owner, const std::string& text);
// False, text untouched, when the clipboard holds no text.
bool getClipboardText(std::string& text, QWidget* owner = nullptr);

// --- lists, list boxes, combo boxes, radio buttons (item data in Qt::UserRole)
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

// --- entry fields: on failure the message is shown, the field gets the
// focus and the result is false
bool validateNumberField(QLineEdit* field, const std::string& fieldName, int& value, bool* present, bool required,
                         int minimum, int maximum, const std::string& extraText = std::string());
bool validateFileField(QLineEdit* field, const std::string& fieldName, std::string& text, bool* present,
                       bool required, bool mustExist);
void fillFontSizeCombo(QComboBox* combo, int size);
bool validateFontSizeField(QComboBox* combo, int& size);

// --- sound (nothing at all while the option DisableAllSound is on)
// Plays the file, or beeps when it names no existing file.
void playSoundFile(const std::string& file);
// Plays one of the program's own sounds (Resources/<name>).
void playSoundResource(const std::string& name);

