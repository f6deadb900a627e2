#pragma once

#include <QList>
#include <QUrl>

#include <Qt>

class QMimeData;

// Job files dropped on the list: taken only from a source that lets them be
// moved, and only items that are XML tickets or job bundles; the job folders
// then move what they accept into the default job folder.
class JobDrop {
public:
    static bool canDrop(Qt::DropActions offered, const QMimeData* data);
    // The dropped file URLs that are tickets or job bundles.
    static QList<QUrl> acceptableURLs(const QMimeData* data);
    // Hands the acceptable items to the job folders; true only when at least one
    // of them was moved away from where it was dropped from.
    static bool acceptDrop(Qt::DropActions offered, const QMimeData* data);
};
