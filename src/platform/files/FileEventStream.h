#pragma once

#include "platform/dispatch/DispatchQueue.h"
#include "platform/files/FileEventFlags.h"

#include <QList>
#include <QStringList>

#include <thread>

namespace platform {

class FileWatchTree;

// A stream of file-system events below a set of paths (folders with everything
// below them, or single files), delivered in batches on a dispatch queue: the
// changes seen within `latency` seconds after the first one are handed over
// together, each path once with the union of its flags. A reader thread of its
// own follows the kernel's events while the stream is started.
//
// start, stop and setDispatchQueue may be called from any thread. Once stop (or
// the destructor) has returned, no callback begins; one that had already begun
// on the queue's thread runs to its end.
class FileEventStream {
public:
    using Callback = std::function<void(const QStringList& paths, const QList<quint32>& flags)>;

    FileEventStream(QStringList paths, double latency, FileEventGranularity granularity, Callback callback);
    ~FileEventStream();
    FileEventStream(const FileEventStream&) = delete;
    FileEventStream& operator=(const FileEventStream&) = delete;

    // The queue the callbacks run on; used by batches that begin after the call.
    void setDispatchQueue(std::shared_ptr<DispatchQueue> queue);
    // Watches the paths from now on; false when there is no queue or none of
    // the paths exists or could be watched. Starting a started stream does nothing.
    bool start();
    // Stops watching and drops the batch being collected.
    void stop();

private:
    struct Delivery;

    void readUntilStopped(FileWatchTree& tree, int wakeDescriptor, quint64 generation);

    const QStringList m_paths;
    const FileEventGranularity m_granularity;
    const std::shared_ptr<Delivery> m_delivery;
    std::mutex m_controlMutex;
    std::unique_ptr<FileWatchTree> m_tree;
    int m_wakeDescriptor = -1;
    std::thread m_reader;
};

} // namespace platform
