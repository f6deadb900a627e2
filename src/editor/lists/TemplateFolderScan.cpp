#include "editor/lists/TemplateFolderScan.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "editor/lists/FileNameOrder.h"
#include "platform/Log.h"
#include "platform/files/UTType.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

QList<TemplateEntry> TemplateFolderScan::scan(const QString& folder)
{
    QList<TemplateEntry> entries;
    for (const QString& path : itemPaths(folder)) {
        if (!isXmlFile(path, true)) {
            platform::Log::log(QStringLiteral("file that is not an xml type: %1").arg(QUrl::fromLocalFile(path).toString()));
            continue;
        }
        TemplateEntry entry = read(path);
        if (entry.templateObject)
            entries.append(entry);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const TemplateEntry& left, const TemplateEntry& right) {
        return FileNameOrder::lessThanByFileName(left.templateObject->documentURL(),
                                                 right.templateObject->documentURL());
    });
    return entries;
}

TemplateEntry TemplateFolderScan::read(const QString& path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    TemplateEntry entry;
    entry.generation = ZORVAK_Extras_NSURL::generationID(url);
    entry.templateObject = KOVA_Template::instanceWithXMLObject(url);
    return entry;
}

bool TemplateFolderScan::isXmlFile(const QString& path, bool exactType)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    const QString type = platform::UTType::typeOfItemAtPath(path);
    if (exactType)
        return type.compare(platform::kUTTypeXML, Qt::CaseInsensitive) == 0;
    return platform::UTType::conformsTo(type, platform::kUTTypeXML);
}

QStringList TemplateFolderScan::itemPaths(const QString& folder)
{
    const QDir directory(folder);
    if (!directory.exists()) {
        platform::Log::log(QStringLiteral("Failed enumeration at %1 with error:%2")
                               .arg(QUrl::fromLocalFile(folder).toString(), QStringLiteral("no such folder")));
        return {};
    }
    QStringList paths;
    const QStringList names =
        directory.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        paths.append(directory.filePath(name));
    return paths;
}
