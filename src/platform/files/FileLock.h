#pragma once

#include "platform/Error.h"

#include <QString>

#include <memory>

namespace platform {

// An exclusive advisory lock (flock) on a lock file, held while the object
// lives. Processes that lock the same file before changing the file it guards
// take turns; readers need no lock when the guarded file is only ever replaced
// atomically. The lock is on an open file, so two locks in one process exclude
// each other as well. The lock file is created (mode 0600) when missing and
// left in place: removing it would let two writers lock two different files of
// one name.
class FileLock {
public:
    // Waits for the lock on `path`; null, with an error naming the path and the
    // reason, when the lock file cannot be opened, is not a regular file, or
    // cannot be locked.
    static std::unique_ptr<FileLock> acquire(const QString& path, Error* error = nullptr);
    // The same without waiting: null with the error EWOULDBLOCK when another
    // open file holds the lock.
    static std::unique_ptr<FileLock> tryAcquire(const QString& path, Error* error = nullptr);

    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(int descriptor);
    static std::unique_ptr<FileLock> lock(const QString& path, bool wait, Error* error);

    int m_descriptor;
};

} // namespace platform
