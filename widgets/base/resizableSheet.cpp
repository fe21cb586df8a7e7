#include "widgets/base/resizableSheet.h"

#include <QLayout>

namespace dialogs {

CResizablePropertySheet::CResizablePropertySheet(const QString& caption, QWidget* parent, int firstPage)
    : PropertySheet(caption, parent, firstPage) {
    makeResizable();
}

bool CResizablePropertyPage::onSetActive() {
    if (!PropertyPage::onSetActive()) return false;
    if (QLayout* pageLayout = layout()) {
        pageLayout->invalidate();
        pageLayout->setGeometry(rect());
    }
    return true;
}

void CResizablePropertyPage::setLayoutTable(const CResizer::Row* table) {
    delete layout();
    new ResizerLayout(this, table);
}

}  // namespace dialogs
