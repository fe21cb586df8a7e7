#pragma once
// Offered when the help file is missing: download it from the program's web
// site or browse the online help instead.
#include "widgets/base/appDialog.h"

class QRadioButton;
class QPushButton;

namespace dialogs {

class CCantFindChmDlg : public AppDialog {
    Q_OBJECT

public:
    explicit CCantFindChmDlg(QWidget* parent = nullptr);

    QRadioButton* downloadButton() const { return download_; }
    QRadioButton* onlineHelpButton() const { return online_; }
    QPushButton* okButton() const { return ok_; }

protected:
    void initDialog() override;

private:
    void onOk();

    QRadioButton* download_;
    QRadioButton* online_;
    QPushButton* ok_;
};

// Opens an address in the user's program for it (http, https and mailto
// only); on failure shows "Can't open the requested item (rc=N)." with N 2
// for an address that is empty or not allowed and 31 when nothing opened it.
bool openAddress(QWidget* parent, const QString& address);

}  // namespace dialogs
