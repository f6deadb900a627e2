#pragma once

#include <QTableView>

#include <memory>

class FolderSetsTableModel;
class KOVA_FolderSet;

// A table of folder sets with whole-row selection and a stretching folder column.
// A click on a folder cell selects its row alone; a double click opens that set's
// folder chooser.
class FolderSetsTableView : public QTableView {
    Q_OBJECT
public:
    FolderSetsTableView(FolderSetsTableModel* model, int folderColumn, QWidget* parent = nullptr);

    FolderSetsTableModel* folderSets() const { return m_model; }
    // Selects the row alone and scrolls it into view; a row outside the table does nothing.
    void selectRowAlone(int row);
    // The row's folder chooser.
    void chooseFolder(int row);
    // The sets of the selected rows, in row order.
    QList<std::shared_ptr<KOVA_FolderSet>> selectedFolderSets() const;
    // The first selected row; 0 when none is.
    int firstSelectedRow() const;

private:
    FolderSetsTableModel* m_model;
};
