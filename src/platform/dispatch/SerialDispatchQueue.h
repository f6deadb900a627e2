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

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<DispatchBlock> m_blocks;
    bool m_draining = false;
};

} // namespace platform
