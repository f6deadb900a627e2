#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

class KOVA_EditableText;

// The twenty editable texts as rows of key and text; a text edited in the table
// is written to the preferences by its text object.
class EditableTextTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { KeyColumn, ValueColumn, ColumnCount };

    explicit EditableTextTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<std::shared_ptr<KOVA_EditableText>> m_texts;
};
