#include "helper/lib/KOVAFolderMaker.h"

#include "FileFixtures.h"
#include "RecordingOwnership.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

using kova::helper::KOVAFolderMaker;
using namespace kova::test;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat status {};
    return lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Each test makes the tree in a local domain of its own.
class KOVAFolderMakerTest : public ::testing::Test {
protected:
    QString kova(const QString& relative = {}) const
    {
        return KOVAFolderMaker::kovaFolderPath() + (relative.isEmpty() ? QString() : QLatin1Char('/') + relative);
    }
    QString make(platform::Error* error) { return KOVAFolderMaker(ownership, QStringLiteral("admins")).makeKOVAFolder(error); }

    ScratchFolder domain;
    ScopedEnvironment localDomain { "KOVA_LOCAL_DOMAIN", domain.path() };
    ScratchFolder outside;
    RecordingOwnership ownership;
};

} // namespace

TEST_F(KOVAFolderMakerTest, MakesTheTreeWithOwnersAndModes)
{
    platform::Error error;
    EXPECT_EQ(make(&error), QUrl::fromLocalFile(kova()).toString());
    EXPECT_TRUE(error.isNull()) << error.description().toStdString();

    QMap<QString, QString> expected { { QFileInfo(kova()).path(), QStringLiteral("admins") } };
    for (const char* folder : { "Nodes", "Packages", "Templates", "Graphics", "Jobs/Completed", "Jobs/Failed", "Jobs/Pending" })
        expected.insert(kova(QLatin1String(folder)), QStringLiteral("kova"));
    EXPECT_EQ(ownership.groups(), expected);
    for (const QString& folder : expected.keys())
        EXPECT_EQ(modeOf(folder), 0775u) << folder.toStdString();

    // A second request finds everything in place.
    EXPECT_FALSE(make(&error).isEmpty());
    EXPECT_TRUE(error.isNull());
}

TEST_F(KOVAFolderMakerTest, WhatIsNotAPlainFolderIsAnErrorAndLeftAlone)
{
    struct Case {
        const char* name;
        const char* planted; // below "KOVA"
        bool asLink; // a link to the outside folder, else a plain file
        bool urlExpected;
        qint64 code;
    };
    const Case cases[] = {
        { "file as Completed", "Jobs/Completed", false, false, ENOTDIR },
        { "link as Jobs", "Jobs", true, false, ELOOP },
        { "link as Graphics", "Graphics", true, true, ELOOP },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(QFileInfo(kova()).path()).removeRecursively();
        QDir().mkpath(kova(QStringLiteral("Jobs")));
        const QString planted = kova(QLatin1String(c.planted));
        const QString target = c.asLink ? outside.path() : planted;
        writeFile(outside.path(QStringLiteral("kept")), "kept");
        if (c.asLink) {
            QDir(planted).removeRecursively();
            ASSERT_TRUE(QFile::link(outside.path(), planted));
        } else {
            writeFile(planted, "not a folder");
        }
        chmod(QFile::encodeName(target).constData(), 0600);
        const QStringList targetEntries = QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);

        RecordingOwnership recorded;
        platform::Error error;
        EXPECT_EQ(KOVAFolderMaker(recorded, QStringLiteral("admins")).makeKOVAFolder(&error).isEmpty(), !c.urlExpected);
        EXPECT_EQ(error.domain, platform::Error::POSIXDomain);
        EXPECT_EQ(error.code, c.code);
        if (c.code == ENOTDIR) {
            EXPECT_EQ(error.message, QStringLiteral("Existing object not a directory"));
        }
        EXPECT_EQ(modeOf(target), 0600u);
        EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), targetEntries);
        for (const QString& owned : recorded.groups().keys())
            EXPECT_FALSE(owned.startsWith(planted)) << owned.toStdString();
        chmod(QFile::encodeName(target).constData(), 0700);
    }
}
