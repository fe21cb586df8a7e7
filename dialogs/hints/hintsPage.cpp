#include "dialogs/hints/hintsPage.h"

#include <exception>

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "dialogs/hints/hints.h"

namespace dialogs {

namespace {

constexpr int kHintRole = Qt::UserRole;

}  // namespace

CHintsPropPage::CHintsPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Hints"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("hintList"));
    setControlId(list_, 1050);
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("Hint"), tr("Description")});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
}

void CHintsPropPage::initDialog() {
    list_->clear();
    for (const HintDef* hint = kHintTable; hint->identifier; ++hint) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromUtf8(hint->identifier));
        item->setText(1, QString::fromUtf8(hint->hintText));
        item->setToolTip(1, item->text(1));
        item->setData(0, kHintRole, QVariant::fromValue(static_cast<int>(hint - kHintTable)));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, isHintEnabled(hint->identifier) ? Qt::Checked : Qt::Unchecked);
    }
    if (QTreeWidgetItem* first = list_->topLevelItem(0)) list_->setCurrentItem(first);
    list_->resizeColumnToContents(0);
    list_->header()->setStretchLastSection(true);
}

bool CHintsPropPage::onApply() {
    try {
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list_->topLevelItem(i);
            const HintDef& hint = kHintTable[item->data(0, kHintRole).toInt()];
            setHintEnabled(hint.identifier, item->checkState(0) == Qt::Checked);
        }
        GlobalOptions::instance().save();
    } catch (const OptionsSaveError& error) {
        showMessage(this, QString::fromUtf8(error.what()), MessageButtons::Ok, MessageIcon::Error);
        return false;
    } catch (const std::exception& error) {
        showMessage(this, "Couldn't save the global options.\n\n" + QString::fromUtf8(error.what()), MessageButtons::Ok,
                    MessageIcon::Error);
        return false;
    }
    return true;
}

}  // namespace dialogs
