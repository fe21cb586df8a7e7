#pragma once
// A channel's picture, ready to draw: built from the image bytes the engine
// cached (any format Qt's image plug-ins read) or the program's default
// picture, with its own size and the size the channel wants it shown at.
//
//   ChannelImage image(bytes, 88, 31);       // throws on bytes that are no image
//   image.draw(painter, rect);               // stretched to fill rect exactly
#include <cstdint>
#include <vector>

#include <QImage>
#include <QRect>

class QPainter;

class ChannelImage {
public:
    // Display size: the preferred size; a preferred width or height below 1
    // takes the picture's own. Throws std::runtime_error "Can't load the
    // image." when the bytes are not a picture.
    ChannelImage(const std::vector<unsigned char>& imageBytes, std::int32_t preferredWidth,
                 std::int32_t preferredHeight);
    // The program's default channel picture.
    ChannelImage();
    virtual ~ChannelImage() = default;
    ChannelImage(const ChannelImage&) = delete;
    ChannelImage& operator=(const ChannelImage&) = delete;

    std::int32_t getWidth() const { return width_; }
    std::int32_t getHeight() const { return height_; }
    std::int32_t getDisplayWidth() const { return displayWidth_; }
    std::int32_t getDisplayHeight() const { return displayHeight_; }
    const QImage& getImage() const { return image_; }

    // Draws the whole picture stretched into rect, smoothly.
    void draw(QPainter& painter, const QRect& rect) const;

private:
    QImage image_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t displayWidth_ = 0;
    std::int32_t displayHeight_ = 0;
};

// Makes ChannelDesktopSettings::getChannelImage build ChannelImage objects;
// start-up calls it once.
void installChannelImageFactory();
