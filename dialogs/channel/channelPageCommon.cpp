#include "dialogs/channel/channelPageCommon.h"

#include <stdexcept>

#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>

#include "app/core/programPaths.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "widgets/base/messageBox.h"
#include "lib/misc/threadSafety.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "widgets/helpers/channelImage.h"
#include "widgets/helpers/openers.h"
#include "widgets/controls/linkButton.h"
#include "widgets/controls/paramsGrid.h"

namespace dialogs {

QString notesText(const std::string& notes) {
    QString text = qs(notes);
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return text;
}

void drawChannelImage(QPainter& painter, const QRect& itemRect, channels::Channel* channel) {
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
    if (!settings) return;
    std::shared_ptr<ChannelImage> image;
    {
        SharedLockGuard guard(&settings->getLock(), __FILE__, __LINE__);
        image = settings->getChannelImage();
    }
    if (!image || image->getWidth() < 1 || image->getHeight() < 1) return;
    const double ratio = static_cast<double>(image->getWidth()) / image->getHeight();
    int width, height;
    if (ratio <= 1.0) {
        height = itemRect.height();
        width = static_cast<int>(height * ratio);
    } else {
        width = itemRect.width();
        height = static_cast<int>(width / ratio);
    }
    while (width > itemRect.width() || height > itemRect.height()) {
        --width;
        --height;
    }
    if (width < 3 || height < 3) return;
    const QRect target(itemRect.topLeft(), QSize(width, height));
    image->draw(painter, target.adjusted(1, 1, -1, -1));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(target.adjusted(0, 0, -1, -1));
}

void openChannelHomePage(channels::Channel* channel, QWidget* parent) {
    if (!channel) return;
    std::string home = channel->getChannelConfig().getHomeUrl();
    if (home.empty()) return;
    if (getDebugSwitch("DisableInternet")) {
        showMessage(parent, qs(home));
        return;
    }
    openItem(home);
}

void saveChannelConfig(channels::Channel& channel) {
    const std::string file = channel.getConfigFilename();
    // The file's write lock before the configuration's, as a channel save takes them.
    platform::profile::WriteBatch batch(file);
    channel.getChannelConfig().save(file);
    if (!batch.commit())
        throw std::runtime_error("Can't write the channel file " + file + ": " + platform::files::lastErrorText());
}

AuthorDetails::AuthorDetails(QWidget* parent)
    : author(new QLabel(parent)), email(new LinkButton(parent)), notes(new QPlainTextEdit(parent)) {
    author->setObjectName(QStringLiteral("authorLabel"));
    email->setObjectName(QStringLiteral("emailLink"));
    notes->setObjectName(QStringLiteral("notesEdit"));
    notes->setReadOnly(true);
}

void AuthorDetails::addRows(QFormLayout* form) const {
    form->addRow(QObject::tr("Author:"), author);
    form->addRow(QObject::tr("Email:"), email);
    form->addRow(QObject::tr("Notes:"), notes);
}

void AuthorDetails::show(const std::string& authorName, const std::string& address, const std::string& mailSubject,
                         const std::string& definitionNotes) const {
    author->setText(qs(authorName));
    setupEmailLinkButton(email, address, mailSubject);
    notes->setPlainText(notesText(definitionNotes));
}

ParamsGrid* makeParamsGrid(QWidget* parent) {
    auto* grid = new ParamsGrid(parent);
    grid->setObjectName(QStringLiteral("paramsGrid"));
    return grid;
}

ChannelImageButton::ChannelImageButton(QWidget* parent) : QPushButton(parent) {
    setObjectName(QStringLiteral("channelImageButton"));
    setFixedSize(53, 49);  // 35 x 30 dialog units
    setFlat(true);
}

void ChannelImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (channel_) drawChannelImage(painter, rect(), channel_);
}

std::string& rememberedMediaDirectory() {
    static std::string directory;
    return directory;
}

}  // namespace dialogs
