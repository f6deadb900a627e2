#include "core/queues/ZORVAK_QueuePool.h"

#include <algorithm>

ZORVAK_QueuePool::ZORVAK_QueuePool(qint64 count, const QString& labelPrefix, ZORVAK_Dispatch::Queue guardQueue)
    : m_guardQueue(std::move(guardQueue))
{
    const qint64 made = std::max<qint64>(count, 1);
    m_queues.reserve(made);
    for (qint64 index = 0; index < made; ++index)
        m_queues.append(ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(labelPrefix + QString::number(index)));
}

ZORVAK_Dispatch::Queue ZORVAK_QueuePool::nextQueue()
{
    ZORVAK_Dispatch::Queue taken;
    ZORVAK_Dispatch::performSyncOnQueue(m_guardQueue, [&] {
        taken = m_queues.at(m_next);
        m_next = (m_next + 1) % m_queues.size();
    });
    return taken;
}
