#include "workflow/jobs/KOVA_JobPaths.h"

#include "platform/Log.h"
#include "platform/files/FolderEntries.h"
#include "workflow/jobs/KOVA_JobBundle.h"

#include <QDir>
#include <QFileInfo>

QString KOVA_JobPaths::imagePath(const QString& path, const QUrl& bundle, const QUrl& ticket)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    if (bundle.isLocalFile())
        return bundleImagePath(path, bundle.toLocalFile());
    if (ticket.isLocalFile()) {
        const QString folder = QFileInfo(ticket.toLocalFile()).absolutePath();
        return insideFolder(folder + QLatin1Char('/') + path, folder, path);
    }
    platform::Log::error(QStringLiteral("the relative path %1 names no file: the job has no folder").arg(path));
    return {};
}

QString KOVA_JobPaths::bundleImagePath(const QString& path, const QString& bundle)
{
    return insideFolder(KOVA_JobBundle::imagePath(bundle, path), bundle, path);
}

QString KOVA_JobPaths::insideFolder(const QString& candidate, const QString& folder, const QString& named)
{
    const QString path = platform::FolderEntries::pathStayingInside(candidate, folder);
    if (path.isEmpty())
        platform::Log::error(
            QStringLiteral("refused the path %1: it leads out of the job folder %2").arg(named, QDir::cleanPath(folder)));
    return path;
}
