#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "core/foundation/ZORVAK_NSString.h"

#include "FixedTimeZone.h"

#include <gtest/gtest.h>

class DatePatterns : public ::testing::Test {
protected:
    static QDateTime local(int year, int month, int day, int hour, int minute, int second, int millisecond = 0)
    {
        return QDateTime(QDate(year, month, day), QTime(hour, minute, second, millisecond));
    }

    FixedTimeZone zone{"Europe/Berlin"};
    const QDateTime march3 = local(2026, 3, 3, 14, 5, 9, 123);
};

TEST_F(DatePatterns, FormatInLocalTime)
{
    using ZORVAK_NSDateAdditions::stringWithUTSFormat;
    EXPECT_EQ(stringWithUTSFormat(march3, QStringLiteral("yyyyMMdd-HHmmss")), QStringLiteral("20260303-140509"));
    EXPECT_EQ(stringWithUTSFormat(march3, QStringLiteral("yyyy-MM-dd HH:mm:ss.SSS")), QStringLiteral("2026-03-03 14:05:09.123"));
    EXPECT_EQ(stringWithUTSFormat(march3, QStringLiteral("yyyy-MM-dd_HH-mm-ss.SSSSS")), QStringLiteral("2026-03-03_14-05-09.12300"));
    EXPECT_EQ(stringWithUTSFormat(march3, QStringLiteral("yyyy:MM:dd HH:mm:ss")), QStringLiteral("2026:03:03 14:05:09"));
    // The same instant handed over in UTC, and a summer date, still read in local time.
    EXPECT_EQ(stringWithUTSFormat(march3.toUTC(), QStringLiteral("HH:mm")), QStringLiteral("14:05"));
    EXPECT_EQ(stringWithUTSFormat(local(2026, 7, 1, 0, 30, 0), QStringLiteral("yyyy-MM-dd HH:mm")), QStringLiteral("2026-07-01 00:30"));
    EXPECT_TRUE(stringWithUTSFormat(QDateTime(), QStringLiteral("yyyy")).isNull());
}

TEST_F(DatePatterns, ParseWhatTheyFormat)
{
    using ZORVAK_NSString::dateWithUTSFormat;
    EXPECT_EQ(dateWithUTSFormat(QStringLiteral("20260303-140509"), QStringLiteral("yyyyMMdd-HHmmss")), local(2026, 3, 3, 14, 5, 9));
    EXPECT_EQ(dateWithUTSFormat(QStringLiteral("2026-03-03 14:05:09.123"), QStringLiteral("yyyy-MM-dd HH:mm:ss.SSS")), march3);
    EXPECT_EQ(dateWithUTSFormat(QStringLiteral("2026-03-03_14-05-09.12300"), QStringLiteral("yyyy-MM-dd_HH-mm-ss.SSSSS")), march3);
    EXPECT_EQ(dateWithUTSFormat(QStringLiteral("2026:07:01 00:30:00"), QStringLiteral("yyyy:MM:dd HH:mm:ss")), local(2026, 7, 1, 0, 30, 0));
}

TEST_F(DatePatterns, ParseRejectsTextThatDoesNotMatchAsAWhole)
{
    using ZORVAK_NSString::dateWithUTSFormat;
    const QString stamp = QStringLiteral("yyyyMMdd-HHmmss");
    EXPECT_FALSE(dateWithUTSFormat(QStringLiteral("20260303-140509.jpg"), stamp).isValid());
    EXPECT_FALSE(dateWithUTSFormat(QStringLiteral("20261345-140509"), stamp).isValid());
    EXPECT_FALSE(dateWithUTSFormat(QStringLiteral("order-7"), stamp).isValid());
    EXPECT_FALSE(dateWithUTSFormat(QString(), stamp).isValid());
}

TEST_F(DatePatterns, LocalisedStylesFollowTheDefaultLocale)
{
    FixedTimeZone::setLocale(icu::Locale("de_DE"));
    EXPECT_EQ(ZORVAK_NSDateAdditions::localizedStringWithStyleMedium(march3), QStringLiteral("03.03.2026, 14:05:09"));
    EXPECT_EQ(ZORVAK_NSDateAdditions::stringLocalizedWithStyle(march3, ZORVAK_NSDateAdditions::DateStyle::Short),
              QStringLiteral("03.03.26, 14:05"));
}
