#include "core/queues/ZORVAK_Coalesce.h"

#include <QHash>

#include <cmath>

namespace {

// The requests of one key whose waiting time has not yet run out, and the burst
// they belong to: each burst has a number of its own, so a release left over from
// a burst that was cancelled never counts against a later one.
struct PendingRequests {
    qint64 count = 0;
    quint64 burst = 0;
    qint64 when = 0; // of the last request
    ZORVAK_Coalesce::Block block; // of the last request
};

// A key is present only while its count is at least 1. Touched only on the
// coalescing queue, as is the burst numbering.
QHash<QString, PendingRequests>& pendingRequests()
{
    static auto* requests = new QHash<QString, PendingRequests>;
    return *requests;
}

quint64 nextBurst()
{
    static quint64 last = 0;
    return ++last;
}

platform::DispatchClock::Nanos toNanos(double seconds)
{
    if (!(seconds > 0)) // also NaN
        return platform::DispatchClock::Nanos::zero();
    constexpr double maximumSeconds = 1e9; // about 31 years; keeps the conversion in range
    return platform::DispatchClock::Nanos(qint64(std::trunc(std::min(seconds, maximumSeconds) * 1e9)));
}

void releaseRequest(const QString& key, quint64 burst, const ZORVAK_Coalesce::Queue& target, qint64 when,
    const ZORVAK_Coalesce::Block& block)
{
    auto& requests = pendingRequests();
    const auto found = requests.find(key);
    if (found == requests.end() || found->burst != burst)
        return; // the burst was cancelled
    if (found->count > 1) {
        --found->count;
        return;
    }
    requests.erase(found);
    if (when & ZORVAK_Coalesce::trailingRun)
        target->async(block);
}

} // namespace

ZORVAK_Coalesce::Queue ZORVAK_Coalesce::coalescingQueue()
{
    static const Queue queue = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("com.quelvansorin.coalescing"));
    return queue;
}

void ZORVAK_Coalesce::runOnceForKeyWhen(const QString& key, const Queue& queue, double afterWaiting, qint64 when, Block block)
{
    const Queue target = queue ? queue : platform::DispatchQueue::main();
    const auto deadline = platform::DispatchClock::current()->now() + toNanos(afterWaiting);
    const Queue counting = coalescingQueue();
    // The release is scheduled from inside the request stage, so it can never run
    // before the request it takes back has been counted.
    counting->async([key, target, when, deadline, counting, block = std::move(block)] {
        PendingRequests& pending = pendingRequests()[key];
        if (pending.count == 0) {
            pending.burst = nextBurst();
            if (when & leadingRun)
                target->async(block);
        }
        ++pending.count;
        pending.when = when;
        pending.block = block;
        counting->at(deadline, [key, burst = pending.burst, target, when, block] {
            releaseRequest(key, burst, target, when, block);
        });
    });
}

void ZORVAK_Coalesce::cancelRequestsForKey(const QString& key)
{
    coalescingQueue()->async([key] { pendingRequests().remove(key); });
}

void ZORVAK_Coalesce::runPendingRequestsForKeyNow(const QString& key)
{
    Block owed;
    coalescingQueue()->sync([&key, &owed] {
        const auto found = pendingRequests().find(key);
        if (found == pendingRequests().end())
            return;
        if (found->when & trailingRun)
            owed = found->block;
        pendingRequests().erase(found);
    });
    if (owed)
        owed();
}

void ZORVAK_Coalesce::runOnceForKeyCollectingFor(const QString& key, const Queue& queue, double collectingFor, Block block)
{
    runOnceForKeyWhen(key, queue, collectingFor, leadingRun, std::move(block));
}

void ZORVAK_Coalesce::runOnceForKeyAfterWaiting(const QString& key, const Queue& queue, double afterWaiting, Block block)
{
    runOnceForKeyWhen(key, queue, afterWaiting, trailingRun, std::move(block));
}

void ZORVAK_Coalesce::runOnceForKeyBeforeAndAfter(const QString& key, const Queue& queue, double beforeAndAfter, Block block)
{
    runOnceForKeyWhen(key, queue, beforeAndAfter, leadingRun | trailingRun, std::move(block));
}
