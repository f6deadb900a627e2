#pragma once

#include "template/KOVA_XML_object.h"

#include <QAbstractTableModel>

#include <memory>

// The sidebar's table of template or package files. Column "name" shows the file name
// without extension, column "type" the document's name ("<missing>" in red when it has
// none). The entries are swapped in whole on the main thread and read there.
class DocumentListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Entry = std::shared_ptr<KOVA_XML_object>;
    enum Column { nameColumn, typeColumn, columnCount_ };

    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(const QList<Entry>& entries);
    const QList<Entry>& entries() const { return m_entries; }
    Entry entry(int row) const;
    // The row of the entry read from `path`, or -1.
    int rowForPath(const QString& path) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The text of a row's cell in the name or type column, shared with the layers table.
    static QVariant cellData(int column, int role, const QString& nameText, const QString& typeText);

private:
    QList<Entry> m_entries;
};
