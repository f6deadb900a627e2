#pragma once

#include <thread>
#include <vector>

namespace platform {

// Guards the calls into one registered callback. A caller enters before calling and
// leaves afterwards; close() refuses further calls and waits until the calls running
// on other threads have left, so whatever the callback uses may be freed as soon as
// close() returns.
//
// Two waits are skipped because they could never end: a call on the closing thread
// itself (a callback that ends its own registration), and a call whose thread is,
// directly or through other closing threads, waiting for the closing thread. Waits on
// anything else a callback blocks on (an application's own mutex) are the caller's
// to avoid: do not close a gate while holding a lock its callback takes.
class CallbackGate {
public:
    CallbackGate() = default;
    CallbackGate(const CallbackGate&) = delete;
    CallbackGate& operator=(const CallbackGate&) = delete;

    // Registers a call by the current thread; false once the gate is closed.
    bool tryEnter();
    // Ends a call that tryEnter() admitted.
    void leave();
    // Admits no further call and waits for the running ones (see above). Idempotent.
    void close();

private:
    bool m_closed = false;
    std::vector<std::thread::id> m_callers; // one entry per running call
};

} // namespace platform
