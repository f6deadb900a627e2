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
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr QByteArrayView folderPrefix = ".kova-copy-";
constexpr QByteArrayView filePrefix = ".kova-";
constexpr QByteArrayView fileSuffix = ".tmp";
constexpr qsizetype randomLength = 6; // the "XXXXXX" that mkdtemp and mkstemps fill in

enum class StagingKind { None, Folder, File };

bool isRandomPart(QByteArrayView part)
{
    return part.size() == randomLength && std::all_of(part.begin(), part.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
           });
}

// What an item of this name would be if staging had made it.
StagingKind kindOfName(QByteArrayView name)
{
    if (name.startsWith(folderPrefix) && isRandomPart(name.sliced(folderPrefix.size())))
        return StagingKind::Folder;
    if (name.size() == filePrefix.size() + randomLength + fileSuffix.size() && name.startsWith(filePrefix)
        && name.endsWith(fileSuffix) && isRandomPart(name.sliced(filePrefix.size(), randomLength)))
        return StagingKind::File;
    return StagingKind::None;
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

// The names of the stale staging items in `path`.
QStringList staleNames(const QString& path)
{
    QStringList names;
    DIR* folder = ::opendir(QFile::encodeName(path).constData());
    if (!folder)
        return names; // the operation about to stage here reports what is wrong with the folder
    while (const dirent* entry = ::readdir(folder)) {
        const StagingKind kind = kindOfName(entry->d_name);
        if (kind != StagingKind::None && isStale(::dirfd(folder), entry->d_name, kind))
            names += QFile::decodeName(entry->d_name);
    }
    ::closedir(folder);
    return names;
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
    for (const QString& name : staleNames(folder)) {
        const QString path = folder + QLatin1Char('/') + name;
        Error error;
        if (FileOperations::removeItem(path, &error))
            Log::log(QStringLiteral("Removed the stale staging item \"%1\"").arg(path));
        else
            Log::error(QStringLiteral("cannot remove the stale staging item: %1").arg(error.message));
    }
}

} // namespace platform
