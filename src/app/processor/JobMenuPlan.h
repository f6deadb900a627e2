#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

class KOVA_Job;

// What the list's context menu acts on, worked out when it opens: the items (a
// job's bundle, else its ticket), the label its titles show, and whether the
// entry that moves items to the completed folder is offered (Ctrl+Alt held).
struct JobMenuPlan {
    bool hasItems = false; // false outside the list: every entry is disabled
    QList<QUrl> urls;
    QString label;
    bool completedWanted = false;

    // `clickedRow` is -1 outside the list; a click on one of several selected rows
    // acts on all of them, else on the clicked row only.
    static JobMenuPlan make(const QList<std::shared_ptr<KOVA_Job>>& jobs, int clickedRow, const QList<int>& selectedRows,
                            bool completedWanted);

    QString revealTitle() const;
    QString trashTitle() const;
    QString completedTitle() const;
};
