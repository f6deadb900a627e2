#pragma once

#include "platform/Error.h"

#include <QString>
#include <QStringList>

namespace platform {

// The one place that says where the system's standard folders are.
//
// User domain: the home folder ($HOME) and the XDG folders (preferences in
// $XDG_CONFIG_HOME, the library with its logs in $XDG_STATE_HOME, application
// data and the trash in $XDG_DATA_HOME, caches in $XDG_CACHE_HOME, the desktop
// as user-dirs.dirs names it). Local domain: the machine-wide folders under
// $KOVA_LOCAL_DOMAIN (default "/"): application support in var/lib, applications
// in opt. System domain: what the distribution installs under the same root.
// The environment is read at every call. Paths are absolute and clean, with no
// trailing slash.
class StandardPaths {
public:
    enum class Domain { User, Local, System };

    enum class Folder {
        Home, // user
        Temporary, // user: the process's temporary folder
        Preferences, // user
        Library, // user: the library that holds "Logs"
        Logs, // user
        ApplicationSupport, // user, local
        Caches, // user
        Desktop, // user
        Trash, // user
        Applications, // local
        ColorProfiles, // user, local, system: ICC profiles
    };

    // The folder in the domain, whether it exists or not; empty when the folder
    // has no place in that domain.
    static QString path(Folder folder, Domain domain = Domain::User);

    // As path(), creating the folder and its parents when missing. Empty, with
    // `error` set, when the folder has no place in the domain or cannot be made.
    static QString createdPath(Folder folder, Domain domain, Error* error = nullptr);

    // The folder in every domain that has it: user, local, system in this order.
    static QStringList pathsInEveryDomain(Folder folder);

    // A new, empty, private folder for assembling items that will be moved next
    // to `appropriateFor` (a path that need not exist): on the same file system
    // when the temporary or the cache folder is, so the final move is a rename.
    // Named after the program ("<program>-items-XXXXXX") and removed when it exits
    // cleanly; those its earlier runs left there are removed first (StagingItems).
    // Empty, with `error` set, when no folder can be made.
    static QString makeItemReplacementFolder(const QString& appropriateFor, Error* error = nullptr);
    // Removes, each logged, the items folders that earlier runs of this program left in
    // the temporary and the cache folder when they did not exit cleanly; programs call it
    // as they start, so a run that prints nothing clears them too.
    static void removeStaleItemReplacementFolders();

    // Points the home folder, the XDG folders (the runtime folder private), the
    // local domain and the session bus into `root`, making the folders: a process
    // that must read and write nothing of the machine's (the tests, kova_run).
    // Before the application object exists, as nothing must read the old values.
    static void pointEveryDomainInto(const QString& root);
};

} // namespace platform
