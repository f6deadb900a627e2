#include "platform/dispatch/GlobalDispatchQueue.h"

#include "platform/dispatch/DispatchWorkerPool.h"

namespace platform {

GlobalDispatchQueue::GlobalDispatchQueue(unsigned qos, const QString& label)
    : DispatchQueue(Kind::Global, label)
    , qos_(qos)
{
}

void GlobalDispatchQueue::async(DispatchBlock block)
{
    DispatchWorkerPool::instance().submit(this, qos_, std::move(block));
}

} // namespace platform
