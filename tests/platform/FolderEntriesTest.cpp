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

// Inside as written and, for what exists or is a link, with links resolved against the
// folder itself: a sub-folder that is a link out takes its entries out with it, and a
// folder reached through a link of its own still holds its entries.
TEST(FolderEntries, pathsStayInsideTheirFolderAsWrittenAndThroughLinks)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString job = root + QStringLiteral("/job");
    for (const char* folder : {"job/pictures", "elsewhere"})
        ASSERT_TRUE(QDir(root).mkpath(QString::fromUtf8(folder)));
    for (const char* file : {"job/pictures/a.jpg", "elsewhere/a.jpg"}) {
        QFile made(root + QLatin1Char('/') + QString::fromUtf8(file));
        ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(QStringLiteral("pictures"), job + QStringLiteral("/images")));
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/elsewhere"), job + QStringLiteral("/out")));
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/elsewhere/a.jpg"), job + QStringLiteral("/pictures/b.jpg")));
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/elsewhere/none.jpg"), job + QStringLiteral("/pictures/gone.jpg")));
    ASSERT_TRUE(QFile::link(QStringLiteral("job"), root + QStringLiteral("/linked-job")));

    const struct {
        const char* path; // below the root
        const char* folder;
        bool inside;
    } cases[] = {
        {"job/pictures/a.jpg", "job", true},      {"job/images/a.jpg", "job", true},
        {"job/pictures/new.jpg", "job", true},    {"job/images", "job", true},
        {"job/../elsewhere/a.jpg", "job", false}, {"job/out/a.jpg", "job", false},
        {"job/out/new.jpg", "job", false},        {"job/pictures/b.jpg", "job", false},
        {"job/pictures/gone.jpg", "job", false},  {"job/missing/new.jpg", "job", true},
        {"linked-job/images/a.jpg", "linked-job", true}, {"job", "job", false},
        // Judged against the linked folder itself its entries look inside: callers pass the job's root.
        {"job/out/a.jpg", "job/out", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QString path = root + QLatin1Char('/') + QString::fromUtf8(c.path);
        const QString folder = root + QLatin1Char('/') + QString::fromUtf8(c.folder);
        EXPECT_EQ(FolderEntries::pathStayingInside(path, folder), c.inside ? QDir::cleanPath(path) : QString());
    }
}
