#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <deque>

class QEvent;
class QObject;

namespace platform {

// The main thread's queue. Blocks wait in a queue of our own; the Qt event loop
// is only woken to drain it, so every hand-over between threads passes through
// our own lock.
class MainDispatchQueue : public DispatchQueue {
public:
    MainDispatchQueue();
    void async(DispatchBlock block) override;
    static bool isMainThread();

    // Drains the queue when `event` is its wake-up; false for any other event.
    bool handleEvent(QEvent* event);

private:
    // Runs the waiting blocks in order, one at a time (a block that spins the event
    // loop continues the drain without reordering).
    void drainLocked(std::unique_lock<std::mutex>& lock);

    std::once_flag m_receiverMade;
    std::mutex m_mutex;
    std::deque<DispatchBlock> m_blocks;
    bool m_wakePosted = false;
    QObject* m_receiver = nullptr;
};

} // namespace platform
