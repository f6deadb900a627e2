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
    std::lock_guard lock(mutex_);
    const auto placed = entries_.emplace(deadline, Entry{std::move(queue), std::move(block)});
    if (placed == entries_.begin()) // the timer thread only needs waking for a new earliest deadline
        changed_.notify_one();
}

void DispatchTimers::fireDue()
{
    const auto now = DispatchClock::current()->now();
    std::lock_guard lock(mutex_);
    fireDueLocked(now);
}

void DispatchTimers::clockChanged()
{
    std::lock_guard lock(mutex_);
    changed_.notify_one();
}

// Handing over happens under the lock so that blocks due together reach their
// queues in deadline order even when a clock advance and the timer thread race.
void DispatchTimers::fireDueLocked(DispatchClock::Nanos now)
{
    while (!entries_.empty() && entries_.begin()->first <= now) {
        auto node = entries_.extract(entries_.begin());
        node.mapped().queue->async(std::move(node.mapped().block));
    }
}

void DispatchTimers::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto clock = DispatchClock::current();
        const auto now = clock->now();
        fireDueLocked(now);
        if (entries_.empty() || clock->isManual())
            changed_.wait(lock);
        else
            changed_.wait_for(lock, entries_.begin()->first - now);
    }
}

} // namespace platform
