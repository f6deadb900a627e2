#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <condition_variable>

namespace platform {

// The process's one timer thread: holds delayed blocks until the dispatch clock
// reaches their deadline, then hands them to their queues in deadline order.
class DispatchTimers {
public:
    static DispatchTimers& instance();

    void schedule(DispatchClock::Nanos deadline, std::shared_ptr<DispatchQueue> queue, DispatchBlock block);
    // Hands every block whose deadline has come to its queue.
    void fireDue();
    // Wakes the timer thread after the clock was replaced or moved.
    void clockChanged();

private:
    struct Entry {
        std::shared_ptr<DispatchQueue> queue;
        DispatchBlock block;
    };

    DispatchTimers();
    void run();
    void fireDueLocked(DispatchClock::Nanos now);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::multimap<DispatchClock::Nanos, Entry> m_entries;
};

} // namespace platform
