#pragma once

#include "workflow/packages/KOVA_Package.h"

#include <QHash>
#include <QList>
#include <QString>

// The packages of one folder, kept current from one listing to the next: a file whose
// modification time is unchanged keeps its package object, a changed file is read
// again and replaces its entry, a file gone takes its entry with it. The list keeps
// the order of arrival. Used by one thread at a time (the folder watcher's queue).
class PackageFolderScan {
public:
    using List = QList<KOVA_Package::Pointer>;

    explicit PackageFolderScan(QString folder);

    // Lists the folder again and answers the packages now known.
    const List& scan();
    const List& packages() const { return m_packages; }

private:
    // Reads the file unless its time is the one known; true when it stays listed.
    bool update(const QString& path);
    void removePackage(const QString& path);

    QString m_folder;
    List m_packages;
    // File path to the modification time (nanoseconds) of every package read so far.
    QHash<QString, qint64> m_knownFiles;
};
