#pragma once

#include "core/queues/ZORVAK_Dispatch.h"

#include <QList>
#include <QString>

// A fixed set of serial queues handed out in turn, not by load: consecutive requests
// from any thread take consecutive queues, the last one followed by the first again.
// The turn is read and advanced only on the guarding serial queue the owner gives.
class ZORVAK_QueuePool {
public:
    // `count` serial queues (at least one) labelled `labelPrefix` followed by their
    // index 0, 1, 2 ..., made in index order.
    ZORVAK_QueuePool(qint64 count, const QString& labelPrefix, ZORVAK_Dispatch::Queue guardQueue);

    // The queue whose turn it is.
    ZORVAK_Dispatch::Queue nextQueue();
    qsizetype count() const { return m_queues.size(); }

private:
    const ZORVAK_Dispatch::Queue m_guardQueue;
    QList<ZORVAK_Dispatch::Queue> m_queues;
    qsizetype m_next = 0; // read and written only on m_guardQueue
};
