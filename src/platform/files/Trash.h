#pragma once

#include "platform/Error.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace platform {

// The user's trash as freedesktop.org desktops share it: the
// home trash at $XDG_DATA_HOME/Trash with "files" and "info", each trashed item
// described by info/NAME.trashinfo (original path and deletion date). A name is
// claimed by creating its .trashinfo exclusively before the item moves into
// files/NAME with the move that never replaces anything. Thread-safe.
class Trash {
public:
    // Original path and its path inside the trash.
    using Pair = QPair<QString, QString>;

    struct Result {
        QList<Pair> trashed;
        QList<QPair<QString, Error>> failures; // the path that stayed and why
    };

    // Moves each item into the trash. "/", the current folder and folders that
    // hold it are refused, as are the trash and what lies in it.
    static Result moveToTrash(const QStringList& paths);

    // Moves each trashed item back to its original path, never replacing what is
    // there now, and removes its .trashinfo. Each failure is logged with the path
    // and the reason; answers the pairs that were restored.
    static QList<Pair> restore(const QList<Pair>& pairs);

    // The home trash's folder, made when missing (with its "files" and "info").
    static QString homeTrash(Error* error = nullptr);
};

} // namespace platform
