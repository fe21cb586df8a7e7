#include "dialogs/small/cantFindChmDlg.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "app/core/programPaths.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"

namespace dialogs {

bool openAddress(QWidget* parent, const QString& address) {
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    int rc = 0;
    if (address.trimmed().isEmpty() || !url.isValid() || (scheme != "http" && scheme != "https" && scheme != "mailto"))
        rc = 2;
    else if (!QDesktopServices::openUrl(url))
        rc = 31;
    if (rc == 0) return true;
    showMessage(parent, QStringLiteral("Can't open the requested item (rc=%1).").arg(rc));
    return false;
}

CCantFindChmDlg::CCantFindChmDlg(QWidget* parent) : AppDialog(parent) {
    setObjectName(QStringLiteral("cantFindChmDialog"));
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("questionIcon"));
    setControlId(icon, 1197);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    auto* missing = new QLabel(tr("Can't find the Orvan help file."), this);
    auto* ask = new QLabel(tr("Do you want to:"), this);
    download_ = new QRadioButton(tr("&Download the help file"), this);
    download_->setObjectName(QStringLiteral("downloadRadio"));
    setControlId(download_, 1195);
    online_ = new QRadioButton(tr("&Browse the online help"), this);
    online_->setObjectName(QStringLiteral("onlineHelpRadio"));
    setControlId(online_, 1196);
    ok_ = new QPushButton(tr("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(missing);
    texts->addWidget(ask);
    texts->addWidget(download_);
    texts->addWidget(online_);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &CCantFindChmDlg::onOk);
    connect(cancel, &QPushButton::clicked, this, &CCantFindChmDlg::reject);
}

void CCantFindChmDlg::initDialog() {
    setWindowTitle(applicationTitle() + " Help");
    download_->setChecked(true);
}

void CCantFindChmDlg::onOk() {
    const ProgramPaths& paths = programPaths();
    if (download_->isChecked()) {
        QString programDir = QString::fromStdString(paths.programDir);
        if (programDir.endsWith('/') || programDir.endsWith('\\')) programDir.chop(1);
        QWidget* owner = parentWidget();
        done(Accepted);
        showMessage(owner,
                    "You are about to download the Orvan help file.\n\n"
                    "You should save it to the same directory that Orvan is installed in: " +
                        programDir);
        openAddress(owner, QString::fromStdString(paths.chmDownloadUrl));
        return;
    }
    openAddress(this, QString::fromStdString(paths.onlineHelpUrl));
    done(Accepted);
}

}  // namespace dialogs
