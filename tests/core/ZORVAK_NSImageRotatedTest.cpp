#include "core/image/ZORVAK_NSImageRotated.h"

#include "ImageTestPictures.h"

#include <QPainter>

#include <gtest/gtest.h>

using kova::test::near;

namespace {

// 100 x 50, white with a red square at the top left and a blue one at the bottom right.
QImage marked()
{
    QImage image = kova::test::solid(100, 50, Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, 10, 10, kova::test::red);
    painter.fillRect(90, 40, 10, 10, kova::test::blue);
    return image;
}

} // namespace

// Each turn as seen: where the red top-left and blue bottom-right corners go.
TEST(ZORVAK_NSImageRotated, turnsClockwiseForPositiveDegreesIntoTheBoundingBox)
{
    struct Case {
        double degrees;
        QSize size;
        QPoint red, blue;
    };
    const Case cases[] = {
        {90, {50, 100}, {45, 4}, {4, 95}},
        {-90, {50, 100}, {4, 95}, {45, 4}},
        {180, {100, 50}, {95, 45}, {4, 4}},
        {0, {100, 50}, {4, 4}, {95, 45}},
    };
    for (const Case& turn : cases) {
        SCOPED_TRACE(turn.degrees);
        const QImage rotated = ZORVAK_NSImageRotated::imageRotatedByDegrees(marked(), turn.degrees);
        ASSERT_EQ(rotated.size(), turn.size);
        EXPECT_TRUE(near(rotated.pixelColor(turn.red), kova::test::red)) << rotated.pixelColor(turn.red).name().toStdString();
        EXPECT_TRUE(near(rotated.pixelColor(turn.blue), kova::test::blue)) << rotated.pixelColor(turn.blue).name().toStdString();
        EXPECT_TRUE(near(rotated.pixelColor(turn.size.width() / 2, turn.size.height() / 2), Qt::white));
    }
}

TEST(ZORVAK_NSImageRotated, anOddAngleGrowsToTheTurnedBoxOnATransparentGround)
{
    const QImage rotated = ZORVAK_NSImageRotated::imageRotatedByDegrees(kova::test::solid(100, 100, Qt::white), 45);
    EXPECT_EQ(rotated.size(), QSize(142, 142));
    EXPECT_EQ(rotated.pixelColor(1, 1).alpha(), 0);
    EXPECT_TRUE(near(rotated.pixelColor(71, 71), Qt::white));
    EXPECT_TRUE(ZORVAK_NSImageRotated::imageRotatedByDegrees(QImage(), 90).isNull());
}
