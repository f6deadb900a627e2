#include "core/queues/ZORVAK_FileEvent.h"

#include "platform/Log.h"
#include "platform/files/FileEventStream.h"
#include "platform/observation/CallbackGate.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

QString describe(const QStringList& paths)
{
    QStringList quoted;
    for (const QString& path : paths)
        quoted.append(QLatin1Char('"') + path + QLatin1Char('"'));
    return QLatin1Char('(') + quoted.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString describe(const ZORVAK_FileEvent::Flags& flags)
{
    if (!flags)
        return QStringLiteral("(null)");
    QStringList numbers;
    for (const quint32 flag : *flags)
        numbers.append(QString::number(flag));
    return QLatin1Char('(') + numbers.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// Item-level events are reported when one of the paths is an existing item that
// is not a folder; paths that do not exist yet count for nothing.
platform::FileEventGranularity granularityFor(const QStringList& paths)
{
    const bool includesFile = std::any_of(paths.begin(), paths.end(), [](const QString& path) {
        const QFileInfo info(path);
        return info.exists() && !info.isDir();
    });
    return includesFile ? platform::FileEventGranularity::Items : platform::FileEventGranularity::Folders;
}

} // namespace

// Everything the stream's callbacks and the queued blocks reach. They hold it
// weakly; `m_alive` turns the stream's and the queue moves' work away once the
// watcher is destroyed, and the gate keeps its destructor waiting for a call of
// the event block that has begun.
class ZORVAK_FileEvent::State : public std::enable_shared_from_this<State> {
public:
    explicit State(QStringList paths)
        : observedPaths(std::move(paths))
    {
    }

    void createStream(double latency);
    Queue queue();
    void requestRun(bool run);
    void moveToQueue(const Queue& given);
    void handle(const QStringList& paths, const Flags& flags);
    // Stops the stream, refuses further calls of the block and waits for the
    // ones in progress on other threads.
    void shutdown();
    void setEventBlock(EventBlock block);
    EventBlock eventBlock() const;

    const QStringList observedPaths;
    std::atomic<bool> running = false;

private:
    void applyRun(bool run);
    void callEventBlock(const EventBlock& handler, const QStringList& paths, const Flags& flags);
    void install(const Queue& queue);
    void installLocked(const Queue& queue);
    QString defaultQueueLabel() const;
    Queue makeDefaultQueue() const;

    mutable std::mutex m_mutex;
    bool m_alive = true;
    EventBlock m_block;
    Queue m_eventQueue;
    std::unique_ptr<platform::FileEventStream> m_stream;
    platform::CallbackGate m_gate;
};

void ZORVAK_FileEvent::State::createStream(double latency)
{
    auto callback = [weak = weak_from_this()](const QStringList& paths, const QList<quint32>& flags) {
        if (const auto self = weak.lock())
            self->handle(paths, flags);
    };
    m_stream = std::make_unique<platform::FileEventStream>(observedPaths, latency, granularityFor(observedPaths),
                                                         std::move(callback));
}

ZORVAK_FileEvent::Queue ZORVAK_FileEvent::State::queue()
{
    std::lock_guard lock(m_mutex);
    if (!m_eventQueue)
        installLocked(makeDefaultQueue());
    return m_eventQueue;
}

void ZORVAK_FileEvent::State::requestRun(bool run)
{
    queue()->async([weak = weak_from_this(), run] {
        if (const auto self = weak.lock())
            self->applyRun(run);
    });
}

// Runs on the event queue. A start that fails leaves the watcher stopped.
void ZORVAK_FileEvent::State::applyRun(bool run)
{
    bool started = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_alive || run == running)
            return;
        if (run)
            started = m_stream->start();
        else
            m_stream->stop();
        running = started;
    }
    if (!run)
        return;
    if (started)
        handle(observedPaths, std::nullopt);
    else
        platform::Log::log(QStringLiteral("FAILED to start monitoring %1").arg(describe(observedPaths)));
}

void ZORVAK_FileEvent::State::moveToQueue(const Queue& given)
{
    Queue old;
    {
        std::lock_guard lock(m_mutex);
        if (!m_alive)
            return;
        if (!m_eventQueue) {
            installLocked(given ? given : makeDefaultQueue());
            return;
        }
        if (!given && m_eventQueue->label() == defaultQueueLabel())
            return;
        old = m_eventQueue;
    }
    const bool wasRunning = running;
    if (wasRunning)
        requestRun(false);
    old->async([weak = weak_from_this(), given, wasRunning] {
        const auto self = weak.lock();
        if (!self)
            return;
        self->install(given ? given : self->makeDefaultQueue());
        if (wasRunning)
            self->requestRun(true);
    });
}

void ZORVAK_FileEvent::State::handle(const QStringList& paths, const Flags& flags)
{
    platform::Log::log(QStringLiteral("%1:%2 %3")
                              .arg(QStringLiteral("-[ZORVAK_FileEvent handleFileEventpaths:flags:]"), describe(paths),
                                   describe(flags)));
    EventBlock handler = eventBlock();
    if (!handler)
        return;
    queue()->async([weak = weak_from_this(), handler = std::move(handler), paths, flags] {
        if (const auto self = weak.lock())
            self->callEventBlock(handler, paths, flags);
    });
}

// Runs on the event queue. Not under the mutex: the block may call the watcher.
void ZORVAK_FileEvent::State::callEventBlock(const EventBlock& handler, const QStringList& paths, const Flags& flags)
{
    if (!m_gate.tryEnter())
        return;
    handler(paths, flags);
    m_gate.leave();
}

void ZORVAK_FileEvent::State::shutdown()
{
    std::unique_ptr<platform::FileEventStream> ending;
    {
        std::lock_guard lock(m_mutex);
        m_alive = false;
        ending = std::move(m_stream);
    }
    ending.reset(); // joins the reader: no batch begins after this
    m_gate.close(); // outside the mutex, which a running block may be waiting for
}

void ZORVAK_FileEvent::State::setEventBlock(EventBlock handler)
{
    std::lock_guard lock(m_mutex);
    m_block = std::move(handler);
}

ZORVAK_FileEvent::EventBlock ZORVAK_FileEvent::State::eventBlock() const
{
    std::lock_guard lock(m_mutex);
    return m_block;
}

void ZORVAK_FileEvent::State::install(const Queue& queue)
{
    std::lock_guard lock(m_mutex);
    if (m_alive)
        installLocked(queue);
}

void ZORVAK_FileEvent::State::installLocked(const Queue& queue)
{
    m_eventQueue = queue;
    if (m_stream)
        m_stream->setDispatchQueue(queue);
}

QString ZORVAK_FileEvent::State::defaultQueueLabel() const
{
    return QStringLiteral("ZORVAK_FileEvent.") + observedPaths.value(0);
}

ZORVAK_FileEvent::Queue ZORVAK_FileEvent::State::makeDefaultQueue() const
{
    return ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(defaultQueueLabel());
}

ZORVAK_FileEvent::ZORVAK_FileEvent(const QString& observedPath)
    : ZORVAK_FileEvent(QStringList{observedPath})
{
}

ZORVAK_FileEvent::ZORVAK_FileEvent(const QStringList& observedPaths, double latency)
    : m_state(std::make_shared<State>(observedPaths))
{
    m_state->createStream(latency);
}

ZORVAK_FileEvent::~ZORVAK_FileEvent()
{
    m_state->shutdown();
}

void ZORVAK_FileEvent::setEventBlock(EventBlock block)
{
    m_state->setEventBlock(std::move(block));
}

ZORVAK_FileEvent::EventBlock ZORVAK_FileEvent::eventBlock() const
{
    return m_state->eventBlock();
}

void ZORVAK_FileEvent::setRun(bool run)
{
    m_state->requestRun(run);
}

bool ZORVAK_FileEvent::isRunning() const
{
    return m_state->running;
}

ZORVAK_FileEvent::Queue ZORVAK_FileEvent::eventQueue()
{
    return m_state->queue();
}

void ZORVAK_FileEvent::setEventQueue(const Queue& queue)
{
    m_state->moveToQueue(queue);
}

QStringList ZORVAK_FileEvent::observedPaths() const
{
    return m_state->observedPaths;
}

void ZORVAK_FileEvent::handleFileEventpaths(const QStringList& paths, const Flags& flags)
{
    m_state->handle(paths, flags);
}
