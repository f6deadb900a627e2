#pragma once

#include "platform/Error.h"

#include <QString>

#include <chrono>

namespace platform {

// The hidden items in which the file operations assemble their work in the
// folder where it ends up: folders ".kova-copy-XXXXXX" and files
// ".kova-XXXXXX.tmp". An operation cut short (a killed process, a power cut)
// leaves its item behind, so every new one first clears its folder of stale
// ones: items of these two patterns and kinds, owned by this user and
// unchanged for longer than staleAge. Likewise the folder each process assembles
// its items in, which it removes itself at a clean exit. Thread-safe.
class StagingItems {
public:
    StagingItems() = delete;

    // Long enough that no operation still at work loses its item.
    static constexpr std::chrono::hours staleAge{1};

    // A new private folder in `folder`; empty on failure.
    static QString makeFolder(const QString& folder, Error* error);

    // A new private file in `folder`, open for writing: its descriptor, which
    // the caller closes, or -1 on failure. `path` receives its path.
    static int openFile(const QString& folder, QString* path, Error* error);

    // Removes the stale staging items in `folder` and logs each; one that
    // cannot be removed is logged as an error and left for the next time.
    static void removeStale(const QString& folder);

    // The process's own folder for the items it assembles, "<processName>-items-XXXXXX" in
    // `base`, private to the user. The process holds a lock on it while it runs, so that
    // others can tell it is in use, and removes it when it exits cleanly; first it removes
    // the stale folders of `processName` in `base`. Empty on failure.
    static QString makeProcessFolder(const QString& base, const QString& processName, Error* error);

    // Removes, each logged, the folders of `processName` in `base` that a process left when
    // it did not exit cleanly: owned by this user, held by no live process and unchanged for
    // longer than staleAge.
    static void removeStaleProcessFolders(const QString& base, const QString& processName);
};

} // namespace platform
