#pragma once
// Sheets the user can resize: the tabs take the room the window gains, the
// buttons stay in the bottom-right corner, and the window cannot be made
// smaller than it first opened. A resizable page lays itself out again each
// time it becomes active, so a page that was hidden while the sheet changed
// size fits when shown.
#include "widgets/base/propertySheet.h"
#include "widgets/base/resizer.h"

namespace dialogs {

class CResizablePropertySheet : public PropertySheet {
    Q_OBJECT

public:
    CResizablePropertySheet(const QString& caption, QWidget* parent, int firstPage);
};

class CResizablePropertyPage : public PropertyPage {
    Q_OBJECT

public:
    explicit CResizablePropertyPage(QWidget* parent = nullptr) : PropertyPage(parent) {}

    bool onSetActive() override;

protected:
    // Lays the controls out by `table` (ended by CResizer::endRow()) with
    // 15-pixel margins whenever the page changes size.
    void setLayoutTable(const CResizer::Row* table);
};

}  // namespace dialogs
