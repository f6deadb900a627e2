#include "helper/lib/KOVAFolderMaker.h"

#include "platform/Log.h"
#include "platform/files/StandardPaths.h"

#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kova::helper {

namespace {

constexpr mode_t folderMode = 0775;
constexpr int openFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// An open descriptor, closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1)
        : m_descriptor(descriptor)
    {
    }
    ~Descriptor() { reset(-1); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_descriptor; }
    int release() { return std::exchange(m_descriptor, -1); }
    bool isOpen() const { return m_descriptor >= 0; }
    void reset(int descriptor)
    {
        if (m_descriptor >= 0)
            close(m_descriptor);
        m_descriptor = descriptor;
    }

private:
    int m_descriptor;
};

platform::Error notADirectory()
{
    return { platform::Error::POSIXDomain, ENOTDIR, QStringLiteral("Existing object not a directory") };
}

// Why `name` in `parent` could not be opened as a folder: a symbolic link is
// ELOOP, anything else that is not a folder ENOTDIR.
platform::Error openFailure(int parent, const QByteArray& name, int err, const QString& path)
{
    struct stat status {};
    if (err == ENOTDIR && fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
        err = ELOOP;
    return err == ENOTDIR ? notADirectory() : platform::Error::fromErrno(err, path);
}

// Opens one component below `parent`, making it first when it is missing; a
// folder made meanwhile by someone else is simply opened.
int openOrMakeComponent(int parent, const QByteArray& name, const QString& path, platform::Error* error)
{
    int child = openat(parent, name.constData(), openFlags);
    if (child < 0 && errno == ENOENT) {
        if (mkdirat(parent, name.constData(), folderMode) != 0 && errno != EEXIST) {
            *error = platform::Error::fromErrno(errno, path);
            return -1;
        }
        child = openat(parent, name.constData(), openFlags);
    }
    if (child < 0)
        *error = openFailure(parent, name, errno, path);
    return child;
}

// Opens the absolute `path`, making missing folders on the way, without following
// any symbolic link.
int openOrMakeFolder(const QString& path, platform::Error* error)
{
    Descriptor current(open("/", openFlags));
    if (!current.isOpen()) {
        *error = platform::Error::fromErrno(errno, QStringLiteral("/"));
        return -1;
    }
    QString walked;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        walked += QLatin1Char('/') + component;
        const int child = openOrMakeComponent(current.get(), component.toUtf8(), walked, error);
        if (child < 0)
            return -1;
        current.reset(child);
    }
    return current.release();
}

} // namespace

KOVAFolderMaker::KOVAFolderMaker(FolderOwnership& ownership, const QString& administratorsGroup)
    : m_ownership(ownership)
    , m_administratorsGroup(administratorsGroup)
{
}

QString KOVAFolderMaker::kovaFolderPath()
{
    using platform::StandardPaths;
    return StandardPaths::path(StandardPaths::Folder::ApplicationSupport, StandardPaths::Domain::Local)
        + QStringLiteral("/Morvanta/KOVA");
}

QString KOVAFolderMaker::makeKOVAFolder(platform::Error* error) const
{
    const QString morvanta = QFileInfo(kovaFolderPath()).path();
    const QString kova = kovaFolderPath();
    platform::Error slot;
    verifyDirectory(kova + QStringLiteral("/Jobs/Completed"), TreeGroup, &slot);
    if (!slot.isNull()) {
        platform::setError(error, slot);
        return {};
    }
    for (const char* folder : { "Jobs/Failed", "Jobs/Pending", "Graphics", "Templates", "Packages", "Nodes" })
        verifyDirectory(kova + QLatin1Char('/') + QLatin1String(folder), TreeGroup, &slot);
    verifyDirectory(morvanta, m_administratorsGroup, &slot);
    if (!slot.isNull())
        platform::setError(error, slot);
    return QUrl::fromLocalFile(kova).toString();
}

void KOVAFolderMaker::verifyDirectory(const QString& path, const QString& groupName, platform::Error* slot) const
{
    platform::Error failure;
    Descriptor folder(openOrMakeFolder(path, &failure));
    if (folder.isOpen()) {
        failure = m_ownership.setOwner(folder.get(), path, groupName);
        if (fchmod(folder.get(), folderMode) != 0)
            failure = platform::Error::fromErrno(errno, path);
    }
    if (failure.isNull())
        return;
    platform::Log::error(QStringLiteral("Cannot verify the folder %1: %2").arg(path, failure.description()));
    *slot = failure;
}

} // namespace kova::helper
