#include "dialogs/options/advancedOptionsPage.h"

#include <exception>

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/options/optionsCommon.h"
#include "dialogs/small/httpAuthDlg.h"
#include "tools/httpAuth.h"
#include "widgets/helpers/entryFields.h"
#include "widgets/helpers/programIcon.h"

namespace dialogs {

namespace {

// The pictures beside the listener boxes: a subscribe badge as web pages
// show them, drawn here, in the listener's own colour with its port, and the
// program's own badge (its icon's tile) for the links it always takes.
QPixmap subscribeBadge(const QColor& colour, const QString& caption, bool ownTile) {
    const qreal ratio = qApp->devicePixelRatio();
    const QSize size(58, 16);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 3, 3);
    if (ownTile) {
        painter.drawPixmap(QRect(1, 1, 14, 14), programIcon().pixmap(14, 14));
    } else {
        drawFeedSymbol(painter, QRectF(1, 1, 14, 14), Qt::white);
    }
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(16, 0, size.width() - 18, size.height()), Qt::AlignCenter, caption);
    painter.end();
    return pixmap;
}

QLabel* badgeLabel(QWidget* parent, const QPixmap& pixmap, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(pixmap);
    label->setFixedSize(pixmap.deviceIndependentSize().toSize());
    return label;
}

QHBoxLayout* besideBadge(QLabel* badge, QWidget* control) {
    auto* row = new QHBoxLayout;
    row->addWidget(badge);
    row->addWidget(control, 1);
    return row;
}

}  // namespace

CAdvancedOptionsPropPage::CAdvancedOptionsPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Advanced"));
    port_ = new QLineEdit(this);
    port_->setObjectName(QStringLiteral("pluginPortEdit"));
    port_->setMaxLength(5);
    setControlId(port_, 248);
    scriptTimeout_ = new QLineEdit(this);
    scriptTimeout_->setObjectName(QStringLiteral("scriptTimeoutEdit"));
    scriptTimeout_->setMaxLength(3);
    setControlId(scriptTimeout_, 1067);
    proxyButton_ = new QPushButton(tr("Pro&xy authentication"), this);
    proxyButton_->setObjectName(QStringLiteral("proxyAuthButton"));
    proxyButton_->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    setControlId(proxyButton_, 1211);
    listenPort8888_ = new QCheckBox(tr("Subscription links to port 8888"), this);
    listenPort8888_->setObjectName(QStringLiteral("listenPort8888Check"));
    setControlId(listenPort8888_, 249);
    listenPort8900_ = new QCheckBox(tr("Subscription links to port 8900"), this);
    listenPort8900_->setObjectName(QStringLiteral("listenPort8900Check"));
    setControlId(listenPort8900_, 250);
    listenPort5335_ = new QCheckBox(tr("Subscription links to port 5335"), this);
    listenPort5335_->setObjectName(QStringLiteral("listenPort5335Check"));
    setControlId(listenPort5335_, 251);

    auto* form = new QFormLayout;
    form->addRow(tr("Plugin port number:"), port_);
    form->addRow(tr("Script timeout (seconds):"), scriptTimeout_);
    form->addRow(QString(), proxyButton_);

    auto* subscribe = new QGroupBox(tr("&Auto-subscribe"), this);
    auto* subscribeLayout = new QVBoxLayout(subscribe);
    auto* explanation = new QLabel(
        tr("Some web sites include an icon for certain RSS readers that you can click on to subscribe to their feed. "
           "If you are not using these RSS readers, Orvan can intercept these clicks for itself if you place a tick "
           "in the boxes below."),
        subscribe);
    explanation->setWordWrap(true);
    subscribeLayout->addWidget(explanation);
    subscribeLayout->addLayout(besideBadge(
        badgeLabel(subscribe, subscribeBadge(QColor(40, 110, 190), QStringLiteral("8888"), false), "port8888Badge"),
        listenPort8888_));
    subscribeLayout->addLayout(besideBadge(
        badgeLabel(subscribe, subscribeBadge(QColor(60, 140, 70), QStringLiteral("8900"), false), "port8900Badge"),
        listenPort8900_));
    subscribeLayout->addLayout(besideBadge(
        badgeLabel(subscribe, subscribeBadge(QColor(120, 80, 160), QStringLiteral("5335"), false), "port5335Badge"),
        listenPort5335_));
    auto* ownNote = new QLabel(tr("Orvan icons look like this and are always enabled."), subscribe);
    ownNote->setObjectName(QStringLiteral("ownBadgeNote"));
    subscribeLayout->addLayout(besideBadge(
        badgeLabel(subscribe, subscribeBadge(QColor(236, 112, 20), QStringLiteral("ORVAN"), true), "ownBadge"),
        ownNote));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(subscribe);
    layout->addStretch(1);

    connect(proxyButton_, &QPushButton::clicked, this, &CAdvancedOptionsPropPage::onProxyAuthentication);
    connect(port_, &QLineEdit::textChanged, this, &CAdvancedOptionsPropPage::onPortEdited);
}

CAdvancedOptionsPropPage::~CAdvancedOptionsPropPage() = default;

void CAdvancedOptionsPropPage::initDialog() {
    const GlobalOptions& options = GlobalOptions::instance();
    portHintShown_ = false;
    proxyAuth_.reset(tools::cloneHttpAuth(options.ProxyAuth.get()));
    loading_ = true;  // the page's own filling is no edit
    port_->setText(QString::number(options.AppPluginServerPortNo));
    scriptTimeout_->setText(QString::number(options.ScriptTimeout));
    loading_ = false;
    listenPort8888_->setChecked(options.ListenForPort8888Subscriptions);
    listenPort8900_->setChecked(options.ListenForPort8900Subscriptions);
    listenPort5335_->setChecked(options.ListenForPort5335Subscriptions);
}

void CAdvancedOptionsPropPage::onPortEdited() {
    if (loading_ || portHintShown_) return;
    portHintShown_ = true;
    CHintDlg("ChangePluginPort", this).DoModal();
}

void CAdvancedOptionsPropPage::onProxyAuthentication() {
    CHttpAuthDlg dialog(tr("Proxy Authentication"), proxyAuth_.get(), this);
    if (dialog.DoModal() == IDOK) proxyAuth_.reset(dialog.detachHttpAuth());
}

bool CAdvancedOptionsPropPage::onApply() {
    const GlobalOptions::IntKey portKey = GlobalOptions::intKey(&GlobalOptions::AppPluginServerPortNo);
    int port = 0;
    if (!validateNumberField(port_, "plugin port number", port, nullptr, true, portKey.entryMin, portKey.entryMax))
        return false;
    // The time-out is required: an empty field would store 0, which ends every
    // script at once.
    const GlobalOptions::IntKey timeoutKey = GlobalOptions::intKey(&GlobalOptions::ScriptTimeout);
    int timeout = 0;
    if (!validateNumberField(scriptTimeout_, "script timeout", timeout, nullptr, true, timeoutKey.entryMin,
                             timeoutKey.entryMax, "seconds"))
        return false;

    GlobalOptions& options = GlobalOptions::instance();
    try {
        options.AppPluginServerPortNo = port;
        options.ScriptTimeout = timeout;
        options.ListenForPort8888Subscriptions = listenPort8888_->isChecked();
        options.ListenForPort5335Subscriptions = listenPort5335_->isChecked();
        options.ListenForPort8900Subscriptions = listenPort8900_->isChecked();
        // The options get a copy: the page keeps its working one, so that a
        // second OK (after another page refused the first) installs it again.
        options.ProxyAuth.reset(tools::cloneHttpAuth(proxyAuth_.get()));
        saveGlobalOptions();
    } catch (const std::exception& error) {
        showSaveError(this, error);
        return false;
    }
    return true;
}

}  // namespace dialogs
