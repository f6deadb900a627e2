#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

class QWidget;

// The context menu's actions on job items: checking what a menu entry carries,
// revealing items in the file manager, moving them into the completed folder, and
// telling the operator which items a move left behind.
class JobFileActions {
public:
    // The file URLs an entry carries (a list of file URLs or one file URL).
    // Anything else beeps, logs "<operation> bad array at line <line> " and
    // answers nothing.
    static std::optional<QList<QUrl>> fileURLs(const QVariant& represented, const QString& operation, int line);

    // Items that stayed where they were: their paths and why.
    using Stayed = QList<QPair<QString, QString>>;

    static void revealInFinder(const QList<QUrl>& urls);
    // Moves each item under its own name into the folder of
    // "key_kovaFolderJobsCompleted", never replacing what is there; a failure is
    // logged and the next item tried. Without a folder every item fails. Answers
    // the items that stayed.
    static Stayed moveToCompleted(const QList<QUrl>& urls);
    // Beeps and tells, in an alert on `window`, which items did not reach
    // `destination` and why; nothing when every item moved.
    static void tellItemsThatStayed(QWidget* window, const QString& destination, const Stayed& stayed);
};
