#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <deque>

class QCoreApplication;
class QEvent;
class QObject;

namespace platform {

// The main thread's queue. Blocks wait in a queue of our own; the Qt event loop
// is only woken to drain it, so every hand-over between threads passes through
// our own lock. Blocks queued before the application object exists are kept and
// run once its event loop runs: start-up order loses no work.
class MainDispatchQueue : public DispatchQueue {
public:
    MainDispatchQueue();
    void async(DispatchBlock block) override;
    static bool isMainThread();

    // Drains the queue when `event` is its wake-up; false for any other event.
    bool handleEvent(QEvent* event);

    // Binds the queue to the event loop of `app` (once) and wakes it for the
    // blocks that waited for it.
    void attach(QCoreApplication* app);

private:
    // Posts one wake-up to the main thread when blocks wait and none is on its way.
    void wakeLocked();

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
