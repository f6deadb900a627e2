#pragma once

#include <QStyledItemDelegate>

#include <functional>

// The clicks on a folder-set table's folder cells: a click selects the row alone,
// a double click runs the row's action (the set's folder chooser).
class FolderSetClickDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using RowAction = std::function<void(int row)>;

    FolderSetClickDelegate(RowAction click, RowAction doubleClick, QObject* parent = nullptr);

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    const RowAction m_click;
    const RowAction m_doubleClick;
};
