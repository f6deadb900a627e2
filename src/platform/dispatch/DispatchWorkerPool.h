#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <vector>

namespace platform {

// The threads behind the global queues. It keeps as many workers running as
// there are processors and adds workers while some of them are blocked waiting
// (rendering waits on groups inside global work), up to a generous cap.
class DispatchWorkerPool {
public:
    static DispatchWorkerPool& instance();

    void submit(DispatchQueue* queue, unsigned priority, DispatchBlock block);
    void willBlock();
    void didUnblock();
    static bool isWorkerThread();

    // One block submitted to a global queue.
    struct Job {
        DispatchQueue* queue;
        unsigned priority;
        DispatchBlock block;
    };

private:
    DispatchWorkerPool();
    void spawnIfNeededLocked();
    bool takeJobsLocked(std::vector<Job>& jobs);
    bool spinForWorkLocked(std::unique_lock<std::mutex>& lock, std::vector<Job>& jobs);
    void work();
    void handBackRestOfBatchLocked();

    static constexpr size_t maximumThreads = 512;
    const size_t m_width;
    std::mutex m_mutex;
    std::condition_variable m_available;
    std::map<unsigned, std::deque<Job>, std::greater<>> m_pending; // highest class first
    size_t m_pendingCount = 0;
    std::atomic<bool> m_hasPending = false; // read without the lock by spinning workers
    size_t m_threads = 0;
    size_t m_idle = 0;
    size_t m_blocked = 0;
    size_t m_spinning = 0;
};

} // namespace platform
