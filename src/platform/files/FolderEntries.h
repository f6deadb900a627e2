#pragma once

#include <QString>

namespace platform {

// Entries of folders that are named without regard to case: a job bundle is written
// with "images" and read as "Images", and both must denote one folder on a file
// system that tells case apart.
class FolderEntries {
public:
    // The path of the entry `name` in `folder` as the folder spells it: the entry of
    // that exact name when there is one, else the first (by name) whose name differs
    // only in case, else `folder`/`name`. Every kind of entry counts, so that a reader
    // refuses one that is no file instead of passing it over.
    static QString entryPath(const QString& folder, const QString& name);
    // `relativePath` below `folder`, each of its components looked up as entryPath() does.
    static QString pathInside(const QString& folder, const QString& relativePath);
    // `component` appended to `folder` with one separator, as path texts join.
    static QString appendingPathComponent(const QString& folder, const QString& component);
    // `path` cleaned when it lies inside `folder`: as written, so that a path climbing out
    // by ".." is refused whether or not it exists, and, from the deepest part of it on
    // disk, with every link on its way resolved and judged against `folder` itself (a
    // sub-folder that is a link leading out takes its entries, present or not, out with
    // it; a link to nothing leads nowhere inside). Empty when it leads out.
    static QString pathStayingInside(const QString& path, const QString& folder);
};

} // namespace platform
