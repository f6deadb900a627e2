#include "platform/files/FileLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// 0 or the errno value of taking the lock; with `wait`, waiting as long as it takes.
int lockExclusively(int descriptor, bool wait)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return EINVAL;
    while (::flock(descriptor, wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace

std::unique_ptr<FileLock> FileLock::acquire(const QString& path, Error* error)
{
    return lock(path, true, error);
}

std::unique_ptr<FileLock> FileLock::tryAcquire(const QString& path, Error* error)
{
    return lock(path, false, error);
}

std::unique_ptr<FileLock> FileLock::lock(const QString& path, bool wait, Error* error)
{
    // Non-blocking open: something else planted at the path (a pipe) must not
    // stall the caller before it is found out.
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (descriptor < 0) {
        setError(error, Error::fromErrno(errno, QStringLiteral("cannot open the lock file \"%1\"").arg(path)));
        return nullptr;
    }
    if (const int result = lockExclusively(descriptor, wait)) {
        ::close(descriptor);
        setError(error, Error::fromErrno(result, QStringLiteral("cannot lock \"%1\"").arg(path)));
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(descriptor));
}

FileLock::FileLock(int descriptor)
    : m_descriptor(descriptor)
{
}

FileLock::~FileLock()
{
    ::close(m_descriptor); // closing the last descriptor of the open file releases the lock
}

} // namespace platform
