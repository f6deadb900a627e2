#include "editor/lists/PackageFilterModel.h"

#include "editor/lists/DocumentListModel.h"
#include "editor/lists/FileNameOrder.h"
#include "platform/Log.h"

namespace {

// An entry as the log shows an object: its class and address.
QString describe(const DocumentListModel::Entry& entry)
{
    if (!entry)
        return QStringLiteral("(null)");
    return QStringLiteral("<%1: 0x%2>").arg(entry->archiveClassName(), QString::number(quintptr(entry.get()), 16));
}

} // namespace

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

// Each comparison logs its first package.
bool PackageFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    platform::Log::log(describe(entryOfRow(left.row())));
    return FileNameOrder::lessThan(fileNameOfRow(left.row()), fileNameOfRow(right.row()));
}

DocumentListModel::Entry PackageFilterModel::entryOfRow(int sourceRow) const
{
    const auto* list = qobject_cast<const DocumentListModel*>(sourceModel());
    return list ? list->entry(sourceRow) : nullptr;
}

QString PackageFilterModel::fileNameOfRow(int sourceRow) const
{
    const DocumentListModel::Entry entry = entryOfRow(sourceRow);
    return entry ? FileNameOrder::fileName(entry->documentURL()) : QString();
}
