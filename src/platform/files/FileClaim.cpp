#include "platform/files/FileClaim.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The byte the claim locks: far past the end of any file claimed, within every file
// system's and network protocol's offsets.
constexpr off_t claimedByte = off_t(1) << 40;

struct flock claimLock(short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = claimedByte;
    lock.l_len = 1;
    return lock; // l_pid stays 0, as open-file-description locks require
}

// Opens without following a link, and without stalling on a pipe planted at the path.
int openForClaim(const QByteArray& path, int access)
{
    return ::open(path.constData(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool isSameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the path, opened afresh (which makes a network client look it up again),
// still names the file `locked` describes.
bool stillNames(const QByteArray& path, const struct stat& locked)
{
    const int descriptor = openForClaim(path, O_RDONLY);
    if (descriptor < 0)
        return false;
    struct stat now {};
    const bool same = ::fstat(descriptor, &now) == 0 && isSameFile(now, locked);
    ::close(descriptor);
    return same;
}

// Whether another open file holds the claim, asked through a descriptor opened for
// reading only: closing one opened for writing is a change that folder watchers hear of.
bool isHeldElsewhere(const QByteArray& path)
{
    const int descriptor = openForClaim(path, O_RDONLY);
    if (descriptor < 0)
        return false;
    struct flock lock = claimLock(F_WRLCK);
    const bool held = ::fcntl(descriptor, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(descriptor);
    return held;
}

} // namespace

std::unique_ptr<FileClaim> FileClaim::tryClaim(const QString& path, Outcome* outcome, Error* error)
{
    const QByteArray name = QFile::encodeName(path);
    const auto fail = [&](Outcome why, int reason, const QString& what) -> std::unique_ptr<FileClaim> {
        *outcome = why;
        setError(error, Error::fromErrno(reason, what.arg(path)));
        return nullptr;
    };
    if (isHeldElsewhere(name))
        return fail(Outcome::HeldElsewhere, EAGAIN, QStringLiteral("\"%1\" is claimed already"));
    // Locking for writing needs a descriptor opened for writing; nothing is written.
    const int descriptor = openForClaim(name, O_RDWR);
    if (descriptor < 0) {
        const int reason = errno;
        return fail(reason == ENOENT ? Outcome::Gone : Outcome::Failed, reason, QStringLiteral("cannot open \"%1\" to claim it"));
    }
    struct stat locked {};
    const bool stated = ::fstat(descriptor, &locked) == 0;
    if (!stated || !S_ISREG(locked.st_mode)) {
        const int reason = stated ? EINVAL : errno;
        ::close(descriptor);
        return fail(Outcome::Failed, reason, QStringLiteral("cannot claim \"%1\": not a regular file"));
    }
    struct flock lock = claimLock(F_WRLCK);
    if (::fcntl(descriptor, F_OFD_SETLK, &lock) != 0) {
        const int reason = errno;
        ::close(descriptor);
        const bool held = reason == EAGAIN || reason == EACCES;
        return fail(held ? Outcome::HeldElsewhere : Outcome::Failed, reason, QStringLiteral("cannot claim \"%1\""));
    }
    // Moved away or replaced while it was being locked: what was claimed is not the file
    // the path names any more.
    if (!stillNames(name, locked)) {
        ::close(descriptor);
        return fail(Outcome::Gone, ENOENT, QStringLiteral("\"%1\" left before it was claimed"));
    }
    *outcome = Outcome::Claimed;
    return std::unique_ptr<FileClaim>(new FileClaim(descriptor));
}

FileClaim::FileClaim(int descriptor)
    : m_descriptor(descriptor)
{
}

FileClaim::~FileClaim()
{
    ::close(m_descriptor); // the claim ends with the open file
}

} // namespace platform
