#include "app/processor/JobMenuPlan.h"

#include "app/processor/PendingJobsModel.h"
#include "workflow/jobs/KOVA_Job.h"

#include <QFileInfo>

namespace {

void addFileURL(QList<QUrl>& urls, const std::shared_ptr<KOVA_Job>& job)
{
    const QUrl url = job ? PendingJobsModel::jobURL(*job) : QUrl();
    if (url.isLocalFile())
        urls.append(url);
}

} // namespace

JobMenuPlan JobMenuPlan::make(const QList<std::shared_ptr<KOVA_Job>>& jobs, int clickedRow, const QList<int>& selectedRows,
                              bool completedWanted)
{
    JobMenuPlan plan;
    plan.label = QStringLiteral("selected items");
    plan.completedWanted = completedWanted;
    if (clickedRow < 0 || clickedRow >= jobs.size())
        return plan;
    plan.hasItems = true;
    if (selectedRows.contains(clickedRow) && selectedRows.size() >= 2) {
        for (const int row : selectedRows) {
            if (row >= 0 && row < jobs.size())
                addFileURL(plan.urls, jobs.at(row));
        }
        return plan;
    }
    addFileURL(plan.urls, jobs.at(clickedRow));
    plan.label = plan.urls.isEmpty() ? QStringLiteral("selected item") : QFileInfo(plan.urls.first().toLocalFile()).completeBaseName();
    return plan;
}

QString JobMenuPlan::revealTitle() const
{
    return QStringLiteral("Reveal \"%1\" in File Manager …").arg(label);
}

QString JobMenuPlan::trashTitle() const
{
    return QStringLiteral("Move \"%1\" to the Trash …").arg(label);
}

QString JobMenuPlan::completedTitle() const
{
    return QStringLiteral("Move \"%1\" to the Completed Folder …").arg(label);
}
