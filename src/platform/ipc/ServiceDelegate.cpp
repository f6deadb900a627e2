#include "platform/ipc/ServiceDelegate.h"

#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"

#include <QDBusConnectionInterface>

#include <chrono>
#include <cstdlib>
#include <mutex>

namespace {

const char* const idleLimitVariable = "KOVA_SERVICE_IDLE_LIMIT";

// `idleSeconds`, or the limit from the environment when that is shorter.
double limitedIdleSeconds(double idleSeconds)
{
    bool valid = false;
    const double limit = qEnvironmentVariable(idleLimitVariable).toDouble(&valid);
    if (!valid || !(limit >= 0) || limit >= idleSeconds)
        return idleSeconds;
    platform::Log::log(QStringLiteral("idle wait shortened to %1 seconds by %2").arg(limit).arg(QLatin1String(idleLimitVariable)));
    return limit;
}

std::mutex& exitHookMutex()
{
    static std::mutex mutex;
    return mutex;
}

ServiceDelegate::ExitHook& exitHook()
{
    static ServiceDelegate::ExitHook hook;
    return hook;
}

void endProcess(int status)
{
    ServiceDelegate::ExitHook hook;
    {
        std::lock_guard lock(exitHookMutex());
        hook = exitHook();
    }
    if (hook)
        hook(status);
    else
        std::exit(status);
}

} // namespace

ServiceDelegate::ServiceDelegate(QDBusConnection bus, QString busName, double idleSeconds)
    : m_bus(std::move(bus))
    , m_busName(std::move(busName))
    , m_idleSeconds(limitedIdleSeconds(idleSeconds))
{
}

std::shared_ptr<platform::DispatchGroup> ServiceDelegate::group()
{
    static const auto shared = platform::DispatchGroup::create();
    return shared;
}

void ServiceDelegate::enterRequest()
{
    group()->enter();
}

void ServiceDelegate::leaveRequest()
{
    group()->leave();
    didComplete();
}

void ServiceDelegate::didComplete()
{
    platform::Log::log(QStringLiteral("-[ServiceDelegate didComplete:]"));
    // Each request starts a new wait; an older wait that runs out finds its
    // generation passed and does nothing, so only the last request's wait counts.
    const std::uint64_t generation = m_idleWait->generation.fetch_add(1) + 1;
    const auto delay = std::chrono::duration_cast<platform::DispatchClock::Nanos>(std::chrono::duration<double>(m_idleSeconds));
    platform::DispatchQueue::main()->after(delay, [wait = std::weak_ptr(m_idleWait), generation] {
        const auto idleWait = wait.lock();
        if (idleWait && idleWait->generation.load() == generation)
            idleWait->delegate->idleTimeExpired();
    });
}

void ServiceDelegate::idleTimeExpired()
{
    platform::Log::log(QStringLiteral("exiting after %1 seconds idle").arg(m_idleSeconds, 0, 'f', 6));
    exitSafely();
}

void ServiceDelegate::exitSafely()
{
    platform::Log::log(QStringLiteral("waiting to exit ..."));
    // New calls go to a fresh copy that the bus starts; this one only finishes its own.
    if (m_bus.isConnected() && !m_busName.isEmpty())
        m_bus.interface()->unregisterService(m_busName);
    group()->notify(platform::DispatchQueue::main(), [] {
        platform::Log::log(QStringLiteral("... exiting ..."));
        endProcess(0);
    });
}

void ServiceDelegate::setExitHook(ExitHook hook)
{
    std::lock_guard lock(exitHookMutex());
    exitHook() = std::move(hook);
}
