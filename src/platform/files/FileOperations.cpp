#include "platform/files/FileOperations.h"

#include "platform/Log.h"
#include "platform/files/StagingItems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

std::atomic<FileOperations::RenameNoReplaceFunction> installedRenameNoReplace{nullptr};

constexpr size_t copyBufferSize = 1024 * 1024;

// Closes the descriptor it owns unless close() was asked for its verdict.
class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    ~FileDescriptor()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_descriptor; }
    bool isValid() const { return m_descriptor >= 0; }
    // 0 or the errno value of closing.
    int close()
    {
        const int result = ::close(m_descriptor);
        m_descriptor = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_descriptor;
};

QByteArray nativePath(const QString& path) { return QFile::encodeName(path); }

Error failure(int errorNumber, const QString& what, const QString& path)
{
    return Error::fromErrno(errorNumber, QStringLiteral("%1 \"%2\"").arg(what, path));
}

QString parentFolder(const QString& path) { return QFileInfo(QDir::cleanPath(path)).absolutePath(); }

std::optional<struct stat> linkStatus(const QString& path)
{
    struct stat status {};
    if (::lstat(nativePath(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

bool isDirectory(const QString& path)
{
    struct stat status {};
    return ::stat(nativePath(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Permission bits a copy keeps: never set-user or set-group identity.
mode_t copiedPermissions(const struct stat& status) { return status.st_mode & 01777; }

int writeAll(int descriptor, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

int copyContents(int source, int target)
{
    std::vector<char> buffer(copyBufferSize);
    for (;;) {
        const ssize_t count = ::read(source, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count == 0 ? 0 : errno;
        if (const int result = writeAll(target, buffer.data(), static_cast<size_t>(count)))
            return result;
    }
}

void syncFolder(const QString& path)
{
    FileDescriptor folder(::open(nativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isValid())
        ::fsync(folder.get());
}

// Names in a folder, without "." and "..".
std::optional<QStringList> folderEntries(const QString& path, Error* error)
{
    DIR* folder = ::opendir(nativePath(path).constData());
    if (!folder) {
        setError(error, failure(errno, QStringLiteral("cannot read folder"), path));
        return std::nullopt;
    }
    QStringList names;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names += QFile::decodeName(name);
        errno = 0;
    }
    const int readError = errno;
    ::closedir(folder);
    if (readError) {
        setError(error, failure(readError, QStringLiteral("cannot read folder"), path));
        return std::nullopt;
    }
    return names;
}

// Without the no-replace flag (some network file systems lack it): a file is
// linked under the new name, which fails when the name is taken; a folder
// claims the name with an empty folder and is renamed over that.
int renameNoReplaceByClaiming(const char* from, const char* to)
{
    struct stat status {};
    if (::lstat(from, &status) != 0)
        return errno;
    if (!S_ISDIR(status.st_mode)) {
        if (::link(from, to) != 0)
            return errno;
        if (::unlink(from) == 0)
            return 0;
        const int result = errno;
        ::unlink(to);
        return result;
    }
    if (::mkdir(to, 0700) != 0)
        return errno;
    if (::rename(from, to) == 0)
        return 0;
    const int result = errno;
    ::rmdir(to);
    return result;
}

int renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
    const FileOperations::RenameNoReplaceFunction installed = installedRenameNoReplace.load();
    const int result = (installed ? installed : &FileOperations::systemRenameNoReplace)(source.constData(), target.constData());
    if (result == EINVAL || result == ENOSYS)
        return renameNoReplaceByClaiming(source.constData(), target.constData());
    return result;
}

// Keeping dates is best effort: some file systems cannot.
void copyTimes(const QString& path, const struct stat& status)
{
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    ::utimensat(AT_FDCWD, nativePath(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

bool copyTree(const QString& from, const QString& to, Error* error);

bool copyFile(const QString& from, const QString& to, const struct stat& status, Error* error)
{
    FileDescriptor source(::open(nativePath(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!source.isValid()) {
        setError(error, failure(errno, QStringLiteral("cannot read"), from));
        return false;
    }
    FileDescriptor target(::open(nativePath(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!target.isValid()) {
        setError(error, failure(errno, QStringLiteral("cannot create"), to));
        return false;
    }
    int result = copyContents(source.get(), target.get());
    if (result == 0) {
        ::fchmod(target.get(), copiedPermissions(status)); // best effort, as the dates
        result = ::fsync(target.get()) == 0 ? 0 : errno;
    }
    if (const int closeResult = target.close(); result == 0)
        result = closeResult;
    if (result != 0) {
        setError(error, failure(result, QStringLiteral("cannot copy \"%1\" to").arg(from), to));
        return false;
    }
    copyTimes(to, status);
    return true;
}

bool copyLink(const QString& from, const QString& to, const struct stat& status, Error* error)
{
    std::vector<char> target(static_cast<size_t>(status.st_size > 0 ? status.st_size : PATH_MAX) + 1);
    const ssize_t length = ::readlink(nativePath(from).constData(), target.data(), target.size() - 1);
    if (length < 0) {
        setError(error, failure(errno, QStringLiteral("cannot read link"), from));
        return false;
    }
    target[static_cast<size_t>(length)] = '\0';
    if (::symlink(target.data(), nativePath(to).constData()) != 0) {
        setError(error, failure(errno, QStringLiteral("cannot create link"), to));
        return false;
    }
    copyTimes(to, status);
    return true;
}

// Gives a copied folder its permissions and dates, then syncs it: its entries
// are on disk before a rename publishes it.
void settleFolder(const QString& path, const struct stat& status)
{
    FileDescriptor folder(::open(nativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isValid())
        return;
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    ::fchmod(folder.get(), copiedPermissions(status)); // best effort, as for files
    ::futimens(folder.get(), times);
    ::fsync(folder.get());
}

bool copyFolder(const QString& from, const QString& to, const struct stat& status, Error* error)
{
    const std::optional<QStringList> entries = folderEntries(from, error);
    if (!entries)
        return false;
    if (::mkdir(nativePath(to).constData(), 0700) != 0) {
        setError(error, failure(errno, QStringLiteral("cannot create folder"), to));
        return false;
    }
    for (const QString& name : *entries) {
        if (!copyTree(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name, error))
            return false;
    }
    settleFolder(to, status);
    return true;
}

bool copyTree(const QString& from, const QString& to, Error* error)
{
    const std::optional<struct stat> status = linkStatus(from);
    if (!status) {
        setError(error, failure(errno, QStringLiteral("cannot copy"), from));
        return false;
    }
    if (S_ISREG(status->st_mode))
        return copyFile(from, to, *status, error);
    if (S_ISDIR(status->st_mode))
        return copyFolder(from, to, *status, error);
    if (S_ISLNK(status->st_mode))
        return copyLink(from, to, *status, error);
    setError(error, failure(ENOTSUP, QStringLiteral("cannot copy the special file"), from));
    return false;
}

// Whether `folder` is `path` or lies inside it, links resolved.
bool isSameOrInside(const QString& folder, const QString& path)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    return !canonicalPath.isEmpty()
        && (canonicalFolder == canonicalPath || canonicalFolder.startsWith(canonicalPath + QLatin1Char('/')));
}

// Writes `data` to a new hidden file in `folder`, synced to disk; its path, or
// empty on failure.
QString writeHiddenFile(const QString& folder, const QByteArray& data, mode_t permissions, Error* error)
{
    QString path;
    FileDescriptor file(StagingItems::openFile(folder, &path, error));
    if (!file.isValid())
        return {};
    int result = writeAll(file.get(), data.constData(), static_cast<size_t>(data.size()));
    if (result == 0 && ::fchmod(file.get(), permissions) != 0)
        result = errno;
    if (result == 0 && ::fsync(file.get()) != 0)
        result = errno;
    if (const int closeResult = file.close(); result == 0)
        result = closeResult;
    if (result != 0) {
        ::unlink(nativePath(path).constData());
        setError(error, failure(result, QStringLiteral("cannot write"), path));
        return {};
    }
    return path;
}

// The file a link at `path` points to, so that replacing it keeps the link.
QString followedLink(const QString& path)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : QString();
    return target.isEmpty() ? path : target;
}

int makeDirectoryWithParents(const QString& path)
{
    const QByteArray native = nativePath(path);
    if (::mkdir(native.constData(), 0777) == 0)
        return 0;
    if (errno != ENOENT)
        return errno == EEXIST && isDirectory(path) ? 0 : errno;
    const QString parent = QFileInfo(path).path();
    if (parent == path)
        return ENOENT;
    if (const int result = makeDirectoryWithParents(parent))
        return result;
    if (::mkdir(native.constData(), 0777) == 0)
        return 0;
    return errno == EEXIST && isDirectory(path) ? 0 : errno; // another creator may have won
}

// Takes the source of a finished copy away from its name in one step, by
// renaming it into a staging folder beside it, and only then removes it: a
// removal cut short leaves a stale staging item, never half an item under the
// source's name. What cannot be removed is logged and left to the clean-up.
bool removeMovedSource(const QString& from, Error* error)
{
    const QString aside = StagingItems::makeFolder(parentFolder(from), error);
    if (aside.isEmpty())
        return false;
    if (::rename(nativePath(from).constData(), nativePath(aside + QStringLiteral("/item")).constData()) != 0) {
        setError(error, failure(errno, QStringLiteral("cannot remove"), from));
        ::rmdir(nativePath(aside).constData());
        return false;
    }
    Error removal;
    if (!FileOperations::removeItem(aside, &removal))
        Log::error(QStringLiteral("moved \"%1\" but could not remove what is left of it: %2").arg(from, removal.message));
    return true;
}

bool moveAcrossFileSystems(const QString& from, const QString& to, Error* error)
{
    if (!FileOperations::copyItem(from, to, error))
        return false;
    Error removal;
    if (removeMovedSource(from, &removal))
        return true;
    setError(error, Error{Error::POSIXDomain, removal.code,
                          QStringLiteral("copied \"%1\" to \"%2\" but could not remove the original: %3")
                              .arg(from, to, removal.message)});
    return false;
}

} // namespace

int FileOperations::systemRenameNoReplace(const char* from, const char* to)
{
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
}

FileOperations::RenameNoReplaceFunction FileOperations::replaceRenameNoReplaceFunction(RenameNoReplaceFunction function)
{
    return installedRenameNoReplace.exchange(function);
}

bool FileOperations::moveItemNoReplace(const QString& from, const QString& to, Error* error)
{
    const int result = renameWithoutReplacing(from, to);
    if (result == EXDEV)
        return moveAcrossFileSystems(from, to, error);
    if (result != 0)
        setError(error, failure(result, QStringLiteral("cannot move \"%1\" to").arg(from), to));
    return result == 0;
}

bool FileOperations::copyItem(const QString& from, const QString& to, Error* error)
{
    if (linkStatus(to)) {
        setError(error, failure(EEXIST, QStringLiteral("cannot copy \"%1\" to").arg(from), to));
        return false;
    }
    const QString targetFolder = parentFolder(to);
    if (isDirectory(from) && isSameOrInside(targetFolder, from)) {
        setError(error, failure(EINVAL, QStringLiteral("cannot copy a folder into itself:"), from));
        return false;
    }
    const QString staging = StagingItems::makeFolder(targetFolder, error);
    if (staging.isEmpty())
        return false;
    const QString assembled = staging + QStringLiteral("/item");
    bool copied = copyTree(from, assembled, error);
    if (copied) {
        if (const int result = renameWithoutReplacing(assembled, to)) {
            setError(error, failure(result, QStringLiteral("cannot copy \"%1\" to").arg(from), to));
            copied = false;
        }
    }
    if (copied)
        syncFolder(targetFolder);
    removeItem(staging);
    return copied;
}

bool FileOperations::removeItem(const QString& path, Error* error)
{
    const std::optional<struct stat> status = linkStatus(path);
    if (!status) {
        setError(error, failure(errno, QStringLiteral("cannot remove"), path));
        return false;
    }
    if (S_ISDIR(status->st_mode)) {
        const std::optional<QStringList> entries = folderEntries(path, error);
        if (!entries)
            return false;
        for (const QString& name : *entries) {
            if (!removeItem(path + QLatin1Char('/') + name, error))
                return false;
        }
    }
    const QByteArray native = nativePath(path);
    if ((S_ISDIR(status->st_mode) ? ::rmdir(native.constData()) : ::unlink(native.constData())) != 0) {
        setError(error, failure(errno, QStringLiteral("cannot remove"), path));
        return false;
    }
    return true;
}

bool FileOperations::writeFileAtomically(const QString& path, const QByteArray& data, Error* error, int permissions)
{
    return replaceFileAtomically(followedLink(path), data, error, permissions);
}

bool FileOperations::replaceFileAtomically(const QString& target, const QByteArray& data, Error* error, int permissions)
{
    const std::optional<struct stat> existing = linkStatus(target);
    const mode_t mode = existing && S_ISREG(existing->st_mode) ? existing->st_mode & 07777 : static_cast<mode_t>(permissions);
    const QString written = writeHiddenFile(parentFolder(target), data, mode, error);
    if (written.isEmpty())
        return false;
    if (::rename(nativePath(written).constData(), nativePath(target).constData()) != 0) {
        setError(error, failure(errno, QStringLiteral("cannot replace"), target));
        ::unlink(nativePath(written).constData());
        return false;
    }
    syncFolder(parentFolder(target));
    return true;
}

bool FileOperations::writeFileAtomicallyNoReplace(const QString& path, const QByteArray& data, Error* error,
                                                  int permissions)
{
    const QString written = writeHiddenFile(parentFolder(path), data, static_cast<mode_t>(permissions), error);
    if (written.isEmpty())
        return false;
    if (const int result = renameWithoutReplacing(written, path)) {
        setError(error, failure(result, QStringLiteral("cannot write"), path));
        ::unlink(nativePath(written).constData());
        return false;
    }
    syncFolder(parentFolder(path));
    return true;
}

bool FileOperations::createExclusive(const QString& path, Error* error)
{
    FileDescriptor file(::open(nativePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!file.isValid())
        setError(error, failure(errno, QStringLiteral("cannot create"), path));
    return file.isValid();
}

bool FileOperations::makeDirectory(const QString& path, bool withIntermediates, Error* error)
{
    const QString cleanPath = QDir::cleanPath(path);
    const int result = withIntermediates ? makeDirectoryWithParents(cleanPath)
                                         : (::mkdir(nativePath(cleanPath).constData(), 0777) == 0 ? 0 : errno);
    if (result != 0)
        setError(error, failure(result, QStringLiteral("cannot create folder"), cleanPath));
    return result == 0;
}

} // namespace platform
