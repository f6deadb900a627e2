#include "app/preferences/FolderSetsTableModel.h"

#include "workflow/folders/KOVA_FolderSet.h"

FolderSetsTableModel::FolderSetsTableModel(KOVA_FolderSetClass& side, QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_side(side), m_columns(std::move(columns))
{
    m_folderSets = m_side.folderSets();
    for (const std::shared_ptr<KOVA_FolderSet>& set : m_folderSets)
        m_shown.append(shownValues(*set));
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
    const KOVA_FolderSetClass::FolderSets listed = m_side.folderSets();
    removeRowsNotIn(listed);
    arrangeRowsAs(listed);
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

void FolderSetsTableModel::removeRowsNotIn(const KOVA_FolderSetClass::FolderSets& listed)
{
    for (int row = int(m_folderSets.size()) - 1; row >= 0; --row) {
        if (listed.contains(m_folderSets.at(row)))
            continue;
        beginRemoveRows({}, row, row);
        m_folderSets.removeAt(row);
        m_shown.removeAt(row);
        endRemoveRows();
    }
}

// Every row left is listed: walking the list, each row is either in place, further
// down (moved up to its place) or new (inserted).
void FolderSetsTableModel::arrangeRowsAs(const KOVA_FolderSetClass::FolderSets& listed)
{
    for (int row = 0; row < listed.size(); ++row) {
        const std::shared_ptr<KOVA_FolderSet>& set = listed.at(row);
        if (row < m_folderSets.size() && m_folderSets.at(row) == set)
            continue;
        const int from = int(m_folderSets.indexOf(set));
        if (from > row) {
            beginMoveRows({}, from, from, {}, row);
            m_folderSets.move(from, row);
            m_shown.move(from, row);
            endMoveRows();
            continue;
        }
        beginInsertRows({}, row, row);
        m_folderSets.insert(row, set);
        m_shown.insert(row, shownValues(*set));
        endInsertRows();
    }
    // Left over only when the model held a set twice.
    const int listedRows = int(listed.size());
    if (m_folderSets.size() > listedRows) {
        beginRemoveRows({}, listedRows, int(m_folderSets.size()) - 1);
        m_folderSets.resize(listedRows);
        m_shown.resize(listedRows);
        endRemoveRows();
    }
}

void FolderSetsTableModel::announceChangedRows()
{
    for (int row = 0; row < m_folderSets.size(); ++row) {
        QVariantList shown = shownValues(*m_folderSets.at(row));
        if (shown == m_shown.at(row))
            continue;
        m_shown[row] = std::move(shown);
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
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
    m_shown[index.row()] = shownValues(*set);
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
