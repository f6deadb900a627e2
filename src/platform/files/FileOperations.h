#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QString>

namespace platform {

// File operations that never lose or half-write an item. Nothing appears under a
// target name until it is complete, and nothing existing is replaced unless the
// operation says so. Work in progress lives in staging items, hidden ".kova-"
// names in the target folder (see StagingItems). Every failure returns false
// with a POSIX-domain error naming the path and the reason. Thread-safe.
class FileOperations {
public:
    // Moves the file, folder or link `from` to `to`, failing with EEXIST when
    // anything exists at `to`. Across file systems the item is copied into a
    // hidden folder next to `to` and renamed into place; only then is the
    // source renamed aside into a hidden folder next to it and removed.
    static bool moveItemNoReplace(const QString& from, const QString& to, Error* error = nullptr);

    // Copies a file, a link (as a link) or a folder tree to `to`, which must not
    // exist, keeping permissions and modification dates. The copy is synced to
    // disk, its folders included, before it appears under `to`.
    static bool copyItem(const QString& from, const QString& to, Error* error = nullptr);

    // Removes a file, a link (not what it points to) or a folder tree.
    static bool removeItem(const QString& path, Error* error = nullptr);

    // Replaces the file at `path` in one step with `data`, written and synced
    // under a hidden name first; the folder is synced after the rename. A new
    // file gets `permissions`; a replaced one keeps its own. A link at `path`
    // is followed.
    static bool writeFileAtomically(const QString& path, const QByteArray& data, Error* error = nullptr,
                                    int permissions = 0644);

    // As writeFileAtomically(), but a link at `path` is replaced by the file
    // itself and what it points to is left alone: for files written into
    // folders that others can write to, where a planted link would otherwise
    // lead the write anywhere.
    static bool replaceFileAtomically(const QString& path, const QByteArray& data, Error* error = nullptr,
                                      int permissions = 0644);

    // As writeFileAtomically(), but fails with EEXIST instead of replacing
    // anything at `path`.
    static bool writeFileAtomicallyNoReplace(const QString& path, const QByteArray& data, Error* error = nullptr,
                                             int permissions = 0644);

    // Creates an empty file at `path`, failing with EEXIST when anything is
    // there: claims a free name atomically.
    static bool createExclusive(const QString& path, Error* error = nullptr);

    // Creates the folder; with intermediates, also its missing parents, and an
    // existing folder counts as success.
    static bool makeDirectory(const QString& path, bool withIntermediates, Error* error = nullptr);

    // The rename without replacing that every operation ends with: answers 0 or
    // an errno value. Tests replace it to stand in for other file systems;
    // nullptr restores the system's. Answers the function it replaced.
    using RenameNoReplaceFunction = int (*)(const char* from, const char* to);
    static RenameNoReplaceFunction replaceRenameNoReplaceFunction(RenameNoReplaceFunction function);
    static int systemRenameNoReplace(const char* from, const char* to);
};

} // namespace platform
