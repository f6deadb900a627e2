#include "editor/lists/LayerListModel.h"

#include "editor/lists/DocumentListModel.h"
#include "platform/Log.h"

#include <QMimeData>

#include <algorithm>

void LayerListModel::setLayers(const List& layers)
{
    beginResetModel();
    m_layers = layers;
    endResetModel();
}

LayerListModel::Pointer LayerListModel::layerForRow(int row) const
{
    const qsizetype index = m_layers.size() - 1 - row;
    return row >= 0 && index >= 0 ? m_layers.at(index) : nullptr;
}

int LayerListModel::rowForLayer(const Pointer& layer) const
{
    const qsizetype index = layer ? m_layers.indexOf(layer) : -1;
    return index < 0 ? -1 : int(m_layers.size() - 1 - index);
}

QList<int> LayerListModel::draggedRows(const QMimeData* data)
{
    QList<int> rows;
    if (!data || !data->hasFormat(layerIndexMimeType))
        return rows;
    for (const QByteArray& line : data->data(layerIndexMimeType).split('\n')) {
        bool isNumber = false;
        const int row = line.trimmed().toInt(&isNumber);
        if (isNumber && row >= 0 && !rows.contains(row))
            rows.append(row);
    }
    return rows;
}

bool LayerListModel::isValidDrop(const QList<int>& rows, int row) const
{
    if (rows.isEmpty())
        return false;
    const int first = rows.first();
    return first != row - 1 && first != row && first <= m_layers.size();
}

QStringList LayerListModel::zLevelsForDrop(const QList<int>& rows, int row) const
{
    const Pointer below = layerForRow(row);
    const qint64 level = below ? below->zLevelString().toLongLong() : 0;
    QStringList levels;
    qint64 moved = 0;
    for (qsizetype index = 0; index < m_layers.size(); ++index) {
        const bool dragged = rows.contains(int(m_layers.size() - 1 - index));
        levels.append(dragged ? QString::number(level + ++moved) : m_layers.at(index)->zLevelString());
    }
    return levels;
}

int LayerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_layers.size());
}

int LayerListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : DocumentListModel::columnCount_;
}

QVariant LayerListModel::data(const QModelIndex& index, int role) const
{
    const Pointer layer = layerForRow(index.row());
    if (!layer)
        return {};
    return DocumentListModel::cellData(index.column(), role, KOVA_Template::stringForLayerType(layer->layerType()), layer->name());
}

QVariant LayerListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == DocumentListModel::nameColumn ? QStringLiteral("Type") : QStringLiteral("Name");
}

Qt::ItemFlags LayerListModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled;
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

Qt::DropActions LayerListModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

QStringList LayerListModel::mimeTypes() const
{
    return {layerIndexMimeType};
}

QMimeData* LayerListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QByteArrayList lines;
    for (const int row : rows)
        lines.append(QByteArray::number(row));
    auto* data = new QMimeData;
    data->setData(layerIndexMimeType, lines.join('\n'));
    return data;
}

bool LayerListModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                     const QModelIndex& parent) const
{
    return action == Qt::MoveAction && isValidDrop(draggedRows(data), dropRow(row, parent));
}

bool LayerListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent)
{
    platform::Log::log(QStringLiteral("-[KOVA_TemplateEditor tableView:acceptDrop:row:dropOperation:]"));
    const QList<int> rows = draggedRows(data);
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    if (m_reorder)
        m_reorder(m_layers, zLevelsForDrop(rows, dropRow(row, parent)));
    return true;
}

int LayerListModel::dropRow(int row, const QModelIndex& parent) const
{
    if (parent.isValid())
        return parent.row();
    return row < 0 ? rowCount() : row;
}
