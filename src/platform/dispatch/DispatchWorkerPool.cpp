#include "platform/dispatch/DispatchWorkerPool.h"

#include "platform/dispatch/DispatchThread.h"

#include <algorithm>
#include <thread>

namespace platform {
namespace {
thread_local bool inPoolWorker = false;
// The jobs a worker took at once, and the index of the first one it has not begun.
thread_local std::vector<DispatchWorkerPool::Job>* batchOfThisWorker = nullptr;
thread_local size_t nextInBatch = 0;
// Blocking scopes open on this worker: a wait inside a wait counts once.
thread_local int openBlockingScopes = 0;
constexpr auto idleThreadLifetime = std::chrono::seconds(10);
constexpr auto spinBeforeSleeping = std::chrono::microseconds(50);
} // namespace

DispatchWorkerPool& DispatchWorkerPool::instance()
{
    // Never destroyed: workers may still run while the process exits.
    static DispatchWorkerPool* pool = new DispatchWorkerPool;
    return *pool;
}

DispatchWorkerPool::DispatchWorkerPool()
    : m_width(std::max(1u, std::thread::hardware_concurrency()))
{
}

bool DispatchWorkerPool::isWorkerThread()
{
    return inPoolWorker;
}

void DispatchWorkerPool::submit(DispatchQueue* queue, unsigned priority, DispatchBlock block)
{
    std::lock_guard lock(m_mutex);
    m_pending[priority].push_back(Job{queue, priority, std::move(block)});
    ++m_pendingCount;
    m_hasPending.store(true, std::memory_order_release);
    if (m_idle > 0 && m_spinning == 0)
        m_available.notify_one();
    spawnIfNeededLocked();
}

void DispatchWorkerPool::willBlock()
{
    std::lock_guard lock(m_mutex);
    ++m_blocked;
    handBackRestOfBatchLocked();
    spawnIfNeededLocked();
}

// A worker that blocks must not hold jobs it took but has not begun: the job it
// waits for may be among them. They go back to the front of their queues.
void DispatchWorkerPool::handBackRestOfBatchLocked()
{
    if (!batchOfThisWorker || nextInBatch >= batchOfThisWorker->size())
        return;
    for (size_t i = batchOfThisWorker->size(); i-- > nextInBatch;) {
        Job& job = (*batchOfThisWorker)[i];
        m_pending[job.priority].push_front(std::move(job));
        ++m_pendingCount;
    }
    batchOfThisWorker->resize(nextInBatch);
    m_hasPending.store(true, std::memory_order_release);
    if (m_idle > 0 && m_spinning == 0)
        m_available.notify_one();
}

void DispatchWorkerPool::didUnblock()
{
    std::lock_guard lock(m_mutex);
    --m_blocked;
}

// A new worker starts when more jobs wait than idle workers can take and fewer
// workers than processors are actually running (not blocked).
void DispatchWorkerPool::spawnIfNeededLocked()
{
    const size_t running = m_threads - m_idle - m_blocked;
    if (m_pendingCount <= m_idle || running >= m_width || m_threads >= maximumThreads)
        return;
    ++m_threads;
    DispatchThread::start([this] { work(); });
}

// Takes a share of the waiting jobs, highest class first: one job when few wait,
// more when the backlog is deep, so that short blocks do not pay a lock round-trip
// each while long ones still spread over the workers.
bool DispatchWorkerPool::takeJobsLocked(std::vector<Job>& jobs)
{
    const size_t share = std::clamp<size_t>(m_pendingCount / (2 * std::max<size_t>(m_threads, 1)), 1, 64);
    for (auto& [priority, waiting] : m_pending) {
        while (!waiting.empty() && jobs.size() < share) {
            jobs.push_back(std::move(waiting.front()));
            waiting.pop_front();
            --m_pendingCount;
        }
        if (jobs.size() == share)
            break;
    }
    m_hasPending.store(m_pendingCount > 0, std::memory_order_relaxed);
    return !jobs.empty();
}

// Before going to sleep a worker watches for new work for a moment: waking a
// sleeping thread costs far more than the short blocks that often follow.
bool DispatchWorkerPool::spinForWorkLocked(std::unique_lock<std::mutex>& lock, std::vector<Job>& jobs)
{
    if (m_spinning > 0) // one watcher is enough; it wakes others when work piles up
        return false;
    ++m_spinning;
    lock.unlock();
    const auto until = std::chrono::steady_clock::now() + spinBeforeSleeping;
    bool seen = false;
    while (!(seen = m_hasPending.load(std::memory_order_acquire)) && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    lock.lock();
    --m_spinning;
    return seen && takeJobsLocked(jobs);
}

void DispatchWorkerPool::work()
{
    inPoolWorker = true;
    std::vector<Job> jobs;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!takeJobsLocked(jobs) && !spinForWorkLocked(lock, jobs)) {
            ++m_idle;
            const bool woke = m_available.wait_for(lock, idleThreadLifetime, [this] { return m_pendingCount > 0; });
            --m_idle;
            if (!woke) {
                --m_threads;
                return;
            }
            continue;
        }
        if (m_pendingCount > 0 && m_idle > 0 && m_spinning == 0)
            m_available.notify_one(); // more work than this worker took: pass it on
        lock.unlock();
        batchOfThisWorker = &jobs;
        // The batch shrinks when a job blocks and hands the rest back.
        for (size_t i = 0; i < jobs.size(); ++i) {
            nextInBatch = i + 1;
            DispatchQueue* previous = DispatchQueue::exchangeCurrent(jobs[i].queue);
            jobs[i].block();
            jobs[i].block = nullptr; // release what the block captured before taking the lock again
            DispatchQueue::exchangeCurrent(previous);
        }
        batchOfThisWorker = nullptr;
        jobs.clear();
        lock.lock();
    }
}

BlockingScope::BlockingScope()
{
    if (DispatchWorkerPool::isWorkerThread() && openBlockingScopes++ == 0)
        DispatchWorkerPool::instance().willBlock();
}

BlockingScope::~BlockingScope()
{
    if (DispatchWorkerPool::isWorkerThread() && --openBlockingScopes == 0)
        DispatchWorkerPool::instance().didUnblock();
}

} // namespace platform
