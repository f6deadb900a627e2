#include "core/foundation/ZORVAK_plist.h"

#include <gtest/gtest.h>

#include <QPointF>

TEST(ZORVAK_plist, TextRoundTripAndRefusals)
{
    const QVariantMap upload{{QStringLiteral("path"), QStringLiteral("/out/a.jpeg")}, {QStringLiteral("site"), qint64(3)}};
    const QString text = ZORVAK_plist::stringWithPlistObject(upload);
    EXPECT_TRUE(text.startsWith(QStringLiteral("<?xml")));
    EXPECT_TRUE(text.contains(QStringLiteral("<key>path</key>")));
    EXPECT_EQ(ZORVAK_plist::plistObject(text), QVariant(upload));
    EXPECT_TRUE(ZORVAK_plist::stringWithPlistObject(QVariant::fromValue(QPointF())).isNull());
    EXPECT_FALSE(ZORVAK_plist::plistObject(QStringLiteral("<plist><dict><key>")).isValid());
}
