#include "app/preferences/DragAndDropTableView1.h"

#include "platform/Log.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {
// A drag is taken when it can move files.
bool validateDrop(QDropEvent* event)
{
    platform::Log::log(
        QStringLiteral("-[PrefsTemplatesViewController tableView:validateDrop:proposedRow:proposedDropOperation:]"));
    if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::MoveAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    return true;
}
} // namespace

DragAndDropTableView1::DragAndDropTableView1(QWidget* parent) : QTableView(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void DragAndDropTableView1::dragEnterEvent(QDragEnterEvent* event)
{
    validateDrop(event);
}

void DragAndDropTableView1::dragMoveEvent(QDragMoveEvent* event)
{
    validateDrop(event);
}

void DragAndDropTableView1::dropEvent(QDropEvent* event)
{
    platform::Log::log(QStringLiteral("-[PrefsTemplatesViewController tableView:acceptDrop:row:dropOperation:]"));
    QList<QUrl> fileURLs;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            fileURLs.append(url);
    }
    const Qt::DropAction answer = fileURLs.isEmpty() || !m_acceptDrop ? Qt::IgnoreAction : m_acceptDrop(fileURLs);
    if (answer == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(answer);
    event->accept();
}
