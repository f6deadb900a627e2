#include "platform/text/StringValues.h"

#include <gtest/gtest.h>

#include <limits>

using namespace platform::StringValues;

TEST(StringValues, BooleansReadFromTheFirstSignificantCharacter)
{
    for (const char* yes : {"yes", "YES", "true", "T", "1", "  +007", "-1", "9lives", "y"})
        EXPECT_TRUE(boolValue(QString::fromLatin1(yes))) << yes;
    for (const char* no : {"no", "false", "0", "000", "", " ", "+", "-0", "abc", "nope"})
        EXPECT_FALSE(boolValue(QString::fromLatin1(no))) << no;
    EXPECT_TRUE(boolValue(QVariant(true)));
    EXPECT_TRUE(boolValue(QVariant(2.5)));
    EXPECT_FALSE(boolValue(QVariant(QByteArray("yes")))); // neither text nor number
}

TEST(StringValues, NumbersReadFromTheLeadingPartOfTheText)
{
    EXPECT_DOUBLE_EQ(doubleValue(QStringLiteral("  12.5px")), 12.5);
    EXPECT_DOUBLE_EQ(doubleValue(QStringLiteral("-.25e1")), -2.5);
    EXPECT_DOUBLE_EQ(doubleValue(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(doubleValue(QVariant(QStringLiteral("48"))), 48.0);
    EXPECT_DOUBLE_EQ(doubleValue(QVariant(7)), 7.0);

    EXPECT_EQ(integerValue(QStringLiteral(" 300 ")), 300);
    EXPECT_EQ(integerValue(QStringLiteral("1.9")), 1);
    EXPECT_EQ(integerValue(QStringLiteral("-42z")), -42);
    EXPECT_EQ(integerValue(QStringLiteral("z")), 0);
    EXPECT_EQ(integerValue(QStringLiteral("99999999999999999999999")), std::numeric_limits<qint64>::max());
    EXPECT_EQ(integerValue(QStringLiteral("-99999999999999999999999")), std::numeric_limits<qint64>::min());
    // Digits of other scripts are not read as numbers.
    EXPECT_EQ(integerValue(QString::fromUtf8("\u0663")), 0);
}
