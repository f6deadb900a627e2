#include "app/preferences/EditableTextTableModel.h"

#include "template/KOVA_EditableText.h"

EditableTextTableModel::EditableTextTableModel(QObject* parent)
    : QAbstractTableModel(parent), m_texts(KOVA_EditableText::editableTextObjects())
{
}

int EditableTextTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_texts.size());
}

int EditableTextTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EditableTextTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_texts.size()
        || (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole))
        return {};
    const KOVA_EditableText& text = *m_texts.at(size_t(index.row()));
    return index.column() == KeyColumn ? text.key() : text.value();
}

bool EditableTextTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != ValueColumn || size_t(index.row()) >= m_texts.size())
        return false;
    m_texts.at(size_t(index.row()))->setValue(value.toString());
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags EditableTextTableModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == ValueColumn ? flags | Qt::ItemIsEditable : flags;
}

QVariant EditableTextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return section == KeyColumn ? QStringLiteral("Key") : QStringLiteral("Text");
}
