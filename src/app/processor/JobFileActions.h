#pragma once

#include <QList>
#include <QUrl>
#include <QVariant>

#include <optional>

// The context menu's actions on job items that need no window: checking what a
// menu entry carries, revealing items in the file manager and moving them into
// the completed folder.
class JobFileActions {
public:
    // The file URLs an entry carries (a list of file URLs or one file URL).
    // Anything else beeps, logs "<operation> bad array at line <line> " and
    // answers nothing.
    static std::optional<QList<QUrl>> fileURLs(const QVariant& represented, const QString& operation, int line);

    static void revealInFinder(const QList<QUrl>& urls);
    // Moves each item under its own name into the folder of
    // "key_kovaFolderJobsCompleted", never replacing what is there; a failure is
    // logged and the next item tried. Without a folder every item fails.
    static void moveToCompleted(const QList<QUrl>& urls);
};
