#include "core/queues/ZORVAK_Coalesce.h"

#include <QHash>

#include <cmath>

namespace {

// Requests of each key whose waiting time has not yet run out. A key is present
// only while its count is at least 1. Touched only on the coalescing queue.
QHash<QString, qint64>& pendingCounts()
{
    static auto* counts = new QHash<QString, qint64>;
    return *counts;
}

platform::DispatchClock::Nanos toNanos(double seconds)
{
    if (!(seconds > 0)) // also NaN
        return platform::DispatchClock::Nanos::zero();
    constexpr double maximumSeconds = 1e9; // about 31 years; keeps the conversion in range
    return platform::DispatchClock::Nanos(qint64(std::trunc(std::min(seconds, maximumSeconds) * 1e9)));
}

void releaseRequest(const QString& key, const ZORVAK_Coalesce::Queue& target, qint64 when, const ZORVAK_Coalesce::Block& block)
{
    auto& counts = pendingCounts();
    const auto found = counts.find(key);
    if (found == counts.end())
        return; // every request is taken back exactly once; nothing to take back here
    if (found.value() > 1) {
        --found.value();
        return;
    }
    counts.erase(found);
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
        qint64& count = pendingCounts()[key];
        if (count == 0 && (when & leadingRun))
            target->async(block);
        ++count;
        counting->at(deadline, [key, target, when, block] { releaseRequest(key, target, when, block); });
    });
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
