#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class FolderSetsTableModel;
class FolderSetsTableView;
class KOVA_FolderSet;
class QLineEdit;

// The folders pane: the hot job folders in a table, and the five fixed folders
// (templates, nodes, packages, pending and completed jobs) with a chooser and a
// reveal button each. A chosen folder is written through the application, so
// the rendering service gets it too.
class PrefsFoldersViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString identifier = QStringLiteral("prefsFolders");

    // One fixed folder: its field, the word its chooser names and its preference.
    struct FixedFolder {
        const char* field;
        const char* word;
        const QString& key;
    };
    static const QList<FixedFolder>& fixedFolders();

    explicit PrefsFoldersViewController(QWidget* parent = nullptr);
    ~PrefsFoldersViewController() override;

    // Adds a disabled "Pending Jobs" folder at home, taking XML tickets, and selects it alone.
    void addFolderSet();
    // Asks before deleting the selected folders; beeps when none is selected.
    void deleteSelectedFolderSets();
    QList<std::shared_ptr<KOVA_FolderSet>> selectedFolderSets() const;
    void deleteWithConfirmation(const QList<std::shared_ptr<KOVA_FolderSet>>& folderSets);
    // Deletes every set without a fixed name, then selects the row above the first
    // selected one.
    void deleteFolderSets(const QList<std::shared_ptr<KOVA_FolderSet>>& folderSets);
    // The chooser of the fixed folder at `position` in fixedFolders().
    void chooseFolder(int position);
    // Shows the fixed folder in the file manager; beeps and logs when it cannot be read.
    void revealFile(int position);

    FolderSetsTableView* tableView() const { return m_table; }
    QLineEdit* field(int position) const { return m_fields.value(position); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeJobFoldersBox();
    QWidget* makeFixedFoldersBox();
    void viewDidLoad();
    void viewDidAppear();
    void showPath(int position, const QString& path);

    class PendingJobsObserver;
    std::shared_ptr<PendingJobsObserver> m_pendingJobsObserver;
    FolderSetsTableModel* m_model = nullptr;
    FolderSetsTableView* m_table = nullptr;
    QList<QLineEdit*> m_fields;
};
