#include "platform/dispatch/DispatchTimers.h"

#include <thread>

namespace platform {

DispatchTimers& DispatchTimers::instance()
{
    // Never destroyed: delayed blocks may still be pending while the process exits.
    static DispatchTimers* timers = new DispatchTimers;
    return *timers;
}

DispatchTimers::DispatchTimers()
{
    std::thread([this] { run(); }).detach();
}

void DispatchTimers::schedule(DispatchClock::Nanos deadline, std::shared_ptr<DispatchQueue> queue, DispatchBlock block)
{
    std::lock_guard lock(m_mutex);
    const auto placed = m_entries.emplace(deadline, Entry{std::move(queue), std::move(block)});
    if (placed == m_entries.begin()) // the timer thread only needs waking for a new earliest deadline
        m_changed.notify_one();
}

void DispatchTimers::fireDue()
{
    const auto now = DispatchClock::current()->now();
    std::lock_guard lock(m_mutex);
    fireDueLocked(now);
}

void DispatchTimers::clockChanged()
{
    std::lock_guard lock(m_mutex);
    m_changed.notify_one();
}

// Handing over happens under the lock so that blocks due together reach their
// queues in deadline order even when a clock advance and the timer thread race.
void DispatchTimers::fireDueLocked(DispatchClock::Nanos now)
{
    while (!m_entries.empty() && m_entries.begin()->first <= now) {
        auto node = m_entries.extract(m_entries.begin());
        node.mapped().queue->async(std::move(node.mapped().block));
    }
}

void DispatchTimers::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto clock = DispatchClock::current();
        const auto now = clock->now();
        fireDueLocked(now);
        if (m_entries.empty() || clock->isManual())
            m_changed.wait(lock);
        else
            m_changed.wait_for(lock, m_entries.begin()->first - now);
    }
}

} // namespace platform
