#include "platform/dispatch/GlobalDispatchQueue.h"

#include "platform/dispatch/DispatchWorkerPool.h"

namespace platform {

GlobalDispatchQueue::GlobalDispatchQueue(unsigned qos, const QString& label)
    : DispatchQueue(Kind::Global, label)
    , m_qos(qos)
{
}

void GlobalDispatchQueue::async(DispatchBlock block)
{
    DispatchWorkerPool::instance().submit(this, m_qos, std::move(block));
}

} // namespace platform
