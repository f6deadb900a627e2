#pragma once

#include "core/queues/ZORVAK_FileEvent.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

class ZORVAK_PrintPage;

// The usable ICC colour profiles (grey or RGB, able to take output) found
// directly inside a set of profile folders, kept up to date by a folder watcher.
// Entries are maps with "name", "model", "componentCount", "url" and "utType",
// sorted RGB before grey, then by name without regard to case. The list is built
// and replaced on the watcher's serial queue; readers take it there too.
class ZORVAK_ColorProfiles {
public:
    static constexpr double watchLatency = 1.0;

    explicit ZORVAK_ColorProfiles(const QStringList& folders);
    ~ZORVAK_ColorProfiles();
    ZORVAK_ColorProfiles(const ZORVAK_ColorProfiles&) = delete;
    ZORVAK_ColorProfiles& operator=(const ZORVAK_ColorProfiles&) = delete;

    // The current list; waits for the first scan, which runs whether or not
    // the watcher could start (missing folders are skipped).
    QList<QVariantMap> profiles();

    // The process-wide list over the colour profile folders of every domain,
    // made on first use and kept until the process ends.
    static ZORVAK_ColorProfiles& shared();
    static QList<QVariantMap> colorProfiles();

    // The entry for the profile file at `url`, or none when it is not a file
    // URL, not a readable profile, not grey or RGB, or cannot take output.
    static std::optional<QVariantMap> testColorProfile(const QUrl& url);

    // Copies the profile into the user's profile folder, under a free name when
    // its own is taken, and makes the copy the page's profile. On failure the
    // page keeps its profile and the reason is logged.
    static bool copyAndSetColorProfile(const QUrl& url, ZORVAK_PrintPage& page);

private:
    void scan();
    static QList<QVariantMap> scannedFolder(const QString& folder);

    QStringList m_folders;
    QList<QVariantMap> m_profiles; // on the watcher's queue only
    std::unique_ptr<ZORVAK_FileEvent> m_watcher;
};
