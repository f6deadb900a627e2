#pragma once

#include "platform/Error.h"

#include <QString>
#include <QUrl>

#include <functional>

// The work-folder tree: templates, graphics, package files, placement nodes and
// jobs under "Morvanta/KOVA" in the machine-wide application-support folder
// ($KOVA_LOCAL_DOMAIN/var/lib). Only the root is ever created here, and even
// that may fail for want of rights (making it is then the privileged helper's
// work): callers must not assume that any folder of the tree exists.
// Thread-safe.
class KOVA {
public:
    using ErrorBlock = std::function<void(const platform::Error& error)>;

    // Creates the folder with its missing parents. On failure answers false and
    // hands the error to `errorBlock`, or logs it when there is none. File
    // operations keep no state here, so this one operation serves every caller,
    // with or without a file manager of its own.
    static bool makeDirectory(const QUrl& directory, const ErrorBlock& errorBlock = {});

    // The root. The first call in the process creates it when nothing is there
    // (checkRootFolder); the URL comes back in every case.
    static QUrl kovaDirectory();

    // The root's subfolder named by the tail of the operation name `selector`
    // after "kovaDirectory" ("kovaDirectoryTemplates" gives root/Templates); the
    // root itself for an empty name, the bare "kovaDirectory" or any name that
    // does not begin with it. Creates nothing.
    static QUrl kovaDirectorySubdirectory(const QString& selector);

    static QUrl kovaDirectoryTemplates();
    static QUrl kovaDirectoryGraphics();
    static QUrl kovaDirectoryPackages();
    static QUrl kovaDirectoryNodes();
    static QUrl kovaDirectoryJobs();
    static QUrl kovaDirectoryJobsCompleted();
    static QUrl kovaDirectoryJobsFailed();
    static QUrl kovaDirectoryJobsPending();

    // The check kovaDirectory() runs once per process: creates the folder when
    // nothing is at `root`, leaves a folder alone, and logs and leaves anything
    // else that stands there.
    static void checkRootFolder(const QUrl& root);
};
