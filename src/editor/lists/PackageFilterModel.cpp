#include "editor/lists/PackageFilterModel.h"

#include "editor/lists/DocumentListModel.h"
#include "editor/lists/FileNameOrder.h"

PackageFilterModel::PackageFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    sort(DocumentListModel::nameColumn);
}

void PackageFilterModel::setFilterText(const QString& text)
{
    m_filterText = text;
    invalidateFilter();
}

bool PackageFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    return m_filterText.isEmpty() || FileNameOrder::containsFolded(fileNameOfRow(sourceRow), m_filterText);
}

bool PackageFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return FileNameOrder::lessThan(fileNameOfRow(left.row()), fileNameOfRow(right.row()));
}

QString PackageFilterModel::fileNameOfRow(int sourceRow) const
{
    const auto* list = qobject_cast<const DocumentListModel*>(sourceModel());
    const DocumentListModel::Entry entry = list ? list->entry(sourceRow) : nullptr;
    return entry ? FileNameOrder::fileName(entry->documentURL()) : QString();
}
