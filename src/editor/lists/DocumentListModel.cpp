#include "editor/lists/DocumentListModel.h"

#include "core/ui/StatusDot.h"
#include "workflow/packages/KOVA_Package.h"

#include <QColor>
#include <QFileInfo>

namespace {

const QString MissingName = QStringLiteral("<missing>");

} // namespace

void DocumentListModel::setEntries(const QList<Entry>& entries)
{
    beginResetModel();
    m_entries = entries;
    endResetModel();
}

DocumentListModel::Entry DocumentListModel::entry(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries.at(row) : nullptr;
}

int DocumentListModel::rowForPath(const QString& path) const
{
    for (int row = 0; row < m_entries.size(); ++row) {
        if (m_entries.at(row)->documentURL().toLocalFile() == path)
            return row;
    }
    return -1;
}

int DocumentListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int DocumentListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant DocumentListModel::data(const QModelIndex& index, int role) const
{
    const Entry document = entry(index.row());
    if (!document)
        return {};
    const auto* package = dynamic_cast<const KOVA_Package*>(document.get());
    return cellData(index.column(), role, QFileInfo(document->documentURL().path()).completeBaseName(),
                    package ? package->packageName() : document->name());
}

QVariant DocumentListModel::cellData(int column, int role, const QString& nameText, const QString& typeText)
{
    if (column == nameColumn) {
        if (role == Qt::DisplayRole)
            return nameText;
        if (role == Qt::DecorationRole)
            return StatusDot::icon(StatusDot::available);
        return {};
    }
    if (role == Qt::DisplayRole)
        return typeText.isEmpty() ? MissingName : typeText;
    if (role == Qt::ForegroundRole)
        return typeText.isEmpty() ? QColor(Qt::red) : QColor(Qt::black);
    return {};
}

QVariant DocumentListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == nameColumn ? QStringLiteral("File") : QStringLiteral("Name");
}
