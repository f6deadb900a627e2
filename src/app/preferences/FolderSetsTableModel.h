#pragma once

#include "app/ListTableModel.h"
#include "workflow/folders/KOVA_FolderSetClass.h"

#include <QHash>
#include <QList>
#include <QVariantList>

#include <functional>
#include <memory>

class KOVA_FolderSet;

// The sets of one folder-set class as table rows, one column per entry of a
// column table. The rows follow the class's list: whenever the class tells its
// observers of a change (on the main thread) the list is read anew and only what
// changed is announced (rows removed, moved or inserted, cells that show another
// value), so the views keep their selection and an open editor.
class FolderSetsTableModel : public ListTableModel {
    Q_OBJECT
public:
    struct Column {
        QString title;
        // The cell's value for a role; an invalid value for roles the column has none for.
        std::function<QVariant(const KOVA_FolderSet& set, int role)> data;
        // Stores an edit; absent for a column that cannot be edited.
        std::function<void(KOVA_FolderSet& set, const QVariant& value, int role)> setData = {};
        Qt::ItemFlags flags = {};
    };

    FolderSetsTableModel(KOVA_FolderSetClass& side, QList<Column> columns, QObject* parent = nullptr);

    std::shared_ptr<KOVA_FolderSet> folderSetAt(int row) const;
    // The row of that very set; -1 when it is not listed.
    int rowOf(const std::shared_ptr<KOVA_FolderSet>& set) const;
    // Reads the class's list again and announces what changed.
    void reload();
    // Tells the views that every cell of `column` may show another value.
    void refreshColumn(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The display text of a path column: the set's folder.
    static QVariant folderPath(const KOVA_FolderSet& set, int role);

private:
    // What a row's cells show, to tell which rows a notice changed.
    QVariantList shownValues(const KOVA_FolderSet& set) const;
    void announceChangedRows();

    KOVA_FolderSetClass& m_side;
    const QList<Column> m_columns;
    KOVA_FolderSetClass::FolderSets m_folderSets;
    QHash<const KOVA_FolderSet*, QVariantList> m_shown; // shownValues() of each set as last announced
    std::shared_ptr<int> m_observerToken = std::make_shared<int>(0);
};
