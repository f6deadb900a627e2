#include "app/preferences/FolderSetsTableModel.h"

#include "workflow/folders/KOVA_FolderSet.h"

FolderSetsTableModel::FolderSetsTableModel(KOVA_FolderSetClass& side, QList<Column> columns, QObject* parent)
    : ListTableModel(parent), m_side(side), m_columns(std::move(columns))
{
    m_folderSets = m_side.folderSets();
    for (const std::shared_ptr<KOVA_FolderSet>& set : m_folderSets)
        m_shown.insert(set.get(), shownValues(*set));
    m_side.addObserver(m_observerToken, [this](const KOVA_FolderSetClass::FolderSets&) { reload(); });
}

std::shared_ptr<KOVA_FolderSet> FolderSetsTableModel::folderSetAt(int row) const
{
    return row >= 0 && row < m_folderSets.size() ? m_folderSets.at(row) : nullptr;
}

int FolderSetsTableModel::rowOf(const std::shared_ptr<KOVA_FolderSet>& set) const
{
    return int(m_folderSets.indexOf(set));
}

void FolderSetsTableModel::reload()
{
    arrangeRows(m_folderSets, m_side.folderSets(), [](const std::shared_ptr<KOVA_FolderSet>& set) { return set.get(); });
    announceChangedRows();
}

QVariantList FolderSetsTableModel::shownValues(const KOVA_FolderSet& set) const
{
    static const int shownRoles[] = { Qt::DisplayRole, Qt::CheckStateRole, Qt::ToolTipRole };
    QVariantList values;
    for (const Column& column : m_columns) {
        for (int role : shownRoles)
            values.append(column.data(set, role));
    }
    return values;
}

void FolderSetsTableModel::announceChangedRows()
{
    QHash<const KOVA_FolderSet*, QVariantList> shownNow;
    for (int row = 0; row < m_folderSets.size(); ++row) {
        const KOVA_FolderSet* set = m_folderSets.at(row).get();
        QVariantList shown = shownValues(*set);
        if (shown != m_shown.value(set))
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        shownNow.insert(set, std::move(shown));
    }
    m_shown = std::move(shownNow);
}

void FolderSetsTableModel::refreshColumn(int column)
{
    if (!m_folderSets.isEmpty())
        emit dataChanged(index(0, column), index(int(m_folderSets.size()) - 1, column));
}

int FolderSetsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_folderSets.size());
}

int FolderSetsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant FolderSetsTableModel::data(const QModelIndex& index, int role) const
{
    const std::shared_ptr<KOVA_FolderSet> set = folderSetAt(index.row());
    if (!set || index.column() >= m_columns.size())
        return {};
    return m_columns.at(index.column()).data(*set, role);
}

bool FolderSetsTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const std::shared_ptr<KOVA_FolderSet> set = folderSetAt(index.row());
    if (!set || index.column() >= m_columns.size() || !m_columns.at(index.column()).setData)
        return false;
    m_columns.at(index.column()).setData(*set, value, role);
    m_shown.insert(set.get(), shownValues(*set));
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

Qt::ItemFlags FolderSetsTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | m_columns.at(index.column()).flags;
}

QVariant FolderSetsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns.at(section).title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant FolderSetsTableModel::folderPath(const KOVA_FolderSet& set, int role)
{
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return set.URL().toLocalFile();
    return {};
}
