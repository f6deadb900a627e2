#pragma once

#include <QString>

// The job bundle: a folder that carries a ticket ("job.xml") with the order's images,
// templates and package files. Entries inside a bundle are named without regard to
// case ("images" is written, "Images" read), so they are looked up that way.
class KOVA_JobBundle {
public:
    static inline const QString ticketName = QStringLiteral("job.xml");
    static inline const QString imagesName = QStringLiteral("Images");

    // Whether the item at `path` is a job bundle.
    static bool isJobBundle(const QString& path);
    // The path of the entry `name` in `bundle` as the bundle spells it (an exact match
    // first, else any entry whose name differs only in case), else `bundle`/`name`.
    // Every kind of entry counts, so that a reader refuses one that is no file.
    static QString entryPath(const QString& bundle, const QString& name);
    // `path` inside the bundle's image folder, however the bundle spells that folder.
    static QString imagePath(const QString& bundle, const QString& path);
    // `component` appended to `folder` with one separator, as path texts join.
    static QString appendingPathComponent(const QString& folder, const QString& component);
};
