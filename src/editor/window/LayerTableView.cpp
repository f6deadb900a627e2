#include "editor/window/LayerTableView.h"

#include <QDrag>
#include <QHeaderView>
#include <QPainter>

#include <algorithm>

LayerTableView::LayerTableView(QWidget* parent)
    : QTableView(parent)
{
    setObjectName(QStringLiteral("tableViewTemplateLayers"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropOverwriteMode(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

QPixmap LayerTableView::rowsPicture(const QList<int>& rows)
{
    const int width = viewport()->width();
    const int stripHeight = std::max(1, verticalHeader()->defaultSectionSize());
    QPixmap picture(std::max(1, width), std::max(1, int(rows.size()) * stripHeight));
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    int top = 0;
    for (const int row : rows) {
        const QRect rowRect(0, rowViewportPosition(row), width, std::min(stripHeight, rowHeight(row)));
        if (rowRect.top() >= 0)
            painter.drawPixmap(0, top, viewport()->grab(rowRect));
        top += stripHeight;
    }
    return picture;
}

void LayerTableView::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    QList<int> rows;
    for (const QModelIndex& index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    auto* drag = new QDrag(this);
    drag->setMimeData(model()->mimeData(selected));
    drag->setPixmap(rowsPicture(rows));
    drag->exec(supportedActions, Qt::MoveAction);
}
