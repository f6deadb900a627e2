#include "core/ui/AllowedTypesFilter.h"

#include "platform/files/UTType.h"

#include <QFileSystemModel>

#include <algorithm>

AllowedTypesFilter::AllowedTypesFilter(const QStringList& allowed, QObject* parent)
    : QSortFilterProxyModel(parent)
{
    for (const QString& entry : allowed)
        m_types.append(entry.contains(QLatin1Char('.')) ? entry : platform::UTType::typeForExtension(entry));
}

bool AllowedTypesFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files)
        return true;
    const QModelIndex index = files->index(sourceRow, 0, sourceParent);
    if (files->isDir(index))
        return true;
    const QString type = platform::UTType::typeForExtension(files->fileInfo(index).suffix());
    return std::any_of(m_types.cbegin(), m_types.cend(), [&](const QString& allowed) { return platform::UTType::conformsTo(type, allowed); });
}
