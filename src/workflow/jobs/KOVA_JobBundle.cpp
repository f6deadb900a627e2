#include "workflow/jobs/KOVA_JobBundle.h"

#include "platform/files/UTType.h"

#include <QDirIterator>

bool KOVA_JobBundle::isJobBundle(const QString& path)
{
    return platform::UTType::typeOfItemAtPath(path) == platform::UTType::jobBundle;
}

QString KOVA_JobBundle::entryPath(const QString& bundle, const QString& name)
{
    const QString exact = appendingPathComponent(bundle, name);
    QDirIterator entries(bundle, {name}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QString found = exact;
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (path == exact)
            return exact;
        found = path;
    }
    return found;
}

QString KOVA_JobBundle::appendingPathComponent(const QString& folder, const QString& component)
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
