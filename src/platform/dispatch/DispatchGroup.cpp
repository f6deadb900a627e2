#include "platform/dispatch/DispatchGroup.h"

#include "platform/Log.h"

namespace platform {
namespace {

// Waits on `condition` until `ready` holds or `timeout` passes; the thread counts
// as blocked meanwhile, so the worker pool can grow.
template <class Ready>
bool waitBlocking(std::unique_lock<std::mutex>& lock, std::condition_variable& condition,
                  std::chrono::nanoseconds timeout, Ready ready)
{
    BlockingScope blocking;
    if (timeout == std::chrono::nanoseconds::max()) {
        condition.wait(lock, ready);
        return true;
    }
    return condition.wait_for(lock, timeout, ready);
}

} // namespace

std::shared_ptr<DispatchGroup> DispatchGroup::create()
{
    return std::shared_ptr<DispatchGroup>(new DispatchGroup);
}

void DispatchGroup::enter()
{
    m_count.fetch_add(1, std::memory_order_relaxed);
}

void DispatchGroup::leave()
{
    long count = m_count.load(std::memory_order_relaxed);
    do {
        if (count == 0) {
            Log::error(QStringLiteral("a dispatch group was left more often than it was entered"));
            return;
        }
    } while (!m_count.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
    if (count > 1)
        return;
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, DispatchBlock>> ready;
    {
        // Waiters test the count under the lock, so taking it here means none can
        // miss the wake-up.
        std::lock_guard lock(m_mutex);
        if (m_count.load(std::memory_order_acquire) == 0)
            ready.swap(m_notifications);
        m_drained.notify_all();
    }
    for (auto& [queue, block] : ready)
        queue->async(std::move(block));
}

void DispatchGroup::async(const std::shared_ptr<DispatchQueue>& queue, DispatchBlock block)
{
    enter();
    queue->async([self = shared_from_this(), block = std::move(block)] {
        block();
        self->leave();
    });
}

bool DispatchGroup::wait(std::chrono::nanoseconds timeout)
{
    if (m_count.load(std::memory_order_acquire) == 0)
        return true;
    std::unique_lock lock(m_mutex);
    return waitBlocking(lock, m_drained, timeout, [this] { return m_count.load(std::memory_order_acquire) == 0; });
}

void DispatchGroup::notify(const std::shared_ptr<DispatchQueue>& queue, DispatchBlock block)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_count.load(std::memory_order_acquire) > 0) {
            m_notifications.emplace_back(queue, std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

DispatchSemaphore::DispatchSemaphore(long value)
    : m_value(value)
{
}

void DispatchSemaphore::signal()
{
    std::lock_guard lock(m_mutex);
    ++m_value;
    m_available.notify_one();
}

bool DispatchSemaphore::wait(std::chrono::nanoseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!waitBlocking(lock, m_available, timeout, [this] { return m_value > 0; }))
        return false;
    --m_value;
    return true;
}

} // namespace platform
