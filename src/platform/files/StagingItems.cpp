#include "platform/files/StagingItems.h"

#include "platform/Log.h"
#include "platform/files/FileOperations.h"

#include <QByteArrayView>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

constexpr QByteArrayView folderPrefix = ".kova-copy-";
constexpr QByteArrayView filePrefix = ".kova-";
constexpr QByteArrayView fileSuffix = ".tmp";
constexpr QByteArrayView processFolderInfix = "-items-";
constexpr qsizetype randomLength = 6; // the "XXXXXX" that mkdtemp and mkstemps fill in

enum class StagingKind { None, Folder, File };
using KindOfName = std::function<StagingKind(QByteArrayView name)>;

bool isRandomPart(QByteArrayView part)
{
    return part.size() == randomLength && std::all_of(part.begin(), part.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

bool isRandomAfter(QByteArrayView name, QByteArrayView prefix)
{
    return name.startsWith(prefix) && isRandomPart(name.sliced(prefix.size()));
}

// What an item of this name would be if staging had made it.
StagingKind kindOfName(QByteArrayView name)
{
    if (isRandomAfter(name, folderPrefix))
        return StagingKind::Folder;
    if (name.size() == filePrefix.size() + randomLength + fileSuffix.size() && name.startsWith(filePrefix)
        && name.endsWith(fileSuffix) && isRandomPart(name.sliced(filePrefix.size(), randomLength)))
        return StagingKind::File;
    return StagingKind::None;
}

QByteArray processFolderPrefix(const QString& processName)
{
    return QFile::encodeName(processName) + processFolderInfix.toByteArray();
}

bool isStale(int folder, const char* name, StagingKind kind)
{
    struct stat status {};
    if (::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    const bool ofItsKind = kind == StagingKind::Folder ? S_ISDIR(status.st_mode) : S_ISREG(status.st_mode);
    const time_t staleBefore = std::time(nullptr) - std::chrono::seconds(StagingItems::staleAge).count();
    return ofItsKind && status.st_uid == ::geteuid() && status.st_mtim.tv_sec < staleBefore;
}

// The names of the stale items in `path` that `kindOf` takes for staging items.
QStringList staleNames(const QString& path, const KindOfName& kindOf)
{
    QStringList names;
    DIR* folder = ::opendir(QFile::encodeName(path).constData());
    if (!folder)
        return names; // the operation about to stage here reports what is wrong with the folder
    while (const dirent* entry = ::readdir(folder)) {
        const StagingKind kind = kindOf(entry->d_name);
        if (kind != StagingKind::None && isStale(::dirfd(folder), entry->d_name, kind))
            names += QFile::decodeName(entry->d_name);
    }
    ::closedir(folder);
    return names;
}

void removeLogged(const QString& path, const QString& what)
{
    Error error;
    if (FileOperations::removeItem(path, &error))
        Log::log(QStringLiteral("Removed the stale %1 \"%2\"").arg(what, path));
    else
        Log::error(QStringLiteral("cannot remove the stale %1: %2").arg(what, error.message));
}

// The folder at `path`, opened and locked for as long as the descriptor stays open: the
// lock goes with the process, however it ends. -1 when it cannot be opened or another
// open folder holds the lock.
int lockedFolder(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int held = errno;
        ::close(descriptor);
        errno = held;
        return -1;
    }
    return descriptor;
}

// The process folders this process made and holds until it exits.
struct HeldFolder {
    QString path;
    int lock;
    pid_t maker;
};

std::mutex heldFoldersMutex;
std::vector<HeldFolder>* heldFolders = new std::vector<HeldFolder>; // kept for the exit handler

// At a clean exit. A process forked from this one shares the locks but not the folders:
// only the process that made a folder removes it. A folder that cannot be removed is
// stale at the next start.
void removeHeldFolders()
{
    const std::lock_guard lock(heldFoldersMutex);
    for (const HeldFolder& folder : *heldFolders) {
        if (folder.maker == ::getpid())
            FileOperations::removeItem(folder.path);
    }
}

void holdUntilExit(const QString& path, int lock)
{
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(removeHeldFolders); });
    const std::lock_guard guard(heldFoldersMutex);
    heldFolders->push_back({path, lock, ::getpid()});
}

} // namespace

QString StagingItems::makeFolder(const QString& folder, Error* error)
{
    removeStale(folder);
    QByteArray pattern = QFile::encodeName(folder + QLatin1Char('/')) + folderPrefix.toByteArray() + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        setError(error, Error::fromErrno(errno, QStringLiteral("cannot create a folder in \"%1\"").arg(folder)));
        return {};
    }
    return QFile::decodeName(pattern);
}

int StagingItems::openFile(const QString& folder, QString* path, Error* error)
{
    removeStale(folder);
    QByteArray pattern = QFile::encodeName(folder + QLatin1Char('/')) + filePrefix.toByteArray() + "XXXXXX"
        + fileSuffix.toByteArray();
    const int descriptor = ::mkostemps(pattern.data(), int(fileSuffix.size()), O_CLOEXEC);
    if (descriptor < 0)
        setError(error, Error::fromErrno(errno, QStringLiteral("cannot create a file in \"%1\"").arg(folder)));
    *path = QFile::decodeName(pattern);
    return descriptor;
}

void StagingItems::removeStale(const QString& folder)
{
    for (const QString& name : staleNames(folder, kindOfName))
        removeLogged(folder + QLatin1Char('/') + name, QStringLiteral("staging item"));
}

QString StagingItems::makeProcessFolder(const QString& base, const QString& processName, Error* error)
{
    removeStaleProcessFolders(base, processName);
    QByteArray pattern = QFile::encodeName(base + QLatin1Char('/')) + processFolderPrefix(processName) + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        setError(error, Error::fromErrno(errno, QStringLiteral("cannot make a folder like \"%1\"").arg(QFile::decodeName(pattern))));
        return {};
    }
    const QString path = QFile::decodeName(pattern);
    const int lock = lockedFolder(path);
    if (lock < 0) {
        setError(error, Error::fromErrno(errno, QStringLiteral("cannot hold the folder \"%1\"").arg(path)));
        ::rmdir(pattern.constData());
        return {};
    }
    holdUntilExit(path, lock);
    return path;
}

void StagingItems::removeStaleProcessFolders(const QString& base, const QString& processName)
{
    const QByteArray prefix = processFolderPrefix(processName);
    const auto kindOf = [&prefix](QByteArrayView name) { return isRandomAfter(name, prefix) ? StagingKind::Folder : StagingKind::None; };
    for (const QString& name : staleNames(base, kindOf)) {
        const QString path = base + QLatin1Char('/') + name;
        const int lock = lockedFolder(path);
        if (lock < 0)
            continue; // a live process holds it
        removeLogged(path, QStringLiteral("items folder"));
        ::close(lock);
    }
}

} // namespace platform
