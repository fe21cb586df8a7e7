#include "widgets/helpers/channelImage.h"

#include <stdexcept>

#include <QPainter>

#include "app/settings/channelDesktopSettings.h"

namespace {

// The default picture: a small page with three lines of text on it.
QImage makeDefaultPicture() {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(QColor(0xF4, 0xF4, 0xF0));
    p.drawRect(2, 1, 11, 13);
    p.setPen(QColor(0x30, 0x60, 0xA0));
    for (int y = 4; y <= 10; y += 3) p.drawLine(4, y, 11, y);
    return image;
}

}  // namespace

ChannelImage::ChannelImage(const std::vector<unsigned char>& imageBytes, std::int32_t preferredWidth,
                           std::int32_t preferredHeight) {
    if (imageBytes.empty() || !image_.loadFromData(imageBytes.data(), static_cast<int>(imageBytes.size())) ||
        image_.isNull()) {
        throw std::runtime_error("Can't load the image.");
    }
    width_ = image_.width();
    height_ = image_.height();
    displayWidth_ = preferredWidth < 1 ? width_ : preferredWidth;
    displayHeight_ = preferredHeight < 1 ? height_ : preferredHeight;
}

ChannelImage::ChannelImage() : image_(makeDefaultPicture()) {
    width_ = displayWidth_ = image_.width();
    height_ = displayHeight_ = image_.height();
}

void ChannelImage::draw(QPainter& painter, const QRect& rect) const {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(rect, image_, image_.rect());
    painter.restore();
}

void installChannelImageFactory() {
    setChannelImageFactory(
        [](const std::vector<unsigned char>* bytes, int width, int height) -> std::shared_ptr<ChannelImage> {
            if (bytes == nullptr) return std::make_shared<ChannelImage>();
            return std::make_shared<ChannelImage>(*bytes, width, height);
        });
}
