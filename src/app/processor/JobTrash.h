#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class QWidget;

namespace platform {
class UndoManager;
}

// Moves job items to the trash after the operator confirms, and records the move
// on the window's undo manager as "Move Files to Trash": undo puts each trashed
// item back, redo asks again.
class JobTrash : public QObject {
public:
    JobTrash(QWidget* window, platform::UndoManager* undoManager);

    // An empty list only beeps. Otherwise a window-modal alert asks first.
    void registerUndoMoveFilesToTrash(const QList<QUrl>& urls);

private:
    void moveConfirmed(const QList<QUrl>& urls);
    void registerUndo(const QList<QUrl>& urls, const QList<QPair<QString, QString>>& trashed);

    QWidget* m_window;
    platform::UndoManager* m_undoManager;
};
