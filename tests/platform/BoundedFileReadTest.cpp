#include "platform/files/BoundedFileRead.h"

#include "HostileFiles.h"
#include "platform/defaults/JavaPreferences.h"
#include "platform/defaults/UserDefaults.h"

#include <QDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using platform::BoundedFileRead;

TEST(BoundedFileRead, ReadsRegularFilesThroughLinksWholeOrInParts)
{
    const kova::test::ScratchFolder folder;
    const QString path = folder.path(QStringLiteral("photo.jpeg"));
    ASSERT_TRUE(kova::test::writeFile(path, "0123456789"));
    ASSERT_TRUE(QFile::link(path, folder.path(QStringLiteral("link.jpeg"))));

    EXPECT_EQ(BoundedFileRead::contents(folder.path(QStringLiteral("link.jpeg")), 10), QByteArray("0123456789"));
    BoundedFileRead file(path, 10);
    EXPECT_EQ(file.readAt(8, 5), QByteArray("89"));
    EXPECT_EQ(file.readAt(0, 3), QByteArray("012"));

    platform::Error error;
    EXPECT_FALSE(BoundedFileRead::contents(folder.path(QStringLiteral("missing.jpeg")), 10, &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_TRUE(error.message.contains(folder.path(QStringLiteral("missing.jpeg"))));
}

TEST(BoundedFileRead, RefusesAFileThatGrewBeyondItsLimitOnceOpened)
{
    const kova::test::ScratchFolder folder;
    const QString path = folder.path(QStringLiteral("growing.xml"));
    ASSERT_TRUE(kova::test::writeFile(path, "small"));
    BoundedFileRead file(path, 8);
    ASSERT_TRUE(file.isOpen());
    ASSERT_TRUE(kova::test::writeFile(path, "much larger now"));
    EXPECT_FALSE(file.readAll());
    EXPECT_EQ(file.error().code, EFBIG);
}

// A file read whole into memory of the size it had when opened is refused, with
// an error naming it, once it shrinks or grows meanwhile: the memory never holds
// bytes the file no longer has, nor part of what it has now.
TEST(BoundedFileRead, ReadingWholeIntoMemoryRefusesAFileThatChangedMeanwhile)
{
    struct Case {
        const char* change;
        std::function<bool(const QString&)> apply;
        bool read;
    };
    const Case cases[] = {
        {"unchanged", [](const QString&) { return true; }, true},
        {"shrunk", [](const QString& path) { return QFile::resize(path, 4); }, false},
        {"emptied", [](const QString& path) { return QFile::resize(path, 0); }, false},
        {"grown", [](const QString& path) { return QFile::resize(path, 4096); }, false},
    };
    const kova::test::ScratchFolder folder;
    for (const Case& each : cases) {
        const QString path = folder.path(QString::fromLatin1(each.change) + QStringLiteral(".jpeg"));
        ASSERT_TRUE(kova::test::writeFile(path, "0123456789"));
        BoundedFileRead file(path, 1 << 20);
        ASSERT_TRUE(file.isOpen());
        ASSERT_TRUE(each.apply(path)) << each.change;
        std::vector<char> memory(size_t(file.size()), '-');
        EXPECT_EQ(file.readWholeInto(memory.data()), each.read) << each.change;
        if (each.read) {
            EXPECT_EQ(QByteArray(memory.data(), qsizetype(memory.size())), QByteArray("0123456789"));
        } else {
            EXPECT_EQ(file.error().code, EIO) << each.change;
            EXPECT_TRUE(file.error().message.contains(path)) << each.change;
        }
    }
}

TEST(BoundedFileRead, SpecialFilesAreRefusedByEveryPlatformReader)
{
    const kova::test::ScratchFolder folder;
    const kova::test::PathReader readers[] = {
        {"the bounded read", 1024, [&](const QString& kind) { return folder.path(kind); },
         [](const QString& path) {
             platform::Error error;
             return BoundedFileRead::contents(path, 1024, &error) ? QString() : error.message;
         }},
        {"the preferences", 64 * 1024 * 1024,
         [](const QString& kind) { return platform::UserDefaults::initWithSuiteName(QStringLiteral("special.") + kind)->filePath(); },
         [](const QString& path) {
             const QString domain = QFileInfo(path).completeBaseName();
             return kova::test::loggedBy([&] { platform::UserDefaults::initWithSuiteName(domain)->objectForKey(QStringLiteral("key")); });
         }},
        {"the Java preferences", 4 * 1024 * 1024,
         [&](const QString& kind) {
             QDir().mkpath(folder.path(QStringLiteral("java-") + kind));
             return folder.path(QStringLiteral("java-%1/prefs.xml").arg(kind));
         },
         [](const QString& path) { return kova::test::loggedBy([&] { platform::JavaPreferences::read(QFileInfo(path).path()); }); }},
    };
    for (const kova::test::PathReader& reader : readers)
        kova::test::expectSpecialFilesRefused(reader);
}
