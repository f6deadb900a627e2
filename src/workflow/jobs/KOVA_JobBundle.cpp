#include "workflow/jobs/KOVA_JobBundle.h"

#include "platform/files/FolderEntries.h"
#include "platform/files/UTType.h"

bool KOVA_JobBundle::isJobBundle(const QString& path)
{
    return platform::UTType::typeOfItemAtPath(path) == platform::UTType::jobBundle;
}

QString KOVA_JobBundle::entryPath(const QString& bundle, const QString& name)
{
    return platform::FolderEntries::entryPath(bundle, name);
}

QString KOVA_JobBundle::imagePath(const QString& bundle, const QString& path)
{
    return appendingPathComponent(entryPath(bundle, imagesName), path);
}

QString KOVA_JobBundle::appendingPathComponent(const QString& folder, const QString& component)
{
    return platform::FolderEntries::appendingPathComponent(folder, component);
}
