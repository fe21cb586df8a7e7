#include "dialogs/channel/channelErrorsPage.h"

#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "dialogs/channel/channelPageCommon.h"
#include "widgets/helpers/openers.h"

namespace dialogs {

CChannelErrorsPropPage::CChannelErrorsPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("Errors"));
    setObjectName(QStringLiteral("channelErrorsPage"));
    errorLog_ = new QTextEdit(this);
    errorLog_->setObjectName(QStringLiteral("errorLog"));
    errorLog_->setReadOnly(true);
    errorLog_->setAcceptRichText(false);
    errorLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lastFeedButton_ = new QPushButton(tr("Last &feed"), this);
    lastFeedButton_->setObjectName(QStringLiteral("lastFeedButton"));
    auto* label = new QLabel(tr("&Error log:"), this);
    label->setBuddy(errorLog_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(errorLog_, 1);
    layout->addWidget(lastFeedButton_, 0, Qt::AlignRight);
    connect(lastFeedButton_, &QPushButton::clicked, this, [this] {
        if (channel_) showLastFeed(channel_);
    });
}

void CChannelErrorsPropPage::initDialog() {
    const GlobalOptions& options = GlobalOptions::instance();
    QFont font(qs(options.ErrorLogFontName));
    if (options.ErrorLogFontSize > 0) font.setPointSize(options.ErrorLogFontSize);
    errorLog_->setFont(font);
    if (ChannelDesktopSettings* settings = getChannelDesktopSettings(channel_))
        errorLog_->setPlainText(qs(settings->getChannelErrorText()).remove(QLatin1Char('\r')));
}

void CChannelErrorsPropPage::onPostInitDialog() {
    QTextCursor cursor = errorLog_->textCursor();
    cursor.movePosition(QTextCursor::Start);
    errorLog_->setTextCursor(cursor);
}

}  // namespace dialogs
