#include "core/image/ZORVAK_Image.h"
#include "core/text/FontResolver.h"

#include "FileFixtures.h"
#include "ImageTestPictures.h"

#include <gtest/gtest.h>

#include <numbers>
#include <thread>

namespace {

using namespace kova::test;

const QColor transparent(0, 0, 0, 0);

// Draws `image` into a fresh canvas of `canvas` and returns the pixels.
QImage render(ZORVAK_Image& image, QSize canvas)
{
    ZORVAK_Image owner;
    image.setDrawingContext(owner.drawingContextWithCanvasSize(QSizeF(canvas)));
    image.draw();
    return image.drawingContext()->createImage();
}

TEST(ZORVAK_ImageDrawingTest, EveryOrientationIsDrawnUpright)
{
    // Upright colours of the quadrants top left, top right, bottom left, bottom right.
    const QList<QList<QColor>> upright = {
        {red, green, blue, yellow}, {green, red, yellow, blue}, {yellow, blue, green, red}, {blue, yellow, red, green},
        {red, blue, green, yellow}, {blue, red, yellow, green}, {yellow, green, blue, red}, {green, yellow, red, blue},
    };
    for (int orientation = 1; orientation <= 8; ++orientation) {
        ZORVAK_Image image(quadrants(40, 20), QVariantMap{{ImageProperties::orientationKey, orientation}});
        const QSize size = image.orientedSize().toSize();
        const QImage canvas = render(image, size);
        const int w = size.width(), h = size.height();
        const auto& expected = upright[orientation - 1];
        EXPECT_EQ(probe(canvas, 2, h - 3), expected[0]) << "orientation " << orientation;
        EXPECT_EQ(probe(canvas, w - 3, h - 3), expected[1]) << "orientation " << orientation;
        EXPECT_EQ(probe(canvas, 2, 2), expected[2]) << "orientation " << orientation;
        EXPECT_EQ(probe(canvas, w - 3, 2), expected[3]) << "orientation " << orientation;
    }
}

TEST(ZORVAK_ImageDrawingTest, GravityFitsFillsOrStretches)
{
    // Stored left to right: a green quarter, a red half, a blue quarter.
    QImage stripes = solid(40, 20, red);
    QPainter(&stripes).fillRect(0, 0, 10, 20, green);
    QPainter(&stripes).fillRect(30, 0, 10, 20, blue);

    ZORVAK_Image fit(stripes, std::nullopt);
    fit.setContentsGravity(ZORVAK_Image::kCAGravityResizeAspect);
    QImage canvas = render(fit, QSize(20, 20));
    EXPECT_EQ(probe(canvas, 10, 2), transparent);   // below the picture, which lands in (0, 5, 20, 10)
    EXPECT_EQ(probe(canvas, 10, 17), transparent);  // above it
    EXPECT_EQ(probe(canvas, 1, 10), green);
    EXPECT_EQ(probe(canvas, 10, 10), red);

    ZORVAK_Image fill(stripes, std::nullopt);
    fill.setContentsGravity(ZORVAK_Image::kCAGravityResizeAspectFill);
    canvas = render(fill, QSize(20, 20));
    for (QPoint point : {QPoint(0, 0), QPoint(19, 19), QPoint(0, 19), QPoint(10, 10)})
        EXPECT_EQ(probe(canvas, point.x(), point.y()), red) << point.x() << "," << point.y();

    ZORVAK_Image stretched(stripes, std::nullopt);
    stretched.setContentsGravity(QStringLiteral("anything"));
    canvas = render(stretched, QSize(20, 20));
    EXPECT_EQ(probe(canvas, 1, 1), green);
    EXPECT_EQ(probe(canvas, 18, 18), blue);
}

TEST(ZORVAK_ImageDrawingTest, DestinationRectangleCountsFromTheBottomLeft)
{
    ZORVAK_Image image(solid(10, 10, red), std::nullopt);
    image.setDestinationRect(QRectF(5, 25, 10, 10));
    const QImage canvas = render(image, QSize(40, 40));
    EXPECT_EQ(probe(canvas, 10, 30), red);
    EXPECT_EQ(probe(canvas, 10, 10), transparent);
    EXPECT_EQ(probe(canvas, 20, 30), transparent);
}

TEST(ZORVAK_ImageDrawingTest, BordersClipOrInsetTheContent)
{
    const QColor halfBlue = QColor::fromRgba(qRgba(0, 0, 255, 128));
    ZORVAK_Image clipping(solid(100, 100, red), std::nullopt);
    clipping.setHasBorder(true);
    clipping.setBorderColorCode(QStringLiteral("#0000FF80"));
    QImage canvas = render(clipping, QSize(100, 100));
    EXPECT_TRUE(near(probe(canvas, 5, 5), QColor(127, 0, 128), 3)); // half blue over the picture's red edge
    EXPECT_EQ(probe(canvas, 11, 50), red);
    EXPECT_EQ(probe(canvas, 50, 50), red);

    ZORVAK_Image inset(solid(100, 100, red), std::nullopt);
    inset.setHasBorder(true);
    inset.setBorderClipsContent(false);
    inset.setBorderColorCode(QStringLiteral("#0000FF80"));
    canvas = render(inset, QSize(100, 100));
    EXPECT_TRUE(near(probe(canvas, 5, 5), halfBlue, 3)); // the picture is inset to (10, 10, 80, 80)
    EXPECT_TRUE(near(probe(canvas, 95, 50), halfBlue, 3));
    EXPECT_EQ(probe(canvas, 11, 50), red);
    EXPECT_EQ(probe(canvas, 88, 88), red);
}

TEST(ZORVAK_ImageDrawingTest, TurnedPhotosKeepTheirBorderOnTheDestination)
{
    ZORVAK_Image photo(solid(40, 20, red), QVariantMap{{ImageProperties::orientationKey, 6}});
    photo.setHasBorder(true);
    photo.setBorderWidth(4);
    photo.setBorderColorCode(QStringLiteral("#0000FF"));
    photo.setDestinationRect(QRectF(10, 10, 20, 40));
    const QImage canvas = render(photo, QSize(40, 60));
    EXPECT_EQ(probe(canvas, 12, 30), blue);
    EXPECT_EQ(probe(canvas, 20, 30), red);
    EXPECT_EQ(probe(canvas, 8, 30), transparent);
    EXPECT_EQ(probe(canvas, 20, 52), transparent);
}

TEST(ZORVAK_ImageDrawingTest, RotationTurnsClockwiseAboutTheDestinationCentre)
{
    ZORVAK_Image image(quadrants(20, 20), std::nullopt);
    image.setDestinationRect(QRectF(10, 10, 20, 20));
    image.setRotation(std::numbers::pi / 2);
    const QImage canvas = render(image, QSize(40, 40));
    EXPECT_EQ(probe(canvas, 25, 25), red);    // top left went to the top right
    EXPECT_EQ(probe(canvas, 25, 15), green);  // top right to the bottom right
    EXPECT_EQ(probe(canvas, 15, 15), yellow);
    EXPECT_EQ(probe(canvas, 15, 25), blue);
    EXPECT_EQ(probe(canvas, 5, 5), transparent);
}

TEST(ZORVAK_ImageDrawingTest, ShadowFallsAtItsOffsetUnderTheContent)
{
    ZORVAK_Image image(solid(20, 20, red), std::nullopt);
    image.setDestinationRect(QRectF(20, 20, 20, 20));
    image.setHasShadow(true);
    image.setShadowOffset(QSizeF(10, -10));
    image.setShadowColorCode(QStringLiteral("#000000FF"));
    QImage canvas = render(image, QSize(60, 60));
    EXPECT_EQ(probe(canvas, 45, 15), QColor(Qt::black));
    EXPECT_EQ(probe(canvas, 30, 30), red);
    EXPECT_EQ(probe(canvas, 15, 45), transparent);

    image.setShadowBlur(8);
    canvas = render(image, QSize(60, 60));
    const QColor soft = probe(canvas, 49, 15);
    EXPECT_GT(soft.alpha(), 0);
    EXPECT_LT(soft.alpha(), 255);
    EXPECT_EQ(probe(canvas, 30, 30), red);
}

// The shadow's coverage is blurred alone and coloured afterwards: the colour
// holds everywhere, and without an offset given the fall-off is the same across
// every edge.
TEST(ZORVAK_ImageDrawingTest, BlurredShadowKeepsItsColourAndFallsOffEvenly)
{
    ZORVAK_Image image(solid(40, 40, red), std::nullopt);
    image.setDestinationRect(QRectF(30, 30, 40, 40));
    image.setHasShadow(true);
    image.setShadowBlur(8);
    image.setShadowColorCode(QStringLiteral("#0000FFFF"));
    const QImage canvas = render(image, QSize(100, 100));
    EXPECT_EQ(probe(canvas, 50, 50), red);
    const QColor edges[] = {probe(canvas, 28, 50), probe(canvas, 71, 50), probe(canvas, 50, 28), probe(canvas, 50, 71)};
    for (const QColor& edge : edges) {
        EXPECT_TRUE(near(edge, QColor(0, 0, 255, edge.alpha()), 8)) << edge.name(QColor::HexArgb).toStdString();
        EXPECT_NEAR(edge.alpha(), edges[0].alpha(), 3);
        EXPECT_GT(edge.alpha(), 40);
        EXPECT_LT(edge.alpha(), 215);
    }
    EXPECT_LT(probe(canvas, 24, 50).alpha(), edges[0].alpha());
    EXPECT_LT(probe(canvas, 50, 24).alpha(), edges[2].alpha());
    EXPECT_EQ(probe(canvas, 10, 50).alpha(), 0);
    EXPECT_EQ(probe(canvas, 50, 90).alpha(), 0);
}

TEST(ZORVAK_ImageDrawingTest, CropsInPixelsAndFractions)
{
    ZORVAK_Image pixels(quadrants(40, 40), std::nullopt);
    pixels.setCropRect(QRectF(20, 0, 20, 20)); // the top right quadrant, rows counted from the top
    QImage canvas = render(pixels, QSize(10, 10));
    EXPECT_EQ(probe(canvas, 1, 1), green);
    EXPECT_EQ(probe(canvas, 8, 8), green);

    ZORVAK_Image half(quadrants(40, 40), std::nullopt);
    half.setCropRect(QRectF(0.5, 0, 0.5, 1));
    half.setIsNormalizedCropRect(true);
    canvas = render(half, QSize(10, 20));
    EXPECT_EQ(probe(canvas, 5, 17), green);
    EXPECT_EQ(probe(canvas, 5, 2), yellow);

    // A crop outside the bitmap leaves only the background.
    ZORVAK_Image outside(quadrants(40, 40), std::nullopt);
    outside.setCropRect(QRectF(100, 100, 10, 10));
    outside.setBackgroundColorCode(QStringLiteral("#00FF00"));
    canvas = render(outside, QSize(10, 10));
    EXPECT_EQ(probe(canvas, 5, 5), green);
}

TEST(ZORVAK_ImageDrawingTest, CroppedBitmapsAndRectanglesOfOrientedPictures)
{
    EXPECT_EQ(ZORVAK_Image::transformedRect(QRectF(1, 2, 3, 4), QSizeF(30, 40), 6), QRectF(2, 26, 4, 3));
    EXPECT_EQ(ZORVAK_Image::transformedRect(QRectF(1, 2, 3, 4), QSizeF(30, 40), 8), QRectF(34, 1, 4, 3));
    EXPECT_EQ(ZORVAK_Image::transformedRect(QRectF(1, 2, 3, 4), QSizeF(30, 40), 3), QRectF(26, 34, 3, 4));
    EXPECT_EQ(ZORVAK_Image::transformedRect(QRectF(1, 2, 3, 4), QSizeF(30, 40), 1), QRectF(1, 2, 3, 4));

    const QImage stored = quadrants(40, 20);
    const QImage upperLeft = ZORVAK_Image::croppedImage(stored, QRectF(0, 0, 10, 20), 6); // upright top left is stored bottom left
    EXPECT_EQ(upperLeft.size(), QSize(20, 10));
    EXPECT_EQ(upperLeft.pixelColor(5, 5), blue);
    EXPECT_TRUE(ZORVAK_Image::croppedImage(stored, QRectF(100, 100, 5, 5), 1).isNull());
}

TEST(ZORVAK_ImageDrawingTest, LargeFilesAreDrawnFromAReducedDecoding)
{
    ScratchFolder folder;
    const QString path = folder.path() + QStringLiteral("/large.png");
    writeFile(path, encoded(quadrants(2000, 1000), "PNG"));
    const auto image = ZORVAK_Image::imageWithObject(path);
    ASSERT_TRUE(image);
    image->setCropRect(QRectF(1000, 0, 1000, 500));
    const QImage canvas = render(*image, QSize(50, 25));
    EXPECT_EQ(probe(canvas, 1, 1), green);
    EXPECT_EQ(probe(canvas, 48, 23), green);

    const auto scaled = ZORVAK_Image::imageWithObject(path);
    const QImage copy = scaled->copyWithMaxDimension(100);
    EXPECT_EQ(copy.size(), QSize(100, 50));
    EXPECT_EQ(probe(copy, 5, 45), red);
}

// A picture decoded ahead on another thread draws as one decoded while drawing,
// whether it is decoded whole or reduced; settings changed in between are
// honoured rather than the earlier decoding drawn.
TEST(ZORVAK_ImageDrawingTest, PicturesDecodedAheadOnAnotherThreadDrawTheSame)
{
    ScratchFolder folder;
    const QString path = folder.path() + QStringLiteral("/large.jpeg");
    writeFile(path, encoded(quadrants(1600, 1200), "JPEG"));
    const auto decodedAhead = [&](QSize canvas, const QRectF& crop, const QRectF& cropAfterwards) {
        const auto image = ZORVAK_Image::imageWithObject(path);
        ZORVAK_Image owner;
        image->setDrawingContext(owner.drawingContextWithCanvasSize(QSizeF(canvas)));
        image->setCropRect(crop);
        std::thread([&] { image->decodeForDrawing(); }).join();
        image->setCropRect(cropAfterwards);
        image->draw();
        return image->drawingContext()->createImage();
    };
    const auto decodedWhileDrawing = [&](QSize canvas, const QRectF& crop) {
        const auto image = ZORVAK_Image::imageWithObject(path);
        image->setCropRect(crop);
        return render(*image, canvas);
    };
    const QRectF whole;
    const QRectF upperRight(800, 0, 800, 600);
    for (const QSize canvas : {QSize(160, 120), QSize(1600, 1200)}) {
        SCOPED_TRACE(canvas.width());
        EXPECT_EQ(decodedAhead(canvas, whole, whole), decodedWhileDrawing(canvas, whole));
        const QImage changed = decodedAhead(canvas, whole, upperRight);
        EXPECT_EQ(changed, decodedWhileDrawing(canvas, upperRight));
        EXPECT_TRUE(near(probe(changed, 5, 5), green));
    }
}

TEST(ZORVAK_ImageDrawingTest, NothingIsDrawnWithoutCanvasOrArea)
{
    ZORVAK_Image image(solid(10, 10, red), std::nullopt);
    image.draw(); // only logs

    ZORVAK_Image owner;
    image.setDrawingContext(owner.drawingContextWithCanvasSize(QSizeF(10, 10)));
    image.setDestinationRect(QRectF(0, 0, 0, 10));
    image.draw();
    image.setDestinationRect(QRectF(0, 0, 10, 0));
    image.draw();
    const QImage canvas = owner.drawingContext()->createImage();
    EXPECT_EQ(probe(canvas, 5, 5), transparent);
}

bool hasDarkPixels(const QImage& canvas, const QRect& bottomLeftArea)
{
    for (int y = bottomLeftArea.top(); y <= bottomLeftArea.bottom(); ++y) {
        for (int x = bottomLeftArea.left(); x <= bottomLeftArea.right(); ++x) {
            const QColor color = probe(canvas, x, y);
            if (color.alpha() > 200 && color.red() < 80 && color.green() < 80 && color.blue() < 80)
                return true;
        }
    }
    return false;
}

TEST(ZORVAK_ImageDrawingTest, TextIsLaidOutFromTheTopOfItsRectangle)
{
    TextAttributes attributes;
    attributes.font = FontResolver::fontWithName(QStringLiteral("Helvetica"), 40);
    const auto text = ZORVAK_Image::imageWithDrawingString(QStringLiteral("Hello"), attributes);
    EXPECT_FALSE(text->borderClipsContent());
    text->setDestinationRect(QRectF(20, 10, 260, 100));
    const QImage canvas = render(*text, QSize(300, 120));
    EXPECT_TRUE(hasDarkPixels(canvas, QRect(20, 60, 150, 50)));    // the first line, under the top edge
    EXPECT_FALSE(hasDarkPixels(canvas, QRect(0, 0, 300, 40)));     // nothing at the bottom
    EXPECT_FALSE(hasDarkPixels(canvas, QRect(0, 112, 300, 8)));    // nothing above the rectangle

    AttributedString styled(QStringLiteral("Hi"), attributes);
    TextAttributes white = attributes;
    white.foregroundColor = Qt::white;
    const auto recoloured = ZORVAK_Image::imageWithDrawingString(styled, white);
    const QImage whiteCanvas = render(*recoloured, QSize(100, 60));
    EXPECT_FALSE(hasDarkPixels(whiteCanvas, QRect(0, 0, 100, 60)));
}

} // namespace
