// The channel picture: built from image bytes or the default, its display
// size, stretched drawing, and the desktop settings' cache of it.
#include <QBuffer>
#include <QPainter>
#include <QTest>

#include "widgets/helpers/channelImage.h"
#include "app/settings/channelDesktopSettings.h"

static std::vector<unsigned char> pngBytes(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::vector<unsigned char>(data.begin(), data.end());
}

class ChannelImageTest : public QObject {
    Q_OBJECT
private slots:
    void displaySize_data() {
        QTest::addColumn<int>("preferredWidth");
        QTest::addColumn<int>("preferredHeight");
        QTest::addColumn<QSize>("display");
        QTest::newRow("own size") << 0 << 0 << QSize(40, 20);
        QTest::newRow("preferred") << 88 << 31 << QSize(88, 31);
        QTest::newRow("width only") << 10 << -1 << QSize(10, 20);
    }
    void displaySize() {
        QFETCH(int, preferredWidth);
        QFETCH(int, preferredHeight);
        QFETCH(QSize, display);
        ChannelImage image(pngBytes(40, 20, Qt::red), preferredWidth, preferredHeight);
        QCOMPARE(QSize(image.getWidth(), image.getHeight()), QSize(40, 20));
        QCOMPARE(QSize(image.getDisplayWidth(), image.getDisplayHeight()), display);
    }
    void bytesThatAreNoPicture() {
        for (const std::string& junk :
             {std::string(), std::string("GIF89a but not really"), std::string(200, '\xff')}) {
            try {
                ChannelImage image(std::vector<unsigned char>(junk.begin(), junk.end()), 0, 0);
                QFAIL("no exception");
            } catch (const std::runtime_error& e) {
                QCOMPARE(QString(e.what()), QString("Can't load the image."));
            }
        }
    }
    void drawingStretchesToTheRectangle() {
        ChannelImage image(pngBytes(10, 10, Qt::blue), 0, 0);
        QImage target(60, 20, QImage::Format_RGB32);
        target.fill(Qt::white);
        {
            QPainter painter(&target);
            image.draw(painter, QRect(0, 0, 60, 20));
        }
        for (QPoint p : {QPoint(0, 0), QPoint(59, 0), QPoint(0, 19), QPoint(59, 19), QPoint(30, 10)}) {
            QCOMPARE(QColor(target.pixel(p)), QColor(Qt::blue));
        }
    }
    void settingsFallBackToTheDefaultPicture() {
        installChannelImageFactory();
        ChannelDesktopSettings settings(nullptr);
        std::shared_ptr<ChannelImage> image = settings.getChannelImage();
        QVERIFY(image != nullptr);
        QVERIFY(!image->getImage().isNull());
        QCOMPARE(settings.getChannelImage(), image);  // cached
        setChannelImageFactory(nullptr);
    }
};

QTEST_MAIN(ChannelImageTest)
#include "channel_image_qtest.moc"
