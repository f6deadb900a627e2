#include "core/foundation/ZORVAK_NSArray.h"

#include <QUrl>

#include <gtest/gtest.h>

TEST(NSArrayLastPathComponents, ReplacePathsAndUrlsAndKeepOtherValues)
{
    const QVariantList values{QStringLiteral("/var/lib/Morvanta/KOVA/Templates/card.xml"), 42,
                              QUrl::fromLocalFile(QStringLiteral("/tmp/jobs/order 7.kovajob")), QStringLiteral("/tmp/out/"),
                              QStringLiteral("/"), QStringLiteral("plain"), QByteArray("/not/a/path")};
    const QVariantList expected{QStringLiteral("card.xml"), 42, QStringLiteral("order 7.kovajob"), QStringLiteral("out"),
                                QStringLiteral("/"), QStringLiteral("plain"), QByteArray("/not/a/path")};
    EXPECT_EQ(ZORVAK_NSArray::lastPathComponents(values), expected);
}
