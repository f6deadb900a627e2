#include "app/processor/PendingJobsTable.h"

#include "app/processor/JobDrop.h"
#include "platform/Log.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

PendingJobsTable::PendingJobsTable(QWidget* parent)
    : QTableView(parent)
{
    setObjectName(QStringLiteral("tableViewPendingJobs"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAlternatingRowColors(true);
    setShowGrid(false);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
}

QList<int> PendingJobsTable::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PendingJobsTable::keyPressEvent(QKeyEvent* event)
{
    if (event->text() == QStringLiteral(" ") && toggleQuickLookPreviewPanel) {
        toggleQuickLookPreviewPanel();
        return;
    }
    QTableView::keyPressEvent(event);
}

void PendingJobsTable::contextMenuEvent(QContextMenuEvent* event)
{
    if (contextMenuRequested)
        contextMenuRequested(event->globalPos(), indexAt(event->pos()).row(), event->modifiers());
}

void PendingJobsTable::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void PendingJobsTable::dragMoveEvent(QDragMoveEvent* event)
{
    platform::Log::log(QStringLiteral("-[DragAndDropTableView tableView:validateDrop:proposedRow:proposedDropOperation:]"));
    if (JobDrop::canDrop(event->possibleActions(), event->mimeData())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void PendingJobsTable::dropEvent(QDropEvent* event)
{
    const bool moved = JobDrop::acceptDrop(event->possibleActions(), event->mimeData());
    // The source is told Copy whatever happened, so that it deletes nothing: an
    // accepted item has been moved already, a refused one must stay.
    event->setDropAction(Qt::CopyAction);
    event->setAccepted(moved);
}
