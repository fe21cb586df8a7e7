#pragma once
// The options sheet's "Hints" page: every hint with a check box that is
// ticked while the hint is switched on. OK writes every hint's switch and
// saves the global options.
#include "widgets/base/propertySheet.h"

class QTreeWidget;

namespace dialogs {

class CHintsPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CHintsPropPage(QWidget* parent = nullptr);

    bool onApply() override;
    QTreeWidget* list() const { return list_; }

protected:
    void initDialog() override;

private:
    QTreeWidget* list_;
};

}  // namespace dialogs
