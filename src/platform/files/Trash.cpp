#include "platform/files/Trash.h"

#include "platform/Log.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>

namespace platform {

namespace {

constexpr int maximumNameTries = 1000;

QString filesFolder(const QString& trash) { return trash + QStringLiteral("/files"); }
QString infoPath(const QString& trash, const QString& name)
{
    return trash + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo");
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// Why `path` may not be trashed; empty when it may.
QString refusal(const QString& path, const QString& trash)
{
    if (path == QStringLiteral("/"))
        return QStringLiteral("the root folder is never trashed");
    if (isInside(QDir::currentPath(), path))
        return QStringLiteral("the current folder is never trashed");
    if (isInside(path, trash) || isInside(trash, path))
        return QStringLiteral("the trash is never trashed");
    return {};
}

QByteArray trashInfo(const QString& original)
{
    return QByteArrayLiteral("[Trash Info]\nPath=") + QUrl::toPercentEncoding(original, "/")
        + QByteArrayLiteral("\nDeletionDate=")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toUtf8()
        + QByteArrayLiteral("\n");
}

QString candidateName(const QFileInfo& item, int attempt)
{
    if (attempt == 0)
        return item.fileName();
    const QString suffix = item.completeSuffix();
    const QString base = suffix.isEmpty() ? item.fileName() : item.fileName().chopped(suffix.size() + 1);
    return QStringLiteral("%1 %2").arg(base).arg(attempt + 1) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

// Claims a free name for `original` and moves it in; answers the path in the trash.
QString trashItem(const QString& original, const QString& trash, Error* error)
{
    const QFileInfo item(original);
    for (int attempt = 0; attempt < maximumNameTries; ++attempt) {
        const QString name = candidateName(item, attempt);
        const QString info = infoPath(trash, name);
        Error claimError;
        if (!FileOperations::createExclusive(info, &claimError)) {
            if (claimError.code == EEXIST)
                continue;
            setError(error, claimError);
            return {};
        }
        const QString target = filesFolder(trash) + QLatin1Char('/') + name;
        Error moveError;
        if (FileOperations::writeFileAtomically(info, trashInfo(original), &moveError, 0600)
            && FileOperations::moveItemNoReplace(original, target, &moveError))
            return target;
        FileOperations::removeItem(info);
        if (moveError.code != EEXIST || !QFileInfo::exists(original)) {
            setError(error, moveError);
            return {};
        }
        // A stray item without its .trashinfo holds the name: try the next one.
    }
    setError(error, Error::fromErrno(EEXIST, original));
    return {};
}

} // namespace

QString Trash::homeTrash(Error* error)
{
    const QString trash = StandardPaths::path(StandardPaths::Folder::Trash);
    for (const QString& folder : { trash, filesFolder(trash), trash + QStringLiteral("/info") }) {
        if (!QFileInfo(folder).isDir() && !FileOperations::makeDirectory(folder, true, error))
            return {};
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return trash;
}

Trash::Result Trash::moveToTrash(const QStringList& paths)
{
    Result result;
    Error error;
    const QString trash = homeTrash(&error);
    for (const QString& given : paths) {
        const QString original = QFileInfo(given).absoluteFilePath();
        if (trash.isEmpty()) {
            result.failures.append({ original, error });
            continue;
        }
        if (const QString why = refusal(original, trash); !why.isEmpty()) {
            result.failures.append({ original, Error { Error::POSIXDomain, EPERM, QStringLiteral("%1: %2").arg(original, why) } });
            continue;
        }
        Error itemError;
        const QString trashed = trashItem(original, trash, &itemError);
        if (trashed.isEmpty())
            result.failures.append({ original, itemError });
        else
            result.trashed.append({ original, trashed });
    }
    for (const auto& failure : std::as_const(result.failures))
        Log::error(QStringLiteral("cannot move %1 to the trash: %2").arg(failure.first, failure.second.description()));
    return result;
}

QList<Trash::Pair> Trash::restore(const QList<Pair>& pairs)
{
    QList<Pair> restored;
    for (const Pair& pair : pairs) {
        Error error;
        if (!FileOperations::moveItemNoReplace(pair.second, pair.first, &error)) {
            Log::error(QStringLiteral("cannot restore %1 from the trash to %2: %3")
                           .arg(pair.second, pair.first, error.description()));
            continue;
        }
        const QFileInfo trashed(pair.second);
        const QString info = infoPath(QFileInfo(trashed.absolutePath()).absolutePath(), trashed.fileName());
        if (!FileOperations::removeItem(info, &error))
            Log::error(QStringLiteral("cannot remove %1: %2").arg(info, error.description()));
        restored.append(pair);
    }
    return restored;
}

} // namespace platform
