#pragma once

#include <chrono>
#include <memory>
#include <mutex>

namespace platform {

// The monotonic time that delayed dispatch (`DispatchQueue::after`) measures.
// Tests replace it with a ManualClock so that delays pass without waiting.
class DispatchClock {
public:
    using Nanos = std::chrono::nanoseconds;

    virtual ~DispatchClock() = default;
    virtual Nanos now() const = 0;
    // True when time only moves through explicit advances (the timer thread then
    // never waits for a deadline on the wall clock).
    virtual bool isManual() const { return false; }

    // The clock in force; the steady system clock unless a test set another.
    static std::shared_ptr<DispatchClock> current();
    // Replaces the clock; null restores the system clock.
    static void setCurrent(std::shared_ptr<DispatchClock> clock);
};

// A clock that moves only when told to; advancing it dispatches every delayed
// block whose time has come before `advance` returns.
class ManualClock : public DispatchClock {
public:
    explicit ManualClock(Nanos start = Nanos::zero());
    Nanos now() const override;
    bool isManual() const override { return true; }

    void advance(Nanos by);
    template <class Rep, class Period>
    void advance(std::chrono::duration<Rep, Period> by)
    {
        advance(std::chrono::duration_cast<Nanos>(by));
    }

private:
    mutable std::mutex m_mutex;
    Nanos m_now;
};

} // namespace platform
