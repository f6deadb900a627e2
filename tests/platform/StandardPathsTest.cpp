#include "platform/files/StandardPaths.h"

#include "platform/files/FileOperations.h"
#include "platform/files/StagingItems.h"

#include "FileFixtures.h"
#include "KilledChild.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using platform::StandardPaths;
using Folder = platform::StandardPaths::Folder;
using Domain = platform::StandardPaths::Domain;
using kova::test::KilledChild;
using kova::test::ScopedEnvironment;
using kova::test::ScratchFolder;
using kova::test::writeFile;

namespace {

QString environment(const char* name) { return qEnvironmentVariable(name); }

} // namespace

TEST(StandardPaths, UserFoldersFollowHomeAndTheXdgVariables)
{
    const QString home = environment("HOME");
    ASSERT_TRUE(home.startsWith(kova::test::sandboxRoot()));
    EXPECT_EQ(StandardPaths::path(Folder::Preferences), environment("XDG_CONFIG_HOME"));
    EXPECT_EQ(StandardPaths::path(Folder::Logs), environment("XDG_STATE_HOME") + QStringLiteral("/Logs"));
    EXPECT_EQ(StandardPaths::path(Folder::Trash), environment("XDG_DATA_HOME") + QStringLiteral("/Trash"));

    // Read at every call; a variable that is unset or relative falls back to its default.
    const ScopedEnvironment state("XDG_STATE_HOME", std::nullopt);
    const ScopedEnvironment config("XDG_CONFIG_HOME", QStringLiteral("relative/config"));
    const ScopedEnvironment data("XDG_DATA_HOME", QStringLiteral("/elsewhere/share/"));
    EXPECT_EQ(StandardPaths::path(Folder::Logs), home + QStringLiteral("/.local/state/Logs"));
    EXPECT_EQ(StandardPaths::path(Folder::Preferences), home + QStringLiteral("/.config"));
    EXPECT_EQ(StandardPaths::path(Folder::Trash), QStringLiteral("/elsewhere/share/Trash"));
}

TEST(StandardPaths, DesktopIsTheOneUserDirsNames)
{
    const QString home = environment("HOME");
    const QString userDirs = environment("XDG_CONFIG_HOME") + QStringLiteral("/user-dirs.dirs");
    EXPECT_EQ(StandardPaths::path(Folder::Desktop), home + QStringLiteral("/Desktop"));

    const struct {
        QByteArray line;
        QString desktop;
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"", home + QStringLiteral("/Schreibtisch")},
        {"XDG_DESKTOP_DIR=\"/srv/desk\"", QStringLiteral("/srv/desk")},
        {"XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"", home + QStringLiteral("/My \"Desk\"")},
        {"XDG_DESKTOP_DIR=\"relative/desk\"", home + QStringLiteral("/Desktop")},
        {"XDG_DESKTOP_DIR=\"$HOMEWORK/desk\"", home + QStringLiteral("/Desktop")},
    };
    for (const auto& each : cases) {
        ASSERT_TRUE(writeFile(userDirs, "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n" + each.line + "\n"));
        EXPECT_EQ(StandardPaths::path(Folder::Desktop), each.desktop) << each.line.constData();
    }
    // A file far too large to be a user-dirs file is not read.
    ASSERT_TRUE(writeFile(userDirs, "XDG_DESKTOP_DIR=\"/srv/desk\"\n" + QByteArray(100 * 1024, '#')));
    EXPECT_EQ(StandardPaths::path(Folder::Desktop), home + QStringLiteral("/Desktop"));
    QFile::remove(userDirs);
}

TEST(StandardPaths, MachineWideFoldersLiveUnderTheLocalDomainRoot)
{
    const QString root = environment("KOVA_LOCAL_DOMAIN");
    ASSERT_TRUE(root.startsWith(kova::test::sandboxRoot()));
    EXPECT_EQ(StandardPaths::path(Folder::ApplicationSupport, Domain::Local), root + QStringLiteral("/var/lib"));
    EXPECT_EQ(StandardPaths::path(Folder::Applications, Domain::Local), root + QStringLiteral("/opt"));
    EXPECT_EQ(StandardPaths::pathsInEveryDomain(Folder::ColorProfiles),
              QStringList({environment("XDG_DATA_HOME") + QStringLiteral("/icc"),
                           root + QStringLiteral("/usr/local/share/color/icc"),
                           root + QStringLiteral("/usr/share/color/icc")}));

    // Folders with no place in a domain.
    EXPECT_EQ(StandardPaths::path(Folder::Desktop, Domain::Local), QString());
    EXPECT_EQ(StandardPaths::pathsInEveryDomain(Folder::Logs), QStringList({StandardPaths::path(Folder::Logs)}));

    {
        const ScopedEnvironment unset("KOVA_LOCAL_DOMAIN", std::nullopt);
        EXPECT_EQ(StandardPaths::path(Folder::ApplicationSupport, Domain::Local), QStringLiteral("/var/lib"));
    }
    const ScopedEnvironment trailing("KOVA_LOCAL_DOMAIN", root + QStringLiteral("//"));
    EXPECT_EQ(StandardPaths::path(Folder::Applications, Domain::Local), root + QStringLiteral("/opt"));
}

TEST(StandardPaths, CreatedPathMakesTheFolderOrSaysWhyNot)
{
    const ScratchFolder scratch;
    const ScopedEnvironment state("XDG_STATE_HOME", scratch.path(QStringLiteral("state")));
    platform::Error error;
    const QString logs = StandardPaths::createdPath(Folder::Logs, Domain::User, &error);
    EXPECT_EQ(logs, scratch.path(QStringLiteral("state/Logs")));
    EXPECT_TRUE(QFileInfo(logs).isDir());
    EXPECT_EQ(StandardPaths::createdPath(Folder::Logs, Domain::User, &error), logs); // already there

    ASSERT_TRUE(writeFile(scratch.path(QStringLiteral("blocked")), "a file, not a folder"));
    const ScopedEnvironment blocked("XDG_STATE_HOME", scratch.path(QStringLiteral("blocked")));
    EXPECT_EQ(StandardPaths::createdPath(Folder::Logs, Domain::User, &error), QString());
    EXPECT_EQ(error.domain, platform::Error::POSIXDomain);
    EXPECT_TRUE(error.message.contains(scratch.path(QStringLiteral("blocked/Logs")))) << qPrintable(error.message);

    error = {};
    EXPECT_EQ(StandardPaths::createdPath(Folder::Desktop, Domain::System, &error), QString());
    EXPECT_FALSE(error.isNull());
}

TEST(StandardPaths, ItemReplacementFoldersAreNewPrivateAndNearTheTarget)
{
    platform::Error error;
    const QString home = StandardPaths::path(Folder::Home);
    const QString first = StandardPaths::makeItemReplacementFolder(home, &error);
    const QString second = StandardPaths::makeItemReplacementFolder(home + QStringLiteral("/not/there/yet"), &error);
    ASSERT_FALSE(first.isEmpty()) << qPrintable(error.message);
    ASSERT_FALSE(second.isEmpty()) << qPrintable(error.message);
    EXPECT_NE(first, second);
    EXPECT_EQ(QFileInfo(first).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);

    struct stat homeStatus {}, folderStatus {}, temporaryStatus {};
    ASSERT_EQ(::stat(QFile::encodeName(home).constData(), &homeStatus), 0);
    ASSERT_EQ(::stat(QFile::encodeName(first).constData(), &folderStatus), 0);
    ASSERT_EQ(::stat(QFile::encodeName(QDir::tempPath()).constData(), &temporaryStatus), 0);
    if (temporaryStatus.st_dev == homeStatus.st_dev) {
        EXPECT_EQ(QFileInfo(first).path(), QDir::cleanPath(QDir::tempPath()));
    }
    EXPECT_TRUE(folderStatus.st_dev == homeStatus.st_dev || folderStatus.st_dev == temporaryStatus.st_dev);
    QDir().rmdir(first);
    QDir().rmdir(second);
}

TEST(StandardPaths, ItemReplacementFolderMovesToTheCachesWhenOnlyTheyShareTheFileSystem)
{
    struct stat memoryStatus {}, temporaryStatus {};
    if (::stat("/dev/shm", &memoryStatus) != 0 || ::stat(QFile::encodeName(QDir::tempPath()).constData(), &temporaryStatus) != 0
        || memoryStatus.st_dev == temporaryStatus.st_dev)
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    const ScratchFolder memory(QStringLiteral("/dev/shm"));
    ASSERT_TRUE(memory.isValid());
    const ScopedEnvironment caches("XDG_CACHE_HOME", memory.path(QStringLiteral("cache")));
    const QString folder = StandardPaths::makeItemReplacementFolder(memory.path(QStringLiteral("target")));
    EXPECT_EQ(QFileInfo(folder).path(), memory.path(QStringLiteral("cache")));
}

namespace {

constexpr const char* itemsFolderChildVariable = "KOVA_TEST_ITEMS_FOLDER_CHILD";
const QString endsByItself = QStringLiteral("ends");
const QString waitsToBeKilled = QStringLiteral("waits");

QStringList itemsFoldersIn(const QString& folder, const QStringList& except = {})
{
    QStringList found = kova::test::entriesOf(folder).filter(QRegularExpression(QStringLiteral("-items-")));
    found.removeIf([&except](const QString& name) { return except.contains(name); });
    return found;
}

} // namespace

// Runs only as the child of the test below: makes its items folder with an item in it,
// then ends by itself or waits to be killed.
TEST(ItemsFolderChild, MakesItsFolder)
{
    if (!qEnvironmentVariableIsSet(itemsFolderChildVariable))
        GTEST_SKIP() << "runs as the child of StandardPaths.ItemsFoldersGoAtACleanExitAndStaleOnesAtTheNextStart";
    const QString folder = StandardPaths::makeItemReplacementFolder(StandardPaths::path(Folder::Home));
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_TRUE(writeFile(folder + QStringLiteral("/picture.jpeg"), "picture"));
    if (qEnvironmentVariable(itemsFolderChildVariable) == waitsToBeKilled) {
        KilledChild::startsWork();
        std::getchar(); // standard input stays open until the child is killed
    }
}

TEST(StandardPaths, ItemsFoldersGoAtACleanExitAndStaleOnesAtTheNextStart)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    KilledChild child(QStringLiteral("ItemsFolderChild.*"), itemsFolderChildVariable);
    const QString temporary = KilledChild::childrenTemporaryFolder();
    const QStringList earlier = itemsFoldersIn(temporary);
    ASSERT_EQ(child.runAndKill({waitsToBeKilled, waitsToBeKilled}, std::chrono::milliseconds(0)), 2);
    const QStringList killed = itemsFoldersIn(temporary, earlier);
    ASSERT_EQ(killed.size(), 2);
    platform::Error error;
    const QString live = platform::StagingItems::makeProcessFolder(temporary, QCoreApplication::applicationName(), &error);
    ASSERT_FALSE(live.isEmpty()) << qPrintable(error.message);
    const QString otherProgram = QStringLiteral("kova_other-items-Ab12Cd");
    ASSERT_TRUE(QDir(temporary).mkdir(otherProgram));

    struct Case {
        const char* what;
        QString name;
        bool isOld;
        bool isRemoved;
    };
    const Case cases[] = {
        {"left by a killed run", killed[0], true, true},
        {"left by a killed run, changed within the hour", killed[1], false, false},
        {"held by a live process", QFileInfo(live).fileName(), true, false},
        {"another program's", otherProgram, true, false},
    };
    const auto pathOf = [&temporary](const Case& c) { return temporary + QLatin1Char('/') + c.name; };
    for (const Case& c : cases) {
        if (c.isOld)
            ASSERT_TRUE(kova::test::makeOld(pathOf(c), platform::StagingItems::staleAge + std::chrono::minutes(1)));
    }

    const auto [exitCode, log] = child.runToEnd(endsByItself);
    ASSERT_EQ(exitCode, 0) << qPrintable(log);
    QStringList kept;
    for (const Case& c : cases) {
        EXPECT_NE(QFileInfo::exists(pathOf(c)), c.isRemoved) << c.what;
        EXPECT_EQ(log.contains(QStringLiteral("Removed the stale items folder \"%1\"").arg(pathOf(c))), c.isRemoved) << c.what;
        if (!c.isRemoved)
            kept += c.name;
    }
    kept.sort();
    EXPECT_EQ(itemsFoldersIn(temporary, earlier), kept) << "the child's own folder goes with its clean exit";
    for (const QString& name : kept)
        platform::FileOperations::removeItem(temporary + QLatin1Char('/') + name);
}

// At a program's start, the folders its killed runs left are cleared from the temporary
// and the cache folder alike, whether or not it goes on to assemble anything.
TEST(StandardPaths, StaleItemsFoldersGoAtStartInBothPlaces)
{
    ScratchFolder scratch;
    const ScopedEnvironment temporary("TMPDIR", scratch.path(QStringLiteral("tmp")));
    const ScopedEnvironment caches("XDG_CACHE_HOME", scratch.path(QStringLiteral("cache")));
    const QString name = QCoreApplication::applicationName() + QStringLiteral("-items-Zq81Lm");
    const QStringList stale = {scratch.path(QStringLiteral("tmp/")) + name, scratch.path(QStringLiteral("cache/")) + name};
    for (const QString& folder : stale) {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(kova::test::makeOld(folder, platform::StagingItems::staleAge + std::chrono::minutes(1)));
    }
    StandardPaths::removeStaleItemReplacementFolders();
    for (const QString& folder : stale)
        EXPECT_FALSE(QFileInfo::exists(folder)) << qPrintable(folder);
}
