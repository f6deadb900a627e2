#pragma once

#include "platform/files/FileEventFlags.h"

#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <set>
#include <vector>

struct inotify_event;

namespace platform {

// The inotify watches behind a file event stream. A watched folder is watched
// with every folder below it, and the set follows folders made, removed and
// moved later; a watched file is watched through its parent folder, so that it
// is still seen after it was replaced by a rename. A watched path that is
// missing, or that went away, is waited for at its nearest existing ancestor
// and watched again when it (re)appears. Used from one thread at a time.
class FileWatchTree {
public:
    struct Change {
        QString path;
        quint32 flags;
    };

    FileWatchTree(const QStringList& paths, FileEventGranularity granularity);
    ~FileWatchTree();
    FileWatchTree(const FileWatchTree&) = delete;
    FileWatchTree& operator=(const FileWatchTree&) = delete;

    // Opens the inotify instance and watches every path; false when none of them
    // exists or could be watched.
    bool open();
    // The descriptor to wait on for readChanges (non-blocking).
    int descriptor() const { return m_fd; }
    // Reads every event the kernel has queued, follows the changes of the folder
    // trees and returns what happened, in order (paths may repeat).
    std::vector<Change> readChanges();

private:
    enum class RootState { Waiting, Folder, File };
    struct Root {
        QString path;
        RootState state = RootState::Waiting;
        std::set<QString> tree; // Folder: the root and every folder below it
        QString anchor;         // File: the parent folder; Waiting: the nearest existing ancestor
    };

    void translate(const inotify_event& event, std::vector<Change>& changes);
    void translateItemEvent(const QString& folder, const QString& name, quint32 mask, std::vector<Change>& changes);
    void translateSelfEvent(int watch, quint32 mask, std::vector<Change>& changes);
    void translateOverflow(std::vector<Change>& changes);
    void report(const QString& item, const QString& folder, quint32 flags, std::vector<Change>& changes) const;

    bool establish(Root& root, std::vector<Change>* found);
    bool armFolder(Root& root, std::vector<Change>* found);
    bool armFile(Root& root);
    bool anchorAtNearestAncestor(Root& root);
    void loseRoot(Root& root);
    void reviveRoots(std::vector<Change>& changes);
    bool isAlive(const Root& root) const;
    static std::vector<QString> takeWatches(Root& root);

    void addFolder(Root& root, const QString& folder, std::vector<Change>* found);
    void addContents(Root& root, const QString& folder, std::vector<Change>* found);
    void removeFolder(Root& root, const QString& folder);

    bool acquire(const QString& folder, bool followLink);
    void release(const QString& folder);
    void releaseAll(const std::vector<QString>& folders);
    void dropPath(int watch, const QString& folder);
    void forgetWatch(int watch);
    bool isNeeded(const QString& folder) const;
    bool isWatched(const QString& folder) const { return m_watchOfPath.count(folder) != 0; }

    const FileEventGranularity m_granularity;
    std::vector<Root> m_roots;
    int m_fd = -1;
    bool m_rootsNeedReview = false;
    std::map<QString, int> m_watchOfPath;
    std::map<int, std::set<QString>> m_pathsOfWatch;
    alignas(8) std::array<char, 64 * 1024> m_buffer;
};

} // namespace platform
