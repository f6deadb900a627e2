#include "workflow/jobs/KOVA_JobPaths.h"

#include "platform/Log.h"
#include "platform/files/FileNames.h"
#include "workflow/jobs/KOVA_JobBundle.h"

#include <QDir>
#include <QFileInfo>

QString KOVA_JobPaths::imagePath(const QString& path, const QUrl& bundle, const QUrl& ticket)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    if (bundle.isLocalFile())
        return insideFolder(KOVA_JobBundle::imagePath(bundle.toLocalFile(), path), bundle.toLocalFile(), path);
    if (ticket.isLocalFile()) {
        const QString folder = QFileInfo(ticket.toLocalFile()).absolutePath();
        return insideFolder(folder + QLatin1Char('/') + path, folder, path);
    }
    platform::Log::error(QStringLiteral("the relative path %1 names no file: the job has no folder").arg(path));
    return {};
}

// Lexically inside first, so that a path leading out is refused whether or not it exists;
// then, for what exists, with links resolved.
QString KOVA_JobPaths::insideFolder(const QString& candidate, const QString& folder, const QString& named)
{
    const QString cleanFolder = QDir::cleanPath(folder);
    const QString path = QDir::cleanPath(candidate);
    const bool inside = path.startsWith(cleanFolder + QLatin1Char('/'))
        && (!QFileInfo::exists(path) || platform::FileNames::isInsideFolder(path, cleanFolder));
    if (inside)
        return path;
    platform::Log::error(QStringLiteral("refused the path %1: it leads out of the job folder %2").arg(named, cleanFolder));
    return {};
}
