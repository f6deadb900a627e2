#include "core/foundation/ZORVAK_Extras_NSURL.h"

#include "platform/Error.h"
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/files/UTType.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace ZORVAK_Extras_NSURL {
namespace {

using platform::Error;

// The largest file read whole. The files read are pictures, whose metadata
// rewrite holds them in memory a few times over.
constexpr qint64 maxContentsSize = qint64(1) << 30;

const char jpegEndOfImage[] = "\xFF\xD9";

// Every log line of these functions goes through here.

void logFailure(const char* operation, const Error& error)
{
    platform::Log::log(QStringLiteral("Failed %1 with error :%2").arg(QLatin1String(operation), error.description()));
}

QString localPath(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

QByteArray nativePath(const QUrl& url)
{
    return QFile::encodeName(localPath(url));
}

std::optional<struct stat> statusOf(const QByteArray& path)
{
    struct stat status {};
    if (path.isEmpty() || ::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return status;
}

QDateTime dateOf(qint64 seconds, qint64 nanoseconds)
{
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000);
}

// Sets the modification time to the nanosecond; logs a failure as done by
// `operation`.
bool setModificationTime(const QUrl& url, const struct timespec& time, const char* operation)
{
    const struct timespec times[2] = {{0, UTIME_OMIT}, time};
    if (::utimensat(AT_FDCWD, nativePath(url).constData(), times, 0) == 0)
        return true;
    logFailure(operation, Error::fromErrno(errno, QStringLiteral("cannot set the modification date of \"%1\"").arg(localPath(url))));
    return false;
}

struct VolumeStatus {
    dev_t device = 0;
    bool isMountRoot = false;
};

std::optional<VolumeStatus> volumeStatusOf(const QString& path)
{
    struct statx status {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BASIC_STATS, &status) != 0)
        return std::nullopt;
    const bool knowsMountRoots = status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT;
    return VolumeStatus{makedev(status.stx_dev_major, status.stx_dev_minor),
                        knowsMountRoots && (status.stx_attributes & STATX_ATTR_MOUNT_ROOT)};
}

} // namespace

QString UTI(const QUrl& url)
{
    const QString path = localPath(url);
    return path.isEmpty() ? QString() : platform::UTType::typeOfItemAtPath(path);
}

bool conformsToUTType(const QUrl& url, const QString& type)
{
    const QString itemType = UTI(url);
    return !itemType.isEmpty() && platform::UTType::conformsTo(itemType, type);
}

QString UTTypeForPathExtension(const QString& extension)
{
    return platform::UTType::typeForExtension(extension);
}

QString pathExtensionForUTType(const QString& type)
{
    return platform::UTType::preferredExtension(type);
}

QUrl URLByAppendingPathExtensionForUTType(const QUrl& url, const QString& type)
{
    const QString extension = pathExtensionForUTType(type);
    if (extension.isEmpty())
        return url;
    QString path = url.path(QUrl::FullyDecoded);
    // A folder URL keeps its closing slash after the extension.
    const bool closingSlash = path.size() > 1 && path.endsWith(QLatin1Char('/'));
    if (closingSlash)
        path.chop(1);
    QUrl extended = url;
    extended.setPath(path + QLatin1Char('.') + extension + (closingSlash ? QStringLiteral("/") : QString()),
                     QUrl::DecodedMode);
    return extended;
}

QDateTime dateCreated(const QUrl& url)
{
    struct statx status {};
    const QByteArray path = nativePath(url);
    if (path.isEmpty() || ::statx(AT_FDCWD, path.constData(), 0, STATX_BTIME, &status) != 0
        || !(status.stx_mask & STATX_BTIME))
        return {};
    return dateOf(status.stx_btime.tv_sec, status.stx_btime.tv_nsec);
}

bool setDateCreated(const QUrl& url, const QDateTime& date)
{
    logFailure("ZORVAK_Extras_NSURL::setDateCreated",
               Error::fromErrno(ENOTSUP, QStringLiteral("cannot set the creation date of \"%1\"").arg(localPath(url))));
    return false;
}

QDateTime dateModified(const QUrl& url)
{
    const std::optional<struct stat> status = statusOf(nativePath(url));
    return status ? dateOf(status->st_mtim.tv_sec, status->st_mtim.tv_nsec) : QDateTime();
}

bool setDateModified(const QUrl& url, const QDateTime& date)
{
    constexpr const char* operation = "ZORVAK_Extras_NSURL::setDateModified";
    if (!date.isValid()) {
        logFailure(operation, Error::fromErrno(EINVAL, QStringLiteral("no modification date for \"%1\"").arg(localPath(url))));
        return false;
    }
    // Whole seconds rounded down, so that dates before 1970 get a valid fraction.
    const qint64 milliseconds = date.toMSecsSinceEpoch();
    const qint64 fraction = ((milliseconds % 1000) + 1000) % 1000;
    const struct timespec time = {static_cast<time_t>((milliseconds - fraction) / 1000), static_cast<long>(fraction * 1000000)};
    return setModificationTime(url, time, operation);
}

qint64 fileSize(const QUrl& url)
{
    const std::optional<struct stat> status = statusOf(nativePath(url));
    return status ? status->st_size : 0;
}

QByteArray generationID(const QUrl& url)
{
    const std::optional<struct stat> status = statusOf(nativePath(url));
    if (!status)
        return {};
    return QStringLiteral("%1:%2:%3.%4")
        .arg(quint64(status->st_dev))
        .arg(quint64(status->st_ino))
        .arg(qint64(status->st_ctim.tv_sec))
        .arg(qint64(status->st_ctim.tv_nsec), 9, 10, QLatin1Char('0'))
        .toLatin1();
}

QUrl volumeURL(const QUrl& url)
{
    QString path = QFileInfo(localPath(url)).canonicalFilePath();
    std::optional<VolumeStatus> status = path.isEmpty() ? std::nullopt : volumeStatusOf(path);
    if (!status)
        return {};
    // Up through the folders while they lie on the same file system.
    while (path != QLatin1String("/") && !status->isMountRoot) {
        const QString parent = QFileInfo(path).path();
        const std::optional<VolumeStatus> parentStatus = volumeStatusOf(parent);
        if (!parentStatus || parentStatus->device != status->device)
            break;
        path = parent;
        status = parentStatus;
    }
    return QUrl::fromLocalFile(path);
}

QUrl localVolumeURL()
{
    return volumeURL(QUrl::fromLocalFile(QStringLiteral("/")));
}

std::optional<QByteArray> contentsAsData(const QUrl& url, Error* error)
{
    return platform::BoundedFileRead::contents(localPath(url), maxContentsSize, error);
}

bool isValidJPEGFile(const QUrl& url)
{
    const std::optional<QByteArray> contents = contentsAsData(url);
    return contents && contents->endsWith(jpegEndOfImage);
}

bool isValidJPEGFileFaster(const QUrl& url)
{
    platform::BoundedFileRead file(localPath(url), maxContentsSize);
    const std::optional<QByteArray> tail = file.size() >= 2 ? file.readAt(file.size() - 2, 2) : std::nullopt;
    if (!file.error().isNull())
        platform::Log::log(QStringLiteral("a file was closed or an error occured (%1)").arg(file.error().code));
    return tail == QByteArray(jpegEndOfImage);
}

bool writeDataKeepingDateModified(const QUrl& url, const QByteArray& data, const QUrl& destination, const char* operation)
{
    const QUrl target = destination.isEmpty() ? url : destination;
    // Linux keeps no settable creation date; the modification date is kept exactly.
    const std::optional<struct stat> original = statusOf(nativePath(url));
    Error error = Error::fromErrno(EINVAL, QStringLiteral("not a file URL"));
    if (localPath(target).isEmpty() || !platform::FileOperations::writeFileAtomically(localPath(target), data, &error)) {
        platform::Log::error(QStringLiteral("cannot write \"%1\": %2").arg(target.toString(), error.description()));
        return false;
    }
    if (original)
        setModificationTime(target, original->st_mtim, operation);
    return true;
}

} // namespace ZORVAK_Extras_NSURL
