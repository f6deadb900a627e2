#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <atomic>
#include <condition_variable>
#include <vector>

namespace platform {

// Counts work in progress; waiters and notification blocks run when it drains.
class DispatchGroup : public std::enable_shared_from_this<DispatchGroup> {
public:
    static std::shared_ptr<DispatchGroup> create();

    void enter();
    void leave();
    // Runs the block on the queue inside the group.
    void async(const std::shared_ptr<DispatchQueue>& queue, DispatchBlock block);
    // Waits until the group is empty; false when `timeout` passed first.
    bool wait(std::chrono::nanoseconds timeout = std::chrono::nanoseconds::max());
    // Runs the block on the queue once the group is empty (at once when it is).
    void notify(const std::shared_ptr<DispatchQueue>& queue, DispatchBlock block);

private:
    DispatchGroup() = default;

    std::atomic<long> m_count = 0; // changed without the lock; the lock guards draining
    std::mutex m_mutex;
    std::condition_variable m_drained;
    std::vector<std::pair<std::shared_ptr<DispatchQueue>, DispatchBlock>> m_notifications;
};

// A counting semaphore.
class DispatchSemaphore {
public:
    explicit DispatchSemaphore(long value = 0);

    void signal();
    // Takes one unit; false when `timeout` passed first.
    bool wait(std::chrono::nanoseconds timeout = std::chrono::nanoseconds::max());

private:
    std::mutex m_mutex;
    std::condition_variable m_available;
    long m_value;
};

} // namespace platform
