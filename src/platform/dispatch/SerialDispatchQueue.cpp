#include "platform/dispatch/SerialDispatchQueue.h"

#include "platform/dispatch/DispatchThread.h"

namespace platform {
namespace {
// How long a drained queue keeps its thread for more work before letting it go.
constexpr auto threadLinger = std::chrono::milliseconds(50);
} // namespace

SerialDispatchQueue::SerialDispatchQueue(const QString& label)
    : DispatchQueue(Kind::Serial, label)
{
}

void SerialDispatchQueue::async(DispatchBlock block)
{
    std::lock_guard lock(m_mutex);
    m_blocks.push_back(std::move(block));
    if (m_draining) {
        m_arrived.notify_one();
        return;
    }
    m_draining = true;
    // The thread keeps the queue alive until it has run everything queued.
    DispatchThread::start([self = std::static_pointer_cast<SerialDispatchQueue>(shared_from_this())] { self->drain(); });
}

void SerialDispatchQueue::drain()
{
    DispatchQueue* previous = exchangeCurrent(this);
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_arrived.wait_for(lock, threadLinger, [this] { return !m_blocks.empty(); })) {
            m_draining = false;
            break;
        }
        std::deque<DispatchBlock> batch;
        batch.swap(m_blocks);
        lock.unlock();
        for (auto& block : batch) {
            block();
            block = nullptr;
        }
        batch.clear();
        lock.lock();
    }
    exchangeCurrent(previous);
}

} // namespace platform
