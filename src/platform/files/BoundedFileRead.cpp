#include "platform/files/BoundedFileRead.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A file that grows while it is read is read on in pieces of this size: it is
// never given more memory than it holds, even when the limit is far above that.
constexpr qint64 pieceSize = 256 * 1024;

QString kindOf(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return QStringLiteral("a folder");
    case S_IFIFO:
        return QStringLiteral("a FIFO");
    case S_IFCHR:
        return QStringLiteral("a character device");
    case S_IFBLK:
        return QStringLiteral("a block device");
    case S_IFSOCK:
        return QStringLiteral("a socket");
    default:
        return QStringLiteral("of an unknown kind");
    }
}

Error notRegularFile(const QString& path, mode_t mode)
{
    const int code = S_ISDIR(mode) ? EISDIR : EINVAL;
    return {Error::POSIXDomain, code, QStringLiteral("%1: not a regular file (%2)").arg(path, kindOf(mode))};
}

Error tooLarge(const QString& path, qint64 maximumSize)
{
    return {Error::POSIXDomain, EFBIG, QStringLiteral("%1: too large to read (more than %2 bytes)").arg(path).arg(maximumSize)};
}

Error changedWhileRead(const QString& path)
{
    return {Error::POSIXDomain, EIO, QStringLiteral("%1: changed while it was read").arg(path)};
}

} // namespace

BoundedFileRead::BoundedFileRead(const QString& path, qint64 maximumSize)
    : m_path(path)
    , m_maximumSize(maximumSize)
{
    m_descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_descriptor < 0) {
        m_error = Error::fromErrno(errno, path);
        return;
    }
    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0)
        refuse(Error::fromErrno(errno, path));
    else if (!S_ISREG(status.st_mode))
        refuse(notRegularFile(path, status.st_mode));
    else if (status.st_size > maximumSize)
        refuse(tooLarge(path, maximumSize));
    else
        m_size = status.st_size;
}

BoundedFileRead::~BoundedFileRead()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void BoundedFileRead::refuse(const Error& error)
{
    m_error = error;
    ::close(m_descriptor);
    m_descriptor = -1;
}

std::optional<QByteArray> BoundedFileRead::readAt(qint64 offset, qint64 length)
{
    if (!isOpen())
        return std::nullopt;
    // Room for what the file held when opened and one byte more, so that finding
    // its end costs no copy; a file that grew meanwhile is read on in pieces.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::clamp<qint64>(m_size - offset + 1, 0, length)));
    while (bytes.size() < length) {
        const qsizetype filled = bytes.size();
        const qint64 room = bytes.capacity() > filled ? bytes.capacity() - filled : pieceSize;
        bytes.resize(filled + qsizetype(std::min({pieceSize, room, length - filled})));
        const ssize_t count = ::pread(m_descriptor, bytes.data() + filled, size_t(bytes.size() - filled), offset + filled);
        const int readError = errno;
        bytes.resize(filled + std::max<qsizetype>(count, 0));
        if (count < 0 && readError == EINTR)
            continue;
        if (count < 0) {
            m_error = Error::fromErrno(readError, m_path);
            return std::nullopt;
        }
        if (count == 0)
            break;
    }
    return bytes;
}

bool BoundedFileRead::readWholeInto(char* memory)
{
    if (!isOpen())
        return false;
    qint64 filled = 0;
    // One byte more than the size is asked for at the end, so that a file that
    // grew is told without another call.
    char beyond = 0;
    while (filled <= m_size) {
        char* const into = filled < m_size ? memory + filled : &beyond;
        const qint64 wanted = filled < m_size ? m_size - filled : 1;
        const ssize_t count = ::pread(m_descriptor, into, size_t(wanted), filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            m_error = Error::fromErrno(errno, m_path);
            return false;
        }
        if (count == 0)
            break;
        filled += count;
    }
    if (filled != m_size) {
        m_error = changedWhileRead(m_path);
        return false;
    }
    return true;
}

std::optional<QByteArray> BoundedFileRead::readAll()
{
    std::optional<QByteArray> bytes = readAt(0, m_maximumSize + 1);
    if (bytes && bytes->size() > m_maximumSize) {
        m_error = tooLarge(m_path, m_maximumSize);
        return std::nullopt;
    }
    return bytes;
}

std::optional<QByteArray> BoundedFileRead::contents(const QString& path, qint64 maximumSize, Error* error)
{
    BoundedFileRead file(path, maximumSize);
    std::optional<QByteArray> bytes = file.readAll();
    if (!bytes)
        setError(error, file.error());
    return bytes;
}

} // namespace platform
