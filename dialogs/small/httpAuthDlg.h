#pragma once
// Edits one set of HTTP credentials (user name and password for basic
// authentication) on its own copy, handed to the caller after OK.
#include <memory>

#include <QString>

#include "widgets/base/appDialog.h"

class QLineEdit;

namespace tools {
class HttpAuth;
}

namespace dialogs {

class CHttpAuthDlg : public AppDialog {
    Q_OBJECT

public:
    // `auth` stays the caller's; the dialog works on a clone (a new, empty
    // basic credential when null).
    CHttpAuthDlg(const QString& caption, const tools::HttpAuth* auth, QWidget* parent = nullptr);
    ~CHttpAuthDlg() override;

    int DoModal();
    // The edited credential; the dialog holds none afterwards.
    tools::HttpAuth* detachHttpAuth();

    QLineEdit* userNameEdit() const { return userName_; }
    QLineEdit* passwordEdit() const { return password_; }

    void accept() override;

protected:
    void initDialog() override;

private:
    std::unique_ptr<tools::HttpAuth> auth_;
    QLineEdit* userName_;
    QLineEdit* password_;
};

}  // namespace dialogs
