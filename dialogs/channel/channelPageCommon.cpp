#include "dialogs/channel/channelPageCommon.h"

#include <stdexcept>

#include <QPainter>

#include "app/core/programPaths.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelConfig.h"
#include "dialogs/base/messageBox.h"
#include "lib/misc/threadSafety.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "ui/channel/channelImage.h"
#include "ui/helpers/openers.h"

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
