#pragma once

#include <QWidget>

class FolderSetsTableModel;
class FolderSetsTableView;
class PrintToFileSetEditor;

// The print-to-file pane: the eight numbered output sets in a table, the selected
// set's options in the editor under it. The sets are fixed: their names cannot
// be changed, and adding or deleting a set only beeps.
class PrefsFilesetsViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefsPrintToFile");

    explicit PrefsFilesetsViewController(QWidget* parent = nullptr);

    void addFolderSet();
    void deleteFolderSets();
    FolderSetsTableView* tableView() const { return m_table; }
    PrintToFileSetEditor* editor() const { return m_editor; }

private:
    void showSelectedSet();

    FolderSetsTableModel* m_model = nullptr;
    FolderSetsTableView* m_table = nullptr;
    PrintToFileSetEditor* m_editor = nullptr;
};
