#include "widgets/controls/appListCtrl.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include "app/core/programObjects.h"
#include "app/options/globalOptions.h"
#include "lib/misc/stringHelpers.h"
#include "widgets/helpers/listControls.h"
#include "widgets/hotkeys/hotkeyBinding.h"

namespace {
int oneClickOverride = -1;

int modifierBits(Qt::KeyboardModifiers m) {
    return makeModifierKeyState(m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier);
}
}  // namespace

bool CAppListCtrl::oneClickMode() {
    return oneClickOverride >= 0 ? oneClickOverride != 0 : GlobalOptions::instance().OneClickMode;
}
void CAppListCtrl::setOneClickModeForTest(int mode) { oneClickOverride = mode; }

HotRowDelegate::HotRowDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), view_(view), viewport_(view->viewport()) {
    view->setItemDelegate(this);
    view->setMouseTracking(true);
    viewport_->setMouseTracking(true);
    viewport_->installEventFilter(this);
    connect(view, &QAbstractItemView::entered, this, [this](const QModelIndex& index) { setHot(index); });
    connect(view, &QAbstractItemView::viewportEntered, this, [this] { setHot({}); });
}

int HotRowDelegate::hotRow() const { return CAppListCtrl::oneClickMode() && hot_.isValid() ? hot_.row() : -1; }

QFont HotRowDelegate::rowFont(const QModelIndex& index) const {
    const QVariant own = index.data(Qt::FontRole);
    QFont font = own.isValid() ? own.value<QFont>() : view_->font();
    if (index.isValid() && index.row() == hotRow()) font.setUnderline(true);
    return font;
}

void HotRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.row() == hotRow()) option->font.setUnderline(true);
}

bool HotRowDelegate::eventFilter(QObject* watched, QEvent* event) {
    // The viewport may outlive the view's own destruction by a moment: only
    // the pointer kept of it is used here.
    if (watched != viewport_) return QStyledItemDelegate::eventFilter(watched, event);
    if (event->type() == QEvent::Leave) setHot({});
    return false;
}

void HotRowDelegate::setHot(const QModelIndex& index) {
    if (QPersistentModelIndex(index) == hot_) return;
    hot_ = index;
    if (viewport_ != nullptr) viewport_->update();
}

// ---------------------------------------------------------------------------

CAppListCtrl::CAppListCtrl(CAppListCtrlParent* owner, QWidget* parent)
    : QTreeWidget(parent), owner_(owner), hotRows_(new HotRowDelegate(this)) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    header()->setStretchLastSection(true);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
        if (oneClickMode()) {
            listItemOpened(rowOf(item));
        } else {
            listItemActivated(rowOf(item));
        }
    });
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int) {
        if (!oneClickMode()) listItemOpened(selectedRow());
    });
}

int CAppListCtrl::selectedRow() const {
    const auto items = selectedItems();
    return items.isEmpty() ? -1 : rowOf(items.first());
}

void CAppListCtrl::selectRow(int row) {
    QTreeWidgetItem* item = rowItem(row);
    if (item == nullptr) {
        clearSelection();
        return;
    }
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
}

QFont CAppListCtrl::rowFont(int row) const {
    QTreeWidgetItem* item = rowItem(row);
    return item != nullptr ? hotRows_->rowFont(indexFromItem(item)) : font();
}

QString CAppListCtrl::rowText(int row) const {
    QTreeWidgetItem* item = rowItem(row);
    return item != nullptr ? item->text(0) : QString();
}

void CAppListCtrl::applyListStyle() { setCursor(oneClickMode() ? Qt::PointingHandCursor : Qt::ArrowCursor); }

void CAppListCtrl::keyPressEvent(QKeyEvent* event) {
    // A modifier pressed alone is no key of the list.
    const int key = ui::isModifierKey(event->key())
                        ? 0
                        : ui::virtualKeyFromQt(event->key(), event->modifiers(), event->nativeScanCode());
    if (key != 0 && listKeyPressed(selectedRow(), key, modifierBits(event->modifiers()))) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CAppListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QPoint point;
    if (event->reason() == QContextMenuEvent::Keyboard) {
        getListContextMenuPoint(this, -1, -1, point);
    } else {
        getListContextMenuPoint(this, event->globalPos().x(), event->globalPos().y(), point);
    }
    if (listContextMenu(point)) event->accept();
}

void CAppListCtrl::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    setColumnWidth(0, viewport()->width());
}

void trimString(std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n\f\v");
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(0, first);
    text.erase(text.find_last_not_of(" \t\r\n\f\v") + 1);
}
