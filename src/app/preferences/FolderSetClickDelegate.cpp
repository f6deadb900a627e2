#include "app/preferences/FolderSetClickDelegate.h"

#include <QEvent>

FolderSetClickDelegate::FolderSetClickDelegate(RowAction click, RowAction doubleClick, QObject* parent)
    : QStyledItemDelegate(parent), m_click(std::move(click)), m_doubleClick(std::move(doubleClick))
{
}

bool FolderSetClickDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                         const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonPress) {
        m_click(index.row());
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
        m_doubleClick(index.row());
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
