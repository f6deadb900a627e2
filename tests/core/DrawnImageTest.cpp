// Pictures decoded as they are drawn: turned upright exactly, and scaled from a
// reduced decoding of only the part drawn, close to a full decoding scaled.

#include "core/image/ImageOrientation.h"
#include "core/image/ImageSource.h"
#include "core/image/ZORVAK_Image.h"

#include "ImageTestPictures.h"

#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

using kova::test::blue;
using kova::test::green;
using kova::test::red;
using kova::test::yellow;

// Mean absolute difference per channel of two pictures of the same size.
double meanDifference(const QImage& first, const QImage& second)
{
    const QImage a = first.convertToFormat(QImage::Format_RGBX8888);
    const QImage b = second.convertToFormat(QImage::Format_RGBX8888);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width() * 4; ++x) {
            if (x % 4 != 3)
                sum += std::abs(int(a.constScanLine(y)[x]) - int(b.constScanLine(y)[x]));
        }
    }
    return sum / (double(a.width()) * a.height() * 3);
}

// Smooth colours with fine detail, as photos have.
QImage photoLike(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int wave = int(40 * std::sin(x / 7.0) * std::cos(y / 11.0));
            picture.setPixel(x, y, qRgb(std::clamp(x * 255 / width + wave, 0, 255), std::clamp(y * 255 / height - wave, 0, 255), 128 + wave));
        }
    }
    return picture;
}

struct Upright {
    int orientation;
    std::array<QColor, 4> corners; // top left, top right, bottom left, bottom right
};

// The quadrants picture (top left red, top right green, bottom left blue,
// bottom right yellow, as stored) read upright for every orientation.
const Upright uprights[] = {
    {1, {red, green, blue, yellow}},  {2, {green, red, yellow, blue}}, {3, {yellow, blue, green, red}},
    {4, {blue, yellow, red, green}},  {5, {red, blue, green, yellow}}, {6, {blue, red, yellow, green}},
    {7, {yellow, green, blue, red}},  {8, {green, yellow, red, blue}},
};

// Every pixel moves exactly where the orientation's transform puts it: turns
// and mirrors never resample.
TEST(DrawnImageTest, QuarterTurnsAndMirrorsMoveEveryPixelExactly)
{
    QImage stored(7, 4, QImage::Format_RGBX8888);
    QRandomGenerator random(17);
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x)
            stored.setPixel(x, y, random.generate() | 0xFF000000u);
    }
    for (const Upright& expected : uprights) {
        const QImage upright = ImageOrientation::upright(stored, expected.orientation);
        ASSERT_EQ(QSizeF(upright.size()), ImageOrientation::oriented(QSizeF(stored.size()), expected.orientation));
        const QTransform toStored = ImageOrientation::transform(QSizeF(stored.size()), expected.orientation).inverted();
        for (int y = 0; y < upright.height(); ++y) {
            for (int x = 0; x < upright.width(); ++x) {
                const QPointF source = toStored.map(QPointF(x + 0.5, y + 0.5));
                ASSERT_EQ(upright.pixel(x, y), stored.pixel(int(source.x()), int(source.y())))
                    << "orientation " << expected.orientation << " at " << x << ", " << y;
            }
        }
    }
}

// Pictures large enough to be turned in pooled memory, a tile at a time, come
// out as Qt turns them, whatever their format of 4-byte pixels and however
// their sides fall on the tiles.
TEST(DrawnImageTest, LargePicturesTurnAsQtTurnsThem)
{
    struct Case {
        QSize size;
        QImage::Format format;
    };
    const Case cases[] = {{QSize(333, 257), QImage::Format_RGBX8888},
                          {QSize(256, 320), QImage::Format_ARGB32_Premultiplied},
                          {QSize(301, 290), QImage::Format_RGBA8888_Premultiplied}};
    const std::pair<int, int> turns[] = {{5, 90}, {6, 90}, {7, 90}, {8, 270}};
    QRandomGenerator random(23);
    for (const Case& each : cases) {
        QImage stored(each.size, each.format);
        for (int y = 0; y < stored.height(); ++y) {
            for (int x = 0; x < stored.width(); ++x)
                stored.setPixel(x, y, random.generate() | 0xFF000000u);
        }
        for (const auto& [orientation, degrees] : turns) {
            const QImage expected = stored.mirrored(orientation == 7, orientation == 5).transformed(QTransform().rotate(degrees));
            const QImage upright = ImageOrientation::upright(stored, orientation);
            EXPECT_EQ(upright.format(), each.format);
            EXPECT_EQ(upright, expected) << "orientation " << orientation << " of " << each.size.width() << " x "
                                         << each.size.height();
        }
    }
}

// A picture rotated by whole quarter turns (either way, and with an
// orientation of its own) draws what the picture turned beforehand draws in the
// turned rectangle about the same centre.
TEST(DrawnImageTest, QuarterTurnRotationsDrawTheTurnedPicture)
{
    QImage picture(20, 12, QImage::Format_RGBA8888_Premultiplied);
    QRandomGenerator random(5);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, random.generate() | 0xFF000000u);
    }
    const auto draw = [](ZORVAK_Image& image, const QRectF& rect) {
        ZORVAK_Image owner;
        image.setDrawingContext(owner.drawingContextWithCanvasSize(QSizeF(40, 40)));
        image.setDestinationRect(rect);
        image.draw();
        return image.drawingContext()->createImage();
    };
    struct Turn {
        int quarterTurns;
        int orientation;
        int turnedOrientation; // the orientation that shows the rotated picture
    };
    for (const Turn& turn : {Turn{1, 1, 6}, Turn{2, 1, 3}, Turn{3, 1, 8}, Turn{-1, 1, 8}, Turn{1, 6, 3}, Turn{1, 2, 7}}) {
        const QVariantMap orientation{{ImageProperties::orientationKey, turn.orientation}};
        ZORVAK_Image rotated(picture, orientation);
        rotated.setRotation(turn.quarterTurns * std::numbers::pi / 2);
        const bool swaps = ImageOrientation::swapsSides(turn.orientation);
        const QRectF rect(10, 14, swaps ? 12 : 20, swaps ? 20 : 12);
        ZORVAK_Image turned(picture, QVariantMap{{ImageProperties::orientationKey, turn.turnedOrientation}});
        const bool turnedSwaps = ImageOrientation::swapsSides(turn.turnedOrientation);
        const QRectF turnedRect(rect.center() - QPointF(turnedSwaps ? 6 : 10, turnedSwaps ? 10 : 6),
                                QSizeF(turnedSwaps ? 12 : 20, turnedSwaps ? 20 : 12));
        EXPECT_EQ(draw(rotated, rect), draw(turned, turnedRect)) << turn.quarterTurns << " turns of orientation " << turn.orientation;
        EXPECT_EQ(ImageOrientation::turnedClockwise(turn.orientation, turn.quarterTurns), turn.turnedOrientation);
    }
}

// A JPEG stored with each orientation is drawn upright at a reduced size.
TEST(DrawnImageTest, JpegsAreDrawnUprightForEveryOrientation)
{
    for (const Upright& expected : uprights) {
        const auto source = ImageSource::create(kova::test::jpegWithOrientation(kova::test::quadrants(400, 240), expected.orientation));
        ASSERT_TRUE(source);
        const QSize drawn = ImageOrientation::swapsSides(expected.orientation) ? QSize(60, 100) : QSize(100, 60);
        const QImage image = source->createDrawnImage(QRectF(0, 0, 400, 240), drawn, expected.orientation);
        ASSERT_EQ(image.size(), drawn) << expected.orientation;
        const QPoint corners[4] = {{5, 5}, {drawn.width() - 6, 5}, {5, drawn.height() - 6}, {drawn.width() - 6, drawn.height() - 6}};
        for (int corner = 0; corner < 4; ++corner) {
            EXPECT_TRUE(kova::test::near(image.pixelColor(corners[corner]), expected.corners[size_t(corner)]))
                << "orientation " << expected.orientation << " corner " << corner;
        }
    }
}

// Part of a picture decoded at a reduced size and scaled once matches the whole
// picture decoded, cut and scaled, within what resampling changes; for JPEGs
// (decoded in eighths, only the part) and for other pictures alike.
TEST(DrawnImageTest, PartsDecodedAsDrawnMatchFullDecoding)
{
    struct Case {
        const char* format;
        QRectF part;
        QSize drawn;
    };
    const Case cases[] = {
        {"JPEG", QRectF(0, 0, 1200, 900), QSize(300, 225)},        // a quarter, whole picture
        {"JPEG", QRectF(337.5, 0, 525, 900), QSize(210, 360)},     // centre cut at 3/8 of its size
        {"JPEG", QRectF(601, 451, 598, 448), QSize(450, 337)},     // a corner at three quarters
        {"PNG", QRectF(100.25, 80.5, 700, 500), QSize(350, 250)},  // no reduced decoding
    };
    const QImage picture = photoLike(1200, 900);
    for (const Case& each : cases) {
        const auto source = ImageSource::create(kova::test::encoded(picture, each.format));
        ASSERT_TRUE(source);
        const QImage drawn = source->createDrawnImage(each.part, each.drawn, 1);
        ASSERT_EQ(drawn.size(), each.drawn) << each.format;
        const QImage reference = source->createImage()
                                     .copy(each.part.toAlignedRect())
                                     .scaled(each.drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(meanDifference(drawn, reference), 2.0) << each.format << " part at " << each.part.x();
    }
}

} // namespace
