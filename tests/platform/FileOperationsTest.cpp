#include "platform/files/FileOperations.h"

#include "FileFixtures.h"
#include "KilledChild.h"
#include "platform/files/StagingItems.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <latch>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using platform::Error;
using platform::FileOperations;
using kova::test::entriesOf;
using kova::test::KilledChild;
using kova::test::makeOld;
using kova::test::readFile;
using kova::test::ScratchFolder;
using kova::test::stagingItemsIn;
using kova::test::writeFile;

namespace {

// Stands in for every target folder being a file system of its own: only a
// rename from inside the target's folder stays on one device.
int renameAcrossFolderBoundaries(const char* from, const char* to)
{
    const QString targetFolder = QFileInfo(QFile::decodeName(to)).absolutePath() + QLatin1Char('/');
    const bool sameDevice = QFileInfo(QFile::decodeName(from)).absoluteFilePath().startsWith(targetFolder);
    return sameDevice ? FileOperations::systemRenameNoReplace(from, to) : EXDEV;
}

// Stands in for a file system that does not know the no-replace flag.
int renameWithoutFlagSupport(const char*, const char*) { return EINVAL; }

enum class RenameKind { System, AcrossFileSystems, WithoutFlagSupport };
const char* const renameKindNames[] = {"System", "AcrossFileSystems", "WithoutFlagSupport"};

class ReplacedRename {
public:
    explicit ReplacedRename(RenameKind kind)
        : m_previous(FileOperations::replaceRenameNoReplaceFunction(function(kind)))
    {
    }
    ~ReplacedRename() { FileOperations::replaceRenameNoReplaceFunction(m_previous); }
    ReplacedRename(const ReplacedRename&) = delete;
    ReplacedRename& operator=(const ReplacedRename&) = delete;

private:
    static FileOperations::RenameNoReplaceFunction function(RenameKind kind)
    {
        const FileOperations::RenameNoReplaceFunction functions[] = {nullptr, &renameAcrossFolderBoundaries,
                                                                     &renameWithoutFlagSupport};
        return functions[static_cast<int>(kind)];
    }

    FileOperations::RenameNoReplaceFunction m_previous;
};

// A small tree: a file, a nested file, an empty folder and a relative link.
void makeTree(const QString& root)
{
    QDir().mkpath(root + QStringLiteral("/Images/empty"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/job.xml"), "<data/>"));
    ASSERT_TRUE(writeFile(root + QStringLiteral("/Images/a.jpeg"), QByteArray(300000, 'a')));
    ASSERT_TRUE(QFile::link(QStringLiteral("Images/a.jpeg"), root + QStringLiteral("/cover.jpeg")));
}

void expectTree(const QString& root)
{
    EXPECT_EQ(readFile(root + QStringLiteral("/job.xml")), QByteArray("<data/>"));
    EXPECT_EQ(readFile(root + QStringLiteral("/Images/a.jpeg")), QByteArray(300000, 'a'));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/Images/empty")).isDir());
    EXPECT_EQ(QFileInfo(root + QStringLiteral("/cover.jpeg")).symLinkTarget(),
              QFileInfo(root + QStringLiteral("/Images/a.jpeg")).absoluteFilePath());
}

bool exists(const QString& path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

bool onFileSystemOfItsOwn(const char* folder, const QString& than)
{
    struct stat folderStatus {}, otherStatus {};
    return ::stat(folder, &folderStatus) == 0 && ::stat(QFile::encodeName(than).constData(), &otherStatus) == 0
        && folderStatus.st_dev != otherStatus.st_dev;
}

// Runs `contend(each)` on several threads at once; answers how many succeeded.
template<typename Contend>
int contenders(int count, Contend contend)
{
    std::atomic<int> successes{0};
    std::latch start(count);
    std::vector<std::thread> threads;
    for (int each = 0; each < count; ++each) {
        threads.emplace_back([&, each] {
            start.arrive_and_wait();
            successes += contend(each) ? 1 : 0;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return successes;
}

} // namespace

class FileMove : public ::testing::TestWithParam<RenameKind> {
protected:
    QString path(const QString& relative) const { return m_folder.path(relative); }

    ScratchFolder m_folder;
    ReplacedRename m_rename{GetParam()};
};

TEST_P(FileMove, MovesFilesFoldersAndLinks)
{
    QDir().mkpath(path(QStringLiteral("in")));
    QDir().mkpath(path(QStringLiteral("out")));
    ASSERT_TRUE(writeFile(path(QStringLiteral("in/ticket.xml")), "<data/>"));
    makeTree(path(QStringLiteral("in/Order.kovajob")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nowhere"), path(QStringLiteral("in/dangling"))));

    Error error;
    for (const QString& name : {QStringLiteral("ticket.xml"), QStringLiteral("Order.kovajob"), QStringLiteral("dangling")}) {
        EXPECT_TRUE(FileOperations::moveItemNoReplace(path("in/" + name), path("out/" + name), &error)) << qPrintable(error.message);
    }
    EXPECT_EQ(entriesOf(path(QStringLiteral("in"))), QStringList());
    EXPECT_EQ(entriesOf(path(QStringLiteral("out"))),
              QStringList({QStringLiteral("Order.kovajob"), QStringLiteral("dangling"), QStringLiteral("ticket.xml")}));
    EXPECT_EQ(readFile(path(QStringLiteral("out/ticket.xml"))), QByteArray("<data/>"));
    expectTree(path(QStringLiteral("out/Order.kovajob")));
    EXPECT_EQ(QFileInfo(path(QStringLiteral("out/dangling"))).symLinkTarget(), QStringLiteral("/nowhere"));

    EXPECT_FALSE(FileOperations::moveItemNoReplace(path(QStringLiteral("in/ticket.xml")), path(QStringLiteral("again")), &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_TRUE(error.message.contains(path(QStringLiteral("in/ticket.xml")))) << qPrintable(error.message);
}

TEST_P(FileMove, NeverReplacesWhatIsAtTheTarget)
{
    QDir().mkpath(path(QStringLiteral("out/empty folder")));
    QDir().mkpath(path(QStringLiteral("out/full folder/inside")));
    ASSERT_TRUE(writeFile(path(QStringLiteral("out/file")), "earlier"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/nowhere"), path(QStringLiteral("out/link"))));
    ASSERT_TRUE(writeFile(path(QStringLiteral("source file")), "later"));
    makeTree(path(QStringLiteral("source folder")));
    const QStringList targetsBefore = entriesOf(path(QStringLiteral("out")));

    for (const QString& source : {QStringLiteral("source file"), QStringLiteral("source folder")}) {
        for (const QString& target : targetsBefore) {
            Error error;
            EXPECT_FALSE(FileOperations::moveItemNoReplace(path(source), path("out/" + target), &error)) << qPrintable(source + " -> " + target);
            EXPECT_EQ(error.domain, Error::POSIXDomain);
            EXPECT_EQ(error.code, EEXIST);
            EXPECT_TRUE(error.message.contains(path("out/" + target))) << qPrintable(error.message);
        }
    }
    EXPECT_EQ(entriesOf(path(QStringLiteral("out"))), targetsBefore);
    EXPECT_TRUE(QDir(path(QStringLiteral("out/empty folder"))).isEmpty());
    EXPECT_EQ(readFile(path(QStringLiteral("out/file"))), QByteArray("earlier"));
    EXPECT_EQ(readFile(path(QStringLiteral("source file"))), QByteArray("later"));
    expectTree(path(QStringLiteral("source folder")));
}

TEST_P(FileMove, RacingMovesToOneNameHaveExactlyOneWinner)
{
    for (int round = 0; round < 10; ++round) {
        const QString target = path(QStringLiteral("target-%1").arg(round));
        const auto source = [&](int each) { return path(QStringLiteral("source-%1-%2").arg(round).arg(each)); };
        for (int each = 0; each < 6; ++each)
            ASSERT_TRUE(writeFile(source(each), QByteArray::number(each)));
        ASSERT_EQ(contenders(6, [&](int each) { return FileOperations::moveItemNoReplace(source(each), target); }), 1);
        EXPECT_FALSE(exists(source(readFile(target).toInt())));
    }
}

INSTANTIATE_TEST_SUITE_P(Renames, FileMove,
                         ::testing::Values(RenameKind::System, RenameKind::AcrossFileSystems, RenameKind::WithoutFlagSupport),
                         [](const auto& info) { return std::string(renameKindNames[static_cast<int>(info.param)]); });

class Files : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return m_folder.path(relative); }

    ScratchFolder m_folder;
};

TEST_F(Files, MovesAcrossFileSystemsKeepDatesAndPermissionsAndLeaveNothingBehind)
{
    const ReplacedRename acrossFileSystems(RenameKind::AcrossFileSystems);
    QDir().mkpath(path(QStringLiteral("out")));
    makeTree(path(QStringLiteral("Order")));
    const QDateTime modified = QDateTime::currentDateTime().addDays(-3);
    QFile ticket(path(QStringLiteral("Order/job.xml")));
    ASSERT_TRUE(ticket.open(QIODevice::ReadWrite) && ticket.setFileTime(modified, QFileDevice::FileModificationTime));
    ticket.close();
    ASSERT_TRUE(ticket.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    Error error;
    ASSERT_TRUE(FileOperations::moveItemNoReplace(path(QStringLiteral("Order")), path(QStringLiteral("out/Order")), &error))
        << qPrintable(error.message);
    EXPECT_FALSE(exists(path(QStringLiteral("Order"))));
    expectTree(path(QStringLiteral("out/Order")));
    const QFileInfo moved(path(QStringLiteral("out/Order/job.xml")));
    EXPECT_EQ(moved.lastModified(), modified);
    EXPECT_EQ(moved.permissions() & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_EQ(entriesOf(path(QStringLiteral("out"))), QStringList({QStringLiteral("Order")}));

    // A pipe cannot be copied: the copy fails part of the way, leaving no trace.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("out/Order/Images/pipe"))).constData(), 0600), 0);
    QDir().mkpath(path(QStringLiteral("back")));
    EXPECT_FALSE(FileOperations::moveItemNoReplace(path(QStringLiteral("out/Order")), path(QStringLiteral("back/Order")), &error));
    EXPECT_TRUE(error.message.contains(path(QStringLiteral("out/Order/Images/pipe")))) << qPrintable(error.message);
    EXPECT_EQ(entriesOf(path(QStringLiteral("back"))), QStringList());
    expectTree(path(QStringLiteral("out/Order")));
}

TEST_F(Files, MovesToAndFromAnotherRealFileSystem)
{
    if (!onFileSystemOfItsOwn("/dev/shm", path(QString())))
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    const ScratchFolder memory(QStringLiteral("/dev/shm"));
    makeTree(path(QStringLiteral("Order")));
    ASSERT_TRUE(writeFile(path(QStringLiteral("photo.jpeg")), "jpeg"));
    ASSERT_TRUE(writeFile(memory.path(QStringLiteral("taken")), "taken"));

    Error error;
    EXPECT_TRUE(FileOperations::moveItemNoReplace(path(QStringLiteral("Order")), memory.path(QStringLiteral("Order")), &error))
        << qPrintable(error.message);
    EXPECT_FALSE(FileOperations::moveItemNoReplace(path(QStringLiteral("photo.jpeg")), memory.path(QStringLiteral("taken")), &error));
    EXPECT_EQ(error.code, EEXIST);
    EXPECT_EQ(readFile(memory.path(QStringLiteral("taken"))), QByteArray("taken"));
    expectTree(memory.path(QStringLiteral("Order")));
    EXPECT_EQ(entriesOf(memory.path()), QStringList({QStringLiteral("Order"), QStringLiteral("taken")}));
    EXPECT_EQ(entriesOf(path(QString())), QStringList({QStringLiteral("photo.jpeg")}));
}

TEST_F(Files, AtomicWritesReplaceInOneStepAndLeaveNoTemporaryFiles)
{
    const QString file = path(QStringLiteral("prefs.plist"));
    Error error;
    ASSERT_TRUE(FileOperations::writeFileAtomically(file, "first", &error)) << qPrintable(error.message);
    EXPECT_EQ(QFileInfo(file).permissions() & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // A replaced file keeps its own permissions; a link is kept and its target replaced.
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(QFile::link(file, path(QStringLiteral("link.plist"))));
    ASSERT_TRUE(FileOperations::writeFileAtomically(path(QStringLiteral("link.plist")), "second", &error));
    EXPECT_EQ(readFile(file), QByteArray("second"));
    EXPECT_EQ(QFileInfo(file).permissions() & 0x0777, QFileDevice::ReadUser | QFileDevice::WriteUser);
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("link.plist"))).isSymLink());

    EXPECT_FALSE(FileOperations::writeFileAtomicallyNoReplace(file, "third", &error));
    EXPECT_EQ(error.code, EEXIST);
    EXPECT_EQ(readFile(file), QByteArray("second"));
    EXPECT_TRUE(FileOperations::writeFileAtomicallyNoReplace(path(QStringLiteral("new.jpeg")), "fourth", &error));
    EXPECT_EQ(readFile(path(QStringLiteral("new.jpeg"))), QByteArray("fourth"));
    EXPECT_EQ(entriesOf(path(QString())),
              QStringList({QStringLiteral("link.plist"), QStringLiteral("new.jpeg"), QStringLiteral("prefs.plist")}));

    // Replacing without following puts the file in the link's place; its target stays.
    ASSERT_TRUE(FileOperations::replaceFileAtomically(path(QStringLiteral("link.plist")), "fifth", &error));
    EXPECT_FALSE(QFileInfo(path(QStringLiteral("link.plist"))).isSymLink());
    EXPECT_EQ(readFile(path(QStringLiteral("link.plist"))), QByteArray("fifth"));
    EXPECT_EQ(readFile(file), QByteArray("second"));
}

TEST_F(Files, AFailedAtomicWriteKeepsTheOriginal)
{
    const QString file = path(QStringLiteral("ticket.xml"));
    ASSERT_TRUE(writeFile(file, "original"));

    // The file-size limit makes writing the new contents fail half-way.
    struct rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Error error;
    const bool written = FileOperations::writeFileAtomically(file, QByteArray(100000, 'x'), &error);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(error.code, EFBIG);
    EXPECT_EQ(readFile(file), QByteArray("original"));

    // A folder in the way is not replaced, nor a missing folder written into.
    QDir().mkpath(path(QStringLiteral("folder/inside")));
    EXPECT_FALSE(FileOperations::writeFileAtomically(path(QStringLiteral("folder")), "data", &error));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("folder/inside"))).isDir());
    EXPECT_FALSE(FileOperations::writeFileAtomically(path(QStringLiteral("missing/file")), "data", &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_TRUE(error.message.contains(path(QStringLiteral("missing")))) << qPrintable(error.message);
    EXPECT_EQ(entriesOf(path(QString())), QStringList({QStringLiteral("folder"), QStringLiteral("ticket.xml")}));
}

TEST_F(Files, ExclusiveCreationClaimsOnlyAFreeName)
{
    const QString file = path(QStringLiteral("claimed"));
    Error error;
    EXPECT_TRUE(FileOperations::createExclusive(file, &error));
    EXPECT_EQ(QFileInfo(file).size(), 0);
    EXPECT_FALSE(FileOperations::createExclusive(file, &error));
    EXPECT_EQ(error.code, EEXIST);
    EXPECT_TRUE(error.message.contains(file)) << qPrintable(error.message);
    // A dangling link takes the name; nothing is created where it points.
    ASSERT_TRUE(QFile::link(path(QStringLiteral("elsewhere")), path(QStringLiteral("link"))));
    EXPECT_FALSE(FileOperations::createExclusive(path(QStringLiteral("link")), &error));
    EXPECT_FALSE(exists(path(QStringLiteral("elsewhere"))));

    for (int round = 0; round < 20; ++round) {
        const QString claimed = path(QStringLiteral("claimed-%1").arg(round));
        const QString written = path(QStringLiteral("written-%1").arg(round));
        ASSERT_EQ(contenders(8, [&](int) { return FileOperations::createExclusive(claimed); }), 1);
        ASSERT_EQ(contenders(8, [&](int each) { return FileOperations::writeFileAtomicallyNoReplace(written, QByteArray::number(each)); }), 1);
    }
    EXPECT_EQ(entriesOf(path(QString())).filter(QStringLiteral(".kova")), QStringList());
}

TEST_F(Files, MakesAndRemovesFolderTrees)
{
    Error error;
    EXPECT_TRUE(FileOperations::makeDirectory(path(QStringLiteral("a/b/c/")), true, &error)) << qPrintable(error.message);
    EXPECT_TRUE(FileOperations::makeDirectory(path(QStringLiteral("a/b/c")), true, &error));
    EXPECT_FALSE(FileOperations::makeDirectory(path(QStringLiteral("a/b/c")), false, &error));
    EXPECT_EQ(error.code, EEXIST);
    ASSERT_TRUE(writeFile(path(QStringLiteral("file")), "a file"));
    EXPECT_FALSE(FileOperations::makeDirectory(path(QStringLiteral("file/sub")), true, &error));
    EXPECT_EQ(error.code, ENOTDIR);
    EXPECT_TRUE(error.message.contains(path(QStringLiteral("file/sub")))) << qPrintable(error.message);

    // Removing a tree removes its links, not what they point to.
    makeTree(path(QStringLiteral("a/Order")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("file")), path(QStringLiteral("a/b/link"))));
    EXPECT_TRUE(FileOperations::removeItem(path(QStringLiteral("a")), &error)) << qPrintable(error.message);
    EXPECT_EQ(entriesOf(path(QString())), QStringList({QStringLiteral("file")}));
    EXPECT_FALSE(FileOperations::removeItem(path(QStringLiteral("a")), &error));
    EXPECT_EQ(error.code, ENOENT);
}

TEST_F(Files, CopiesNeverRecurseIntoThemselves)
{
    makeTree(path(QStringLiteral("Order")));
    Error error;
    EXPECT_FALSE(FileOperations::copyItem(path(QStringLiteral("Order")), path(QStringLiteral("Order/Images/Again")), &error));
    EXPECT_EQ(error.code, EINVAL);
    EXPECT_EQ(entriesOf(path(QStringLiteral("Order/Images"))), QStringList({QStringLiteral("a.jpeg"), QStringLiteral("empty")}));
}

namespace {

// A staging item: a folder with something in it, a file or a link.
enum class ItemKind { Folder, File, Link };

struct StagingCase {
    const char* name;
    ItemKind kind;
    std::chrono::seconds age;
    bool isRemoved;
    bool isSomeoneElses = false;
};

constexpr std::chrono::seconds stale = platform::StagingItems::staleAge + std::chrono::minutes(2);
constexpr std::chrono::seconds fresh = platform::StagingItems::staleAge - std::chrono::minutes(2);

const StagingCase stagingCases[] = {
    {".kova-copy-Ab12Cd", ItemKind::Folder, stale, true},
    {".kova-Ab12Cd.tmp", ItemKind::File, stale, true},
    {".kova-copy-Ef34Gh", ItemKind::Folder, fresh, false}, // an operation at work
    {".kova-Ef34Gh.tmp", ItemKind::File, fresh, false},
    {".kova-copy-Ab12C", ItemKind::Folder, stale, false}, // five random characters
    {".kova-Ab-2Cd.tmp", ItemKind::File, stale, false},   // a character the pattern never makes
    {".kova-Ab12Cd.txt", ItemKind::File, stale, false},
    {"kova-Ab12Cd.tmp", ItemKind::File, stale, false},
    {".kova-copy-Ij56Kl", ItemKind::File, stale, false}, // not of the pattern's kind
    {".kova-Ij56Kl.tmp", ItemKind::Link, stale, false},
    {".kova-Mn78Op.tmp", ItemKind::File, stale, false, true},
};

// Only the super-user can give an item to someone else.
bool canMake(const StagingCase& item) { return !item.isSomeoneElses || ::geteuid() == 0; }

void makeStagingItem(const QString& path, const StagingCase& item)
{
    if (item.kind == ItemKind::Folder) {
        makeTree(path);
    } else {
        const bool made = item.kind == ItemKind::File ? writeFile(path, "half") : QFile::link(QStringLiteral("/"), path);
        ASSERT_TRUE(made);
    }
    if (item.isSomeoneElses) {
        ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    }
    ASSERT_TRUE(makeOld(path, item.age));
}

// The operations that stage their work in `folder`, with `elsewhere` on another file system.
struct StagingOperation {
    const char* name;
    bool takesOrderFromFolder;
    std::function<bool(const QString& folder, const QString& elsewhere)> run;
};

const StagingOperation stagingOperations[] = {
    {"atomic write", false, [](const QString& folder, const QString&) { return FileOperations::writeFileAtomically(folder + "/prefs.plist", "new"); }},
    {"no-replace write", false, [](const QString& folder, const QString&) { return FileOperations::writeFileAtomicallyNoReplace(folder + "/new.jpeg", "new"); }},
    {"copy into", false, [](const QString& folder, const QString& elsewhere) { return FileOperations::copyItem(elsewhere + "/Order", folder + "/Order"); }},
    {"move into", false, [](const QString& folder, const QString& elsewhere) { return FileOperations::moveItemNoReplace(elsewhere + "/Order", folder + "/Order"); }},
    {"move out of", true, [](const QString& folder, const QString& elsewhere) { return FileOperations::moveItemNoReplace(folder + "/Order", elsewhere + "/Order"); }},
};

} // namespace

TEST_F(Files, EveryStagingOperationFirstRemovesOnlyStaleStagingItemsOfItsOwn)
{
    const ReplacedRename acrossFileSystems(RenameKind::AcrossFileSystems);
    for (const StagingOperation& operation : stagingOperations) {
        const ScratchFolder folder, elsewhere;
        makeTree((operation.takesOrderFromFolder ? folder : elsewhere).path(QStringLiteral("Order")));
        for (const StagingCase& item : stagingCases) {
            if (canMake(item))
                makeStagingItem(folder.path(item.name), item);
        }

        ASSERT_TRUE(operation.run(folder.path(), elsewhere.path())) << operation.name;
        for (const StagingCase& item : stagingCases) {
            if (canMake(item)) {
                EXPECT_EQ(exists(folder.path(item.name)), !item.isRemoved) << operation.name << ": " << item.name;
            }
        }
    }
}

namespace {

const char moveChildVariable[] = "KOVA_KILLED_MOVE_FOLDERS";
constexpr int killRuns = 30;
constexpr int childrenAtOnce = 10;
constexpr int manyFiles = 12;

// One of the small files of a folder that takes a while to remove: its path and contents.
std::pair<QString, QByteArray> smallFile(const QString& root, int file)
{
    return {root + QStringLiteral("/%1/%2.jpeg").arg(file % 3).arg(file), QByteArray(2000, char('a' + file % 26))};
}

void makeManyFiles(const QString& root)
{
    for (int file = 0; file < manyFiles; ++file) {
        const auto [path, contents] = smallFile(root, file);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(writeFile(path, contents));
    }
}

bool hasManyFiles(const QString& root)
{
    for (int file = 0; file < manyFiles; ++file) {
        const auto [path, contents] = smallFile(root, file);
        if (readFile(path) != contents)
            return false;
    }
    return entriesOf(root).size() == 3;
}

// Where "Order" is: the first folder, the second, or both.
QStringList foldersHoldingOrder(const QStringList& folders)
{
    QStringList holding;
    for (const QString& folder : folders) {
        if (exists(folder + QStringLiteral("/Order")))
            holding += folder;
    }
    return holding;
}

struct KilledMoves {
    int leftStaging = 0;
    int leftTwoWholeItems = 0; // killed between publishing the copy and taking the source away
};

// A killed move leaves "Order" whole in one of its two folders, or in both,
// and maybe staging items; made stale, these go with the next move.
void expectWholeItemThenMoveOn(const QStringList& folders, KilledMoves& outcome)
{
    QStringList holding = foldersHoldingOrder(folders);
    ASSERT_FALSE(holding.isEmpty());
    for (const QString& folder : holding)
        ASSERT_TRUE(hasManyFiles(folder + QStringLiteral("/Order"))) << "half an item in " << qPrintable(folder);
    if (holding.size() == 2) {
        ++outcome.leftTwoWholeItems;
        ASSERT_TRUE(FileOperations::removeItem(holding.takeLast() + QStringLiteral("/Order")));
    }
    bool staged = false;
    for (const QString& folder : folders) {
        for (const QString& item : stagingItemsIn(folder)) {
            ASSERT_TRUE(makeOld(folder + QLatin1Char('/') + item, platform::StagingItems::staleAge + std::chrono::minutes(1)));
            staged = true;
        }
    }
    outcome.leftStaging += staged ? 1 : 0;

    const QString& to = folders[holding.front() == folders[0] ? 1 : 0];
    ASSERT_TRUE(FileOperations::moveItemNoReplace(holding.front() + QStringLiteral("/Order"), to + QStringLiteral("/Order")));
    for (const QString& folder : folders)
        EXPECT_EQ(stagingItemsIn(folder), QStringList());
}

} // namespace

// Runs only as the child of the test below: moves "Order" from one folder to
// the other and back until it is killed.
TEST(FileMoveKilledChild, MovesBackAndForth)
{
    if (!qEnvironmentVariableIsSet(moveChildVariable))
        GTEST_SKIP() << "runs as the child of Files.KilledMovesAcrossFileSystemsLeaveWholeItemsAndTheNextMoveClearsTheirStaging";
    const QStringList folders = qEnvironmentVariable(moveChildVariable).split(QLatin1Char('\n'));
    KilledChild::startsWork();
    for (int move = 0; move < 1000; ++move) {
        const bool inFirst = exists(folders[0] + QStringLiteral("/Order"));
        ASSERT_TRUE(FileOperations::moveItemNoReplace(folders[inFirst ? 0 : 1] + QStringLiteral("/Order"),
                                                      folders[inFirst ? 1 : 0] + QStringLiteral("/Order")));
    }
}

TEST_F(Files, KilledMovesAcrossFileSystemsLeaveWholeItemsAndTheNextMoveClearsTheirStaging)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    if (!onFileSystemOfItsOwn("/dev/shm", path(QString())))
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    const ScratchFolder memory(QStringLiteral("/dev/shm"));
    std::vector<QStringList> folderPairs;
    QStringList childValues;
    for (int each = 0; each < childrenAtOnce; ++each) {
        folderPairs.push_back({path(QStringLiteral("disk-%1").arg(each)), memory.path(QString::number(each))});
        ASSERT_TRUE(QDir().mkpath(folderPairs.back()[1]));
        makeManyFiles(folderPairs.back()[0] + QStringLiteral("/Order"));
        childValues += folderPairs.back().join(QLatin1Char('\n'));
    }

    KilledChild child(QStringLiteral("FileMoveKilledChild.*"), moveChildVariable);
    KilledMoves outcome;
    for (int round = 0; round < killRuns / childrenAtOnce; ++round) {
        ASSERT_EQ(child.runAndKill(childValues, std::chrono::milliseconds(150)), childrenAtOnce) << "round " << round;
        for (const QStringList& folders : folderPairs)
            ASSERT_NO_FATAL_FAILURE(expectWholeItemThenMoveOn(folders, outcome)) << "round " << round;
    }
    std::printf("%d killed moves: %d left staging items, %d left the item whole in both folders\n", killRuns,
                outcome.leftStaging, outcome.leftTwoWholeItems);
}
