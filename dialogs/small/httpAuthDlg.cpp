#include "dialogs/small/httpAuthDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "tools/httpAuth.h"

namespace dialogs {

CHttpAuthDlg::CHttpAuthDlg(const QString& caption, const tools::HttpAuth* auth, QWidget* parent)
    : AppDialog(parent), auth_(auth ? auth->clone() : new tools::HttpBasicAuth()) {
    setObjectName(QStringLiteral("httpAuthDialog"));
    setWindowTitle(caption);
    userName_ = new QLineEdit(this);
    userName_->setObjectName(QStringLiteral("userNameEdit"));
    userName_->setMaxLength(80);
    setControlId(userName_, 1208);
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("passwordEdit"));
    password_->setMaxLength(80);
    password_->setEchoMode(QLineEdit::Password);
    setControlId(password_, 1210);
    auto* form = new QFormLayout;
    form->addRow(tr("User name:"), userName_);
    form->addRow(tr("Password:"), password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CHttpAuthDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

CHttpAuthDlg::~CHttpAuthDlg() = default;

int CHttpAuthDlg::DoModal() { return runModal(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

tools::HttpAuth* CHttpAuthDlg::detachHttpAuth() { return auth_.release(); }

void CHttpAuthDlg::initDialog() {
    if (const auto* basic = dynamic_cast<const tools::HttpBasicAuth*>(auth_.get())) {
        userName_->setText(QString::fromStdString(basic->getUserName()));
        password_->setText(QString::fromStdString(basic->getPassword()));
    }
}

void CHttpAuthDlg::accept() {
    const QString user = userName_->text().trimmed();
    const QString password = password_->text().trimmed();
    if (auto* basic = dynamic_cast<tools::HttpBasicAuth*>(auth_.get()))
        basic->set(user.toStdString(), password.toStdString());
    AppDialog::accept();
}

}  // namespace dialogs
