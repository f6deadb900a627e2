#include "platform/DispatchWorkerPool.h"

#include <algorithm>
#include <thread>

namespace platform {
namespace {
thread_local bool inPoolWorker = false;
constexpr auto idleThreadLifetime = std::chrono::seconds(10);
} // namespace

DispatchWorkerPool& DispatchWorkerPool::instance()
{
    // Never destroyed: workers may still run while the process exits.
    static DispatchWorkerPool* pool = new DispatchWorkerPool;
    return *pool;
}

DispatchWorkerPool::DispatchWorkerPool()
    : width_(std::max(1u, std::thread::hardware_concurrency()))
{
}

bool DispatchWorkerPool::isWorkerThread()
{
    return inPoolWorker;
}

void DispatchWorkerPool::submit(DispatchQueue* queue, unsigned priority, DispatchBlock block)
{
    std::lock_guard lock(mutex_);
    pending_[priority].push_back(Job{queue, std::move(block)});
    ++pendingCount_;
    spawnIfNeededLocked();
    available_.notify_one();
}

void DispatchWorkerPool::willBlock()
{
    std::lock_guard lock(mutex_);
    ++blocked_;
    spawnIfNeededLocked();
}

void DispatchWorkerPool::didUnblock()
{
    std::lock_guard lock(mutex_);
    --blocked_;
}

// A new worker starts when more jobs wait than idle workers can take and fewer
// workers than processors are actually running (not blocked).
void DispatchWorkerPool::spawnIfNeededLocked()
{
    const size_t running = threads_ - idle_ - blocked_;
    if (pendingCount_ <= idle_ || running >= width_ || threads_ >= maximumThreads)
        return;
    ++threads_;
    std::thread([this] { work(); }).detach();
}

bool DispatchWorkerPool::takeJobLocked(Job& job)
{
    for (auto& [priority, jobs] : pending_) {
        if (jobs.empty())
            continue;
        job = std::move(jobs.front());
        jobs.pop_front();
        --pendingCount_;
        return true;
    }
    return false;
}

void DispatchWorkerPool::work()
{
    inPoolWorker = true;
    std::unique_lock lock(mutex_);
    for (;;) {
        Job job;
        if (!takeJobLocked(job)) {
            ++idle_;
            const bool woke = available_.wait_for(lock, idleThreadLifetime, [this] { return pendingCount_ > 0; });
            --idle_;
            if (!woke) {
                --threads_;
                return;
            }
            continue;
        }
        lock.unlock();
        DispatchQueue* previous = DispatchQueue::exchangeCurrent(job.queue);
        job.block();
        job.block = nullptr; // release what the block captured before taking the lock again
        DispatchQueue::exchangeCurrent(previous);
        lock.lock();
    }
}

BlockingScope::BlockingScope()
{
    if (DispatchWorkerPool::isWorkerThread())
        DispatchWorkerPool::instance().willBlock();
}

BlockingScope::~BlockingScope()
{
    if (DispatchWorkerPool::isWorkerThread())
        DispatchWorkerPool::instance().didUnblock();
}

} // namespace platform
