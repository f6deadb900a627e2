#pragma once

#include "platform/dispatch/DispatchClock.h"

#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace platform {

using DispatchBlock = std::function<void()>;

// Quality-of-service classes of the global concurrent queues.
enum class QoS : unsigned {
    Background = 9,
    Utility = 17,
    Default = 21,
    UserInitiated = 25,
    UserInteractive = 33,
};

// A queue of blocks: serial queues run one block at a time in order on a thread of
// their own (taken while they have work, let go when idle); global queues run
// blocks concurrently on a shared pool; the main queue is the Qt main thread's
// event loop.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    enum class Kind { Serial, Global, Main };

    virtual ~DispatchQueue() = default;
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    static std::shared_ptr<DispatchQueue> createSerial(const QString& label = {});
    static std::shared_ptr<DispatchQueue> main();
    // The global queue of a quality-of-service class; unknown numbers map to the
    // nearest class below them (Default when below every class).
    static std::shared_ptr<DispatchQueue> global(unsigned qos = unsigned(QoS::Default));
    static std::shared_ptr<DispatchQueue> global(QoS qos) { return global(unsigned(qos)); }

    // The queue whose block runs on the calling thread: a serial or global queue in
    // its workers, the main queue on the main thread, null on other threads.
    static DispatchQueue* current();
    // The value stored under `key` on the current queue (null when none).
    static void* currentSpecific(const void* key);

    const QString& label() const { return m_label; }
    Kind kind() const { return m_kind; }

    virtual void async(DispatchBlock block) = 0;
    // Runs the block on this queue and waits for it. A serial or main queue asked
    // from inside itself runs the block at once rather than waiting for itself.
    void sync(DispatchBlock block);
    // Runs the block on this queue once the dispatch clock has moved on by `delay`
    // (negative delays count as zero).
    void after(DispatchClock::Nanos delay, DispatchBlock block);
    // Runs the block on this queue once the dispatch clock reads `deadline`.
    void at(DispatchClock::Nanos deadline, DispatchBlock block);

    // Queue-specific values, looked up by address.
    void setSpecific(const void* key, void* value);
    void* specific(const void* key) const;

    // Makes `queue` the calling thread's current queue and returns the previous
    // one; for the threads that run a queue's blocks.
    static DispatchQueue* exchangeCurrent(DispatchQueue* queue);

protected:
    DispatchQueue(Kind kind, QString label);

private:
    const Kind m_kind;
    const QString m_label;
    mutable std::mutex m_specificsMutex;
    std::map<const void*, void*> m_specifics;
};

// Marks the calling thread as waiting, so that the global pool can grow when its
// workers block (waiting for a group, a semaphore or a synchronous dispatch).
class BlockingScope {
public:
    BlockingScope();
    ~BlockingScope();
    BlockingScope(const BlockingScope&) = delete;
    BlockingScope& operator=(const BlockingScope&) = delete;
};

} // namespace platform
