#include "platform/dispatch/SerialDispatchQueue.h"

#include "platform/dispatch/DispatchThread.h"

namespace platform {
namespace {
// How long a drained queue keeps its thread for more work before letting it go.
constexpr auto threadLinger = std::chrono::milliseconds(50);
} // namespace

SerialDispatchQueue::SerialDispatchQueue(const QString& label)
    : DispatchQueue(Kind::Serial, label)
{
}

void SerialDispatchQueue::async(DispatchBlock block)
{
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
    if (draining_) {
        arrived_.notify_one();
        return;
    }
    draining_ = true;
    // The thread keeps the queue alive until it has run everything queued.
    DispatchThread::start([self = std::static_pointer_cast<SerialDispatchQueue>(shared_from_this())] { self->drain(); });
}

void SerialDispatchQueue::drain()
{
    DispatchQueue* previous = exchangeCurrent(this);
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!arrived_.wait_for(lock, threadLinger, [this] { return !blocks_.empty(); })) {
            draining_ = false;
            break;
        }
        std::deque<DispatchBlock> batch;
        batch.swap(blocks_);
        lock.unlock();
        for (auto& block : batch) {
            block();
            block = nullptr;
        }
        batch.clear();
        lock.lock();
    }
    exchangeCurrent(previous);
}

} // namespace platform
