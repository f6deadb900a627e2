#pragma once

#include "platform/dispatch/DispatchQueue.h"

#include <QString>

// The small vocabulary every part of the system uses to run work on queues:
// serial queues that recognise themselves, synchronous runs that never wait for
// the caller's own queue, and the main and global queues.
class ZORVAK_Dispatch {
public:
    using Queue = std::shared_ptr<platform::DispatchQueue>;
    using Block = platform::DispatchBlock;

    // A new serial queue with the label (none when empty), tagged so that it can
    // recognise itself from inside.
    static Queue dispatchQueueSerialWithDebugLabel(const QString& label);
    static Queue dispatchQueueSerial();
    static Queue dispatchQueueGlobalWithQOS(unsigned qos);
    static Queue dispatchQueueGlobal();
    // The process-wide key under which tagged queues store themselves.
    static const void* dispatchQueueSpecificKeyIdentity();

    static bool isMainQueue();
    // Runs the block at once when the queue is absent or is the current tagged
    // queue, otherwise synchronously on the queue.
    static void performSyncOnQueue(const Queue& queue, Block block);
    // Runs the block at once when the queue is absent or is the current tagged
    // queue, otherwise asynchronously on the queue.
    static void performInlineOnQueue(const Queue& queue, Block block);
    static void performSyncOnMainQueue(Block block);
    // Always asynchronous, also from the main queue.
    static void performAsyncOnMainQueue(Block block);
    static void performAsyncGlobalQOS(unsigned qos, Block block);
    static void performAsyncGlobalUserInitiated(Block block);
    static void performAsyncGlobal(Block block);

private:
    static bool isCurrentTaggedQueue(const Queue& queue);
};
