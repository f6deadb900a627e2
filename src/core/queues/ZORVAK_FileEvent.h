#pragma once

#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/files/FileEventFlags.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// Watches folders, with everything below them, and files, and hands each batch
// of changes to its owner's block on a serial queue of its own. A watcher of
// folders alone reports the folders in which something changed; a watcher whose
// paths include an existing file when it is made reports the changed items. A
// watched path that is removed and made again is watched again. When started,
// the watcher reports its watched paths once with no flags, so that the owner
// does its first scan in the same block as the later ones. Flags are the
// platform::FileEventFlag bits, one per path.
//
// Destroying a watcher stops it: once the destructor has returned, no call of
// the event block begins, and a call that had already begun on another thread
// has ended, so what the block uses may be freed right after the watcher. A
// watcher may be destroyed from inside its own block; that call runs on to its
// end. Do not destroy a watcher while holding what its block waits for (a lock
// it takes, a synchronous hop to the destroying thread's queue).
class ZORVAK_FileEvent {
public:
    using Queue = ZORVAK_Dispatch::Queue;
    using Flags = std::optional<QList<quint32>>;
    using EventBlock = std::function<void(const QStringList& paths, const Flags& flags)>;

    static constexpr double defaultLatency = 0.5;

    explicit ZORVAK_FileEvent(const QString& observedPath);
    // Changes are collected for `latency` seconds after the first one of a batch.
    explicit ZORVAK_FileEvent(const QStringList& observedPaths, double latency = defaultLatency);
    ~ZORVAK_FileEvent();
    ZORVAK_FileEvent(const ZORVAK_FileEvent&) = delete;
    ZORVAK_FileEvent& operator=(const ZORVAK_FileEvent&) = delete;

    // Set the block before starting.
    void setEventBlock(EventBlock block);
    EventBlock eventBlock() const;
    // Starts or stops watching, asynchronously on the event queue.
    void setRun(bool run);
    // Whether the watcher runs: true once a start has succeeded on the event
    // queue, false again once stopped.
    bool isRunning() const;
    // The queue the block runs on, made on first use; owners may serialise
    // their own work with the event handling on it.
    Queue eventQueue();
    // Moves the watcher to `queue`, or to a queue of its own when null; a
    // running watcher is stopped on the old queue and started on the new one.
    void setEventQueue(const Queue& queue);
    QStringList observedPaths() const;
    // Logs one batch and hands it to the event block on the event queue.
    void handleFileEventpaths(const QStringList& paths, const Flags& flags);

private:
    class State;
    std::shared_ptr<State> m_state;
};
