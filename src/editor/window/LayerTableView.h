#pragma once

#include <QTableView>

// The layers table: multiple selection, rows dragged within it to restack layers, the
// drag showing a picture of the dragged rows grabbed from the table itself.
class LayerTableView : public QTableView {
    Q_OBJECT
public:
    explicit LayerTableView(QWidget* parent = nullptr);

    // The picture of the rows, stacked in their order.
    QPixmap rowsPicture(const QList<int>& rows);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
};
