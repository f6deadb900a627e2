#include "platform/GeometryText.h"

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
