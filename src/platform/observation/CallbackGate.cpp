#include "platform/observation/CallbackGate.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>

namespace platform {

namespace {

// Process-wide bookkeeping shared by every gate: one lock, one signal for "a call
// left", and which closing thread waits for which calling threads, so that a wait
// that would close a cycle is detected before it starts.
struct Waits {
    std::mutex mutex;
    std::condition_variable callLeft;
    std::map<std::thread::id, std::vector<std::thread::id>> waitingFor;

    // Whether `from` waits, directly or through other waiting threads, for `to`.
    bool waitsFor(std::thread::id from, std::thread::id to) const
    {
        std::vector<std::thread::id> pending{from};
        std::vector<std::thread::id> seen;
        while (!pending.empty()) {
            const std::thread::id current = pending.back();
            pending.pop_back();
            if (std::find(seen.begin(), seen.end(), current) != seen.end())
                continue;
            seen.push_back(current);
            const auto found = waitingFor.find(current);
            if (found == waitingFor.end())
                continue;
            for (const std::thread::id next : found->second) {
                if (next == to)
                    return true;
                pending.push_back(next);
            }
        }
        return false;
    }
};

// Never destroyed: gates of objects torn down during static destruction still use it.
Waits& waits()
{
    static Waits* const instance = new Waits;
    return *instance;
}

} // namespace

bool CallbackGate::tryEnter()
{
    std::lock_guard lock(waits().mutex);
    if (m_closed)
        return false;
    m_callers.push_back(std::this_thread::get_id());
    return true;
}

void CallbackGate::leave()
{
    Waits& shared = waits();
    {
        std::lock_guard lock(shared.mutex);
        const auto found = std::find(m_callers.begin(), m_callers.end(), std::this_thread::get_id());
        if (found != m_callers.end())
            m_callers.erase(found);
    }
    shared.callLeft.notify_all();
}

void CallbackGate::close()
{
    Waits& shared = waits();
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(shared.mutex);
    m_closed = true;
    for (;;) {
        std::vector<std::thread::id> others;
        std::copy_if(m_callers.begin(), m_callers.end(), std::back_inserter(others),
                     [self](std::thread::id caller) { return caller != self; });
        const bool wouldDeadlock = std::any_of(others.begin(), others.end(), [&](std::thread::id caller) {
            return shared.waitsFor(caller, self);
        });
        if (others.empty() || wouldDeadlock)
            return;
        shared.waitingFor[self] = std::move(others);
        shared.callLeft.wait(lock);
        shared.waitingFor.erase(self);
    }
}

} // namespace platform
