#include "platform/files/FolderEntries.h"

#include "platform/files/FileNames.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString FolderEntries::entryPath(const QString& folder, const QString& name)
{
    const QString exact = appendingPathComponent(folder, name);
    if (QFileInfo(exact).exists() || QFileInfo(exact).isSymLink())
        return exact;
    const QStringList entries
        = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return appendingPathComponent(folder, entry);
    }
    return exact;
}

QString FolderEntries::pathInside(const QString& folder, const QString& relativePath)
{
    QString resolved = folder;
    for (const QString& component : relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        resolved = entryPath(resolved, component);
    return resolved;
}

QString FolderEntries::appendingPathComponent(const QString& folder, const QString& component)
{
    QString joined = folder;
    while (joined.size() > 1 && joined.endsWith(QLatin1Char('/')))
        joined.chop(1);
    qsizetype start = 0;
    while (start < component.size() && component.at(start) == QLatin1Char('/'))
        ++start;
    if (joined.isEmpty())
        return component.mid(start);
    const QString separator = joined.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return joined + separator + component.mid(start);
}

QString FolderEntries::pathStayingInside(const QString& path, const QString& folder)
{
    const QString cleanFolder = QDir::cleanPath(folder);
    const QString cleanPath = QDir::cleanPath(path);
    if (!cleanPath.startsWith(cleanFolder + QLatin1Char('/')))
        return {};
    // The deepest part of the path that is on disk (a link to nothing counts) decides
    // where the path leads.
    QString reached = cleanPath;
    while (reached != cleanFolder && !QFileInfo(reached).exists() && !QFileInfo(reached).isSymLink())
        reached = QFileInfo(reached).path();
    return reached == cleanFolder || FileNames::isInsideFolder(reached, cleanFolder) ? cleanPath : QString();
}

} // namespace platform
