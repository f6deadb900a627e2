#include "platform/text/GeometryText.h"

#include <gtest/gtest.h>

using platform::GeometryText::pointFromString;

TEST(GeometryText, PointsReadFromTheirStoredForms)
{
    EXPECT_EQ(pointFromString(QStringLiteral("{10,40}")), QPointF(10, 40));
    EXPECT_EQ(pointFromString(QStringLiteral("{0.5, 0}")), QPointF(0.5, 0));
    EXPECT_EQ(pointFromString(QStringLiteral(" { -1.25e2 , +.5 } ")), QPointF(-125, 0.5));
    EXPECT_EQ(pointFromString(QStringLiteral("{3, 4, 5}")), QPointF(3, 4));
}

TEST(GeometryText, MissingNumbersReadAsZero)
{
    EXPECT_EQ(pointFromString(QStringLiteral("{7}")), QPointF(7, 0));
    EXPECT_EQ(pointFromString(QString()), QPointF(0, 0));
    EXPECT_EQ(pointFromString(QStringLiteral("{x, y}")), QPointF(0, 0));
}

TEST(GeometryText, RectanglesAndSizesReadBackWhatIsWritten)
{
    using namespace platform::GeometryText;
    EXPECT_EQ(rectFromString(QStringLiteral("{{100, 100}, {500, 200}}")), QRectF(100, 100, 500, 200));
    EXPECT_EQ(sizeFromString(QStringLiteral("{1800,1200}")), QSizeF(1800, 1200));
    EXPECT_EQ(rectFromString(QStringLiteral("{{1, 2}}")), QRectF(1, 2, 0, 0));

    // Whole numbers have no decimal point; fractions keep every digit they need.
    EXPECT_EQ(stringFromRect(QRectF(100, 100, 500, 200)), QStringLiteral("{{100, 100}, {500, 200}}"));
    EXPECT_EQ(stringFromSize(QSizeF(-0.0, 1e21)), QStringLiteral("{0, 1e+21}"));
    for (const double value : {0.1, 1.0 / 3.0, 123456.789, -2.5e-7}) {
        const QRectF rect(value, -value, value * 7, value * 11);
        EXPECT_EQ(rectFromString(stringFromRect(rect)), rect) << stringFromRect(rect).toStdString();
    }
    EXPECT_EQ(pointFromString(stringFromPoint(QPointF(3, -4))), QPointF(3, -4));
}
