#include "platform/files/FileWatchTree.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A file's close after writing is watched besides its writes: a writer that
// pauses and then closes must leave a change behind for the finished file.
constexpr quint32 watchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr quint32 appearing = IN_CREATE | IN_MOVED_TO;
constexpr quint32 vanishing = IN_DELETE | IN_MOVED_FROM;
constexpr quint32 watchGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;
// How often a root is tried again while folders on its way keep appearing.
constexpr int establishRounds = 16;

enum class ItemKind { Missing, Folder, Other };

ItemKind kindOf(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return ItemKind::Missing;
    return S_ISDIR(info.st_mode) ? ItemKind::Folder : ItemKind::Other;
}

bool isRealFolder(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The prefix every path below `folder` starts with.
QString inside(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString parentOf(const QString& path)
{
    return QFileInfo(path).path(); // the root is its own parent
}

quint32 changeKinds(quint32 mask)
{
    quint32 flags = 0;
    if (mask & IN_CREATE)
        flags |= FileEventFlag::ItemCreated;
    if (mask & IN_DELETE)
        flags |= FileEventFlag::ItemRemoved;
    if (mask & (IN_MOVED_FROM | IN_MOVED_TO))
        flags |= FileEventFlag::ItemRenamed;
    if (mask & (IN_MODIFY | IN_CLOSE_WRITE))
        flags |= FileEventFlag::ItemModified;
    if (mask & IN_ATTRIB)
        flags |= FileEventFlag::ItemInodeMetaMod;
    return flags;
}

quint32 itemType(quint32 mask)
{
    return (mask & IN_ISDIR) ? FileEventFlag::ItemIsDir : FileEventFlag::ItemIsFile;
}

} // namespace

FileWatchTree::FileWatchTree(const QStringList& paths, FileEventGranularity granularity)
    : m_granularity(granularity)
{
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        Root root;
        root.path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        m_roots.push_back(std::move(root));
    }
}

FileWatchTree::~FileWatchTree()
{
    if (m_fd >= 0)
        ::close(m_fd); // drops every watch
}

bool FileWatchTree::open()
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        Log::log(QStringLiteral("Cannot watch files: %1").arg(qt_error_string(errno)));
        return false;
    }
    bool watchesAny = false;
    for (Root& root : m_roots)
        watchesAny |= establish(root, nullptr);
    return watchesAny;
}

std::vector<FileWatchTree::Change> FileWatchTree::readChanges()
{
    std::vector<Change> changes;
    for (;;) {
        const ssize_t length = ::read(m_fd, m_buffer.data(), m_buffer.size());
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(m_buffer.data() + offset);
            translate(*event, changes);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (m_rootsNeedReview) {
        m_rootsNeedReview = false;
        reviveRoots(changes);
    }
    return changes;
}

void FileWatchTree::translate(const inotify_event& event, std::vector<Change>& changes)
{
    if (event.mask & IN_Q_OVERFLOW) {
        translateOverflow(changes);
        return;
    }
    const auto folders = m_pathsOfWatch.find(event.wd);
    if (folders == m_pathsOfWatch.end())
        return; // a watch let go of; its late events mean nothing
    if (event.len == 0) {
        translateSelfEvent(event.wd, event.mask, changes);
        return;
    }
    const QString name = QFile::decodeName(QByteArray(event.name));
    const std::set<QString> copy = folders->second; // the translation may change the watches
    for (const QString& folder : copy)
        translateItemEvent(folder, name, event.mask, changes);
}

void FileWatchTree::translateItemEvent(const QString& folder, const QString& name, quint32 mask,
                                       std::vector<Change>& changes)
{
    const QString item = joined(folder, name);
    const quint32 flags = changeKinds(mask) | itemType(mask);
    for (Root& root : m_roots) {
        switch (root.state) {
        case RootState::Folder:
            if (!root.tree.count(folder))
                break;
            report(item, folder, flags, changes);
            if (!(mask & IN_ISDIR))
                break;
            if (mask & vanishing)
                removeFolder(root, item);
            if (mask & appearing) // a fresh folder may already have contents we had no watch for
                addFolder(root, item, (mask & IN_CREATE) ? &changes : nullptr);
            break;
        case RootState::File:
            if (root.anchor == folder && root.path == item)
                report(item, item, flags, changes);
            break;
        case RootState::Waiting:
            if (root.anchor == folder && (mask & appearing))
                m_rootsNeedReview = true;
            break;
        }
    }
}

// Events about a watched folder itself: its own attributes, or its watch ending
// because it was removed, moved away or unmounted.
void FileWatchTree::translateSelfEvent(int watch, quint32 mask, std::vector<Change>& changes)
{
    const std::set<QString> folders = m_pathsOfWatch.at(watch);
    if (!(mask & watchGone)) {
        for (const Root& root : m_roots)
            if (root.state == RootState::Folder && folders.count(root.path) && (mask & IN_ATTRIB))
                report(root.path, root.path, FileEventFlag::ItemInodeMetaMod | FileEventFlag::ItemIsDir, changes);
        return;
    }
    forgetWatch(watch);
    const quint32 gone = (mask & IN_MOVE_SELF) ? FileEventFlag::ItemRenamed : FileEventFlag::ItemRemoved;
    for (const QString& folder : folders) {
        for (Root& root : m_roots) {
            if (root.state == RootState::Folder && root.path == folder) {
                report(root.path, root.path, gone | FileEventFlag::ItemIsDir | FileEventFlag::RootChanged, changes);
                loseRoot(root);
            } else if (root.state == RootState::Folder && root.tree.count(folder)) {
                removeFolder(root, folder);
                if (isRealFolder(folder) && root.tree.count(parentOf(folder))) // another file system let go of it
                    addFolder(root, folder, nullptr);
            } else if (root.state == RootState::File && root.anchor == folder) {
                report(root.path, root.path, gone | FileEventFlag::ItemIsFile | FileEventFlag::RootChanged, changes);
                loseRoot(root);
            } else if (root.state == RootState::Waiting && root.anchor == folder) {
                m_rootsNeedReview = true;
            }
        }
    }
}

// The kernel dropped events: every watched path must be rescanned by the owner,
// and the watches themselves are brought up to date with what is there now.
void FileWatchTree::translateOverflow(std::vector<Change>& changes)
{
    for (Root& root : m_roots) {
        const std::vector<QString> held = takeWatches(root);
        establish(root, nullptr);
        releaseAll(held);
        report(root.path, root.path, FileEventFlag::MustScanSubDirs | FileEventFlag::KernelDropped, changes);
    }
}

void FileWatchTree::report(const QString& item, const QString& folder, quint32 flags,
                           std::vector<Change>& changes) const
{
    if (m_granularity == FileEventGranularity::Items)
        changes.push_back({item, flags});
    else
        changes.push_back({folder, flags & ~FileEventFlag::itemTypes});
}

// Watches the root as what it is now; a missing root is waited for at its
// nearest existing ancestor instead. A folder on the way that appears while the
// ancestor's watch is being set sends the root round again, since its creation
// may have come before the watch.
bool FileWatchTree::establish(Root& root, std::vector<Change>* found)
{
    for (int round = 0; round < establishRounds; ++round) {
        const QString waitedAt = std::exchange(root.anchor, QString());
        const ItemKind kind = kindOf(root.path);
        const bool armed = (kind == ItemKind::Folder && armFolder(root, found)) || (kind == ItemKind::Other && armFile(root));
        const bool settled = armed || anchorAtNearestAncestor(root);
        release(waitedAt);
        if (settled)
            return armed;
    }
    return false;
}

bool FileWatchTree::armFolder(Root& root, std::vector<Change>* found)
{
    root.tree.insert(root.path);
    if (!acquire(root.path, true)) {
        root.tree.clear();
        return false;
    }
    root.state = RootState::Folder;
    addContents(root, root.path, found);
    return true;
}

bool FileWatchTree::armFile(Root& root)
{
    const QString parent = parentOf(root.path);
    if (!acquire(parent, true))
        return false;
    root.anchor = parent;
    root.state = RootState::File;
    return true;
}

// False when the path below the new anchor appeared meanwhile.
bool FileWatchTree::anchorAtNearestAncestor(Root& root)
{
    QString below = root.path;
    for (QString folder = parentOf(root.path);; below = folder, folder = parentOf(folder)) {
        if (kindOf(folder) == ItemKind::Folder && acquire(folder, true)) {
            root.anchor = folder;
            return kindOf(below) == ItemKind::Missing;
        }
        if (parentOf(folder) == folder)
            return true;
    }
}

// Roots whose watch went away, and roots waited for, are established again;
// those that are there again are reported with what they already hold.
void FileWatchTree::reviveRoots(std::vector<Change>& changes)
{
    for (Root& root : m_roots) {
        if (isAlive(root))
            continue;
        // The new watches are taken before the old ones are let go of, so a
        // folder watched both before and after never misses an event.
        const std::vector<QString> held = takeWatches(root);
        std::vector<Change> found;
        if (establish(root, &found)) {
            const quint32 type = root.state == RootState::Folder ? FileEventFlag::ItemIsDir : FileEventFlag::ItemIsFile;
            report(root.path, root.path, FileEventFlag::ItemCreated | FileEventFlag::RootChanged | type, changes);
            changes.insert(changes.end(), found.begin(), found.end());
        }
        releaseAll(held);
    }
}

// Lets go of every watch of a root that went away at once, so that the folders
// moved away with it report nothing under their old paths; it is waited for again.
void FileWatchTree::loseRoot(Root& root)
{
    releaseAll(takeWatches(root));
    m_rootsNeedReview = true;
}

bool FileWatchTree::isAlive(const Root& root) const
{
    switch (root.state) {
    case RootState::Folder:
        return isWatched(root.path);
    case RootState::File:
        return isWatched(root.anchor);
    case RootState::Waiting:
        return false;
    }
    return false;
}

std::vector<QString> FileWatchTree::takeWatches(Root& root)
{
    std::vector<QString> held(root.tree.begin(), root.tree.end());
    if (!root.anchor.isEmpty())
        held.push_back(root.anchor);
    root.tree.clear();
    root.anchor.clear();
    root.state = RootState::Waiting;
    return held;
}

void FileWatchTree::addFolder(Root& root, const QString& folder, std::vector<Change>* found)
{
    root.tree.insert(folder);
    if (!acquire(folder, false)) {
        root.tree.erase(folder);
        return;
    }
    addContents(root, folder, found);
}

// Watches every folder below `folder` (symbolic links are not followed) and, when
// asked, reports every item found as created.
void FileWatchTree::addContents(Root& root, const QString& folder, std::vector<Change>* found)
{
    std::vector<QString> toList{folder};
    while (!toList.empty()) {
        const QString current = toList.back();
        toList.pop_back();
        const QFileInfoList entries = QDir(current).entryInfoList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
        for (const QFileInfo& entry : entries) {
            const QString path = joined(current, entry.fileName());
            const bool isFolder = entry.isDir() && !entry.isSymLink();
            if (found)
                report(path, current, FileEventFlag::ItemCreated | (isFolder ? FileEventFlag::ItemIsDir : FileEventFlag::ItemIsFile),
                       *found);
            if (!isFolder)
                continue;
            root.tree.insert(path);
            if (acquire(path, false))
                toList.push_back(path);
            else
                root.tree.erase(path);
        }
    }
}

void FileWatchTree::removeFolder(Root& root, const QString& folder)
{
    std::vector<QString> gone;
    if (root.tree.erase(folder))
        gone.push_back(folder);
    const QString prefix = inside(folder);
    for (auto it = root.tree.lower_bound(prefix); it != root.tree.end() && it->startsWith(prefix);) {
        gone.push_back(*it);
        it = root.tree.erase(it);
    }
    releaseAll(gone);
}

bool FileWatchTree::acquire(const QString& folder, bool followLink)
{
    const int watch = inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                                        watchMask | (followLink ? 0 : IN_DONT_FOLLOW));
    if (watch < 0) {
        if (errno != ENOENT && errno != ENOTDIR) // it went away meanwhile: nothing to watch
            Log::log(QStringLiteral("Cannot watch %1: %2").arg(folder, qt_error_string(errno)));
        return false;
    }
    const auto known = m_watchOfPath.find(folder);
    if (known != m_watchOfPath.end() && known->second != watch) {
        // The path names another folder than before: the old watch no longer speaks for it.
        const int previous = known->second;
        m_watchOfPath.erase(known);
        dropPath(previous, folder);
    }
    m_watchOfPath[folder] = watch;
    m_pathsOfWatch[watch].insert(folder);
    return true;
}

void FileWatchTree::release(const QString& folder)
{
    if (isNeeded(folder))
        return;
    const auto known = m_watchOfPath.find(folder);
    if (known == m_watchOfPath.end())
        return;
    const int watch = known->second;
    m_watchOfPath.erase(known);
    dropPath(watch, folder);
}

void FileWatchTree::releaseAll(const std::vector<QString>& folders)
{
    for (const QString& folder : folders)
        release(folder);
}

void FileWatchTree::dropPath(int watch, const QString& folder)
{
    const auto paths = m_pathsOfWatch.find(watch);
    if (paths == m_pathsOfWatch.end())
        return;
    paths->second.erase(folder);
    if (paths->second.empty()) {
        m_pathsOfWatch.erase(paths);
        inotify_rm_watch(m_fd, watch);
    }
}

// The watch no longer follows the path (the folder went, or was moved and the
// watch moved with it): it is let go of and its paths count as unwatched.
void FileWatchTree::forgetWatch(int watch)
{
    const auto paths = m_pathsOfWatch.find(watch);
    if (paths == m_pathsOfWatch.end())
        return;
    for (const QString& folder : paths->second) {
        const auto known = m_watchOfPath.find(folder);
        if (known != m_watchOfPath.end() && known->second == watch)
            m_watchOfPath.erase(known);
    }
    m_pathsOfWatch.erase(paths);
    inotify_rm_watch(m_fd, watch);
}

bool FileWatchTree::isNeeded(const QString& folder) const
{
    for (const Root& root : m_roots)
        if (root.tree.count(folder) || root.anchor == folder)
            return true;
    return false;
}

} // namespace platform
