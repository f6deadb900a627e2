#pragma once

#include "platform/dispatch/DispatchQueue.h"

namespace platform {

// A concurrent queue of one quality-of-service class, served by the worker pool.
class GlobalDispatchQueue : public DispatchQueue {
public:
    GlobalDispatchQueue(unsigned qos, const QString& label);
    void async(DispatchBlock block) override;
    unsigned qos() const { return m_qos; }

private:
    const unsigned m_qos;
};

} // namespace platform
