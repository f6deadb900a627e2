#include "app/preferences/FolderSetsTableView.h"

#include "app/preferences/FolderSetChooser.h"
#include "app/preferences/FolderSetClickDelegate.h"
#include "app/preferences/FolderSetsTableModel.h"

#include <QHeaderView>

#include <algorithm>

FolderSetsTableView::FolderSetsTableView(FolderSetsTableModel* model, int folderColumn, QWidget* parent)
    : QTableView(parent), m_model(model)
{
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    horizontalHeader()->setSectionResizeMode(folderColumn, QHeaderView::Stretch);
    verticalHeader()->hide();
    setItemDelegateForColumn(folderColumn, new FolderSetClickDelegate([this](int row) { selectRowAlone(row); },
                                                                      [this](int row) { chooseFolder(row); }, this));
}

void FolderSetsTableView::selectRowAlone(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    selectionModel()->select(m_model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(m_model->index(row, 0));
}

void FolderSetsTableView::chooseFolder(int row)
{
    FolderSetChooser::choose(m_model->folderSetAt(row), this);
}

QList<std::shared_ptr<KOVA_FolderSet>> FolderSetsTableView::selectedFolderSets() const
{
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QList<std::shared_ptr<KOVA_FolderSet>> selected;
    for (const QModelIndex& row : rows) {
        if (std::shared_ptr<KOVA_FolderSet> set = m_model->folderSetAt(row.row()))
            selected.append(set);
    }
    return selected;
}

int FolderSetsTableView::firstSelectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return 0;
    return std::min_element(rows.begin(), rows.end())->row();
}
