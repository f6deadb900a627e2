#include "platform/files/FileEventStream.h"

#include "platform/Log.h"
#include "platform/files/FileWatchTree.h"

#include <QHash>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {
namespace {

// Longer latencies than a day are taken as a day (and keep the conversion defined).
constexpr double longestLatency = 86400.0;

DispatchClock::Nanos latencyDuration(double seconds)
{
    const double bounded = std::isnan(seconds) ? 0.0 : std::clamp(seconds, 0.0, longestLatency);
    return std::chrono::duration_cast<DispatchClock::Nanos>(std::chrono::duration<double>(bounded));
}

} // namespace

// What the reader thread and the queued flushes share: the batch being
// collected and the generation that tells a flush whether its stream run is
// still the current one.
struct FileEventStream::Delivery : std::enable_shared_from_this<Delivery> {
    Delivery(Callback callback, DispatchClock::Nanos latency)
        : callback(std::move(callback))
        , latency(latency)
    {
    }

    void add(const std::vector<FileWatchTree::Change>& changes, quint64 run);
    void flush(quint64 run);
    void clearLocked()
    {
        paths.clear();
        flags.clear();
        indexOfPath.clear();
    }

    const Callback callback;
    const DispatchClock::Nanos latency;
    std::mutex mutex;
    std::shared_ptr<DispatchQueue> queue;
    quint64 generation = 0; // moves on at every start and stop: a batch belongs to one run
    QStringList paths;
    QList<quint32> flags;
    QHash<QString, qsizetype> indexOfPath;
};

void FileEventStream::Delivery::add(const std::vector<FileWatchTree::Change>& changes, quint64 run)
{
    std::shared_ptr<DispatchQueue> flushQueue;
    {
        std::lock_guard lock(mutex);
        if (run != generation || changes.empty())
            return;
        if (paths.isEmpty())
            flushQueue = queue; // the first change of a batch opens the collecting time
        for (const auto& change : changes) {
            const auto known = indexOfPath.constFind(change.path);
            if (known != indexOfPath.cend()) {
                flags[*known] |= change.flags;
                continue;
            }
            indexOfPath.insert(change.path, paths.size());
            paths.append(change.path);
            flags.append(change.flags);
        }
    }
    if (flushQueue)
        flushQueue->after(latency, [weak = weak_from_this(), run] {
            if (const auto self = weak.lock())
                self->flush(run);
        });
}

void FileEventStream::Delivery::flush(quint64 run)
{
    QStringList batchPaths;
    QList<quint32> batchFlags;
    {
        std::lock_guard lock(mutex);
        if (run != generation || paths.isEmpty())
            return;
        batchPaths.swap(paths);
        batchFlags.swap(flags);
        indexOfPath.clear();
    }
    callback(batchPaths, batchFlags);
}

FileEventStream::FileEventStream(QStringList paths, double latency, FileEventGranularity granularity, Callback callback)
    : m_paths(std::move(paths))
    , m_granularity(granularity)
    , m_delivery(std::make_shared<Delivery>(std::move(callback), latencyDuration(latency)))
{
}

FileEventStream::~FileEventStream()
{
    stop();
}

void FileEventStream::setDispatchQueue(std::shared_ptr<DispatchQueue> queue)
{
    std::lock_guard lock(m_delivery->mutex);
    m_delivery->queue = std::move(queue);
}

bool FileEventStream::start()
{
    std::lock_guard control(m_controlMutex);
    if (m_reader.joinable())
        return true;
    {
        std::lock_guard lock(m_delivery->mutex);
        if (!m_delivery->queue)
            return false;
    }
    auto tree = std::make_unique<FileWatchTree>(m_paths, m_granularity);
    if (!tree->open())
        return false;
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return false;
    quint64 run;
    {
        std::lock_guard lock(m_delivery->mutex);
        run = ++m_delivery->generation;
        m_delivery->clearLocked();
    }
    m_tree = std::move(tree);
    m_wakeDescriptor = wake;
    m_reader = std::thread([this, watched = m_tree.get(), wake, run] { readUntilStopped(*watched, wake, run); });
    return true;
}

void FileEventStream::stop()
{
    std::lock_guard control(m_controlMutex);
    if (!m_reader.joinable())
        return;
    {
        std::lock_guard lock(m_delivery->mutex);
        ++m_delivery->generation;
        m_delivery->clearLocked();
    }
    const quint64 one = 1;
    while (::write(m_wakeDescriptor, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_reader.join();
    ::close(m_wakeDescriptor);
    m_wakeDescriptor = -1;
    m_tree.reset();
}

void FileEventStream::readUntilStopped(FileWatchTree& tree, int wakeDescriptor, quint64 generation)
{
    pollfd sources[2] = {{tree.descriptor(), POLLIN, 0}, {wakeDescriptor, POLLIN, 0}};
    for (;;) {
        if (::poll(sources, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (sources[1].revents)
            return;
        if (sources[0].revents & POLLIN)
            m_delivery->add(tree.readChanges(), generation);
        if (sources[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
    }
    Log::log(QStringLiteral("File events of %1 are no longer read: %2").arg(m_paths.join(QStringLiteral(", ")), qt_error_string(errno)));
}

} // namespace platform
