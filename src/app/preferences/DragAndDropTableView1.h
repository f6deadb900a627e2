#pragma once

#include <QList>
#include <QTableView>
#include <QUrl>

#include <functional>

// A table that takes dropped files. A drag that offers moving is taken on the
// whole table; on a drop, `acceptDrop` handles the dropped file URLs and answers
// the action the drop is reported as (Qt::IgnoreAction refuses it), and the URLs
// of an accepted drop are kept in draggedItems().
class DragAndDropTableView1 : public QTableView {
    Q_OBJECT
public:
    using AcceptDrop = std::function<Qt::DropAction(const QList<QUrl>& urls)>;

    explicit DragAndDropTableView1(QWidget* parent = nullptr);

    void setAcceptDrop(AcceptDrop acceptDrop) { m_acceptDrop = std::move(acceptDrop); }
    QList<QUrl> draggedItems() const { return m_draggedItems; }
    void setDraggedItems(const QList<QUrl>& urls) { m_draggedItems = urls; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    AcceptDrop m_acceptDrop;
    QList<QUrl> m_draggedItems;
};
