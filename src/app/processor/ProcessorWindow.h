#pragma once

#include "app/processor/JobPreviewDialog.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>

class KOVA_Job;
class JobTrash;
class PendingJobsModel;
class PendingJobsTable;
class PreviewSplitter;
class ProcessorStatus;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace platform {
class UndoManager;
}

// The processor window: the jobs waiting in the enabled hot folders above, the
// selected job's preview below; the switch that starts and pauses processing,
// the job counters, and the actions on jobs (process now, reveal, trash with
// undo, move to the completed folder, preview, drop job files to add them). It
// records whether it is open under "kovaWindowIsVisibleProcessor" (not while the
// application quits) and its frame under its autosave name.
class ProcessorWindow : public QMainWindow {
public:
    static inline const QString frameAutosaveName = QStringLiteral("com.morvanta.kovaxml.window.autosave.processor");
    static inline const QString keyVisible = QStringLiteral("kovaWindowIsVisibleProcessor");
    static constexpr int minimumListHeight = 555;

    using Jobs = QList<std::shared_ptr<KOVA_Job>>;

    // `jobsSource` answers the pending jobs (the job folders' list when absent).
    explicit ProcessorWindow(const QList<QAction*>& sharedActions, std::function<Jobs()> jobsSource = {},
                             QWidget* parent = nullptr);
    ~ProcessorWindow() override;

    // Restores the frame saved under `name` and saves it there from now on.
    void setFrameAutosaveName(const QString& name);
    // Shows and raises the window and records it as open.
    void showWindow();

    // The context menu for `row` (-1 outside the list) as it opens with `modifiers`.
    QMenu* contextMenu(int row, Qt::KeyboardModifiers modifiers);

    void runState();
    void resetJobStats();
    void processSelectedOrders();
    void deleteSelectedOrders();
    void toggleQuickLookPreviewPanel();

    PendingJobsModel* model() const { return m_model; }
    PendingJobsTable* table() const { return m_table; }
    QPushButton* buttonProcessorState() const { return m_buttonProcessorState; }
    platform::UndoManager* undoManager() const { return m_undoManager; }
    JobPreviewDialog* previewPanel() const { return m_previewPanel; }
    PreviewSplitter* splitter() const { return m_splitter; }
    QLabel* imageViewPending() const { return m_imageViewPending; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeStatusRow();
    QWidget* makeListPane();
    void makeEditMenu();
    void showStatus();
    std::shared_ptr<KOVA_Job> jobPreview() const;
    void selectionDidChange();
    void previewMayHaveChanged();
    void showSelectedPreview();
    JobPreviewDialog::DataSource previewDataSource();
    void restoreLastIndexPreviewPanel();
    QList<QUrl> selectedJobURLs() const;
    void saveFrame() const;
    void revealInFinder(const QVariant& represented);
    void moveToTrash(const QVariant& represented);
    void moveToCompleted(const QVariant& represented);

    PendingJobsModel* m_model;
    PendingJobsTable* m_table;
    platform::UndoManager* m_undoManager;
    JobTrash* m_trash;
    ProcessorStatus* m_status = nullptr;
    PreviewSplitter* m_splitter = nullptr;
    QLabel* m_imageViewPending = nullptr;
    QPushButton* m_buttonProcessorState = nullptr;
    QProgressBar* m_progressIndicator = nullptr;
    QLabel* m_textFieldJobsCompleted = nullptr;
    QLabel* m_textFieldJobsFailed = nullptr;
    JobPreviewDialog* m_previewPanel = nullptr;
    std::shared_ptr<KOVA_Job> m_previewedJob;
    QString m_frameAutosaveName;
};
