// The JPEG encoder writes what Qt's writer writes for the same picture, pixels
// and resolution and profile, whatever 4-byte layout the picture has.

#include "core/image/JpegEncoder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Opaque colours with a translucent band across the middle.
QImage canvas(QImage::Format format)
{
    QImage image(96, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(30, 120, 200));
    QPainter painter(&image);
    painter.fillRect(0, 0, 48, 64, QColor(220, 40, 90));
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 24, 96, 16, QColor(250, 200, 20, 120));
    painter.end();
    QImage converted = image.convertToFormat(format);
    converted.setColorSpace(QColorSpace::SRgb);
    converted.setDotsPerMeterX(11811); // 300 dpi
    converted.setDotsPerMeterY(11811);
    return converted;
}

QImage decoded(const QByteArray& jpeg)
{
    QBuffer buffer;
    buffer.setData(jpeg);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.read();
}

// What Qt wrote for these formats before: RGBA converted to 32-bit RGB first,
// ARGB as it is.
QByteArray writtenByQt(const QImage& image)
{
    const bool rgba = image.format() == QImage::Format_RGBA8888_Premultiplied || image.format() == QImage::Format_RGBA8888
        || image.format() == QImage::Format_RGBX8888;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.write(rgba ? image.convertToFormat(QImage::Format_RGB32) : image);
    return bytes;
}

TEST(JpegEncoderTest, WritesWhatQtsWriterWritesForEveryFourByteLayout)
{
    for (const QImage::Format format : {QImage::Format_RGBA8888_Premultiplied, QImage::Format_RGBA8888, QImage::Format_RGBX8888,
                                        QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied}) {
        const QImage image = canvas(format);
        ASSERT_TRUE(JpegEncoder::takes(image));
        const auto encoded = JpegEncoder::encode(image, 90);
        ASSERT_TRUE(encoded) << format;
        const QImage ours = decoded(*encoded);
        const QImage qts = decoded(writtenByQt(image));
        ASSERT_EQ(ours.size(), image.size()) << format;
        EXPECT_EQ(ours.convertToFormat(QImage::Format_RGB32), qts.convertToFormat(QImage::Format_RGB32)) << format;
        EXPECT_EQ(ours.colorSpace(), QColorSpace(QColorSpace::SRgb)) << format;
        EXPECT_EQ(ours.dotsPerMeterX(), qts.dotsPerMeterX()) << format;
    }
    EXPECT_FALSE(JpegEncoder::takes(QImage(8, 8, QImage::Format_Grayscale8)));
    EXPECT_FALSE(JpegEncoder::encode(QImage(), 90));
}

} // namespace
