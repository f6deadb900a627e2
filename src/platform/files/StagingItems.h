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
// unchanged for longer than staleAge. Thread-safe.
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
};

} // namespace platform
