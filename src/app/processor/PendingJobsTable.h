#pragma once

#include <QTableView>

#include <functional>

// The list of pending jobs: space toggles the preview, the context menu and
// drops are handed to the window.
class PendingJobsTable : public QTableView {
public:
    explicit PendingJobsTable(QWidget* parent = nullptr);

    std::function<void()> toggleQuickLookPreviewPanel;
    std::function<void(const QPoint& globalPosition, int row, Qt::KeyboardModifiers modifiers)> contextMenuRequested;
    QList<int> selectedRows() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
