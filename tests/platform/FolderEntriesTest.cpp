#include "platform/files/FolderEntries.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::FolderEntries;

// A folder holding "images" and "IMAGES" (the exact name wins), "Templates" with
// "Frame.XML" in it, and "gone", a link to nothing.
TEST(FolderEntries, entriesAreFoundWhateverTheirCase)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    for (const char* name : {"images", "IMAGES", "Templates"})
        ASSERT_TRUE(QDir(folder).mkdir(QString::fromUtf8(name)));
    QFile frame(folder + QStringLiteral("/Templates/Frame.XML"));
    ASSERT_TRUE(frame.open(QIODevice::WriteOnly));
    frame.close();
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("/nowhere"), folder + QStringLiteral("/gone")));

    const struct {
        const char* name;
        const char* found;
    } entries[] = {
        {"IMAGES", "IMAGES"}, {"images", "images"}, {"templates", "Templates"},
        {"GONE", "gone"}, {"packages", "packages"},
    };
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(FolderEntries::entryPath(folder + QStringLiteral("/"), QString::fromUtf8(entry.name)),
                  folder + QLatin1Char('/') + QString::fromUtf8(entry.found));
    }
    EXPECT_EQ(FolderEntries::pathInside(folder, QStringLiteral("templates//frame.xml")), folder + QStringLiteral("/Templates/Frame.XML"));
    EXPECT_EQ(FolderEntries::pathInside(folder, QStringLiteral("TEMPLATES/new/x.xml")), folder + QStringLiteral("/Templates/new/x.xml"));
    EXPECT_EQ(FolderEntries::entryPath(folder + QStringLiteral("/missing"), QStringLiteral("Images")),
              folder + QStringLiteral("/missing/Images"));
}
