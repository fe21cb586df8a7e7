#pragma once
// The hint dialog: a warning icon, the hint's text and question, a
// "Don't show me this again" box and the row's buttons. DoModal shows it only
// while the hint is switched on, and switches it off when the box was ticked
// and the dialog was ended by one of its buttons or Enter.
#include <string>

#include "widgets/base/appDialog.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace dialogs {

struct HintDef;

class CHintDlg : public AppDialog {
    Q_OBJECT

public:
    // `identifier` is one of the table's, in any case. A null parent means the
    // program's main window.
    explicit CHintDlg(const std::string& identifier, QWidget* parent = nullptr);

    // The answer: IDOK, IDCANCEL, IDYES or IDNO. Escape and the close box
    // answer IDCANCEL and leave the switch alone.
    int DoModal();

    const HintDef* hint() const { return hint_; }
    QString message() const;

    void reject() override;

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    void endWith(int answer);
    void fitText();

    std::string identifier_;
    const HintDef* hint_;
    int switchOff_ = 0;
    QLabel* icon_;
    QLabel* text_;
    QCheckBox* dontShowAgain_;
    QPushButton* buttons_[3];
};

}  // namespace dialogs
