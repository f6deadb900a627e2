#include "platform/dispatch/DispatchClock.h"

#include "platform/dispatch/DispatchTimers.h"

namespace platform {
namespace {

class SystemClock : public DispatchClock {
public:
    Nanos now() const override
    {
        return std::chrono::duration_cast<Nanos>(std::chrono::steady_clock::now().time_since_epoch());
    }
};

std::mutex clockMutex;

// Never destroyed: the timer thread reads it while the process exits.
std::shared_ptr<DispatchClock>& installedClock()
{
    static auto* clock = new std::shared_ptr<DispatchClock>(std::make_shared<SystemClock>());
    return *clock;
}

} // namespace

std::shared_ptr<DispatchClock> DispatchClock::current()
{
    std::lock_guard lock(clockMutex);
    return installedClock();
}

void DispatchClock::setCurrent(std::shared_ptr<DispatchClock> clock)
{
    {
        std::lock_guard lock(clockMutex);
        installedClock() = clock ? std::move(clock) : std::make_shared<SystemClock>();
    }
    DispatchTimers::instance().clockChanged();
}

ManualClock::ManualClock(Nanos start)
    : m_now(start)
{
}

DispatchClock::Nanos ManualClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

void ManualClock::advance(Nanos by)
{
    {
        std::lock_guard lock(m_mutex);
        m_now += by;
    }
    DispatchTimers::instance().fireDue();
}

} // namespace platform
