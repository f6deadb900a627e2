#pragma once

#include <functional>

namespace platform {

// Starts the threads behind dispatch queues and keeps them from ending while the
// process shuts down.
//
// A thread that has used Qt (files, images) runs Qt's per-thread clean-up as it
// ends, and that clean-up crashes when it races the destruction of the
// application object or of the process's static objects. So the first thing
// the application's destruction (or, without one, the process's exit) does is
// close this registry: threads that ended before are joined, and a thread whose
// work ends afterwards waits, untouched, until the process is gone.
class DispatchThread {
public:
    // Runs `body` on a new thread.
    static void start(std::function<void()> body);

    // What the shutdown runs; also callable directly. Idempotent.
    static void closeForExit();
    static bool isClosedForExit();
};

} // namespace platform
