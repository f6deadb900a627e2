#include "platform/dispatch/DispatchQueue.h"

#include "platform/dispatch/DispatchTimers.h"
#include "platform/dispatch/GlobalDispatchQueue.h"
#include "platform/dispatch/MainDispatchQueue.h"
#include "platform/dispatch/SerialDispatchQueue.h"

#include <algorithm>
#include <array>
#include <condition_variable>

namespace platform {
namespace {

thread_local DispatchQueue* currentQueue = nullptr;

struct GlobalClass {
    QoS qos;
    const char* label;
};

// Ordered from the highest class down.
constexpr std::array<GlobalClass, 5> globalClasses{{
    {QoS::UserInteractive, "global.user-interactive"},
    {QoS::UserInitiated, "global.user-initiated"},
    {QoS::Default, "global.default"},
    {QoS::Utility, "global.utility"},
    {QoS::Background, "global.background"},
}};

size_t globalClassIndex(unsigned qos)
{
    for (size_t i = 0; i < globalClasses.size(); ++i)
        if (qos >= unsigned(globalClasses[i].qos))
            return i;
    return 2; // below every class: the default class
}

} // namespace

DispatchQueue::DispatchQueue(Kind kind, QString label)
    : m_kind(kind)
    , m_label(std::move(label))
{
}

std::shared_ptr<DispatchQueue> DispatchQueue::createSerial(const QString& label)
{
    return std::make_shared<SerialDispatchQueue>(label);
}

std::shared_ptr<DispatchQueue> DispatchQueue::main()
{
    // Never destroyed: blocks may be posted to it while the process exits.
    static const auto* queue = new std::shared_ptr<DispatchQueue>(std::make_shared<MainDispatchQueue>());
    return *queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global(unsigned qos)
{
    // Never destroyed: workers may use them while the process exits.
    static const auto* queues = [] {
        auto* made = new std::array<std::shared_ptr<DispatchQueue>, globalClasses.size()>;
        for (size_t i = 0; i < globalClasses.size(); ++i)
            (*made)[i] = std::make_shared<GlobalDispatchQueue>(unsigned(globalClasses[i].qos),
                                                               QString::fromLatin1(globalClasses[i].label));
        return made;
    }();
    return (*queues)[globalClassIndex(qos)];
}

DispatchQueue* DispatchQueue::current()
{
    if (currentQueue)
        return currentQueue;
    return MainDispatchQueue::isMainThread() ? main().get() : nullptr;
}

DispatchQueue* DispatchQueue::exchangeCurrent(DispatchQueue* queue)
{
    DispatchQueue* previous = currentQueue;
    currentQueue = queue;
    return previous;
}

void* DispatchQueue::currentSpecific(const void* key)
{
    DispatchQueue* queue = current();
    return queue ? queue->specific(key) : nullptr;
}

void DispatchQueue::sync(DispatchBlock block)
{
    if (m_kind != Kind::Global && current() == this) {
        block();
        return;
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    async([&] {
        block();
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
    });
    BlockingScope blocking;
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
}

void DispatchQueue::after(DispatchClock::Nanos delay, DispatchBlock block)
{
    at(DispatchClock::current()->now() + std::max(delay, DispatchClock::Nanos::zero()), std::move(block));
}

void DispatchQueue::at(DispatchClock::Nanos deadline, DispatchBlock block)
{
    DispatchTimers::instance().schedule(deadline, shared_from_this(), std::move(block));
}

void DispatchQueue::setSpecific(const void* key, void* value)
{
    std::lock_guard lock(m_specificsMutex);
    if (value)
        m_specifics[key] = value;
    else
        m_specifics.erase(key);
}

void* DispatchQueue::specific(const void* key) const
{
    std::lock_guard lock(m_specificsMutex);
    const auto found = m_specifics.find(key);
    return found == m_specifics.end() ? nullptr : found->second;
}

} // namespace platform
