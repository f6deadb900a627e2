#pragma once

#include <QString>
#include <QUrl>

// Paths that a ticket or a package names, taken inside the job's own folder (its bundle,
// else the folder holding its ticket) and never against the process's working folder.
// Tickets and packages are untrusted: a relative path that leads out of that folder, by
// ".." or through a link, is refused with an error line naming it.
class KOVA_JobPaths {
public:
    // The image `path` names for a job with the bundle `bundle` (empty without one) and
    // the ticket file `ticket`: an absolute path as it is; a relative one in the bundle's
    // images folder, else beside the ticket. Empty when a relative path is refused or the
    // job has neither folder.
    static QString imagePath(const QString& path, const QUrl& bundle, const QUrl& ticket);
    // `path`, relative or not, below the images folder of `bundle`; empty when it leads out
    // of the bundle.
    static QString bundleImagePath(const QString& path, const QString& bundle);
    // `candidate`, the path `named` taken inside `folder`, cleaned; empty when it leads
    // out of the folder, by ".." or through a link (judged against `folder` itself, so a
    // bundle's images folder that is a link out is refused with everything in it).
    static QString insideFolder(const QString& candidate, const QString& folder, const QString& named);
};
