#pragma once

#include "platform/DispatchQueue.h"

namespace platform {

// The main thread's queue: blocks are posted to the Qt application's event loop.
class MainDispatchQueue : public DispatchQueue {
public:
    MainDispatchQueue();
    void async(DispatchBlock block) override;
    static bool isMainThread();
};

} // namespace platform
