#include "core/image/ZORVAK_Image.h"

#include "FileFixtures.h"
#include "ImageTestPictures.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QUrl>

namespace {

using namespace kova::test;

class ZORVAK_ImageTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.path() + QLatin1Char('/') + name;
        writeFile(path, bytes);
        return path;
    }

    ScratchFolder folder;
};

TEST_F(ZORVAK_ImageTest, SizesFollowTheOrientation)
{
    const QString path = write(QStringLiteral("six.jpg"), jpegWithOrientation(quadrants(40, 30), 6));
    const auto image = ZORVAK_Image::imageWithObject(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->orientation(), 6);
    EXPECT_EQ(image->size(), QSizeF(40, 30));
    EXPECT_EQ(image->orientedSize(), QSizeF(30, 40));
    EXPECT_EQ(ZORVAK_Image::orientedSizeForImage(QVariant(path)), QSizeF(30, 40));
    EXPECT_EQ(ZORVAK_Image::orientedSizeForImage(QVariant(QUrl::fromLocalFile(path))), QSizeF(30, 40));
    EXPECT_EQ(ZORVAK_Image::sizeForImage(QVariant(path)), QSizeF(40, 30));
    EXPECT_EQ(ZORVAK_Image::orientationForImage(path), 6);
    EXPECT_DOUBLE_EQ(ZORVAK_Image::rotationForImage(path).value_or(0), M_PI / 2);
    EXPECT_EQ(image->metaData().value(ImageSource::pixelWidthKey).toInt(), 40);

    image->setOrientationForced(1);
    EXPECT_EQ(image->orientation(), 1);
    EXPECT_EQ(image->orientationNatural(), 6);
    EXPECT_EQ(image->orientedSize(), QSizeF(40, 30));
    EXPECT_EQ(image->naturalOrientedSize(), QSizeF(30, 40));

    for (int orientation : {5, 7, 8}) {
        const QString mirrored = write(QStringLiteral("o%1.jpg").arg(orientation), jpegWithOrientation(quadrants(40, 30), orientation));
        EXPECT_EQ(ZORVAK_Image::orientedSizeForImage(QVariant(mirrored)), QSizeF(30, 40)) << orientation;
        EXPECT_EQ(ZORVAK_Image::imageWithObject(mirrored)->orientedSize(), QSizeF(30, 40)) << orientation;
    }
}

TEST_F(ZORVAK_ImageTest, BitmapsAndMetadataGivenAtConstruction)
{
    const ZORVAK_Image withOrientationOnly(quadrants(40, 30), QVariantMap{{ImageProperties::orientationKey, 8}});
    EXPECT_EQ(withOrientationOnly.size(), QSizeF(40, 30));
    EXPECT_EQ(withOrientationOnly.orientedSize(), QSizeF(30, 40));

    const ZORVAK_Image oddOrientation(quadrants(4, 2), QVariantMap{{ImageProperties::orientationKey, 42}});
    EXPECT_EQ(oddOrientation.orientation(), 1);

    const auto wrapped = ZORVAK_Image::imageWithObject(QVariant(quadrants(4, 2)));
    ASSERT_TRUE(wrapped);
    EXPECT_TRUE(wrapped->metaData().isEmpty());
    EXPECT_EQ(wrapped->orientation(), 1);
    EXPECT_FALSE(ZORVAK_Image::imageWithObject(QVariant(42)));
    EXPECT_FALSE(ZORVAK_Image::imageWithObject(folder.path() + QStringLiteral("/missing.jpg")));
    EXPECT_FALSE(ZORVAK_Image::imageWithObject(folder.path()));
}

TEST_F(ZORVAK_ImageTest, InputFromPathsUrlsAndData)
{
    const QByteArray png = encoded(quadrants(6, 4), "PNG");
    const QString path = write(QStringLiteral("q.png"), png);
    QVariantMap properties;
    const QImage image = ZORVAK_Image::createCGImageFromObject(QUrl::fromLocalFile(path), &properties);
    EXPECT_EQ(image.size(), QSize(6, 4));
    EXPECT_EQ(properties.value(ImageSource::pixelHeightKey).toInt(), 4);
    EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::SRgb));

    int replies = 0;
    ZORVAK_Image::imageFromObject(png, [&](const QImage& picture, int index, const QVariantMap& pictureProperties) {
        EXPECT_EQ(index, replies++);
        EXPECT_EQ(picture.pixelColor(0, 0), red);
        EXPECT_EQ(pictureProperties.value(ImageSource::pixelWidthKey).toInt(), 6);
    });
    EXPECT_EQ(replies, 1);
    ZORVAK_Image::imageFromObject(QByteArray("nonsense"), [&](const QImage&, int, const QVariantMap&) { ++replies; });
    EXPECT_EQ(replies, 1);
}

TEST_F(ZORVAK_ImageTest, EmbeddedProfilesAreConvertedToSRGB)
{
    QImage wide(4, 4, QImage::Format_RGB32);
    wide.fill(QColor(200, 100, 50));
    wide.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const auto image = ZORVAK_Image::imageWithObject(encoded(wide, "PNG"));
    ASSERT_TRUE(image);
    const QImage decoded = image->cgImage();
    EXPECT_EQ(decoded.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_GT(decoded.pixelColor(1, 1).red(), 200); // the same colour needs more red in the smaller space
}

// However the decoder reduces a JPEG on the way (any eighth of its size, or
// half of it and the rest smoothly), the picture comes at the size asked for.
TEST_F(ZORVAK_ImageTest, ReducedDecodingGivesTheSizeAskedFor)
{
    const auto source = ImageSource::create(encoded(quadrants(1600, 1200), "JPEG"));
    ASSERT_TRUE(source);
    for (const QSize asked : {QSize(150, 110), QSize(560, 420), QSize(500, 420), QSize(800, 600), QSize(950, 700)}) {
        SCOPED_TRACE(asked.width());
        const QImage decoded = source->createImage(0, asked);
        ASSERT_EQ(decoded.size(), asked);
        EXPECT_TRUE(near(decoded.pixelColor(3, 3), red));
        EXPECT_TRUE(near(decoded.pixelColor(asked.width() - 4, 3), green));
        EXPECT_TRUE(near(decoded.pixelColor(3, asked.height() - 4), blue));
        EXPECT_TRUE(near(decoded.pixelColor(asked.width() - 4, asked.height() - 4), yellow));
    }
}

TEST_F(ZORVAK_ImageTest, DamagedAndOversizedFilesFailCleanly)
{
    EXPECT_FALSE(ZORVAK_Image::imageWithObject(QByteArray("\x89PNG\r\n\x1a\n garbage", 17)));
    EXPECT_FALSE(ZORVAK_Image::imageWithObject(QByteArray()));

    const QByteArray jpeg = encoded(quadrants(64, 48), "JPEG");
    const auto truncated = ZORVAK_Image::imageWithObject(jpeg.left(jpeg.size() / 2));
    if (truncated) { // decoders may give what they have; it must be whole in size or nothing
        const QImage picture = truncated->cgImage();
        EXPECT_TRUE(picture.isNull() || picture.size() == QSize(64, 48));
    }

    // A PNG header claiming 100000 x 100000 pixels (40 GB) with no pixels behind it.
    QByteArray header("IHDR");
    for (quint32 value : {100000u, 100000u})
        header.append(char(value >> 24)).append(char(value >> 16)).append(char(value >> 8)).append(char(value));
    header.append("\x08\x06\x00\x00\x00", 5);
    quint32 crc = 0xFFFFFFFF;
    for (char byte : header) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    QByteArray bmp = QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\x0d", 12) + header;
    bmp.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    bmp.append(QByteArray("\x00\x00\x00\x00IDAT", 8));
    const auto huge = ZORVAK_Image::imageWithObject(bmp);
    ASSERT_TRUE(huge);
    {
        EXPECT_EQ(huge->size(), QSizeF(100000, 100000));
        EXPECT_TRUE(huge->cgImage().isNull());
        huge->drawingContextWithCanvasSize(QSizeF(10, 10));
        huge->draw(); // nothing to draw, nothing allocated
    }
    EXPECT_TRUE(ZORVAK_Image::previewImageWithObject(bmp) == nullptr);
}

TEST_F(ZORVAK_ImageTest, CanvasesAreMadeOnlyOfSensibleSizes)
{
    ZORVAK_Image image;
    EXPECT_FALSE(image.drawingContextWithCanvasSize(QSizeF(0, 10)));
    EXPECT_FALSE(image.drawingContext());
    EXPECT_EQ(image.drawingContextSize(), QSizeF(0, 0));
    EXPECT_FALSE(image.drawingContextWithCanvasSize(QSizeF(40000, 10)));
    EXPECT_FALSE(image.drawingContextWithCanvasSize(QSizeF(20000, 20000)));

    const auto context = image.drawingContextWithCanvasSize(QSizeF(12.9, 7.2));
    ASSERT_TRUE(context);
    EXPECT_EQ(image.drawingContextSize(), QSizeF(12, 7));
    const QImage snapshot = context->createImage();
    EXPECT_EQ(snapshot.format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(snapshot.colorSpace(), QColorSpace(QColorSpace::SRgb));
    context->painter()->fillRect(QRectF(0, 0, 12, 7), Qt::red);
    EXPECT_EQ(snapshot.pixelColor(0, 0).alpha(), 0); // the snapshot kept what it saw
    EXPECT_EQ(context->createImage().pixelColor(0, 0), red);
}

TEST_F(ZORVAK_ImageTest, PreviewsAreUprightBoundedAndRemadeWhenTheFileChanges)
{
    const QString path = write(QStringLiteral("big.jpg"), jpegWithOrientation(quadrants(2400, 1200), 6));
    const auto first = ZORVAK_Image::previewImageWithObject(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), QSizeF(500, 1000));
    EXPECT_EQ(first->orientation(), 1);
    EXPECT_TRUE(near(first->cgImage().pixelColor(10, 10), blue)); // stored bottom left turns to the top left
    EXPECT_TRUE(near(first->cgImage().pixelColor(490, 10), red));

    const auto second = ZORVAK_Image::previewImageWithObject(QUrl::fromLocalFile(path));
    EXPECT_EQ(second->cgImage().cacheKey(), first->cgImage().cacheKey());

    write(QStringLiteral("big.jpg"), encoded(quadrants(300, 200), "JPEG"));
    const auto changed = ZORVAK_Image::previewImageWithObject(path);
    EXPECT_EQ(changed->size(), QSizeF(300, 200));
    EXPECT_FALSE(ZORVAK_Image::previewImageWithObject(QVariant(quadrants(4, 4))));
}

TEST_F(ZORVAK_ImageTest, NormalizedGeometry)
{
    EXPECT_EQ(ZORVAK_Image::normalizedPoint(QPointF(50, 20), QSizeF(100, 0)), QPointF(0, 0));
    EXPECT_EQ(ZORVAK_Image::normalizedPoint(QPointF(50, 20), QSizeF(100, 40)), QPointF(0.5, 0.5));
    EXPECT_EQ(ZORVAK_Image::normalizedRect(QRectF(10, 20, 30, 40), QSizeF(100, 200)), QRectF(0.1, 0.1, 0.3, 0.2));
    EXPECT_EQ(ZORVAK_Image::normalizedRect(QRectF(10, 20, 30, 40), QSizeF(0, 200)), QRectF());
    EXPECT_EQ(ZORVAK_Image::denormalizedRect(QRectF(0.5, 0, 0.5, 1), QSizeF(80, 60)), QRectF(40, 0, 40, 60));
    EXPECT_EQ(ZORVAK_Image::denormalizedPoint(QPointF(0.5, 0.25), QSizeF(80, 60)), QPointF(40, 15));
}

} // namespace
