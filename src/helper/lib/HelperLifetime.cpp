#include "helper/lib/HelperLifetime.h"

#include "core/queues/ZORVAK_Coalesce.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"

namespace kova::helper {

HelperLifetime::HelperLifetime(ReleaseName releaseName, Exit exit)
    : m_group(platform::DispatchGroup::create())
    , m_releaseName(std::move(releaseName))
    , m_exit(std::move(exit))
{
}

void HelperLifetime::didComplete()
{
    ZORVAK_Coalesce::runOnceForKeyAfterWaiting(QStringLiteral("didComplete:"), nullptr, idleSeconds, [this] {
        platform::Log::log(QStringLiteral("exiting after %1 seconds idle").arg(idleSeconds, 0, 'f', 6));
        exitSafely();
    });
}

void HelperLifetime::exitSafely()
{
    platform::Log::log(QStringLiteral("waiting to exit ..."));
    m_releaseName();
    // Waiting by notification keeps the main thread serving the requests that drain the group.
    m_group->notify(platform::DispatchQueue::main(), [this] {
        platform::Log::log(QStringLiteral("... exiting ..."));
        m_exit(0);
    });
}

} // namespace kova::helper
