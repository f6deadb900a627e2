#pragma once

#include "core/queues/ZORVAK_Dispatch.h"

#include <QString>

// Collapses repeated requests made under one key into one run of a block: a
// burst of file events, of preference changes, of redraw requests. Keys are
// shared by the whole process.
class ZORVAK_Coalesce {
public:
    using Queue = ZORVAK_Dispatch::Queue;
    using Block = ZORVAK_Dispatch::Block;

    // Bits of `when`.
    static constexpr qint64 leadingRun = 1;  // run on the first request of a burst
    static constexpr qint64 trailingRun = 2; // run when the burst has ended

    // The core: counts the request under `key`, runs `block` asynchronously on
    // `queue` (the main queue when absent) at the runs `when` asks for, and takes
    // the request back `afterWaiting` seconds after the call.
    static void runOnceForKeyWhen(const QString& key, const Queue& queue, double afterWaiting, qint64 when, Block block);
    // Only the first request of a burst runs, at once.
    static void runOnceForKeyCollectingFor(const QString& key, const Queue& queue, double collectingFor, Block block);
    // One run, `afterWaiting` seconds after the last request of a burst.
    static void runOnceForKeyAfterWaiting(const QString& key, const Queue& queue, double afterWaiting, Block block);
    // The first request runs at once and once more after the burst.
    static void runOnceForKeyBeforeAndAfter(const QString& key, const Queue& queue, double beforeAndAfter, Block block);

    // Takes back every request made under `key` so far: none of them runs its
    // block, and the next request starts a new burst.
    static void cancelRequestsForKey(const QString& key);
    // Runs at once, on the calling thread, the run still owed to the requests made
    // under `key` (that of the last request, when it asked for a run after the
    // burst), and takes the requests back: for work that must not wait past the
    // process's end. Never call it from the coalescing queue.
    static void runPendingRequestsForKeyNow(const QString& key);

    // The private queue on which the counts live (tests drain it).
    static Queue coalescingQueue();
};
