#include "workflow/KOVA.h"
#include "workflow/KOVA_LoggerExtension.h"

#include "FileFixtures.h"
#include "TestEnvironment.h"
#include "core/foundation/KOVA_Constants.h"
#include "platform/files/StandardPaths.h"
#include "platform/files/UTType.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>


namespace {

QString expectedRoot()
{
    return kova::test::sandboxRoot() + QStringLiteral("/local/var/lib/Morvanta/KOVA");
}

QString pathOf(const QUrl& url) { return url.toLocalFile(); }

using kova::test::readFile;
using kova::test::writeFile;

} // namespace

TEST(KOVAWorkFolders, treeUnderTheMachineWideApplicationSupport)
{
    const QString root = expectedRoot();
    EXPECT_EQ(pathOf(KOVA::kovaDirectory()), root);
    EXPECT_TRUE(QFileInfo(root).isDir()); // made by the first call, parents included

    EXPECT_EQ(pathOf(KOVA::kovaDirectoryTemplates()), root + QStringLiteral("/Templates"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryGraphics()), root + QStringLiteral("/Graphics"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryPackages()), root + QStringLiteral("/Packages"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryNodes()), root + QStringLiteral("/Nodes"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryJobs()), root + QStringLiteral("/Jobs"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryJobsCompleted()), root + QStringLiteral("/Jobs/Completed"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryJobsFailed()), root + QStringLiteral("/Jobs/Failed"));
    EXPECT_EQ(pathOf(KOVA::kovaDirectoryJobsPending()), root + QStringLiteral("/Jobs/Pending"));

    // Asking for the subfolders makes none of them.
    EXPECT_TRUE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST(KOVAWorkFolders, subdirectoryFollowsTheOperationName)
{
    const QString root = expectedRoot();
    for (const char* name : {"", "kovaDirectory", "templatesDirectory", "KovaDirectoryTemplates", "kova"})
        EXPECT_EQ(pathOf(KOVA::kovaDirectorySubdirectory(QString::fromLatin1(name))), root) << name;
    EXPECT_EQ(pathOf(KOVA::kovaDirectorySubdirectory(QStringLiteral("kovaDirectoryOutputs"))),
              root + QStringLiteral("/Outputs"));
}

TEST(KOVAWorkFolders, rootCheckMakesOnlyWhatIsMissing)
{
    QTemporaryDir scratch(kova::test::sandboxRoot() + QStringLiteral("/root-check-XXXXXX"));

    const QString missing = scratch.path() + QStringLiteral("/var/lib/Morvanta/KOVA");
    KOVA::checkRootFolder(QUrl::fromLocalFile(missing));
    EXPECT_TRUE(QFileInfo(missing).isDir());

    ASSERT_TRUE(writeFile(missing + QStringLiteral("/Templates.txt"), "kept"));
    KOVA::checkRootFolder(QUrl::fromLocalFile(missing));
    EXPECT_EQ(readFile(missing + QStringLiteral("/Templates.txt")), QByteArray("kept"));

    // A file, or a link to nowhere, standing at the root's path is left in place.
    const QString file = scratch.path() + QStringLiteral("/KOVA-file");
    const QString link = scratch.path() + QStringLiteral("/KOVA-link");
    ASSERT_TRUE(writeFile(file, "not a folder"));
    ASSERT_TRUE(QFile::link(scratch.path() + QStringLiteral("/nowhere"), link));
    for (const QString& taken : {file, link}) {
        testing::internal::CaptureStderr();
        KOVA::checkRootFolder(QUrl::fromLocalFile(taken));
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find(taken.toStdString()), std::string::npos) << log;
        EXPECT_FALSE(QFileInfo(taken).isDir());
    }
    EXPECT_EQ(readFile(file), QByteArray("not a folder"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(scratch.path() + QStringLiteral("/nowhere")));
}

TEST(KOVAWorkFolders, makeDirectoryReportsFailureToTheBlockOrTheLog)
{
    QTemporaryDir scratch(kova::test::sandboxRoot() + QStringLiteral("/make-XXXXXX"));
    const QUrl nested = QUrl::fromLocalFile(scratch.path() + QStringLiteral("/a/b/c"));
    int calls = 0;
    const KOVA::ErrorBlock countCalls = [&calls](const platform::Error&) { ++calls; };
    EXPECT_TRUE(KOVA::makeDirectory(nested, countCalls));
    EXPECT_TRUE(KOVA::makeDirectory(nested)); // an existing folder is success
    EXPECT_TRUE(QFileInfo(nested.toLocalFile()).isDir());
    EXPECT_EQ(calls, 0);

    ASSERT_TRUE(writeFile(scratch.path() + QStringLiteral("/file"), "x"));
    const QUrl underFile = QUrl::fromLocalFile(scratch.path() + QStringLiteral("/file/sub"));
    platform::Error reported;
    EXPECT_FALSE(KOVA::makeDirectory(underFile, [&reported](const platform::Error& error) { reported = error; }));
    EXPECT_EQ(reported.domain, platform::Error::POSIXDomain);
    EXPECT_EQ(reported.code, ENOTDIR);
    EXPECT_TRUE(reported.message.contains(scratch.path())) << reported.message.toStdString();

    testing::internal::CaptureStderr();
    EXPECT_FALSE(KOVA::makeDirectory(underFile));
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_NE(logged.find("] " + reported.description().toStdString() + "\n"), std::string::npos) << logged;
}

TEST(KOVAConstants, preferenceKeysAndTypes)
{
    // Folder keys carry their own names; the other keys drop the prefix.
    EXPECT_EQ(key_kovaFolderJobsCompleted, QStringLiteral("key_kovaFolderJobsCompleted"));
    EXPECT_EQ(key_kovaFolderKOVA, QStringLiteral("key_kovaFolderKOVA"));
    EXPECT_EQ(key_kovaFolderFallbackOutputPath, QStringLiteral("kovaFolderFallbackOutputPath"));
    EXPECT_EQ(key_kovaProcessorIsRunning, QStringLiteral("kovaProcessorIsRunning"));
    // Stored preferences and peers name the same job type as the type table.
    EXPECT_EQ(kUTType_KOVA_Job, platform::UTType::jobBundle);
}

TEST(KOVA_LoggerExtension, ProgramLogLivesInTheKovaLogsFolder)
{
    const QUrl log = KOVA_LoggerExtension::defaultLogFileKOVA();
    EXPECT_EQ(log.toLocalFile(), platform::StandardPaths::path(platform::StandardPaths::Folder::Logs)
                  + QStringLiteral("/Kova/") + QCoreApplication::applicationName() + QStringLiteral(".log"));
}
