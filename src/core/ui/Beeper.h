#pragma once

#include <functional>

// The system beep that answers a refused action. Tests replace it with a hook
// that counts. Thread-safe; the hook runs on the calling thread.
class Beeper {
public:
    static void beep();
    // A null hook restores QApplication::beep().
    static void setHook(std::function<void()> hook);
};
