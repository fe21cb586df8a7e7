#include "ui/helpers/misc.h"
#include "app/core/seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSoundEffect>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

#include <atomic>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "dialogs/base/messageBox.h"
#include "ui/helpers/desktopServices.h"
#include "app/misc/fieldValues.h"
#include "app/misc/programFiles.h"

namespace {

int g_activeContextMenuId = -1;
unsigned g_nextToolbarId = 59632;  // 0xE8F0
QRect (*g_trayGeometry)() = nullptr;

void refuse(QWidget* field, const std::string& message) {
    showDesktopMessage(field != nullptr ? field->window() : nullptr, message);
    if (field != nullptr) field->setFocus();
}

QRect workAreaOf(const QWidget* widget) {
    QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void play(const QString& file) {
    auto* effect = new QSoundEffect(qApp);
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying()) effect->deleteLater();
    });
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error) effect->deleteLater();
    });
    effect->setSource(QUrl::fromLocalFile(file));
    effect->play();
}

}  // namespace

// --- program facts

void getVersionInfo() {
    ProgramPaths& p = programPaths();
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    if (!name.isEmpty()) p.appName = name.toStdString();
    if (!version.isEmpty()) p.versionString = version.toStdString();
}

// --- windows and menus

void setTrayIconGeometryProvider(QRect (*provider)()) { g_trayGeometry = provider; }
const seams::Registration g_trayGeometrySeam("TrayIconGeometryProvider", [] { return g_trayGeometry != nullptr; },
                                             [] { setTrayIconGeometryProvider(nullptr); });

void getTrayWindowRect(QRect& rect) {
    if (g_trayGeometry != nullptr) {
        const QRect icon = g_trayGeometry();
        if (icon.isValid()) {
            rect = icon;
            return;
        }
    }
    const QRect area = workAreaOf(nullptr);
    rect = QRect(QPoint(area.right() + 1 - 150, area.bottom() + 1 - 30), QPoint(area.right(), area.bottom()));
}

bool isMinimizeAnimationEnabled() { return QApplication::isEffectEnabled(Qt::UI_AnimateMenu); }

void minimizeToTray(QWidget* window) {
    if (window == nullptr) return;
    if (!isMinimizeAnimationEnabled()) {
        window->hide();
        return;
    }
    auto* fade = new QPropertyAnimation(window, "windowOpacity", window);
    fade->setDuration(150);
    fade->setStartValue(window->windowOpacity());
    fade->setEndValue(0.0);
    const qreal opacity = window->windowOpacity();
    QObject::connect(fade, &QPropertyAnimation::finished, window, [window, opacity] {
        window->hide();
        window->setWindowOpacity(opacity);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void restoreFromTray(QWidget* window) {
    if (window == nullptr) return;
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool isWindowMinimized(const QWidget* window) { return window != nullptr && window->isMinimized(); }

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

QAction* showContextMenu(QWidget* owner, int x, int y, QMenu* menu, int menuId) {
    if (menu == nullptr) return nullptr;
    g_activeContextMenuId = menuId;
    QAction* chosen = menu->exec(QPoint(x, y));
    g_activeContextMenuId = -1;
    (void)owner;
    return chosen;
}

bool getActiveContextMenuId(int* id) {
    if (id != nullptr) *id = g_activeContextMenuId;
    return g_activeContextMenuId != -1;
}

QToolBar* createToolbar(QMainWindow* parent, const QString& name, const std::vector<QAction*>& actions) {
    auto* bar = new QToolBar(name, parent);
    bar->setObjectName(QString("toolbar-%1").arg(g_nextToolbarId++));
    bar->setMovable(true);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (QAction* action : actions) {
        if (action == nullptr) {
            bar->addSeparator();
        } else {
            bar->addAction(action);
        }
    }
    if (parent != nullptr) parent->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

void drawRectOutline(QPainter& painter, const QRect& rect) {
    const QPoint corners[] = {rect.topLeft(), QPoint(rect.right(), rect.top()), rect.bottomRight(),
                              QPoint(rect.left(), rect.bottom()), rect.topLeft()};
    painter.drawPolyline(corners, 5);
}

// --- clipboard

void copyToClipboard(QWidget* owner, const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        showDesktopMessage(owner, "Can't open the clipboard.");
        return;
    }
    clipboard->setText(QString::fromStdString(text));
}

bool getClipboardText(std::string& text, QWidget*) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
    if (data == nullptr || !data->hasText()) return false;
    text = data->text().toStdString();
    return true;
}

// --- lists and friends

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
        QObject::connect(list, &QTreeWidget::itemClicked, list, [list](QTreeWidgetItem* item, int column) {
            emit list->itemActivated(item, column);
        });
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

// --- entry fields

bool validateNumberField(QLineEdit* field, const std::string& fieldName, int& value, bool* present, bool required,
                         int minimum, int maximum, const std::string& extraText) {
    const FieldCheck check =
        checkNumberField(field->text().toStdString(), fieldName, required, minimum, maximum, extraText);
    if (!check.ok) {
        refuse(field, check.message);
        return false;
    }
    if (present != nullptr) *present = check.present;
    if (check.present) value = check.value;
    return true;
}

bool validateFileField(QLineEdit* field, const std::string& fieldName, std::string& text, bool* present,
                       bool required, bool mustExist) {
    const FieldCheck check = checkFileField(field->text().toStdString(), fieldName, required, mustExist);
    if (!check.ok) {
        refuse(field, check.message);
        return false;
    }
    if (present != nullptr) *present = check.present;
    if (check.present) text = check.text;
    return true;
}

void fillFontSizeCombo(QComboBox* combo, int size) {
    combo->clear();
    for (const FontSizeName& entry : kFontSizeNames) combo->addItem(entry.name);
    combo->setEditable(true);
    combo->setEditText(QString::fromStdString(fontSizeText(size)));
}

bool validateFontSizeField(QComboBox* combo, int& size) {
    const FieldCheck check = checkFontSizeField(combo->currentText().toStdString());
    if (!check.ok) {
        refuse(combo, check.message);
        return false;
    }
    size = check.value;
    return true;
}

// --- sound

void playSoundFile(const std::string& file) {
    if (GlobalOptions::instance().DisableAllSound) return;
    const QFileInfo info(QString::fromStdString(file));
    if (!file.empty() && info.exists() && info.isFile()) {
        play(info.absoluteFilePath());
    } else {
        QApplication::beep();
    }
}

void playSoundResource(const std::string& name) {
    if (GlobalOptions::instance().DisableAllSound) return;
    const QFileInfo info(QString::fromStdString(makeProgramFilePath("Resources/" + name)));
    if (info.isFile()) play(info.absoluteFilePath());
}

void showDesktopMessage(QWidget* parent, const std::string& text) {
    dialogs::showMessage(parent, QString::fromStdString(text), dialogs::MessageButtons::Ok,
                         dialogs::MessageIcon::Warning);
}
