#include "platform/dispatch/MainDispatchQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace platform {
namespace {

// Lives on the main thread and hands every event it receives to the main queue.
// It holds no state: it was made on another thread, and Qt's hand-over to the
// main thread is invisible to thread checkers.
class MainQueueReceiver : public QObject {
public:
    bool event(QEvent* event) override
    {
        auto* queue = static_cast<MainDispatchQueue*>(DispatchQueue::main().get());
        return queue->handleEvent(event) || QObject::event(event);
    }
};

const QEvent::Type wakeEvent = QEvent::Type(QEvent::registerEventType());

QObject* makeReceiver(QCoreApplication* app)
{
    auto* receiver = new MainQueueReceiver;
    receiver->moveToThread(app->thread());
    return receiver;
}

// Blocks queued before the application object exists wait for it: Qt calls this
// on the main thread while it makes the application object. Registered before
// main() runs, so no application object can be made before it is in place.
void attachMainQueueToApplication()
{
    static_cast<MainDispatchQueue*>(DispatchQueue::main().get())->attach(QCoreApplication::instance());
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(attachMainQueueToApplication)

MainDispatchQueue::MainDispatchQueue()
    : DispatchQueue(Kind::Main, QStringLiteral("main-thread"))
{
}

bool MainDispatchQueue::isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void MainDispatchQueue::async(DispatchBlock block)
{
    // Without an application object the block waits: making one attaches the queue.
    if (QCoreApplication* app = QCoreApplication::instance())
        attach(app);
    std::lock_guard lock(m_mutex);
    m_blocks.push_back(std::move(block));
    wakeLocked();
}

void MainDispatchQueue::attach(QCoreApplication* app)
{
    // Made outside the lock: moving it to the main thread delivers an event to it
    // at once. The queue lives as long as the process, and so does its receiver.
    std::call_once(m_receiverMade, [&] {
        QObject* receiver = makeReceiver(app);
        std::lock_guard lock(m_mutex);
        m_receiver = receiver;
        wakeLocked();
    });
}

void MainDispatchQueue::wakeLocked()
{
    if (!m_receiver || m_wakePosted || m_blocks.empty())
        return;
    // Posted under the lock, so the main thread sees the event only after it
    // took the same lock (Qt's own locks are invisible to thread checkers).
    QCoreApplication::postEvent(m_receiver, new QEvent(wakeEvent));
    m_wakePosted = true;
}

bool MainDispatchQueue::handleEvent(QEvent* event)
{
    std::unique_lock lock(m_mutex);
    if (event->type() != wakeEvent)
        return false;
    drainLocked(lock);
    return true;
}

void MainDispatchQueue::drainLocked(std::unique_lock<std::mutex>& lock)
{
    m_wakePosted = false;
    while (!m_blocks.empty()) {
        DispatchBlock block = std::move(m_blocks.front());
        m_blocks.pop_front();
        lock.unlock();
        block();
        block = nullptr;
        lock.lock();
    }
}

} // namespace platform
