#include "dialogs/organize/hotkeyTableDlg.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>

#include "app/core/commandIds.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/organize/keyAssign.h"
#include "dialogs/small/cantFindChmDlg.h"

namespace dialogs {

namespace {

constexpr int kHotkeyBoxId = 1133;
constexpr int kHotkeyLabelId = 1134;
constexpr int kAssignId = 1135;
constexpr int kToolBarId = 1136;
constexpr int kListId = 1168;
constexpr int kApplyId = 1170;
constexpr int kExtraId = 1171;
constexpr int kOkId = 1;
constexpr int kCancelId = 2;

using R = CResizer;
const R::Row kLayout[] = {
    R::row(kCmdHelp, R::none(), R::absolute(0), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kCancelId, R::none(), R::abut(kCmdHelp, R::kHalfMargin), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kOkId, R::none(), R::abut(kCancelId, R::kHalfMargin), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kAssignId, R::none(), R::absolute(0), R::keep(), R::none(), R::none(), R::none()),
    R::row(kHotkeyBoxId, R::none(), R::abut(kAssignId, R::kHalfMargin), R::keep(), R::none(), R::none(), R::none()),
    R::row(kHotkeyLabelId, R::none(), R::abut(kHotkeyBoxId, R::kHalfMargin), R::keep(), R::none(), R::none(),
           R::none()),
    R::row(kApplyId, R::none(), R::none(), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kExtraId, R::abut(kApplyId, R::kHalfMargin), R::none(), R::keep(), R::none(), R::absolute(0), R::keep()),
    R::row(kListId, R::none(), R::absolute(0), R::none(), R::none(), R::abut(kOkId, R::kMargin), R::none()),
    R::endRow(),
};

// A list row: the derived dialog's item (not owned) and the row's hotkey.
class HotkeyRow : public QTreeWidgetItem {
public:
    HotkeyRow(HotkeyTableItem* item, const Hotkey& hotkey) : item(item), hotkey(hotkey) {}
    HotkeyTableItem* item;
    Hotkey hotkey;
};

QString hotkeyText(const Hotkey& hotkey) {
    return hotkey.isValid() ? QString::fromStdString(hotkey.toString()) : QString();
}

const Hotkey& noHotkey() {
    static const Hotkey none;
    return none;
}

}  // namespace

CHotkeyTableDlg::CHotkeyTableDlg(const Words& words, SaveWindowPlacement* placement, HotkeyTable* hotkeys,
                                 QWidget* parent)
    : AppDialog(parent), words_(words), hotkeys_(hotkeys) {
    setObjectName(QStringLiteral("hotkeyTableDialog"));
    setWindowTitle(QStringLiteral("*** HOTKEY TABLE ***"));

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    setControlId(toolBar_, kToolBarId);
    const struct {
        int command;
        const char* text;
        QStyle::StandardPixmap icon;
    } commands[] = {
        {kCmdHotkeyNew, "New", QStyle::SP_FileIcon},
        {kCmdHotkeyRemove, "Remove", QStyle::SP_TrashIcon},
        {0, nullptr, QStyle::SP_CustomBase},
        {kCmdHotkeyMoveUp, "Move up", QStyle::SP_ArrowUp},
        {kCmdHotkeyMoveDown, "Move down", QStyle::SP_ArrowDown},
        {0, nullptr, QStyle::SP_CustomBase},
        {kCmdHotkeyProperties, "Properties", QStyle::SP_FileDialogDetailedView},
    };
    for (const auto& c : commands) {
        if (c.command == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = toolBar_->addAction(style()->standardIcon(c.icon), tr(c.text));
        action->setObjectName(QStringLiteral("command%1").arg(c.command));
        action->setProperty("commandId", c.command);
        action->setToolTip(tr(c.text));
        const int command = c.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    }
    toolBar_->setGeometry(15, 15, 170, 26);

    hotkeyLabel_ = new QLabel(tr("&Hotkey:"), this);
    hotkeyLabel_->setObjectName(QStringLiteral("hotkeyLabel"));
    setControlId(hotkeyLabel_, kHotkeyLabelId);
    hotkeyLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hotkeyLabel_->setGeometry(230, 17, 60, 22);
    hotkeyBox_ = new CKeyAssign(this);
    hotkeyBox_->setObjectName(QStringLiteral("hotkeyBox"));
    setControlId(hotkeyBox_, kHotkeyBoxId);
    hotkeyBox_->setGeometry(297, 17, 170, 22);
    hotkeyLabel_->setBuddy(hotkeyBox_);
    assignButton_ = new QPushButton(this);
    assignButton_->setObjectName(QStringLiteral("assignButton"));
    assignButton_->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    assignButton_->setToolTip(tr("Assign"));
    setControlId(assignButton_, kAssignId);
    assignButton_->setGeometry(474, 15, 30, 26);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("itemList"));
    setControlId(list_, kListId);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setGeometry(15, 50, 489, 230);
    list_->installEventFilter(this);

    applyButton_ = new QPushButton(tr("&Apply"), this);
    applyButton_->setObjectName(QStringLiteral("applyButton"));
    setControlId(applyButton_, kApplyId);
    applyButton_->setGeometry(15, 295, 75, 25);
    extraButton_ = new QPushButton(this);
    extraButton_->setObjectName(QStringLiteral("extraButton"));
    setControlId(extraButton_, kExtraId);
    extraButton_->setGeometry(98, 295, 75, 25);
    okButton_ = new QPushButton(tr("OK"), this);
    okButton_->setObjectName(QStringLiteral("okButton"));
    okButton_->setDefault(true);
    setControlId(okButton_, kOkId);
    okButton_->setGeometry(263, 295, 75, 25);
    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    setControlId(cancelButton_, kCancelId);
    cancelButton_->setGeometry(346, 295, 75, 25);
    helpButton_ = new QPushButton(tr("Help"), this);
    helpButton_->setObjectName(QStringLiteral("helpButton"));
    setControlId(helpButton_, kCmdHelp);
    helpButton_->setGeometry(429, 295, 75, 25);
    resize(519, 335);

    new ResizerLayout(this, kLayout);
    makeResizable();
    rememberPlacement(placement);

    connect(assignButton_, &QPushButton::clicked, this, &CHotkeyTableDlg::onAssign);
    connect(applyButton_, &QPushButton::clicked, this, &CHotkeyTableDlg::onApply);
    connect(extraButton_, &QPushButton::clicked, this, &CHotkeyTableDlg::onExtra);
    connect(okButton_, &QPushButton::clicked, this, &CHotkeyTableDlg::onOk);
    connect(cancelButton_, &QPushButton::clicked, this, &CHotkeyTableDlg::reject);
    connect(helpButton_, &QPushButton::clicked, this, [this] { showOrganizeHelp(this); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CHotkeyTableDlg::updateControls);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { postCommand(kCmdHotkeyProperties); });
}

CHotkeyTableDlg::~CHotkeyTableDlg() { releaseHotkeys(); }

void CHotkeyTableDlg::initDialog() {
    setWindowTitle(words_.caption);
    applyButton_->setVisible(words_.hasApply);
    extraButton_->setText(words_.extraButtonText);
    extraButton_->setVisible(!words_.extraButtonText.isEmpty());

    list_->setColumnCount(2);
    list_->setHeaderLabels({words_.columnTitle, tr("Hotkey")});
    QHeaderView* header = list_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    header->resizeSection(1, 150);

    // Keys typed into the hotkey box must not act as hotkeys.
    hotkeysOff_.emplace();

    int current = -1;
    for (int index = 0;; ++index) {
        HotkeyTableItem* item = nullptr;
        Hotkey hotkey;
        bool isCurrent = false;
        bool atEnd = false;
        const bool shown = getItem(index, item, hotkey, isCurrent, atEnd);
        if (atEnd) break;
        if (!shown || !item) continue;
        const int row = appendRow(item, hotkey);
        if (isCurrent) current = row;
    }
    if (current >= 0 && current < rowCount()) selectRow(current);
    updateControls();
}

void CHotkeyTableDlg::onPostInitDialog() {
    CHintDlg("AssigningHotKeys", this).DoModal();
    list_->setFocus();
}

void CHotkeyTableDlg::done(int result) {
    AppDialog::done(result);
    releaseHotkeys();
}

void CHotkeyTableDlg::releaseHotkeys() { hotkeysOff_.reset(); }

// --- rows

QTreeWidgetItem* CHotkeyTableDlg::rowItem(int row) const {
    return row >= 0 && row < list_->topLevelItemCount() ? list_->topLevelItem(row) : nullptr;
}

int CHotkeyTableDlg::rowCount() const { return list_->topLevelItemCount(); }

int CHotkeyTableDlg::selectedRow() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

void CHotkeyTableDlg::selectRow(int row) {
    QTreeWidgetItem* item = rowItem(row);
    if (!item) {
        list_->clearSelection();
        return;
    }
    list_->setCurrentItem(item);
    item->setSelected(true);
    list_->scrollToItem(item);
}

HotkeyTableItem* CHotkeyTableDlg::itemAt(int row) const {
    auto* item = static_cast<HotkeyRow*>(rowItem(row));
    return item ? item->item : nullptr;
}

const Hotkey& CHotkeyTableDlg::hotkeyAt(int row) const {
    auto* item = static_cast<HotkeyRow*>(rowItem(row));
    return item ? item->hotkey : noHotkey();
}

QString CHotkeyTableDlg::rowText(int row, int column) const {
    QTreeWidgetItem* item = rowItem(row);
    return item ? item->text(column) : QString();
}

int CHotkeyTableDlg::appendRow(HotkeyTableItem* item, const Hotkey& hotkey) {
    auto* row = new HotkeyRow(item, hotkey);
    row->setText(0, getItemText(item));
    row->setText(1, hotkeyText(hotkey));
    list_->addTopLevelItem(row);
    return list_->indexOfTopLevelItem(row);
}

void CHotkeyTableDlg::setRowHotkey(int row, const Hotkey& hotkey) {
    auto* item = static_cast<HotkeyRow*>(rowItem(row));
    if (!item) return;
    item->hotkey = hotkey;
    item->setText(1, hotkeyText(hotkey));
}

void CHotkeyTableDlg::updateControls() {
    const int row = selectedRow();
    const bool selected = row >= 0;
    hotkeyLabel_->setEnabled(selected);
    hotkeyBox_->setEnabled(selected);
    assignButton_->setEnabled(selected);
    applyButton_->setEnabled(selected);
    hotkeyBox_->setHotkey(selected ? hotkeyAt(row) : Hotkey());
    commandAction(kCmdHotkeyRemove)->setEnabled(selected);
    commandAction(kCmdHotkeyProperties)->setEnabled(selected);
    commandAction(kCmdHotkeyMoveUp)->setEnabled(selected && row > 0);
    commandAction(kCmdHotkeyMoveDown)->setEnabled(selected && row < rowCount() - 1);
}

QAction* CHotkeyTableDlg::commandAction(int command) const {
    return toolBar_->findChild<QAction*>(QStringLiteral("command%1").arg(command));
}

// --- commands

void CHotkeyTableDlg::postCommand(int command) {
    QMetaObject::invokeMethod(
        this, [this, command] { runCommand(command); }, Qt::QueuedConnection);
}

void CHotkeyTableDlg::runCommand(int command) {
    switch (command) {
        case kCmdHotkeyNew:
            onNew();
            break;
        case kCmdHotkeyRemove:
            onRemove();
            break;
        case kCmdHotkeyMoveUp:
            onMove(-1);
            break;
        case kCmdHotkeyMoveDown:
            onMove(1);
            break;
        case kCmdHotkeyProperties:
            onProperties();
            break;
        default:
            break;
    }
}

bool CHotkeyTableDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
        const bool keypad = key->modifiers() & Qt::KeypadModifier;
        int command = 0;
        if (key->key() == Qt::Key_Space && mods == Qt::NoModifier)
            command = kCmdHotkeyProperties;
        else if (key->key() == Qt::Key_Up && mods == Qt::AltModifier)
            command = kCmdHotkeyMoveUp;
        else if (key->key() == Qt::Key_Down && mods == Qt::AltModifier)
            command = kCmdHotkeyMoveDown;
        else if (key->key() == Qt::Key_Delete || (keypad && key->key() == Qt::Key_Minus))
            command = kCmdHotkeyRemove;
        else if (keypad && key->key() == Qt::Key_Plus)
            command = kCmdHotkeyNew;
        if (command != 0) {
            postCommand(command);
            return true;
        }
    }
    return AppDialog::eventFilter(watched, event);
}

void CHotkeyTableDlg::onNew() {
    HotkeyTableItem* item = nullptr;
    const bool made = newItem(item);
    list_->setFocus();
    if (!made || !item) return;
    for (int row = 0; row < rowCount(); ++row) {
        if (itemAt(row) == item) {
            selectRow(row);
            return;
        }
    }
    selectRow(appendRow(item, Hotkey()));
    updateControls();
}

void CHotkeyTableDlg::onProperties() {
    const int row = selectedRow();
    if (row < 0) {
        QApplication::beep();
        return;
    }
    if (editItem(itemAt(row))) rowItem(row)->setText(0, getItemText(itemAt(row)));
    list_->setFocus();
}

void CHotkeyTableDlg::onRemove() {
    const int row = selectedRow();
    if (row < 0) {
        QApplication::beep();
        return;
    }
    if (showMessage(this, tr("Remove ") + rowText(row) + tr("?"), MessageButtons::OkCancel, MessageIcon::Question,
                    IDCANCEL) != IDOK)
        return;
    HotkeyTableItem* item = itemAt(row);
    bool storeNow = false;
    removeItem(item, storeNow);
    delete list_->takeTopLevelItem(row);
    selectRow(row < rowCount() ? row : rowCount() - 1);
    updateControls();
    if (!storeNow || !item || item->storedIndex < 0) return;
    const int removed = item->storedIndex;
    if (!storeRemoval(item)) return;
    // The stored items after it moved up one place.
    item->storedIndex = -1;
    for (int other = 0; other < rowCount(); ++other) {
        HotkeyTableItem* each = itemAt(other);
        if (each && each->storedIndex > removed) --each->storedIndex;
    }
}

bool CHotkeyTableDlg::storeRemoval(HotkeyTableItem*) { return true; }

void CHotkeyTableDlg::onMove(int step) {
    const int row = selectedRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= rowCount()) return;
    QTreeWidgetItem* item = list_->takeTopLevelItem(row);
    list_->insertTopLevelItem(target, item);
    selectRow(target);
    updateControls();
}

void CHotkeyTableDlg::onAssign() {
    const int row = selectedRow();
    if (row < 0) {
        QApplication::beep();
        return;
    }
    if (hotkeyBox_->text().trimmed().isEmpty()) {
        setRowHotkey(row, Hotkey());
        return;
    }
    const Hotkey hotkey = hotkeyBox_->getHotkey();
    if (!hotkey.isCtrl() && !hotkey.isAlt() && CHintDlg("AltCtrlHotkey", this).DoModal() != IDOK) return;
    for (int other = 0; other < rowCount(); ++other) {
        if (other == row || hotkeyAt(other) != hotkey) continue;
        if (showMessage(this, tr("This hotkey is already defined.\n\nClear the other definition?"),
                        MessageButtons::OkCancel, MessageIcon::Question, IDCANCEL) != IDOK)
            return;
        setRowHotkey(other, Hotkey());
    }
    std::string kind, name;
    if (HotkeyTable::deleteHotkeyInOtherTables(hotkey, hotkeys_, false, kind, name)) {
        const QString question = tr("This hotkey is already defined for ") + QString::fromStdString(kind) + " '" +
                                 QString::fromStdString(name) + tr("'\n\nClear the other definition?");
        if (showMessage(this, question, MessageButtons::OkCancel, MessageIcon::Question, IDCANCEL) != IDOK) return;
        try {
            HotkeyTable::deleteHotkeyInOtherTables(hotkey, hotkeys_, true, kind, name);
        } catch (const std::exception& e) {
            showMessage(this, QString::fromStdString(e.what()));
            return;
        }
    }
    setRowHotkey(row, hotkey);
    list_->setFocus();
}

void CHotkeyTableDlg::onApply() {
    HotkeyTableItem* item = selectedItem();
    if (!item) {
        QApplication::beep();
        return;
    }
    applyItem(item);
}

void CHotkeyTableDlg::onExtra() { onExtraButton(0); }

bool CHotkeyTableDlg::applyChanges() {
    clearItems();
    const int selected = selectedRow();
    for (int row = 0; row < rowCount(); ++row) addItem(itemAt(row), hotkeyAt(row), row == selected);
    if (!saveItems()) return false;
    for (int row = 0; row < rowCount(); ++row) itemAt(row)->storedIndex = row;
    return true;
}

void CHotkeyTableDlg::onOk() {
    if (applyChanges() && canClose(selectedItem())) accept();
}

void showOrganizeHelp(QWidget* parent) {
    CCantFindChmDlg help(parent);
    runModal(help);
}

}  // namespace dialogs
