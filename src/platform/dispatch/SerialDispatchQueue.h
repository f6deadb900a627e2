#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <condition_variable>
#include <deque>

namespace platform {

// Runs its blocks one at a time, in order, on a thread it starts when work
// arrives and lets go after a short idle spell.
class SerialDispatchQueue : public DispatchQueue {
public:
    explicit SerialDispatchQueue(const QString& label);
    void async(DispatchBlock block) override;

private:
    void drain();

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<DispatchBlock> blocks_;
    bool draining_ = false;
};

} // namespace platform
