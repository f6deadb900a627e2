#include "platform/files/Trash.h"

#include "platform/files/StandardPaths.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::Trash;

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QString trashFolder() { return platform::StandardPaths::path(platform::StandardPaths::Folder::Trash); }

QString infoFor(const QString& trashed)
{
    return trashFolder() + QStringLiteral("/info/") + QFileInfo(trashed).fileName() + QStringLiteral(".trashinfo");
}

class TrashTest : public ::testing::Test {
protected:
    void SetUp() override { QDir(trashFolder()).removeRecursively(); }
    QTemporaryDir work;
    QString path(const QString& name) const { return work.filePath(name); }
};

} // namespace

TEST_F(TrashTest, TrashedItemsGetFreeNamesAndTheirInfoAndComeBack)
{
    ASSERT_TRUE(QDir().mkpath(path("a/Order 1.kovajob")));
    ASSERT_TRUE(QDir().mkpath(path("b")));
    writeFile(path("a/Order 1.kovajob/job.xml"), "<job/>");
    writeFile(path("b/Order 1.kovajob"), "same name, other item");
    writeFile(path("a/odd name%.xml"), "ticket");

    const Trash::Result result = Trash::moveToTrash({ path("a/Order 1.kovajob"), path("b/Order 1.kovajob"), path("a/odd name%.xml") });
    ASSERT_TRUE(result.failures.isEmpty());
    ASSERT_EQ(result.trashed.size(), 3);
    EXPECT_EQ(QFileInfo(result.trashed[0].second).fileName(), QStringLiteral("Order 1.kovajob"));
    EXPECT_EQ(QFileInfo(result.trashed[1].second).fileName(), QStringLiteral("Order 1 2.kovajob"));
    EXPECT_TRUE(QFileInfo::exists(result.trashed[0].second + QStringLiteral("/job.xml")));
    for (const Trash::Pair& pair : result.trashed) {
        EXPECT_FALSE(QFileInfo::exists(pair.first));
        QFile info(infoFor(pair.second));
        ASSERT_TRUE(info.open(QIODevice::ReadOnly)) << qPrintable(info.fileName());
        const QByteArray text = info.readAll();
        EXPECT_TRUE(text.startsWith("[Trash Info]\nPath=")) << text.constData();
        EXPECT_TRUE(text.contains("DeletionDate=")) << text.constData();
    }
    QFile odd(infoFor(result.trashed[2].second));
    ASSERT_TRUE(odd.open(QIODevice::ReadOnly));
    EXPECT_TRUE(odd.readAll().contains("/odd%20name%25.xml"));

    // One original is taken again meanwhile: it stays in the trash, the others return.
    writeFile(path("b/Order 1.kovajob"), "newer");
    const QList<Trash::Pair> restored = Trash::restore(result.trashed);
    EXPECT_EQ(restored, (QList<Trash::Pair> { result.trashed[0], result.trashed[2] }));
    EXPECT_TRUE(QFileInfo::exists(path("a/Order 1.kovajob/job.xml")));
    EXPECT_FALSE(QFileInfo::exists(infoFor(result.trashed[0].second)));
    EXPECT_TRUE(QFileInfo::exists(result.trashed[1].second));
    EXPECT_TRUE(QFileInfo::exists(infoFor(result.trashed[1].second)));
    QFile kept(path("b/Order 1.kovajob"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("newer"));
}

TEST_F(TrashTest, RefusesTheRootTheCurrentFolderAndTheTrash)
{
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(path("here/inner")));
    ASSERT_TRUE(QDir::setCurrent(path("here/inner")));
    ASSERT_FALSE(Trash::homeTrash().isEmpty());
    const QStringList refused { QStringLiteral("/"), path("here/inner"), path("here"), trashFolder(), path("missing") };
    const Trash::Result result = Trash::moveToTrash(refused);
    QDir::setCurrent(current);
    EXPECT_TRUE(result.trashed.isEmpty());
    ASSERT_EQ(result.failures.size(), refused.size());
    EXPECT_TRUE(QFileInfo(path("here/inner")).isDir());
    EXPECT_TRUE(QFileInfo(trashFolder() + QStringLiteral("/files")).isDir());
    EXPECT_TRUE(QDir(trashFolder() + QStringLiteral("/info")).isEmpty());
}
