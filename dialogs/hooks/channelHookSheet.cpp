#include "dialogs/hooks/channelHookSheet.h"

#include <fstream>
#include <sstream>

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "channels/hooks/channelHook.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/windowPlacement.h"
#include "dialogs/channel/channelPageCommon.h"
#include "lib/misc/threadSafety.h"
#include "tools/tempFile.h"
#include "widgets/helpers/openers.h"
#include "widgets/controls/linkButton.h"
#include "widgets/controls/paramsGrid.h"

namespace dialogs {

namespace {

constexpr int kMargin = 15;

QVBoxLayout* pageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    return layout;
}

}  // namespace

CChannelHookDetailsPropPage::CChannelHookDetailsPropPage(channels::ChannelHook* hook, QWidget* parent)
    : CResizablePropertyPage(parent), hook_(hook), author_(this) {
    setWindowTitle(tr("Details"));
    setObjectName(QStringLiteral("hookDetailsPage"));
    auto* form = new QFormLayout;
    author_.addRows(form);
    pageLayout(this)->addLayout(form, 1);
}

void CChannelHookDetailsPropPage::initDialog() {
    author_.show(hook_->getAuthorName(), hook_->getAuthorEmailAddress(),
                 programPaths().appName + ": " + hook_->getDisplayName() + " channel hook.", hook_->getNotes());
}

CChannelHookParamsPropPage::CChannelHookParamsPropPage(channels::ChannelHook* hook, QWidget* parent)
    : CResizablePropertyPage(parent), hook_(hook) {
    setWindowTitle(tr("Parameters"));
    setObjectName(QStringLiteral("hookParamsPage"));
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("nameEdit"));
    grid_ = makeParamsGrid(this);
    auto* form = new QFormLayout;
    form->addRow(tr("&Name:"), nameEdit_);
    QVBoxLayout* layout = pageLayout(this);
    layout->addLayout(form);
    layout->addWidget(grid_, 1);
}

void CChannelHookParamsPropPage::initDialog() {
    nameEdit_->setText(qs(hook_->getDisplayName()));
    channels::ParamValues values;
    hook_->getChannelParams(defs_, values);
    buildParamsGrid(grid_, defs_, values);
}

bool CChannelHookParamsPropPage::onApply() {
    const QString name = nameEdit_->text().trimmed();
    if (name.isEmpty()) {
        nameEdit_->setFocus();
        showMessage(this, tr("You must enter a name for this channel hook."));
        return false;
    }
    hook_->setDisplayName(ss(name));
    channels::ParamValues values;
    readParamsGrid(grid_, values);
    hook_->setChannelParamValues(values);
    return CResizablePropertyPage::onApply();
}

CChannelHookLogPropPage::CChannelHookLogPropPage(channels::ChannelHook* hook, QWidget* parent)
    : CResizablePropertyPage(parent), hook_(hook) {
    setWindowTitle(tr("Log"));
    setObjectName(QStringLiteral("hookLogPage"));
    enableLogCheck_ = new QCheckBox(tr("&Enable logging"), this);
    enableLogCheck_->setObjectName(QStringLiteral("enableLogCheck"));
    logText_ = new QTextEdit(this);
    logText_->setObjectName(QStringLiteral("logText"));
    logText_->setReadOnly(true);
    logText_->setAcceptRichText(false);
    QVBoxLayout* layout = pageLayout(this);
    layout->addWidget(enableLogCheck_);
    layout->addWidget(logText_, 1);
}

void CChannelHookLogPropPage::initDialog() {
    const GlobalOptions& options = GlobalOptions::instance();
    QFont font(qs(options.ErrorLogFontName));
    if (options.ErrorLogFontSize > 0) font.setPointSize(options.ErrorLogFontSize);
    logText_->setFont(font);
    enableLogCheck_->setChecked(hook_->isLogEnabled());
    std::string text;
    {
        ExclusiveLockGuard guard(&hook_->getLock(), __FILE__, __LINE__);
        std::ifstream in(hook_->getLogFile().getFilename(), std::ios::binary);
        if (in) {
            std::ostringstream all;
            all << in.rdbuf();
            text = all.str();
        }
    }
    logText_->setPlainText(qs(text));
}

void CChannelHookLogPropPage::onPostInitDialog() {
    logText_->setFocus();
    QTextCursor cursor = logText_->textCursor();
    cursor.movePosition(QTextCursor::Start);
    logText_->setTextCursor(cursor);
}

bool CChannelHookLogPropPage::onApply() {
    hook_->enableLog(enableLogCheck_->isChecked());
    return CResizablePropertyPage::onApply();
}

CChannelHookPropSheet::CChannelHookPropSheet(channels::ChannelHook* hook, QWidget* parent, int firstPage)
    : CResizablePropertySheet(qs(hook->getDisplayName()), parent, firstPage), hook_(hook) {
    setObjectName(QStringLiteral("channelHookPropSheet"));
    addPage(new CChannelHookDetailsPropPage(hook, this));
    addPage(new CChannelHookParamsPropPage(hook, this));
    addPage(new CGlobalChannelHookParamsPropPage(hook, this));
    addPage(new CChannelHookLogPropPage(hook, this));
}

void CChannelHookPropSheet::initDialog() {
    CResizablePropertySheet::initDialog();
    positionDialog(this, parentWidget() ? parentWidget()->window() : nullptr);
}

}  // namespace dialogs
